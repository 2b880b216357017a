// The value stack (see stack.h).
#include "interpreter/stack.h"

#include "runtime/error.h"
#include "runtime/memory.h"

namespace zol::stack {

Cell* bottom = nullptr;
Cell* end = nullptr;
Cell* top = nullptr;
Cell* arguments = nullptr;
NodeRef value_stack_node = 0;

void init() {
  value_stack_node = memory::alloc_fixed_cells(VALUE_STACK_CELLS);
  SeriesBuffer* b = memory::buffer_of(value_stack_node);
  bottom = reinterpret_cast<Cell*>(b->data());
  end = bottom + VALUE_STACK_CELLS;
  top = arguments = bottom;
  cell::set(bottom, T_UNSET);
}

bool ready() { return bottom != nullptr; }

Cell* push(const Cell* value) {
  if (top + 1 >= end) fire(err::INTERNAL, err::internal::STACK_OVERFLOW);
  cell::copy(value, top);
  return top++;
}

Cell* push_unset() {
  if (top + 1 >= end) fire(err::INTERNAL, err::internal::STACK_OVERFLOW);
  cell::set(top, T_UNSET);
  return top++;
}

Cell* set_last(const Cell* value) { return cell::copy(value, arguments); }

void keep() { top = arguments + 1; }

Cell* top_value() { return top > arguments + 1 ? top - 1 : arguments; }

}  // namespace zol::stack
