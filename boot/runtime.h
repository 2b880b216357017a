// Runtime start-up and shutdown: one call brings every service up in a fixed order
// (parents register before children, the stacks exist before any word is made);
// one call gives all memory back at exit.
#pragma once
#include "runtime/core/cell.h"

namespace zol::runtime {

void init();          // idempotent within a process
void cleanup();
bool is_initialized();

// The root block: the collector's first root. Start-up series that must stay
// reachable while nothing else refers to them are appended to it.
extern NodeRef root_block;
constexpr int ROOT_BLOCK_CELLS = 8749;

}  // namespace zol::runtime
