// Runtime start-up: one call brings every service up in a fixed order (parents
// register before children, the stacks exist before any word is made). It sits
// above every layer it starts; shutdown (`cleanup`) and the root block belong to the
// runtime itself (runtime/core/root.h).
#pragma once
#include "runtime/core/root.h"

namespace zol::runtime {

void init();          // idempotent within a process

}  // namespace zol::runtime
