// pair!, point2D! and point3D!: make and to, arithmetic, comparison, paths and pick,
// rounding and the other actions, and their text (see pair.h). The two point types
// differ only in their number of coordinates, so one set of routines serves both.
#include "runtime/datatypes/pair.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/known_words.h"
#include "runtime/core/number.h"
#include "runtime/core/random.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/hashtable/hashtable.h"

namespace zol {
namespace {

// --- shared by the three types ----------------------------------------------------------

int coordinates_of(uint8_t type) { return type == T_POINT3D ? 3 : 2; }

[[noreturn]] void with_datatype(err::script id, uint8_t type) {
  Cell t = values::of_datatype(type);
  fire(id, &t);
}

[[noreturn]] void bad_to_arg(uint8_t type, const Cell* spec) {
  Cell t = values::of_datatype(type);
  fire(err::script::BAD_TO_ARG, &t, spec);
}

[[noreturn]] void invalid_path(Cell* path, const Cell* element) {
  Cell p = path ? *path : values::none;
  fire(err::script::INVALID_PATH, &p, element);
}

// x, y or z in any letter case: 1, 2 or 3; 0 for any other word.
int field_of_word(const Cell* word) {
  uint32_t sym = word_cell::symbol(word);
  if (symbol::name_length(sym) != 1) return 0;
  char c = char(symbol::get_c_string(sym)[0] | 0x20);
  return c >= 'x' && c <= 'z' ? c - 'x' + 1 : 0;
}

// The 1-based coordinate a path element names, 0 when it names none.
int path_field(const Cell* element, int coordinates) {
  int field = 0;
  if (element->is(T_INTEGER)) field = cell::get_int(element);
  else if (word::any_word(element->type())) field = field_of_word(element);
  return field >= 1 && field <= coordinates ? field : 0;
}

// The field pick takes: an index, or a coordinate word (unknown ones raise
// cannot-use); an index out of range raises out-of-range.
int pick_field(Cell* value, int32_t index, Cell* index_cell, int coordinates) {
  if (index_cell && word::any_word(index_cell->type())) {
    int field = field_of_word(index_cell);
    if (field == 0 || field > coordinates) fire(err::script::CANNOT_USE, index_cell, value);
    return field;
  }
  if (index < 1 || index > coordinates) fire(err::script::OUT_OF_RANGE, index_cell);
  return index;
}

// The first `n` values of a spec block, each integer! or float!; a shorter block
// or another value raises malconstruct.
void numbers_of_block(const Cell* spec, int n, double* out) {
  Cell blk = *spec;
  if (block::length(&blk) < n) fire(err::syntax::MALCONSTRUCT, spec);
  const Cell* values = block::clip_head_cell(&blk);
  for (int i = 0; i < n; i++) {
    if (!values[i].is(T_INTEGER) && !values[i].is(T_FLOAT)) fire(err::syntax::MALCONSTRUCT, spec);
    out[i] = number::get_double_from(&values[i]);
  }
}

// Text is loaded and must give a value of the type.
Cell* from_text(Cell* proto, Cell* spec, uint8_t type) {
  if (!float_::load_string) fire(err::internal::FEATURE_NA);
  Cell loaded;
  const Cell* value = float_::load_string(spec, &loaded);
  if (!value->is(type)) bad_to_arg(type, spec);
  *proto = *value;
  return proto;
}

int order(double a, double b) { return (a > b) - (a < b); }

// A number cannot be divided by a vector, and only an integer! may have one
// subtracted from it (the vector is negated and added).
void refuse_number_on_left(int op, const Cell* left) {
  if (op != OP_DIVIDE && (op != OP_SUBTRACT || left->is(T_INTEGER))) return;
  Cell action = word::make_global(op == OP_SUBTRACT ? words::subtract : words::divide);
  Cell type = values::of_datatype(left->type());
  fire(err::script::NOT_RELATED, &action, &type);
}

}  // namespace

// --- pair! ------------------------------------------------------------------------------

namespace pair {
namespace {

Cell* promote(Cell* c) {
  float xy[2] = {float(x_of(c)), float(y_of(c))};
  return point::make_at(c, 2, xy);
}

// A float operand broadcast to a pair's coordinates: truncated toward zero;
// infinite, NaN or beyond the integers it cannot be.
int32_t truncated_operand(const Cell* right) {
  double f = cell::get_double(right);
  int32_t n;
  if (!number::truncate_to_int32(f, &n)) fire(err::script::INVALID_ARG, right);
  return n;
}

bool special(double f) { return std::isnan(f) || std::isinf(f); }

// Both sides of the frame go to point2D! and the point arithmetic does the work.
void as_points(int op) {
  promote(stack::arg(0));
  if (stack::arg(1)->is(T_PAIR)) promote(stack::arg(1));
  point::do_math(op);
}

// A float factor or divisor scales the pair into a point2D!.
bool scale_by_float(int op, const Cell* right) {
  double f = cell::get_double(right);
  if (op == OP_MULTIPLY ? special(f) : op == OP_DIVIDE ? std::isnan(f) : false)
    fire(err::script::INVALID_ARG, right);
  if (op != OP_MULTIPLY && op != OP_DIVIDE) return false;
  as_points(op);
  return true;
}

void integer_math(int op, int32_t x2, int32_t y2) {
  Cell* left = stack::arg(0);
  Cell x = values::integer(0), y = values::integer(0);
  integer::do_math_op(x_of(left), x2, op, &x);
  integer::do_math_op(y_of(left), y2, op, &y);
  if (x.is(T_FLOAT) || y.is(T_FLOAT)) {
    make_at(stack::arg(1), x2, y2);
    as_points(op);
    return;
  }
  make_at(left, cell::get_int(&x), cell::get_int(&y));
}

// -2147483648 has no negation in 32 bits: like integer!'s, it raises overflow
// rather than wrap back to itself.
Cell* negate(Cell* value) {
  int32_t x, y;
  if (__builtin_sub_overflow(0, x_of(value), &x) || __builtin_sub_overflow(0, y_of(value), &y))
    fire(err::math::OVERFLOW);
  return make_at(value, x, y);
}

// A number on the left: the pair goes first, and a subtraction adds the negated
// pair; a number cannot be divided by a pair. Answers the op left to do.
int move_pair_first(int op) {
  Cell* left = stack::arg(0);
  Cell* right = stack::arg(1);
  refuse_number_on_left(op, left);
  std::swap(*left, *right);
  if (op == OP_SUBTRACT) {
    negate(left);
    return OP_ADD;
  }
  return op;
}

Cell* make(Cell* proto, Cell* spec, int) {
  switch (spec->type()) {
    case T_INTEGER: return make_at(proto, cell::get_int(spec), cell::get_int(spec));
    case T_FLOAT: {
      int32_t n = truncated_operand(spec);
      return make_at(proto, n, n);
    }
    case T_BLOCK: {
      double xy[2];
      numbers_of_block(spec, 2, xy);
      int32_t x, y;
      if (!number::truncate_to_int32(xy[0], &x) || !number::truncate_to_int32(xy[1], &y))
        fire(err::syntax::MALCONSTRUCT, spec);
      return make_at(proto, x, y);
    }
    case T_PAIR: return spec;
    case T_POINT2D: {
      int32_t x, y;
      if (!number::truncate_to_int32(point::coordinate(spec, 0), &x) ||
          !number::truncate_to_int32(point::coordinate(spec, 1), &y))
        fire(err::script::INVALID_ARG, spec);
      return make_at(proto, x, y);
    }
    case T_STRING: return from_text(proto, spec, T_PAIR);
    default: bad_to_arg(T_PAIR, spec);
  }
}

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  char text[25];
  int n = integer::form_signed(x_of(value), text);
  text[n++] = 'x';
  n += integer::form_signed(y_of(value), text + n);
  string::concatenate_literal_part(buffer, text, uint32_t(n));
  return limit - n;
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form(value, buffer, how.part, limit);
}

int compare(const Cell* a, const Cell* b, int op) {
  if (b->is(T_POINT2D)) {
    Cell as_point = *a;
    return actions::compare_typed(promote(&as_point), b, op);
  }
  if (!b->is(T_PAIR)) return COMPARE_NOT_COMPARABLE;
  int by_x = order(x_of(a), x_of(b));
  return by_x ? by_x : order(y_of(a), y_of(b));
}

int32_t field(const Cell* c, int index) { return index == 1 ? x_of(c) : y_of(c); }

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  int index = path_field(element, 2);
  if (index == 0) invalid_path(path, element);
  if (!value) return integer::push(field(parent, index));
  if (!value->is(T_INTEGER)) with_datatype(err::script::INVALID_TYPE, value->type());
  if (index == 1) parent->w2 = value->w2;
  else parent->w3 = value->w2;
  return value;
}

Cell* pick(Cell* value, int32_t index, Cell* index_cell) {
  return integer::push(field(value, pick_field(value, index, index_cell, 2)));
}

void absolute() {
  Cell* v = stack::arg(0);
  make_at(v, integer::abs(x_of(v)), integer::abs(y_of(v)));
}


Cell* reverse(Cell* value, const Cell*, const Cell*) {
  return make_at(value, y_of(value), x_of(value));
}

Cell* random(Cell* value, bool seed, bool secure, bool) {
  if (seed) {
    random::seed(uint32_t(x_of(value)) ^ uint32_t(y_of(value)));
    return cell::copy(&values::unset, value);
  }
  auto draw = [&](int32_t n) { return n ? random::integer(secure, n) : 0; };
  return make_at(value, draw(x_of(value)), draw(y_of(value)));
}

// Each coordinate rounded as an integer!, by the matching coordinate of a pair!
// scale or by a number scale.
Cell* round(Cell* value, const Cell* scale, rounding::Mode mode) {
  int32_t rounded[2];
  for (int i = 0; i < 2; i++) {
    Cell coordinate = values::integer(field(value, i + 1));
    Cell step = scale && scale->is(T_PAIR) ? values::integer(field(scale, i + 1)) : Cell{};
    const Cell* s = scale && scale->is(T_PAIR) ? &step : scale;
    Cell* r = actions::round_typed(&coordinate, s, mode);
    rounded[i] = r->is(T_INTEGER) ? cell::get_int(r) : truncated_operand(r);
  }
  return make_at(value, rounded[0], rounded[1]);
}

template <int Op>
void math_action() { do_math(Op); }

}  // namespace

