// money! arithmetic: the math entry that takes money!, integer!, float! and
// percent! operands, and rounding (see money.h). Everything is exact on the
// decimal amount; a float operand is first turned into an amount, its digits
// past the fifth decimal dropped.
#include "runtime/core/action_types.h"
#include "runtime/core/error.h"
#include "runtime/core/known_words.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/word.h"

namespace zol::money {
namespace {

struct Signed {
  bool negative;
  Units magnitude;
};

Signed signed_of(const Cell* c) { return {negative(c), units(c)}; }

[[noreturn]] void fire_with_type(err::script id, uint8_t type) {
  Cell t = values::of_datatype(type);
  fire(id, &t);
}

Units checked(Result r) {
  switch (r.outcome) {
    case Outcome::OK: return r.magnitude;
    case Outcome::ZERO_DIVIDE: fire(err::math::ZERO_DIVIDE);
    default: fire_with_type(err::script::TYPE_LIMIT, T_MONEY);
  }
}

Signed add_signed(Signed a, Signed b) {
  if (a.negative == b.negative) return {a.negative, checked(add(a.magnitude, b.magnitude))};
  if (a.magnitude >= b.magnitude) return {a.negative, a.magnitude - b.magnitude};
  return {b.negative, b.magnitude - a.magnitude};
}

// One operation on two signed amounts: sums and differences exact, products and
// quotients with 5 decimals, a remainder with the dividend's sign.
Signed apply_op(Signed a, Signed b, int op) {
  switch (op) {
    case OP_ADD: return add_signed(a, b);
    case OP_SUBTRACT: return add_signed(a, {!b.negative, b.magnitude});
    case OP_MULTIPLY: return {a.negative != b.negative, checked(multiply(a.magnitude, b.magnitude))};
    case OP_DIVIDE: return {a.negative != b.negative, checked(divide(a.magnitude, b.magnitude))};
    case OP_REMAINDER: return {a.negative, checked(remainder(a.magnitude, b.magnitude))};
    default: fire_with_type(err::script::INVALID_TYPE, T_MONEY);
  }
}

// An operand as an amount: integer! exactly, float! and percent! with their
// decimals past the fifth dropped (50% is 0.5).
Cell operand(const Cell* value) {
  Cell amount = *value;
  switch (value->type()) {
    case T_MONEY: break;
    case T_INTEGER: from_integer(&amount, cell::get_int(value)); break;
    case T_FLOAT: case T_PERCENT: from_float(&amount, cell::get_double(value), false); break;
    default: fire_with_type(err::script::INVALID_TYPE, value->type());
  }
  return amount;
}

// The /to scale of round as a magnitude.
Units scale_of(const Cell* scale) {
  if (!scale) return Units(SCALE);
  Cell amount{};
  switch (scale->type()) {
    case T_MONEY: return units(scale);
    case T_INTEGER: return units(from_integer(&amount, cell::get_int(scale)));
    case T_FLOAT: return units(from_float(&amount, cell::get_double(scale), true));
    default: {
      Cell action = word::make_global(words::round_);
      Cell type = values::of_datatype(T_MONEY);
      fire(err::script::NOT_RELATED, &action, &type);
    }
  }
}

}  // namespace

// Money by money multiplies no amounts and a number is not divided by an amount;
// the currencies must agree (or one side have none), and the result takes the
// currency there is. An amount divided by an amount is a plain ratio: a float!.
void do_math(int op) {
  Cell* left = stack::arg(0);
  const Cell* right = stack::arg(1);
  bool money_left = left->is(T_MONEY), money_right = right->is(T_MONEY);
  if ((op == OP_MULTIPLY && money_left && money_right) ||
      ((op == OP_DIVIDE || op == OP_REMAINDER) && !money_left && money_right))
    fire_with_type(err::script::INVALID_TYPE, left->type());
  Cell a = operand(left), b = operand(right);
  int x = currency(&a), y = currency(&b);
  if (x != y && x != 0 && y != 0) fire(err::script::WRONG_DENOM, &a, &b);
  Signed result = apply_op(signed_of(&a), signed_of(&b), op);
  Cell amount{};
  store(&amount, result.negative, y ? y : x, result.magnitude);
  if (op == OP_DIVIDE && money_left && money_right) {
    float_::make_at(left, to_float(&amount));
    return;
  }
  store(left, result.negative, currency(&amount), result.magnitude);
}

// The value moves to a multiple of the scale below or above it by the shared
// rounding rules; a half is a remainder of exactly half the scale, and /even
// looks at the parity of the multiple below (value div scale).
Cell* round(Cell* value, const Cell* scale_cell, rounding::Mode mode) {
  Units v = units(value);
  if (v == 0) return value;
  Units scale = scale_of(scale_cell);
  if (scale == 0) return value;
  Units below = v % scale;
  if (below == 0) return value;
  Units above = scale - below;
  bool lower_even = (v / scale) % 2 == 0;
  bool up = rounding::away_from_zero(mode, negative(value), below, above, lower_even);
  Units rounded = up ? checked(add(v, above)) : v - below;
  return store(value, negative(value), currency(value), rounded);
}

}  // namespace zol::money
