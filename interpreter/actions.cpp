// Action lookup and typed forms (see actions.h).
#include "interpreter/actions.h"

#include <climits>

#include "runtime/datatypes/string.h"
#include "runtime/error.h"
#include "runtime/system.h"
#include "runtime/values.h"

namespace zol::actions {

ActionFn get_action_ptr_from(uint8_t type, int slot, const Cell* value) {
  (void)value;
  ActionFn fn = datatype::action(type, slot);
  if (!fn) {
    Cell type_cell = values::of_datatype(type);
    fire(err::SCRIPT, err::script::EXPECT_ARG, nullptr, &type_cell, nullptr);
  }
  return fn;
}

ActionFn get_action_ptr_of(const Cell* value, int slot) {
  return get_action_ptr_from(value->type(), slot, value);
}

namespace {
uint8_t target_type(const Cell* proto) {
  return proto->is(T_DATATYPE) ? static_cast<uint8_t>(proto->w1) : proto->type();
}
}  // namespace

Cell* make_typed(Cell* proto, Cell* spec) {
  uint8_t t = target_type(proto);
  return action_as<MakeFn>(get_action_ptr_from(t, A_MAKE, proto))(proto, spec, t);
}

Cell* to_typed(Cell* proto, Cell* spec) {
  uint8_t t = target_type(proto);
  return action_as<MakeFn>(get_action_ptr_from(t, A_TO, proto))(proto, spec, t);
}

int form_typed(const Cell* value, Cell* buffer, const Cell* part_arg, int limit) {
  return action_as<FormFn>(get_action_ptr_of(value, A_FORM))(value, buffer, part_arg, limit);
}

int mold_typed(const Cell* value, Cell* buffer, bool only, bool all, bool flat,
               const Cell* part_arg, int limit, int indent) {
  return action_as<MoldFn>(get_action_ptr_of(value, A_MOLD))(value, buffer, only, all, flat,
                                                              part_arg, limit, indent);
}

int compare_typed(const Cell* a, const Cell* b, int op) {
  return action_as<CompareFn>(get_action_ptr_of(a, A_COMPARE))(a, b, op);
}

bool compare(const Cell* a, const Cell* b, int op) {
  int r = compare_typed(a, b, op);
  switch (op) {
    case C_EQUAL: case C_STRICT_EQUAL: case C_SAME: case C_WORD_CASE: case C_WORD: case C_FIND:
      return r == 0;
    case C_NOT_EQUAL: return r != 0;
    case C_LESSER: case C_LESSER_EQUAL: case C_GREATER: case C_GREATER_EQUAL:
      if (r == COMPARE_NOT_COMPARABLE) fire(err::SCRIPT, err::script::INVALID_COMPARE, a, b);
      if (op == C_LESSER) return r < 0;
      if (op == C_LESSER_EQUAL) return r <= 0;
      if (op == C_GREATER) return r > 0;
      return r >= 0;
    default:
      system::runtime_error(system::FATAL_NO_SWITCH, reinterpret_cast<uintptr_t>(&compare));
  }
}

Cell form_to_string(const Cell* value) {
  Cell out;
  string::make_at(&out, 16);
  form_typed(value, &out, nullptr, INT_MAX);
  return out;
}

Cell mold_to_string(const Cell* value, bool all) {
  Cell out;
  string::make_at(&out, 16);
  mold_typed(value, &out, false, all, false, nullptr, INT_MAX, 0);
  return out;
}

}  // namespace zol::actions
