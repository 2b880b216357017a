// The value stack and the call-frame stack, and the non-local exits that unwind
// them.
//
// Value stack: one block of VALUE_STACK_CELLS cells that never moves, addressed
// directly.
//
//   bottom <= arguments <= top < end
//
// `arguments` is the current frame's first cell, which is also its result slot;
// `top` is the next free cell.
//
// Frame stack: a fixed block of FRAME_STACK_CELLS cells used as an array of 20-byte
// records (FRAME_STACK_CELLS * 16 / 20 of them), one per open frame, from
// `frame_base` to `frame_top` (the next free record); the current frame is the
// record just below `frame_top`. A record is five 32-bit words:
//
//   header            bits 24-27 frame type, bit 28 return mark, bit 31 opened by the
//                     interpreter, bits 8-23 symbol id of the word that named the call
//   saved_arguments   the caller's `arguments`, as a StackRef
//   word_context      context node of the word that named the call, or 0
//   function_context  node of the called function's context, or 0
//   saved_values      that context record's values word before the call, or 0
//
// Exits (exits.h) travel from the raiser to the innermost guard that takes their
// code. The raisers below leave both stacks as the receiving frame expects them:
// errors reach the nearest try or try/all frame, break and continue the nearest
// loop frame, return and exit the nearest frame with the return mark, throws the
// nearest catch frame. A try/all frame on the way stops break, continue, return,
// exit and throw and turns them into errors.
#pragma once
#include <functional>
#include <cstdint>
#include <utility>

#include "runtime/base/assert.h"
#include "runtime/core/cell.h"
#include "runtime/core/exits.h"
#include "runtime/memory/memory.h"

