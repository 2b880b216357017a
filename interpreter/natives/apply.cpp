// The apply native: calls a function with its arguments taken from a block rather
// than from the code that follows, through the interpreter's own gathering (so
// types are checked and refinements found as for any call).
#include "interpreter/eval.h"
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/native.h"

namespace zol::natives {
namespace {

// The callable a word or a path's first word names; the word names the call's
// frame. Anything but a function there raises invalid-arg with the word.
Cell callable_named(const Cell* word, Cell* name) {
  if (!word->is(T_WORD)) fire(err::script::INVALID_ARG, word);
  *name = *word;
  Cell value = *interpreter::word_value(word);
  if (!interpreter::is_callable(value.type()) && !value.is(T_OP)) fire(err::script::INVALID_ARG, word);
  return value;
}

}  // namespace

void apply(int, int all, int safer) {
  Cell func = *stack::arg(0);
  Cell name = interpreter::anon_word();
  interpreter::PathRefinements path{stack::arg(0), 1};
  bool by_path = func.is(T_PATH);
  if (by_path) {
    SeriesBuffer* b = block::buffer(&func);
    if (b->length() == 0) fire(err::script::INVALID_ARG, &func);
    Cell first = b->cells()[series_cell::head(&func)];
    path.next = series_cell::head(&func) + 1;
    func = callable_named(&first, &name);
  } else if (func.is(T_WORD)) {
    func = callable_named(stack::arg(0), &name);
  }
  if (func.is(T_OP)) func = native::op_source(&func);
  int gathering = interpreter::GATHER_BLOCK | (all >= 0 ? interpreter::GATHER_IN_ORDER : 0) |
                  (safer >= 0 ? interpreter::GATHER_SINGLE : 0);
  const Cell* args = stack::arg(1);
  interpreter::Code code = interpreter::code_of(args);
  Cell* result = stack::top;
  interpreter::eval_code(func, code, series_cell::head(args), &name, by_path ? &path : nullptr,
                         false, gathering);
  if (exits::pending) return;
  *stack::arg(0) = *result;
  stack::top = result;
}

}  // namespace zol::natives
