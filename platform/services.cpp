// Sleeping, the environment, the cache folder and the platform start-up on Linux:
// nanosleep (resumed with the remaining time after a signal), getenv, setenv and
// unsetenv.
#include <ctime>
#include <cerrno>
#include <cstdlib>

#include "platform/platform.h"

namespace zol::platform {

void init() {
  // The output layer needs no start-up of its own yet; when it gains one, it is
  // called from here, before anything is written.
}

int64_t wait_milliseconds(double seconds) {
  double ms = seconds * 1000.0;
  // The comparison is false for NaN, which therefore also waits the minimum.
  if (!(ms >= 1.0)) ms = 1.0;
  constexpr double LONGEST = 9.2e18;
  return ms >= LONGEST ? int64_t(LONGEST) : int64_t(ms);
}

void wait(double seconds) {
  int64_t ms = wait_milliseconds(seconds);
  timespec left{time_t(ms / 1000), long(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
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
