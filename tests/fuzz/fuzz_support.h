// What the fuzz targets that run Zol code share.
#pragma once

#include "boot/runtime.h"

namespace zol::fuzz {

// Starts the runtime before the first input and afresh every `period` inputs, so
// that what the inputs leave behind (interned words, the global context) stays
// bounded.
inline void restart_runtime_every(int period) {
  static int inputs = 0;
  if (inputs++ % period != 0) return;
  if (runtime::is_initialized()) runtime::cleanup();
  runtime::init();
}

}  // namespace zol::fuzz
