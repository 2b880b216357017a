// The C++ bodies of the library's routines (see routines.cpp).
#pragma once

namespace zol::library {

// Registers every routine body by name; start-up calls it before the library's
// source runs. Calling it again (a runtime started anew) changes nothing.
void init();

}  // namespace zol::library
