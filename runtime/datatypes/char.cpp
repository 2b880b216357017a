// char!: make and to, arithmetic inside the Unicode range, comparison, and the
// form and mold texts (see char.h).
#include "runtime/datatypes/char.h"

#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/text/mold.h"
#include "runtime/core/number.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/vector.h"

namespace zol::char_ {
namespace {

bool in_range(int32_t n) { return n >= 0 && uint32_t(n) <= MAX_CODE_POINT; }

[[noreturn]] void bad_to_arg(const Cell* spec) {
  Cell type = values::of_datatype(T_CHAR);
  fire(err::script::BAD_TO_ARG, &type, spec);
}

// The UTF-8 sequence at the binary's head; an empty binary or one that ends inside
// the sequence is refused.
uint32_t from_binary(Cell* binary) {
  uint32_t available = static_cast<uint32_t>(string::clip_length(binary));
  if (available == 0) bad_to_arg(binary);
  int32_t cp = unicode::decode_utf8_char_checked(string::clip_head_bytes(binary), &available);
  if (cp < 0) bad_to_arg(binary);
  return static_cast<uint32_t>(cp);
}

// The code point a spec stands for: a text's first character, a number in range.
uint32_t code_point_of(Cell* spec) {
  switch (spec->type()) {
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF: {
      if (string::at_tail(spec)) bad_to_arg(spec);
      SeriesBuffer* b = memory::buffer_of(series_cell::node(spec));
      return string::get_char(string::clip_head_bytes(spec), b->unit());
    }
    case T_CHAR: case T_INTEGER: case T_FLOAT: case T_PERCENT: {
      int32_t n = number::get_int_from(spec);
      if (!in_range(n)) fire(err::script::OUT_OF_RANGE, spec);
      return static_cast<uint32_t>(n);
    }
    case T_BINARY: return from_binary(spec);
    default: bad_to_arg(spec);
  }
}

Cell* make(Cell* proto, Cell* spec, int) {
  *proto = value(code_point_of(spec));
  return proto;
}

// Equal to a char! or integer! of the same code point; strict equality and the
// search equality want a char!.
int compare(const Cell* a, const Cell* b, int op) {
  if ((op == C_STRICT_EQUAL || op == C_FIND) && !b->is(T_CHAR)) return 1;
  if (!b->is(T_CHAR) && !b->is(T_INTEGER)) return COMPARE_NOT_COMPARABLE;
  int32_t x = cell::get_int(a), y = cell::get_int(b);
  return (x > y) - (x < y);
}

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  string::append_char(memory::buffer_of(series_cell::node(buffer)), value->w2);
  return limit - 1;
}

// #"a", with the caret escapes of molded text: #"^/", #"^-", #"^(1E)".
int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  string::concatenate_literal(buffer, "#\"");
  mold::append_escaped_char(buffer, value->w2, mold::ESCAPE_MOLD, how.all);
  string::concatenate_literal(buffer, "\"");
  return limit - 4;
}

template <int Op>
void math_action() { do_math(Op); }

}  // namespace

Cell* push(uint32_t cp) {
  Cell c = value(cp);
  return stack::push(&c);
}

void make_in(NodeRef block, uint32_t cp) { *memory::alloc_tail_cell(block) = value(cp); }

void do_math(int op) {
  Cell* left = stack::arg(0);
  const Cell* right = stack::arg(1);
  if (right->is(T_VECTOR)) return vector::math_with_vector_right(op);
  if (!right->is(T_CHAR) && !right->is(T_INTEGER) && !right->is(T_FLOAT)) {
    Cell type = values::of_datatype(right->type());
    fire(err::script::INVALID_TYPE, &type);
  }
  // The core reports a result outside the integers by writing a float! into the
  // scratch cell; a quotient is wanted truncated, so divide goes without one.
  Cell scratch = values::unset;
  int32_t result = integer::do_math_op(cell::get_int(left), number::get_int_from(right), op,
                                       op == OP_DIVIDE ? nullptr : &scratch);
  if (!scratch.is(T_UNSET) || !in_range(result)) fire(err::math::OVERFLOW);
  left->w2 = static_cast<uint32_t>(result);
}

void init() {
  datatype::register_type(
      T_CHAR, T_INTEGER, "char!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   {A_RANDOM, INHERIT},
                                   slot_entry<A_TO>(make),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_COMPARE>(compare),
                                   {A_ABSOLUTE, INHERIT},
                                   slot_entry<A_ADD>(math_action<OP_ADD>),
                                   slot_entry<A_DIVIDE>(math_action<OP_DIVIDE>),
                                   slot_entry<A_MULTIPLY>(math_action<OP_MULTIPLY>),
                                   slot_entry<A_REMAINDER>(math_action<OP_REMAINDER>),
                                   slot_entry<A_SUBTRACT>(math_action<OP_SUBTRACT>),
                                   {A_EVEN_Q, INHERIT},
                                   {A_ODD_Q, INHERIT},
                                   slot_entry<A_AND_T>(math_action<OP_AND>),
                                   slot_entry<A_OR_T>(math_action<OP_OR>),
                                   slot_entry<A_XOR_T>(math_action<OP_XOR>)}));
}

}  // namespace zol::char_
