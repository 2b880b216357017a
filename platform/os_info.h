// What the system reports about the operating system and the running process: the
// description behind os-info (name, architecture, kernel version and build) and
// the raw command line, which Linux does not keep and is rebuilt from argv.
#pragma once
#include <array>
#include <string>

namespace zol::platform {

struct OsInfo {
  std::string name;                 // "Linux", then " " and the distribution's name
  const char* arch = "Unknown";     // the word naming the processor architecture
  std::array<int, 3> version{};     // the kernel release's first three numbers
  int build = 0;                    // the number after "#" in the kernel's version
};
OsInfo os_info();

// The pieces os_info reads, from uname's machine, release and version fields and
// the text of /etc/os-release.
const char* arch_word(const std::string& machine);
std::array<int, 3> release_numbers(const std::string& release);
int build_number(const std::string& version);
std::string pretty_name(const std::string& os_release);

// The arguments joined by spaces, each double-quoted when it holds whitespace or a
// quotation mark (argv[0] included).
std::string command_line(int argc, char** argv);
std::string command_line();

}  // namespace zol::platform
