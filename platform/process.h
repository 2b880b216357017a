// Launching child processes for the call native: a command run directly (split
// into words the way sh splits them, without expansions) or through /bin/sh -c,
// with each standard stream left to the console, sent to /dev/null, taken from or
// appended to a file, or fed from / captured into memory. Also the environment as
// name/value pairs.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace zol::platform {

// Where one standard stream of the child goes. DATA on input feeds `data`; on
// output and error it captures the bytes into `data`.
struct Redirect {
  enum Kind { DEFAULT, FILE, DATA };
  Kind kind = DEFAULT;
  std::string path;   // FILE: the local path (output is appended)
  std::string data;   // DATA: the bytes to feed, or the bytes captured
};

struct ProcessRequest {
  std::string command;
  bool program_path = false;   // the command is one program path, not words
  std::vector<std::string> arguments;   // given to a program path as they are
  bool shell = false;          // run through /bin/sh -c
  bool wait = false;
  bool console = false;        // DEFAULT streams are the console's, not /dev/null
  Redirect input, output, error;
  // Milliseconds the waiting call may take in all; 0: no limit. A child still
  // running then is killed.
  int time_limit_ms = 0;
};

// Runs the request. Answers the exit status (the child's code, or 128 + the
// signal that ended it) when it waited, the process id when it did not, and -1
// when a file could not be opened, the process not started or the time limit
// passed. The call waits with
// /wait, /console or any redirection. Children started without waiting are reaped
// by later calls.
int run_process(ProcessRequest* request);

// Splits a command into words as sh does, honouring quotes and backslashes but
// expanding nothing.
std::vector<std::string> split_command_words(const std::string& command);

// Every environment variable as (name, value), in the order of environ.
std::vector<std::pair<std::string, std::string>> environment_pairs();

}  // namespace zol::platform
