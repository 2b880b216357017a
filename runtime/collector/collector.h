// The collector's interface: its entry points as the memory manager and the
// natives see them, and the marking API that other modules' roots use.
//
// A collection runs only inside a series allocation or through recycle, and only
// once start-up has enabled it. It marks everything reachable, then slides live
// buffers down inside the series frames and may move the live nodes of sparse node
// frames into fuller ones, rewriting the node words of every live cell.
//
// What is found on the native stack is never moved (see docs/design.md). Neither is
// a node marked through this API by value (mark_node, mark_block, mark_context,
// the cells given to mark_values, survives): its holder may keep the NodeRef
// anywhere, so the collector leaves the node where it is. Nodes reached only
// through cells may move; their cells are rewritten.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::collector {

extern int enabled;       // a cycle runs only when this is exactly 1
bool active();            // a cycle is running
void collect();           // runs a cycle when enabled

// Holds the collector off for its lifetime. For builders whose every allocation
// stays reachable from the value they build until they end (a lexer scan, the lines
// of a file): a collection in the middle would only mark the growing result once
// more each time the series frames fill, which takes time in the square of its size.
class Pause {
 public:
  Pause() : before_(enabled) {
    if (before_ == 1) enabled = PAUSED;
  }
  ~Pause() { enabled = before_; }
  Pause(const Pause&) = delete;
  Pause& operator=(const Pause&) = delete;

  int before() const { return before_; }

 private:
  static constexpr int PAUSED = 2;
  int before_;
};
uint64_t cycles();        // completed cycles
uint64_t node_compactions();   // cycles that emptied at least one node frame

// Stress mode: when set (ZOL_GC_STRESS=N), every Nth series allocation runs
// collect_moving_all(): a cycle that moves every buffer and every node that is not
// pinned, and never hands out again a node slot it freed, so that a stale pointer
// or NodeRef shows at once. ZOL_GC_STRESS_OFFSET=K (below N) picks which of every
// N allocations: those numbered K, K + N, K + 2N ...; a stride with offsets chosen
// from run to run covers every allocation over time at a fraction of the cost.
//
// Random mode (ZOL_GC_RANDOM=N, seeded by ZOL_GC_SEED): each series allocation
// runs an ordinary collection with a chance of 1 in N, so that the paths stress mode
// never takes (sparse node frames emptied, buffers sliding around pinned ones) are
// tried at unforeseen moments.
//
// Start-up does the same work in every process, so both modes begin when it ends
// (start_test_modes), unless ZOL_GC_STRESS_STARTUP=1 asks for them from the first
// allocation; one test does, so start-up is still tried under both.
extern uint32_t stress_every;
extern uint32_t random_every;   // N of random mode, 0 when off
void collect_moving_all();
// Called by the memory manager before its count-th series allocation.
void before_allocation(uint64_t count);

void init();              // counters to 0; reads the modes above
void start_test_modes();  // at the end of start-up

// Marking, for use inside marking callbacks. mark_node marks the buffer alone
// (true when newly marked): a series of cells reached that way has its cells
// walked only if something marks it with mark_block first.
bool mark_node(NodeRef node);
void mark_block(NodeRef node);                      // the node and its cells
void mark_values(const Cell* first, const Cell* end);
void mark_context(NodeRef node);                    // the record and its cells

// For sweepers: whether the node's series survives this cycle. A surviving node
// then keeps its place, so a weak reference held outside cells stays valid.
bool survives(NodeRef node);

// Marking callbacks run on every cycle, in registration order (at most 100). A
// function already registered is not registered again (start-up runs again after a
// clean-up, and holders register when they first need it).
using MarkFn = void (*)();
void keep(MarkFn fn);
void unkeep(MarkFn fn);

// Hash tables are marked by their own engine, which installs these hooks:
// mark_hashtable for each table a cell refers to. A table's record series carries
// FLAG_TABLE_RECORD; whenever such a buffer is newly marked, from wherever it was
// reached (a cell, a root, the native stack), the collector calls mark_table_parts
// so that the table's other series live with it. Without the hooks a table is
// marked like any series.
extern void (*mark_hashtable)(NodeRef table);
extern void (*mark_table_parts)(NodeRef table);

// Sweepers run after marking, before compaction, to drop weak entries whose
// series died (ownership table, weak hash tables). At most 16, each once.
using SweepFn = void (*)();
void add_sweeper(SweepFn fn);

// Drops every callback, sweeper and hook: the runtime's shutdown, so that a new
// start-up in the same process registers them afresh.
void forget_registrations();

}  // namespace zol::collector
