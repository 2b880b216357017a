// The console driver: transcripts of the real zol binary fed on standard input
// (results, continued commands, errors, the cut to the console's width, the exit
// status), and the continuation prompts of the engine.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
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
const std::string BANNER = "--== Zol 0.1.0 ==-- \nType HELP for starting information. \n\n";

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


// A run of zol in a fresh folder with a cache folder of its own, so that the
// configuration it writes is its own and can be looked at.
class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zol-session-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void write_file(const std::string& name, const std::string& text) {
    std::filesystem::create_directories((folder_ / name).parent_path());
    std::ofstream(folder_ / name, std::ios::binary) << text;
  }
  // `args` are given to the shell as they are; `input` comes on standard input.
  Transcript run(const std::string& args, const std::string& input) {
    write_file("stdin.txt", input);
    return run_zol_command("cd " + folder_.string() + " && XDG_CACHE_HOME=" +
                           (folder_ / "cache").string() + " " + ZOL_BINARY + " " + args +
                           " < stdin.txt 2>&1");
  }
  std::filesystem::path config() const {
    return folder_ / "cache" / "zol" / "Zol-Console" / "console-cfg.zol";
  }
  std::filesystem::path folder_;
};

const std::string ZERO_DIVIDE =
    "*** Math Error: attempt to divide by zero\n*** Where: /\n*** Near : 1 / 0 \n";

TEST_F(Session, TheLoopPrintsEachKindOfResult) {
  struct Case { std::string input; std::string out; };
  const Case cases[] = {
      {"1 + 2\n", "== 3\n"},
      {"\n\n", ""},
      {"1.5\n0.1 + 0.2\n", "== 1.5\n== 0.3\n"},
      {"none\n()\n", "== none\n"},
      // An error's report is followed by an empty line.
      {"1 / 0\n2\n", ZERO_DIVIDE + "\n== 2\n"},
      {"halt\n", "(halted)\n"},
      {"loop 3 [print 1 halt]\n", "1\n(halted)\n"},
      // The result prefix: a string, something that computes one, or a failure,
      // reported as coming from the prefix and replaced by the default once.
      {"system/console/result: \"=>\"\n1\n", "=> \"=>\"\n=> 1\n"},
      {"system/console/result: does [\"R:\"] 1\n2\n", "R: 1\nR: 2\n"},
      {"system/console/result: does [1 / 0] 1\n",
       "*** Math Error: attempt to divide by zero\n*** Where: system/console/result\n"
       "*** Near : 1 / 0\n== 1\n"},
      // A prefix that is neither a string nor an error is formed, as the prompt is.
      {"system/console/result: 5 1\n", "5 1\n"},
  };
  for (const Case& c : cases) {
    Transcript t = run("", c.input);
    EXPECT_EQ(t.out, BANNER + c.out) << c.input;
    EXPECT_EQ(t.status, 0) << c.input;
  }
}

TEST_F(Session, ALongResultKeepsRoomForThePromptLastShown) {
  // A 78-character mold is cut to the width less 3, less the prompt's length, less
  // one, then "...": 77 - 21 - 1 = 55 characters of it with a 21-character prompt
  // made by a function.
  std::string long_block = "[" + words(39) + "]";
  Transcript t = run("", "system/console/prompt: does [\"a-very-long-prompt>> \"] ()\n" +
                             long_block + "\n");
  EXPECT_EQ(t.out, BANNER + "== " + long_block.substr(0, 55) + "...\n");
  // A prompt that raises is reported and the default prompt replaces it for good.
  t = run("", "system/console/prompt: does [1 / 0]\n1\nmold system/console/prompt\n");
  EXPECT_NE(t.out.find("*** Where: system/console/prompt\n"), std::string::npos) << t.out;
  EXPECT_NE(t.out.find("== {\">> \"}\n"), std::string::npos) << t.out;
}