Cell* make_at(Cell* c, int32_t x, int32_t y) {
  return cell::set(c, (c->header & HEADER_NEW_LINE) | T_PAIR, 0, uint32_t(x), uint32_t(y));
}

Cell* push(int32_t x, int32_t y) {
  Cell c{};
  return stack::push(make_at(&c, x, y));
}

int32_t x_of(const Cell* c) { return int32_t(c->w2); }
int32_t y_of(const Cell* c) { return int32_t(c->w3); }

void do_math(int op) {
  if (!stack::arg(0)->is(T_PAIR)) op = move_pair_first(op);
  const Cell* right = stack::arg(1);
  switch (right->type()) {
    case T_PAIR: integer_math(op, x_of(right), y_of(right)); return;
    case T_INTEGER: integer_math(op, cell::get_int(right), cell::get_int(right)); return;
    case T_POINT2D: promote(stack::arg(0)); point::do_math(op); return;
    case T_FLOAT: case T_PERCENT: {
      if (scale_by_float(op, right)) return;
      int32_t n = truncated_operand(right);
      integer_math(op, n, n);
      return;
    }
    default: with_datatype(err::script::INVALID_TYPE, right->type());
  }
}

}  // namespace pair

// --- point2D! and point3D! -----------------------------------------------------------

namespace point {
namespace {

struct Coords {
  float v[3] = {};
};

Coords coords_of(const Cell* c) {
  Coords out;
  for (int i = 0; i < coordinates_of(c->type()); i++) out.v[i] = coordinate(c, i);
  return out;
}

Cell* store(Cell* c, uint8_t type, const Coords& coords) {
  make_at(c, coordinates_of(type), coords.v);
  return c;
}

Coords broadcast(double f) { return Coords{{float(f), float(f), float(f)}}; }

// The right operand's coordinates; a pair! only meets a point2D!.
Coords right_coords(uint8_t left_type, const Cell* right) {
  switch (right->type()) {
    case T_INTEGER: return broadcast(cell::get_int(right));
    case T_FLOAT: case T_PERCENT: return broadcast(cell::get_double(right));
    case T_PAIR:
      if (left_type == T_POINT2D) return Coords{{float(pair::x_of(right)), float(pair::y_of(right)), 0}};
      break;
    default:
      if (right->type() == left_type) return coords_of(right);
  }
  with_datatype(err::script::INVALID_TYPE, right->type());
}

// A number on the left: the point goes first, and a subtraction adds the
// negated point; a number cannot be divided by a point. Answers the op left to do.
int move_point_first(int op) {
  Cell* left = stack::arg(0);
  Cell* right = stack::arg(1);
  refuse_number_on_left(op, left);
  std::swap(*left, *right);
  if (op == OP_SUBTRACT) {
    Coords c = coords_of(left);
    for (float& v : c.v) v = 0.0f - v;
    store(left, left->type(), c);
    return OP_ADD;
  }
  return op;
}

Cell* make(Cell* proto, Cell* spec, int type) {
  uint8_t t = uint8_t(type);
  int n = coordinates_of(t);
  switch (spec->type()) {
    case T_INTEGER: case T_FLOAT: return store(proto, t, broadcast(number::get_double_from(spec)));
    case T_BLOCK: {
      double values[3];
      numbers_of_block(spec, n, values);
      return store(proto, t, Coords{{float(values[0]), float(values[1]), n == 3 ? float(values[2]) : 0}});
    }
    case T_PAIR: return store(proto, t, Coords{{float(pair::x_of(spec)), float(pair::y_of(spec)), 0}});
    case T_POINT2D: return store(proto, t, coords_of(spec));
    case T_POINT3D:
      if (t == T_POINT3D) return spec;
      bad_to_arg(t, spec);
    case T_STRING: return from_text(proto, spec, t);
    default: bad_to_arg(t, spec);
  }
}

Cell* make_2d(Cell* proto, Cell* spec, int) { return make(proto, spec, T_POINT2D); }
Cell* make_3d(Cell* proto, Cell* spec, int) { return make(proto, spec, T_POINT3D); }

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  string::concatenate_literal(buffer, "(");
  limit--;
  for (int i = 0; i < coordinates_of(value->type()); i++) {
    if (i) {
      string::concatenate_literal(buffer, ", ");
      limit -= 2;
    }
    limit = float_::append_form(buffer, coordinate(value, i), float_text::KIND_COORDINATE, limit);
  }
  string::concatenate_literal(buffer, ")");
  return limit - 1;
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form(value, buffer, how.part, limit);
}

// Tolerant equality for = and <>; == wants the same floats, same? the same bits;
// ordering goes by the first coordinate that differs beyond the tolerance.
int compare_coords(const Coords& a, const Coords& b, int n, int op) {
  auto all = [&](auto same) {
    for (int i = 0; i < n; i++)
      if (!same(a.v[i], b.v[i])) return false;
    return true;
  };
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL:
      return all([](float x, float y) { return float_::float32_almost_equal(x, y); }) ? 0 : 1;
    case C_STRICT_EQUAL: return all([](float x, float y) { return x == y; }) ? 0 : 1;
    case C_SAME:
      return all([](float x, float y) { return std::bit_cast<uint32_t>(x) == std::bit_cast<uint32_t>(y); })
                 ? 0 : 1;
    default:
      for (int i = 0; i < n; i++) {
        float d = a.v[i] - b.v[i];
        if (!float_::float32_almost_equal(d, 0.0f) || i == n - 1) return order(d, 0);
      }
      return 0;
  }
}

