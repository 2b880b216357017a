// money!: the cell, the currency list, make and to, the text form, comparison,
// paths and pick, random and the parity tests (see money.h). The arithmetic and
// rounding are in arithmetic.cpp.
#include "runtime/datatypes/money/money.h"

#include <cmath>
#include <cstring>

#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/known_words.h"
#include "runtime/core/number_scan.h"
#include "runtime/core/random.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/memory.h"
#include "runtime/numeric/floattext.h"

namespace zol::money {
namespace {

constexpr int CELL_BYTES = 16;
constexpr int CURRENCY_BYTE = 4;
constexpr int AMOUNT_START = 5;
constexpr int DEFAULT_DECIMALS = 2;
constexpr int LARGEST_FRACTION_INTEGER = 99999;   // a spec block's hundred-thousandths

[[noreturn]] void fire_with_money(err::script id, const Cell* value) {
  Cell type = values::of_datatype(T_MONEY);
  fire(id, &type, value);
}

// --- the system object ----------------------------------------------------------------

// A field of an object, or null (also when there is no object).
const Cell* object_field(const Cell* object, uint32_t known) {
  return object && object->is(T_OBJECT) ? object::value_of(object, known) : nullptr;
}

const Cell* system_field(uint32_t group, uint32_t field) {
  return object_field(object_field(context::global_value(words::system_), group), field);
}

// system/locale/currencies/list, or null before the system object has one.
const Cell* currency_list() {
  const Cell* currencies = system_field(words::locale, words::currencies);
  const Cell* list = object_field(currencies, words::list);
  return list && list->is(T_BLOCK) ? list : nullptr;
}

// Fraction digits shown by form and mold: system/options/money-digits when it is
// an integer!, else 2; never more than the 5 kept.
int shown_decimals(bool all) {
  const Cell* digits = system_field(words::options, words::money_digits);
  int d = digits && digits->is(T_INTEGER) ? cell::get_int(digits) : DEFAULT_DECIMALS;
  return all || d > FRACTION_DIGITS ? FRACTION_DIGITS : d;
}

// --- text -------------------------------------------------------------------------------

// Room for the longest text: "-", a code, "$", 17 digits with 5 group marks,
// "." and 5 decimals.
constexpr int TEXT_ROOM = 48;

struct Text {
  char bytes[TEXT_ROOM];
  int length = 0;
  void add(char c) { bytes[length++] = c; }
};

// The decimal digits of the integer part, most significant first; "0" for none.
int integer_digits(Units m, char* out) {
  char reversed[INTEGER_DIGITS];
  int n = 0;
  Units whole = m / Units(SCALE);
  do {
    reversed[n++] = char('0' + int(whole % 10));
    whole /= 10;
  } while (whole != 0);
  for (int i = 0; i < n; i++) out[i] = reversed[n - 1 - i];
  return n;
}

// The text of a value: "-", the code, "$", the integer digits (grouped by "'"
// in threes from the units when asked), and the given number of fraction
// digits, cut rather than rounded.
Text text_of(const Cell* value, int decimals, bool grouping) {
  Text text;
  if (sign(value) < 0) text.add('-');
  Cell code = currency_word(currency(value));
  if (!code.is(T_NONE)) {
    uint32_t sym = word_cell::symbol(&code);
    const char* name = symbol::get_c_string(sym);
    for (uint32_t i = 0; i < symbol::name_length(sym) && i < 3; i++) text.add(name[i]);
  }
  text.add('$');
  Units m = units(value);
  char digits[INTEGER_DIGITS];
  int n = integer_digits(m, digits);
  for (int i = 0; i < n; i++) {
    text.add(digits[i]);
    int left = n - 1 - i;
    if (grouping && left > 0 && left % 3 == 0) text.add('\'');
  }
  if (decimals > 0) {
    text.add('.');
    int64_t f = int64_t(m % Units(SCALE));
    char fraction[FRACTION_DIGITS];
    for (int i = FRACTION_DIGITS - 1; i >= 0; i--, f /= 10) fraction[i] = char('0' + f % 10);
    for (int i = 0; i < decimals; i++) text.add(fraction[i]);
  }
  return text;
}

int append_text(Cell* buffer, const Text& text, int limit) {
  string::concatenate_literal_part(buffer, text.bytes, uint32_t(text.length));
  return limit - text.length;
}

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  return append_text(buffer, text_of(value, shown_decimals(false), true), limit);
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return append_text(buffer, text_of(value, shown_decimals(how.all), false), limit);
}

// --- make and to ------------------------------------------------------------------------

Cell* from_currency(Cell* proto, const Cell* word) {
  int index = currency_index(word_cell::symbol(word));
  if (index < 0) fire_with_money(err::script::BAD_MAKE_ARG, word);
  return store(proto, false, index, 0);
}

// [code] amount [fraction]: an optional currency word, an integer! or float!
// amount, and after an integer! amount an optional count of hundred-thousandths
// (0 to 99999) carrying the amount's sign.
Cell* from_block(Cell* proto, Cell* spec) {
  auto refuse = [&]() -> Cell* { fire_with_money(err::script::BAD_MAKE_ARG, spec); };
  int32_t n = block::length(spec);
  if (n < 1 || n > 3) refuse();
  const Cell* v = block::clip_head_cell(spec);
  const Cell* end = v + n;
  int index = 0;
  if (v->is(T_WORD)) {
    index = currency_index(word_cell::symbol(v));
    if (index < 0 || ++v == end) refuse();
  }
  Cell amount{};
  if (v->is(T_INTEGER)) from_integer(&amount, cell::get_int(v));
  else if (v->is(T_FLOAT)) from_float(&amount, cell::get_double(v), true);
  else refuse();
  bool whole = v->is(T_INTEGER);
  if (++v != end) {
    if (!whole || !v->is(T_INTEGER)) refuse();
    int32_t fraction = cell::get_int(v);
    if (fraction < 0 || fraction > LARGEST_FRACTION_INTEGER || ++v != end) refuse();
    // Added to the magnitude, it moves the amount away from zero like its sign.
    Result sum = add(units(&amount), Units(fraction));
    if (sum.outcome != Outcome::OK) refuse();
    store(&amount, negative(&amount), 0, sum.magnitude);
  }
  return store(proto, negative(&amount), index, units(&amount));
}

// A money text at the string's unit size, through the money scanner.
Cell* from_text(Cell* proto, Cell* spec) {
  Cell type = values::of_datatype(T_MONEY);
  SeriesBuffer* b = memory::buffer_of(series_cell::node(spec));
  int count = int(string::clip_length(spec));
  const uint8_t* start = string::clip_head_bytes(spec);
  int unit = int(b->unit());
  number::MoneyText found;
  if (!number::scan_money(start, count, unit, &found)) fire(err::script::BAD_TO_ARG, &type, spec);
  // The scanner admits only ASCII characters, so each fits a byte.
  std::string bytes(size_t(count), '\0');
  for (int i = 0; i < count; i++) bytes[size_t(i)] = char(string::get_char(start + i * unit, uint32_t(unit)));
  const char* text = bytes.data();
  TextParts parts;
  parts.negative = found.negative;
  parts.currency = found.currency >= 0 ? text + found.currency : nullptr;
  parts.integer = text + found.amount;
  parts.integer_end = text + (found.point >= 0 ? found.point : found.end);
  parts.fraction = found.point >= 0 ? text + found.point + 1 : parts.integer_end;
  parts.fraction_end = found.point >= 0 ? text + found.end : parts.integer_end;
  switch (make_at(proto, parts)) {
    case Made::OK: return proto;
    case Made::OVERFLOW: fire(err::script::TYPE_LIMIT, &type);
    case Made::UNKNOWN_CURRENCY: break;
  }
  fire(err::script::BAD_TO_ARG, &type, spec);
}

Cell* to(Cell* proto, Cell* spec, int) {
  switch (spec->type()) {
    case T_MONEY: return spec;
    case T_INTEGER: return from_integer(proto, cell::get_int(spec));
    case T_FLOAT: return from_float(proto, cell::get_double(spec), true);
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF:
      return from_text(proto, spec);
    default: {
      Cell type = values::of_datatype(T_MONEY);
      fire(err::script::BAD_TO_ARG, &type, spec);
    }
  }
}

Cell* make(Cell* proto, Cell* spec, int type) {
  if (spec->is(T_WORD)) return from_currency(proto, spec);
  if (spec->is(T_BLOCK)) return from_block(proto, spec);
  return to(proto, spec, type);
}

// --- comparison -------------------------------------------------------------------------

// The order of two signed amounts: -1, 0 or 1.
int compare_values(const Cell* a, const Cell* b) {
  int sa = sign(a), sb = sign(b);
  if (sa != sb) return sa < sb ? -1 : 1;
  Units x = units(a), y = units(b);
  int by_magnitude = (x > y) - (x < y);
  return sa < 0 ? -by_magnitude : by_magnitude;
}

bool same_currency(const Cell* a, const Cell* b, bool strict) {
  int x = currency(a), y = currency(b);
  return x == y || (!strict && (x == 0 || y == 0));
}

// Sorting: no currency first, then codes by name, then amounts.
int compare_sort(const Cell* a, const Cell* b) {
  int x = currency(a), y = currency(b);
  if (x != y) {
    if (x == 0 || y == 0) return x == 0 ? -1 : 1;
    Cell cx = currency_word(x), cy = currency_word(y);
    if (cx.is(T_NONE) || cy.is(T_NONE)) return x < y ? -1 : 1;
    int by_name = symbol::compare_names(word_cell::symbol(&cx), word_cell::symbol(&cy), C_LESSER);
    if (by_name) return by_name;
  }
  return compare_values(a, b);
}

// A money! value against a double by their signed values: a float too small or
// too large for an amount is ordered by its sign alone.
int compare_with_double(const Cell* m, double x, int op) {
  double magnitude = std::fabs(x);
  if (magnitude > 0 && magnitude < 1e-5) {
    int s = sign(m);
    return s != 0 ? s : (x < 0 ? 1 : -1);
  }
  if (magnitude >= 1e17 && !std::isnan(x)) return x < 0 ? 1 : -1;
  Cell converted{};
  from_float(&converted, x, true);
  return compare(m, &converted, op);
}

// --- paths and pick ---------------------------------------------------------------------

enum Field { NO_FIELD, CODE, AMOUNT };

Field field_of(const Cell* element) {
  if (element->is(T_INTEGER)) {
    int32_t n = cell::get_int(element);
    return n == 1 ? CODE : n == 2 ? AMOUNT : NO_FIELD;
  }
  if (!word::any_word(element->type())) return NO_FIELD;
  uint32_t sym = symbol::resolve(word_cell::symbol(element));
  if (sym == symbol::resolve(words::code)) return CODE;
  if (sym == symbol::resolve(words::amount)) return AMOUNT;
  return NO_FIELD;
}

Cell field_value(const Cell* value, Field field) {
  if (field == CODE) return currency_word(currency(value));
  Cell amount{};
  return *store(&amount, negative(value), 0, units(value));
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  Cell p = path ? *path : values::none;
  if (value) fire(err::script::BAD_PATH_SET, &p, element);
  Field field = field_of(element);
  if (field == NO_FIELD) fire(err::script::INVALID_PATH, &p, element);
  *parent = field_value(parent, field);
  return parent;
}

Cell* pick(Cell* value, int32_t, Cell* index_cell) {
  Field field = index_cell ? field_of(index_cell) : NO_FIELD;
  if (field == NO_FIELD) fire(err::script::OUT_OF_RANGE, index_cell);
  *value = field_value(value, field);
  return value;
}

// --- the other actions ------------------------------------------------------------------

void absolute() {
  Cell* v = stack::arg(0);
  store(v, false, currency(v), units(v));
}

Cell* negate(Cell* value) { return store(value, !negative(value), currency(value), units(value)); }

int units_digit(const Cell* value) { return int(units(value) / Units(SCALE) % 10); }
bool even_q(const Cell* value) { return units_digit(value) % 2 == 0; }
bool odd_q(const Cell* value) { return units_digit(value) % 2 == 1; }

// A magnitude not above the value's, drawn digit by digit from the first
// significant one: below the bound's digit the rest is free; equal to it, the
// draw goes on under the bound only when two further draws agree, which keeps
// the chance of reaching the bound itself small.
Cell* random(Cell* value, bool seed, bool secure, bool) {
  if (seed) {
    random::seed(value->w1 ^ value->w2 ^ value->w3 ^ (negative(value) ? 1u : 0u));
    return cell::copy(&values::unset, value);
  }
  if (units(value) == 0) return value;
  auto next = [secure] { return secure ? random::secure_next() : random::next(); };
  uint8_t bound[AMOUNT_BYTES], drawn[AMOUNT_BYTES] = {};
  pack(units(value), bound);
  int first = TOTAL_DIGITS - count_digits(units(value)) + 1;
  bool free = false;
  for (int i = first; i <= TOTAL_DIGITS; i++) {
    if (free) {
      set_digit(drawn, i, int(next() % 10));
      continue;
    }
    int d = get_digit(bound, i);
    for (;;) {
      int r = int(next() % uint32_t(d + 1));
      if (r < d) {
        set_digit(drawn, i, r);
        free = true;
        break;
      }
      if (next() % 1000 == next() % 1000) {
        set_digit(drawn, i, d);
        break;
      }
    }
  }
  return store(value, negative(value), currency(value), unpack(drawn));
}

template <int Op>
void math_action() { do_math(Op); }

}  // namespace

