// date!: cells, fields, text, comparison, arithmetic and make/to (see date.h).
#include "runtime/datatypes/date/date.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/number.h"
#include "runtime/core/random.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/time/time.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/memory.h"

namespace zol::date {
namespace {

constexpr double SECONDS_PER_DAY = 86400.0;
constexpr const char* MONTH_NAMES[12] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};

double local_time(const Cell* c) { return stored_time(c) + zone_seconds(zone(packed(c))); }

// Repacks a day count with the zone and time flag of `like`.
uint32_t repack(int32_t days, uint32_t like) { return from_days(days, zone(like), has_time(like)); }

[[noreturn]] void fire_cannot_make(const Cell* value) {
  Cell datatype = values::of_datatype(T_DATE);
  fire(err::script::BAD_TO_ARG, &datatype, value);
}

// --- fields --------------------------------------------------------------------------------

int32_t sunday_week(uint32_t p) {
  int32_t start = year_start_days(p);
  int32_t s = ((start + 3) % 7 + 7) % 7;
  int32_t n = to_days(p) - start + 1;
  return n > 7 - s ? (n + s - 1) / 7 + 1 : 1;
}

int32_t iso_week(uint32_t p) {
  int first;
  int32_t w1 = iso_week_start(p, &first);
  int32_t days = to_days(p);
  if (days < w1) {
    if (first == 5) return 53;
    if (first == 6) return leap_year(year(p) - 1) ? 53 : 52;
    return 52;
  }
  int32_t next = iso_week_start(pack(year(p) + 1, 1, 1, 0, false), nullptr);
  return days < next ? (days - w1) / 7 + 1 : 1;
}

Cell zone_value(uint32_t p) {
  if (!has_time(p)) return values::none;
  Cell c;
  time::make_at(&c, zone_seconds(zone(p)));
  return c;
}

Field field_of(const Cell* element) {
  if (element->is(T_INTEGER)) {
    int32_t i = cell::get_int(element);
    return i >= F_DATE && i <= F_ISOWEEK ? Field(i) : NO_FIELD;
  }
  if (word_cell::is_word(element)) return field_index(word_cell::symbol(element));
  return NO_FIELD;
}

// --- setting fields ------------------------------------------------------------------------

// Years carry so that the month falls into 1 to 12, then the day count renormalises
// a day past the month's end into the next month.
uint32_t with_month(uint32_t p, int32_t month) {
  int32_t shift = int32_t(std::floor((month - 1) / 12.0));
  int32_t m = month - 1 - shift * 12 + 1;
  return repack(to_days(pack(year(p) + shift, m, day(p), zone(p), has_time(p))), p);
}

// The zone a path value names, with the sign of the whole offset.
bool zone_of(const Cell* value, uint32_t* bits) {
  if (value->is(T_INTEGER)) {
    int32_t hours = cell::get_int(value) % 16;
    *bits = zone_bits(hours, 0, hours < 0);
    return true;
  }
  if (!value->is(T_TIME)) return false;
  double t = std::fmod(time::get(value), 57600.0);
  int hours = int(std::fabs(t) / 3600);
  int minutes = int(std::fmod(std::fabs(t), 3600.0) / 60) / 15 % 4 * 15;
  *bits = zone_bits(hours, minutes, t < 0);
  return true;
}

// A new local time of day: the stored time is the local time less the zone, and
// whole days carry into the date.
void set_local_time(Cell* date, double local) {
  uint32_t p = packed(date) | HAS_TIME;
  double t = local - zone_seconds(zone(p));
  int32_t days = normalize_time(to_days(p), &t, zone(p));
  make_packed(date, repack(days, p), t);
}

int32_t moved_days(uint32_t p, Field field, int32_t n) {
  int32_t days = to_days(p);
  switch (field) {
    case F_DAY: return to_days(pack(year(p), month(p), 1, 0, false)) - 1 + n;
    case F_WEEKDAY: return days + (n - 1) - ((days + 2) % 7 + 7) % 7;
    case F_YEARDAY: return year_start_days(p) + n - 1;
    case F_WEEK: {
      int32_t start = year_start_days(p);
      int32_t s = ((start + 3) % 7 + 7) % 7;
      return n > 1 ? start + 7 * n - s - 7 : start;
    }
    default: return iso_week_start(p, nullptr) + 7 * n - 7;   // F_ISOWEEK
  }
}

// `zone` keeps the local time and moves the instant; `timezone` keeps the instant
// and shows it in the new zone.
bool set_zone(Cell* date, Field field, const Cell* value) {
  uint32_t bits;
  if (!zone_of(value, &bits)) return false;
  uint32_t p = packed(date);
  double t = stored_time(date);
  double local = t + zone_seconds(zone(p));
  p = (p & ~ZONE_BITS) | bits | HAS_TIME;
  if (field == F_ZONE) t = local - zone_seconds(bits);
  int32_t days = normalize_time(to_days(p), &t, bits);
  make_packed(date, repack(days, p), t);
  return true;
}

// The time of day, or one of its fields, in local time.
bool set_clock(Cell* date, Field field, const Cell* value) {
  if (field == F_TIME && value->is(T_NONE)) {
    make_packed(date, packed(date) & ~HAS_TIME, 0.0);
    return true;
  }
  double local = local_time(date);
  if (field == F_TIME) {
    if (!value->is(T_TIME)) return false;
    local = time::get(value);
  } else if (!time::set_field(&local, time::Field(field - F_HOUR + 1), value)) {
    return false;
  }
  set_local_time(date, local);
  return true;
}

// The fields that move the date by whole days; they take an integer!.
bool set_calendar(Cell* date, Field field, const Cell* value) {
  if (!value->is(T_INTEGER)) return false;
  uint32_t p = packed(date);
  int32_t n = cell::get_int(value);
  switch (field) {
    case F_YEAR: p = repack(to_days(pack(n, month(p), day(p), zone(p), has_time(p))), p); break;
    case F_MONTH: p = with_month(p, n); break;
    default: p = repack(moved_days(p, field, n), p); break;
  }
  make_packed(date, p, stored_time(date));
  return true;
}

// The date part of another date!; the zone and the time stay.
bool set_date(Cell* date, const Cell* value) {
  if (!value->is(T_DATE)) return false;
  uint32_t p = packed(date), q = packed(value);
  make_packed(date, pack(year(q), month(q), day(q), zone(p), has_time(q)), stored_time(date));
  return true;
}

bool set_field(Cell* date, Field field, const Cell* value) {
  switch (field) {
    case F_DATE: return set_date(date, value);
    case F_ZONE: case F_TIMEZONE: return set_zone(date, field, value);
    case F_TIME: case F_HOUR: case F_MINUTE: case F_SECOND: return set_clock(date, field, value);
    default: return set_calendar(date, field, value);
  }
}

// --- actions ------------------------------------------------------------------------------

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  Field field = field_of(element);
  if (field == NO_FIELD) fire(err::script::INVALID_PATH, element, path);
  if (!value) {
    *parent = field_value(parent, field);
    return parent;
  }
  Cell changed = *parent;
  if (!set_field(&changed, field, value)) fire(err::script::INVALID_ARG, value);
  *parent = changed;
  return parent;
}