int compare(const Cell* a, const Cell* b, int op) {
  Coords right;
  if (b->is(a->type())) right = coords_of(b);
  else if (a->is(T_POINT2D) && b->is(T_PAIR))
    right = Coords{{float(pair::x_of(b)), float(pair::y_of(b)), 0}};
  else return COMPARE_NOT_COMPARABLE;
  return compare_coords(coords_of(a), right, coordinates_of(a->type()), op);
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  int index = path_field(element, coordinates_of(parent->type()));
  if (index == 0) invalid_path(path, element);
  if (!value) return float_::push(coordinate(parent, index - 1));
  if (!value->is(T_INTEGER) && !value->is(T_FLOAT))
    with_datatype(err::script::INVALID_TYPE, value->type());
  Coords c = coords_of(parent);
  c.v[index - 1] = float(number::get_double_from(value));
  store(parent, parent->type(), c);
  return value;
}

Cell* pick(Cell* value, int32_t index, Cell* index_cell) {
  int field = pick_field(value, index, index_cell, coordinates_of(value->type()));
  return float_::push(coordinate(value, field - 1));
}

Cell* each_coordinate(Cell* value, float (*f)(float)) {
  Coords c = coords_of(value);
  for (float& v : c.v) v = f(v);
  return store(value, value->type(), c);
}

