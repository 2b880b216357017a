// Test support: one runtime per test process, and running code in a child process
// to observe how it ends (fatal reports and exits end the process).
#pragma once
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>

#include "runtime/core/cell.h"
#include "runtime/core/error.h"

namespace zol::test {

struct ChildResult {
  std::string out;     // what the child wrote to standard output
  int status = -1;     // exit status, or -signal when killed by a signal
};

// Forks, runs fn in the child with stdout captured, and waits for it.
ChildResult run_in_child(const std::function<void()>& fn);

// Runs fn inside a try frame and answers the error it raised as "category/id", or
// "" when none. The stacks are left as they were before the call.
std::string raised(const std::function<void()>& fn);

inline std::string error_name(err::Id id) {
  return std::to_string(id.category) + "/" + std::to_string(id.id);
}

// Opens a native frame holding `args`, runs fn (an action entry, or an
// implementation that reads the frame), closes the frame and answers its result.
Cell call_on_frame(std::initializer_list<Cell> args, const std::function<void()>& fn);

std::string mold(const Cell& value, bool all = false);

// Sets a runtime hook (a function pointer the runtime calls) for one test and puts
// the runtime's own back when the test ends, however it ends: the tests share one
// runtime per process.
template <class Hook>
class ScopedHook {
 public:
  ScopedHook(Hook& hook, Hook value) : hook_(hook), saved_(hook) { hook = value; }
  ~ScopedHook() { hook_ = saved_; }
  ScopedHook(const ScopedHook&) = delete;
  ScopedHook& operator=(const ScopedHook&) = delete;

 private:
  Hook& hook_;
  Hook saved_;
};

// Keeps cells that a test holds where the collector does not look (statics,
// fixture members, std containers) alive and in place while the guard lives: they
// are marked by value from a marking callback, as the runtime's own holders are.
class HeldCells {
 public:
  explicit HeldCells(const Cell* first, size_t count = 1);
  ~HeldCells();
  HeldCells(const HeldCells&) = delete;
  HeldCells& operator=(const HeldCells&) = delete;

 private:
  const Cell* first_;
  size_t count_;
};

// The name of a datatype the lexer knows, registered or not ("?" for others).
const char* type_name(uint8_t type);
std::string form(const Cell& value);

}  // namespace zol::test
