// float!: cells, text forms, make and to, random values and the registration
// (the arithmetic, comparison and rounding are in math.cpp).
#include "runtime/datatypes/float/float.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/core/number.h"
#include "runtime/core/random.h"
#include "runtime/core/values.h"

namespace zol::float_ {

bool pretty_print = true;
bool full_support = false;
number::FloatTokenCheck token_check = nullptr;
Cell* (*load_string)(const Cell*, Cell*) = nullptr;

namespace {

constexpr uint64_t EXPONENT_BITS = 0x7FF0000000000000ull;
constexpr uint64_t SIGN_BIT = 1ull << 63;

// --- make and to ---------------------------------------------------------------------

[[noreturn]] void bad_to_arg(int type, const Cell* spec) {
  Cell target = values::of_datatype(static_cast<uint8_t>(type));
  fire(err::script::BAD_TO_ARG, &target, spec);
}

// Up to eight bytes from the binary's head, big-endian, as the bit pattern of the
// double (fewer bytes fill its low end).
double from_binary(const Cell* binary) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(binary));
  int32_t head = string::head_index(binary);
  int32_t length = string::length(binary);
  uint64_t bits = 0;
  for (int32_t i = 0; i < length && i < 8; i++) bits = bits << 8 | b->head()[head + i];
  return std::bit_cast<double>(bits);
}

// [mantissa exponent]: mantissa times ten to the exponent truncated to an integer.
double from_block(Cell* block, int type) {
  if (block::length(block) != 2) bad_to_arg(type, block);
  const Cell* items = block::clip_head_cell(block);
  for (int i = 0; i < 2; i++)
    if (!items[i].is(T_INTEGER) && !items[i].is(T_FLOAT)) bad_to_arg(type, &items[i]);
  return number::get_double_from(&items[0]) * std::pow(10.0, number::get_int_from(&items[1]));
}

// A percent text is loaded as the lexer reads it ("50%" is 0.5); any other text is
// read by the float scanner.
double from_text(Cell* text, int type) {
  if (type == T_PERCENT) {
    if (!load_string) fire(err::internal::FEATURE_NA);
    Cell loaded;
    const Cell* value = load_string(text, &loaded);
    switch (value->type()) {
      case T_FLOAT: case T_PERCENT: return get(value);
      case T_INTEGER: return double(cell::get_int(value));
      default: bad_to_arg(type, text);
    }
  }
  if (!token_check) fire(err::internal::FEATURE_NA);
  int error = 0;
  const uint8_t* head = string::clip_head_bytes(text);
  int32_t count = string::clip_length(text);
  uint32_t unit = memory::buffer_of(series_cell::node(text))->unit();
  double d = number::scan_float(head, count, static_cast<int>(unit), &error, token_check);
  if (error != 0) bad_to_arg(type, text);
  return d;
}

// make and to, for float! and for percent!, which inherits them: the result has
// the target type.
Cell* make(Cell* proto, Cell* spec, int type) {
  uint8_t target = static_cast<uint8_t>(type);
  switch (spec->type()) {
    case T_INTEGER: case T_CHAR: return make_at(proto, double(cell::get_int(spec)), target);
    case T_FLOAT: case T_PERCENT:
      cell::set_type(spec, target);
      return spec;
    case T_TIME: return make_at(proto, get(spec), target);
    case T_MONEY: return make_at(proto, money::to_float(spec), target);
    case T_BINARY: return make_at(proto, from_binary(spec), target);
    case T_BLOCK: case T_PAREN: case T_HASH: return make_at(proto, from_block(spec, type), target);
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF:
      return make_at(proto, from_text(spec, type), target);
    default: bad_to_arg(type, spec);
  }
}

// --- random ------------------------------------------------------------------------------

constexpr double DRAW_RANGE = 2147483647.0;  // a draw is 0 .. 2^31 - 1

