// The collector: what survives a cycle and where it ends up, pinning by the native
// stack, node-frame compaction, statistics, and a randomized heap checked against
// a model across collections at random points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "runtime/collector/collector.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"
#include "boot/runtime.h"
#include "runtime/base/system.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

SeriesBuffer* buf(NodeRef n) { return memory::buffer_of(n); }

// Runs fn on a thread of its own: its collections see nothing of this thread's
// stack, so exactly the series reachable from the roots survive them.
void on_clean_stack(void (*fn)()) { std::thread(fn).join(); }

void collect_on_clean_stack() { on_clean_stack([] { collector::collect(); }); }

// Every frame can be walked; every in-use buffer is its node's buffer, brackets
// its content and carries no collector bit.
void expect_heap_consistent() {
  for (SeriesFrame* f = memory::root.series_head; f; f = f->next) {
    uint8_t* p = f->data();
    while (p < f->top) {
      auto* b = reinterpret_cast<SeriesBuffer*>(p);
      if (b->flags & FLAG_IN_USE) {
        ASSERT_TRUE(memory::is_live_node(b->node)) << "in-use buffer without a live node";
        ASSERT_EQ(buf(b->node), b);
        ASSERT_LE(b->offset, b->tail);
        ASSERT_LE(b->tail, b->size);
        ASSERT_EQ(b->flags & FLAG_COLLECTOR_BITS, 0u);
      }
      p += BUFFER_OVERHEAD + b->size;
    }
    ASSERT_EQ(p, f->top) << "the last buffer ends at the frame's top";
  }
  for (BigSeries* big = memory::root.big_head; big; big = big->next)
    ASSERT_EQ(big->buffer()->flags & FLAG_COLLECTOR_BITS, 0u);
}

// A buffer address kept where the stack scan does not recognise it.
constexpr uintptr_t HIDE = 0x5A5A5A5A5A5A5A5Au;
[[gnu::noinline]] uintptr_t hidden_address(NodeRef n) { return reinterpret_cast<uintptr_t>(buf(n)) ^ HIDE; }

Cell string_of(const char* text) {
  Cell s;
  string::make_at(&s, 0);
  string::concatenate_literal(&s, text);
  return s;
}

Cell block_cell(NodeRef n) { return Cell{T_BLOCK, 0, n, 0}; }

void append_cell(NodeRef block, const Cell& value) { *memory::alloc_tail_cell(block) = value; }

// Makes garbage so that a cycle has something to reclaim in front of later series.
[[gnu::noinline]] void make_garbage(int n) {
  for (int i = 0; i < n; i++) memory::alloc_bytes(200);
}

TEST(Collector, DisabledCollectorDoesNothing) {
  int saved = collector::enabled;
  collector::enabled = 0;
  uint64_t before = collector::cycles();
  collector::collect();
  collector::collect_moving_all();
  EXPECT_EQ(collector::cycles(), before);
  collector::enabled = saved;
}

// The series a running function holds in a local survives, whatever form the
// local takes; a buffer the stack points into keeps its address.
TEST(Collector, LocalsOfRunningCodeKeepTheirSeries) {
  constexpr int HELD = 16;
  make_garbage(20);
  NodeRef by_node[HELD];
  uintptr_t buffer_before[HELD];
  for (int i = 0; i < HELD; i++) {
    by_node[i] = string_of(std::to_string(i).c_str()).w2;
    buffer_before[i] = hidden_address(by_node[i]);
  }
  Cell by_cell = string_of("held by a cell");
  uint8_t* by_pointer = buf(string_of("held by a data pointer").w2)->head();
  make_garbage(20);

  collector::collect_moving_all();
  collector::collect();

  int moved = 0;
  for (int i = 0; i < HELD; i++) {
    Cell again{T_STRING, 0, by_node[i], 0};
    EXPECT_EQ(string::to_utf8(&again), std::to_string(i));
    moved += hidden_address(by_node[i]) != buffer_before[i];
  }
  // A stray copy of a buffer address on the stack may pin one or two of them.
  EXPECT_GT(moved, HELD / 2) << "series held by their node move, and the node follows";
  EXPECT_EQ(string::to_utf8(&by_cell), "held by a cell");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(by_pointer), 22), "held by a data pointer");
  auto* header = reinterpret_cast<SeriesBuffer*>(by_pointer - BUFFER_OVERHEAD);
  EXPECT_EQ(buf(header->node), header) << "a pointed-at buffer stays where it was";
  expect_heap_consistent();
}

