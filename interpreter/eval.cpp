// Evaluation of blocks, expressions, infix operators, calls and paths (see
// interpreter.h and eval.h).
#include <array>
#include <climits>
#include <cstring>
#include <utility>

#include "runtime/core/actions.h"
#include "runtime/core/callback.h"
#include "interpreter/arguments.h"
#include "interpreter/eval.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/natives.h"
#include "interpreter/prepared.h"
#include "interpreter/short_cut.h"
#include "runtime/core/stack.h"
#include "interpreter/trace.h"
#include "platform/platform.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/native.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol::interpreter {
namespace {

// --- the native stack ----------------------------------------------------------------------

// Deep recursion raises stack-overflow while this much native stack is left, so that
// the error can still be built and reported.
#if defined(ZOL_SANITIZE)
constexpr uintptr_t NATIVE_STACK_MARGIN = uintptr_t(2) << 20;
#else
constexpr uintptr_t NATIVE_STACK_MARGIN = uintptr_t(256) << 10;
#endif

// Above every address until the thread's first check sets it: the one comparison
// of each check then also finds a limit not yet known.
thread_local uintptr_t native_stack_limit = UINTPTR_MAX;

[[gnu::noinline, gnu::cold]] void check_native_stack_slowly(uintptr_t here) {
  if (native_stack_limit == UINTPTR_MAX) {
    platform::StackBounds b = platform::current_stack_bounds();
    native_stack_limit = b.low + NATIVE_STACK_MARGIN;
  }
  if (here < native_stack_limit) stack::overflow();
}

// The address of a local rather than the frame address: where this is inlined
// (the evaluation step), asking for the frame address would make the step keep a
// frame pointer on every path, calls or not.
void check_native_stack() {
  char probe;
  auto here = reinterpret_cast<uintptr_t>(&probe);
  if (here < native_stack_limit) [[unlikely]] check_native_stack_slowly(here);
}

// --- values of words ------------------------------------------------------------------------

// The value slot of a bound word whose context has its values, else null. Only for
// reading: the values block is read as const, which keeps its link.
[[gnu::always_inline]] inline const Cell* bound_slot(const Cell* w) {
  NodeRef ctx = word_cell::context(w);
  int32_t index = word_cell::index(w);
  if (!ctx || index < 0) return nullptr;
  const Cell* rec = context::read_record(ctx);
  uint32_t values = rec->w2;
  if (!values) return nullptr;
  const Cell* base = (rec->header & context::STACK_VALUES)
                         ? stack::bottom + (values - 1)
                         : std::as_const(*memory::buffer_of(values)).cells();
  return base + index;
}

// --- infix operators ----------------------------------------------------------------------

}  // namespace

// The table of short_cut.h, filled once at start-up.
uint8_t operations[OPERATION_TYPES][OPERATION_INDEXES];

namespace {

void fill_operations() {
  std::memset(operations, NO_OPERATION, sizeof operations);
  for (int32_t i = 0; i < native::TABLE_SIZE; i++) {
    int code = natives::comparison_of(i + 1);
    if (code >= 0) operations[T_NATIVE][i] = uint8_t(COMPARE_BASE + code);
  }
  operations[T_ACTION][A_ADD - 1] = OP_ADD;
  operations[T_ACTION][A_SUBTRACT - 1] = OP_SUBTRACT;
  operations[T_ACTION][A_MULTIPLY - 1] = OP_MULTIPLY;
}

uint32_t operation_of(uint8_t kind, uint32_t index) { return fast_operation(kind, index); }

// A right operand that is a number in the code or a word holding one takes the
// short cut with no call at all. Answers whether it applied.
[[gnu::always_inline]] inline bool fast_infix(const Cell& op, const Cell* right) {
  if (right->is(T_WORD)) right = bound_slot(right);
  if (!right) return false;
  return numeric_short_cut(int(native::op_operation(&op)), stack::top - 1, right);
}

}  // namespace

bool short_cut(const Cell& callable, Cell* arguments) {
  if (trace::tracing) return false;
  return numeric_short_cut(fast_operation(callable.type(), callable.w1), arguments, arguments + 1);
}

