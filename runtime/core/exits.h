// Non-local exits: errors, break, continue, return, exit and throw.
//
// Every exit carries a 32-bit code. A guarding site declares a threshold, receives
// every exit whose code is at most that threshold, and passes any other exit on
// unchanged. All guarding goes through exits::guard so that the travelling
// mechanism can change without touching callers; the value that travels with an
// exit waits in exits::value.
//
// Two mechanisms carry an exit, and a guard receives both:
//   - pending status: `pending` holds the code and every step of the interpreter
//     and of the natives returns at once while it is set, up to the guard that
//     takes it. break, continue, return, exit and throw travel this way, so the
//     common exits of Zol code cost no C++ exception;
//   - a C++ exception (exits::Unwind): errors, and any exit that must cross C++
//     code that does not look at `pending` (settle() converts a pending exit at
//     such a border: callbacks from the datatypes into Zol code, the public
//     evaluation entries).
// Whoever raises an exit has already left the stacks as the receiving frame
// expects them; the code between the raiser and the guard only has to return.
#pragma once
#include <cstdint>
#include <type_traits>
#include <utility>

#include "runtime/core/cell.h"

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

// The code of the exit travelling by status, 0 when none.
extern uint32_t pending;

[[noreturn]] void raise(uint32_t code);
[[noreturn]] void raise_with(uint32_t code, const Cell& carried);

// Starts an exit by status: the caller returns at once afterwards.
inline void signal(uint32_t code, const Cell& carried) {
  value = carried;
  pending = code;
}

// Turns a pending exit into an exception, for a caller that does not look at
// `pending`. Does nothing when no exit is pending.
inline void settle() {
  if (pending) {
    uint32_t code = pending;
    pending = 0;
    raise(code);
  }
}

// Runs body(); when an exit with code <= threshold leaves it (by status or as an
// exception), runs on_exit(code) instead and returns its result. Other exits pass
// through untouched: an exception goes on, a pending exit stays pending.
template <class Body, class OnExit>
[[gnu::always_inline]] inline auto guard(uint32_t threshold, Body&& body, OnExit&& on_exit) -> decltype(body()) {
  auto take_pending = [&]() -> uint32_t {
    uint32_t code = pending;
    if (!code || code > threshold) return 0;
    pending = 0;
    return code;
  };
  try {
    if constexpr (std::is_void_v<decltype(body())>) {
      std::forward<Body>(body)();
      if (uint32_t code = take_pending()) return std::forward<OnExit>(on_exit)(code);
    } else {
      auto result = std::forward<Body>(body)();
      if (uint32_t code = take_pending()) return std::forward<OnExit>(on_exit)(code);
      return result;
    }
  } catch (const Unwind& u) {
    if (u.code > threshold) throw;
    return std::forward<OnExit>(on_exit)(u.code);
  }
}

}  // namespace zol::exits