Cell* pick(Cell* value, int32_t, Cell* index_cell) {
  Field field = field_of(index_cell);
  if (field == NO_FIELD) fire(err::script::OUT_OF_RANGE, index_cell);
  *value = field_value(value, field);
  return value;
}

// A field of an object, or null.
const Cell* object_field(const Cell* object, uint32_t known) {
  if (!object || !object->is(T_OBJECT)) return nullptr;
  int32_t i = context::find_word(object->w1, known, true);
  if (i < 0) return nullptr;
  return context::value_at(object->w1, word_cell::index(context::get_word(object->w1, i)));
}

// The month's name in system/locale/months, which a script may change; null
// before the system object has a locale (the English names serve then).
const Cell* month_name(int month) {
  const Cell* locale = object_field(context::global_value(words::system_), words::locale);
  if (!locale) return nullptr;
  const Cell* months = object_field(locale, words::months);
  if (!months || !months->is(T_BLOCK)) fire(err::script::INVALID_MONTHS);
  Cell list = *months;
  if (block::length(&list) < month) fire(err::script::INVALID_MONTHS);
  const Cell* name = block::clip_head_cell(&list) + (month - 1);
  if (!name->is(T_STRING)) fire(err::script::INVALID_MONTHS);
  return name;
}

int append(Cell* buffer, const std::string& text, int limit) {
  string::concatenate_literal_part(buffer, text.data(), uint32_t(text.size()));
  return limit - int(text.size());
}

