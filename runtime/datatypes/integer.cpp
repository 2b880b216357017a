// integer!: arithmetic that never wraps (a result outside the integers becomes a
// float!; only results without a sensible float raise math errors), rounding,
// comparison, conversions and random draws. Whatever needs a float (a float
// operand, a power or a rounding scale with no integer result) is float!'s work.
#include "runtime/datatypes/integer.h"

#include <cstring>
#include <optional>
#include <utility>

#include "runtime/base/system.h"
#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/number.h"
#include "runtime/core/number_scan.h"
#include "runtime/core/random.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/vector.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"
#include "runtime/numeric/rounding.h"

namespace zol::integer {
namespace {

constexpr int32_t MIN = INT32_MIN;

Cell datatype_of(uint8_t type) { return values::of_datatype(type); }

[[noreturn]] void math_error(err::math id) { fire(id); }

// --- arithmetic ------------------------------------------------------------------------

int32_t float_result(double d, Cell* result) {
  if (!result) math_error(err::math::OVERFLOW);
  float_::make_at(result, d);
  return 0;
}

// The value cell becomes the float! of its integer, for the float operations that
// take over when an integer result is impossible.
Cell* as_float(Cell* value) { return float_::make_at(value, double(get(value))); }

void check_divisor(int32_t left, int32_t right) {
  if (right == 0) math_error(err::math::ZERO_DIVIDE);
  if (left == MIN && right == -1) math_error(err::math::OVERFLOW);
}

// Exponentiation by squaring; nothing when a product leaves the integers.
std::optional<int32_t> power_by_squaring(int32_t base, int32_t exponent) {
  int64_t result = 1;
  int64_t b = base;
  auto fits = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
  while (exponent) {
    if (exponent & 1) {
      result *= b;
      if (!fits(result)) return std::nullopt;
    }
    exponent >>= 1;
    if (exponent) {
      b *= b;
      if (!fits(b)) return std::nullopt;
    }
  }
  return static_cast<int32_t>(result);
}

// --- actions -----------------------------------------------------------------------------

Cell* to(Cell* proto, Cell* spec, int);

Cell* make(Cell* proto, Cell* spec, int type) {
  if (spec->is(T_LOGIC)) return make_at(proto, logic::get(spec) ? 1 : 0);
  return to(proto, spec, type);
}

[[noreturn]] void bad_to_arg(const Cell* spec) {
  Cell type = datatype_of(T_INTEGER);
  fire(err::script::BAD_TO_ARG, &type, spec);
}

int32_t truncated(double d) {
  int32_t n;
  if (!number::truncate_to_int32(d, &n)) {
    Cell type = datatype_of(T_INTEGER);
    fire(err::script::TYPE_LIMIT, &type);
  }
  return n;
}

// Up to four bytes from the binary's head, big-endian.
int32_t from_binary(const Cell* binary) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(binary));
  uint32_t head = static_cast<uint32_t>(series_cell::head(binary));
  uint32_t length = b->length() > head ? b->length() - head : 0;
  const uint8_t* bytes = b->head() + head;
  uint32_t n = 0;
  for (uint32_t i = 0; i < length && i < 4; i++) n = n << 8 | bytes[i];
  return static_cast<int32_t>(n);
}

// Decimal text with an optional sign and "'" group marks.
int32_t from_text(Cell* text) {
  int error = 0;
  SeriesBuffer* b = memory::buffer_of(series_cell::node(text));
  int32_t n = number::scan_integer(string::clip_head_bytes(text), string::clip_length(text),
                                   static_cast<int>(b->unit()), &error);
  if (error != 0) bad_to_arg(text);
  return n;
}

// An issue's spelling read as up to eight hexadecimal digits.
int32_t from_issue(const Cell* issue) {
  uint32_t symbol = word_cell::symbol(issue);
  return from_hex_spelling(symbol::get_c_string(symbol), symbol::name_length(symbol), issue);
}

