// Calls from runtime code into Zol functions (sort comparators today; change
// handlers and trace callbacks join them). Each goes through one entry so that
// tracing and unwinding see the callback as a call; the kind tells tracing which
// callbacks it follows.
#pragma once
#include "runtime/core/cell.h"

namespace zol::interpreter {

constexpr int CALLBACK_COMPARE = 0x04;   // a sort comparator

// Runs a function! whose arguments are already in the current frame (opened by
// the caller with stack::mark_func); the result is left in the frame's first
// cell. The interpreter installs it; until then no function! value exists.
extern void (*call_function)(const Cell* function, NodeRef context, const Cell* name, int kind);

}  // namespace zol::interpreter
