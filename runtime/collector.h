// The collector's interface: its entry points as the memory manager and the
// natives see them, and the marking API that other modules' roots use.
//
// A collection runs only inside a series allocation or through recycle, and only
// once start-up has enabled it. Modules that own series outside the value graph
// (symbol table, contexts, hash tables, ownership table) reach the collector
// through marking callbacks (`keep`), the hash-table hook and sweepers.
#pragma once
#include <cstdint>

#include "runtime/cell.h"

namespace zol::collector {

extern int enabled;       // a cycle runs only when this is exactly 1
bool active();            // a cycle is running
void collect();           // runs a cycle when enabled
uint64_t cycles();        // completed cycles

// Marking, for use inside marking callbacks.
bool mark_node(NodeRef node);                       // true when newly marked
void mark_block(NodeRef node);                      // the node and its cells
void mark_values(const Cell* first, const Cell* end);
void mark_context(NodeRef node);

// Marking callbacks run on every cycle, in registration order (at most 100).
using MarkFn = void (*)();
void keep(MarkFn fn);
void unkeep(MarkFn fn);

// Hash tables are marked by their own engine, which installs this hook.
extern void (*mark_hashtable)(NodeRef table);

// Sweepers run after marking, before compaction, to drop weak entries whose
// series died (ownership table, weak hash tables). At most 16.
using SweepFn = void (*)();
void add_sweeper(SweepFn fn);

}  // namespace zol::collector