namespace {

int32_t call_infix(const Cell& callable, const Code& code, int32_t pos, const Cell& word);

// The op! a cell of the code names, which applies to the value before it: the value
// of a word bound to an operator, else null.
inline const Cell* operator_named(const Cell* cell) {
  if (!cell->is(T_WORD)) return nullptr;
  const Cell* slot = bound_slot(cell);
  return slot && slot->is(T_OP) ? slot : nullptr;
}

// An operator call that takes no short cut (or any, traced): the operator at pos,
// whose value is in slot, is called with its left operand at start.
[[gnu::noinline]] int32_t infix_call(const Code& code, int32_t pos, Cell* start,
                                     const Cell* slot, const Cell* next) {
  Cell op = *slot;
  Cell name = *next;
  if (trace::tracing) [[unlikely]] {
    // The tracer runs code, which may move the block: no cell read before it is
    // used after it, and a traced run takes no short cut.
    trace::fire(trace::FETCH, &code.block, pos, &name, nullptr);
    stack::top = start + 1;
    return eval_code(native::op_source(&op), code, pos + 1, &name, nullptr, true);
  }
  stack::top = start + 1;
  return call_infix(native::op_source(&op), code, pos + 1, name);
}

// Applies the operators that follow a value (start is its stack cell) from left to
// right, *pos moving past the last one; answers the cell at *pos as the chain's
// last reading of the code found it, or null at the end (or when an exit is
// pending). That reading stays good for the caller as long as no code runs.
[[gnu::always_inline]] inline const Cell* infix_chain_at(const Code& code, int32_t* at,
                                                         Cell* start) {
  int32_t pos = *at;
  const SeriesBuffer* b = code.buffer();
  int32_t n = code.length_in(b);
  const Cell* next = nullptr;
  for (;;) {
    if (pos >= n) {
      next = nullptr;
      break;
    }
    next = b->cells() + pos;
    const Cell* slot = operator_named(next);
    if (!slot) break;
    if (!trace::tracing && pos + 1 < n) {
      stack::top = start + 1;
      if (fast_infix(*slot, next + 1)) {
        pos += 2;   // a short cut runs no code: the reading still holds
        continue;
      }
    }
    pos = infix_call(code, pos, start, slot, next);
    if (exits::pending) {
      next = nullptr;
      break;
    }
    b = code.buffer();   // the call ran code, which may have changed the block
    n = code.length_in(b);
  }
  *at = pos;
  return next;
}

// --- expressions ----------------------------------------------------------------------------

[[noreturn]] void no_value(const Cell* word) { fire(err::script::NO_VALUE, word); }

// A paren leaves its value where it started. Its expressions run on top of the
// current frame: a frame of its own would only be skipped by every walk. A traced
// run keeps that frame, so that the stack depths the tracer sees stay as they were.
void eval_paren(const Cell& paren) {
  if (trace::tracing) {
    Cell name = body_word();
    stack::mark(&name, stack::H_INTERP_NATIVE);
    run_block(&paren);
    if (exits::pending) return;
    stack::unwind();
    return;
  }
  args::run_paren_on_top(paren);
}

// What a word's value does in a step, by the value's type: a callable is called,
// unset and op! values are errors, anything else is pushed.
enum : uint8_t { PUSHED, CALLED, NO_VALUE, AN_OP };
constexpr auto WORD_VALUE_KIND = [] {
  std::array<uint8_t, 256> kinds{};
  for (int type = 0; type < 256; type++)
    kinds[type] = is_callable(uint8_t(type)) ? CALLED : PUSHED;
  kinds[T_UNSET] = NO_VALUE;
  kinds[T_OP] = AN_OP;
  return kinds;
}();

// The value types that a step does more with than push them (words, set-words and
// parens aside).
bool is_rare(uint8_t type) {
  switch (type) {
    case T_SET_PATH: case T_GET_WORD: case T_LIT_WORD: case T_PATH: case T_GET_PATH:
    case T_LIT_PATH: case T_OP: case T_NATIVE: case T_ACTION: case T_FUNCTION: case T_ROUTINE:
    case T_ISSUE:
      return true;
    default:
      return false;
  }
}

inline int32_t call_word(const Cell& callable, const Code& code, int32_t pos, const Cell& word);

// A set-word's value, or an expression of a block run, whose first cell is a word of
// the code that names a callable (slot holds its value), with no trace running: the
// step expression_step would take, without its dispatch and the word's second
// lookup. Answers the cell after it as expression_step does.
[[gnu::noinline]] Step called_word_value(const Code& code, int32_t pos, const Cell* at,
                                         const Cell* slot) {
  Cell* start = stack::top;
  Cell callable = *slot;
  Cell word = *at;
  pos = call_word(callable, code, pos + 1, word);
  if (exits::pending) return {pos, nullptr};
  trace::event(trace::PUSH, &code.block, pos, start);
  const Cell* next = infix_chain_at(code, &pos, start);
  return {pos, next};
}

// The value a step would push for the cell at when pushing it is all the step
// would do (a value of none of the types above, or a bound word holding one),
// else null. With no trace running, such a step fires no event and runs no code,
// so its caller can push the value and go on to the operators itself.
[[gnu::always_inline]] inline const Cell* plain_value(const Cell* at) {
  uint8_t type = at->type();
  if (type == T_WORD) {
    const Cell* slot = bound_slot(at);
    return slot && WORD_VALUE_KIND[slot->type()] == PUSHED ? slot : nullptr;
  }
  if (type == T_SET_WORD || type == T_PAREN || is_rare(type)) return nullptr;
  return at;
}

int32_t set_word(const Code& code, int32_t pos, Cell word) {
  const Cell* at = code.peek(pos);
  if (!at) fire(err::script::NEED_VALUE, &word);
  // The value's first step, when no trace runs and it only pushes a value: the
  // operators follow at once.
  Cell* start = stack::top;
  uint8_t type = at->type();
  const Cell* slot;
  if (trace::tracing) [[unlikely]] {
    pos = expression_at(code, pos, at, false);
  } else if (type == T_WORD && (slot = bound_slot(at))) {
    uint8_t kind = WORD_VALUE_KIND[slot->type()];
    if (kind == PUSHED) {
      stack::push(slot);
      pos++;
      infix_chain_at(code, &pos, start);
    } else if (kind == CALLED) {
      pos = called_word_value(code, pos, at, slot).pos;
    } else {
      pos = expression_at(code, pos, at, false);
    }
  } else if (type != T_WORD && type != T_SET_WORD && type != T_PAREN && !is_rare(type)) {
    stack::push(at);
    pos++;
    infix_chain_at(code, &pos, start);
  } else {
    pos = expression_at(code, pos, at, false);
  }
  if (exits::pending) return pos;
  Cell* value = stack::top - 1;
  if (value->is(T_UNSET)) fire(err::script::NEED_VALUE, &word);
  trace::event(trace::SET, &code.block, pos, value, &word);
  context::set(&word, value);
  return pos;
}

int32_t set_path(const Code& code, int32_t pos, const Cell& path) {
  if (pos >= code.length()) fire(err::script::NEED_VALUE, &path);
  Cell* value = stack::top;
  pos = expression(code, pos, false);
  if (exits::pending) return pos;
  trace::event(trace::SET, &code.block, pos, value, &path);
  eval_path(path, code, pos, true, false, value);
  stack::top = value + 1;
  return pos;
}

bool is_system_word(const Cell* issue) {
  uint32_t s = symbol::resolve(word_cell::symbol(issue));
  return s == symbol::resolve(words::system_) ||
         s == symbol::resolve(words::system_global);
}

inline int32_t call_word(const Cell& callable, const Code& code, int32_t pos, const Cell& word);

int32_t word_expression(const Code& code, int32_t pos, const Cell& word) {
  const Cell* slot = bound_slot(&word);
  if (!slot) slot = word_value(&word);
  // Tests rather than a switch: a jump table's one indirect branch, shared by
  // every word, mispredicts as words alternate between values and callables.
  // One load from a table by type tells the three cases apart.
  uint8_t kind = WORD_VALUE_KIND[slot->type()];
  if (kind == CALLED) {
    Cell callable = *slot;
    return call_word(callable, code, pos, word);
  }
  if (kind != PUSHED) [[unlikely]] {
    if (kind == NO_VALUE) no_value(&word);
    fire(err::script::NO_OP_ARG, &word);
  }
  stack::push(slot);
  return pos;
}

}  // namespace

