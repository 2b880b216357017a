// float! arithmetic, comparison with a tolerance, and rounding (see float.h):
// the one float math of the runtime, which integer!, percent! and time! reach
// through their actions and hand-overs.
#include <bit>
#include <cfloat>
#include <cmath>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/number.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/vector.h"
#include "runtime/core/words.h"
#include "runtime/numeric/rounding.h"

namespace zol::float_ {
namespace {

using number::get_double_from;
using number::holds_double;

[[noreturn]] void fire_with_type(err::script id, uint8_t type) {
  Cell datatype = values::of_datatype(type);
  fire(id, &datatype);
}

// --- arithmetic ---------------------------------------------------------------------------

double remainder_of(double left, double right) {
  if (right * 0.0 == 0.0) return std::fmod(left, right);
  if (std::isnan(right) || special_q(left)) return std::nan("");
  return left;  // a finite left by an infinite right
}

// Subtracting or dividing a float by a pair or point has no meaning; the other
// operations belong to the compound type's own arithmetic (hand_over).
[[noreturn]] void refuse_compound_operand(int op, uint8_t right) {
  Cell action = word::make_global(op == OP_SUBTRACT ? words::subtract : words::divide);
  Cell type = values::of_datatype(right);
  fire(err::script::NOT_RELATED, &action, &type);
}

// A money! amount on the right does the work exactly; a pair, point or tuple
// does it with the float broadcast to its coordinates or elements; answers
// whether it did.
bool hand_over(int op, uint8_t left, uint8_t right) {
  if (left == T_TIME) return false;
  bool refused = op == OP_SUBTRACT || op == OP_DIVIDE;
  switch (right) {
    case T_PAIR: if (refused) return false; pair::do_math(op); return true;
    case T_POINT2D: case T_POINT3D: if (refused) return false; point::do_math(op); return true;
    case T_TUPLE: tuple::do_math(op); return true;
    case T_MONEY: money::do_math(op); return true;
    default: return false;
  }
}

// Refuses a right operand float arithmetic does not take. The money!, tuple! and
// vector! arithmetic that a float hands over to joins when those types exist.
void check_right_operand(int op, uint8_t left, uint8_t right) {
  switch (right) {
    case T_INTEGER: case T_FLOAT: case T_PERCENT: case T_TIME: return;
    case T_CHAR:
      if (left == T_TIME || left == T_PERCENT) break;
      return;
    case T_PAIR: case T_POINT2D: case T_POINT3D:
      if (left != T_TIME) refuse_compound_operand(op, right);
      break;
    default: break;
  }
  fire_with_type(err::script::INVALID_TYPE, right);
}

// A time! on one side only makes a time!; otherwise the left's type stays (an
// integer! left gives a float!): percent * float is percent!, float * percent float!.
uint8_t result_type(uint8_t left, uint8_t right) {
  if ((left == T_TIME) != (right == T_TIME)) return T_TIME;
  return holds_double(left) ? left : uint8_t{T_FLOAT};
}

// --- comparison ---------------------------------------------------------------------------

// The bit pattern of a double mapped so that unsigned order is numeric order
// (both zeros meet in the middle).
uint64_t ordered_bits(double d) {
  uint64_t bits = std::bit_cast<uint64_t>(d);
  return bits >> 63 ? 0 - bits : bits | 1ull << 63;
}

int unequal(double a, double b) { return a < b ? -1 : 1; }
int order(double a, double b) { return (a > b) - (a < b); }

// Orderings with a NaN on either side answer false, whichever way they ask.
int order_with_nan(int op) {
  switch (op) {
    case C_LESSER: case C_LESSER_EQUAL: return 1;
    case C_GREATER: case C_GREATER_EQUAL: return -1;
    default: return 0;
  }
}

// --- rounding -------------------------------------------------------------------------------

// y rounded to an integer by the mode, its sign kept.
double round_to_integer(double y, rounding::Mode mode) {
  double magnitude = std::fabs(y);
  double lower = std::floor(magnitude);
  double upper = std::ceil(magnitude);
  bool lower_even = std::fmod(lower, 2.0) == 0.0;
  bool up = rounding::away_from_zero(mode, y < 0, magnitude - lower, upper - magnitude,
                                     lower_even);
  return std::copysign(up ? upper : lower, y);
}

// x rounded to a multiple of unit. A unit of 1 or more divides; a smaller one
// multiplies by its reciprocal, with x and a subnormal unit first scaled up by the
// unit's binary exponent so that the reciprocal stays finite.
double round_to_unit(double x, double unit, rounding::Mode mode) {
  if (unit >= 1.0) {
    double r = round_to_integer(x / unit, mode) * unit;
    if (std::fabs(r) == DBL_MAX) fire(err::math::OVERFLOW);
    return r;
  }
  int exponent;
  double mantissa = std::frexp(unit, &exponent);
  if (exponent <= -1022) {
    unit = mantissa;
    x = std::ldexp(x, -exponent);
  } else {
    exponent = 0;
  }
  double reciprocal = 1.0 / unit;
  return std::ldexp(round_to_integer(x * reciprocal, mode) / reciprocal, exponent);
}

// The unit of rounding: the /to scale's magnitude, else 1; a percent counts in
// hundredths (its unit is 0.01, its scale taken as a percentage).
double unit_of(const Cell* value, const Cell* scale) {
  double unit = scale ? std::fabs(get_double_from(scale)) : 1.0;
  return value->is(T_PERCENT) ? unit / 100.0 : unit;
}

}  // namespace

double math_op(double left, double right, int op) {
  switch (op) {
    case OP_ADD: return left + right;
    case OP_SUBTRACT: return left - right;
    case OP_MULTIPLY: return left * right;
    case OP_DIVIDE: return left / right;
    case OP_REMAINDER: return remainder_of(left, right);
    default: fire_with_type(err::script::CANNOT_USE, T_FLOAT);
  }
}

void do_math(int op) {
  Cell* left = stack::arg(0);
  const Cell* right = stack::arg(1);
  if (right->is(T_VECTOR)) return vector::math_with_vector_right(op);
  if (hand_over(op, left->type(), right->type())) return;
  check_right_operand(op, left->type(), right->type());
  uint8_t type = result_type(left->type(), right->type());
  make_at(left, math_op(get_double_from(left), get_double_from(right), op), type);
}

const Cell* exponent_arg() {
  const Cell* exponent = stack::arg(1);
  if (!exponent->is(T_INTEGER) && !exponent->is(T_FLOAT))
    actions::fire_expect_arg(exponent->type(), 1);
  return exponent;
}

void power() {
  Cell* base = stack::arg(0);
  const Cell* exponent = exponent_arg();
  cell::put_double(base, std::pow(get(base), get_double_from(exponent)));
}

bool almost_equal(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return false;
  if (a == b || std::fabs(a - b) < TOLERANCE) return true;
  uint64_t x = ordered_bits(a);
  uint64_t y = ordered_bits(b);
  return (x > y ? x - y : y - x) <= 10;
}

bool float32_almost_equal(float a, float b) {
  if (float32_nan_q(a) || float32_nan_q(b)) return false;
  if (a == b) return true;
  uint32_t pa = std::bit_cast<uint32_t>(a);
  uint32_t pb = std::bit_cast<uint32_t>(b);
  constexpr uint32_t MAGNITUDE = 0x7FFFFFFFu;
  constexpr uint32_t LARGEST_FINITE = 0x7F7FFFFFu;
  uint32_t ma = pa & MAGNITUDE, mb = pb & MAGNITUDE;
  if (ma >= LARGEST_FINITE || mb >= LARGEST_FINITE)
    return (pa >> 31) == (pb >> 31) && (ma > mb ? ma - mb : mb - ma) < 0x100000u;
  auto ordered = [](uint32_t p) {
    return int64_t(static_cast<int32_t>(p >> 31 ? 0x80000000u - p : p));
  };
  int64_t difference = ordered(pa) - ordered(pb);
  return difference >= -10 && difference <= 10;
}

int compare(const Cell* a, const Cell* b, int op) {
  bool exact = op == C_STRICT_EQUAL || op == C_SAME || op == C_FIND;
  if (exact && a->type() != b->type()) return 1;
  if (b->is(T_MONEY)) return money::compare_float(get(a), b, op);
  if (!b->is(T_INTEGER) && !holds_double(b->type())) return COMPARE_NOT_COMPARABLE;
  double x = get(a);
  double y = get_double_from(b);
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL: return almost_equal(x, y) ? 0 : unequal(x, y);
    case C_STRICT_EQUAL: return x == y ? 0 : unequal(x, y);
    case C_SAME: return a->w2 == b->w2 && a->w3 == b->w3 ? 0 : 1;
    default: break;
  }
  if (std::isnan(x) || std::isnan(y)) return order_with_nan(op);
  return order(x, y);
}

Cell* round(Cell* value, const Cell* scale, rounding::Mode mode) {
  if (scale && scale->is(T_MONEY)) fire_with_type(err::script::NOT_RELATED, T_MONEY);
  if (scale && !scale->is(T_INTEGER) && !holds_double(scale->type()))
    fire_with_type(err::script::INVALID_TYPE, scale->type());
  double x = get(value);
  double unit = unit_of(value, scale);
  // A unit below the value's own precision leaves nothing to round.
  if (unit < std::fabs(x) * 0x1p-53) return value;
  double rounded = round_to_unit(x, unit, mode);
  if (!scale) return make_at(value, rounded, value->type());
  if (!scale->is(T_INTEGER)) return make_at(value, rounded, scale->type());
  int32_t n;
  if (!number::truncate_to_int32(rounded, &n)) fire(err::math::OVERFLOW);
  return integer::make_at(value, n);
}

}  // namespace zol::float_
