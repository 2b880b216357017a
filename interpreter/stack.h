// The value stack: arguments and results of every call live on one block of 20000
// cells that never moves, so the pointers below address it directly.
//
//   bottom <= arguments <= top < end
//
// `arguments` is the current frame's first cell, which is also its result slot;
// `top` is the next free cell.
#pragma once
#include "runtime/cell.h"

namespace zol::stack {

constexpr int VALUE_STACK_CELLS = 20000;

extern Cell* bottom;
extern Cell* end;
extern Cell* top;
extern Cell* arguments;
extern NodeRef value_stack_node;   // the fixed series that holds the cells

void init();
bool ready();

// Pushes a copy of the value (or an unset cell) and returns the new cell; pushing
// past the end raises the internal stack-overflow error.
Cell* push(const Cell* value);
Cell* push_unset();
inline Cell* arg(int i) { return arguments + i; }
// Copies the value into the frame's result cell (arguments[0]) and returns it.
Cell* set_last(const Cell* value);
// Drops everything above the frame's first cell.
void keep();
// The last pushed value, or the arguments cell when nothing was pushed after it.
Cell* top_value();

}  // namespace zol::stack
