// The process's current directory, read with getcwd into a buffer that grows until
// the path fits.
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

}  // namespace zol::platform
