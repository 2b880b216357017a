// What the libFuzzer targets share: the abort that makes a broken rule a finding,
// the runtime started afresh every so many inputs, and a run under a try frame
// that checks the stacks come back.
#pragma once
#include <cstdlib>

#include "boot/runtime.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"

namespace zol::fuzz {

inline void require(bool rule) {
  if (!rule) std::abort();
}

// Starts the runtime on the first input and again every `inputs_per_runtime`
// inputs, so that what one input leaves (interned words, the global context)
// reaches only a few after it; answers whether it started one.
inline bool start_runtime_every(int inputs_per_runtime) {
  static int inputs = 0;
  if (inputs++ % inputs_per_runtime != 0) return false;
  if (runtime::is_initialized()) runtime::cleanup();
  runtime::init();
  return true;
}

// Runs fn under a try frame and checks that, however it ends, the stacks are back
// where they were and nothing is left pending; answers whether it ended normally.
template <class Fn>
bool run_checked(Fn fn) {
  Cell* top = stack::top;
  stack::Frame* frame_top = stack::frame_top;
  bool done = stack::try_run(fn);
  require(stack::top == top && stack::frame_top == frame_top && exits::pending == 0);
  return done;
}

}  // namespace zol::fuzz
