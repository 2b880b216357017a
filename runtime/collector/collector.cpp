// The collector's cycle and its marking.
//
// A cycle, in order: scan the native stack (what it finds is marked and stays in
// place), mark the roots and run the marking callbacks, run the sweepers and sweep
// the external references, move nodes out of sparse node frames, compact the series
// frames, free dead big series, and trim the node frames. The stack is scanned
// before anything moves so that the pinned nodes are known when node frames are
// chosen for emptying.
//
// Marking never recurses: a newly marked buffer of cells is queued and the queue is
// drained in a loop, so deeply nested blocks cannot exhaust the native stack.
#include "runtime/collector/collector.h"

#include <algorithm>
#include <bitset>
#include <cstdlib>
#include <vector>

#include "runtime/core/stack.h"
#include "runtime/collector/collector_internal.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/memory/extref.h"
#include "runtime/memory/memory.h"
#include "runtime/text/mold.h"
#include "runtime/core/root.h"

namespace zol::collector {

int enabled = 0;
uint32_t stress_every = 0;
uint32_t random_every = 0;
void (*mark_hashtable)(NodeRef) = nullptr;
void (*mark_table_parts)(NodeRef) = nullptr;

namespace {
uint32_t stress_offset = 0;   // the test modes (collector.h)
uint64_t random_state = 0;
bool collecting = false;
uint64_t cycle_count = 0;
uint64_t compaction_count = 0;
constexpr int MAX_CALLBACKS = 100;
constexpr int MAX_SWEEPERS = 16;
MarkFn callbacks[MAX_CALLBACKS];
int callback_count = 0;
SweepFn sweepers[MAX_SWEEPERS];
int sweeper_count = 0;

std::vector<SeriesBuffer*> queue;         // marked buffers whose cells are not walked yet
bool draining = false;
std::bitset<MAX_NODE_FRAMES> pinned_frames;

void pin_node(NodeRef ref, SeriesBuffer* b) {
  b->flags |= FLAG_NODE_PINNED;
  pinned_frames.set(ref >> NODE_FRAME_SHIFT);
}

bool set_mark(SeriesBuffer* b) {
  if (b->flags & FLAG_MARK) return false;
  b->flags |= FLAG_MARK;
  if ((b->flags & FLAG_TABLE_RECORD) && mark_table_parts) mark_table_parts(b->node);
  return true;
}

// Newly marked cell buffers wait in the queue for their cells to be walked.
bool mark_and_queue(SeriesBuffer* b) {
  if (!set_mark(b)) return false;
  if (b->unit() == sizeof(Cell)) queue.push_back(b);
  return true;
}

// The node's buffer, pinned when asked; nullptr when the ref names no live node.
SeriesBuffer* live_buffer(NodeRef ref, bool pin) {
  if (!memory::is_live_node(ref)) return nullptr;
  SeriesBuffer* b = memory::buffer_of(ref);
  if (pin) pin_node(ref, b);
  return b;
}

void follow(uint32_t word, detail::Follow how, bool pin) {
  using detail::Follow;
  if (how == Follow::EXTREF) {
    if (static_cast<int32_t>(word) >= 0) extref::mark(static_cast<int32_t>(word));
  } else if (how == Follow::TABLE && mark_hashtable) {
    if (live_buffer(word, pin)) mark_hashtable(word);
  } else {
    detail::mark_ref(word, pin);
  }
}

void walk_cells(SeriesBuffer* b) {
  uint32_t tail = b->tail <= b->size ? b->tail : b->size;
  const SeriesBuffer& read = *b;   // marking reads: the link stays
  auto* first = reinterpret_cast<const Cell*>(read.data() + b->offset);
  auto* end = reinterpret_cast<const Cell*>(read.data() + tail);
  detail::mark_cells(first, end, b->flags, false);
}

// What start-up appended to the root block is usually held in a static as well,
// so the nodes the root block names directly keep their place.
void mark_root_block() {
  SeriesBuffer* root = live_buffer(runtime::root_block, true);
  if (!root) return;
  set_mark(root);
  const SeriesBuffer& read = *root;
  detail::mark_cells(read.cells(), read.cell_tail(), root->flags, true);
}

void mark_roots() {
  mark_root_block();
  if (stack::ready()) {
    detail::mark_ref(stack::value_stack_node, true);
    detail::mark_cells(stack::bottom, stack::top, 0, false);
  }
  detail::mark_cells(&exits::value, &exits::value + 1, 0, false);
  detail::mark_cells(error::in_flight, error::in_flight + error::IN_FLIGHT_CELLS, 0, false);
  detail::drain();
}

void run_callbacks() {
  for (int i = 0; i < callback_count; i++)
    if (callbacks[i]) {
      callbacks[i]();
      detail::drain();
    }
}

void run_cycle(bool move_all) {
  collecting = true;
  pinned_frames.reset();
  detail::scan_native_stack();
  detail::drain();
  mark_roots();
  run_callbacks();
  for (int i = 0; i < sweeper_count; i++) sweepers[i]();
  extref::sweep();
  if (detail::move_nodes(move_all)) compaction_count++;
  detail::compact_series_frames(move_all);
  memory::sweep_big_series();
  memory::trim_node_frames();
  memory::reset_big_budget();
  cycle_count++;
  collecting = false;
}

}  // namespace

namespace detail {

bool mark_ref(NodeRef ref, bool pin) {
  SeriesBuffer* b = live_buffer(ref, pin);
  return b && mark_and_queue(b);
}

void mark_cells(const Cell* first, const Cell* end, uint32_t container_flags, bool pin) {
  for (const Cell* c = first; c < end; c++)
    for_each_reference(c, container_flags, [pin](uint32_t word, Follow how) {
      if (word || how == Follow::EXTREF) follow(word, how, pin);   // slot 0 is a slot
    });
}

// A buffer held by address keeps its node too: code that holds the buffer may read
// its back-reference and use that ref after the next allocation.
void mark_found_buffer(SeriesBuffer* b, bool pin) {
  if (pin) {
    b->flags |= FLAG_PINNED;
    if (memory::holds_its_node(b)) pin_node(b->node, b);
  }
  mark_and_queue(b);
}

void drain() {
  if (draining) return;
  draining = true;
  while (!queue.empty()) {
    SeriesBuffer* b = queue.back();
    queue.pop_back();
    walk_cells(b);
  }
  draining = false;
}

bool frame_pinned(uint32_t frame_number) { return pinned_frames.test(frame_number); }

void rewrite_root_cells(NodeRef (*forward)(NodeRef)) {
  auto rewrite = [forward](Cell* first, Cell* end) {
    for (Cell* c = first; c < end; c++)
      for_each_reference(c, 0, [forward](uint32_t& word, Follow how) {
        if (how != Follow::EXTREF && word) word = forward(word);
      });
  };
  if (stack::ready()) rewrite(stack::bottom, stack::top);
  rewrite(&exits::value, &exits::value + 1);
  rewrite(error::in_flight, error::in_flight + error::IN_FLIGHT_CELLS);
  cycles::remap(forward);
}

}  // namespace detail

bool active() { return collecting; }
uint64_t cycles() { return cycle_count; }
uint64_t node_compactions() { return compaction_count; }

namespace {

uint32_t positive_setting(const char* name) {
  const char* text = std::getenv(name);
  long n = text ? std::strtol(text, nullptr, 10) : 0;
  return n > 0 && n <= INT32_MAX ? static_cast<uint32_t>(n) : 0;
}

// splitmix64: a fixed sequence per seed, so that a failing run can be repeated.
uint64_t next_random() {
  uint64_t z = (random_state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

}  // namespace

void init() {
  cycle_count = 0;
  compaction_count = 0;
  stress_every = 0;
  random_every = 0;
  if (positive_setting("ZOL_GC_STRESS_STARTUP")) start_test_modes();
}

void start_test_modes() {
  stress_every = positive_setting("ZOL_GC_STRESS");
  stress_offset = stress_every ? positive_setting("ZOL_GC_STRESS_OFFSET") % stress_every : 0;
  random_every = positive_setting("ZOL_GC_RANDOM");
  random_state = positive_setting("ZOL_GC_SEED");
}

void before_allocation(uint64_t count) {
  if (stress_every && count % stress_every == stress_offset) collect_moving_all();
  else if (random_every && next_random() % random_every == 0) collect();
}

void collect() {
  if (enabled != 1 || collecting) return;
  run_cycle(false);
}

void collect_moving_all() {
  if (enabled != 1 || collecting) return;
  run_cycle(true);
}

bool mark_node(NodeRef node) {
  SeriesBuffer* b = live_buffer(node, true);
  return b && set_mark(b);
}

void mark_block(NodeRef node) {
  detail::mark_ref(node, true);
  detail::drain();
}

void mark_context(NodeRef node) { mark_block(node); }

void mark_values(const Cell* first, const Cell* end) {
  detail::mark_cells(first, end, 0, true);
  detail::drain();
}

bool survives(NodeRef node) {
  if (!memory::is_live_node(node)) return false;
  SeriesBuffer* b = memory::buffer_of(node);
  if (!(b->flags & FLAG_MARK)) return false;
  pin_node(node, b);
  return true;
}

void keep(MarkFn fn) {
  if (std::find(callbacks, callbacks + callback_count, fn) != callbacks + callback_count) return;
  if (callback_count == MAX_CALLBACKS) fire(err::internal::LIMIT_HIT);
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
  if (std::find(sweepers, sweepers + sweeper_count, fn) != sweepers + sweeper_count) return;
  if (sweeper_count == MAX_SWEEPERS) fire(err::internal::LIMIT_HIT);
  sweepers[sweeper_count++] = fn;
}

void forget_registrations() {
  callback_count = 0;
  sweeper_count = 0;
  mark_hashtable = nullptr;
  mark_table_parts = nullptr;
}

}  // namespace zol::collector
