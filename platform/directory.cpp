// The process's current directory (read with getcwd into a buffer that grows until
// the path fits, changed with chdir), directory creation and the existence test:
// plain POSIX calls on UTF-8 paths until the file layer has its own.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/platform.h"

namespace zol::platform {

std::string current_directory() {
  std::vector<char> path(256);
  while (getcwd(path.data(), path.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    path.resize(path.size() * 2);
  }
  return std::string(path.data());
}

bool set_current_directory(const std::string& path) { return chdir(path.c_str()) == 0; }

bool create_directory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool path_exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

}  // namespace zol::platform