// The first three characters of the month's name.
int append_month(Cell* buffer, int month, int limit) {
  constexpr int32_t SHOWN = 3;
  const Cell* name = month_name(month);
  if (!name) return append(buffer, std::string(MONTH_NAMES[month - 1], SHOWN), limit);
  Cell source = *name;
  int32_t shown = std::min(SHOWN, string::clip_length(&source));
  string::concatenate(buffer, &source, SHOWN, 0, true, string::CONCAT_APPEND);
  return limit - shown;
}

// "15-Jan-2024"; a negative year takes "/" as the separator ("1/Jan/-50") and a
// year below 100 is padded to four digits.
int append_date(Cell* buffer, uint32_t p, int limit) {
  int32_t y = year(p);
  std::string sep = y < 0 ? "/" : "-";
  limit = append(buffer, std::to_string(day(p)) + sep, limit);
  limit = append_month(buffer, month(p), limit);
  char text[16];
  std::snprintf(text, sizeof text, y >= 0 && y < 100 ? "%04d" : "%d", y);
  return append(buffer, sep + text, limit);
}

// "+05:30", "-00:30"; nothing for a zero zone.
std::string zone_text(uint32_t bits) {
  if (bits == 0) return "";
  int32_t z = std::abs(zone_seconds(bits));
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d:%02d", bits & ZONE_WEST ? '-' : '+', z / 3600,
                z % 3600 / 60);
  return text;
}

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  uint32_t p = packed(value);
  limit = append_date(buffer, p, limit);
  if (!has_time(p)) return limit;
  limit = append(buffer, "/", limit);
  limit = time::form_text(local_time(value), buffer, limit);
  return append(buffer, zone_text(zone(p)), limit);
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form(value, buffer, how.part, limit);
}

int order(double a, double b) { return (a > b) - (a < b); }

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_DATE)) return COMPARE_NOT_COMPARABLE;
  constexpr uint32_t DATE_BITS = ~(HAS_TIME | ZONE_BITS);
  int32_t da = int32_t(packed(a) & DATE_BITS), db = int32_t(packed(b) & DATE_BITS);
  double ta = stored_time(a), tb = stored_time(b);
  if (op == C_SAME) return da == db && a->w2 == b->w2 && a->w3 == b->w3 ? 0 : 1;
  if (da != db) return da < db ? -1 : 1;
  if (float_::almost_equal(ta, tb)) return 0;
  return order(ta, tb);
}

// --- make and to ---------------------------------------------------------------------------

// What a spec block holds, filled by the reading states.
struct Spec {
  int32_t d[3] = {0, 0, 0};
  int32_t h = 0, mi = 0, s = 0, zh = 0, zm = 0;
  double sf = 0, whole_time = 0, zone_time = 0;
  int count = 0, state = 0;
};

enum Class { C_INT, C_TIME, C_FLOAT };

// The next state for a value of a class, or -1 when the state does not take it.
int next_state(int state, Class k) {
  static const int8_t table[14][3] = {
      {1, -1, -1}, {2, -1, -1},  {3, -1, -1},  {8, 4, -1},  {6, 5, -1},
      {-1, -1, -1}, {7, -1, -1}, {-1, -1, -1}, {9, -1, -1}, {10, -1, 10},
      {12, 11, -1}, {-1, -1, -1}, {13, -1, -1}, {-1, -1, -1},
  };
  return table[state][k];
}