TEST(Collector, PointerIntoABlockKeepsItsChildren) {
  NodeRef block = memory::alloc_cells(4);
  append_cell(block, string_of("child one"));
  append_cell(block, string_of("child two"));
  Cell* cells = buf(block)->cells();
  block = 0;
  make_garbage(10);
  collector::collect_moving_all();
  EXPECT_EQ(string::to_utf8(&cells[0]), "child one");
  EXPECT_EQ(string::to_utf8(&cells[1]), "child two");
  expect_heap_consistent();
}

[[gnu::noinline]] void make_self_block(NodeRef* out) {
  NodeRef b = memory::alloc_cells(2);
  append_cell(b, block_cell(b));
  append_cell(b, string_of("inside"));
  *out = b;
}

TEST(Collector, BlockContainingItselfSurvivesAndDiesOnlyUnreferenced) {
  static NodeRef orphan;                     // not scanned: the block is unreferenced
  make_self_block(&orphan);
  NodeRef kept = 0;
  make_self_block(&kept);
  collector::collect_moving_all();
  collector::collect();
  SeriesBuffer* b = buf(kept);
  ASSERT_EQ(b->length(), 2u);
  EXPECT_EQ(b->cells()[0].w2, kept) << "the inner reference still names the block";
  EXPECT_EQ(string::to_utf8(&b->cells()[1]), "inside");
  collect_on_clean_stack();
  EXPECT_FALSE(memory::is_live_node(orphan) && buf(orphan)->length() == 2 &&
               buf(orphan)->cells()[0].w2 == orphan)
      << "an unreferenced cycle is freed";
  expect_heap_consistent();
}

TEST(Collector, PinnedBufferStaysWhileOthersSlideAroundIt) {
  make_garbage(30);
  uint8_t* pinned = buf(string_of("pinned in place").w2)->head();
  make_garbage(30);
  NodeRef later = string_of("slides down").w2;
  collector::collect();
  Cell later_cell{T_STRING, 0, later, 0};
  EXPECT_EQ(string::to_utf8(&later_cell), "slides down");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pinned), 15), "pinned in place");
  expect_heap_consistent();
}

[[gnu::noinline]] void make_big_pair(NodeRef* kept_out, NodeRef* dropped_out) {
  uint32_t size = MAX_FRAME_SIZE;
  NodeRef kept = memory::alloc_bytes_filled(size, 0x11);
  *dropped_out = memory::alloc_bytes_filled(size, 0x22);
  *kept_out = kept;
}

TEST(Collector, BigSeriesKeepTheirAddressOrAreFreed) {
  static NodeRef dropped;
  NodeRef kept = 0;
  make_big_pair(&kept, &dropped);
  SeriesBuffer* kept_buffer = buf(kept);
  ASSERT_TRUE(memory::is_big(kept_buffer));
  kept = 0;                                  // only the buffer pointer keeps it now
  collector::collect();
  ASSERT_TRUE(memory::is_live_node(kept_buffer->node));
  EXPECT_EQ(buf(kept_buffer->node), kept_buffer);
  EXPECT_EQ(kept_buffer->data()[MAX_FRAME_SIZE - 1], 0x11);

  collect_on_clean_stack();                  // nothing holds either of them now
  for (BigSeries* b = memory::root.big_head; b; b = b->next)
    EXPECT_NE(b->buffer()->unit(), 1u) << "both byte series are freed";
  EXPECT_FALSE(memory::is_live_node(dropped) && buf(dropped)->unit() == 1);
}

