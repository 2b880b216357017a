// The wall clock: the current calendar date and time of day, either in the local
// time zone (with the zone's offset from universal time) or in universal time.
#pragma once
#include <cstdint>

namespace zol::platform {

struct WallClock {
  int32_t year;
  int month, day;            // 1-based
  int hour, minute, second;
  int32_t nanoseconds;
  int32_t offset_seconds;    // local time minus universal time; 0 for universal time
};

WallClock read_wall_clock(bool universal);
// The universal calendar fields of an instant given in seconds since 1970 (file
// times).
WallClock calendar_of(int64_t seconds, int32_t nanoseconds);

}  // namespace zol::platform
