// The console: reads commands, evaluates them and prints their results.
#pragma once
#include <string>

namespace zol::console {

// The read-eval-print engine. Lines are collected while a command is unfinished
// (a bracket, paren, braced string, tag, binary or raw string still open); a
// complete command is run and its result printed.
class Engine {
 public:
  // Feeds one line. An empty line at the primary prompt is ignored; a line ending
  // in the escape character drops the pending command and prints "(escape)".
  void eval_command(const std::string& line);
  // ">> ", or while a command goes on the innermost open delimiter and four spaces.
  const std::string& prompt() const;

 private:
  std::string buffer_;
  bool continued_ = false;
  std::string cue_;
};

// Runs the console over the program's arguments; returns the exit status.
int run(int argc, char** argv);

}  // namespace zol::console
