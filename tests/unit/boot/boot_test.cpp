// Runtime start-up and the report of an error nobody catches.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "interpreter/interpreter.h"
#include "runtime/core/datatype.h"
#include "runtime/core/symbol.h"
#include "support.h"

namespace zol {
namespace {

TEST(Runtime, EveryDatatypeUpToImageHasItsNameWord) {
  for (int id = T_DATATYPE; id <= T_IMAGE; id++) {
    const datatype::TypeInfo& t = datatype::info(uint8_t(id));
    ASSERT_TRUE(t.registered) << id;
    ASSERT_NE(t.word_symbol, 0u) << id;
    EXPECT_STREQ(symbol::get_c_string(t.word_symbol), t.name);
  }
  EXPECT_EQ(test::eval("type? make error! 300"), "error!");
  EXPECT_EQ(test::eval("error!"), "error!");
  EXPECT_EQ(test::eval("image!"), "image!");
}

TEST(Runtime, AnUncaughtErrorPrintsItsReportAndEndsWithStatusMinus2) {
  Cell code = test::source("x: 1 x + never-set-word");
  test::ChildResult r = test::run_in_child([&] { interpreter::do_block(&code); });
  EXPECT_EQ(r.out,
            "*** Script Error: never-set-word has no value\n*** Where: +\n"
            "*** Near : x + never-set-word\n");
  EXPECT_EQ(r.status, 254);
}

// Runs the zol program on some input; its output (standard error too, where the
// leak checker of a sanitizer build reports) and its exit status.
struct ProgramRun {
  std::string out;
  int status;
};

ProgramRun run_zol(const std::string& input) {
  std::string command = "printf '%s' '" + input + "' | " + ZOL_BINARY + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ProgramRun r{"", -1};
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) r.out.append(chunk, n);
  int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(Runtime, TheProgramGivesEverythingBackAtExit) {
  ProgramRun r = run_zol("o: make object! [a: [1 2] b: \"x\"]\nprint [1 + 2 o/b]\nfoo\n");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("LeakSanitizer"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3 x\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("*** Script Error: foo has no value\n*** Where: ???\n*** Near : foo\n"),
            std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace zol
