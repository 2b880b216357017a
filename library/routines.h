// The C++ bodies of the library's routines (see routines.cpp).
#pragma once

#include "runtime/core/cell.h"

namespace zol::library {

// A body's result kept where the caller copies it from at once: the answer of a
// body whose result is a new cell.
const Cell* answer(const Cell& value);

// Registers every routine body by name; start-up calls it before the library's
// source runs. Calling it again (a runtime started anew) changes nothing.
void init();

}  // namespace zol::library
