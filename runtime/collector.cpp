// Collector entry points. Marking, sweeping and compaction are not built yet:
// collect() keeps the counters honest and never moves anything, so the memory
// manager just makes new frames while the collector stays disabled. The marking
// API records registrations so that modules can already use it.
#include "runtime/collector.h"

#include "runtime/error.h"

namespace zol::collector {

int enabled = 0;
void (*mark_hashtable)(NodeRef) = nullptr;

namespace {
bool collecting = false;
uint64_t cycle_count = 0;
constexpr int MAX_CALLBACKS = 100;
constexpr int MAX_SWEEPERS = 16;
MarkFn callbacks[MAX_CALLBACKS];
int callback_count = 0;
SweepFn sweepers[MAX_SWEEPERS];
int sweeper_count = 0;
}  // namespace

bool active() { return collecting; }
uint64_t cycles() { return cycle_count; }

void collect() {
  if (enabled != 1) return;
  // No marking or compaction exists yet, so nothing can be reclaimed.
}

bool mark_node(NodeRef) { return false; }
void mark_block(NodeRef) {}
void mark_values(const Cell*, const Cell*) {}
void mark_context(NodeRef) {}

void keep(MarkFn fn) {
  if (callback_count == MAX_CALLBACKS) fire(err::INTERNAL, err::internal::LIMIT_HIT);
  callbacks[callback_count++] = fn;
}

void unkeep(MarkFn fn) {
  for (int i = 0; i < callback_count; i++)
    if (callbacks[i] == fn) {
      callbacks[i] = nullptr;
      return;
    }
}

void add_sweeper(SweepFn fn) {
  if (sweeper_count == MAX_SWEEPERS) fire(err::INTERNAL, err::internal::LIMIT_HIT);
  sweepers[sweeper_count++] = fn;
}

}  // namespace zol::collector
