// The interpreter: evaluates blocks of values on the value and frame stacks.
//
// Every evaluation step pushes exactly one value: the result of the expression it
// evaluated. A block evaluated "in the current frame" resets `top` to the frame's
// first cell before each expression, so the last expression's value ends up in
// arguments[0], the frame's result slot.
//
// Non-local exits: while exits::pending is set (break, continue, return, exit or
// throw on its way), every function below returns at once, leaving the stacks as
// the raiser arranged them; the natives that receive an exit guard for it. Errors
// travel as exceptions. The entries for C++ callers (do_block, call_function as a
// callback) settle a pending exit into an exception.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::interpreter {

// Installs the interpreter as the runtime's callback entries (runtime/core/callback.h:
// functions, blocks, the code near an error) and reserves the tracer cell.
void init();

// Evaluates a whole block in a new <body> frame: its last value (unset for an empty
// block) becomes that frame's result, copied to the caller's result slot with
// chain, else left just above the caller's cells (top points past it).
void eval_block(const Cell* block, bool chain);
// Evaluates a whole block in the current frame (see above).
void run_block(const Cell* block);
// The same with `first` (at or above the frame's cells) as the result slot: each
// expression starts there, and the last value stays there with top just past it.
void run_block_at(const Cell* block, Cell* first);
// Evaluates one expression at the 0-based position of the block's buffer, pushing
// its value; answers the position after it.
int32_t eval_next(const Cell* block, int32_t position);
// For C++ callers and tests: the value of a block, evaluated in a frame of its own;
// a pending exit leaves as an exception.
Cell do_block(const Cell* block);

// Runs a function! whose arguments are in the current frame (opened by the caller
// with stack::mark_func or the interpreter); the result is left in the frame's
// first cell. `kind` is the callback kind (0 for calls made by the interpreter).
void run_function(const Cell* function, NodeRef context, const Cell* name, int kind);

// The expression being evaluated, innermost: its block with the head at the
// expression (none outside any evaluation). Errors keep it as the code near them.
Cell near_position();

#ifdef ZOL_EVAL_BUDGET
// Fuzzing builds only: the expressions a run may still evaluate. A program can
// recurse without any loop native, and a fuzzer must tell such a run from a hang;
// once the count is spent every further expression raises limit-hit, so the run
// unwinds through whatever tries it. Negative means no limit.
extern int64_t eval_budget;
#endif
}  // namespace zol::interpreter