// --- shared helpers -----------------------------------------------------------------------

Code code_of(const Cell* block) { return Code{*block, block->w2}; }

// Past the cell at pos, the code reads an empty buffer of its own, so every reading
// beyond it finds the end without the general code testing a bound. The cell is read
// after the allocation, which may move the block's buffer.
int32_t lone_expression(const Code& code, int32_t pos) {
  Code alone{code.block, memory::alloc_cells(1)};
  return expression_at(alone, pos, code.at(pos), true);
}

// The slot may be written (a path set on a word's value), so it comes through the
// context's own, mutable access.
Cell* word_value(const Cell* word) {
  if (!word_cell::context(word)) no_value(word);
  return context::get(word);
}

Cell body_word() { return Cell{T_WORD, 0, stack::body_symbol, 0xFFFFFFFFu}; }
Cell anon_word() { return Cell{T_WORD, 0, stack::anon_symbol, 0xFFFFFFFFu}; }

namespace {

// The value types that take more than a push or a word lookup: kept out of the
// common evaluation step so that it stays small.
[[gnu::noinline]] int32_t rare_expression(const Code& code, int32_t pos, Cell v) {
  switch (v.type()) {
    case T_SET_PATH: return set_path(code, pos, v);
    case T_GET_WORD: stack::push(word_value(&v)); return pos;
    case T_LIT_WORD: cell::set_type(&v, T_WORD); stack::push(&v); return pos;
    case T_PATH: return eval_path(v, code, pos, false, false, nullptr);
    case T_GET_PATH: return eval_path(v, code, pos, false, true, nullptr);
    case T_LIT_PATH: cell::set_type(&v, T_PATH); v.w3 = 0; stack::push(&v); return pos;
    case T_OP: fire(err::internal::NOT_DONE);
    case T_NATIVE: case T_ACTION: case T_FUNCTION: case T_ROUTINE: {
      Cell name = anon_word();
      return eval_code(v, code, pos, &name, nullptr, false);
    }
    case T_ISSUE:
      if (pos < code.length() && code.at(pos)->is(T_BLOCK) && is_system_word(&v))
        fire(err::internal::ZOL_SYSTEM, &v);
      stack::push(&v);
      return pos;
    default: stack::push(&v); return pos;
  }
}

}  // namespace

