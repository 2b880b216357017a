// tuple!: make and to, byte-wise saturating arithmetic, comparison, paths, pick,
// reverse, complement, random draws and the dotted text (see tuple.h).
#include "runtime/datatypes/tuple.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/core/action_types.h"
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
#include "runtime/memory/memory.h"

namespace zol::tuple {
namespace {

constexpr uint32_t COUNT_SHIFT = 19;
constexpr uint32_t COUNT_MASK = 0xFu << COUNT_SHIFT;

struct Bytes {
  uint8_t b[MAX_COUNT] = {};
};

Bytes bytes_of(const Cell* c) {
  Bytes out;
  std::memcpy(out.b, &c->w1, MAX_COUNT);
  return out;
}

void store(Cell* c, const Bytes& bytes, int n) {
  n = std::max(n, MIN_COUNT);
  Bytes clean;
  std::memcpy(clean.b, bytes.b, size_t(n));
  std::memcpy(&c->w1, clean.b, MAX_COUNT);
  c->header = (c->header & ~(COUNT_MASK | HEADER_TYPE_MASK)) | uint32_t(n) << COUNT_SHIFT | T_TUPLE;
}

uint8_t clamp_byte(int64_t v) { return uint8_t(std::clamp<int64_t>(v, 0, 255)); }

[[noreturn]] void bad_to_arg(const Cell* spec) {
  Cell type = values::of_datatype(T_TUPLE);
  fire(err::script::BAD_TO_ARG, &type, spec);
}

[[noreturn]] void invalid_type(uint8_t type) {
  Cell t = values::of_datatype(type);
  fire(err::script::INVALID_TYPE, &t);
}

// --- make and to ----------------------------------------------------------------------

int element_of_value(const Cell* v, const Cell* spec) {
  int64_t n;
  switch (v->type()) {
    case T_INTEGER: case T_CHAR: n = cell::get_int(v); break;
    case T_FLOAT: {
      double d = std::trunc(cell::get_double(v));
      if (!(d >= 0 && d <= 255)) bad_to_arg(spec);
      n = int64_t(d);
      break;
    }
    default: bad_to_arg(spec);
  }
  if (n < 0 || n > 255) bad_to_arg(spec);
  return int(n);
}

Cell* from_block(Cell* proto, Cell* spec) {
  Cell blk = *spec;
  int32_t length = block::length(&blk);
  if (length > MAX_COUNT) bad_to_arg(spec);
  Bytes bytes;
  for (int32_t i = 0; i < length; i++)
    bytes.b[i] = uint8_t(element_of_value(block::clip_head_cell(&blk) + i, spec));
  return make_at(proto, bytes.b, length);
}

Cell* from_binary(Cell* proto, Cell* spec) {
  Cell bin = *spec;
  int32_t length = std::min(string::clip_length(&bin), int32_t(MAX_COUNT));
  return make_at(proto, string::clip_head_bytes(&bin), length);
}

int hex_digit(uint32_t c) {
  c %= 128;
  if (c >= '0' && c <= '9') return int(c - '0');
  if (c >= 'A' && c <= 'F') return int(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
  return -1;
}

// #F80 doubles each digit; #FF8000 and #FF800080 take two digits an element.
Cell* from_issue(Cell* proto, Cell* spec) {
  uint32_t sym = word_cell::symbol(spec);
  const char* name = symbol::get_c_string(sym);
  size_t length = symbol::name_length(sym);
  if (length != 3 && length != 6 && length != 8) fire(err::script::INVALID_DATA, spec);
  int digits[8];
  for (size_t i = 0; i < length; i++)
    if ((digits[i] = hex_digit(uint8_t(name[i]))) < 0) fire(err::script::INVALID_DATA, spec);
  Bytes bytes;
  int n = length == 3 ? 3 : int(length / 2);
  for (int i = 0; i < n; i++)
    bytes.b[i] = length == 3 ? uint8_t(digits[i] * 17) : uint8_t(digits[2 * i] * 16 + digits[2 * i + 1]);
  return make_at(proto, bytes.b, n);
}

Cell* from_text(Cell* proto, Cell* spec) {
  if (!float_::load_string) fire(err::internal::FEATURE_NA);
  Cell loaded;
  const Cell* value = float_::load_string(spec, &loaded);
  if (!value->is(T_TUPLE)) bad_to_arg(spec);
  *proto = *value;
  return proto;
}

Cell* make(Cell* proto, Cell* spec, int) {
  switch (spec->type()) {
    case T_BLOCK: case T_PAREN: case T_HASH: return from_block(proto, spec);
    case T_BINARY: return from_binary(proto, spec);
    case T_ISSUE: return from_issue(proto, spec);
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF:
      return from_text(proto, spec);
    case T_TUPLE: return spec;
    default: bad_to_arg(spec);
  }
}

// --- text ----------------------------------------------------------------------------

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  char text[MAX_COUNT * 4];
  int length = 0;
  Bytes bytes = bytes_of(value);
  for (int i = 0; i < count(value); i++) {
    if (i) text[length++] = '.';
    length += integer::form_signed(bytes.b[i], text + length);
  }
  string::concatenate_literal_part(buffer, text, uint32_t(length));
  return limit - length;
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form(value, buffer, how.part, limit);
}

// --- comparison ------------------------------------------------------------------------

// Missing elements count as 0, so 1.2.3 equals 1.2.3.0; the op plays no part.
int compare(const Cell* a, const Cell* b, int) {
  if (!b->is(T_TUPLE)) return COMPARE_NOT_COMPARABLE;
  Bytes x = bytes_of(a), y = bytes_of(b);
  for (int i = 0; i < MAX_COUNT; i++)
    if (x.b[i] != y.b[i]) return x.b[i] < y.b[i] ? -1 : 1;
  return 0;
}

// --- arithmetic ------------------------------------------------------------------------

// A float result truncated toward zero and held in 0..255 (NaN counts as 0).
uint8_t saturated(double d) {
  if (std::isnan(d)) return 0;
  return d >= 255 ? 255 : d <= 0 ? 0 : uint8_t(d);
}

void float_math(Cell* left, double f, int op) {
  Bytes bytes = bytes_of(left);
  for (int i = 0; i < count(left); i++)
    bytes.b[i] = saturated(std::trunc(float_::math_op(bytes.b[i], f, op)));
  store(left, bytes, count(left));
}

uint8_t integer_step(int32_t a, int32_t b, int op) {
  Cell overflow = values::unset;
  int32_t r = integer::do_math_op(a, b, op, op == OP_DIVIDE ? nullptr : &overflow);
  if (!overflow.is(T_UNSET)) return cell::get_double(&overflow) > 0 ? 255 : 0;
  return clamp_byte(r);
}

void integer_math(Cell* left, const Cell* right, int op) {
  Bytes x = bytes_of(left);
  bool broadcast = right->is(T_INTEGER);
  Bytes y = broadcast ? Bytes{} : bytes_of(right);
  int n = std::max(count(left), broadcast ? 0 : count(right));
  for (int i = 0; i < n; i++)
    x.b[i] = integer_step(x.b[i], broadcast ? cell::get_int(right) : y.b[i], op);
  store(left, x, n);
}

// --- paths and pick --------------------------------------------------------------------

int checked_index(const Cell* tuple, int32_t index, const Cell* index_cell) {
  if (index < 1 || index > count(tuple)) fire(err::script::OUT_OF_RANGE, index_cell);
  return index - 1;
}

Cell* pick(Cell* tuple, int32_t index, Cell* index_cell) {
  int i = checked_index(tuple, index, index_cell);
  return integer::push(element(tuple, i));
}

// An integer is clamped into a byte; none! cuts the tuple before the index.
void set_field(Cell* tuple, int32_t index, const Cell* element_cell, const Cell* value) {
  int i = checked_index(tuple, index, element_cell);
  Bytes bytes = bytes_of(tuple);
  if (value->is(T_NONE)) {
    std::fill(bytes.b + i, bytes.b + MAX_COUNT, uint8_t(0));
    store(tuple, bytes, i);
    return;
  }
  bytes.b[i] = clamp_byte(cell::get_int(value));
  store(tuple, bytes, count(tuple));
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell*) {
  if (!element->is(T_INTEGER)) invalid_type(element->type());
  if (!value) return pick(parent, cell::get_int(element), element);
  if (!value->is(T_INTEGER) && !value->is(T_NONE)) invalid_type(value->type());
  set_field(parent, cell::get_int(element), element, value);
  return value;
}

int32_t length_q(const Cell* tuple) { return count(tuple); }

Cell* complement(Cell* value) {
  Bytes bytes = bytes_of(value);
  for (int i = 0; i < count(value); i++) bytes.b[i] = uint8_t(255 - bytes.b[i]);
  store(value, bytes, count(value));
  return value;
}

Cell* random(Cell* value, bool seed, bool secure, bool) {
  if (seed) {
    random::seed(value->w1 ^ value->w2 ^ value->w3);
    return cell::copy(&values::unset, value);
  }
  Bytes bytes = bytes_of(value);
  for (int i = 0; i < count(value); i++)
    bytes.b[i] = uint8_t(random::integer(secure, bytes.b[i] + 1) - 1);
  store(value, bytes, count(value));
  return value;
}

// --- reverse -------------------------------------------------------------------------

[[noreturn]] void invalid_refine_arg(uint32_t word_symbol, const Cell* arg) {
  Cell refinement = word::make_global(word_symbol);
  fire(err::script::INVALID_REFINE_ARG, &refinement, arg);
}

int32_t part_length(const Cell* tuple, const Cell* part) {
  if (!part) return count(tuple);
  if (!part->is(T_INTEGER)) invalid_refine_arg(words::part, part);
  if (cell::get_int(part) < 0) fire(err::script::OUT_OF_RANGE, part);
  return std::min(cell::get_int(part), int32_t(count(tuple)));
}

int32_t record_size(const Cell* skip, int32_t length) {
  if (!skip) return 1;
  if (!skip->is(T_INTEGER)) invalid_refine_arg(words::skip, skip);
  int32_t size = cell::get_int(skip);
  if (size == length) return size;
  if (size <= 0) fire(err::script::OUT_OF_RANGE, skip);
  if (size > length || length % size != 0) invalid_refine_arg(words::skip, skip);
  return size;
}

// Records of `size` bytes change places from both ends, each kept in its order.
Cell* reverse(Cell* tuple, const Cell* part, const Cell* skip) {
  int32_t length = part_length(tuple, part);
  int32_t size = record_size(skip, length);
  if (size == length && skip) return tuple;
  Bytes bytes = bytes_of(tuple);
  for (int32_t front = 0, back = length - size; front < back; front += size, back -= size)
    std::swap_ranges(bytes.b + front, bytes.b + front + size, bytes.b + back);
  store(tuple, bytes, count(tuple));
  return tuple;
}

template <int Op>
void math_action() { do_math(Op); }

}  // namespace

int count(const Cell* c) { return int((c->header & COUNT_MASK) >> COUNT_SHIFT); }

uint8_t element(const Cell* c, int index) {
  return index >= 0 && index < MAX_COUNT ? bytes_of(c).b[index] : 0;
}

Cell* make_at(Cell* c, const uint8_t* bytes, int n) {
  Bytes b;
  std::memcpy(b.b, bytes, size_t(std::min(n, MAX_COUNT)));
  c->header = 0;
  store(c, b, n);
  return c;
}

Cell* push(const uint8_t* bytes, int n) {
  Cell c;
  make_at(&c, bytes, n);
  return stack::push(&c);
}

bool zero_q(const Cell* c) { return c->w1 == 0 && c->w2 == 0 && c->w3 == 0; }

void do_math(int op) {
  Cell* left = stack::arg(0);
  Cell* right = stack::arg(1);
  if (!left->is(T_TUPLE)) {
    if (op == OP_SUBTRACT || op == OP_DIVIDE) {
      Cell action = word::make_global(op == OP_SUBTRACT ? words::subtract : words::divide);
      Cell type = values::of_datatype(left->type());
      fire(err::script::NOT_RELATED, &action, &type);
    }
    std::swap(*left, *right);
  }
  switch (right->type()) {
    case T_TUPLE: case T_INTEGER: integer_math(left, right, op); return;
    case T_FLOAT: case T_PERCENT: float_math(left, cell::get_double(right), op); return;
    default: invalid_type(right->type());
  }
}

void init() {
  datatype::register_type(
      T_TUPLE, 0, "tuple!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_RANDOM>(random),
                                   slot_entry<A_TO>(make),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_EVAL_PATH>(eval_path),
                                   slot_entry<A_COMPARE>(compare),
                                   slot_entry<A_ADD>(math_action<OP_ADD>),
                                   slot_entry<A_DIVIDE>(math_action<OP_DIVIDE>),
                                   slot_entry<A_MULTIPLY>(math_action<OP_MULTIPLY>),
                                   slot_entry<A_REMAINDER>(math_action<OP_REMAINDER>),
                                   slot_entry<A_SUBTRACT>(math_action<OP_SUBTRACT>),
                                   slot_entry<A_AND_T>(math_action<OP_AND>),
                                   slot_entry<A_COMPLEMENT>(complement),
                                   slot_entry<A_OR_T>(math_action<OP_OR>),
                                   slot_entry<A_XOR_T>(math_action<OP_XOR>),
                                   slot_entry<A_LENGTH_Q>(length_q),
                                   slot_entry<A_PICK>(pick),
                                   slot_entry<A_REVERSE>(reverse)}));
}

}  // namespace zol::tuple
