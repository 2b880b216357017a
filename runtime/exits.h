// Non-local exits: errors, break, continue, return, exit and throw.
//
// Every exit carries a 32-bit code. A guarding site declares a threshold, receives
// every exit whose code is at most that threshold, and passes any other exit on
// unchanged. All guarding goes through exits::guard so that the travelling
// mechanism (today a C++ exception carrying the code; the value that travels with
// it waits in exits::value) can change without touching callers.
#pragma once
#include <cstdint>
#include <utility>

#include "runtime/cell.h"

namespace zol::exits {

constexpr uint32_t ERROR = 0x7FFFFFFF;
constexpr uint32_t BREAK = 0x7FFFFFFE;
constexpr uint32_t CONTINUE = 0x7FFFFFFD;
constexpr uint32_t RETURN = 0x7FFFFFFC;
constexpr uint32_t EXIT = 0x7FFFFFFB;
constexpr uint32_t THROW = 0x7FFFFFFA;
constexpr uint32_t INT_POWER_FALLBACK = 0x7FFFFFF9;
constexpr uint32_t MEMORY = 0x7FFFFFF8;
constexpr uint32_t LEXER_QUIET_STOP = 10;

// The exception object of an exit in flight. Not derived from std::exception on
// purpose: only a guard may take it.
struct Unwind {
  uint32_t code;
};

// The value an exit carries (the error! of an error, the value of break/return/
// throw). A collector root.
extern Cell value;

[[noreturn]] void raise(uint32_t code);
[[noreturn]] void raise_with(uint32_t code, const Cell& carried);

// Runs body(); when an exit with code <= threshold escapes it, runs on_exit(code)
// instead and returns its result. Other exits pass through untouched.
template <class Body, class OnExit>
auto guard(uint32_t threshold, Body&& body, OnExit&& on_exit) -> decltype(body()) {
  try {
    return std::forward<Body>(body)();
  } catch (const Unwind& u) {
    if (u.code > threshold) throw;
    return std::forward<OnExit>(on_exit)(u.code);
  }
}

}  // namespace zol::exits