Step expression_step(const Code& code, int32_t pos, const Cell* at, bool prefix) {
  Cell* start = stack::top;
  Cell v = *at;
  trace::event(trace::FETCH, &code.block, pos, &v);
  pos++;
  uint8_t type = v.type();
  if (type == T_WORD) pos = word_expression(code, pos, v);
  else if (type == T_SET_WORD) pos = set_word(code, pos, v);
  else if (type == T_PAREN) eval_paren(v);
  else if (!is_rare(type)) stack::push(&v);
  else pos = rare_expression(code, pos, v);
  if (exits::pending) return {pos, nullptr};
  trace::event(trace::PUSH, &code.block, pos, start);
  if (prefix) return {pos, nullptr};
  const Cell* next = infix_chain_at(code, &pos, start);
  return {pos, next};
}

namespace {

// The frame of a call, opened once the result slot is in place: a function's
// frame records its context and the values word to give back when it ends.
[[gnu::always_inline]] inline void open_call_frame(const Cell& callable, const Cell* name) {
  if (callable.is(T_FUNCTION)) stack::mark_interp_func(name, callable.w1);
  else stack::mark(name, stack::H_INTERP_NATIVE);
}

// The call's end once it ran: its result replaces the cell at `result` and its
// frame closes.
[[gnu::always_inline]] inline int32_t close_call(const Code& code, int32_t pos, Cell* result,
                                                 const Cell* name) {
  if (exits::pending) return pos;
  *result = *stack::arguments;
  stack::unwind();
  stack::top = result + 1;
  trace::event(trace::RETURN, &code.block, pos, result, name);
  return pos;
}

// A call whose arguments are in its frame: a function or routine runs (a native or
// action already ran while its arguments were gathered), and its result replaces
// the cell at `result`.
template <class RunFunction>
[[gnu::always_inline]] inline int32_t finish_call(const Cell& callable, const Code& code,
                                                  int32_t pos, Cell* result, const Cell* name,
                                                  RunFunction run) {
  if (callable.is(T_FUNCTION)) run();
  else if (callable.is(T_ROUTINE)) routine::exec(&callable);
  return close_call(code, pos, result, name);
}

void run_function_here(const Cell* function, const Cell* name, int kind);

}  // namespace

int32_t eval_code(const Cell& callable, const Code& code, int32_t pos, const Cell* name,
                  const PathRefinements* refinements, bool infix, int gathering) {
  check_native_stack();
  Cell frame_name = name && block::is_any_word(name->type()) ? *name : anon_word();
  trace::event(trace::OPEN, &code.block, pos, nullptr, &frame_name);
  Cell* result = infix ? stack::top - 1 : stack::push(&callable);
  if (infix) stack::top = result;
  open_call_frame(callable, &frame_name);
  if (infix) stack::top++;
  pos = fetch_arguments(callable, code, pos, &frame_name, refinements, infix, gathering);
  if (exits::pending) return pos;
  return finish_call(callable, code, pos, result, &frame_name,
                     [&] { run_function(&callable, 0, &frame_name, 0); });
}

