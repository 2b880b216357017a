// The wall clock: the current calendar date and time of day, either in the local
// time zone (with the zone's offset from universal time) or in universal time; and
// sleeping for a while.
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
// The local zone's offset from universal time, in seconds, in force at an instant
// given in seconds since 1970: daylight saving makes it differ from today's.
int32_t local_offset_at(int64_t seconds);
// The universal calendar fields of an instant given in seconds since 1970 (file
// times).
WallClock calendar_of(int64_t seconds, int32_t nanoseconds);

// The longest sleep one call takes: the largest count of milliseconds a signed
// 32-bit number holds (a little under 25 days).
constexpr int64_t MAX_SLEEP_MS = 2147483647;

// The milliseconds a sleep of `seconds` takes: truncated, at least 1, at most
// MAX_SLEEP_MS (an infinite wait among them); -1 for a negative or NaN time, which
// no sleep can stand for.
int64_t sleep_milliseconds(double seconds);

// Sleeps that many milliseconds, going on after a signal interrupts the sleep.
void sleep_for(int64_t milliseconds);

// Milliseconds of a clock that only moves forward (CLOCK_MONOTONIC), for measuring
// time between events; its zero is arbitrary.
int64_t monotonic_ms();

}  // namespace zol::platform
