// Collector entry points. Marking, sweeping and compaction are not built yet:
// collect() keeps the counters honest and never moves anything, so the memory
// manager just makes new frames while the collector stays disabled.
#include "runtime/collector.h"

namespace zol::collector {

int enabled = 0;
namespace {
bool collecting = false;
uint64_t cycle_count = 0;
}  // namespace

bool active() { return collecting; }
uint64_t cycles() { return cycle_count; }

void collect() {
  if (enabled != 1) return;
  // No marking or compaction exists yet, so nothing can be reclaimed.
}

}  // namespace zol::collector
