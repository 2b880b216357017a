// vector! (see vector.h): making from the spec forms, element reads and writes,
// form and mold, comparison, element-wise arithmetic and the inserting actions.
#include "runtime/datatypes/vector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"

namespace zol::vector {

namespace {

bool is_float_type(uint8_t t) { return t == T_FLOAT || t == T_PERCENT; }
bool is_element_type(uint8_t t) { return t == T_CHAR || t == T_INTEGER || is_float_type(t); }
uint32_t default_width(uint8_t t) { return is_float_type(t) ? 8 : 4; }

uint8_t element_type(const Cell* v) { return uint8_t(v->w3); }
SeriesBuffer* elements(const Cell* v) { return memory::buffer_of(v->w2); }
uint32_t width_of(const Cell* v) { return elements(v)->unit(); }
int32_t head(const Cell* v) { return series_cell::head(v); }
// Elements from the head (0 when the head is past the tail).
int32_t length_from_head(const Cell* v) {
  return std::max(0, int32_t(elements(v)->length()) - head(v));
}
uint8_t* element_at(const Cell* v, int32_t index) {
  return elements(v)->head() + size_t(index) * width_of(v);
}

int32_t get_integer(const uint8_t* at, uint32_t width) {
  switch (width) {
    case 1: return int8_t(*at);
    case 2: { int16_t n; std::memcpy(&n, at, 2); return n; }
    default: { int32_t n; std::memcpy(&n, at, 4); return n; }
  }
}

double get_float(const uint8_t* at, uint32_t width) {
  if (width == 4) { float f; std::memcpy(&f, at, 4); return f; }
  double d;
  std::memcpy(&d, at, 8);
  return d;
}

void put_integer(uint8_t* at, int32_t n, uint32_t width) {
  uint32_t bits = uint32_t(n);
  std::memcpy(at, &bits, width);   // the low bytes on this little-endian target
}

void put_float(uint8_t* at, double d, uint32_t width) {
  if (width == 8) return (void)std::memcpy(at, &d, 8);
  float f = float(d);
  std::memcpy(at, &f, 4);
}

[[noreturn]] void bad_make_arg(const Cell* spec) {
  Cell type = values::of_datatype(T_VECTOR);
  fire(err::script::BAD_MAKE_ARG, &type, spec);
}

void check_element(const Cell* vector, const Cell* value) {
  if (value->type() != element_type(vector)) fire(err::script::INVALID_ARG, value);
}

// Room for `count` more elements at the tail; answers the first new element.
uint8_t* grow(Cell* vector, int32_t count) {
  int64_t bytes = int64_t(count) * width_of(vector);
  if (int64_t(elements(vector)->used_bytes()) + bytes > INT32_MAX) fire(err::internal::NO_MEMORY);
  return memory::alloc_tail_bytes(series_cell::node(vector), uint32_t(bytes));
}

// Opens a gap of `count` elements at index `at` (from the buffer's data start).
void open_gap(Cell* vector, int32_t at, int32_t count) {
  int32_t old_length = int32_t(elements(vector)->length());
  grow(vector, count);
  uint8_t* from = element_at(vector, at);
  size_t bytes = size_t(old_length - at) * width_of(vector);
  std::memmove(from + size_t(count) * width_of(vector), from, bytes);
}

// --- making -----------------------------------------------------------------------------

struct Spec {
  uint8_t type = T_INTEGER;
  uint32_t width = 4;
  int64_t count = 0;
  Cell values = values::none;   // a block of initial values, or none
};

int64_t count_of(const Cell* spec) {
  double n = spec->is(T_INTEGER) ? double(cell::get_int(spec)) : cell::get_double(spec);
  if (std::isnan(n)) bad_make_arg(spec);
  if (n < 0) fire(err::script::OUT_OF_RANGE, spec);
  return n > double(INT32_MAX) ? int64_t(INT32_MAX) + 1 : int64_t(n);
}

uint32_t width_for(uint8_t type, const Cell* bits, const Cell* spec) {
  if (type == T_PERCENT) return 8;
  if (!bits->is(T_INTEGER)) fire(err::script::INVALID_SPEC_FIELD, spec);
  int32_t b = cell::get_int(bits);
  bool fits = is_float_type(type) ? (b == 32 || b == 64) : (b == 8 || b == 16 || b == 32);
  if (!fits) bad_make_arg(spec);
  return uint32_t(b / 8);
}

uint8_t type_named(const Cell* word) {
  uint32_t symbol = symbol::resolve(word_cell::symbol(word));
  for (uint8_t t : {uint8_t(T_CHAR), uint8_t(T_INTEGER), uint8_t(T_FLOAT), uint8_t(T_PERCENT)})
    if (symbol == symbol::resolve(datatype::info(t).word_symbol)) return t;
  return 0;
}

// [type! bits count] or [type! bits [values]] (percent! may leave out the bits).
Spec typed_spec(const Cell* spec) {
  int32_t n = block::length(spec);
  auto at = [&](int32_t i) { return *block::cell_at(spec, head(spec) + i); };
  if (n < 2) bad_make_arg(spec);
  Cell word = at(0);
  Spec made;
  made.type = type_named(&word);
  if (!made.type) bad_make_arg(spec);
  Cell bits = at(1);
  bool sized = !(made.type == T_PERCENT && !bits.is(T_INTEGER));
  made.width = width_for(made.type, &bits, spec);
  if (n < (sized ? 3 : 2)) fire(err::script::INVALID_SPEC_FIELD, spec);
  Cell content = at(sized ? 2 : 1);
  if (content.is(T_INTEGER)) made.count = count_of(&content);
  else if (content.is(T_BLOCK)) made.values = content;
  else fire(err::script::INVALID_SPEC_FIELD, spec);
  return made;
}

// [1 2 3]: the first value's datatype, at its default width.
Spec valued_spec(const Cell* spec) {
  Spec made;
  made.values = *spec;
  if (block::length(spec) == 0) return made;
  uint8_t t = block::cell_at(spec, head(spec))->type();
  if (!is_element_type(t)) {
    Cell type = values::of_datatype(t);
    fire(err::script::INVALID_TYPE, &type);
  }
  made.type = t;
  made.width = default_width(t);
  return made;
}

Spec spec_of(const Cell* spec) {
  if (spec->is(T_INTEGER) || spec->is(T_FLOAT)) return Spec{T_INTEGER, 4, count_of(spec)};
  if (!spec->is(T_BLOCK)) fire(err::internal::NOT_DONE);
  if (block::length(spec) > 0 && block::cell_at(spec, head(spec))->is(T_WORD))
    return typed_spec(spec);
  return valued_spec(spec);
}

void append_each(Cell* vector, const Cell* source) {
  if (!source->is(T_BLOCK)) return;
  for (int32_t i = head(source); i < int32_t(block::buffer(source)->length()); i++) {
    Cell v = *block::cell_at(source, i);
    set_value(vector, &v);
  }
}

Cell* make(Cell* proto, Cell* spec_in, int) {
  Cell spec_cell = *spec_in;
  Spec spec = spec_of(&spec_cell);
  int32_t given = spec.values.is(T_BLOCK) ? block::length(&spec.values) : 0;
  Cell made;
  make_at(&made, std::max<int64_t>({spec.count, given, 1}), spec.type, spec.width);
  if (given == 0) {
    uint8_t* zeros = grow(&made, int32_t(spec.count));
    std::memset(zeros, 0, size_t(spec.count) * spec.width);
  }
  append_each(&made, &spec.values);
  *proto = made;
  return proto;
}

// --- form and mold ---------------------------------------------------------------------

float_text::DecimalKind kind_of(uint8_t type, uint32_t width) {
  if (type == T_PERCENT) return width == 4 ? float_text::KIND_PERCENT32 : float_text::KIND_PERCENT;
  return width == 4 ? float_text::KIND_FLOAT32 : float_text::KIND_FLOAT;
}

int element_text(const Cell* vector, int32_t index, Cell* buffer, bool mold_mode, int limit) {
  uint8_t type = element_type(vector);
  uint32_t width = width_of(vector);
  const uint8_t* at = element_at(vector, index);
  if (is_float_type(type)) {
    double d = get_float(at, width) * (type == T_PERCENT ? 100.0 : 1.0);
    return float_::append_form(buffer, d, kind_of(type, width), limit);
  }
  Cell v = get_value(at, width, type);
  if (mold_mode) return actions::mold_typed(&v, buffer, MoldOptions{}, limit);
  return actions::form_typed(&v, buffer, nullptr, limit);
}

int elements_text(const Cell* vector, Cell* buffer, bool mold_mode, int limit) {
  int32_t end = int32_t(elements(vector)->length());
  for (int32_t i = head(vector); i < end && limit > 0; i++) {
    if (i > head(vector)) {
      string::concatenate_literal(buffer, " ");
      limit--;
    }
    limit = element_text(vector, i, buffer, mold_mode, limit);
  }
  return limit;
}

int form(const Cell* vector, Cell* buffer, const Cell*, int limit) {
  Cell v = *vector;
  return elements_text(&v, buffer, false, limit);
}

int literal(Cell* buffer, const std::string& text, int limit) {
  string::concatenate_literal(buffer, text.c_str());
  return limit - int(text.size());
}

int mold(const Cell* vector, Cell* buffer, const MoldOptions& how, int limit) {
  Cell v = *vector;
  if (!how.only) limit = literal(buffer, "make vector! [", limit);
  bool plain = length_from_head(&v) > 0 && width_of(&v) == default_width(element_type(&v));
  if (!plain)
    limit = literal(buffer,
                    std::string(datatype::info(element_type(&v)).name) + " " +
                        std::to_string(width_of(&v) * 8) + " [",
                    limit);
  limit = elements_text(&v, buffer, true, limit);
  if (!plain) limit = literal(buffer, "]", limit);
  if (!how.only) limit = literal(buffer, "]", limit);
  return limit;
}

// --- comparison ---------------------------------------------------------------------------

int order(double a, double b) { return a < b ? -1 : a > b ? 1 : 0; }

int compare_elements(const Cell* a, const Cell* b) {
  int32_t na = length_from_head(a), nb = length_from_head(b);
  bool floats = is_float_type(element_type(a));
  for (int32_t i = 0; i < std::min(na, nb); i++) {
    const uint8_t* x = element_at(a, head(a) + i);
    const uint8_t* y = element_at(b, head(b) + i);
    int answer = floats ? order(get_float(x, width_of(a)), get_float(y, width_of(b)))
                        : order(get_integer(x, width_of(a)), get_integer(y, width_of(b)));
    if (answer != 0) return answer;
  }
  return order(na, nb);
}

int compare(const Cell* a_in, const Cell* b_in, int op) {
  if (!b_in->is(T_VECTOR)) return COMPARE_NOT_COMPARABLE;
  Cell a = *a_in, b = *b_in;
  if (element_type(&a) != element_type(&b)) fire(err::script::NOT_SAME_TYPE);
  bool same_place = a.w2 == b.w2 && head(&a) == head(&b);
  if (op == C_SAME) return same_place ? 0 : -1;
  bool equality = op == C_EQUAL || op == C_NOT_EQUAL || op == C_STRICT_EQUAL || op == C_FIND;
  if (equality && same_place) return 0;
  if (equality && length_from_head(&a) != length_from_head(&b)) return 1;
  return compare_elements(&a, &b);
}

// --- arithmetic -----------------------------------------------------------------------------

int32_t integer_op(int32_t l, int32_t r, int op) {
  uint32_t a = uint32_t(l), b = uint32_t(r);
  switch (op) {
    case OP_ADD: return int32_t(a + b);
    case OP_SUBTRACT: return int32_t(a - b);
    case OP_MULTIPLY: return int32_t(a * b);
    case OP_OR: return int32_t(a | b);
    case OP_AND: return int32_t(a & b);
    case OP_XOR: return int32_t(a ^ b);
    default: break;
  }
  if (r == 0) fire(err::math::ZERO_DIVIDE);
  int64_t q = op == OP_DIVIDE ? int64_t(l) / r : int64_t(l) % r;
  return int32_t(uint32_t(q));
}

// One element of `out` := the operation on an element and a number.
void apply_at(uint8_t* out, const uint8_t* in, uint8_t type, uint32_t width, double scalar_f,
              int32_t scalar_i, int op) {
  if (is_float_type(type))
    return put_float(out, float_::math_op(get_float(in, width), scalar_f, op), width);
  put_integer(out, integer_op(get_integer(in, width), scalar_i, op), width);
}

void with_vector(Cell* result, const Cell* a, const Cell* b, int op) {
  if (element_type(a) != element_type(b)) fire(err::script::NOT_SAME_TYPE);
  int32_t n = std::min(length_from_head(a), length_from_head(b));
  Cell made;
  make_at(&made, n, element_type(a), width_of(a));
  grow(&made, n);
  for (int32_t i = 0; i < n; i++) {
    const uint8_t* y = element_at(b, head(b) + i);
    double yf = is_float_type(element_type(b)) ? get_float(y, width_of(b)) : 0;
    int32_t yi = is_float_type(element_type(b)) ? 0 : get_integer(y, width_of(b));
    apply_at(element_at(&made, i), element_at(a, head(a) + i), element_type(a), width_of(a), yf,
             yi, op);
  }
  *result = made;
}

// In place: float vectors skip the operations that cannot change an element.
void with_scalar(const Cell* v, const Cell* scalar, int op) {
  uint8_t t = scalar->type();
  if (t != T_INTEGER && !is_float_type(t)) fire(err::internal::NOT_DONE);
  double f = t == T_INTEGER ? double(cell::get_int(scalar)) : cell::get_double(scalar);
  int32_t i = t == T_INTEGER ? cell::get_int(scalar) : int32_t(f);
  if (is_float_type(element_type(v))) {
    bool neutral = ((op == OP_ADD || op == OP_SUBTRACT) && f == 0.0) ||
                   ((op == OP_MULTIPLY || op == OP_DIVIDE) && f == 1.0);
    if (neutral) return;
  }
  for (int32_t k = head(v); k < int32_t(elements(v)->length()); k++)
    apply_at(element_at(v, k), element_at(v, k), element_type(v), width_of(v), f, i, op);
}

void do_math(int op) {
  Cell a = *stack::arg(0), b = *stack::arg(1);
  if (b.is(T_VECTOR)) return with_vector(stack::arguments, &a, &b, op);
  with_scalar(&a, &b, op);
  *stack::arguments = a;
}

template <int Op>
void math_action() { do_math(Op); }

// --- inserting and changing ----------------------------------------------------------------

bool spreads(const Cell* value, bool change) {
  uint8_t t = value->type();
  if (t == T_BLOCK || t == T_PAREN || t == T_HASH) return true;
  return change && (t == T_PATH || t == T_VECTOR);
}

// The values an insertion writes, as cells: each value of a block, or the value.
std::vector<Cell> values_of(const Cell* value, bool change, int32_t part) {
  std::vector<Cell> out;
  if (!spreads(value, change)) {
    out.push_back(*value);
    return out;
  }
  int32_t n = actions::length_q_typed(value);
  if (part >= 0) n = std::min(n, part);
  for (int32_t i = 1; i <= n; i++) {
    Cell from = *value, index = values::integer(i);
    out.push_back(*actions::pick_typed(&from, i, &index));
  }
  return out;
}

// Writes the values `dup` times at element index `at`, opening a gap first when
// inserting; answers the index past the last written.
int32_t write_values(Cell* vector, int32_t at, const std::vector<Cell>& cells, int32_t dup,
                     bool open) {
  for (const Cell& c : cells) check_element(vector, &c);
  int32_t count = int32_t(cells.size()) * std::max(dup, 0);
  int32_t length = int32_t(elements(vector)->length());
  if (open) open_gap(vector, at, count);
  else if (at + count > length) grow(vector, at + count - length);
  for (int32_t k = 0; k < count; k++)
    convert_value(element_at(vector, at + k), &cells[size_t(k) % cells.size()], width_of(vector));
  return at + count;
}

Cell* insert(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append) {
  Cell v = *series;
  std::vector<Cell> cells = values_of(value, false, only ? -1 : part);
  if (only && spreads(value, false)) cells = {*value};
  int32_t length = int32_t(elements(&v)->length());
  int32_t at = append ? length : std::min(head(&v), length);
  int32_t past = write_values(&v, at, cells, dup, true);
  if (!append) series_cell::set_head(&v, past);
  *series = v;
  return series;
}

// /part names the elements replaced: they go, and the values take their place.
void remove_elements(Cell* vector, int32_t at, int32_t count) {
  SeriesBuffer* b = elements(vector);
  uint8_t* from = element_at(vector, at);
  size_t bytes = size_t(count) * b->unit();
  std::memmove(from, from + bytes, size_t(b->tail_ptr() - (from + bytes)));
  b->tail -= uint32_t(bytes);
}

Cell* change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
  Cell v = *series;
  std::vector<Cell> cells = values_of(value, true, -1);
  if (only && spreads(value, true)) cells = {*value};
  int32_t length = int32_t(elements(&v)->length());
  int32_t at = std::min(head(&v), length);
  if (part >= 0) remove_elements(&v, at, std::min(part, length - at));
  int32_t past = write_values(&v, at, cells, dup, part >= 0);
  series_cell::set_head(&v, past);
  *series = v;
  return series;
}

}  // namespace

