// The operating system's description read from uname and os-release, the command
// line rebuilt from argv, and the sh-style word splitting of a direct call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os_info.h"
#include "platform/process.h"
#include "support.h"

namespace zol {
namespace {

TEST(OsInfo, ArchitectureWordsFromMachineNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"x86_64", "x86-64"}, {"aarch64", "ARM64"}, {"i386", "x86-32"}, {"i686", "x86-32"},
      {"armv7l", "ARM"},    {"ia64", "IA-64"},    {"riscv64", "Unknown"}, {"", "Unknown"},
  };
  for (const auto& [machine, word] : cases) EXPECT_STREQ(platform::arch_word(machine), word) << machine;
}

TEST(OsInfo, KernelReleaseAndBuild) {
  using Numbers = std::array<int, 3>;
  EXPECT_EQ(platform::release_numbers("6.8.0-45-generic"), (Numbers{6, 8, 0}));
  EXPECT_EQ(platform::release_numbers("5.15.167.4-microsoft-standard"), (Numbers{5, 15, 167}));
  EXPECT_EQ(platform::release_numbers("6.1"), (Numbers{6, 1, 0}));
  EXPECT_EQ(platform::release_numbers("rc"), (Numbers{0, 0, 0}));
  EXPECT_EQ(platform::build_number("#51-Ubuntu SMP PREEMPT_DYNAMIC"), 51);
  EXPECT_EQ(platform::build_number("#1 SMP Debian"), 1);
  EXPECT_EQ(platform::build_number("SMP without a number"), 0);
}

TEST(OsInfo, PrettyNameFromOsRelease) {
  EXPECT_EQ(platform::pretty_name("NAME=\"X\"\nPRETTY_NAME=\"Debian GNU/Linux 12\"\nID=debian\n"),
            "Debian GNU/Linux 12");
  EXPECT_EQ(platform::pretty_name("PRETTY_NAME=Plain\n"), "Plain");
  EXPECT_EQ(platform::pretty_name("NAME=Only\n"), "");
}

TEST(CommandLine, QuotesArgumentsHoldingSpacesOrQuotes) {
  std::vector<std::string> args = {"/usr/bin/zol", "my script.zol", "plain", "say \"hi\"", ""};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  EXPECT_EQ(platform::command_line(int(argv.size()) - 1, argv.data()),
            "/usr/bin/zol \"my script.zol\" plain \"say \\\"hi\\\"\"");
  EXPECT_EQ(platform::command_line(1, argv.data()), "/usr/bin/zol");
}

TEST(CommandWords, SplitLikeShWithoutExpansions) {
  using Words = std::vector<std::string>;
  const std::pair<const char*, Words> cases[] = {
      {"echo hi", {"echo", "hi"}},
      {"  a \t b  ", {"a", "b"}},
      {"printf \"%s|\" \"a b\" c", {"printf", "%s|", "a b", "c"}},
      {"a'b c'd", {"ab cd"}},
      {"x\\ y", {"x y"}},
      {"\"q\\\"\\$ \\n\"", {"q\"$ \\n"}},
      {"'' end", {"", "end"}},
      {"$HOME *", {"$HOME", "*"}},
      {"", {}},
  };
  for (const auto& [command, words] : cases) EXPECT_EQ(platform::split_command_words(command), words) << command;
}

}  // namespace
}  // namespace zol