Cell* to(Cell* proto, Cell* spec, int) {
  switch (spec->type()) {
    case T_INTEGER: return spec;
    case T_CHAR: return make_at(proto, get(spec));
    case T_FLOAT: case T_PERCENT: return make_at(proto, truncated(cell::get_double(spec)));
    case T_TIME: return make_at(proto, truncated(cell::get_double(spec) + 0.5));
    case T_DATE: return make_at(proto, date::to_epoch32(spec));
    case T_MONEY: return make_at(proto, money::to_integer(spec));
    case T_BINARY: return make_at(proto, from_binary(spec));
    case T_ISSUE: return make_at(proto, from_issue(spec));
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF:
      return make_at(proto, from_text(spec));
    default: bad_to_arg(spec);
  }
}

Cell* random(Cell* value, bool seed, bool secure, bool) {
  if (seed) {
    random::seed(static_cast<uint32_t>(get(value)));
    return cell::copy(&values::unset, value);
  }
  value->w2 = static_cast<uint32_t>(random::integer(secure, get(value)));
  return value;
}

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  char text[12];
  int n = form_signed(get(value), text);
  string::concatenate_literal_part(buffer, text, static_cast<uint32_t>(n));
  return limit - n;
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form(value, buffer, how.part, limit);
}

int order(int32_t a, int32_t b) { return (a > b) - (a < b); }

// Against a float the integer compares as a float, from a copy of its cell that
// keeps the integer! type but holds the double.
int compare(const Cell* a, const Cell* b, int op) {
  if ((op == C_STRICT_EQUAL || op == C_FIND) && !b->is(T_INTEGER)) return 1;
  switch (b->type()) {
    case T_INTEGER: case T_CHAR: return order(get(a), get(b));
    case T_FLOAT: case T_PERCENT: case T_TIME: {
      Cell as_double = *a;
      cell::put_double(&as_double, double(get(a)));
      return float_::compare(&as_double, b, op);
    }
    case T_MONEY: {
      Cell as_money{};
      return money::compare(money::from_integer(&as_money, get(a)), b, op);
    }
    default: return COMPARE_NOT_COMPARABLE;
  }
}

void absolute() {
  Cell* v = stack::arg(0);
  v->w2 = static_cast<uint32_t>(abs(get(v)));
}

Cell* negate(Cell* value) {
  if (get(value) == MIN) math_error(err::math::OVERFLOW);
  value->w2 = static_cast<uint32_t>(-get(value));
  return value;
}

Cell* complement(Cell* value) {
  value->w2 = ~value->w2;
  return value;
}

bool even_q(const Cell* value) { return (value->w2 & 1u) == 0; }
bool odd_q(const Cell* value) { return (value->w2 & 1u) != 0; }

void power() {
  Cell* base = stack::arg(0);
  const Cell* exponent = float_::exponent_arg();
  if (exponent->is(T_INTEGER) && get(exponent) >= 0) {
    if (auto n = power_by_squaring(get(base), get(exponent))) {
      base->w2 = static_cast<uint32_t>(*n);
      return;
    }
  }
  as_float(base);
  float_::power();
}

Cell* round(Cell* value, const Cell* scale, rounding::Mode mode) {
  if (scale && scale->is(T_MONEY)) {
    Cell money = datatype_of(T_MONEY);
    fire(err::script::NOT_RELATED, &money);
  }
  // The most negative value has no magnitude to round: it stays as it is.
  if (get(value) == MIN) return value;
  if (scale && !scale->is(T_INTEGER))
    return float_::round(as_float(value), scale, mode);
  int64_t s = scale ? abs(get(scale)) : 1;
  int64_t v = get(value);
  int64_t a = v < 0 ? -v : v;
  int64_t below = s == 0 ? 0 : a % s;
  if (below == 0) return value;
  int64_t above = s - below;
  bool away = rounding::away_from_zero(mode, v < 0, below, above, (a / s) % 2 == 0);
  // The magnitude away from zero must fit on both sides: -2147483647 rounded away to
  // 4 overflows although its negation would fit.
  if (away && a + above > INT32_MAX) math_error(err::math::OVERFLOW);
  int64_t rounded = away ? a + above : a - below;
  value->w2 = static_cast<uint32_t>(static_cast<int32_t>(v < 0 ? -rounded : rounded));
  return value;
}

template <int Op>
void math_action() { do_math(Op); }

}  // namespace

int32_t get_arg() { return get(stack::arg(0)); }
int32_t get_arg_checked() { return stack::arg(0)->is(T_INTEGER) ? get_arg() : 0; }