void fill(Spec* spec, int state, const Cell* v) {
  int32_t n = v->is(T_INTEGER) ? cell::get_int(v) : 0;
  switch (state) {
    case 0: case 1: case 2: spec->d[state] = n; break;
    case 3: if (v->is(T_TIME)) spec->whole_time = time::get(v); else spec->h = n; break;
    case 4: case 10: if (v->is(T_TIME)) spec->zone_time = time::get(v); else spec->zh = n; break;
    case 6: case 12: spec->zm = n; break;
    case 8: spec->mi = n; break;
    default: if (v->is(T_FLOAT)) spec->sf = cell::get_double(v); else spec->s = n; break;  // 9
  }
}

Spec read_spec(Cell* block) {
  Spec spec;
  int32_t count = block::length(block);
  const Cell* items = block::clip_head_cell(block);
  for (int32_t i = 0; i < count; i++) {
    const Cell* v = &items[i];
    Class k = v->is(T_INTEGER) ? C_INT : v->is(T_TIME) ? C_TIME : v->is(T_FLOAT) ? C_FLOAT
                                                                                 : Class(-1);
    if (int(k) < 0) fire_cannot_make(block);
    int next = next_state(spec.state, k);
    if (next < 0) fire_cannot_make(block);
    fill(&spec, spec.state, v);
    spec.state = next;
  }
  spec.count = int(count);
  if (count < 3) fire_cannot_make(block);
  return spec;
}

// The zone a spec names: a time! after the time (states 5 and 11), else hours and
// minutes; its sign is that of the whole offset.
uint32_t spec_zone(const Spec& spec) {
  if (spec.state == 5 || spec.state == 11) {
    int hours = int(spec.zone_time / 3600);
    return zone_bits(hours, time::get_minutes(spec.zone_time), spec.zone_time < 0);
  }
  return zone_bits(spec.zh, spec.zm, spec.zh < 0 || (spec.zh == 0 && spec.zm < 0));
}

// The local time of day a spec names.
double spec_time(const Spec& spec) {
  if (spec.state > 7) return spec.h * 3600.0 + spec.mi * 60.0 + (spec.sf != 0.0 ? spec.sf : spec.s);
  return spec.state >= 4 ? spec.whole_time : 0.0;
}

// make takes a spec only when nothing in it had to carry: the date is the one given
// and the time within a day.
bool carried(const Spec& spec, uint32_t p, int32_t dd, int32_t mm, int32_t yy, double given,
             double stored) {
  bool same_date = year(p) == yy && month(p) == mm && day(p) == dd;
  int32_t given_minutes = spec.state > 7 ? spec.mi : time::get_minutes(spec.whole_time);
  bool same_time = time::get_hours(stored) == time::get_hours(given) &&
                   time::get_hours(given) < 24 && time::get_minutes(stored) == given_minutes;
  return !same_date || !same_time;
}

Cell* from_block(Cell* proto, Cell* block, bool strict) {
  Spec spec = read_spec(block);
  int32_t dd = spec.d[0], mm = spec.d[1], yy = spec.d[2];
  if (dd > 99 && yy < dd) std::swap(dd, yy);
  double given = spec_time(spec), stored = given;
  uint32_t p = with_month(pack(yy, 1, 1, 0, spec.count > 3), mm);
  p = repack(to_days(p) - 1 + dd, p);
  p = repack(normalize_time(to_days(p), &stored, 0), p);
  if (strict && carried(spec, p, dd, mm, yy, given, stored)) fire_cannot_make(block);
  uint32_t bits = spec_zone(spec);
  p = (p & ~ZONE_BITS) | bits;
  stored -= zone_seconds(bits);
  p = repack(normalize_time(to_days(p), &stored, bits), p);
  return make_packed(proto, p, stored);
}

Cell* from_epoch(Cell* proto, int32_t seconds) {
  int32_t days = EPOCH_DAYS + seconds / 86400;
  double t = seconds % 86400;
  days = normalize_time(days, &t, 0);
  return make_packed(proto, from_days(days, 0, true), t);
}