// --- cells ------------------------------------------------------------------------------

bool negative(const Cell* c) { return (c->header & SIGN_BIT) != 0; }
int currency(const Cell* c) { return int(c->w1 & 0xFF); }

Units units(const Cell* c) {
  uint8_t raw[CELL_BYTES];
  std::memcpy(raw, c, CELL_BYTES);
  return unpack(raw + AMOUNT_START);
}

int sign(const Cell* c) { return units(c) == 0 ? 0 : negative(c) ? -1 : 1; }

Cell* store(Cell* c, bool negative, int currency, Units magnitude) {
  uint8_t raw[CELL_BYTES] = {};
  raw[CURRENCY_BYTE] = uint8_t(currency);
  pack(magnitude, raw + AMOUNT_START);
  uint32_t words[4];
  std::memcpy(words, raw, CELL_BYTES);
  uint32_t header = (c->header & HEADER_NEW_LINE) | T_MONEY | (negative && magnitude ? SIGN_BIT : 0);
  return cell::set(c, header, words[1], words[2], words[3]);
}

void raw_bytes(const Cell* c, uint8_t* out) { std::memcpy(out, &c->w1, RAW_BYTES); }

bool make_raw(Cell* c, bool negative, const uint8_t* bytes) {
  for (int i = 1; i < RAW_BYTES; i++)
    if ((bytes[i] >> 4) > 9 || (bytes[i] & 0xF) > 9) return false;
  store(c, negative, bytes[0], unpack(bytes + 1));
  return true;
}

