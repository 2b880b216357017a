// The collector's entry points as the memory manager and the natives see them.
// A collection runs only inside a series allocation or through recycle, and only
// once start-up has enabled it.
#pragma once
#include <cstdint>

namespace zol::collector {

extern int enabled;       // a cycle runs only when this is exactly 1
bool active();            // a cycle is running
void collect();           // runs a cycle when enabled
uint64_t cycles();        // completed cycles

}  // namespace zol::collector