Cell* make_at(Cell* out, int64_t capacity, uint8_t type, uint32_t width) {
  if (capacity < 1) capacity = 1;
  if (capacity * width > INT32_MAX) fire(err::internal::NO_MEMORY);
  NodeRef node = memory::alloc_series(capacity, width, 0);
  *out = Cell{T_VECTOR, 0, node, type};
  return out;
}

Cell get_value(const uint8_t* at, uint32_t width, uint8_t type) {
  Cell out;
  switch (type) {
    case T_CHAR: return Cell{T_CHAR, 0, uint32_t(get_integer(at, width)), 0};
    case T_INTEGER: return values::integer(get_integer(at, width));
    default: float_::make_at(&out, get_float(at, width), type); return out;
  }
}

double number_at(const uint8_t* at, uint32_t width, uint8_t type) {
  return is_float_type(type) ? get_float(at, width) : double(get_integer(at, width));
}

void convert_value(uint8_t* at, const Cell* value, uint32_t width) {
  switch (value->type()) {
    case T_CHAR: return put_integer(at, int32_t(value->w2), width);
    case T_INTEGER: return put_integer(at, cell::get_int(value), width);
    case T_FLOAT: case T_PERCENT: return put_float(at, cell::get_double(value), width);
    default: {
      Cell type = values::of_datatype(value->type());
      fire(err::script::INVALID_TYPE, &type);
    }
  }
}