Cell* to(Cell* proto, Cell* spec, int) {
  switch (spec->type()) {
    case T_DATE: return spec;
    case T_INTEGER: return from_epoch(proto, cell::get_int(spec));
    case T_BLOCK: case T_PAREN: case T_HASH: return from_block(proto, spec, false);
    default: fire_cannot_make(spec);
  }
}

Cell* make(Cell* proto, Cell* spec, int) {
  switch (spec->type()) {
    case T_DATE: return spec;
    case T_BLOCK: case T_PAREN: case T_HASH: return from_block(proto, spec, true);
    default: fire_cannot_make(spec);
  }
}

// --- random -------------------------------------------------------------------------------

constexpr double DRAW_RANGE = 2147483647.0;   // a draw is 0 .. 2^31 - 1

uint32_t draw(bool secure) { return secure ? random::secure_next() : random::next(); }

// A random time of day in steps of 24 seconds.
double random_time(bool secure) {
  uint32_t d = draw(secure);
  double hours = secure ? (d / DRAW_RANGE + d) / (2147483648.0 / 3600.0) : d / DRAW_RANGE * 3600.0;
  return std::floor(hours) / 3600.0 * SECONDS_PER_DAY;
}

// A date from the day before year 0's March to the date itself; with a time, a
// random zone and time of day too. /seed seeds the generator from the date.
Cell* random_action(Cell* value, bool seed, bool secure, bool) {
  uint32_t p = packed(value);
  if (seed) {
    random::seed(p + uint32_t(int64_t(stored_time(value))));
    return cell::copy(&values::unset, value);
  }
  int32_t days = random::integer(secure, to_days(p)) - 1;
  if (!has_time(p)) return make_packed(value, repack(days, p), 0.0);
  uint32_t bits = draw(secure) & ZONE_BITS;
  double t = random_time(secure) - zone_seconds(bits);
  days = normalize_time(days, &t, bits);
  return make_packed(value, from_days(days, bits, true), t);
}

void add() { do_math(OP_ADD); }
void subtract() { do_math(OP_SUBTRACT); }

}  // namespace

// --- cells ---------------------------------------------------------------------------------

Cell* make_packed(Cell* c, uint32_t packed, double time) {
  cell::set(c, T_DATE, packed, 0, 0);
  cell::put_double(c, time);
  return c;
}

Cell* push(uint32_t packed, double time) {
  Cell c;
  return stack::push(make_packed(&c, packed, time));
}

void make_in(NodeRef block, uint32_t packed, double time) {
  make_packed(memory::alloc_tail_cell(block), packed, time);
}

Cell* make_at(Cell* c, int32_t year, int month, int day, double time, uint32_t zone,
              bool with_time) {
  if (!with_time) return make_packed(c, pack(year, month, day, 0, false), 0.0);
  return make_packed(c, pack(year, month, day, zone, true), time - zone_seconds(zone));
}

Cell* make_at_system(Cell* c, int32_t year, int month, int day, int hour, int minute,
                     int second, int32_t nanoseconds) {
  double t = hour * 3600.0 + minute * 60.0 + second + nanoseconds * 1e-9;
  return make_packed(c, pack(year, month, day, 0, true), t);
}

void set_isoweek(Cell* c, int32_t week) {
  uint32_t p = packed(c);
  make_packed(c, repack(moved_days(p, F_ISOWEEK, week), p), stored_time(c));
}
void set_weekday(Cell* c, int32_t weekday) {
  uint32_t p = packed(c);
  make_packed(c, repack(moved_days(p, F_WEEKDAY, weekday), p), stored_time(c));
}
void set_yearday(Cell* c, int32_t yearday) {
  uint32_t p = packed(c);
  make_packed(c, repack(moved_days(p, F_YEARDAY, yearday), p), stored_time(c));
}

