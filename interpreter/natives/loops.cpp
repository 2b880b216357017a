// The loops: while, until, loop, repeat, forever, foreach, forall and remove-each.
//
// Each opens a loop frame above its arguments; break and continue unwind to it.
// The body is evaluated in that frame, so its last value (or the value given to
// break/return) is the frame's result, which the loop hands to its own frame when
// it closes. An exit the loop does not take has already closed the loop frame, and
// the loop returns at once.
#include "runtime/core/actions.h"
#include "interpreter/eval.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/series/series.h"

namespace zol::natives {
namespace {

using stack::arg;

enum class Step { DONE, CONTINUED, BROKE, LEFT };

using interpreter::LoopBlock;

// Evaluates a block once in the loop frame and tells how it ended. The step is the
// guard's answer rather than a variable its handlers write: such a variable lives
// in memory for the handlers' sake, and a loop's every step would store it.
template <bool TEST = false>
[[gnu::always_inline]] inline Step run_once(LoopBlock& body) {
  Step step = exits::guard(
      exits::BREAK,
      [&] {
        if constexpr (TEST) body.test(); else body.run();
        return Step::DONE;
      },
      [](uint32_t code) {
        if (code == exits::BREAK) return Step::BROKE;
        if (code == exits::CONTINUE) return Step::CONTINUED;
        exits::pending = code;
        return Step::LEFT;
      });
  return exits::pending ? Step::LEFT : step;
}

void open_loop() {
  stack::mark_loop(nullptr);
  stack::set_result(&values::unset);
}

// Runs body in a loop frame for as long as `more()` allows, then hands the frame's
// result to the loop's own frame. An exit the loop does not take returns at once.
template <class More>
void run_loop(const Cell& block, More more) {
  open_loop();
  LoopBlock body(block);
  while (more()) {
    Step step = run_once(body);
    if (step == Step::LEFT) return;
    if (step == Step::BROKE) break;
  }
  stack::unwind_keep();
}

// A float! count is truncated toward zero in place; answers the count.
int32_t count_of(Cell* count) {
  if (count->is(T_FLOAT)) *count = values::integer(int32_t(cell::get_double(count)));
  return cell::get_int(count);
}

// The units of a series' buffer (a block's counted without a division).
int32_t length_of(const Cell& series, const SeriesBuffer* b) {
  if (block::is_any_block(series.type())) return int32_t(b->cell_count());
  return int32_t(b->length());
}

// The value at a position of a series (none past its tail). Walking a series only
// reads it, through const access, so that a block that is also code keeps its
// prepared form.
Cell value_at(const Cell& series, int32_t index) {
  if (!series_cell::node(&series)) return values::none;   // an image without pixels
  const SeriesBuffer* b = series::buffer(&series);
  if (index < 0 || index >= length_of(series, b)) return values::none;
  if (block::is_any_block(series.type())) return b->cells()[index];
  return series::element_at(&series, b->head() + size_t(index) * b->unit());
}

bool at_tail(const Cell& series) {
  if (!series_cell::node(&series)) return true;
  return series_cell::head(&series) >= length_of(series, series::buffer(&series));
}

// The words a foreach or remove-each sets: a word, or a block of words (n > 0).
struct LoopWords {
  Cell words;
  int32_t count;

  explicit LoopWords(const Cell& w) : words(w), count(1) {
    if (!w.is(T_BLOCK)) return;
    count = block::length(&words);
    if (count < 1) fire(err::script::INVALID_ARG, &words);
  }

  // The j-th word, read again at each step: the body may change the block.
  const Cell* word(int32_t j) const {
    if (!words.is(T_BLOCK)) return &words;
    const SeriesBuffer* b = series::buffer(&words);
    return b->cells() + series_cell::head(&words) + j;
  }

  // Sets the words to the values at the series position and advances it by n;
  // false at the tail.
  bool step(Cell* series) const {
    if (series->is(T_MAP)) return map::foreach_step(series, &words, count);
    if (count == 1 && block::is_any_block(series->type())) return step_block(series);
    if (at_tail(*series)) return false;
    int32_t at = series_cell::head(series);
    for (int32_t j = 0; j < count; j++) {
      Cell value = value_at(*series, at + j);
      Cell w = *word(j);   // set may cache the word's binding in it: a copy
      if (!block::is_any_word(w.type())) fire(err::script::INVALID_ARG, &w);
      context::set(&w, &value);
    }
    series_cell::set_head(series, at + count);
    return true;
  }

