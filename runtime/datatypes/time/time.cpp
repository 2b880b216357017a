// time!: construction, text, fields, and the arithmetic rules that differ from
// float!'s (see time.h). What time! does not define here it inherits from float!.
#include "runtime/datatypes/time/time.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "runtime/core/action_types.h"
#include "runtime/core/error.h"
#include "runtime/core/number.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"

namespace zol::time {
namespace {

constexpr double SECONDS_PER_HOUR = 3600.0;
// Seconds below this print as "00": they are the noise of a sum of fractions.
constexpr double SECONDS_NOISE = 1e-6;
constexpr int BLOCK_FIELDS = 3;

// --- make and to ---------------------------------------------------------------------------

// Hours, minutes, seconds; only the hours may be negative, which negates the whole.
double from_block(Cell* block) {
  int32_t count = block::length(block);
  if (count > BLOCK_FIELDS) fire_cannot_make(block);
  const Cell* items = block::clip_head_cell(block);
  double parts[BLOCK_FIELDS] = {0, 0, 0};
  bool negative = false;
  for (int i = 0; i < count; i++) {
    const Cell* item = &items[i];
    bool fits = item->is(T_INTEGER) || (i == 2 && item->is(T_FLOAT));
    if (!fits) fire_cannot_make(block);
    double v = number::get_double_from(item);
    if (v < 0 && i > 0) fire_cannot_make(block);
    if (v < 0) negative = true;
    parts[i] = std::fabs(v);
  }
  double total = parts[0] * SECONDS_PER_HOUR + parts[1] * 60.0 + parts[2];
  return negative ? -total : total;
}

double from_text(Cell* text) {
  if (!float_::load_string) fire(err::internal::FEATURE_NA);
  Cell loaded;
  const Cell* value = float_::load_string(text, &loaded);
  if (!value->is(T_TIME)) fire_cannot_make(text);
  return get(value);
}

Cell* make(Cell* proto, Cell* spec, int) {
  switch (spec->type()) {
    case T_TIME: return spec;
    case T_INTEGER: return make_at(proto, double(cell::get_int(spec)));
    case T_FLOAT: case T_PERCENT: return make_at(proto, cell::get_double(spec));
    case T_BLOCK: case T_PAREN: case T_HASH: return make_at(proto, from_block(spec));
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF:
      return make_at(proto, from_text(spec));
    default: fire_cannot_make(spec);
  }
}

// --- text ----------------------------------------------------------------------------------

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  return form_text(get(value), buffer, limit);
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form_text(get(value), buffer, limit);
}

// --- fields --------------------------------------------------------------------------------

Field field_of(const Cell* element) {
  if (element->is(T_INTEGER)) {
    int32_t i = cell::get_int(element);
    return i >= HOUR && i <= SECOND ? Field(i) : NO_FIELD;
  }
  if (word_cell::is_word(element)) return field_index(word_cell::symbol(element));
  return NO_FIELD;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  Field field = field_of(element);
  if (field == NO_FIELD) fire(err::script::INVALID_PATH, element, path);
  double seconds = get(parent);
  if (!value) {
    *parent = field_value(seconds, field);
    return parent;
  }
  if (!set_field(&seconds, field, value)) fire(err::script::INVALID_ARG, value);
  return make_at(parent, seconds);
}

Cell* pick(Cell* value, int32_t, Cell* index_cell) {
  Field field = field_of(index_cell);
  if (field == NO_FIELD) fire(err::script::OUT_OF_RANGE, index_cell);
  *value = field_value(get(value), field);
  return value;
}

// --- arithmetic ----------------------------------------------------------------------------

[[noreturn]] void fire_not_related(uint32_t operation, uint8_t type) {
  Cell word = word::make_global(operation);
  Cell datatype = values::of_datatype(type);
  fire(err::script::NOT_RELATED, &word, &datatype);
}

// A time plus a date is the date moved by the time.
void add() {
  if (stack::arg(1)->is(T_DATE)) {
    std::swap(*stack::arg(0), *stack::arg(1));
    date::do_math(OP_ADD);
    return;
  }
  float_::do_math(OP_ADD);
}

void subtract() {
  if (stack::arg(1)->is(T_DATE)) fire_not_related(words::subtract, T_TIME);
  float_::do_math(OP_SUBTRACT);
}

void multiply() {
  if (stack::arg(1)->is(T_TIME)) fire_not_related(words::multiply, T_TIME);
  float_::do_math(OP_MULTIPLY);
}

// A time over a time is a ratio.
void divide() {
  bool ratio = stack::arg(1)->is(T_TIME);
  float_::do_math(OP_DIVIDE);
  if (ratio) cell::set_type(stack::arg(0), T_FLOAT);
}

Cell* round(Cell* value, const Cell* scale, rounding::Mode mode) {
  if (scale && scale->is(T_MONEY)) fire_not_related(words::round_, T_MONEY);
  Cell* rounded = float_::round(value, scale, mode);
  return make_at(value, number::get_double_from(rounded));
}

// Parity of the whole seconds within the minute; the nudge keeps 2.9999999 from
// reading as 2 after a sum of fractions.
int32_t whole_seconds(const Cell* value) {
  double t = get(value);
  t += t >= 0 ? SECONDS_NOISE : -SECONDS_NOISE;
  return int32_t(std::fmod(t, 60.0));
}
bool even_q(const Cell* value) { return (whole_seconds(value) & 1) == 0; }
bool odd_q(const Cell* value) { return (whole_seconds(value) & 1) != 0; }

}  // namespace

