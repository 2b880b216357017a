// Evaluation tracing (see trace.h): delivering events to the tracer function.
#include "interpreter/trace.h"

#include "interpreter/eval.h"
#include "interpreter/interpreter.h"
#include "runtime/core/stack.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/function.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/root.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/object.h"
#include "runtime/memory/memory.h"

namespace zol::trace {

uint32_t tracing = 0;
uint32_t saved_tracing = 0;
uint32_t requested = 0;
uint32_t event_mask = 0;
int32_t tracer_locals = 0;

namespace {

// The tracer lives in a cell of the root block (so that the collector keeps it);
// its index, since the root block may grow.
int32_t tracer_index = -1;

const uint32_t* const EVENT_WORDS[] = {
    &words::init_, &words::end,  &words::prolog, &words::epilog, &words::enter,  &words::exit,
    &words::open,  &words::return_, &words::fetch, &words::push, &words::set,    &words::call,
    &words::error_, &words::throw_, &words::catch_, &words::expr};

Cell event_word(uint32_t event) {
  int bit = __builtin_ctz(event);
  return context::add_global(*EVENT_WORDS[bit]);
}

// The position as an offset from the block's head, -1 outside the block.
int32_t offset_in(const Cell* block, int32_t position) {
  if (!block || position < 0) return -1;
  int32_t offset = position - series_cell::head(block);
  int32_t length = int32_t(memory::buffer_of(block->w2)->length()) - series_cell::head(block);
  return offset < 0 || offset > length ? -1 : offset;
}

}  // namespace

void init() {
  Cell* c = memory::alloc_tail_cell(runtime::root_block);
  *c = values::none;
  tracer_index = int32_t(memory::buffer_of(runtime::root_block)->length()) - 1;
  tracing = saved_tracing = event_mask = 0;
  tracer_locals = 0;
}

Cell* tracer() { return memory::buffer_of(runtime::root_block)->cells() + tracer_index; }

// Events the runtime raises itself reach the tracer from anywhere; the steps of
// the walk do not when they happen in the library's own source.
constexpr uint32_t RUNTIME_EVENTS = INIT | END | ERROR | THROW | CATCH;

bool in_library(const Cell* block) {
  return block && block::is_any_block(block->type()) &&
         (series::buffer(block)->flags & FLAG_LIBRARY) != 0;
}

void fire(uint32_t event, const Cell* block, int32_t position, const Cell* value,
          const Cell* reference) {
  if (!(event_mask & event)) return;
  if (!(event & RUNTIME_EVENTS) && in_library(block)) return;
  Cell* saved_arguments = stack::arguments;
  Cell* saved_top = stack::top;
  stack::Frame* saved_frame_top = stack::frame_top;
  Cell depths{T_PAIR, 0, uint32_t(saved_arguments - stack::bottom),
              uint32_t(saved_top - stack::bottom)};
  Cell args[6] = {event_word(event), block && block->type() ? *block : values::none,
                  values::integer(offset_in(block, position)),
                  value && value->type() ? *value : values::none, values::none, depths};
  if (reference && (event & (SET | EPILOG | PROLOG | RETURN | CALL))) args[4] = *reference;
  Cell fn = *tracer();
  stack::grow_top();
  Cell name = context::add_global(words::interp_callback);
  stack::mark_func(&name, fn.w1);
  for (const Cell& a : args) stack::push(&a);
  for (int32_t i = 0; i < tracer_locals; i++) stack::push(&values::none);
  // The tracer's own calls must not pick up what the traced code asked for.
  uint32_t asked = requested;
  requested = 0;
  tracing = 0;
  interpreter::run_function(&fn, 0, &name, 0);
  requested = asked;
  if (exits::pending) return;
  tracing = 1;
  stack::unwind_last();
  stack::top = saved_top;
  stack::frame_top = saved_frame_top;
}

uint32_t mask_of(const Cell* fn) {
  Cell body = *function::more(fn, function::MORE_BODY);
  if (!body.is(T_BLOCK) || block::length(&body) < 1) return ALL_EVENTS;
  Cell words = *block::cell_at(&body, series_cell::head(&body));
  if (!words.is(T_BLOCK)) return ALL_EVENTS;
  uint32_t mask = 0;
  for (int32_t i = series_cell::head(&words); i < int32_t(block::buffer(&words)->length()); i++) {
    Cell w = block::buffer(&words)->cells()[i];
    if (!w.is(T_WORD)) continue;
    for (uint32_t bit = 0; bit < std::size(EVENT_WORDS); bit++)
      if (symbol::resolve(word_cell::symbol(&w)) == symbol::resolve(*EVENT_WORDS[bit]))
        mask |= 1u << bit;
  }
  return mask;
}

TracedRun::TracedRun(const Cell* fn)
    : tracing_(tracing), saved_tracing_(saved_tracing), event_mask_(event_mask),
      requested_(requested), tracer_locals_(tracer_locals), tracer_(*tracer()) {
  requested = 0;
  Cell spec{T_BLOCK, 0, fn->w2, 0};
  int32_t locals = function::count_locals(&spec, 0, false);
  tracer_locals = locals > 0 ? locals : 0;
  event_mask = mask_of(fn);
  *tracer() = *fn;
  tracing = saved_tracing = 1;
  fire(INIT, nullptr, -1, nullptr, nullptr);
}

void TracedRun::end() {
  if (!exits::pending) event(END, nullptr, -1, nullptr);
}

TracedRun::~TracedRun() {
  tracing = tracing_;
  saved_tracing = saved_tracing_;
  requested = requested_;
  event_mask = event_mask_;
  tracer_locals = tracer_locals_;
  *tracer() = tracer_;
}

void error_raised(Cell* error) {
  if (!tracing) return;
  // The tracer gets the error as a value; settled, it no longer depends on the
  // in-flight record that errors raised inside the tracer would overwrite.
  error::settle(error);
  uint32_t pending = exits::pending;
  exits::pending = 0;
  fire(ERROR, nullptr, -1, error, nullptr);
  exits::settle();   // an exit the tracer started travels instead of the error
  exits::pending = pending;
}

uint32_t callback_tracing(int kind) {
  const Cell* system = context::global_value(words::system_);
  if (!system || !system->is(T_OBJECT)) return 0;
  const Cell* state = object::value_of(system, words::state);
  if (!state || !state->is(T_OBJECT)) return 0;
  const Cell* callbacks = object::value_of(state, words::callbacks);
  if (!callbacks || !callbacks->is(T_OBJECT)) return 0;
  const Cell* bits = object::value_of(callbacks, words::bits);
  bool kept = bits && bits->is(T_INTEGER) && (cell::get_int(bits) & kind) != 0;
  return kept ? tracing : 0;
}

}  // namespace zol::trace
