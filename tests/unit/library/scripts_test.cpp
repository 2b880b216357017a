// Scripts and the program's arguments through the real zol binary: the arguments
// as the system gave them (blanks, double quotes and empty ones kept), the raw
// argument text, and a script's halt request reported on the console.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support.h"

namespace zol {
namespace {

// Runs zol in `folder` with `args` after its path and `input` on standard input;
// answers what it wrote to standard output and standard error.
std::string run_zol(const std::vector<std::string>& args, const std::string& input,
                    const std::filesystem::path& folder) {
  std::filesystem::path in_path = folder / "input.txt";
  std::ofstream(in_path) << input;
  int out[2];
  if (pipe(out) != 0) return "pipe failed";
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(in_path.c_str(), O_RDONLY);
    dup2(in, 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    if (chdir(folder.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(ZOL_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ZOL_BINARY, argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, size_t(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return test::without_banner(text);
}

class ScriptRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "zol-args-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(ScriptRun, TheArgumentsReachTheProgramExactly) {
  struct Case {
    std::vector<std::string> args;
    std::string printed;
  };
  const Case cases[] = {
      {{}, "[]\n\"\"\n"},
      {{"x"}, "[\"x\"]\n\"x\"\n"},
      {{"a b", "c\"d", "", "x"}, "[\"a b\" {c\"d} \"\" \"x\"]\n{\"a b\" \"c\\\"d\"  x}\n"},
      {{"\ttab", "--opt"}, "[\"^-tab\" \"--opt\"]\n{\"^-tab\" --opt}\n"},
  };
  // The arguments follow a script, which sees them as its own.
  std::ofstream(folder_ / "args.zol")
      << "Zol []\nprint mold system/options/args\nprint mold system/script/args\n";
  for (const Case& c : cases) {
    std::vector<std::string> args{"args.zol"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string got = run_zol(args, "", folder_);
    EXPECT_EQ(got, c.printed) << "arguments: " << c.args.size();
  }
  std::ofstream(folder_ / "boot.zol") << "Zol []\nprint system/options/boot\n";
  EXPECT_EQ(run_zol({"boot.zol", "a"}, "", folder_), std::string(ZOL_BINARY) + "\n");
}

TEST_F(ScriptRun, AHaltRequestEndsTheScriptAndTheConsoleGoesOn) {
  std::filesystem::create_directory(folder_ / "sub");
  std::ofstream(folder_ / "sub" / "halt.zol")
      << "Zol []\nprint \"before\"\nthrow/name 'halt-request 'console\nprint \"after\"\n";
  std::string got = run_zol({}, "do %sub/halt.zol\nprint what-dir = system/options/path\n"
                                "print last split-path what-dir\nq\n",
                            folder_);
  std::string name = folder_.filename().string() + "/";
  EXPECT_EQ(got, "before\n(halted)\ntrue\n" + name + "\n");
}

// The program's own ELF file is not a PE executable: refused, and not one byte
// of it changes.
TEST_F(ScriptRun, TheProgramsOwnFileIsLeftAsItIs) {
  std::filesystem::copy_file(ZOL_BINARY, folder_ / "zol-copy");
  auto bytes = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::string got = run_zol({}, "print mold try [flip-exe-flag %zol-copy]\nq\n", folder_);
  EXPECT_NE(got.find("not a PE executable, left unchanged: %zol-copy"), std::string::npos) << got;
  EXPECT_TRUE(bytes(folder_ / "zol-copy") == bytes(ZOL_BINARY));
}

// One row per lexer event: the event, the datatype, the token, the line and the
// input there, in columns of 8, 12, 12 and 4 characters, the error event too.
TEST_F(ScriptRun, TheLexerTracerPrintsOneRowPerEvent) {
  std::string got = run_zol({}, "transcode/trace \"1 ) 2\" :system/lexer/tracer\nq\n", folder_);
  EXPECT_EQ(got,
            "PRESCAN  integer!     1x2          1    \" ) 2\"\n"
            "SCAN     integer!     1x2          1    \" ) 2\"\n"
            "LOAD     integer!     1            1    \" ) 2\"\n"
            "ERROR    paren!       3x3          1    \") 2\"\n"
            "PRESCAN  integer!     5x6          1    \"\"\n"
            "SCAN     integer!     5x6          1    \"\"\n"
            "LOAD     integer!     2            1    \"\"\n"
            "== [1 2]\n");
}

}  // namespace
}  // namespace zol