Cell* push(bool negative, int currency, Units magnitude) {
  Cell c{};
  return stack::push(store(&c, negative, currency, magnitude));
}

// --- currencies -------------------------------------------------------------------------

int currency_index(uint32_t symbol) {
  const Cell* list = currency_list();
  if (!list) return -1;
  Cell blk = *list;
  int32_t n = block::length(&blk);
  const Cell* codes = block::clip_head_cell(&blk);
  uint32_t wanted = symbol::resolve(symbol);
  for (int32_t i = 0; i < n; i++) {
    if (!word::any_word(codes[i].type()) || symbol::resolve(word_cell::symbol(&codes[i])) != wanted)
      continue;
    if (i + 1 > MAX_CURRENCY_INDEX) {
      Cell code = codes[i];
      fire(err::script::CURRENCY_LIMIT, &code);
    }
    return int(i + 1);
  }
  return -1;
}

Cell currency_word(int index) {
  const Cell* list = index > 0 ? currency_list() : nullptr;
  if (!list) return values::none;
  Cell blk = *list;
  if (index > block::length(&blk)) return values::none;
  Cell code = block::clip_head_cell(&blk)[index - 1];
  if (!word::any_word(code.type())) return values::none;
  cell::set_type(&code, T_WORD);
  return code;
}