// No collection at allocations but those the memory manager decides on.
struct TestModesOff {
  uint32_t stress = collector::stress_every, random = collector::random_every;
  TestModesOff() { collector::stress_every = collector::random_every = 0; }
  ~TestModesOff() {
    collector::stress_every = stress;
    collector::random_every = random;
  }
};

constexpr int64_t GARBAGE_BIG = MAX_FRAME_SIZE;

[[gnu::noinline]] void make_big_garbage() { memory::alloc_bytes(GARBAGE_BIG); }

// Made on a thread of its own, so that no stale word of this thread's stack keeps
// the series alive once it is dropped.
size_t grown_size = 0;
void grow_a_big_series() {
  NodeRef n = memory::alloc_bytes(GARBAGE_BIG);
  while (memory::buffer_of(n)->size < grown_size) memory::expand_series_copy(memory::buffer_of(n), 0);
}

// Big series lie outside the frames, so they run the collector themselves: a big
// allocation collects once the big series made or grown since the last cycle would
// pass its budget (the memory held after that cycle), and not before. So the memory
// held never passes twice the budget, and the budget stays what the live series
// need, however many big series die.
TEST(Collector, BigSeriesCollectOnlyPastTheirBudgetAndStayBounded) {
  TestModesOff modes;
  collect_on_clean_stack();
  const size_t budget = memory::root.big_budget;
  EXPECT_EQ(budget, std::max(memory::root.total, MIN_BIG_BUDGET)) << "what the cycle left held";
  const uint64_t cycles = collector::cycles();
  const size_t one = BUFFER_OVERHEAD + GARBAGE_BIG;

  // Up to three allocations short of the budget: a fourth would pass it.
  for (size_t made = 0; made + 4 * one <= budget; made += one) make_big_garbage();
  EXPECT_EQ(collector::cycles(), cycles) << "a cycle ran before the budget was spent";
  grown_size = budget;
  on_clean_stack(grow_a_big_series);   // one allocation, then growth alone passes the budget
  EXPECT_EQ(collector::cycles(), cycles) << "growing a big series ran a cycle";
  make_big_garbage();
  EXPECT_EQ(collector::cycles(), cycles + 1) << "the allocation past the budget collects";

  // The frames a stale stack word may keep, and the nodes and frames the loop takes.
  const size_t slack = 4 * MAX_FRAME_SIZE;
  for (size_t i = 0; i < 8 * budget / one; i++) {
    make_big_garbage();
    ASSERT_LE(memory::root.total, 2 * memory::root.big_budget + one + slack) << i;
  }
  EXPECT_GT(collector::cycles(), cycles + 2);
  EXPECT_LE(memory::root.big_budget, budget + slack) << "dead big series outlived cycles";
}

// --- NodeRefs held outside cells ---------------------------------------------------------

// Statics are not scanned: these series live only through the root block, a
// marking callback, or the hash-table hook. Every collection below moves every node
// it may move, so a ref that was not kept in place would be stale.
NodeRef in_root_block = 0;
NodeRef by_callback = 0;
void mark_by_callback() { collector::mark_block(by_callback); }

[[gnu::noinline]] void make_statics() {
  Cell text = string_of("in the root block");
  *memory::alloc_tail_cell(runtime::root_block) = text;
  in_root_block = text.w2;
  NodeRef block = memory::alloc_cells(1);
  text = string_of("reached from a callback");
  *memory::alloc_tail_cell(block) = text;
  by_callback = block;
  collector::keep(mark_by_callback);
}

// A table record names its array by NodeRef in raw bytes, as hash tables do.
// Tables other than the test's own (the runtime's symbol and context tables) go to
// the real hook.
int hook_calls = 0;
NodeRef test_table = 0;
void (*real_hook)(NodeRef) = nullptr;
void mark_table(NodeRef table) {
  if (table != test_table) {
    if (real_hook) real_hook(table);
    return;
  }
  hook_calls++;
  NodeRef array;
  std::memcpy(&array, buf(table)->data(), sizeof array);
  if (collector::mark_node(table)) collector::mark_node(array);
}

