// What holds once start-up has built the library: the exits that reach the
// program's top catch from the library's top level, the objects the library
// builds (path, fields, change handlers), the words that share one value, and the
// source kept for reflection.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "boot/boot.h"
#include "boot/entry.h"
#include "boot/runtime.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/symbol.h"
#include "support.h"

namespace zol {
namespace {

// One more library text evaluated as start-up evaluates the library's files, under
// the program's top catch, in a child whose standard error joins its output.
test::ChildResult evaluate_extra_file(const std::string& text) {
  return test::run_in_child([&] {
    dup2(1, 2);
    boot::under_top_catch([&] {
      boot::evaluate_library_file({"library/extra.zol", text.data(), text.size()});
      return 0;
    });
  });
}

TEST(StartUp, ExitsThatNothingInTheLibraryTakesReachTheTopCatch) {
  test::boot();
  const std::string NO_CATCH = "\n*** Runtime Error 95: no CATCH for THROW\n*** at: ";
  struct Case {
    const char* text;
    int status;
    std::string out;   // the output's start; for status 95 its first two lines
  };
  const Case cases[] = {
      {"throw 1", 95, NO_CATCH},
      {"x: catch/name [throw/name 1 'inner] 'outer", 95, NO_CATCH},
      {"f: func [] [throw 2] f", 95, NO_CATCH},
      // A throw caught inside the file is the file's own business.
      {"print catch [throw 3]", 0, "3\n"},
      // A quit ends the program silently with its status.
      {"print 4 quit", 0, "4\n"},
      {"quit/return 3", 3, ""},
  };
  for (const Case& c : cases) {
    test::ChildResult r = evaluate_extra_file(c.text);
    EXPECT_EQ(r.status, c.status) << c.text << "\n" << r.out;
    if (c.status == 95) {
      ASSERT_EQ(r.out.rfind(c.out, 0), 0u) << c.text << "\n" << r.out;
      std::string at = r.out.substr(c.out.size());
      EXPECT_EQ(at.size(), 18u) << at;   // 16 hex digits, "h", the line's end
      EXPECT_EQ(at.substr(16), "h\n") << at;
    } else {
      EXPECT_EQ(r.out, c.out) << c.text;
    }
  }
}

// The objects the library builds, as the start-up inventory lists them: path,
// number of fields, the slots of the change handlers (-1: none). Rows whose module
// is not built yet wait with `built` false; each module's issue turns its rows on.
struct InventoryRow {
  const char* path;
  int fields;
  int on_change;
  int on_deep_change;
  bool built;
};

const InventoryRow INVENTORY[] = {
    {"system/build/git", 6, -1, -1, false},
    {"system/build/config", 49, -1, -1, false},
    {"system/build", 3, -1, -1, false},
    {"system/catalog/errors/throw", 7, -1, -1, true},
    {"system/catalog/errors/note", 3, -1, -1, true},
    {"system/catalog/errors/syntax", 9, -1, -1, true},
    // This build's catalogue has one script error more than the inventory.
    {"system/catalog/errors/script", 96, -1, -1, false},
    {"system/catalog/errors/math", 5, -1, -1, true},
    {"system/catalog/errors/access", 17, -1, -1, true},
    {"system/catalog/errors/reserved1", 2, -1, -1, true},
    {"system/catalog/errors/reserved2", 2, -1, -1, true},
    {"system/catalog/errors/user", 3, -1, -1, true},
    {"system/catalog/errors/internal", 16, -1, -1, true},
    {"system/catalog/errors", 10, -1, -1, true},
    {"system/catalog", 5, -1, -1, false},
    {"system/state/callbacks", 8, 7, -1, false},
    {"system/state/GC", 3, -1, -1, false},
    {"system/state", 6, -1, -1, false},
    {"system/ports", 0, -1, -1, false},
    {"system/locale/currencies", 3, 1, 2, false},
    {"system/locale", 7, -1, -1, false},
    {"system/options/float", 3, 2, -1, false},
    {"system/options", 19, 17, 18, false},
    {"system/script", 5, -1, -1, true},
    {"system/standard/header", 20, -1, -1, false},
    {"system/standard/port", 7, -1, -1, true},
    {"system/standard/error", 10, -1, -1, true},
    {"system/standard/file-info", 4, -1, -1, false},
    {"system/standard/url-parts", 9, -1, -1, true},
    {"system/standard/scheme", 5, -1, -1, false},
    {"system/standard", 6, -1, -1, false},
    {"system/lexer", 5, -1, -1, false},
    {"system", 19, -1, -1, true},
    {"system/codecs/png", 6, -1, -1, false},
    {"system/codecs/jpeg", 6, -1, -1, false},
    {"system/codecs/bmp", 6, -1, -1, false},
    {"system/codecs/gif", 6, -1, -1, false},
    {"system/codecs/tiff", 6, -1, -1, false},
    {"system/codecs/zolbin", 8, -1, -1, false},
    {"reactor!", 1, 0, -1, false},
    {"deep-reactor!", 2, 0, 1, false},
    {"system/reactivity", 12, -1, -1, false},
    {"url-parser", 39, -1, -1, false},
    {"preprocessor", 25, -1, -1, false},
    {"system/tools/options/debug", 5, -1, -1, false},
    {"system/tools/options/trace", 1, -1, -1, false},
    {"system/tools/options/profile", 2, -1, -1, false},
    {"system/tools/options", 3, -1, -1, false},
    {"system/tools/tracers/free", 3, -1, -1, false},
    {"system/tools/tracers/data", 20, -1, -1, false},
    {"system/tools/tracers/inspector", 8, -1, -1, false},
    {"system/tools/tracers", 15, -1, -1, false},
    {"system/tools", 18, -1, -1, false},
    {"system/codecs/json", 6, -1, -1, false},
    {"system/codecs/csv", 6, -1, -1, false},
    {"rich-text/rtd", 28, -1, -1, false},
    {"rich-text", 3, -1, -1, false},
    {"face!", 25, 23, 24, false},
    {"font!", 11, 9, 10, false},
    {"para!", 8, 7, -1, false},
    {"scroller!", 8, 7, -1, false},
    {"system/view/metrics", 8, -1, -1, false},
    {"system/view/fonts", 5, -1, -1, false},
    {"system/view", 16, 10, -1, false},
    {"TUI-helpers", 11, -1, -1, false},
    {"system/view/platform", 35, -1, -1, false},
    {"system/view/VID/GUI-rules/processors", 5, -1, -1, false},
    {"system/view/VID/GUI-rules", 7, -1, -1, false},
    {"system/view/VID/opts-proto", 21, -1, -1, false},
    {"system/view/VID", 28, -1, -1, false},
    {"zol-complete-ctx", 5, -1, -1, false},
    {"help-ctx/func-spec-ctx/func-spec", 6, -1, -1, false},
    {"help-ctx/func-spec-ctx", 10, -1, -1, false},
    {"help-ctx", 38, -1, -1, false},
    {"system/console", 25, -1, -1, false},
    {"cli-console-ctx/settings", 6, -1, -1, false},
    {"cli-console-ctx", 2, -1, -1, false},
};

// The 0-based slot of a field, -1 when the object has none of that name.
std::string slot_of(const std::string& path, const char* field) {
  return test::eval("either f: find words-of " + path + " '" + field + " [(index? f) - 1] [-1]");
}

TEST(StartUp, TheLibrarysObjectsHaveTheirFieldsAndChangeHandlers) {
  for (const InventoryRow& row : INVENTORY) {
    if (!row.built) continue;
    std::string path = row.path;
    ASSERT_EQ(test::eval("object? get/any '" + path + ""), "true") << path;
    EXPECT_EQ(test::eval("length? words-of " + path), std::to_string(row.fields)) << path;
    EXPECT_EQ(slot_of(path, "on-change*"), std::to_string(row.on_change)) << path;
    EXPECT_EQ(slot_of(path, "on-deep-change*"), std::to_string(row.on_deep_change)) << path;
  }
  EXPECT_EQ(test::eval("words-of system"),
            "[version build words platform catalog state modules codecs schemes ports locale "
            "options script standard lexer console view reactivity tools]");
}

TEST(StartUp, WordsThatShareOneValueHoldTheSameValue) {
  const char* PAIRS[][2] = {
      {"?", "help"}, {"fetch-help", "help-string"}, {"dir", "ls"}, {"q", "quit"},
      {"zol-complete-input", "complete-input"},
  };
  for (const auto& pair : PAIRS) {
    std::string a = pair[0], b = pair[1];
    // A pair is checked once its module defines both words.
    if (test::eval("all [value? '" + a + " value? '" + b + "]") != "true") continue;
    EXPECT_EQ(test::eval("same? :" + a + " :" + b), "true") << a << " " << b;
  }
}

// spec-of and body-of give the blocks of the library's source, layout included.
TEST(StartUp, ALibraryFunctionKeepsItsSourceBlocks) {
  std::ifstream in(std::string(ZOL_SOURCE_DIR) + "/library/base.zol");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Cell source = test::load(text);
  test::HeldCells held(&source);
  int32_t at = 0;
  while (at < block::length(&source)) {
    const Cell* c = block::cell_at(&source, at);
    if (c->is(T_SET_WORD) && std::string(symbol::get_c_string(word_cell::symbol(c))) == "probe") break;
    at++;
  }
  ASSERT_LT(at + 3, block::length(&source));
  std::string spec = test::mold(*block::cell_at(&source, at + 2));
  std::string body = test::mold(*block::cell_at(&source, at + 3));
  EXPECT_NE(body.find('\n'), std::string::npos) << body;
  EXPECT_EQ(test::eval("spec-of :probe"), spec);
  EXPECT_EQ(test::eval("body-of :probe"), body);
}

// An object that the library's source builds with on-change* hears one
// notification for one set-path into it.
TEST(StartUp, ASetPathIntoALibraryObjectFiresItsChangeHandlerOnce) {
  test::ChildResult r = evaluate_extra_file(
      "heard: 0 watched: make object! [a: 1 on-change*: func [w o n] [heard: heard + 1]]\n"
      "watched/a: 2 print [heard watched/a]");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "1 2\n");
}

// The program needs nothing beside itself: the library is inside it.
TEST(StartUp, TheProgramAloneInAnEmptyFolderStarts) {
  char pattern[] = "/tmp/zol-alone-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  std::filesystem::copy_file(ZOL_BINARY, dir + "/zol");
  std::string command = "cd " + dir + " && printf '1 + 2\\n' | env -i HOME=" + dir +
                        " XDG_CACHE_HOME=" + dir + "/cache ./zol 2>&1";
  test::ChildResult r = test::run_command(command);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(test::without_banner(r.out), "== 3\n");
  std::filesystem::remove_all(dir);
}

// The raw command line is taken apart at start-up: the program's own path goes to
// system/options/boot and system/script/args keeps the raw text of the arguments.
TEST(StartUp, TheScriptsArgsStartAsTheCommandLine) {
  std::string probe = "echo 'print mold reduce [system/options/boot system/script/args]' | " +
                      std::string(ZOL_BINARY);
  test::ChildResult alone = test::run_command(probe + " 2>&1");
  EXPECT_EQ(alone.status, 0);
  EXPECT_EQ(test::without_banner(alone.out), "[\"" + std::string(ZOL_BINARY) + "\" \"\"]\n");
  // With a script, the raw text keeps only the script's own arguments.
  char script[] = "/tmp/zol-args-XXXXXX";
  int fd = mkstemp(script);
  ASSERT_GE(fd, 0);
  const std::string text = "Zol []\nprint mold reduce [system/options/boot system/script/args]\n";
  ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
  close(fd);
  test::ChildResult with_args =
      test::run_command(std::string(ZOL_BINARY) + " " + script + " x 'y z' 2>&1");
  unlink(script);
  EXPECT_EQ(with_args.out, "[\"" + std::string(ZOL_BINARY) + "\" {x \"y z\"}]\n");
}

// The unit tests start a runtime more than once in a process: each start reads the
// image again and builds the same library over module values set afresh.
TEST(StartUp, ASecondRuntimeInOneProcessBuildsTheSameLibrary) {
  const char* PROBES[] = {
      "words-of system",
      "body-of :probe",
      "reduce [$1.25 * 3 0.1 + 0.2 to integer! 2147483647.0]",
      "system/catalog/errors/math/zero-divide",
  };
  std::string first;
  for (const char* p : PROBES) first += test::eval(p) + "\n";
  test::ChildResult r = test::run_in_child([&] {
    for (int round = 0; round < 2; round++) {
      runtime::cleanup();
      runtime::init();
    }
    std::string again;
    for (const char* p : PROBES) again += test::eval(p) + "\n";
    std::printf("%s", again.c_str());
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, first);
}

}  // namespace
}  // namespace zol
