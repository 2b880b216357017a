// Calls from runtime code into the evaluator, which sits in the layer above: Zol
// functions (sort comparators, change handlers; trace callbacks join them), blocks
// (object and error specs) and the code being evaluated (kept by errors). Each goes
// through one entry that the interpreter installs in its init, so that the runtime
// includes nothing above it and tracing and unwinding see a callback as a call; the
// kind tells tracing which callbacks it follows.
#pragma once
#include "runtime/core/cell.h"

namespace zol::interpreter {

constexpr int CALLBACK_LEXER = 0x01;     // the lexer's trace callback (transcode/trace)
constexpr int CALLBACK_COMPARE = 0x04;   // a sort comparator

// Runs a function! whose arguments are already in the current frame (opened by
// the caller with stack::mark_func); the result is left in the frame's first
// cell. The interpreter installs it; until then no function! value exists.
extern void (*call_function)(const Cell* function, NodeRef context, const Cell* name, int kind);

// interpreter::do_block: the value of a block, evaluated in a frame of its own; a
// pending exit leaves as an exception.
extern Cell (*do_block_hook)(const Cell* block);
// interpreter::near_position: the expression being evaluated, innermost (none
// outside any evaluation, and before the interpreter is installed).
extern Cell (*near_position_hook)();
// Hears every error as it is raised, before it travels (the tracer's error event).
extern void (*error_raised_hook)(Cell* error);

}  // namespace zol::interpreter