Field field_index(uint32_t symbol) {
  static const struct {
    const uint32_t* word;
    Field field;
  } names[] = {
      {&words::date_, F_DATE},       {&words::year, F_YEAR},       {&words::month, F_MONTH},
      {&words::day, F_DAY},          {&words::zone, F_ZONE},       {&words::time_, F_TIME},
      {&words::hour, F_HOUR},        {&words::minute, F_MINUTE},   {&words::second, F_SECOND},
      {&words::weekday, F_WEEKDAY},  {&words::yearday, F_YEARDAY}, {&words::julian, F_YEARDAY},
      {&words::timezone, F_TIMEZONE}, {&words::week, F_WEEK},      {&words::isoweek, F_ISOWEEK},
  };
  uint32_t s = symbol::resolve(symbol);
  for (const auto& n : names)
    if (symbol::resolve(*n.word) == s) return n.field;
  return NO_FIELD;
}

Cell field_value(const Cell* date, Field field) {
  uint32_t p = packed(date);
  double t = local_time(date);
  Cell c;
  switch (field) {
    case F_DATE: return *make_packed(&c, p & ~(HAS_TIME | ZONE_BITS), 0.0);
    case F_YEAR: return values::integer(year(p));
    case F_MONTH: return values::integer(month(p));
    case F_DAY: return values::integer(day(p));
    case F_ZONE: case F_TIMEZONE: return zone_value(p);
    case F_TIME: return has_time(p) ? *time::make_at(&c, t) : values::none;
    case F_HOUR: return values::integer(time::get_hours(t));
    case F_MINUTE: return values::integer(time::get_minutes(t));
    case F_SECOND: return *float_::make_at(&c, std::fmod(t, 60.0));
    case F_WEEKDAY: return values::integer(weekday(to_days(p)));
    case F_YEARDAY: return values::integer(to_days(p) - year_start_days(p) + 1);
    case F_WEEK: return values::integer(sunday_week(p));
    case F_ISOWEEK: return values::integer(iso_week(p));
    default: return values::none;
  }
}

int64_t to_epoch(const Cell* date) {
  return int64_t(to_days(packed(date)) - EPOCH_DAYS) * 86400 +
         int64_t(std::trunc(stored_time(date) + 0.5));
}

int32_t to_epoch32(const Cell* date) {
  int64_t seconds = to_epoch(date);
  if (seconds != int32_t(seconds)) fire(err::math::OVERFLOW);
  return int32_t(seconds);
}

Cell* difference(Cell* a, const Cell* b) {
  double seconds = (to_days(packed(a)) - to_days(packed(b))) * SECONDS_PER_DAY +
                   stored_time(a) - stored_time(b);
  return time::make_at(a, seconds);
}

void do_math(int op) {
  Cell* left = stack::arg(0);
  const Cell* right = stack::arg(1);
  uint32_t p = packed(left);
  int32_t day_delta = 0;
  double time_delta = 0;
  switch (right->type()) {
    case T_INTEGER: day_delta = cell::get_int(right); break;
    case T_TIME: time_delta = time::get(right); p |= HAS_TIME; break;
    case T_DATE:
      if (op == OP_ADD) {
        Cell word = word::make_global(words::add), datatype = values::of_datatype(T_DATE);
        fire(err::script::NOT_RELATED, &word, &datatype);
      }
      day_delta = to_days(packed(right));
      time_delta = stored_time(right);
      break;
    default: {
      Cell datatype = values::of_datatype(right->type());
      fire(err::script::INVALID_TYPE, &datatype);
    }
  }
  int32_t sign = op == OP_ADD ? 1 : -1;
  int32_t days = to_days(p) + sign * day_delta;
  double t = stored_time(left) + sign * time_delta;
  days = normalize_time(days, &t, zone(p));
  if (right->is(T_DATE)) {
    *left = values::integer(days);
    return;
  }
  make_packed(left, repack(days, p), t);
}

void init() {
  datatype::register_type(T_DATE, 0, "date!",
                          datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_RANDOM>(random_action),
                                                       slot_entry<A_TO>(to),
                                                       slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_EVAL_PATH>(eval_path),
                                                       slot_entry<A_COMPARE>(compare),
                                                       slot_entry<A_ADD>(add),
                                                       slot_entry<A_SUBTRACT>(subtract),
                                                       slot_entry<A_PICK>(pick)}));
}

}  // namespace zol::date
