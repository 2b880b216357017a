// Runtime start-up, the library's source evaluated at its end, and the report of
// an error nobody catches.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "boot/boot.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/native_list.h"
#include "platform/platform.h"
#include "runtime/datatypes/function.h"
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
test::ChildResult run_zol(const std::string& input, const std::string& environment = "") {
  test::ChildResult r =
      test::run_command("printf '%s' '" + input + "' | " + environment + ZOL_BINARY + " 2>&1");
  r.out = test::without_banner(r.out);
  return r;
}

// The collector's test modes begin when start-up ends (every process repeats the
// same start-up); this run asks for them from the first allocation, so that the
// bootstrap text and the library's source are evaluated under them once per stage.
TEST(Runtime, StartUpRunsUnderTheCollectorsTestModesWhenAsked) {
  test::ChildResult r = run_zol("print mod -5 -3 print length? \"abc\"",
                         "ZOL_GC_STRESS_STARTUP=1 ZOL_GC_STRESS=${ZOL_GC_STRESS:-1} ");
  EXPECT_EQ(r.out, "1\n3\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Runtime, TheProgramGivesEverythingBackAtExit) {
  test::ChildResult r = run_zol("o: make object! [a: [1 2] b: \"x\"]\nprint [1 + 2 o/b]\nfoo\n");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("LeakSanitizer"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3 x\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("*** Script Error: foo has no value\n*** Where: catch\n*** Near : foo \n"),
            std::string::npos)
      << r.out;
}

TEST(Library, ConsoleFunctionsThroughPipedInput) {
  struct Case {
    const char* input;
    const char* out;
    int status;
  };
  const Case cases[] = {
      // Empty input: start-up, the library's source included, then a silent exit.
      {"", "", 0},
      {"probe [1 2]\n", "[1 2]\n== [1 2]\n", 0},
      {"x: 1 ?? x\n", "x: 1\n", 0},
      {"?? nosuch\n", "nosuch: unset!\n", 0},
      {"o: make object! [a: [1]] ?? o/a\n", "o/a: [1]\n", 0},
      // Output written before quitting reaches the pipe; nothing after it runs.
      {"print 1 quit/return 3 print 2\n", "1\n", 3},
      {"prin 7 quit\nprint 8\n", "7", 0},
  };
  for (const Case& c : cases) {
    test::ChildResult r = run_zol(c.input);
    EXPECT_EQ(r.out, c.out) << c.input;
    EXPECT_EQ(r.status, c.status) << c.input;
  }
}

// The native that makes routines at start-up, which the library's own `routine`
// replaces: made again by its position in the natives list.
#define ZOL_LIST_INDEX(id, ...) id,
enum NativeIndex : int32_t { NO_NATIVE, ZOL_NATIVES(ZOL_LIST_INDEX, ZOL_LIST_INDEX) };
#undef ZOL_LIST_INDEX
const std::string ROUTINE_MAKER =
    "routine: make native! [[spec [block!] body [block!]] " + std::to_string(N_ROUTINE) + "] ";

// Runs one file of library source as start-up would (with the maker of routines
// as `routine`), in a child whose standard error joins its output.
test::ChildResult evaluate_in_child(const char* name, const std::string& text) {
  return test::run_in_child([&] {
    dup2(1, 2);
    std::string source = ROUTINE_MAKER + text;
    routine::library_building = true;
    boot::evaluate_library_file({name, source.data(), source.size()});
    routine::library_building = false;
  });
}

TEST(Library, AFaultInTheLibrarySourceStopsStartUp) {
  struct Case {
    const char* text;
    const char* report;   // a line the report holds
  };
  const Case cases[] = {
      {"x: [1 2", "*** Syntax Error: "},
      {"x: 1 / 0", "*** Math Error: attempt to divide by zero"},
      {"f: routine [a [integer!]] [no-such-body]", "invalid function definition: no-such-body"},
      {"f: routine [a [integer!]] [shift-left]", "invalid function definition: shift-left"},
      {"f: routine [a [integer!]] []", "invalid function definition: []"},
  };
  for (const Case& c : cases) {
    test::ChildResult r = evaluate_in_child("library/broken.zol", c.text);
    EXPECT_EQ(r.status, 1) << c.text;
    EXPECT_NE(r.out.find("*** Boot Error: in library/broken.zol:\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c.report), std::string::npos) << r.out;
  }
  test::ChildResult sound =
      evaluate_in_child("library/sound.zol", "f: routine [a [integer!] b [integer!]] [shift-left] f 1 3");
  EXPECT_EQ(sound.status, 0) << sound.out;
}

TEST(Library, RoutinesAreMadeOnlyDuringStartUp) {
  std::string refused = test::eval_error_text(err::internal::ROUTINES);
  EXPECT_EQ(test::eval("routine [a b] [shift-left]"), refused);
  EXPECT_EQ(test::eval(ROUTINE_MAKER + "routine [a b] [shift-left]"), refused);
}

TEST(Library, TheCurrentDirectoryEndsInOneSlash) {
  std::string cwd = platform::current_directory();
  EXPECT_EQ(test::eval("get-current-dir"), "\"" + cwd + "/\"");
  test::ChildResult root = test::run_in_child([] {
    ASSERT_EQ(chdir("/"), 0);
    std::printf("%s", test::eval("get-current-dir").c_str());
  });
  EXPECT_EQ(root.out, "\"/\"");
}

TEST(Library, CreateDirAndExists) {
  char pattern[] = "/tmp/zol-library-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = std::string(pattern) + "/made";
  std::string file = "%" + dir;
  EXPECT_EQ(test::eval("exists? " + file), "false");
  EXPECT_EQ(test::eval("create-dir " + file), "unset");
  EXPECT_EQ(test::eval("exists? " + file), "true");
  EXPECT_EQ(test::eval("form try [create-dir " + file + "]"),
            "{*** Access Error: cannot create: " + file + "\n*** Where: create-dir\n*** Near : "
            "create-dir " + file + "}");
  EXPECT_EQ(test::eval("create-dir " + file + "/a/b"),
            test::eval_error_text(err::access::NO_CREATE));
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace zol