void absolute() { each_coordinate(stack::arg(0), [](float v) { return std::fabs(v); }); }
Cell* negate(Cell* value) { return each_coordinate(value, [](float v) { return 0.0f - v; }); }

Cell* reverse(Cell* value, const Cell*, const Cell*) {
  Coords c = coords_of(value);
  std::swap(c.v[0], c.v[coordinates_of(value->type()) - 1]);
  return store(value, value->type(), c);
}

Cell* random(Cell* value, bool seed, bool secure, bool) {
  int n = coordinates_of(value->type());
  if (seed) {
    random::seed(hashtable::murmur3(&value->w1, size_t(n) * 4));
    return cell::copy(&values::unset, value);
  }
  Coords c = coords_of(value);
  for (int i = 0; i < n; i++) {
    if (c.v[i] == 0) continue;
    Cell draw;
    float_::make_at(&draw, c.v[i]);
    c.v[i] = float(cell::get_double(actions::random_typed(&draw, false, secure, false)));
  }
  return store(value, value->type(), c);
}

// Per-coordinate scales: a point's coordinates (z 0 from a point2D! leaves z as it
// is), a pair's integers for a point2D!, or one number for every coordinate.
Cell* round(Cell* value, const Cell* scale, rounding::Mode mode) {
  if (scale && scale->is(T_MONEY)) {
    Cell action = word::make_global(words::round_);
    Cell money = values::of_datatype(T_MONEY);
    fire(err::script::NOT_RELATED, &action, &money);
  }
  int n = coordinates_of(value->type());
  bool split = scale && (scale->is(T_POINT2D) || scale->is(T_POINT3D) ||
                         (scale->is(T_PAIR) && n == 2));
  Coords scales = split ? (scale->is(T_PAIR) ? Coords{{float(pair::x_of(scale)), float(pair::y_of(scale)), 0}}
                                             : coords_of(scale))
                        : Coords{};
  Coords c = coords_of(value);
  for (int i = 0; i < n; i++) {
    if (split && scales.v[i] == 0 && scale->is(T_POINT2D) && i == 2) continue;
    Cell coordinate, step;
    float_::make_at(&coordinate, c.v[i]);
    if (split) float_::make_at(&step, scales.v[i]);
    Cell* r = float_::round(&coordinate, split ? &step : scale, mode);
    c.v[i] = float(number::get_double_from(r));
  }
  return store(value, value->type(), c);
}

