// The process's current directory, read with getcwd into a buffer that grows until
// the path fits, and changed with chdir.
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

bool set_current_directory(const char* path) { return chdir(path) == 0; }

}  // namespace zol::platform