namespace {

// The `return` native's cell word 1 (its 0-based index), set at start-up.
uint32_t return_native = UINT32_MAX;

bool is_return(const Cell& callable) {
  return callable.is(T_NATIVE) && callable.w1 == return_native;
}

// A `return` named by a word, its frame open: its one argument (any type) is the
// next expression, and the native's whole work is the signal. This is what the
// plain gathering and the native's entry do, without reading the arguments cache
// or dispatching through the natives' table; a missing argument takes that path
// for its error.
[[gnu::always_inline]] inline int32_t call_return(const Cell& callable, const Code& code,
                                                  int32_t pos, const Cell& word) {
  const Cell* at = code.peek(pos);
  if (!at) [[unlikely]] return gather_prefix(callable, code, pos, &word);   // raises no-arg
  pos = expression_at(code, pos, at, false);
  if (exits::pending) return pos;
  trace::event(trace::CALL, &code.block, pos, &callable, &word);
  stack::signal_return();
  return pos;
}

// The conditionals whose calls from the code take a short path, and their
// natives' cell word 1 (0-based index), set at start-up.
enum Conditional { NO_CONDITIONAL, IF, UNLESS, EITHER };
uint32_t if_native = UINT32_MAX;
uint32_t unless_native = UINT32_MAX;
uint32_t either_native = UINT32_MAX;

Conditional conditional_of(const Cell& callable) {
  if (!callable.is(T_NATIVE)) return NO_CONDITIONAL;
  if (callable.w1 == either_native) return EITHER;
  if (callable.w1 == if_native) return IF;
  if (callable.w1 == unless_native) return UNLESS;
  return NO_CONDITIONAL;
}

// The datatypes each conditional's condition takes, read from its arguments cache
// at its first call on the short path (0 until then): one bit to test where the
// cache costs a call and a walk through four cells. A native's spec and cache
// never change.
uint64_t condition_types[EITHER + 1];

bool takes_condition(const Cell& callable, Conditional kind, uint8_t type) {
  uint64_t& types = condition_types[kind];
  if (!types) [[unlikely]] types = first_argument_types(callable);
  return type < 64 && (types >> type & 1);
}

// The branches that follow a conditional's condition in the code, when they are as
// the plain gathering would take them without running any code: `count` literal
// blocks with no operator after the last (which would take it as its left
// operand). Answers the first of them, else null.
const Cell* literal_branches(const Code& code, int32_t pos, int32_t count) {
  const SeriesBuffer* b = code.buffer();
  int32_t n = code.length_in(b);
  if (pos + count > n) return nullptr;
  const Cell* first = b->cells() + pos;
  for (int32_t i = 0; i < count; i++)
    if (!first[i].is(T_BLOCK)) return nullptr;
  if (pos + count < n && operator_named(first + count)) return nullptr;
  return first;
}

void run_branch(const Cell* block, Cell* first);

// A conditional whose arguments the plain gathering takes from pos on, the first
// (its condition) already on the stack top, and then calls the native.
int32_t conditional_by_native(const Cell& callable, const Code& code, int32_t pos,
                              const Cell& word, Cell* result) {
  pos = gather_prefix_after_first(callable, code, pos, &word);
  if (exits::pending) return pos;
  return finish_call(callable, code, pos, result, &word, [] {});
}

// An `if`, `unless` or `either` named by a word, its frame open. Its condition is
// the next expression; when no trace runs after it, the condition's type is one the
// native takes and the branches are literal blocks, the chosen branch runs in the
// frame as the native would run it (the truth tests are the natives': `either`
// refuses an unset condition, `if` and `unless` take it as true), without reading
// the arguments cache, gathering the branches or dispatching through the natives'
// table. Anything else (a missing argument included) goes on by the plain gathering
// and the native, for its own events, errors and messages.
int32_t call_conditional(const Cell& callable, const Code& code, int32_t pos, const Cell& word,
                         Cell* result, Conditional kind) {
  const Cell* at = code.peek(pos);
  if (!at) [[unlikely]] return gather_prefix(callable, code, pos, &word);   // raises no-arg
  pos = expression_at(code, pos, at, false);
  if (exits::pending) return pos;
  Cell* condition = stack::arguments;
  int32_t count = kind == EITHER ? 2 : 1;
  const Cell* branches = nullptr;
  if (!trace::tracing && takes_condition(callable, kind, condition->type()))
    branches = literal_branches(code, pos, count);
  if (!branches) return conditional_by_native(callable, code, pos, word, result);
  Cell chosen;
  if (kind == EITHER) chosen = branches[logic::condition_true(condition) ? 0 : 1];
  else if (logic::true_value(condition) == (kind == IF)) chosen = branches[0];
  else chosen = values::none;
  pos += count;
  if (chosen.is(T_BLOCK)) run_branch(&chosen, condition);
  else stack::set_last(&values::none);
  if (exits::pending) return pos;
  return finish_call(callable, code, pos, result, &word, [] {});
}

// A function named by a word, its frame open: its arguments as gather_prefix
// gathers them, then its body. A function of plain spec (most are) gathers them
// here, without the call into the general gathering.
[[gnu::always_inline]] inline int32_t call_function_word(const Cell& callable, const Code& code,
                                                         int32_t pos, const Cell& word,
                                                         Cell* result) {
  const Cell& cache = args::cache_of(callable);
  if (!(cache.header & args::PLAIN_SPEC)) [[unlikely]] {
    pos = gather_prefix(callable, code, pos, &word);
  } else {
    const SeriesBuffer* b = block::buffer(&cache);   // held here: the buffer stays put
    int32_t arguments = args::plain_count(cache);
    pos = args::gather_plain_arguments(callable, b->cells(), arguments, code, pos, &word, false,
                                       false);
    if (exits::pending) return pos;
    trace::event(trace::CALL, &code.block, pos, &callable, &word);
    args::make_locals(b, arguments);
  }
  if (exits::pending) return pos;
  run_function_here(&callable, &word, 0);
  return close_call(code, pos, result, &word);
}

// What eval_code does for a prefix call named by a word, with no path and no trace
// running when it starts: the word names the frame as it is, the arguments come
// from the code, and a function's body runs from here rather than through
// run_function. A trace starting meanwhile still hears of the rest of the call.
// The callable's type is tested once: the calls below may write memory, so the
// compiler would read it again for every test.
[[gnu::always_inline]] inline int32_t call_word(const Cell& callable, const Code& code,
                                                int32_t pos, const Cell& word) {
  if (trace::tracing) [[unlikely]] return eval_code(callable, code, pos, &word, nullptr, false);
  check_native_stack();
  Cell* result = stack::push(&callable);
  if (callable.is(T_FUNCTION)) {
    stack::mark_interp_func(&word, callable.w1);
    return call_function_word(callable, code, pos, word, result);
  }
  stack::mark(&word, stack::H_INTERP_NATIVE);
  if (is_return(callable)) return call_return(callable, code, pos, word);
  if (Conditional kind = conditional_of(callable))
    return call_conditional(callable, code, pos, word, result, kind);
  pos = gather_prefix(callable, code, pos, &word);
  if (exits::pending) return pos;
  return finish_call(callable, code, pos, result, &word, [] {});
}

// What eval_code does for an infix call with no trace running when it starts: the
// left operand, on the stack top, becomes the frame's first argument and the result
// replaces it; the operator's word names the frame as it is, the right operand comes
// from the code, and a function's body runs from here. A trace starting in the right
// operand still hears of the rest of the call.
int32_t call_infix(const Cell& callable, const Code& code, int32_t pos, const Cell& word) {
  check_native_stack();
  Cell* result = stack::top - 1;
  stack::top = result;
  open_call_frame(callable, &word);
  stack::top = result + 1;
  pos = gather_infix(callable, code, pos, &word);
  if (exits::pending) return pos;
  return finish_call(callable, code, pos, result, &word,
                     [&] { run_function_here(&callable, &word, 0); });
}

}  // namespace

