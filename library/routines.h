// The C++ bodies of the library's routines (see routines.cpp).
#pragma once
#include "runtime/core/cell.h"

namespace zol::library {

// A body's arguments, in spec order, type-checked already.
using Args = Cell* const*;

// What a body answers: its result held until the caller copies it (answer), or one
// of the shared logic constants.
const Cell* answer(const Cell& value);
const Cell* logic(bool v);

// Registers every routine body by name; start-up calls it before the library's
// source runs. Calling it again (a runtime started anew) changes nothing.
void init();

}  // namespace zol::library