void math_with_vector_right(int op) {
  Cell number = *stack::arg(0), v = *stack::arg(1);
  with_scalar(&v, &number, op);
  *stack::arguments = v;
}

void set_value(Cell* vector, const Cell* value) {
  Cell v = *value;
  check_element(vector, &v);
  convert_value(grow(vector, 1), &v, width_of(vector));
}

void init() {
  constexpr int UNSUPPORTED[] = {A_TO,     A_ABSOLUTE, A_NEGATE, A_POWER,  A_ROUND,  A_EVEN_Q,
                                 A_ODD_Q,  A_COMPLEMENT, A_PUT, A_SWAP,   A_TRIM,   A_CREATE,
                                 A_CLOSE,  A_DELETE,   A_OPEN,   A_OPEN_Q, A_QUERY,  A_READ,
                                 A_RENAME, A_UPDATE,   A_WRITE};
  datatype::ActionRow row = datatype::make_row(
      INHERIT, {slot_entry<A_MAKE>(make), slot_entry<A_FORM>(form), slot_entry<A_MOLD>(mold),
                slot_entry<A_COMPARE>(compare), slot_entry<A_ADD>(math_action<OP_ADD>),
                slot_entry<A_SUBTRACT>(math_action<OP_SUBTRACT>),
                slot_entry<A_MULTIPLY>(math_action<OP_MULTIPLY>),
                slot_entry<A_DIVIDE>(math_action<OP_DIVIDE>),
                slot_entry<A_REMAINDER>(math_action<OP_REMAINDER>),
                slot_entry<A_AND_T>(math_action<OP_AND>), slot_entry<A_OR_T>(math_action<OP_OR>),
                slot_entry<A_XOR_T>(math_action<OP_XOR>), slot_entry<A_APPEND>(insert),
                slot_entry<A_INSERT>(insert), slot_entry<A_CHANGE>(change)});
  for (int slot : UNSUPPORTED) row.slots[slot - 1] = nullptr;
  datatype::register_type(T_VECTOR, T_STRING, "vector!", row);
}

}  // namespace zol::vector