TEST_F(Session, EndOfInputQuitsWithStatusZeroInEveryState) {
  write_file("ask.zol", "Zol []\nprobe input\nprobe input\nprint \"never\"\n");
  Transcript t = run("ask.zol", "a\n");
  EXPECT_EQ(t.out, "\"a\"\n");
  EXPECT_EQ(t.status, 0);
  // An open command still runs, so that its syntax error is printed.
  t = run("", "{abc\n");
  EXPECT_EQ(t.out.substr(0, BANNER.size() + 32), BANNER + "*** Syntax Error: (line 2) inval");
  EXPECT_EQ(t.status, 0);
}

TEST_F(Session, ScriptsRunAndReportTheirFailuresWithStatusOne) {
  write_file("hello.zol", "Zol []\nprint \"hi\"\nprobe system/options/args\n"
                          "probe system/script/args\nprint what-dir = system/options/path\n");
  write_file("none.zol", "print 1\n");
  write_file("system.zol", "Zol/System []\nprint 1\n");
  write_file("broken.zol", "Zol [] [\n");
  write_file("fails.zol", "Zol []\nprint 1\n1 / 0\nprint 2\n");
  write_file("halts.zol", "Zol []\nhalt\n");
  write_file("exits.zol", "Zol []\nquit/return 7\n");
  write_file("--odd.zol", "Zol []\nprint \"odd\"\n");
  write_file("sub/where.zol", "Zol []\nprint last split-path what-dir\n");
  // A script that ran to its end leaves no configuration behind.
  EXPECT_EQ(run("hello.zol", "").status, 0);
  EXPECT_FALSE(std::filesystem::exists(config()));
  const std::string FAILS_REPORT =
      "*** Math Error: attempt to divide by zero\n*** Where: /\n*** Near : 1 / 0 print 2\n";
  struct Case { std::string args; std::string out; int status; };
  const Case cases[] = {
      {"hello.zol a '\"b c\"' 'd e'",
       "hi\n[\"a\" {\"b c\"} \"d e\"]\n{a \"\\\"b c\\\"\" \"d e\"}\ntrue\n", 0},
      {"none.zol", "*** Error: Zol header not found!\n", 1},
      {"system.zol", "*** Error: contains Zol/System code which requires compilation!\n", 1},
      {"broken.zol", "*** Syntax Error: (line 2) missing ] at [\n*** Where: transcode\n"
                     "*** Near : out: transcode source\n", 1},
      {"fails.zol", "1\n" + FAILS_REPORT, 1},
      {"halts.zol", "(halted)\n", 1},
      {"exits.zol", "", 7},
      {"-- --odd.zol", "odd\n", 0},
      {"--x hello.zol", "hi\n[]\n\"\"\ntrue\n", 0},
      {"sub/where.zol", "sub/\n", 0},
      // With --catch, in any letter case, the loop follows without its banner.
      {"--catch fails.zol", "1\n" + FAILS_REPORT + "== 3\n", 0},
      {"--CATCH hello.zol", "hi\n[]\n\"\"\ntrue\n== 3\n", 0},
      // Alone, --catch changes nothing visible.
      {"--catch", BANNER + "== 3\n", 0},
      // A missing script is reported and the loop starts where the program was.
      {"/no/such/x.zol",
       "*** Access Error: cannot open: %/no/such/x.zol\n*** Where: read\n*** Near : read file\n" +
           BANNER + "== 3\n",
       0},
  };
  for (const Case& c : cases) {
    Transcript t = run(c.args, "1 + 2\n");
    EXPECT_EQ(t.out, c.out) << c.args;
    EXPECT_EQ(t.status, c.status) << c.args;
  }
  // What-dir after a missing script is still the starting folder.
  Transcript t = run("/no/such/x.zol", "print what-dir\n");
  EXPECT_NE(t.out.find(folder_.string() + "/\n"), std::string::npos) << t.out;
}

