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

#include "console/console.h"
#include "support.h"

namespace zol {
namespace {

struct Transcript {
  std::string out;
  int status = -1;
};

// Runs zol with `input` on its standard input.
Transcript run_zol(const std::string& input) {
  char path[] = "/tmp/zol-console-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0 || write(fd, input.data(), input.size()) != ssize_t(input.size())) return {};
  close(fd);
  std::string command = std::string(ZOL_BINARY) + " < " + path;
  Transcript t;
  FILE* p = popen(command.c_str(), "r");
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) t.out.append(buf, n);
  int status = pclose(p);
  t.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  unlink(path);
  return t;
}

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
      // An unfinished command at the end of the input is left alone.
      {"1\n[a\n", "== 1\n"},
      // A mold of exactly the width less 3 (77) is printed whole; longer ones keep
      // their first 73 characters and end in "...".
      {"[" + words(38) + "]\n", "== [" + words(38) + "]\n"},
      {"[" + words(39) + "]\n", "== [" + words(36) + " ...\n"},
  };
  for (const Case& c : cases) {
    Transcript t = run_zol(c.input);
    EXPECT_EQ(t.out, c.out) << c.input;
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

TEST(Console, ContinuationPromptsShowTheInnermostOpenDelimiter) {
  struct Case { const char* lines[3]; const char* prompts[3]; };
  const Case cases[] = {
      {{"[a", "(b", ")]"}, {"[    ", "(    ", ">> "}},
      {{"x: {a", "{b}", "}"}, {"{    ", "{    ", ">> "}},
      {{"<a", "b>", nullptr}, {"<    ", ">> "}},
      {{"#{41", "42}", nullptr}, {"{    ", ">> "}},
      {{"#[a", "1]", nullptr}, {"(    ", ">> "}},
      {{"%%{a", "}%", "}%%"}, {"{    ", "{    ", ">> "}},
      {{"a/(b", ")", nullptr}, {"(    ", ">> "}},
      {{"(]", nullptr, nullptr}, {">> "}},
  };
  const std::string marker = "\n#prompts#";
  for (const Case& c : cases) {
    // The engine prints results on standard output; the prompts follow a marker.
    test::ChildResult r = test::run_in_child([&] {
      console::Engine engine;
      std::string prompts;
      for (int i = 0; i < 3 && c.lines[i]; i++) {
        engine.eval_command(c.lines[i]);
        prompts += "|" + engine.prompt();
      }
      std::printf("%s%s", marker.c_str(), prompts.c_str());
    });
    std::string expected;
    for (int i = 0; i < 3 && c.prompts[i]; i++) expected += std::string("|") + c.prompts[i];
    size_t at = r.out.rfind(marker);
    ASSERT_NE(at, std::string::npos) << c.lines[0];
    EXPECT_EQ(r.out.substr(at + marker.size()), expected) << c.lines[0];
  }
}

}  // namespace
}  // namespace zol
