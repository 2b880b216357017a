// The operating system's description from uname and /etc/os-release, and the
// command line rebuilt from the argument vector.
#include "platform/os_info.h"

#include <sys/utsname.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

namespace zol::platform {

const char* arch_word(const std::string& machine) {
  if (machine == "x86_64") return "x86-64";
  if (machine == "aarch64") return "ARM64";
  if (machine == "i386" || machine == "i686") return "x86-32";
  if (machine == "ia64") return "IA-64";
  if (machine.rfind("arm", 0) == 0) return "ARM";
  return "Unknown";
}

std::array<int, 3> release_numbers(const std::string& release) {
  std::array<int, 3> numbers{};
  size_t at = 0;
  for (int& n : numbers) {
    if (at >= release.size() || !std::isdigit(static_cast<unsigned char>(release[at]))) break;
    while (at < release.size() && std::isdigit(static_cast<unsigned char>(release[at]))) {
      int digit = release[at++] - '0';
      if (n < 100'000'000) n = n * 10 + digit;  // a runaway number stops growing
    }
    if (at < release.size() && release[at] == '.') at++;
    else break;
  }
  return numbers;
}

int build_number(const std::string& version) {
  size_t hash = version.find('#');
  if (hash == std::string::npos) return 0;
  return std::atoi(version.c_str() + hash + 1);
}

std::string pretty_name(const std::string& os_release) {
  std::istringstream lines(os_release);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
    std::string value = line.substr(12);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return "";
}

OsInfo os_info() {
  OsInfo info;
  info.name = "Linux";
  std::ifstream file("/etc/os-release");
  std::stringstream text;
  text << file.rdbuf();
  std::string pretty = pretty_name(text.str());
  if (!pretty.empty()) info.name += " " + pretty;
  utsname names{};
  if (uname(&names) == 0) {
    info.arch = arch_word(names.machine);
    info.version = release_numbers(names.release);
    info.build = build_number(names.version);
  }
  return info;
}

std::string command_line(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; i++) {
    std::string arg = argv[i];
    bool quote = arg.find_first_of(" \t\n\"'") != std::string::npos;
    if (!line.empty()) line += ' ';
    if (!quote) {
      line += arg;
      continue;
    }
    line += '"';
    for (char c : arg) line += c == '"' ? std::string("\\\"") : std::string(1, c);
    line += '"';
  }
  return line;
}

std::string command_line() { return command_line(arg_count(), arg_vector()); }

}  // namespace zol::platform
