// The fast paths of compiled code (see actions.h): arithmetic, comparison, value/N
// and series navigation done inline for the commonest operand types.
//
// Every other operand pair goes the generic way, on a native frame named by the
// calling word (so that errors and traces name it): the operands are pushed, the
// stack-level entry runs, the frame closes and leaves the result on top of the
// stack. Each form then takes that result where it wants it. Both ways give the
// same values; only the cost differs.
#include <initializer_list>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/base/system.h"
#include "runtime/core/values.h"

namespace zol::actions {
namespace {

// The action each math code runs when it is not done inline; 0 for the codes
// (divide, remainder) that have no fast path.
constexpr int MATH_SLOTS[] = {A_ADD, A_SUBTRACT, A_MULTIPLY, 0, 0, A_OR_T, A_AND_T, A_XOR_T};

// The action each navigation selector runs on anything but a block!.
constexpr int NAVIGATION_SLOTS[] = {0,      A_LENGTH_Q, A_INDEX_Q, A_HEAD_Q, A_TAIL_Q,
                                    A_NEXT, A_BACK,     A_HEAD,    A_TAIL};

// Compiled code only ever passes the codes above: anything else is a fault in it.
[[noreturn]] void unknown_code() {
  system::runtime_error(system::FATAL_NO_SWITCH, reinterpret_cast<uintptr_t>(&unknown_code));
}

template <size_t N>
int slot_of(const int (&slots)[N], int code) {
  int slot = code >= 0 && code < int(N) ? slots[code] : 0;
  if (!slot) unknown_code();
  return slot;
}

MinimalFn entry_of(int slot) { return action_as<MinimalFn>(generic[slot - 1]); }

// Runs a stack-level entry on a native frame named by `word` that holds the
// operands; the closed frame leaves its result as the new top cell, answered here.
template <class Entry>
Cell* run_named(const Cell* word, std::initializer_list<Cell> operands, Entry entry) {
  stack::mark_native(word);
  for (const Cell& operand : operands) stack::push(&operand);
  entry();
  stack::unwind();
  return stack::top - 1;
}

// The same, for the forms that want the result somewhere else: it is taken off
// the stack again.
template <class Entry>
Cell run_named_off_stack(const Cell* word, std::initializer_list<Cell> operands, Entry entry) {
  Cell result = *run_named(word, operands, entry);
  stack::pop(1);
  return result;
}

// left op right: inline for two integer! (a sum, difference or product beyond 32
// bits becomes the exact float!) and for add, subtract and multiply on two float!.
Cell math_result(int op, const Cell* word, const Cell* left, const Cell* right) {
  int slot = slot_of(MATH_SLOTS, op);
  Cell result = values::integer(0);
  if (left->is(T_INTEGER) && right->is(T_INTEGER)) {
    integer::do_math_op(cell::get_int(left), cell::get_int(right), op, &result);
    return result;
  }
  if (left->is(T_FLOAT) && right->is(T_FLOAT) && op <= OP_MULTIPLY) {
    float_::make_at(&result, float_::math_op(float_::get(left), float_::get(right), op));
    return result;
  }
  return run_named_off_stack(word, {*left, *right}, entry_of(slot));
}

// The truth of left op right: inline for two integer!.
bool comparison_truth(int op, const Cell* word, const Cell* left, const Cell* right) {
  if (op < C_EQUAL || op > C_GREATER_EQUAL) unknown_code();
  if (left->is(T_INTEGER) && right->is(T_INTEGER)) {
    int32_t a = cell::get_int(left), b = cell::get_int(right);
    return order_truth((a > b) - (a < b), op, left, right);
  }
  Cell result = run_named_off_stack(word, {*left, *right}, [op] { compare_op(op); });
  return logic::get(&result);
}

int differs(bool truth, int expected) { return truth != (expected != 0) ? 1 : 0; }

bool set_in_frame(bool truth) {
  *stack::arguments = values::logic(truth);
  return truth;
}

Cell* replace_top(const Cell& result) { return cell::copy(&result, stack::top - 1); }

// A navigation step on a block!, from its head h and the r cells from there to
// the tail.
Cell navigate_block(const Cell* blk, int selector) {
  int32_t h = series_cell::head(blk);
  int32_t r = series::buffer_length(blk) - h;
  int32_t moved_head;
  switch (selector) {
    case NAV_LENGTH_Q: return values::integer(r < 0 ? 0 : r);
    case NAV_INDEX_Q: return values::integer(h + 1);
    case NAV_HEAD_Q: return values::logic(h == 0);
    case NAV_TAIL_Q: return values::logic(r < 1);
    case NAV_NEXT: moved_head = r >= 1 ? h + 1 : h; break;
    case NAV_BACK: moved_head = h > 0 ? h - 1 : 0; break;
    case NAV_HEAD: moved_head = 0; break;
    default: moved_head = h + r; break;
  }
  Cell moved = *blk;
  series_cell::set_head(&moved, moved_head);
  return moved;
}

}  // namespace

// --- math -----------------------------------------------------------------------------------

Cell* math_fast(int op, const Cell* word, const Cell* left, const Cell* right) {
  Cell result = math_result(op, word, left, right);
  return stack::push(&result);
}

Cell* math_fast_int(int op, const Cell* word, const Cell* left, int32_t right) {
  Cell constant = values::integer(right);
  return math_fast(op, word, left, &constant);
}

Cell* math_fast_top(int op, const Cell* word, const Cell* right) {
  return replace_top(math_result(op, word, stack::top - 1, right));
}

Cell* math_fast_top_int(int op, const Cell* word, int32_t right) {
  Cell constant = values::integer(right);
  return math_fast_top(op, word, &constant);
}

// --- comparison -----------------------------------------------------------------------------

Cell* compare_fast(int op, const Cell* word, const Cell* left, const Cell* right) {
  Cell result = values::logic(comparison_truth(op, word, left, right));
  return stack::push(&result);
}

Cell* compare_fast_int(int op, const Cell* word, const Cell* left, int32_t right) {
  Cell constant = values::integer(right);
  return compare_fast(op, word, left, &constant);
}

int compare_fast_test(int op, const Cell* word, const Cell* left, const Cell* right,
                      int expected) {
  return differs(comparison_truth(op, word, left, right), expected);
}

int compare_fast_int_test(int op, const Cell* word, const Cell* left, int32_t right,
                          int expected) {
  Cell constant = values::integer(right);
  return compare_fast_test(op, word, left, &constant, expected);
}

bool compare_fast_set(int op, const Cell* word, const Cell* left, const Cell* right) {
  return set_in_frame(comparison_truth(op, word, left, right));
}

bool compare_fast_int_set(int op, const Cell* word, const Cell* left, int32_t right) {
  Cell constant = values::integer(right);
  return compare_fast_set(op, word, left, &constant);
}

Cell* compare_fast_top(int op, const Cell* word, const Cell* right) {
  return replace_top(values::logic(comparison_truth(op, word, stack::top - 1, right)));
}

Cell* compare_fast_top_int(int op, const Cell* word, int32_t right) {
  Cell constant = values::integer(right);
  return compare_fast_top(op, word, &constant);
}

// --- selection and navigation ---------------------------------------------------------------

Cell* pick_fast(const Cell* value, int32_t n, const Cell* word) {
  if (!value->is(T_BLOCK)) {
    return run_named(word, {*value, values::integer(n)}, [] { eval_path(0); });
  }
  int32_t index = series::element_position(value, n);
  return stack::push(index >= 0 ? block::buffer(value)->cells() + index : &values::none);
}

Cell* navigate_series_fast(const Cell* value, int selector, const Cell* word) {
  int slot = slot_of(NAVIGATION_SLOTS, selector);
  if (!value->is(T_BLOCK)) return run_named(word, {*value}, entry_of(slot));
  Cell result = navigate_block(value, selector);
  return stack::push(&result);
}

}  // namespace zol::actions