// --- paths ------------------------------------------------------------------------------------

namespace {

// Setting a field of a value held in the cell itself (a pair's x, a tuple's byte)
// changes only the path's copy of the cell. The changed value goes back where it
// came from: to the path's first word, or, deeper in, by setting the element that
// named it in its container (so an object's change handler or a series owner hears
// of it as of any other set).
struct Holder {
  bool is_word;
  Cell container;   // the first word, or the container the value came from
  Cell element;     // the element that named the value in the container
};

void write_back(const Holder& holder, const Cell& before, Cell after, Cell* path, int position) {
  if (std::memcmp(&before, &after, sizeof(Cell)) == 0) return;
  if (!holder.is_word) {
    Cell container = holder.container, element = holder.element;
    Cell* top = stack::top;
    actions::eval_path_typed(&container, &element, &after, path, position);
    stack::top = top;
    return;
  }
  Cell* slot = word_value(&holder.container);
  if (std::memcmp(slot, &before, sizeof(Cell)) == 0) *slot = after;
}

}  // namespace

int32_t eval_path(const Cell& path, const Code& code, int32_t pos, bool set, bool get,
                  const Cell* value) {
  Code elements = code_of(&path);
  int32_t head = series_cell::head(&path) < 0 ? 0 : series_cell::head(&path);
  if (head >= elements.length()) fire(err::script::EMPTY_PATH, &path);
  Cell first = *elements.at(head);
  if (!first.is(T_WORD)) fire(err::script::WORD_FIRST, &path);
  trace::event(trace::ENTER, &path, head, nullptr);
  Cell* parent = stack::push(word_value(&first));
  if (parent->is(T_UNSET)) fire(err::script::UNSET_PATH, &path, &first);
  if (is_callable(parent->type()) && (set || get))
    fire(set ? err::script::INVALID_PATH_SET : err::script::INVALID_PATH_GET, &path);
  Holder holder{true, first, values::none};
  for (int32_t i = head;; i++) {
    if (is_callable(parent->type()) && !set && !get) {
      Cell callable = *parent;
      Cell name = *elements.at(i);
      stack::top = parent;
      PathRefinements refinements{&path, i + 1};
      return eval_code(callable, code, pos, &name, &refinements, false);
    }
    if (i + 1 >= elements.length()) break;
    Cell element = *elements.at(i + 1);
    if (element.is(T_GET_WORD)) {
      element = *word_value(&element);
    } else if (element.is(T_PAREN)) {
      eval_paren(element);
      if (exits::pending) return pos;
      element = *--stack::top;
    }
    bool last = i + 2 >= elements.length();
    Cell* to_set = set && last ? const_cast<Cell*>(value) : nullptr;
    Cell before = *parent;
    Cell* result = actions::eval_path_typed(parent, &element, to_set, const_cast<Cell*>(&path),
                                            i + 1 - head);
    if (!result || result->is(T_UNSET)) fire(err::script::INVALID_PATH, &path, &element);
    if (to_set) write_back(holder, before, *parent, const_cast<Cell*>(&path), i - head);
    holder = Holder{false, before, element};
    *parent = *result;
    stack::top = parent + 1;
  }
  trace::event(trace::EXIT, &path, elements.length(), parent);
  return pos;
}

// --- the position near errors ---------------------------------------------------------

namespace {

Near near_now;   // the innermost expression being evaluated

struct NearScope {
  Near saved = near_now;
  explicit NearScope(const Code* code) { near_now.code = code; }
  ~NearScope() { near_now = saved; }
};

}  // namespace

