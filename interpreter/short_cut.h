// The numeric short cut of infix operators and of the math and comparison
// natives and actions: what they compute on two numbers, done in place without
// the call, and the table that says which operation a callable does. Inline for
// the operator steps of the expression step and of the operands' gathering.
#pragma once
#include <cstdint>
#include <iterator>

#include "runtime/core/actions.h"
#include "runtime/core/cell.h"
#include "runtime/core/datatype.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/native.h"

namespace zol::interpreter {

// The operation a callable's short cut computes on numbers: a math op code, or a
// comparison code + COMPARE_BASE; NO_OPERATION when it has none. Six bits, so that
// an op! cell keeps its own (runtime/datatypes/native.h).
constexpr int COMPARE_BASE = 32;
constexpr int NO_OPERATION = int(native::NO_OPERATION);
static_assert(OP_DIFFERENCE < COMPARE_BASE && COMPARE_BASE + C_FIND < NO_OPERATION);

// Each native's and action's operation, by its callable type and its 0-based index
// (native! and action! cells name no index past 127): filled once at start-up,
// since which natives compare never changes. Looked up at every infix step with
// one load and no tests; the rows of the other types hold NO_OPERATION.
constexpr int OPERATION_TYPES = 32;
constexpr int OPERATION_INDEXES = 128;
static_assert(T_NATIVE < OPERATION_TYPES && T_ACTION < OPERATION_TYPES &&
              T_FUNCTION < OPERATION_TYPES && T_ROUTINE < OPERATION_TYPES &&
              native::TABLE_SIZE <= OPERATION_INDEXES && ACTION_SLOTS <= OPERATION_INDEXES);
extern uint8_t operations[OPERATION_TYPES][OPERATION_INDEXES];

inline int fast_operation(uint8_t kind, uint32_t index) {
  return operations[kind % OPERATION_TYPES][index % OPERATION_INDEXES];
}

// The six ordering comparisons of integers as masks: bit 1 + sign(a - b) is set
// when the comparison holds. 0 for the comparisons left to the general code.
constexpr uint8_t ORDER_MASKS[] = {
    /* C_EQUAL */ 0b010, /* C_NOT_EQUAL */ 0b101, /* C_STRICT_EQUAL */ 0,
    /* C_LESSER */ 0b001, /* C_LESSER_EQUAL */ 0b011, /* C_GREATER */ 0b100,
    /* C_GREATER_EQUAL */ 0b110};
static_assert(C_EQUAL == 0 && C_NOT_EQUAL == 1 && C_LESSER == 3 && C_LESSER_EQUAL == 4 &&
              C_GREATER == 5 && C_GREATER_EQUAL == 6);

// The commonest integer cases, computed in place: the sum, difference or product
// when it fits, and the comparisons. Answers false for the rest (overflow, the
// rarer comparisons), which the general code below handles. Tests and a mask
// rather than a switch: a jump table's one indirect branch mispredicts as an
// expression's operators alternate.
inline bool integer_short_cut(int operation, Cell* left, int32_t a, int32_t b) {
  if (operation >= COMPARE_BASE) {
    uint32_t code = uint32_t(operation - COMPARE_BASE);
    uint8_t mask = code < std::size(ORDER_MASKS) ? ORDER_MASKS[code] : 0;
    if (!mask) return false;
    int order = (a > b) - (a < b);
    *left = values::logic((mask >> (order + 1)) & 1);
    return true;
  }
  int32_t v;
  bool overflow;
  if (operation == OP_ADD) overflow = __builtin_add_overflow(a, b, &v);
  else if (operation == OP_SUBTRACT) overflow = __builtin_sub_overflow(a, b, &v);
  else if (operation == OP_MULTIPLY) overflow = __builtin_mul_overflow(a, b, &v);
  else return false;
  if (overflow) return false;
  left->w2 = uint32_t(v);
  return true;
}

// The operation on two numbers, into left, when it gives what the actions give:
// integers compare and do math (an overflow gives a float!), and adding,
// subtracting or multiplying with a float! is done in double precision. Answers
// whether it applied.
[[gnu::always_inline]] inline bool numeric_short_cut(int operation, Cell* left, const Cell* right) {
  if (operation == NO_OPERATION) return false;
  uint8_t lt = left->type(), rt = right->type();
  if (lt == T_INTEGER && rt == T_INTEGER) {
    int32_t a = cell::get_int(left), b = cell::get_int(right);
    if (integer_short_cut(operation, left, a, b)) return true;
    if (operation < COMPARE_BASE) {
      integer::do_math_op(a, b, operation, left);
    } else {
      int order = a < b ? -1 : a > b;
      *left = values::logic(actions::order_truth(order, operation - COMPARE_BASE, left, right));
    }
    return true;
  }
  if (operation >= COMPARE_BASE || (lt != T_FLOAT && lt != T_INTEGER) ||
      (rt != T_FLOAT && rt != T_INTEGER))
    return false;
  auto number = [](const Cell* c) {
    return c->is(T_FLOAT) ? cell::get_double(c) : double(cell::get_int(c));
  };
  float_::make_at(left, float_::math_op(number(left), number(right), operation));
  return true;
}

}  // namespace zol::interpreter
