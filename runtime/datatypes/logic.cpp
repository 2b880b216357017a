// logic!: true and false (word 1 holds 1 or 0), and the truth test of conditionals.
#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/random.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/string/string.h"

namespace zol::logic {
namespace {

Cell* logic_constant(bool v) {
  return const_cast<Cell*>(v ? &values::true_value : &values::false_value);
}

Cell* to(Cell*, Cell* spec, int) {
  if (spec->is(T_LOGIC)) return spec;
  return logic_constant(!spec->is(T_NONE));
}

Cell* make(Cell* proto, Cell* spec, int type) {
  switch (spec->type()) {
    case T_INTEGER: return logic_constant(cell::get_int(spec) != 0);
    case T_FLOAT: case T_PERCENT: return logic_constant(!(cell::get_double(spec) == 0.0));
    default: return to(proto, spec, type);
  }
}

Cell* random(Cell* value, bool seed, bool secure, bool) {
  if (seed) {
    random::seed(value->w1 ? 1u : 0u);
    return cell::copy(&values::unset, value);
  }
  uint32_t draw = secure ? random::secure_next() : random::next();
  return cell::copy(logic_constant(draw > 0x3FFFFFFF), value);
}

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  string::concatenate_literal(buffer, value->w1 ? "true" : "false");
  return limit - (value->w1 ? 4 : 5);
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  if (!how.all) return form(value, buffer, nullptr, limit);
  string::concatenate_literal(buffer, value->w1 ? "#(true)" : "#(false)");
  return limit - (value->w1 ? 7 : 8);
}

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_LOGIC)) return COMPARE_NOT_COMPARABLE;
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL: case C_STRICT_EQUAL: case C_SORT: case C_CASE_SORT:
    case C_SAME: case C_FIND:
      return static_cast<int>(a->w1) - static_cast<int>(b->w1);
    default:
      return COMPARE_NOT_COMPARABLE;
  }
}

Cell* complement(Cell* value) {
  value->w1 = value->w1 ? 0 : 1;
  return value;
}

// and~ / or~ / xor~ read both operands from the frame and leave the result in the
// first argument cell.
template <uint32_t (*Op)(uint32_t, uint32_t)>
void bitwise() {
  Cell* a = stack::arg(0);
  Cell* b = stack::arg(1);
  if (!b->is(T_LOGIC)) actions::fire_expect_arg(b->type(), 1);
  a->w1 = Op(a->w1, b->w1) & 1u;
}
uint32_t op_and(uint32_t a, uint32_t b) { return a & b; }
uint32_t op_or(uint32_t a, uint32_t b) { return a | b; }
uint32_t op_xor(uint32_t a, uint32_t b) { return a ^ b; }

}  // namespace

void init() {
  datatype::register_type(
      T_LOGIC, 0, "logic!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_RANDOM>(random),
                                   slot_entry<A_TO>(to),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_COMPARE>(compare),
                                   slot_entry<A_COMPLEMENT>(complement),
                                   slot_entry<A_AND_T>(bitwise<op_and>),
                                   slot_entry<A_OR_T>(bitwise<op_or>),
                                   slot_entry<A_XOR_T>(bitwise<op_xor>)}));
}

void make_in(NodeRef block, bool value) { *memory::alloc_tail_cell(block) = values::logic(value); }

Cell* push(bool value) {
  Cell c = values::logic(value);
  return stack::push(&c);
}

Cell* box(bool value) {
  Cell c = values::logic(value);
  return stack::set_last(&c);
}

bool true_value(const Cell* value, bool unset_check, const Cell* name) {
  switch (value->type()) {
    case T_NONE: return false;
    case T_LOGIC: return value->w1 != 0;
    case T_UNSET:
      if (unset_check) fire(err::script::NO_VALUE, name);
      return true;
    default: return true;
  }
}

bool is_true() { return true_value(stack::arg(0)); }

void no_return() { fire(err::script::NO_RETURN); }

bool arg_true() { return condition_true(stack::arg(0)); }

bool is_false() { return !true_value(stack::top_value()); }

}  // namespace zol::logic
