// The console driver: transcripts of the real zol binary fed on standard input
// (results, continued commands, errors, the cut to the console's width, the exit
// status), and the continuation prompts of the engine.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support.h"

namespace zol {
namespace {

struct Transcript {
  std::string out;
  int status = -1;
};

// Runs a shell command line and collects its standard output and exit status.
Transcript run_zol_command(const std::string& command) {
  Transcript t;
  FILE* p = popen(command.c_str(), "r");
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) t.out.append(buf, n);
  int status = pclose(p);
  t.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return t;
}

// Runs zol with `input` on its standard input.
Transcript run_zol(const std::string& input) {
  char path[] = "/tmp/zol-console-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0 || write(fd, input.data(), input.size()) != ssize_t(input.size())) return {};
  close(fd);
  Transcript t = run_zol_command(std::string(ZOL_BINARY) + " < " + path);
  unlink(path);
  return t;
}

// What the console prints first, its version not yet given.
const std::string BANNER = "--== Zol none ==-- \nType HELP for starting information. \n\n";

std::string words(int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += i ? " a" : "a";
  return s;
}

TEST(Console, PrintsTheResultOfEachCompleteCommand) {
  struct Case { std::string input; std::string out; };
  const Case cases[] = {
      {"1 + 2\n[a b\n c]\n", "== 3\n== [a b\nc]\n"},
      // Empty lines and comments alone give nothing to print; unset prints nothing.
      {"\n; a note\n\n1\n()\n", "== 1\n"},
      {"[\n1 2\n]\n", "== [\n    1 2\n]\n"},
      {"(1\n\n2)\n", "== 2\n"},
      {"[a/(b\nc)]\n", "== [a/(b\nc)]\n"},
      // The escape character drops the pending command.
      {"[a\n\x1b\n2\n", "(escape)\n== 2\n"},
      // A command still open at the end of the input runs, so its syntax error
      // is printed, and the console quits with status 0.
      {"1\n[a\n", "== 1\n*** Syntax Error: (line 2) missing ] at [a\n*** Where: transcode\n"
                   "*** Near : out: transcode source\n"},
      // A mold of exactly the width less 3 (77) is printed whole; longer ones keep
      // their first 73 characters and end in "...".
      {"[" + words(38) + "]\n", "== [" + words(38) + "]\n"},
      {"[" + words(39) + "]\n", "== [" + words(36) + " ...\n"},
  };
  for (const Case& c : cases) {
    Transcript t = run_zol(c.input);
    EXPECT_EQ(t.out, BANNER + c.out) << c.input;
    EXPECT_EQ(t.status, 0) << c.input;
  }
}

// The error reports of a transcript ("*** " lines).
std::vector<std::string> reports(const std::string& out) {
  std::vector<std::string> found;
  for (size_t at = 0; at < out.size();) {
    size_t lf = out.find('\n', at);
    std::string line = out.substr(at, lf - at);
    bool detail = line.rfind("*** Where: ", 0) == 0 || line.rfind("*** Near : ", 0) == 0;
    if (line.rfind("*** ", 0) == 0 && !detail) found.push_back(line);
    at = lf == std::string::npos ? out.size() : lf + 1;
  }
  return found;
}

TEST(Console, ErrorsAreReportedAndTheNextCommandRuns) {
  struct Case { std::string input; size_t reports; std::string first_mentions; };
  const Case cases[] = {
      // A closer that opens nothing is reported at once, not continued.
      {"(]\n", 1, "(line 1)"},
      {"a ]\n", 1, "(line 1)"},
      {"\"abc\n", 1, "(line 1)"},
      // These go on to the next line, so the whole command fails once.
      {"{a\nb} ]\n", 1, "(line 2)"},
      {"<a\nb> ]\n", 1, "(line 2)"},
      {"%{a\n}% ]\n", 1, "(line 2)"},
      // A raw string opened after the start of the input is not continued: each
      // line fails on its own.
      {"x %{a\n}% ]\n", 2, "%{a"},
      // Literal forms not built yet are reported as not done.
      {"(1%, 2)\n", 1, "not yet implemented"},
  };
  for (const Case& c : cases) {
    Transcript t = run_zol(c.input + "1\n");
    std::vector<std::string> found = reports(t.out);
    ASSERT_EQ(found.size(), c.reports) << c.input << t.out;
    EXPECT_NE(found[0].find(c.first_mentions), std::string::npos) << c.input << found[0];
    const std::string last = t.out.substr(t.out.size() > 5 ? t.out.size() - 5 : 0);
    EXPECT_EQ(last, "== 1\n") << c.input << t.out;
    EXPECT_EQ(t.status, 0) << c.input;
  }
}

// Runs zol over a script file holding `body` after a header.
Transcript run_script(const std::string& body) {
  char path[] = "/tmp/zol-console-script-XXXXXX";
  int fd = mkstemp(path);
  std::string text = "Zol []\n" + body;
  if (fd < 0 || write(fd, text.data(), text.size()) != ssize_t(text.size())) return {};
  close(fd);
  Transcript t = run_zol_command(std::string(ZOL_BINARY) + " " + path + " < /dev/null");
  unlink(path);
  return t;
}

TEST(Console, ContinuationPromptsShowTheInnermostOpenDelimiter) {
  struct Case { std::vector<std::string> lines; std::string prompts; };
  const Case cases[] = {
      {{"[a", "(b", ")]"}, "|[    |(    |>> "},
      {{"x: {a", "{b}", "}"}, "|{    |{    |>> "},
      {{"<a", "b>"}, "|<    |>> "},
      {{"#{41", "42}"}, "|{    |>> "},
      {{"#[a", "1]"}, "|(    |>> "},
      {{"%%{a", "}%", "}%%"}, "|{    |{    |>> "},
      {{"a/(b", ")"}, "|(    |>> "},
      {{"(]"}, "|>> "},
  };
  for (const Case& c : cases) {
    // Each line goes to the engine of a script's console; the prompt it would show
    // next (the cue of a continued command, else the default) follows a marker.
    std::string script = "con: system/console\nprompts: copy {}\n";
    for (const std::string& line : c.lines) {
      std::string molded;
      for (char ch : line) {
        if (ch == '{' || ch == '}' || ch == '^') molded += '^';
        molded += ch;
      }
      script += "con/eval-command {" + molded + "}\n";
      script += "append prompts rejoin [\"|\" any [con/cue con/def-prompt]]\n";
    }
    script += "prin \"#prompts#\" prin prompts\n";
    Transcript t = run_script(script);
    size_t at = t.out.rfind("#prompts#");
    ASSERT_NE(at, std::string::npos) << c.lines[0] << t.out;
    EXPECT_EQ(t.out.substr(at + 9), c.prompts) << c.lines[0];
  }
}

}  // namespace
}  // namespace zol