Cell near_position() {
  if (!near_now.code) return values::none;
  Cell at = near_now.code->block;
  series_cell::set_head(&at, near_now.pos);
  return at;
}

// --- blocks ----------------------------------------------------------------------------------

void run_block(const Cell* block) { run_block_at(block, stack::arguments); }

#ifdef ZOL_EVAL_BUDGET
int64_t eval_budget = -1;

static void spend_eval_budget() {
  if (eval_budget < 0) return;
  if (eval_budget == 0) fire(err::internal::LIMIT_HIT);
  --eval_budget;
}
#else
static void spend_eval_budget() {}
#endif

namespace {

// Verify mode's stand-in for prepared forms, until the evaluator builds them: every
// block run walks the link through its states (ran once, then a form-less entry
// holding a copy of the cells), and each later run checks the cells against that
// copy, so every block every test runs proves the barrier.
void verify_forms(NodeRef block) {
  SeriesBuffer* b = memory::buffer_of(block);   // only the link word changes
  if (b->link == LINK_NONE) b->link = LINK_RAN_ONCE;
  else if (b->link == LINK_RAN_ONCE) prepared::attach(b, nullptr);
  else prepared::check(b);
}

// The first position a run of a block starts at: its head, at least 0.
int32_t start_of(const Cell* block) {
  int32_t head = series_cell::head(block);
  return head < 0 ? 0 : head;
}

// The expressions of a block from pos on, each starting in first, which the last
// one's value is left in. The caller has made the code the code near errors.
template <bool TAKE_PLAIN, bool TAKE_SET = false, bool TAKE_CALL = false>
[[gnu::always_inline]] inline void run_expressions(const Code& code, int32_t pos, Cell* first) {
  const Cell* next = code.peek(pos);
  if (!next) {
    stack::top = first + 1;
    *first = values::unset;
    return;
  }
  if (trace::tracing) [[unlikely]] {
    trace::fire(trace::ENTER, &code.block, pos, nullptr, nullptr);
    next = code.peek(pos);   // the tracer may have moved or changed the block
  }
  while (next) {
    stack::top = first;
    near_now.pos = pos;
    spend_eval_budget();
    const Cell* plain = !TAKE_PLAIN || trace::tracing ? nullptr : plain_value(next);
    const Cell* slot;
    if (TAKE_CALL && !trace::tracing && next->is(T_WORD) && (slot = bound_slot(next)) &&
        WORD_VALUE_KIND[slot->type()] == CALLED) {
      // A call named by a word (a body's `either`, a paren's `fib`): the step
      // without its dispatch.
      Step step = called_word_value(code, pos, next, slot);
      pos = step.pos;
      next = step.next;
    } else if (plain) {
      // The step would push the value and go on to the operators: done here.
      stack::push(plain);
      pos++;
      next = infix_chain_at(code, &pos, first);
    } else if (TAKE_SET && !trace::tracing && next->is(T_SET_WORD)) {
      Cell word = *next;
      pos = set_word(code, pos + 1, word);
      if (exits::pending) return;
      trace::event(trace::PUSH, &code.block, pos, first);
      next = infix_chain_at(code, &pos, first);
    } else {
      Step step = expression_step(code, pos, next, false);
      pos = step.pos;
      next = step.next;   // the operator chain's reading: no code ran since
    }
    if (exits::pending) return;
    if (trace::tracing) [[unlikely]] {
      trace::fire(trace::EXPR, &code.block, pos, first, nullptr);
      next = code.peek(pos);   // the tracer may have moved or changed the block
    }
  }
  trace::event(trace::EXIT, &code.block, pos, first);
}

// A chosen branch, run with no trace running, as run_block_at runs it. A branch that
// holds one value which its step would only push (`[n]`, `[none]`) needs no run:
// the step fires no event and runs no code, the code near errors would be given
// back as found, and the value is the branch's result.
void run_branch(const Cell* block, Cell* first) {
  NodeRef node = series_cell::node(block);
  const SeriesBuffer* b = memory::buffer_of(node);
  int32_t pos = start_of(block);
  const Cell* value = pos + 1 == int32_t(b->cell_count()) ? plain_value(b->cells() + pos) : nullptr;
  if (!value) return run_block_at(block, first);
  spend_eval_budget();
  *first = *value;
  stack::top = first + 1;
  if (__builtin_expect(prepared::verify, false)) verify_forms(node);
}

}  // namespace

void run_block_at(const Cell* block, Cell* first) {
  Code code = code_of(block);
  if (__builtin_expect(prepared::verify, false)) verify_forms(series_cell::node(block));
  NearScope near(&code);
  run_expressions<false, false, true>(code, start_of(block), first);
}

LoopBlock::LoopBlock(const Cell& block)
    : code_(code_of(&block)), start_(start_of(&block)), first_(stack::arguments),
      outside_(near_now) {}

