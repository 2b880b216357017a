// The natives on numbers: the sign tests, zero? and NaN?, shift, to-hex, and the
// trigonometric, logarithmic and root functions. Each leaves its result in the
// frame's first cell, in place of the argument.
//
// Angles are in degrees unless /radians is used. Degrees are first brought into
// the range where the platform's functions are exact at the quadrant points, so
// that sine 180 is 0.0 and tangent 90 infinite rather than off by the rounding of
// pi; results of sine and cosine smaller than the double epsilon are taken as 0.0.
#include <cfloat>
#include <cmath>
#include <numbers>
#include <string>

#include "interpreter/natives/natives_internal.h"
#include "interpreter/natives/radians.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/number.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/numeric/shift.h"

namespace zol::natives {
namespace {

constexpr double PI = std::numbers::pi;

Cell* arg(int i) { return stack::arg(i); }

// The argument as a double: an integer! becomes a float! of the same value, a
// percent! a float! keeping its double.
double to_float(Cell* c) {
  double d = c->is(T_INTEGER) ? double(cell::get_int(c)) : cell::get_double(c);
  float_::make_at(c, d);
  return d;
}

void answer_float(double d) { float_::make_at(arg(0), d); }
void answer_logic(bool b) { *arg(0) = values::logic(b); }

// -1, 0 or 1 by the sign of a number or time!; NaN counts as 0. Other types
// cannot reach the sign tests (their argument check refuses them).
int sign_of(const Cell* c) {
  if (c->is(T_INTEGER)) {
    int32_t n = cell::get_int(c);
    return (n > 0) - (n < 0);
  }
  if (c->is(T_MONEY)) return money::sign(c);
  if (!c->is(T_FLOAT) && !c->is(T_PERCENT) && !c->is(T_TIME)) actions::fire_expect_arg(c->type());
  double d = cell::get_double(c);
  return (d > 0.0) - (d < 0.0);
}

// --- angles ---------------------------------------------------------------------------

enum class Trig { TANGENT, COSINE, SINE };

// Degrees brought into -180..180 and, for sine and tangent, into -90..90 by their
// symmetries (cosine keeps the half turn: its values there are exact anyway).
double normalised_degrees(double degrees, Trig which) {
  double r = std::fmod(degrees, 360.0);
  if (r > 180.0 || r < -180.0) r += r >= 0.0 ? -360.0 : 360.0;
  if (r > 90.0 || r < -90.0) {
    if (which == Trig::TANGENT) r += r >= 0.0 ? -180.0 : 180.0;
    else if (which == Trig::SINE) r = (r >= 0.0 ? 180.0 : -180.0) - r;
  }
  return r;
}

// sin, cos or tan, in the precision of the argument.
template <class T>
T evaluate(Trig which, T x) {
  switch (which) {
    case Trig::SINE: return std::sin(x);
    case Trig::COSINE: return std::cos(x);
    case Trig::TANGENT: break;
  }
  return std::tan(x);
}

// The function of the angle argument. From degrees the conversion to radians and
// the function run in extended precision: pi / 6 rounded to a double is short of
// the true angle by enough that sine 30 would miss 0.5 by one bit, while the
// extended result rounds to the exact value at every multiple of 30 and 45 degrees.
double trig(Trig which, int radians) {
  double a = to_float(arg(0));
  if (radians >= 0) return evaluate(which, a);
  constexpr long double PI_EXTENDED = std::numbers::pi_v<long double>;
  return double(evaluate(which, normalised_degrees(a, which) * PI_EXTENDED / 180.0L));
}

double without_noise(double d) { return std::fabs(d) < DBL_EPSILON ? 0.0 : d; }

// asin, acos and atan answer radians; without /radians the result is in degrees.
void inverse(double (*fn)(double), int radians) {
  double r = fn(to_float(arg(0)));
  answer_float(radians >= 0 ? r : r * 180.0 / PI);
}

// --- to-hex ------------------------------------------------------------------------------

constexpr int INTEGER_DIGITS = 8;

std::string hex_digits(const Cell* value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  if (value->is(T_TUPLE)) {
    for (int i = 0; i < tuple::count(value); i++) {
      uint8_t b = tuple::element(value, i);
      text += digits[b >> 4];
      text += digits[b & 15];
    }
    return text;
  }
  uint32_t n = uint32_t(cell::get_int(value));
  for (int shift = 28; shift >= 0; shift -= 4) text += digits[(n >> shift) & 15];
  return text;
}

}  // namespace

void negative_q(int) { answer_logic(sign_of(arg(0)) < 0); }
void positive_q(int) { answer_logic(sign_of(arg(0)) > 0); }
void sign_q(int) { *arg(0) = values::integer(sign_of(arg(0))); }

void zero_q(int) {
  const Cell* v = arg(0);
  bool zero;
  switch (v->type()) {
    case T_INTEGER: case T_CHAR: zero = cell::get_int(v) == 0; break;
    case T_FLOAT: case T_PERCENT: case T_TIME: zero = cell::get_double(v) == 0.0; break;
    case T_PAIR: zero = pair::x_of(v) == 0 && pair::y_of(v) == 0; break;
    case T_POINT2D: case T_POINT3D: {
      int coordinates = v->is(T_POINT2D) ? 2 : 3;
      zero = true;
      for (int i = 0; i < coordinates; i++) zero = zero && point::coordinate(v, i) == 0.0f;
      break;
    }
    case T_MONEY: zero = money::sign(v) == 0; break;
    case T_TUPLE: zero = tuple::zero_q(v); break;
    default: actions::fire_expect_arg(v->type());
  }
  answer_logic(zero);
}

void nan_q(int) {
  const Cell* v = arg(0);
  answer_logic((v->is(T_FLOAT) || v->is(T_PERCENT)) && std::isnan(cell::get_double(v)));
}

void shift(int, int left, int logical) {
  numeric::ShiftMode mode = left >= 0      ? numeric::ShiftMode::LEFT
                            : logical >= 0 ? numeric::ShiftMode::LOGICAL_RIGHT
                                           : numeric::ShiftMode::ARITHMETIC_RIGHT;
  *arg(0) = values::integer(numeric::shift(cell::get_int(arg(0)), cell::get_int(arg(1)), mode));
}

void to_hex(int, int size) {
  std::string text = hex_digits(arg(0));
  if (size >= 0) {
    int32_t length = cell::get_int(arg(size));
    if (length <= 0) fire(err::script::INVALID_ARG, arg(size));
    if (size_t(length) < text.size()) text.erase(0, text.size() - size_t(length));
  }
  *arg(0) = word::load(text.c_str(), T_ISSUE);
}

void sine(int, int radians) {
  if (radians >= 0) return answer_float(radians::sine(to_float(arg(0))));
  answer_float(without_noise(trig(Trig::SINE, radians)));
}

void cosine(int, int radians) {
  if (radians >= 0) return answer_float(radians::cosine(to_float(arg(0))));
  answer_float(without_noise(trig(Trig::COSINE, radians)));
}

// A right angle, either way, is an infinite tangent rather than the huge finite
// value the rounding of pi would give.
void tangent(int, int radians) {
  if (radians >= 0) return answer_float(radians::tangent(to_float(arg(0))));
  double at = normalised_degrees(number::get_double_from(arg(0)), Trig::TANGENT);
  if (at == 90.0 || at == -90.0) return answer_float(std::copysign(HUGE_VAL, at));
  answer_float(trig(Trig::TANGENT, radians));
}

void arcsine(int, int radians) { inverse(radians::arcsine, radians); }
void arccosine(int, int radians) { inverse(radians::arccosine, radians); }
void arctangent(int, int radians) { inverse(radians::arctangent, radians); }

void arctangent2(int, int radians) {
  double y = to_float(arg(0));
  double r = radians::arctangent2(y, to_float(arg(1)));
  answer_float(radians >= 0 ? r : r * 180.0 / PI);
}

void log_2(int) { answer_float(std::log(to_float(arg(0))) / std::numbers::ln2); }
void log_10(int) { answer_float(std::log10(to_float(arg(0)))); }
void log_e(int) { answer_float(std::log(to_float(arg(0)))); }
void exp(int) { answer_float(std::pow(std::numbers::e, to_float(arg(0)))); }
void square_root(int) { answer_float(radians::square_root(to_float(arg(0)))); }

}  // namespace zol::natives

namespace zol::natives::radians {

double sine(double angle) { return without_noise(std::sin(angle)); }
double cosine(double angle) { return without_noise(std::cos(angle)); }

double tangent(double angle) {
  if (angle == PI / 2 || angle == -PI / 2) return std::copysign(HUGE_VAL, angle);
  return std::tan(angle);
}

double arcsine(double sine) { return std::asin(sine); }
double arccosine(double cosine) { return std::acos(cosine); }
double arctangent(double tangent) { return std::atan(tangent); }
double arctangent2(double y, double x) { return std::atan2(y, x); }
double square_root(double number) { return std::sqrt(number); }

}  // namespace zol::natives::radians