// Only the hook marks the array, so nothing allocates once the table holds it.
[[gnu::noinline]] NodeRef make_hash_holder() {
  NodeRef holder = memory::alloc_cells(2);
  NodeRef keys[2] = {memory::alloc_cells(1), memory::alloc_cells(1)};
  NodeRef array = memory::alloc_bytes_filled(64, 0x5C);
  NodeRef table = memory::alloc_bytes(sizeof(NodeRef));
  test_table = table;
  std::memcpy(buf(table)->data(), &array, sizeof array);
  for (NodeRef k : keys) *memory::alloc_tail_cell(holder) = Cell{T_HASH, 0, k, table};
  return holder;
}

TEST(Collector, NodesHeldOutsideCellsKeepTheirRef) {
  make_statics();
  auto saved_hook = collector::mark_hashtable;
  real_hook = saved_hook;
  collector::mark_hashtable = mark_table;
  NodeRef holder = make_hash_holder();
  hook_calls = 0;
  collector::collect_moving_all();
  collector::collect_moving_all();
  collector::mark_hashtable = saved_hook;

  Cell root_entry{T_STRING, 0, in_root_block, 0};
  EXPECT_EQ(string::to_utf8(&root_entry), "in the root block");
  EXPECT_EQ(string::to_utf8(buf(by_callback)->cells()), "reached from a callback");
  EXPECT_EQ(hook_calls, 4) << "the hook runs for each table reference";
  NodeRef table = buf(holder)->cells()[0].w3;
  NodeRef array;
  std::memcpy(&array, buf(table)->data(), sizeof array);
  ASSERT_TRUE(memory::is_live_node(array)) << "what the hook marks keeps its ref";
  EXPECT_EQ(buf(array)->data()[63], 0x5C);
  collector::unkeep(mark_by_callback);
  expect_heap_consistent();
}

// --- node-frame compaction ------------------------------------------------------------

NodeRef node_test_root = 0;
void mark_node_test_root() { collector::mark_block(node_test_root); }

int node_frame_count() {
  int n = 0;
  for (NodeFrame* f = memory::root.node_head; f; f = f->next) n++;
  return n;
}

struct StressOff {
  uint32_t saved = collector::stress_every;
  StressOff() { collector::stress_every = 0; }
  ~StressOff() { collector::stress_every = saved; }
};

[[gnu::noinline]] void fill_node_frames(int count) {
  for (int i = 0; i < count; i++) {
    char text[16];
    std::snprintf(text, sizeof text, "s%d", i);
    append_cell(node_test_root, string_of(text));
  }
}

// Keeps every string whose node lies in the middle frames only when its index is
// a multiple of 50, so those frames become sparse.
[[gnu::noinline]] void thin_out_middle_frames(uint32_t first_frame, uint32_t last_frame) {
  SeriesBuffer* b = buf(node_test_root);
  Cell* out = b->cells();
  int index = 0;
  for (Cell* c = b->cells(); c < b->cell_tail(); c++, index++) {
    uint32_t frame = c->w2 >> NODE_FRAME_SHIFT;
    bool middle = frame > first_frame && frame < last_frame;
    if (!middle || index % 50 == 0) *out++ = *c;
  }
  b->tail = uint32_t(reinterpret_cast<uint8_t*>(out) - b->data());
}

int counted_calls = 0;
void count_calls() { counted_calls++; }