Cell* make_at(Cell* c, int32_t value) {
  *c = values::integer(value);
  return c;
}

Cell* box(int32_t value) { return make_at(stack::arguments, value); }

void make_in(NodeRef block, int32_t value) { *memory::alloc_tail_cell(block) = values::integer(value); }

Cell* push(int32_t value) {
  Cell c = values::integer(value);
  return stack::push(&c);
}

int32_t abs(int32_t value) {
  if (value == MIN) math_error(err::math::OVERFLOW);
  return value < 0 ? -value : value;
}

bool float_overflow(const Cell* float_cell) {
  return !number::fits_int32(cell::get_double(float_cell));
}

int form_signed(int32_t value, char* buf) {
  char digits[10];
  int n = 0;
  // Work on the magnitude as unsigned so that -2147483648 needs no special case.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  int length = 0;
  if (value < 0) buf[length++] = '-';
  while (n) buf[length++] = digits[--n];
  return length;
}

int32_t do_math_op(int32_t left, int32_t right, int op, Cell* result) {
  int32_t value;
  switch (op) {
    case OP_ADD:
      if (__builtin_add_overflow(left, right, &value))
        return float_result(double(left) + double(right), result);
      break;
    case OP_SUBTRACT:
      if (__builtin_sub_overflow(left, right, &value))
        return float_result(double(left) - double(right), result);
      break;
    case OP_MULTIPLY:
      if (__builtin_mul_overflow(left, right, &value))
        return float_result(double(left) * double(right), result);
      break;
    case OP_DIVIDE:
      check_divisor(left, right);
      if (result && left % right != 0) return float_result(double(left) / double(right), result);
      value = left / right;
      break;
    case OP_REMAINDER:
      check_divisor(left, right);
      value = left % right;
      break;
    case OP_OR: value = left | right; break;
    case OP_AND: value = left & right; break;
    case OP_XOR: value = left ^ right; break;
    default:
      system::runtime_error(system::FATAL_NO_SWITCH, reinterpret_cast<uintptr_t>(&do_math_op));
  }
  if (result) result->w2 = static_cast<uint32_t>(value);
  return value;
}

void do_math(int op) {
  Cell* left = stack::arg(0);
  const Cell* right = stack::arg(1);
  switch (right->type()) {
    case T_INTEGER: case T_CHAR: do_math_op(get(left), get(right), op, left); return;
    case T_FLOAT: case T_PERCENT: case T_TIME: float_::do_math(op); return;
    case T_MONEY: money::do_math(op); return;
    case T_PAIR: pair::do_math(op); return;
    case T_POINT2D: case T_POINT3D: point::do_math(op); return;
    case T_TUPLE: tuple::do_math(op); return;
    case T_VECTOR: vector::math_with_vector_right(op); return;
    case T_DATE:
      if (op != OP_ADD) break;
      std::swap(*left, *stack::arg(1));   // days plus a date is the date moved
      date::do_math(op);
      return;
    default: break;
  }
  Cell type = datatype_of(right->type());
  fire(err::script::INVALID_TYPE, &type);
}

int32_t from_hex_spelling(const char* spelling, size_t length, const Cell* issue) {
  uint32_t n = 0;
  bool valid = length <= 8;
  for (size_t i = 0; valid && i < length; i++) {
    unsigned char c = static_cast<unsigned char>(spelling[i]);
    int digit = c >= '0' && c <= '9' ? c - '0'
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                     : -1;
    valid = digit >= 0;
    n = n << 4 | static_cast<uint32_t>(digit);
  }
  if (!valid) fire(err::script::INVALID_DATA, issue);
  return static_cast<int32_t>(n);
}

void init() {
  datatype::register_type(
      T_INTEGER, 0, "integer!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_RANDOM>(random),
                                   slot_entry<A_TO>(to),
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
                                   slot_entry<A_ODD_Q>(odd_q),
                                   slot_entry<A_AND_T>(math_action<OP_AND>),
                                   slot_entry<A_COMPLEMENT>(complement),
                                   slot_entry<A_OR_T>(math_action<OP_OR>),
                                   slot_entry<A_XOR_T>(math_action<OP_XOR>)}));
}

}  // namespace zol::integer