// --- constructors and conversions -------------------------------------------------------

Made make_at(Cell* c, const TextParts& parts) {
  store(c, false, 0, 0);
  int index = 0;
  if (parts.currency) {
    index = currency_index(symbol::make_len(reinterpret_cast<const uint8_t*>(parts.currency), 3));
    if (index < 0) return Made::UNKNOWN_CURRENCY;
  }
  Units whole = 0;
  int significant = 0;
  for (const char* p = parts.integer; p < parts.integer_end; p++) {
    if (*p == '\'') continue;
    if (significant == 0 && *p == '0') continue;
    if (++significant > INTEGER_DIGITS) return Made::OVERFLOW;
    whole = whole * 10 + Units(*p - '0');
  }
  Units fraction = 0;
  int taken = 0;
  for (const char* p = parts.fraction; p < parts.fraction_end && taken < FRACTION_DIGITS; p++) {
    if (*p == '\'') continue;
    fraction = fraction * 10 + Units(*p - '0');
    taken++;
  }
  for (; taken < FRACTION_DIGITS; taken++) fraction *= 10;
  store(c, parts.negative, index, whole * Units(SCALE) + fraction);
  return Made::OK;
}

Cell* from_integer(Cell* c, int32_t n) {
  int64_t magnitude = n < 0 ? -int64_t(n) : int64_t(n);
  return store(c, n < 0, 0, Units(magnitude) * Units(SCALE));
}

