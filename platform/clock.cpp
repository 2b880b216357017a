// The wall clock on Linux: clock_gettime for the instant, localtime_r (which
// reads TZ) or gmtime_r for its calendar fields, tm_gmtoff for the zone; nanosleep
// for sleeping.
#include "platform/clock.h"

#include <cerrno>
#include <cmath>
#include <ctime>

namespace zol::platform {

WallClock read_wall_clock(bool universal) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm fields{};
  if (universal) gmtime_r(&now.tv_sec, &fields);
  else localtime_r(&now.tv_sec, &fields);
  return WallClock{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                   fields.tm_hour,        fields.tm_min,     fields.tm_sec,
                   int32_t(now.tv_nsec),  universal ? 0 : int32_t(fields.tm_gmtoff)};
}

int32_t local_offset_at(int64_t seconds) {
  std::time_t instant = std::time_t(seconds);
  std::tm fields{};
  localtime_r(&instant, &fields);
  return int32_t(fields.tm_gmtoff);
}

int64_t sleep_milliseconds(double seconds) {
  if (std::isnan(seconds) || seconds < 0.0) return -1;
  double ms = seconds * 1000.0;
  if (ms >= double(MAX_SLEEP_MS)) return MAX_SLEEP_MS;
  return ms < 1.0 ? 1 : int64_t(ms);
}

void sleep_for(int64_t milliseconds) {
  timespec left{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

int64_t monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

WallClock calendar_of(int64_t seconds, int32_t nanoseconds) {
  time_t at = time_t(seconds);
  std::tm fields{};
  gmtime_r(&at, &fields);
  return WallClock{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                   fields.tm_min,         fields.tm_sec,     nanoseconds,    0};
}

}  // namespace zol::platform
