// time! and date! literals: "1:30", "-0:00:01.5", "15-Jan-2024/10:00+05:30",
// "2024-01-15T10:00Z", "20240115T1030", "2024-W03-1", "2024-032", "1/2/03".
// Each field is read by a cursor over the token's bytes; any field out of range
// makes the token invalid rather than a different date.
#include "interpreter/lexer/date_loaders.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/time/time.h"

namespace zol::lexer {
namespace {

constexpr int FAILED = -1;
constexpr int32_t YEAR_LIMIT = 10000;   // years lie strictly between -10000 and 10000

bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }

struct Cursor {
  const uint8_t* p;
  const uint8_t* end;

  bool at_end() const { return p >= end; }
  uint8_t peek() const { return p < end ? *p : 0; }
  bool take(uint8_t c) {
    if (peek() != c) return false;
    p++;
    return true;
  }
  // Up to `most` digits (exactly `most` when `exact`); FAILED when there is none.
  int32_t digits(int most, bool exact, int* count = nullptr) {
    int32_t value = 0;
    int n = 0;
    while (n < most && is_digit(peek())) value = value * 10 + (*p++ - '0'), n++;
    if (count) *count = n;
    if (n == 0 || (exact && n != most)) return FAILED;
    return value;
  }
  // Decimal seconds: digits with an optional "." or "," fraction.
  bool decimal(double* value) {
    std::string text;
    while (is_digit(peek()) || peek() == '.' || peek() == ',')
      text += char(*p == ',' ? '.' : *p), p++;
    if (text.empty() || !is_digit(uint8_t(text[0]))) return false;
    char* stop = nullptr;
    *value = std::strtod(text.c_str(), &stop);
    return *stop == 0;
  }
  // An integer with an optional "-" and "'" group marks, within 32 bits.
  bool integer(int64_t* value, bool* negative) {
    *negative = take('-');
    int64_t v = 0;
    int n = 0;
    for (; is_digit(peek()) || peek() == '\''; p++) {
      if (*p == '\'') continue;
      v = v * 10 + (*p - '0');
      if (v > int64_t(INT32_MAX) + 1) return false;
      n++;
    }
    *value = *negative ? -v : v;
    return n > 0;
  }
};

// --- time! ---------------------------------------------------------------------------------

bool has_exponent(const uint8_t* p, const uint8_t* end) {
  return std::memchr(p, 'e', size_t(end - p)) || std::memchr(p, 'E', size_t(end - p));
}

bool read_time(Cursor c, double* seconds) {
  c.take('+');
  bool leading_minus = c.peek() == '-';
  int64_t hours, minutes;
  bool negative_hours, negative_minutes;
  if (!c.integer(&hours, &negative_hours) || !c.take(':')) return false;
  const uint8_t* after_colon = c.p;
  if (!c.integer(&minutes, &negative_minutes) || negative_minutes) return false;
  double secs = 0;
  if (!c.at_end()) {
    if (has_exponent(c.p, c.end)) return false;
    if (c.take(':')) {
      if (!c.decimal(&secs)) return false;
    } else if (c.peek() == '.' || c.peek() == ',') {
      // "1:30.5": minutes and seconds.
      Cursor rest{after_colon, c.end};
      if (!rest.decimal(&secs) || !rest.at_end()) return false;
      minutes = hours < 0 ? -hours : hours;
      hours = 0;
      c.p = c.end;
    } else {
      return false;
    }
  }
  if (!c.at_end()) return false;
  double total = double(std::llabs(hours)) * 3600.0 + double(minutes) * 60.0 + secs;
  *seconds = leading_minus || hours < 0 ? -total : total;
  return true;
}

// --- date! ---------------------------------------------------------------------------------

const char* const MONTH_NAMES[12] = {"january", "february", "march",     "april",
                                     "may",     "june",     "july",      "august",
                                     "september", "october", "november", "december"};

// A month name of 3 to 9 letters matched on its length, or FAILED.
int month_named(Cursor* c) {
  const uint8_t* start = c->p;
  while (std::isalpha(c->peek())) c->p++;
  size_t n = size_t(c->p - start);
  if (n < 3 || n > 9) return FAILED;
  for (int m = 0; m < 12; m++)
    if (std::strlen(MONTH_NAMES[m]) >= n &&
        strncasecmp(reinterpret_cast<const char*>(start), MONTH_NAMES[m], n) == 0)
      return m + 1;
  return FAILED;
}

struct Clock {
  double seconds = 0;   // local time of day
  uint32_t zone = 0;
  bool present = false;
};

// "Z", or "+hh[[:]mm]" / "-hh[[:]mm]"; nothing is a zone of 0.
bool read_zone(Cursor* c, uint32_t* zone) {
  *zone = 0;
  if (c->at_end() || c->take('Z')) return true;
  bool west = c->peek() == '-';
  if (!c->take('+') && !c->take('-')) return false;
  int32_t hours = c->digits(2, false);
  if (hours == FAILED || hours >= 16) return false;
  c->take(':');
  int32_t minutes = c->at_end() ? 0 : c->digits(2, false);
  if (minutes == FAILED || minutes >= 60) return false;
  *zone = date::zone_bits(hours, minutes, west);
  return true;
}

// hh:mm[:ss[.f]] then an optional zone.
bool read_clock(Cursor* c, Clock* clock) {
  int32_t hours = c->digits(2, false);
  if (hours == FAILED || !c->take(':')) return false;
  int32_t minutes = c->digits(2, false);
  if (minutes == FAILED) return false;
  double seconds = 0;
  if (c->take(':') && !c->decimal(&seconds)) return false;
  if (hours >= 24 || minutes >= 60 || seconds >= 60.0) return false;
  clock->seconds = hours * 3600.0 + minutes * 60.0 + seconds;
  clock->present = true;
  return read_zone(c, &clock->zone) && c->at_end();
}

// An optional "/" or "T" time part that must end the token.
bool read_time_part(Cursor* c, Clock* clock) {
  if (c->at_end()) return true;
  if (!c->take('/') && !c->take('T')) return false;
  return read_clock(c, clock);
}

// yyyymmddThhmm[ss[.f]][Z|+hh[mm]]
bool read_compact(Cursor* c, int32_t* m, int32_t* d, Clock* clock) {
  *m = c->digits(2, true);
  *d = c->digits(2, true);
  if (*m == FAILED || *d == FAILED || !c->take('T')) return false;
  int32_t hours = c->digits(2, true), minutes = c->digits(2, true);
  if (hours == FAILED || minutes == FAILED) return false;
  double seconds = 0;
  if (is_digit(c->peek()) && !c->decimal(&seconds)) return false;
  if (hours >= 24 || minutes >= 60 || seconds >= 60.0) return false;
  clock->seconds = hours * 3600.0 + minutes * 60.0 + seconds;
  clock->present = true;
  return read_zone(c, &clock->zone) && c->at_end();
}

struct Fields {
  int32_t year = 0, month = 1, day = 1;
  int32_t week = 0, weekday = 0, yearday = 0;   // week and ordinal dates
  Clock clock;
};

// day-month-year or year-month-day, with "-" or "/" between.
bool read_separated(Cursor* c, int32_t first, int first_digits, bool first_negative,
                    Fields* f) {
  uint8_t sep = c->peek();
  if (sep != '-' && sep != '/') return false;
  c->p++;
  int32_t month = is_digit(c->peek()) ? c->digits(2, false) : month_named(c);
  if (month == FAILED || !c->take(sep)) return false;
  bool third_negative = c->take('-');
  int third_digits = 0;
  int32_t third = c->digits(4, false, &third_digits);
  if (third == FAILED) return false;
  if (third_negative) third = -third;
  if (first_negative) first = -first;
  bool day_first = third_negative || third > 31 || first < 100;
  int32_t year = day_first ? third : first;
  int year_digits = day_first ? third_digits : first_digits;
  f->day = day_first ? first : third;
  f->month = month;
  if (year >= 0 && year < 100 && year_digits <= 2) year += year < 50 ? 2000 : 1900;
  f->year = year;
  return read_time_part(c, &f->clock);
}

// "-Www[-d]" after the year: the ISO week and its weekday (Monday when left out).
bool read_week_date(Cursor* c, Fields* f) {
  c->p += 2;
  f->week = c->digits(2, true);
  if (f->week == FAILED || f->week < 1 || f->week > 53) return false;
  f->weekday = 1;
  if (c->take('-') && (f->weekday = c->digits(1, true)) == FAILED) return false;
  if (f->weekday < 1 || f->weekday > 7) return false;
  return read_time_part(c, &f->clock);
}

// "-" and exactly three digits: the day of the year.
bool ordinal_follows(const Cursor& c) {
  if (c.peek() != '-' || c.end - c.p < 4) return false;
  for (int i = 1; i <= 3; i++)
    if (!is_digit(c.p[i])) return false;
  return c.end - c.p == 4 || !is_digit(c.p[4]);
}

bool read_ordinal_date(Cursor* c, Fields* f) {
  c->p++;
  f->yearday = c->digits(3, true);
  if (f->yearday < 1) return false;
  return read_time_part(c, &f->clock);
}

bool read_fields(Cursor c, Fields* f) {
  bool negative = c.take('-');
  int first_digits = 0;
  int32_t first = c.digits(4, false, &first_digits);
  if (first == FAILED) return false;
  if (is_digit(c.peek())) {
    if (negative || first_digits != 4) return false;
    f->year = first;
    return read_compact(&c, &f->month, &f->day, &f->clock);
  }
  f->year = negative ? -first : first;
  if (first_digits == 4 && c.p + 1 < c.end && c.p[0] == '-' && c.p[1] == 'W')
    return read_week_date(&c, f);
  if (ordinal_follows(c)) return read_ordinal_date(&c, f);
  return read_separated(&c, first, first_digits, negative, f);
}

bool valid(const Fields& f) {
  if (f.year <= -YEAR_LIMIT || f.year >= YEAR_LIMIT) return false;
  if (f.month < 1 || f.month > 12) return false;
  if (f.yearday > (date::leap_year(f.year) ? 366 : 365)) return false;
  return f.day >= 1 && f.day <= date::month_length(f.year, f.month);
}

}  // namespace

int load_time(const uint8_t* text, const Token& t, Cell* out) {
  double seconds;
  if (!read_time(Cursor{text + t.body_start, text + t.body_end}, &seconds)) return T_TIME;
  time::make_at(out, seconds);
  return 0;
}

int load_date(const uint8_t* text, const Token& t, Cell* out) {
  Fields f;
  if (!read_fields(Cursor{text + t.body_start, text + t.body_end}, &f) || !valid(f))
    return T_DATE;
  const Clock& clock = f.clock;
  date::make_at(out, f.year, f.month, f.day, clock.seconds, clock.zone, clock.present);
  if (f.week) {
    date::set_isoweek(out, f.week);
    date::set_weekday(out, f.weekday);
  }
  if (f.yearday) date::set_yearday(out, f.yearday);
  return 0;
}

}  // namespace zol::lexer