namespace zol::stack {

// Sized for 12000 nested calls of an interpreted function (the depth the control
// tests run, tests/unit/interpreter/natives/control_test.cpp), each of which takes
// a few frames (the call, its body, the natives it runs) and a few cells; past
// either end the interpreter raises stack-overflow instead.
constexpr int VALUE_STACK_CELLS = 200000;
constexpr int FRAME_STACK_CELLS = 150000;

// A value-stack cell named in a 32-bit word: its 1-based position, 0 for none.
// Frame records and the values word of contexts whose values live on the stack
// use it, since no machine address fits a 32-bit word.
using StackRef = uint32_t;

struct Frame {
  uint32_t header;
  StackRef saved_arguments;
  NodeRef word_context;
  NodeRef function_context;
  uint32_t saved_values;
};
static_assert(sizeof(Frame) == 20, "frame records are five 32-bit words");

enum FrameType : uint32_t {
  FT_FUNCTION = 1, FT_NATIVE = 2, FT_TRY = 4, FT_TRY_ALL = 5, FT_CATCH = 6, FT_EVAL = 7,
  FT_LOOP = 8,
};

// Header constants of the frames each opener writes.
enum FrameHeader : uint32_t {
  H_FUNCTION = 0x01000000u,
  H_INTERP_FUNCTION = 0x81000000u,
  H_NATIVE = 0x02000000u,
  H_INTERP_NATIVE = 0x82000000u,
  H_FUNC_CTX = 0x12000000u,
  H_TRY = 0x04000000u,
  H_TRY_ALL = 0x05000000u,
  H_CATCH = 0x06000000u,
  H_EVAL = 0x87000000u,
  H_LOOP = 0x08000000u,
};
constexpr uint32_t HEADER_RETURN_MARK = 0x10000000u;
constexpr uint32_t HEADER_INTERPRETED = 0x80000000u;

extern Cell* bottom;
extern Cell* end;
extern Cell* top;
extern Cell* arguments;
extern Frame* frame_base;
extern Frame* frame_end;
extern Frame* frame_top;
extern NodeRef value_stack_node;   // the fixed series that hold the stacks
extern NodeRef frame_stack_node;

// Symbols the frame walks recognise. They stay 0 until the symbol table interns
// `<body>`, `<anon>`, `<not-found>` and `self` and stores their ids here; a frame
// opened without a word carries symbol 0 and is skipped like `<body>` meanwhile.
extern uint32_t body_symbol;
extern uint32_t anon_symbol;
extern uint32_t not_found_symbol;
extern uint32_t self_symbol;

void init();
bool ready();

inline StackRef ref_of(const Cell* c) {
  ZOL_ASSERT(c >= bottom && c <= end);
  return static_cast<StackRef>(c - bottom) + 1;
}
inline Cell* cell_of(StackRef r) {
  ZOL_ASSERT(r >= 1 && r <= StackRef(end - bottom) + 1);
  return bottom + (r - 1);
}

inline uint32_t frame_type(const Frame* f) { return (f->header >> 24) & 0xFu; }
inline uint32_t frame_symbol(const Frame* f) { return (f->header >> 8) & 0xFFFFu; }

// Opening frames. `word` names the call (a word-family cell, or null); each opener
// records the caller's arguments and makes `top` the new frame's first cell, which
// it returns. A full frame stack raises the internal stack-overflow error.
inline Cell* mark(const Cell* word, uint32_t header);
Cell* mark_func(const Cell* word, NodeRef function_context);
Cell* mark_func_ctx(const Cell* word, NodeRef function_context);
inline Cell* mark_native(const Cell* word) { return mark(word, H_NATIVE); }
inline Cell* mark_interp_native(const Cell* word) { return mark(word, H_INTERP_NATIVE); }
inline Cell* mark_interp_function(const Cell* word) { return mark(word, H_INTERP_FUNCTION); }
// The interpreter's function frame: records the function context like mark_func.
inline Cell* mark_interp_func(const Cell* word, NodeRef function_context);
inline Cell* mark_try(const Cell* word) { return mark(word, H_TRY); }
inline Cell* mark_try_all(const Cell* word) { return mark(word, H_TRY_ALL); }
inline Cell* mark_catch(const Cell* word) { return mark(word, H_CATCH); }
inline Cell* mark_eval(const Cell* word) { return mark(word, H_EVAL); }
inline Cell* mark_loop(const Cell* word) { return mark(word, H_LOOP); }
void set_frame_top(Frame* record);

// Header flags of the current frame, and of the frame below it (`do` makes its
// caller a return boundary while it evaluates).
inline void set_return_mark(bool on);
void mark_interpreted();
struct MarkedBelow {
  Frame* record;          // null when there is no frame below the current one
  bool was_marked;
};
MarkedBelow mark_return_below();
void clear_return_mark(Frame* record);
// Rewrites the symbol of the current frame (or of the frame below the throw's
// origin while a throw is on its way) with the symbol of a word! cell.
void set_frame_symbol(const Cell* word);

// Working inside a frame. Pushing past the end raises the internal stack-overflow
// error after taking 5 cells off `top`, so that the error can be built.
inline Cell* grow_top();
inline Cell* push(const Cell* value);
Cell* push_unset();
void pop(int n);
inline Cell* arg(int i) { return arguments + i; }
inline Cell* top_value() { return top > bottom ? top - 1 : bottom; }   // bottom when empty
inline uint8_t top_type() { return top_value()->type(); }
Cell* reset();                   // top := arguments
Cell* keep();                    // top := arguments + 1
Cell* set_last(const Cell* value);
Cell* set_result(const Cell* value);
void keep_result();
void revert();
Frame* current_frame();          // null when no frame is open
bool interpreted(const Frame* from, bool only_one);

// Closing frames. "Restoring" a popped function frame writes its saved values
// word back into its function context's record.
inline void unwind();            // result stays in the caller's view at arguments
void unwind_last();              // the same, restoring any function context
void unwind_drop();              // nothing stays: top := the caller's arguments
void unwind_all();
void unwind_pop();
void unwind_keep();              // the frame's result becomes the caller's result
void unwind_last_keep();
void unroll();

// Runs body under a try frame (as the try native does) that keeps the caller's
// arguments. Answers true when body finished, false when an error ended it: the
// error waits in exits::value and both stacks are as they were before the call.
// Exits other than errors pass through.
bool try_run(const std::function<void()>& body);
// The same under a catch frame that receives every throw (as the catch native
// without /name does): false when a throw ended body, its value dropped.
bool catch_run(const std::function<void()>& body);
void unroll_to(uint32_t type, bool keep);
void unroll_to_keep(uint32_t type);
inline void unroll_loop(bool keep) { unroll_to(FT_LOOP, keep); }

// Raises the internal stack-overflow error after making room for it on the value
// stack (also used when the native stack runs low).
[[noreturn]] void overflow();

// Non-local exits. The signal_ forms leave the stacks for the receiving frame and
// start the exit by status (exits::pending); their caller returns at once. When
// there is no receiving frame they raise the throw-category error instead. The
// forms without the prefix do the same and raise the exit as an exception; none of
// them returns.
void signal_break_or_continue(bool with_value, bool is_continue);
void signal_return_or_exit(bool with_value, bool keep_current);
// return's signal (with its value, from its own frame), inline where the receiver
// is the frame under return's: the common return, straight from a function's body.
inline void signal_return();
void signal_throw(uint32_t code);
[[noreturn]] void throw_error(const Cell& error);
[[noreturn]] void break_or_continue(bool with_value, bool is_continue);
[[noreturn]] void return_or_exit(bool with_value, bool keep_current);
// The thrown value and its name (none without /name) are the first two cells of
// the current (throw native's) frame.
[[noreturn]] void throw_value(uint32_t code);

// The location of an error: the word that named the nearest frame that is not a
// block body or an anonymous function, starting below the throw's origin when a
// throw is on its way. Until contexts can resolve it, the word is an unresolved
// word! (index -1) of the frame's word context; none when no frame qualifies and
// `<not-found>` has no symbol yet.
Cell find_function_frame();

// Marks what the stacks reference (a collector marking callback).
void mark_roots();

// --- the hottest operations, inline -------------------------------------------------

inline Cell* mark(const Cell* word, uint32_t header) {
  if (frame_top >= frame_end) overflow();
  uint32_t symbol = word ? word_cell::symbol(word) & 0xFFFFu : 0;
  *frame_top++ = Frame{header | symbol << 8, ref_of(arguments),
                       word ? word_cell::context(word) : 0, 0, 0};
  arguments = top;
  return arguments;
}

inline Cell* mark_interp_func(const Cell* word, NodeRef function_context) {
  Cell* args = mark(word, H_INTERP_FUNCTION);
  Frame* f = frame_top - 1;
  f->function_context = function_context;
  f->saved_values = function_context ? std::as_const(*memory::buffer_of(function_context)).cells()->w2 : 0;
  return args;
}

inline Cell* grow_top() {
  if (top + 1 >= end) overflow();
  return top++;
}

// A pushed value never lies in the free cell it goes to: a plain copy, without
// cell::copy's test for a copy onto itself.
inline Cell* push(const Cell* value) {
  Cell* cell = grow_top();
  *cell = *value;
  return cell;
}

inline void set_return_mark(bool on) {
  Frame* f = frame_top - 1;
  if (on) f->header |= HEADER_RETURN_MARK; else f->header &= ~HEADER_RETURN_MARK;
}

inline void unwind() {
  ZOL_ASSERT(frame_top > frame_base);
  Frame* f = --frame_top;
  top = arguments + 1;
  arguments = cell_of(f->saved_arguments);
}

// Whether an exit of return or exit from the current frame is received by the frame
// under it (a function's body calling return itself): nothing then to walk.
inline bool received_below(const Frame* current) {
  return current > frame_base && ((current - 1)->header & HEADER_RETURN_MARK);
}

// Closes the current frame and starts the exit `code` carrying value, which also
// becomes the result of the frame under it.
inline void signal_to_frame_below(uint32_t code, Cell value) {
  Frame* current = --frame_top;
  arguments = cell_of(current->saved_arguments);
  top = arguments;
  *arguments = value;
  exits::signal(code, value);
}

inline void signal_return() {
  if (!received_below(frame_top - 1)) [[unlikely]] {
    signal_return_or_exit(true, false);
    return;
  }
  signal_to_frame_below(exits::RETURN, *arguments);
}

}  // namespace zol::stack
