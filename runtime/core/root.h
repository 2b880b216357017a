// The runtime's own roots and its shutdown: the root block, which keeps start-up
// series reachable, and the call that gives all memory back at exit. Start-up
// (`runtime::init`) composes every layer and lives above them all, in
// boot/runtime.h.
#pragma once
#include "runtime/core/cell.h"

namespace zol::runtime {

// The root block: the collector's first root. Start-up series that must stay
// reachable while nothing else refers to them are appended to it.
extern NodeRef root_block;
// The root block's first capacity, as the start-up layout fixes it: room for every
// series the modules root while starting and for the words kept alive across
// sessions, so that start-up never grows it. It grows like any block when more
// are rooted.
constexpr int ROOT_BLOCK_CELLS = 8749;

// Set by start-up once every service is up; cleared by cleanup.
extern bool initialized;

void cleanup();
bool is_initialized();

}  // namespace zol::runtime
