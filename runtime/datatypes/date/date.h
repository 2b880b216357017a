// date!: a calendar date with an optional time of day and time zone.
//
// Cell: word 0 the header (type date!); word 1 the packed date; words 2-3 a double,
// the time of day in universal time counted from the start of the local date in
// word 1 (so it may lie below 0 or past a day by up to the zone offset), 0.0 when
// the date has no time. Packed date, high bits first:
//   bits 17-31  year, signed (read with an arithmetic shift)
//   bit  16     has a time (and so a zone)
//   bits 12-15  month 1-12
//   bits 7-11   day 1-31
//   bits 0-6    zone: bit 6 west of Greenwich, bits 2-5 whole hours, bits 0-1
//               quarter hours
// The calendar works on day counts: days since 1 March of year 0, where
// 1-Jan-1970 is 719468; (days + 2) mod 7 is 0 on a Monday.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::date {

void init();

constexpr int32_t EPOCH_DAYS = 719468;   // day count of 1-Jan-1970
constexpr uint32_t HAS_TIME = 1u << 16;
constexpr uint32_t ZONE_BITS = 0x7F;
constexpr uint32_t ZONE_WEST = 0x40;

// --- the packed word ----------------------------------------------------------------------

inline int32_t year(uint32_t p) { return int32_t(p) >> 17; }
inline int month(uint32_t p) { return int(p >> 12 & 0xF); }
inline int day(uint32_t p) { return int(p >> 7 & 0x1F); }
inline uint32_t zone(uint32_t p) { return p & ZONE_BITS; }
inline bool has_time(uint32_t p) { return (p & HAS_TIME) != 0; }
uint32_t pack(int32_t year, int month, int day, uint32_t zone, bool has_time);

// Zone bits for an offset in whole hours and minutes (the sign of the zone is that
// of the offset as a whole, so -0:30 stays west); minutes round down to quarters.
uint32_t zone_bits(int hours, int minutes, bool west);
int32_t zone_seconds(uint32_t zone);

// --- the calendar -------------------------------------------------------------------------

bool leap_year(int32_t year);
int month_length(int32_t year, int month);
int32_t to_days(uint32_t packed);
uint32_t from_days(int32_t days, uint32_t zone, bool has_time);
int32_t year_start_days(uint32_t packed);
int32_t iso_week_start(uint32_t packed, int* first_weekday);
int weekday(int32_t days);                 // 1 Monday .. 7 Sunday
// Carries whole days out of a stored time so that its local time lies in one day;
// answers the new day count.
int32_t normalize_time(int32_t days, double* time, uint32_t zone);

// --- cells ---------------------------------------------------------------------------------

inline uint32_t packed(const Cell* c) { return c->w1; }
inline double stored_time(const Cell* c) { return cell::get_double(c); }
Cell* make_packed(Cell* c, uint32_t packed, double time);
Cell* push(uint32_t packed, double time);
void make_in(NodeRef block, uint32_t packed, double time);

// The lexer's entry: validated fields, the time as local seconds.
Cell* make_at(Cell* c, int32_t year, int month, int day, double time, uint32_t zone,
              bool has_time);
// A universal time with nanoseconds (file times, the clock).
Cell* make_at_system(Cell* c, int32_t year, int month, int day, int hour, int minute,
                     int second, int32_t nanoseconds);

// Moves a date within its year (week and ordinal dates of the lexer).
void set_isoweek(Cell* c, int32_t week);
void set_weekday(Cell* c, int32_t weekday);
void set_yearday(Cell* c, int32_t yearday);

// The fields a path, pick or `now` names, 1-based; NO_FIELD for any other word.
enum Field : int {
  NO_FIELD = -1, F_DATE = 1, F_YEAR, F_MONTH, F_DAY, F_ZONE, F_TIME, F_HOUR, F_MINUTE,
  F_SECOND, F_WEEKDAY, F_YEARDAY, F_TIMEZONE, F_WEEK, F_ISOWEEK,
};
Field field_index(uint32_t symbol);
Cell field_value(const Cell* date, Field field);

// Seconds since 1970-01-01T00:00 UTC. Raises math overflow past the 32-bit range
// of integer!.
int64_t to_epoch(const Cell* date);
int32_t to_epoch32(const Cell* date);

// a becomes a time! of the exact interval a - b.
Cell* difference(Cell* a, const Cell* b);

// add/subtract on the frame's two arguments, the first a date!.
void do_math(int op);

}  // namespace zol::date