  // The same for one word over a block (the common foreach): one reading of the
  // buffer serves the tail test and the value.
  bool step_block(Cell* series) const {
    NodeRef node = series_cell::node(series);
    if (!node) return false;
    const SeriesBuffer* b = memory::buffer_of(node);
    int32_t at = series_cell::head(series);
    if (at >= int32_t(b->cell_count())) return false;
    Cell value = at < 0 ? values::none : b->cells()[at];
    Cell w = *word(0);   // set may cache the word's binding in it: a copy
    if (!block::is_any_word(w.type())) fire(err::script::INVALID_ARG, &w);
    context::set(&w, &value);
    series_cell::set_head(series, at + 1);
    return true;
  }
};

}  // namespace

void while_(int) {
  Cell condition_block = *arg(0);
  Cell body_block = *arg(1);
  open_loop();
  LoopBlock condition(condition_block);
  LoopBlock body(body_block);
  for (;;) {
    Step tested = run_once<true>(condition);
    if (tested == Step::LEFT) return;
    if (tested != Step::DONE) fire(err::throw_::WHILE_COND);
    if (!logic::condition_true(stack::arguments)) break;
    Step step = run_once(body);
    if (step == Step::LEFT) return;
    if (step == Step::BROKE) break;
  }
  stack::unwind();
  stack::set_last(&values::unset);
}

void until(int) {
  Cell block = *arg(0);
  open_loop();
  LoopBlock body(block);
  for (;;) {
    Step step = run_once(body);
    if (step == Step::LEFT) return;
    if (step == Step::BROKE) break;
    if (step == Step::DONE && logic::condition_true(stack::arguments)) break;
  }
  stack::unwind_keep();
}

void loop(int) {
  int32_t n = count_of(arg(0));
  Cell body = *arg(1);
  if (n <= 0) return (void)stack::set_last(&values::none);
  int32_t i = 0;
  run_loop(body, [&] { return i++ < n; });
}

void repeat(int) {
  Cell word = *arg(0);
  int32_t n = count_of(arg(1));
  Cell body = *arg(2);
  if (n <= 0) return (void)stack::set_last(&values::none);
  int32_t i = 0;
  run_loop(body, [&] {
    if (i >= n) return false;
    Cell counter = values::integer(++i);
    context::set(&word, &counter);
    return true;
  });
}

void forever(int) {
  Cell body = *arg(0);
  run_loop(body, [] { return true; });
}

void foreach(int) {
  LoopWords words(*arg(0));
  Cell series = *arg(1);
  Cell body = *arg(2);
  run_loop(body, [&] { return words.step(&series); });
}

void forall(int) {
  Cell word = *arg(0);
  Cell block = *arg(1);
  Cell start = *interpreter::word_value(&word);
  if (start.is(T_UNSET)) fire(err::script::NO_VALUE, &word);
  if (!series::is_series(start.type())) {
    Cell name = context::add_global(words::forall);
    Cell type = values::of_datatype(start.type());
    Cell arg_word = context::add_global(words::word_);
    fire(err::script::EXPECT_ARG, &name, &type, &arg_word);
  }
  open_loop();
  LoopBlock body(block);
  while (!at_tail(*interpreter::word_value(&word))) {
    Step step = run_once(body);
    if (step == Step::LEFT) return;
    if (step == Step::BROKE) return stack::unwind_keep();
    Cell now = *interpreter::word_value(&word);
    if (!series::is_series(now.type()) || series_cell::node(&now) != series_cell::node(&start))
      fire(err::script::BAD_LOOP_SERIES, &now);
    series_cell::set_head(&now, series_cell::head(&now) + 1);
    context::set(&word, &now);
  }
  context::set(&word, &start);
  stack::unwind_keep();
}

void remove_each(int) {
  LoopWords words(*arg(0));
  Cell series = *arg(1);
  Cell block = *arg(2);
  Cell position = series;
  open_loop();
  LoopBlock body(block);
  while (words.step(&position)) {
    Step step = run_once(body);
    if (step == Step::LEFT) return;
    if (step == Step::BROKE) break;
    if (step != Step::DONE || !logic::true_value(stack::arguments)) continue;
    series_cell::set_head(&position, series_cell::head(&position) - words.count);
    Cell at = position;
    Cell part = values::integer(words.count);
    actions::remove_typed(&at, words.count == 1 ? nullptr : &part, nullptr);
  }
  stack::unwind();
  stack::set_last(&series);
}

}  // namespace zol::natives