// A value between 0 and the value, of its type; with the seed flag the generator
// is seeded from the double's bits instead.
Cell* random_action(Cell* value, bool seed, bool secure, bool) {
  if (seed) {
    random::seed(value->w2 ^ value->w3);
    return cell::copy(&values::unset, value);
  }
  double limit = get(value);
  double result;
  if (secure) {
    double first = random::secure_next();
    double second = random::secure_next();
    result = (second + first / DRAW_RANGE) / (2147483648.0 / limit);
  } else {
    result = limit * (random::next() / DRAW_RANGE);
  }
  cell::put_double(value, result);
  return value;
}

// --- text ----------------------------------------------------------------------------------

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  return append_form(buffer, get(value), float_text::KIND_FLOAT, limit);
}

// The shortest text that reads back to the same double, always with a fraction or
// an exponent.
int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  char text[float_text::TEXT_CAPACITY];
  float_text::form_buffer(text, get(value), 0, true);
  return string::append_text(buffer, text, limit);
}

// --- the other actions -------------------------------------------------------------------

void absolute() {
  Cell* v = stack::arg(0);
  cell::put_double(v, abs(v->w2, v->w3));
}

Cell* negate(Cell* value) {
  cell::put_double(value, 0.0 - get(value));
  return value;
}

bool even_q(const Cell* value) { return (number::get_int_from(value) & 1) == 0; }
bool odd_q(const Cell* value) { return (number::get_int_from(value) & 1) != 0; }

template <int Op>
void math_action() { do_math(Op); }

}  // namespace

// --- cells ----------------------------------------------------------------------------------

Cell* make_at(Cell* c, double value, uint8_t type) {
  cell::set(c, type);
  cell::put_double(c, value);
  return c;
}

Cell* make_at_halves(Cell* c, uint32_t low, uint32_t high, uint8_t type) {
  return cell::set(c, type, 0, low, high);
}

Cell* push(double value, uint8_t type) {
  Cell c;
  return stack::push(make_at(&c, value, type));
}

Cell* push64(uint32_t low, uint32_t high, uint8_t type) {
  Cell c;
  return stack::push(make_at_halves(&c, low, high, type));
}

void make_in(NodeRef block, uint32_t low, uint32_t high, uint8_t type) {
  make_at_halves(memory::alloc_tail_cell(block), low, high, type);
}

Cell* box(double value, uint8_t type) { return make_at(stack::arguments, value, type); }

double abs(uint32_t low, uint32_t high) {
  return std::bit_cast<double>(uint64_t(high & 0x7FFFFFFFu) << 32 | low);
}

bool nan_q(double d) { return (std::bit_cast<uint64_t>(d) & ~SIGN_BIT) > EXPONENT_BITS; }
bool float32_nan_q(float f) { return f != f; }
bool special_q(double d) { return (std::bit_cast<uint64_t>(d) & EXPONENT_BITS) == EXPONENT_BITS; }

const char* form_decimal(double value, float_text::DecimalKind kind) {
  static char text[float_text::TEXT_CAPACITY];
  float_text::form_decimal(text, value, kind, pretty_print);
  return text;
}

int append_form(Cell* buffer, double value, float_text::DecimalKind kind, int limit) {
  return string::append_text(buffer, form_decimal(value, kind), limit);
}

void init() {
  datatype::register_type(
      T_FLOAT, 0, "float!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_RANDOM>(random_action),
                                   slot_entry<A_TO>(make),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_COMPARE>(compare),
                                   slot_entry<A_ABSOLUTE>(absolute),
                                   slot_entry<A_ADD>(math_action<OP_ADD>),
                                   slot_entry<A_DIVIDE>(math_action<OP_DIVIDE>),
                                   slot_entry<A_MULTIPLY>(math_action<OP_MULTIPLY>),
                                   slot_entry<A_NEGATE>(negate),
                                   slot_entry<A_POWER>(power),
                                   slot_entry<A_REMAINDER>(math_action<OP_REMAINDER>),
                                   slot_entry<A_ROUND>(round),
                                   slot_entry<A_SUBTRACT>(math_action<OP_SUBTRACT>),
                                   slot_entry<A_EVEN_Q>(even_q),
                                   slot_entry<A_ODD_Q>(odd_q)}));
}

}  // namespace zol::float_
