// ZOL_ASSERT(cond): a rule of the code that no input can break, checked in checked
// builds (ZOL_CHECKED: the sanitizer builds, or -DZOL_CHECKED=ON) and compiled out
// otherwise. Compiled out, the condition is still type-checked but never evaluated,
// so it must have no side effects and may cost what a check in a checked build may.
//
// A failure names the condition and where it was written, then ends the program
// with fatal error 98 (assertion failed). It is a fault of this code, never of a Zol
// program: language errors are raised with fire (runtime/core/error.h).
#pragma once

namespace zol::system {
[[noreturn]] void assertion_failed(const char* condition, const char* file, int line);
}  // namespace zol::system

#if defined(ZOL_CHECKED)
#define ZOL_ASSERT(cond) \
  ((cond) ? void(0) : ::zol::system::assertion_failed(#cond, __FILE__, __LINE__))
#else
#define ZOL_ASSERT(cond) ((void)sizeof(!(cond)))
#endif
