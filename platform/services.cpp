// The environment, the cache folder and the platform start-up on Linux: getenv,
// setenv and unsetenv. (Sleeping is in clock.cpp.)
#include <cstdlib>

#include "platform/platform.h"

namespace zol::platform {

void init() {
  // The output layer needs no start-up of its own yet; when it gains one, it is
  // called from here, before anything is written.
}

bool get_env(const char* name, std::string* value) {
  const char* found = std::getenv(name);
  if (!found) return false;
  *value = found;
  return true;
}

bool set_env(const char* name, const char* value) {
  return (value ? setenv(name, value, 1) : unsetenv(name)) == 0;
}

std::string cache_directory() {
  std::string base;
  if (get_env("XDG_CACHE_HOME", &base) && !base.empty()) {
    // Used as given.
  } else if (get_env("HOME", &base) && !base.empty()) {
    base += base.back() == '/' ? ".cache" : "/.cache";
  } else {
    return std::string();
  }
  if (base.back() != '/') base += '/';
  return base + "zol/";
}

}  // namespace zol::platform
