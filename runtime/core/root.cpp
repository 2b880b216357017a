// The root block and shutdown (see root.h).
#include "runtime/core/root.h"

#include "runtime/base/system.h"
#include "runtime/collector/collector.h"
#include "runtime/memory/memory.h"

namespace zol::runtime {

NodeRef root_block = 0;
bool initialized = false;

void cleanup() {
  collector::enabled = 0;
  collector::forget_registrations();
  memory::free_all_frames();
  system::free_all();
  root_block = 0;
  initialized = false;
}

bool is_initialized() { return initialized; }

}  // namespace zol::runtime