TEST_F(Session, TheConfigurationKeepsHistoryAndOtherEntries) {
  // The first quit writes the header and both entries.
  Transcript t = run("", "q\n");
  std::ifstream in(config());
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "Zol [\n\tPurpose: \"Zol Console Configuration File\"\n]\n\n"
                  "buffer-lines: 10000 history: []");
  // 101 lines load whole and are saved as 100; other entries stay.
  std::string history;
  for (int i = 0; i < 101; i++) history += " \"" + std::to_string(i) + "\"";
  write_file("cache/zol/Zol-Console/console-cfg.zol",
             "Zol [Purpose: \"x\"]\nextra: 5 history: [" + history + "]\n");
  t = run("", "print length? system/console/history\nq\n");
  EXPECT_EQ(t.out, BANNER + "101\n");
  t = run("", "print length? system/console/history\nprint last system/console/history\n");
  EXPECT_EQ(t.out, BANNER + "100\n99\n");
  std::ifstream again(config());
  text.assign(std::istreambuf_iterator<char>(again), {});
  EXPECT_NE(text.find("extra: 5"), std::string::npos) << text;
  // Headerless, header-only and malformed files load as an empty configuration.
  for (const std::string& file : {"history: [\"x\"]\n", "Zol []\n", "Zol [] history: [\n",
                                  "Zol [] history: 5\n"}) {
    write_file("cache/zol/Zol-Console/console-cfg.zol", file);
    t = run("", "probe system/console/history\n");
    EXPECT_EQ(t.out, BANNER + "[]\n== []\n") << file;
    EXPECT_EQ(t.status, 0) << file;
  }
}

TEST_F(Session, ACacheFolderThatCannotBeMadeStopsNothing) {
  // A file where the cache folder should be: no folder can be made under it, not
  // even by root. Start-up goes on with the defaults and quit still quits.
  write_file("cache", "not a folder");
  Transcript t = run("", "1 + 2\nq\n");
  EXPECT_NE(t.out.find(BANNER + "== 3\n"), std::string::npos) << t.out;
  EXPECT_EQ(t.status, 0) << t.out;
  EXPECT_FALSE(std::filesystem::exists(config()));
}


TEST_F(Session, ShellCommandsListAndChangeFolders) {
  // At 80 columns `ll` gives names 66 wide: 65 characters print whole, 66 are cut
  // to 62 and "...". `ls` gives 3 columns of 18 at 80 and of 19 at 79.
  std::string fits(65, 'f'), cut(66, 'g');
  for (const std::string& name : {fits, cut, std::string("a"), std::string("b")})
    write_file("list/" + name, "");
  std::filesystem::create_directories(folder_ / "list" / "empty");
  auto row = [](std::initializer_list<std::pair<std::string, size_t>> cells) {
    std::string r;
    for (const auto& [name, width] : cells) r += "\t" + name + std::string(width - name.size(), ' ') + " ";
    return r + "\n";
  };
  std::string cut18 = std::string(66, 'g').substr(0, 14) + "...";
  std::string cut19 = std::string(66, 'g').substr(0, 15) + "...";
  std::string fit18 = fits.substr(0, 14) + "...", fit19 = fits.substr(0, 15) + "...";
  struct Case { std::string input; std::string out; };
  const Case cases[] = {
      {"cd list\nll\n", "== %" + folder_.string() + "/list/\n" + row({{"a", 66}}) + row({{"b", 66}}) +
                        row({{"empty/", 66}}) + row({{fits, 66}}) +
                        row({{cut.substr(0, 62) + "...", 66}})},
      {"system/console/size: 80x50 ls list\n",
       row({{"a", 18}, {"b", 18}, {"empty/", 18}}) + row({{fit18, 18}, {cut18, 18}})},
      {"system/console/size: 79x50 ls list\n",
       row({{"a", 19}, {"b", 19}, {"empty/", 19}}) + row({{fit19, 19}, {cut19, 19}})},
      // Two columns of 67 / 2 - 2 = 31; at ten columns the width stays at least 5.
      {"list-dir/col %list/ 2\n", row({{"a", 31}, {"b", 31}}) +
                                     row({{"empty/", 31}, {fits.substr(0, 27) + "...", 31}}) +
                                     row({{cut.substr(0, 27) + "...", 31}})},
      {"list-dir/col %list/ 10\n",
       row({{"a", 5}, {"b", 5}, {"e...", 5}, {"f...", 5}, {"g...", 5}})},
      {"ls list/empty\n", ""},
      {"list-dir 1\n", "*** Script Error: list-dir does not allow integer! for its dir argument\n"},
      {"cd list/empty\npwd\ncd %..\ncd ..\npwd\n",
       "== %" + folder_.string() + "/list/empty/\n%" + folder_.string() + "/list/empty/\n== %" +
           folder_.string() + "/list/\n== %" + folder_.string() + "/\n%" + folder_.string() + "/\n"},
      {"expand [#do [x: 1] #if x = 1 [a]]\n", "[a]\n== [a]\n"},
      {"print first spec-of :pwd\n", "Displays the active directory path\u00a0(Print Working Dir)\n"},
      {"print first spec-of :halt\n", "Stops evaluation and returns to the input prompt\n"},
  };
  for (const Case& c : cases) {
    Transcript t = run("", c.input);
    std::string out = test::without_banner(t.out);
    if (c.input == "list-dir 1\n") out = out.substr(0, out.find('\n') + 1);
    EXPECT_EQ(out, c.out) << c.input;
  }
}