template <bool TAKE_PLAIN, bool TAKE_SET>
[[gnu::always_inline]] inline void LoopBlock::run_as() {
  if (__builtin_expect(prepared::verify, false)) verify_forms(code_.block.w2);
  // Gives the code near errors back however the run ends, as NearScope does, from
  // the copy taken once for the loop.
  struct GiveBack {
    const Near& outside;
    ~GiveBack() { near_now = outside; }
  } give_back{outside_};
  near_now.code = &code_;
  run_expressions<TAKE_PLAIN, TAKE_SET>(code_, start_, first_);
}

void LoopBlock::run() { run_as<false, true>(); }
void LoopBlock::test() { run_as<true, false>(); }

void eval_block(const Cell* block, bool chain) {
  Cell name = body_word();
  stack::mark(&name, stack::H_EVAL);
  run_block(block);
  if (exits::pending) return;
  if (chain) stack::unwind_keep(); else stack::unwind();
}

int32_t eval_next(const Cell* block, int32_t position) {
  Code code = code_of(block);
  NearScope near(&code);
  near_now.pos = position;
  return expression(code, position, false);
}

Cell do_block(const Cell* block) {
  Cell* saved_top = stack::top;
  Cell name = body_word();
  stack::mark(&name, stack::H_EVAL);
  run_block(block);
  exits::settle();
  Cell result = *stack::arguments;
  stack::unwind();
  stack::top = saved_top;
  return result;
}

// --- functions -------------------------------------------------------------------------------

namespace {

// A function body runs in the function's own frame, above its arguments and locals;
// its value then becomes the frame's result. (A traced run gives the body a <body>
// frame, as eval_block does, for the stack depths the tracer sees.)
void run_body(const Cell* body) {
  Cell* base = stack::top;
  run_block_at(body, base);
  if (exits::pending) return;
  *stack::arguments = *base;
}

uint32_t tracing_inside(const Cell* function) {
  uint32_t header = function->header;
  // Most functions carry neither flag: one test for both.
  if (!(header & (function::FLAG_NO_TRACE | function::FLAG_TRACE))) [[likely]]
    return trace::tracing;
  if (header & function::FLAG_NO_TRACE) return 0;
  return trace::saved_tracing;
}

// A function context's values word, set at each call and given back at its end.
// The context's record is no code (nothing derives a form from it), so its buffer
// never carries a link and the write skips the mutable access's test of it.
[[gnu::always_inline]] inline void set_call_values(NodeRef ctx, uint32_t values) {
  ZOL_ASSERT(!std::as_const(*memory::buffer_of(ctx)).link);
  const_cast<Cell*>(context::read_record(ctx))->w2 = values;
}

// The function's frame is the current one, opened by mark_func or mark_interp_func:
// its record already holds the context's values word to give back at the end.
[[gnu::always_inline]] inline void run_function_here(const Cell* function, const Cell* name,
                                                     int kind) {
  NodeRef ctx = function::context_of(function);
  set_call_values(ctx, stack::ref_of(stack::arguments));   // the frame holds them
  stack::set_return_mark(true);
  uint32_t saved_tracing = trace::tracing;
  trace::tracing = kind ? trace::callback_tracing(kind) : tracing_inside(function);
  Cell body = *function::read_more(function, function::MORE_BODY);
  trace::event(trace::PROLOG, &body, series_cell::head(&body), function, name);
  exits::guard(
      exits::RETURN,
      [&] {
        if (!body.is(T_BLOCK)) stack::set_last(&values::unset);
        else if (trace::tracing) eval_block(&body, true);
        else run_body(&body);
      },
      [](uint32_t code) {
        if (code != exits::RETURN && code != exits::EXIT) exits::pending = code;
      });
  if (!exits::pending) trace::event(trace::EPILOG, &body, -1, stack::arguments, name);
  trace::tracing = trace::requested ? trace::requested - 1 : saved_tracing;
  if (exits::pending) return;
  // The return mark stays: every caller closes the frame next.
  set_call_values(ctx, (stack::frame_top - 1)->saved_values);
}

}  // namespace

void run_function(const Cell* function, NodeRef, const Cell* name, int kind) {
  run_function_here(function, name, kind);
}

namespace {

// Calls from the datatypes (sort comparators): an exit that leaves the function
// goes on as an exception, since the caller does not look at exits::pending.
void callback_entry(const Cell* function, NodeRef context, const Cell* name, int kind) {
  run_function(function, context, name, kind);
  exits::settle();
}

}  // namespace

void init() {
  prepared::init(nullptr);   // no forms yet: nothing for the registry to free
  fill_operations();
  native::operation_of = operation_of;
  return_native = uint32_t(natives::return_index() - 1);
  if_native = uint32_t(natives::if_index() - 1);
  unless_native = uint32_t(natives::unless_index() - 1);
  either_native = uint32_t(natives::either_index() - 1);
  call_function = callback_entry;
  do_block_hook = do_block;
  near_position_hook = near_position;
  error_raised_hook = trace::error_raised;
  trace::init();
}

}  // namespace zol::interpreter
