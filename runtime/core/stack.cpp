// The value stack, the frame stack and the exits that unwind them (see stack.h).
#include "runtime/core/stack.h"

#include <cstdlib>
#include <string>

#include "runtime/core/actions.h"
#include "runtime/collector/collector.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/memory/memory.h"
#include "runtime/text/mold.h"
#include "runtime/core/root.h"
#include "runtime/base/system.h"
#include "runtime/core/values.h"

namespace zol::stack {

Cell* bottom = nullptr;
Cell* end = nullptr;
Cell* top = nullptr;
Cell* arguments = nullptr;
Frame* frame_base = nullptr;
Frame* frame_end = nullptr;
Frame* frame_top = nullptr;
NodeRef value_stack_node = 0;
NodeRef frame_stack_node = 0;
uint32_t body_symbol = 0;
uint32_t anon_symbol = 0;
uint32_t not_found_symbol = 0;
uint32_t self_symbol = 0;

namespace {

// Set by a throw to the record of the frame it started from; read and cleared by
// the location search.
Frame* throw_origin = nullptr;

// Where the walks start: below the throw's origin while it is set and still open.
Frame* walk_start() {
  return throw_origin && throw_origin <= frame_top ? throw_origin : frame_top;
}

constexpr uint32_t CONTEXT_VALUES_ON_STACK = 0x400000u;
constexpr int ERROR_ROOM = 5;

Cell* saved_arguments(const Frame* f) { return cell_of(f->saved_arguments); }

// A context's record: cell 0 of its series; word 2 is its values word.
Cell* context_record(NodeRef context) { return memory::buffer_of(context)->cells(); }

void restore_context(const Frame* f) {
  if (f->function_context) context_record(f->function_context)->w2 = f->saved_values;
}

void restore_function(const Frame* f) {
  if (frame_type(f) == FT_FUNCTION) restore_context(f);
}

Frame* pop_record() { return --frame_top; }

void make_room_for_error() { top = top - bottom > ERROR_ROOM ? top - ERROR_ROOM : bottom; }


// Frames that are not calls of a named function (and frames opened without a
// word) never name a location.
bool skipped_by_walks(uint32_t symbol) {
  return symbol == 0 || symbol == body_symbol || symbol == anon_symbol;
}

Cell word_of_frame(const Frame* f) {
  return Cell{T_WORD, f->word_context, frame_symbol(f), 0xFFFFFFFFu};
}

void init_value_stack() {
  value_stack_node = memory::alloc_fixed_cells(VALUE_STACK_CELLS);
  SeriesBuffer* b = memory::buffer_of(value_stack_node);
  bottom = reinterpret_cast<Cell*>(b->data());
  end = bottom + b->size / sizeof(Cell);
  top = arguments = bottom;
  cell::set(bottom, T_UNSET);
}

void init_frame_stack() {
  frame_stack_node = memory::alloc_fixed_cells(FRAME_STACK_CELLS);
  SeriesBuffer* b = memory::buffer_of(frame_stack_node);
  frame_base = frame_top = reinterpret_cast<Frame*>(b->data());
  frame_end = frame_base + b->size / sizeof(Frame);
}

}  // namespace

void overflow() {
  make_room_for_error();
  cycles::reset();
  fire(err::internal::STACK_OVERFLOW);
}

void init() {
  init_value_stack();
  init_frame_stack();
  throw_origin = nullptr;
  collector::keep(mark_roots);
}

bool ready() { return bottom != nullptr; }

// --- opening frames ------------------------------------------------------------------

Cell* mark_func(const Cell* word, NodeRef function_context) {
  Cell* args = mark(word, H_FUNCTION);
  Frame* f = frame_top - 1;
  f->function_context = function_context;
  f->saved_values = function_context ? context_record(function_context)->w2 : 0;
  return args;
}

Cell* mark_func_ctx(const Cell* word, NodeRef function_context) {
  context_record(function_context)->w2 = ref_of(arguments);
  return mark(word, H_FUNC_CTX);
}

void set_frame_top(Frame* record) { frame_top = record; }

void mark_interpreted() { (frame_top - 1)->header |= HEADER_INTERPRETED; }

MarkedBelow mark_return_below() {
  if (frame_top - frame_base < 2) return {nullptr, false};
  Frame* below = frame_top - 2;
  bool was_marked = (below->header & HEADER_RETURN_MARK) != 0;
  below->header |= HEADER_RETURN_MARK;
  return {below, was_marked};
}

void clear_return_mark(Frame* record) { record->header &= ~HEADER_RETURN_MARK; }

void set_frame_symbol(const Cell* word) {
  if (!word->is(T_WORD)) return;
  Frame* start = walk_start();
  if (start == frame_base) return;
  Frame* f = start - 1;
  f->header = (f->header & ~0x00FFFF00u) | (word_cell::symbol(word) & 0xFFFFu) << 8;
}

// --- working inside a frame ------------------------------------------------------------

Cell* push_unset() { return cell::set(grow_top(), T_UNSET); }

void pop(int n) { top = top - bottom > n ? top - n : bottom; }


Cell* reset() {
  top = arguments;
  return arguments;
}

Cell* keep() {
  top = arguments + 1;
  return arguments;
}

Cell* set_last(const Cell* value) { return cell::copy(value, arguments); }

Cell* set_result(const Cell* value) {
  top = arguments + 1;
  return cell::copy(value, arguments);
}

void keep_result() {
  if (top_value()->is(T_ERROR)) cell::copy(top_value(), arguments);
  top = arguments + 1;
}

void revert() {
  top--;
  cell::copy(top, top - 1);
}

Frame* current_frame() { return frame_top > frame_base ? frame_top - 1 : nullptr; }

bool interpreted(const Frame* from, bool only_one) {
  if (!from && frame_top == frame_base) return false;
  for (const Frame* f = from ? from : frame_top - 1;; f--) {
    if (f->header & HEADER_INTERPRETED) return true;
    if (only_one || f == frame_base) return false;
  }
}

// --- closing frames ------------------------------------------------------------------

void unwind_last() {
  restore_context(frame_top - 1);
  unwind();
}

void unwind_drop() {
  Frame* f = pop_record();
  restore_context(f);
  arguments = saved_arguments(f);
  top = arguments;
}

void unwind_all() {
  Frame* f = pop_record();
  restore_function(f);
  if (frame_top == frame_base) {
    arguments = top = bottom;
  } else {
    top = arguments;
    arguments = saved_arguments(f);
  }
}

void unwind_pop() {
  Frame* f = pop_record();
  restore_function(f);
  arguments = frame_top == frame_base ? bottom : saved_arguments(f);
  pop(1);
}

void unwind_keep() {
  Cell result = *arguments;
  unwind();
  cell::copy(&result, arguments);
}

void unwind_last_keep() {
  Cell result = *arguments;
  unwind_last();
  cell::copy(&result, arguments);
}

void unroll() {
  Frame* f = pop_record();
  arguments = saved_arguments(f);
  top = arguments;
}

// Pops frames down to the nearest one of `type` (or a try/all frame, where every
// unrolling stops). With `keep` that frame is closed too and the caller continues
// in its arguments; without, it stays open for its owner to close.
void unroll_to(uint32_t type, bool keep) {
  Frame* old = frame_top;
  bool popped = false;
  while (frame_top > frame_base) {
    Frame* f = pop_record();
    restore_function(f);
    popped = true;
    if (frame_type(f) == type || frame_type(f) == FT_TRY_ALL) break;
  }
  if (keep && popped) frame_top++;
  if (frame_top == old) {
    top = arguments + 1;
  } else if (frame_top == frame_base) {
    arguments = top = bottom;
  } else {
    top = arguments + 1;
    arguments = saved_arguments(frame_top);
  }
  if (!keep && popped) frame_top++;
}

void unroll_to_keep(uint32_t type) {
  Cell result = *arguments;
  Cell* old_arguments = arguments;
  Frame* old_top = frame_top;
  unroll_to(type, false);
  // The found frame's own arguments were saved by the record above it.
  Cell* slot = frame_top < old_top ? saved_arguments(frame_top) : old_arguments;
  cell::copy(&result, slot);
  arguments = top = slot;
}

// --- non-local exits -------------------------------------------------------------------

namespace {

// Prints an error nobody receives and ends the process with status -2.
[[noreturn]] void end_uncaught(const Cell& error) {
  set_last(&error);
  Cell report = error::report(&error);
  system::print_line({system::PrintItem::str(string::to_utf8(&report).c_str())});
  // Everything the runtime holds is given back before the process ends.
  runtime::cleanup();
  std::exit(-2);
}

struct SavedPointers {
  Cell* arguments;
  Cell* top;
  Frame* frame_top;
  void restore() const {
    stack::arguments = arguments;
    stack::top = top;
    stack::frame_top = frame_top;
  }
};

// The receiving frame of break, continue, return, exit or throw. Pops records from
// the current frame (from the one below it with `pop_current`) down to the first
// one that `receives`, restoring the function frames it leaves; then that frame is
// current again and the caller continues in its arguments with an empty frame.
// A try/all frame on the way, or no receiver at all, leaves the stacks as they
// were and raises the throw-category error `id`.
template <class Receives>
void pop_to_receiver(bool pop_current, Receives receives, err::throw_ id, const Cell* error_arg) {
  const SavedPointers saved{arguments, top, frame_top};
  if (pop_current && frame_top > frame_base) frame_top--;
  for (;;) {
    bool at_popped_record = frame_top < saved.frame_top;
    if ((at_popped_record && frame_type(frame_top) == FT_TRY_ALL) || frame_top <= frame_base) {
      saved.restore();
      fire(id, error_arg);
    }
    if (receives(pop_record())) break;
  }
  // Only now that the exit is sure to leave them are the function frames above the
  // receiver restored, innermost first.
  Frame* receiver = frame_top;
  for (Frame* f = saved.frame_top; f - 1 > receiver;) restore_function(--f);
  frame_top++;
  // The record above the receiver saved the receiver's own arguments; when the
  // receiver is the frame that was current, they are the current ones.
  arguments = frame_top < saved.frame_top ? saved_arguments(frame_top) : saved.arguments;
  top = arguments;
}

bool is_loop(const Frame* f) { return frame_type(f) == FT_LOOP; }
bool has_return_mark(const Frame* f) { return (f->header & HEADER_RETURN_MARK) != 0; }
bool is_catch(const Frame* f) { return frame_type(f) == FT_CATCH; }

}  // namespace

void throw_error(const Cell& error) {
  if (!ready()) exits::raise_with(exits::ERROR, error);
  bool received = false;
  if (frame_top > frame_base) {
    Cell where = find_function_frame();
    if (error.is(T_ERROR)) {
      error::set_where(&error, &where);
      error::capture_stack(&error);
    }
    Cell* raised_at = top;
    unroll_to(FT_TRY, false);
    uint32_t type = frame_type(pop_record());
    received = type == FT_TRY || type == FT_TRY_ALL;
    top = raised_at;
  }
  if (!received) end_uncaught(error);
  if (top + 1 >= end) make_room_for_error();
  push(&error);
  exits::raise_with(exits::ERROR, error);
}

void signal_break_or_continue(bool with_value, bool is_continue) {
  Cell value = with_value ? *arguments : values::unset;
  pop_to_receiver(true, is_loop, is_continue ? err::throw_::CONTINUE : err::throw_::BREAK,
                  nullptr);
  cell::copy(&value, arguments);
  exits::signal(is_continue ? exits::CONTINUE : exits::BREAK, value);
}

namespace {

// A return or exit whose receiver is further down than the frame under the
// current one: the frames between are walked and restored.
[[gnu::noinline]] void return_through_frames(const Cell& value, bool with_value, bool keep_current) {
  pop_to_receiver(!keep_current, has_return_mark, err::throw_::RETURN, nullptr);
  cell::copy(&value, arguments);
  exits::signal(with_value ? exits::RETURN : exits::EXIT, value);
}

}  // namespace

void signal_return_or_exit(bool with_value, bool keep_current) {
  Cell value = with_value ? *arguments : values::unset;
  if (keep_current || !received_below(frame_top - 1)) [[unlikely]] {
    return_through_frames(value, with_value, keep_current);
    return;
  }
  signal_to_frame_below(with_value ? exits::RETURN : exits::EXIT, value);
}

void signal_throw(uint32_t code) {
  Cell thrown = arguments[0];
  Cell name = arguments[1];
  // The throw starts from the frame that called the throw native (a throw passed
  // on keeps its first origin).
  if (!throw_origin) throw_origin = current_frame() ? current_frame() : frame_top;
  pop_to_receiver(true, is_catch, err::throw_::THROW, &thrown);
  throw_origin = nullptr;   // the throw has arrived: no later error starts from it
  push(&thrown);
  push(&name);
  exits::signal(code, thrown);
}

namespace {
[[noreturn]] void raise_pending() {
  uint32_t code = exits::pending;
  exits::pending = 0;
  exits::raise(code);
}
}  // namespace

void break_or_continue(bool with_value, bool is_continue) {
  signal_break_or_continue(with_value, is_continue);
  raise_pending();
}

void return_or_exit(bool with_value, bool keep_current) {
  signal_return_or_exit(with_value, keep_current);
  raise_pending();
}

void throw_value(uint32_t code) {
  signal_throw(code);
  raise_pending();
}

Cell find_function_frame() {
  Frame* f = walk_start();
  throw_origin = nullptr;
  while (f > frame_base) {
    --f;
    if (!skipped_by_walks(frame_symbol(f))) return word_of_frame(f);
  }
  if (!not_found_symbol) return values::none;
  return Cell{T_WORD, 0, not_found_symbol, 0xFFFFFFFFu};
}

// The value stack's cells are walked by the collector itself, which rewrites their
// node words when nodes move; frame records are not cells, so what they name is
// marked by value and stays in place.
void mark_roots() {
  for (const Frame* f = frame_base; f < frame_top; f++) {
    if (f->word_context) {
      if (self_symbol && frame_symbol(f) == self_symbol) collector::mark_block(f->word_context);
      else collector::mark_context(f->word_context);
    }
    if (!f->function_context) continue;
    collector::mark_context(f->function_context);
    bool on_stack = (context_record(f->function_context)->header & CONTEXT_VALUES_ON_STACK) != 0;
    if (f->saved_values && !on_stack) collector::mark_block(f->saved_values);
  }
}

namespace {

// Runs body under a frame of `type` (marked by `mark`) that receives the exit
// `code`: true when body finished, false when that exit ended it, with both stacks
// as they were before the call. Other exits pass through.
template <class Mark>
bool run_receiving(Mark mark, uint32_t code, bool pops_receiver, const std::function<void()>& body) {
  Cell* saved_arguments = arguments;
  Cell* saved_top = top;
  mark(nullptr);
  arguments = saved_arguments;
  return exits::guard(
      code,
      [&] {
        body();
        unroll();
        top = saved_top;
        return true;
      },
      [&](uint32_t received) {
        if (received != code) exits::raise(received);
        // An error closes its try frame on the way; a throw leaves its catch frame
        // for the receiver to close.
        if (!pops_receiver) unroll();
        arguments = saved_arguments;
        top = saved_top;
        return false;
      });
}

}  // namespace

bool try_run(const std::function<void()>& body) {
  return run_receiving([](const Cell* w) { mark_try(w); }, exits::ERROR, true, body);
}

bool catch_run(const std::function<void()>& body) {
  return run_receiving([](const Cell* w) { mark_catch(w); }, exits::THROW, false, body);
}

}  // namespace zol::stack