TEST_F(Session, CompletionOffersFilesPathsAndWords) {
  write_file("comp/alpha.txt", "");
  write_file("comp/alps/x", "");
  write_file("comp/beta", "");
  std::filesystem::create_directories(folder_ / "comp" / "locked");
  // Each case: the line, the cursor (-1 for its end), console?; what is printed is
  // the mold of the answer, with the line shown whole and the cursor as an index.
  write_file("complete.zol", R"(Zol []
f: func [x /alpha /beta /local z] [x]
o: context [abc: 1 abd: 2 xyz: 3]
show: func [line pos console? /local r] [
    r: zol-complete-input either pos < 0 [tail line] [skip line pos] console?
    if all [console? not empty? r] [r/1: reduce [head r/1 index? r/1]]
    print mold r
]
cd comp
foreach [line pos console?] reduce [
    "f/al" -1 true   "f/al" -1 false   "f/" -1 false   "o/ab" -1 true   "o/x" -1 true
    "x: o/xy 2" 7 true   "[o/x" -1 true   "%al" -1 true   "%al" -1 false   "%b" -1 true
    "%nothing/x" -1 true   "%" -1 true   "print" -1 true
] [show line pos console?]
; Words follow the global context's order, so they are compared sorted.
r: zol-complete-input tail "x:prin" false
print mold sort next r
r: zol-complete-input tail "pri" false
print [r/1 to logic! find r "print" to logic! find r "prin" to logic! find r "f"]
r: zol-complete-input tail "prin" true
print mold reduce [head r/1 index? r/1 next r]
)");
  Transcript t = run("complete.zol", "");
  EXPECT_EQ(t.out,
            "[[\"f/alpha\" 8]]\n"
            "[path \"f/alpha\"]\n"
            "[path \"alpha\" \"beta\"]\n"
            "[[\"o/ab\" 5] \"abc\" \"abd\"]\n"
            "[[\"o/xyz\" 6]]\n"
            "[[\"x: o/xyz 2\" 9]]\n"
            "[[\"[o/xyz\" 7]]\n"
            "[[\"%alp\" 5] %alpha.txt %alps/]\n"
            "[file %alpha.txt %alps/]\n"
            "[[\"%beta\" 6]]\n"
            "[]\n[]\n[]\n"
            "[\"prin\" \"print\"]\n"
            "word true true false\n"
            "[\"prin\" 5 [\"prin\" \"print\"]]\n");
  EXPECT_EQ(t.status, 0);
}

TEST_F(Session, CompletionInAFolderThatCannotBeReadOffersNothing) {
  std::filesystem::create_directories(folder_ / "shut");
  std::filesystem::permissions(folder_ / "shut", std::filesystem::perms::none);
  write_file("complete.zol", "Zol []\nprint mold zol-complete-input tail \"%shut/a\" true\n");
  Transcript t = run("complete.zol", "");
  std::filesystem::permissions(folder_ / "shut", std::filesystem::perms::owner_all);
  EXPECT_EQ(t.out, "[]\n");
  EXPECT_EQ(t.status, 0);
}

}  // namespace
}  // namespace zol