Cell* from_float(Cell* c, double x, bool strict) {
  double magnitude = std::fabs(x);
  auto refuse = [&]() {
    Cell f{};
    float_::make_at(&f, x);
    fire_with_money(err::script::BAD_MAKE_ARG, &f);
  };
  if (std::isnan(x) || std::isinf(x) || (magnitude > 0 && magnitude < 1e-5) || magnitude >= 1e17)
    refuse();
  float_text::Digits d = float_text::to_digits(x, 0, false);
  if (d.point == float_text::POINT_ZERO) return store(c, false, 0, 0);
  // The value is 0.d1d2...dn * 10^point: the digits from index `point` on are
  // the fraction.
  int fraction_digits = d.length - d.point;
  if (strict && fraction_digits > FRACTION_DIGITS) refuse();
  Units m = 0;
  for (int i = 0; i < d.point + FRACTION_DIGITS; i++)
    m = m * 10 + Units(i >= 0 && i < d.length ? d.text[i] - '0' : 0);
  return store(c, d.negative, 0, m);
}

int32_t to_integer(const Cell* c) {
  Units whole = units(c) / Units(SCALE);
  Units limit = negative(c) ? Units(2147483648u) : Units(2147483647u);
  if (whole > limit) {
    Cell type = values::of_datatype(T_INTEGER);
    fire(err::script::TYPE_LIMIT, &type);
  }
  int64_t n = int64_t(whole);
  return int32_t(negative(c) ? -n : n);
}

double to_float(const Cell* c) {
  if (units(c) == 0) return 0.0;
  Cell magnitude = *c;
  store(&magnitude, false, 0, units(c));
  Text text = text_of(&magnitude, FRACTION_DIGITS, false);   // "$" and the digits
  int unread = 0;
  double x = float_text::from_text(text.bytes + 1, text.bytes + text.length, 0, &unread);
  return negative(c) ? -x : x;
}

int compare(const Cell* a, const Cell* b, int op) {
  bool strict = op == C_STRICT_EQUAL || op == C_SAME || op == C_FIND;
  if (strict && !b->is(T_MONEY)) return 1;
  switch (b->type()) {
    case T_INTEGER: {
      Cell converted{};
      return compare_values(a, from_integer(&converted, cell::get_int(b)));
    }
    case T_FLOAT: return compare_with_double(a, cell::get_double(b), op);
    case T_MONEY: break;
    default: return COMPARE_NOT_COMPARABLE;
  }
  switch (op) {
    case C_SORT: case C_CASE_SORT: return compare_sort(a, b);
    case C_LESSER: case C_LESSER_EQUAL: case C_GREATER: case C_GREATER_EQUAL:
      if (!same_currency(a, b, false)) {
        Cell x = *a, y = *b;
        fire(err::script::WRONG_DENOM, &x, &y);
      }
      return compare_values(a, b);
    default:
      if (op == C_FIND) strict = currency(b) != 0;
      if (!same_currency(a, b, strict)) return 1;
      return compare_values(a, b);
  }
}

int compare_float(double x, const Cell* m, int op) {
  if (op == C_STRICT_EQUAL || op == C_SAME || op == C_FIND) return 1;
  return -compare_with_double(m, x, op);
}

void init() {
  datatype::register_type(
      T_MONEY, 0, "money!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_RANDOM>(random),
                                   slot_entry<A_TO>(to),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_EVAL_PATH>(eval_path),
                                   slot_entry<A_COMPARE>(compare),
                                   slot_entry<A_ABSOLUTE>(absolute),
                                   slot_entry<A_ADD>(math_action<OP_ADD>),
                                   slot_entry<A_DIVIDE>(math_action<OP_DIVIDE>),
                                   slot_entry<A_MULTIPLY>(math_action<OP_MULTIPLY>),
                                   slot_entry<A_NEGATE>(negate),
                                   slot_entry<A_REMAINDER>(math_action<OP_REMAINDER>),
                                   slot_entry<A_ROUND>(round),
                                   slot_entry<A_SUBTRACT>(math_action<OP_SUBTRACT>),
                                   slot_entry<A_EVEN_Q>(even_q),
                                   slot_entry<A_ODD_Q>(odd_q),
                                   slot_entry<A_PICK>(pick)}));
}

}  // namespace zol::money