template <int Op>
void math_action() { do_math(Op); }

void register_point(uint8_t type, const char* name, MakeFn make_fn) {
  datatype::register_type(
      type, 0, name,
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make_fn),
                                   slot_entry<A_RANDOM>(random),
                                   slot_entry<A_TO>(make_fn),
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
                                   slot_entry<A_PICK>(pick),
                                   slot_entry<A_REVERSE>(reverse)}));
}

}  // namespace

Cell* make_at(Cell* c, int coordinates, const float* values) {
  uint32_t words[3] = {};
  std::memcpy(words, values, size_t(coordinates) * sizeof(float));
  uint8_t type = coordinates == 3 ? T_POINT3D : T_POINT2D;
  return cell::set(c, (c->header & HEADER_NEW_LINE) | type, words[0], words[1], words[2]);
}

Cell* push(int coordinates, const float* values) {
  Cell c{};
  return stack::push(make_at(&c, coordinates, values));
}

float coordinate(const Cell* c, int index) {
  const uint32_t words[3] = {c->w1, c->w2, c->w3};
  return std::bit_cast<float>(words[index]);
}

// Each coordinate computed as a double and stored as a single; a float factor or
// divisor scales every coordinate, another number is broadcast.
void do_math(int op) {
  if (!stack::arg(0)->is(T_POINT2D) && !stack::arg(0)->is(T_POINT3D)) op = move_point_first(op);
  Cell* left = stack::arg(0);
  Coords right = right_coords(left->type(), stack::arg(1));
  Coords c = coords_of(left);
  for (int i = 0; i < coordinates_of(left->type()); i++)
    c.v[i] = float(float_::math_op(c.v[i], right.v[i], op));
  store(left, left->type(), c);
}

}  // namespace point

namespace pair {

void init() {
  datatype::register_type(
      T_PAIR, 0, "pair!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_RANDOM>(random),
                                   slot_entry<A_TO>(make),
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
                                   slot_entry<A_AND_T>(math_action<OP_AND>),
                                   slot_entry<A_OR_T>(math_action<OP_OR>),
                                   slot_entry<A_XOR_T>(math_action<OP_XOR>),
                                   slot_entry<A_PICK>(pick),
                                   slot_entry<A_REVERSE>(reverse)}));
  point::register_point(T_POINT2D, "point2D!", point::make_2d);
  point::register_point(T_POINT3D, "point3D!", point::make_3d);
}

}  // namespace pair
}  // namespace zol