double get(const Cell* c) { return cell::get_double(c); }
Cell* make_at(Cell* c, double seconds) { return float_::make_at(c, seconds, T_TIME); }
Cell* push(double seconds) { return float_::push(seconds, T_TIME); }
Cell* box(double seconds) { return float_::box(seconds, T_TIME); }
void make_in(NodeRef block, double seconds) {
  Cell c;
  make_at(&c, seconds);
  float_::make_in(block, c.w2, c.w3, T_TIME);
}

Field field_index(uint32_t symbol) {
  uint32_t s = symbol::resolve(symbol);
  if (s == symbol::resolve(words::hour)) return HOUR;
  if (s == symbol::resolve(words::minute)) return MINUTE;
  if (s == symbol::resolve(words::second)) return SECOND;
  return NO_FIELD;
}

int32_t get_hours(double seconds) { return int32_t(seconds / SECONDS_PER_HOUR); }
int32_t get_minutes(double seconds) {
  return int32_t(std::floor(std::fmod(std::fabs(seconds), SECONDS_PER_HOUR) / 60.0));
}

Cell field_value(double seconds, Field field) {
  switch (field) {
    case HOUR: return values::integer(get_hours(seconds));
    case MINUTE: return values::integer(get_minutes(seconds));
    default: {
      Cell c;
      float_::make_at(&c, std::fmod(seconds, 60.0));
      return c;
    }
  }
}

bool set_field(double* seconds, Field field, const Cell* value) {
  double t = *seconds;
  bool integer = value->is(T_INTEGER);
  if (!integer && !(field == SECOND && value->is(T_FLOAT))) return false;
  double v = number::get_double_from(value);
  switch (field) {
    case HOUR: t -= (std::floor(t / SECONDS_PER_HOUR) - v) * SECONDS_PER_HOUR; break;
    case MINUTE: t -= (std::floor(std::fmod(t, SECONDS_PER_HOUR) / 60.0) - v) * 60.0; break;
    default: t -= std::fmod(t, 60.0) - v; break;
  }
  *seconds = t;
  return true;
}

namespace {

// Whole minutes and the seconds within the minute. Seconds that the six-digit
// seconds text would show as 60 are carried into the minutes, and minutes into
// the hours, so that no text reads "0:00:60".
struct Clock {
  double hours, minutes, seconds;
};

Clock clock_of(double t) {
  double hours = std::floor(t / SECONDS_PER_HOUR);
  double minutes = std::floor(std::fmod(t, SECONDS_PER_HOUR) / 60.0);
  double seconds = std::fmod(t, 60.0);
  const char* shown = float_::form_decimal(seconds, float_text::KIND_SECONDS);
  if (seconds >= SECONDS_NOISE && std::strtod(shown, nullptr) >= 60.0) {
    seconds = 0;
    if (++minutes == 60) minutes = 0, hours++;
  }
  return {hours, minutes, seconds};
}

}  // namespace

int form_text(double seconds, Cell* buffer, int limit) {
  std::string text;
  if (seconds < 0) text += '-';
  Clock c = clock_of(std::fabs(seconds));
  char head[64];
  std::snprintf(head, sizeof head, "%.0f:%02d:", c.hours, int(c.minutes));
  text += head;
  if (c.seconds < SECONDS_NOISE) {
    text += "00";
  } else {
    std::string s = float_::form_decimal(c.seconds, float_text::KIND_SECONDS);
    if (s.size() == 1 || s[1] == '.') s.insert(0, "0");
    text += s;
  }
  string::concatenate_literal_part(buffer, text.data(), uint32_t(text.size()));
  return limit - int(text.size());
}

void fire_cannot_make(const Cell* value) {
  Cell datatype = values::of_datatype(T_TIME);
  fire(err::script::BAD_TO_ARG, &datatype, value);
}

void init() {
  datatype::register_type(
      T_TIME, T_FLOAT, "time!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   {A_RANDOM, INHERIT},
                                   slot_entry<A_TO>(make),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_EVAL_PATH>(eval_path),
                                   {A_COMPARE, INHERIT},
                                   {A_ABSOLUTE, INHERIT},
                                   slot_entry<A_ADD>(add),
                                   slot_entry<A_DIVIDE>(divide),
                                   slot_entry<A_MULTIPLY>(multiply),
                                   {A_NEGATE, INHERIT},
                                   {A_REMAINDER, INHERIT},
                                   slot_entry<A_ROUND>(round),
                                   slot_entry<A_SUBTRACT>(subtract),
                                   slot_entry<A_EVEN_Q>(even_q),
                                   slot_entry<A_ODD_Q>(odd_q),
                                   slot_entry<A_PICK>(pick)}));
}

}  // namespace zol::time
