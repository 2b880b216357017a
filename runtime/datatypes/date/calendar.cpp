// date!: the calendar on day counts and the packed word (see date.h). Nothing here
// allocates; the actions and the lexer build on these.
#include <cmath>

#include "runtime/datatypes/date/date.h"

namespace zol::date {
namespace {

constexpr int32_t DAYS_PER_WEEK = 7;

// Remainder taken as 0 .. d - 1 whatever the sign of n.
int32_t floor_mod(int32_t n, int32_t d) { return ((n % d) + d) % d; }

int32_t days_before_year(int32_t y) { return 365 * y + y / 4 - y / 100 + y / 400; }

}  // namespace

uint32_t pack(int32_t year, int month, int day, uint32_t zone, bool has_time) {
  return uint32_t(year) << 17 | (has_time ? HAS_TIME : 0) | uint32_t(month & 0xF) << 12 |
         uint32_t(day & 0x1F) << 7 | (zone & ZONE_BITS);
}

uint32_t zone_bits(int hours, int minutes, bool west) {
  uint32_t bits = uint32_t(std::abs(hours) << 2 | (std::abs(minutes) / 15 & 3)) & 0x3F;
  return bits | (west && bits ? ZONE_WEST : 0);
}

int32_t zone_seconds(uint32_t zone) {
  int32_t seconds = int32_t(zone >> 2 & 0xF) * 3600 + int32_t(zone & 3) * 900;
  return zone & ZONE_WEST ? -seconds : seconds;
}

bool leap_year(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int month_length(int32_t year, int month) {
  static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap_year(year) ? 29 : lengths[month - 1];
}

// Counting years from March puts the leap day last, so a month's first day is a
// linear function of its number.
int32_t to_days(uint32_t packed) {
  int32_t m = (month(packed) + 9) % 12;
  int32_t y = year(packed) - m / 10;
  return days_before_year(y) + (306 * m + 5) / 10 + (day(packed) - 1);
}

uint32_t from_days(int32_t days, uint32_t zone, bool has_time) {
  int32_t y = int32_t((10000.0 * days + 14780.0) / 3652425.0);
  int32_t r = days - days_before_year(y);
  if (r < 0) {
    y--;
    r = days - days_before_year(y);
  }
  int32_t mi = (100 * r + 52) / 3060;
  int m = (mi + 2) % 12 + 1;
  int32_t year = y + (mi + 2) / 12;
  int d = r - (306 * mi + 5) / 10 + 1;
  return pack(year, m, d, zone, has_time);
}

int32_t year_start_days(uint32_t packed) { return to_days(pack(year(packed), 1, 1, 0, false)); }

int weekday(int32_t days) { return floor_mod(days + 2, DAYS_PER_WEEK) + 1; }

// Week 1 is the one holding the year's first Thursday.
int32_t iso_week_start(uint32_t packed, int* first_weekday) {
  int32_t j = year_start_days(packed);
  int32_t b = floor_mod(j + 2, DAYS_PER_WEEK);
  if (first_weekday) *first_weekday = b + 1;
  return b >= 4 ? j - b + 7 : j - b;
}

int32_t normalize_time(int32_t days, double* time, uint32_t zone) {
  double z = zone_seconds(zone) / 3600.0;
  int32_t k = int32_t(std::trunc(*time / 3600.0 + z)) / 24;
  days += k;
  *time -= k * 86400.0;
  if (z * 3600.0 + *time < 0) {
    days--;
    *time += 86400.0;
  }
  return days;
}

}  // namespace zol::date
