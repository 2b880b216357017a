// max and min, and the makers as-pair, as-point2D and as-point3D: the natives whose
// work on pair!, point2D!, point3D! and tuple! goes component by component.
#include <algorithm>
#include <cmath>
#include <utility>

#include "interpreter/natives/natives_internal.h"
#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/number.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/tuple.h"

namespace zol::natives {
namespace {

Cell* arg(int i) { return stack::arguments + i; }

bool is_number(const Cell* c) { return c->is(T_INTEGER) || c->is(T_FLOAT) || c->is(T_PERCENT); }
bool is_nan(const Cell* c) {
  return (c->is(T_FLOAT) || c->is(T_PERCENT)) && std::isnan(cell::get_double(c));
}
bool is_compound(const Cell* c) {
  return c->is(T_PAIR) || c->is(T_POINT2D) || c->is(T_POINT3D) || c->is(T_TUPLE);
}
bool is_point(const Cell* c) { return c->is(T_POINT2D) || c->is(T_POINT3D); }

// The larger (smaller) of two components; a NaN on the other side wins.
template <class T>
T chosen(T own, T other, bool max) {
  if constexpr (std::is_floating_point_v<T>)
    if (std::isnan(other)) return other;
  return max ? std::max(own, other) : std::min(own, other);
}

void pair_to_point(Cell* c) {
  float xy[2] = {float(pair::x_of(c)), float(pair::y_of(c))};
  point::make_at(c, 2, xy);
}

// A float that is not exactly an integer takes a pair into point2D!.
bool needs_point(const Cell* number) {
  if (number->is(T_INTEGER)) return false;
  int32_t n;
  double d = cell::get_double(number);
  return !number::truncate_to_int32(d, &n) || double(n) != d;
}

void pair_with(Cell* a, const Cell* b, bool max) {
  int32_t x2 = b->is(T_PAIR) ? pair::x_of(b) : number::get_int_from(b);
  int32_t y2 = b->is(T_PAIR) ? pair::y_of(b) : number::get_int_from(b);
  pair::make_at(a, chosen(pair::x_of(a), x2, max), chosen(pair::y_of(a), y2, max));
}

void point_with(Cell* a, const Cell* b, bool max) {
  int n = a->is(T_POINT3D) ? 3 : 2;
  float c[3];
  for (int i = 0; i < n; i++) {
    float other = b->is(T_PAIR) ? float(i == 0 ? pair::x_of(b) : pair::y_of(b))
                  : is_point(b) ? point::coordinate(b, i)
                                : float(number::get_double_from(b));
    c[i] = chosen(point::coordinate(a, i), other, max);
  }
  point::make_at(a, n, c);
}

void tuple_with(Cell* a, const Cell* b, bool max) {
  int n = b->is(T_TUPLE) ? std::max(tuple::count(a), tuple::count(b)) : tuple::count(a);
  uint8_t bytes[tuple::MAX_COUNT];
  for (int i = 0; i < n; i++) {
    double other = b->is(T_TUPLE) ? tuple::element(b, i) : number::get_double_from(b);
    double r = chosen(double(tuple::element(a, i)), other, max);
    bytes[i] = std::isnan(r) ? 0 : uint8_t(std::clamp(r, 0.0, 255.0));
  }
  tuple::make_at(a, bytes, n);
}

// A compound with a number or a compound of its kind (a pair meets a point2D! as
// one); answers false for mixes that only the comparison can order.
bool components(Cell* a, Cell* b, bool max) {
  if (a->is(T_PAIR) && (b->is(T_POINT2D) || (is_number(b) && needs_point(b)))) pair_to_point(a);
  if (a->is(T_POINT2D) && b->is(T_PAIR)) pair_to_point(b);
  if (!is_number(b) && !b->is(a->type())) return false;
  switch (a->type()) {
    case T_PAIR: pair_with(a, b, max); break;
    case T_TUPLE: tuple_with(a, b, max); break;
    default: point_with(a, b, max); break;
  }
  return true;
}

void max_min(bool max) {
  Cell* a = arg(0);
  Cell* b = arg(1);
  if (is_nan(a) && is_number(b)) return;
  if (is_nan(b) && is_number(a)) {
    *a = *b;
    return;
  }
  if (is_compound(b) && is_number(a)) std::swap(*a, *b);
  if (is_compound(a) && (is_number(b) || is_compound(b)) && components(a, b, max)) return;
  // Equal values: max keeps the first, min takes the second.
  if (max == actions::compare(a, b, C_LESSER)) *a = *b;
}

// An integer, or a float truncated toward zero; an infinite or NaN one cannot be a
// pair coordinate.
int32_t pair_coordinate(const Cell* c) {
  if (c->is(T_INTEGER)) return cell::get_int(c);
  int32_t n;
  if (!number::truncate_to_int32(cell::get_double(c), &n)) fire(err::script::INVALID_ARG, c);
  return n;
}

void as_point(int coordinates) {
  float c[3];
  for (int i = 0; i < coordinates; i++) c[i] = float(number::get_double_from(arg(i)));
  point::make_at(arg(0), coordinates, c);
}

}  // namespace

void max(int) { max_min(true); }
void min(int) { max_min(false); }
void as_pair(int) { pair::make_at(arg(0), pair_coordinate(arg(0)), pair_coordinate(arg(1))); }
void as_point2d(int) { as_point(2); }
void as_point3d(int) { as_point(3); }

}  // namespace zol::natives
