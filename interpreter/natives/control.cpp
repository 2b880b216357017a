// The conditionals (if, unless, either, any, all, switch, case) and the comparison
// natives. Each reads its arguments in the current frame and leaves its result in
// the frame's first cell; a block it runs is evaluated in that frame.
#include "runtime/core/actions.h"
#include "interpreter/eval.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/natives.h"
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"

namespace zol::natives {
namespace {

using interpreter::Code;

using stack::arg;
void result_none() { stack::set_last(&values::none); }

int32_t head_of(const Cell& blk) { return series_cell::head(&blk) < 0 ? 0 : series_cell::head(&blk); }

// Evaluates the expression at pos into the frame's first cell.
int32_t next_value(const Code& code, int32_t pos) {
  stack::top = stack::arguments;
  return interpreter::expression(code, pos, false);
}

// any and all: the first value whose truth is `stop_on` ends the walk.
void first_with_truth(bool stop_on) {
  Cell blk = *arg(0);
  Code code = interpreter::code_of(&blk);
  int32_t pos = head_of(blk);
  if (pos >= code.length()) return result_none();
  while (pos < code.length()) {
    pos = next_value(code, pos);
    if (exits::pending) return;
    if (logic::true_value(arg(0)) == stop_on) {
      if (!stop_on) result_none();
      return;
    }
  }
  if (stop_on) result_none();
}

// A case of switch matches a value of its own type that compares equal; a block!
// value (a case body) never matches.
bool case_matches(const Cell& value, const Cell& candidate) {
  if (value.is(T_BLOCK) || value.type() != candidate.type()) return false;
  return block::compare_cells(&value, &candidate, C_EQUAL) == 0;
}

}  // namespace

void if_(int) {
  Cell then_block = *arg(1);
  if (logic::true_value(arg(0))) interpreter::run_block(&then_block);
  else result_none();
}

void unless(int) {
  Cell block = *arg(1);
  if (logic::true_value(arg(0))) result_none();
  else interpreter::run_block(&block);
}

void either(int) {
  Cell chosen = logic::condition_true(arg(0)) ? *arg(1) : *arg(2);
  interpreter::run_block(&chosen);
}

void any(int) { first_with_truth(true); }
void all(int) { first_with_truth(false); }

void switch_(int, int default_) {
  Cell value = *arg(0);
  Cell cases = *arg(1);
  Cell fallback = default_ >= 0 ? *arg(default_) : values::none;
  int32_t n = int32_t(block::buffer(&cases)->length());
  for (int32_t i = head_of(cases); i < n; i++) {
    Cell candidate = block::buffer(&cases)->cells()[i];
    if (!case_matches(value, candidate)) continue;
    for (int32_t j = i + 1; j < n; j++) {
      Cell body = block::buffer(&cases)->cells()[j];
      if (body.is(T_BLOCK)) return interpreter::run_block(&body);
    }
    return result_none();
  }
  if (fallback.is(T_BLOCK)) interpreter::run_block(&fallback);
  else result_none();
}

void case_(int, int all) {
  Cell blk = *arg(0);
  Code code = interpreter::code_of(&blk);
  int32_t pos = head_of(blk);
  bool matched = false;
  Cell last = values::none;
  while (pos < code.length()) {
    pos = next_value(code, pos);
    if (exits::pending) return;
    if (pos >= code.length()) {
      Cell name = context::add_global(words::case_);
      fire(err::script::NEED_VALUE, &name);
    }
    matched = logic::arg_true();
    if (!matched) {
      pos++;
      continue;
    }
    Cell chosen = *code.at(pos);
    if (chosen.is(T_BLOCK)) {
      interpreter::run_block(&chosen);
      pos++;
    } else {
      pos = next_value(code, pos);
    }
    if (exits::pending || all < 0) return;
    last = *arg(0);
  }
  stack::set_last(matched ? &last : &values::none);
}

void equal_q(int) { actions::compare_op(C_EQUAL); }
void not_equal_q(int) { actions::compare_op(C_NOT_EQUAL); }
void strict_equal_q(int) { actions::compare_op(C_STRICT_EQUAL); }
void lesser_q(int) { actions::compare_op(C_LESSER); }
void greater_q(int) { actions::compare_op(C_GREATER); }
void lesser_or_equal_q(int) { actions::compare_op(C_LESSER_EQUAL); }
void greater_or_equal_q(int) { actions::compare_op(C_GREATER_EQUAL); }
void same_q(int) { actions::compare_op(C_SAME); }
void not_(int) { logic::box(!logic::true_value(arg(0))); }

}  // namespace zol::natives