TEST(Collector, ACallbackIsRegisteredOnce) {
  collector::keep(count_calls);
  collector::keep(count_calls);
  collector::unkeep(count_calls);
  counted_calls = 0;
  collector::collect_moving_all();
  EXPECT_EQ(counted_calls, 0) << "the second keep added nothing that unkeep left behind";
  // Every start-up registers the runtime's callbacks and sweepers again. The
  // restarts run without the test modes: each start evaluates the library, and
  // what is checked here is registration, not collection.
  test::ChildResult r = test::run_in_child([] {
    unsetenv("ZOL_GC_STRESS");
    unsetenv("ZOL_GC_RANDOM");
    for (int i = 0; i < 40; i++) {
      runtime::cleanup();
      runtime::init();
    }
    std::printf("restarted");
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "restarted");
}

TEST(Collector, SparseNodeFramesAreEmptiedAndCellsFollow) {
  constexpr int COUNT = 4 * NODE_FRAME_CAPACITY;
  StressOff quiet;                           // 40000 allocations: too many for stress mode
  node_test_root = memory::alloc_cells(COUNT);
  collector::keep(mark_node_test_root);
  fill_node_frames(COUNT);
  SeriesBuffer* b = buf(node_test_root);
  uint32_t first = b->cells()[0].w2 >> NODE_FRAME_SHIFT;
  uint32_t last = b->cells()[COUNT - 1].w2 >> NODE_FRAME_SHIFT;
  ASSERT_GE(node_frame_count(), 4);
  thin_out_middle_frames(first, last);
  b = nullptr;
  int frames_before = node_frame_count();
  uint64_t compactions = collector::node_compactions();
  for (int i = 0; i < 10; i++) collect_on_clean_stack();
  EXPECT_GT(collector::node_compactions(), compactions);
  EXPECT_LT(node_frame_count(), frames_before) << "emptied frames are released";
  for (Cell* c = buf(node_test_root)->cells(); c < buf(node_test_root)->cell_tail(); c++) {
    ASSERT_TRUE(memory::is_live_node(c->w2));
    ASSERT_EQ(string::to_utf8(c)[0], 's');
  }
  int index = 0;
  std::set<std::string> texts;
  for (Cell* c = buf(node_test_root)->cells(); c < buf(node_test_root)->cell_tail(); c++, index++)
    texts.insert(string::to_utf8(c));
  EXPECT_EQ(texts.size(), size_t(index)) << "every string kept its own text";
  EXPECT_TRUE(texts.count("s0"));
  expect_heap_consistent();
  collector::unkeep(mark_node_test_root);
}

// --- the end of a frame ------------------------------------------------------------------

// A moving cycle packs the live buffers, in the order it walks the frames, into
// fresh frames of this many data bytes, opening the next one when a buffer does not
// fit.
constexpr size_t FRESH_FRAME_ROOM =
    system::align(sizeof(SeriesFrame) + MAX_FRAME_SIZE, platform::PAGE_SIZE) - sizeof(SeriesFrame);
constexpr size_t SMALLEST_BUFFER = BUFFER_OVERHEAD + 16;
constexpr size_t LARGE_BUFFER = BUFFER_OVERHEAD + 0x40000;

// The room left in the fresh frame being filled once the in-use buffers of the
// frames below `limit` are packed, had a buffer exactly as long as the room fitted.
size_t room_packing_frames_below(const SeriesFrame* limit) {
  size_t room = 0;
  for (SeriesFrame* f = memory::root.series_head; f != limit; f = f->next)
    for (uint8_t* p = f->data(); p < f->top;) {
      auto* b = reinterpret_cast<SeriesBuffer*>(p);
      size_t length = BUFFER_OVERHEAD + b->size;
      if (b->flags & FLAG_IN_USE) room = length <= room ? room - length : FRESH_FRAME_ROOM - length;
      p += length;
    }
  return room;
}

// Lengths of buffers that, packed after `room`, end with one that exactly fills a
// fresh frame. Lengths are 8 more than a multiple of 16.
std::vector<size_t> lengths_filling_a_frame(size_t room) {
  std::vector<size_t> lengths;
  for (;;) {
    size_t length = SMALLEST_BUFFER;
    if (room >= SMALLEST_BUFFER && room % 16 == 8 && room <= LARGE_BUFFER) length = room;
    else if (room > LARGE_BUFFER + SMALLEST_BUFFER) length = LARGE_BUFFER;
    lengths.push_back(length);
    if (length == room) return lengths;
    room = length <= room ? room - length : FRESH_FRAME_ROOM - length;
  }
}

// The address just past a frame's last buffer must lie inside the frame: when the
// frame is full it is the first byte of whatever is mapped next (a big series'
// header, another frame), an address the memory manager's own code holds, and the
// stack scan took it for a pointer to the end of that buffer, pinning the buffer
// and keeping its whole frame, mostly a dead filler, after a moving cycle.
TEST(Collector, AMovingCycleNeverFillsAFrameToItsLastByte) {
  on_clean_stack([] { collector::collect_moving_all(); });
  int saved_switch = collector::enabled;
  collector::enabled = 2;   // no cycle while the layout is set up
  SeriesFrame* frame = memory::new_series_frame_of(uint32_t(MAX_FRAME_SIZE + 2 * LARGE_BUFFER));
  std::vector<size_t> lengths = lengths_filling_a_frame(room_packing_frames_below(frame));
  size_t total = 0;
  for (size_t length : lengths) total += length;
  ASSERT_LT(total, memory::frame_room(frame));
  memory::root.series_current = frame;
  std::vector<Cell> kept(lengths.size());
  test::HeldCells held(kept.data(), kept.size());
  uint8_t* at = frame->data();
  for (size_t i = 0; i < lengths.size(); i++) {
    kept[i] = Cell{T_BINARY, 0, memory::alloc_bytes(int64_t(lengths[i] - BUFFER_OVERHEAD)), 0};
    ASSERT_EQ(reinterpret_cast<uint8_t*>(buf(kept[i].w2)), at) << "the buffers follow each other";
    at += lengths[i];
  }
  collector::enabled = saved_switch;

  on_clean_stack([] { collector::collect_moving_all(); });
  for (SeriesFrame* f = memory::root.series_head; f; f = f->next)
    EXPECT_LT(f->top, f->end) << "a frame is filled to its last byte";
  expect_heap_consistent();
}

// --- statistics ---------------------------------------------------------------------

TEST(MemoryStats, FiguresReconcileWithTheFrameLists) {
  NodeRef result = memory::alloc_cells(8);
  double mode_one = memory::stats(0, 1);
  double in_use = memory::stats(result, 2);
  EXPECT_EQ(mode_one, in_use) << "both modes answer the bytes in use";
  SeriesBuffer* r = buf(result);
  ASSERT_EQ(r->length(), 5u);
  Cell* report = r->cells();
  for (int i = 0; i < 3; i++) ASSERT_EQ(report[i].type(), T_BLOCK);
  EXPECT_EQ(report[3].type(), T_INTEGER);
  EXPECT_EQ(report[4].type(), T_INTEGER);
  EXPECT_EQ(cell::get_int(&report[4]), int32_t(system::tracked_bytes()));

  // Sum the per-frame figures and compare with the total in use.
  double summed = 0;
  int node_frames = 0, series_frames = 0;
  SeriesBuffer* nodes = buf(report[0].w2);
  for (Cell* c = nodes->cells(); c < nodes->cell_tail(); c++, node_frames++) {
    Cell* t = buf(c->w2)->cells();
    EXPECT_EQ(cell::get_int(&t[0]) + cell::get_int(&t[1]), cell::get_int(&t[2]));
    EXPECT_TRUE(cell::new_line(c));
    summed += cell::get_int(&t[1]) * double(sizeof(uintptr_t));
  }
  SeriesBuffer* frames = buf(report[1].w2);
  for (Cell* c = frames->cells(); c < frames->cell_tail(); c++, series_frames++) {
    Cell* t = buf(c->w2)->cells();
    EXPECT_EQ(cell::get_int(&t[0]) + cell::get_int(&t[1]), cell::get_int(&t[2]));
    summed += cell::get_int(&t[1]);
  }
  SeriesBuffer* bigs = buf(report[2].w2);
  for (Cell* c = bigs->cells(); c < bigs->cell_tail(); c++) summed += cell::get_int(c);
  EXPECT_EQ(summed, in_use);

  int listed_nodes = 0, listed_frames = 0;
  for (NodeFrame* f = memory::root.node_head; f; f = f->next) listed_nodes++;
  for (SeriesFrame* f = memory::root.series_head; f; f = f->next) listed_frames++;
  EXPECT_EQ(node_frames, listed_nodes);
  EXPECT_EQ(series_frames, listed_frames);
}

}  // namespace
}  // namespace zol
