// The memory manager: buffer sizes, offsets, expansion, copying, nodes, big series
// and refusals of impossible sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "support.h"

namespace zol {
namespace {

SeriesBuffer* buf(NodeRef n) { return memory::buffer_of(n); }

TEST(Memory, AllocationSizesFollowTheRules) {
  struct Case { const char* what; NodeRef node; uint32_t size; uint32_t unit; };
  const Case cases[] = {
      {"bytes 0 means 16", memory::alloc_bytes(0), 16, 1},
      {"5 bytes round up to 16", memory::alloc_bytes(5), 16, 1},
      {"17 bytes round up to 32", memory::alloc_bytes(17), 32, 1},
      {"3 cells are 48 bytes", memory::alloc_cells(3), 48, 16},
      {"codepoints 0 of unit 2 are 8 units", memory::alloc_codepoints(0, 2), 16, 2},
      {"codepoints 0 of unit 4 are 4 units", memory::alloc_codepoints(0, 4), 16, 4},
      {"codepoints 5 of unit 4", memory::alloc_codepoints(5, 4), 32, 4},
  };
  for (const Case& c : cases) {
    SeriesBuffer* b = buf(c.node);
    EXPECT_EQ(b->size, c.size) << c.what;
    EXPECT_EQ(b->unit(), c.unit) << c.what;
    EXPECT_EQ(b->node, c.node) << c.what;
    EXPECT_TRUE(b->flags & FLAG_IN_USE) << c.what;
    EXPECT_TRUE(b->flags & FLAG_ALLOCATED) << c.what;
    EXPECT_EQ(b->offset, b->tail) << c.what << ": new series are empty";
    EXPECT_FALSE(memory::is_big(b)) << c.what;
  }
}

TEST(Memory, MiddleOffsetLeavesRoomAtBothEnds) {
  SeriesBuffer* b = buf(memory::alloc_series(8, 16, -1));
  EXPECT_EQ(b->offset, 64u);
  EXPECT_EQ(b->tail, 64u);
  EXPECT_TRUE(b->flags & FLAG_MIDDLE);
  EXPECT_TRUE(b->flags & FLAG_ALLOCATED);
  SeriesBuffer* odd = buf(memory::alloc_series(3, 16, -1));   // 48 bytes: stays on a cell
  EXPECT_EQ(odd->offset % 16, 0u);
}

TEST(Memory, UnsetCellsFillTheWholeArea) {
  SeriesBuffer* b = buf(memory::alloc_unset_cells(5));
  auto* c = reinterpret_cast<Cell*>(b->data());
  for (uint32_t i = 0; i < b->size / 16; i++) EXPECT_EQ(c[i].header, uint32_t(T_UNSET));
  EXPECT_EQ(b->tail, b->offset);
  SeriesBuffer* f = buf(memory::alloc_bytes_filled(20, 0xAB));
  for (uint32_t i = 0; i < f->size; i++) EXPECT_EQ(f->data()[i], 0xAB);
}

TEST(Memory, BuffersAtTheFrameLimitBecomeBigSeries) {
  // 2 MB minus the header is just under the limit; one more unit reaches it.
  uint32_t just_below = MAX_FRAME_SIZE - BUFFER_OVERHEAD - 16;
  SeriesBuffer* small = buf(memory::alloc_bytes(just_below));
  EXPECT_FALSE(memory::is_big(small));
  NodeRef big_node = memory::alloc_bytes(just_below + 16);
  SeriesBuffer* big = buf(big_node);
  EXPECT_TRUE(memory::is_big(big));
  big->data()[big->size - 1] = 7;                 // the whole area is usable
  memory::free_big_series(big);
  memory::free_node(big_node);
}

TEST(Memory, ExpansionKeepsContentAndNode) {
  for (uint32_t unit : {1u, 2u, 4u, 16u}) {
    NodeRef n = memory::alloc_series(4, unit, 0);
    SeriesBuffer* b = buf(n);
    uint32_t old_size = b->size;
    for (uint32_t i = 0; i < old_size; i++) b->data()[i] = uint8_t(i + 1);
    b->offset = unit;                              // content not at the start
    b->tail = old_size;
    SeriesBuffer* nb = memory::expand_series_copy(b, 0);
    EXPECT_EQ(buf(n), nb);
    EXPECT_EQ(nb->size, old_size * 2) << unit;
    EXPECT_EQ(nb->offset, 0u) << "content moves to the data start";
    EXPECT_EQ(nb->tail, old_size - unit);
    EXPECT_EQ(nb->unit(), unit);
    for (uint32_t i = 0; i < old_size - unit; i++) ASSERT_EQ(nb->data()[i], uint8_t(i + 1 + unit));
  }
}

TEST(Memory, ExpansionToAGivenSizeAndFilled) {
  NodeRef n = memory::alloc_bytes(16);
  SeriesBuffer* b = buf(n);
  std::memset(b->data(), 1, 16);
  b->tail = 16;
  SeriesBuffer* nb = memory::expand_series_filled(b, 64, 9);
  EXPECT_EQ(nb->size, 64u);
  EXPECT_EQ(nb->data()[15], 1);
  EXPECT_EQ(nb->data()[16], 9);
  EXPECT_EQ(nb->data()[63], 9);
  SeriesBuffer* plain = memory::expand_series(nb, 0);
  EXPECT_EQ(plain->size, 128u);
  EXPECT_EQ(plain->tail - plain->offset, 16u) << "length is kept even without the copy";
}

TEST(Memory, ExpansionOfBigSeriesFreesTheOldOne) {
  NodeRef n = memory::alloc_bytes(MAX_FRAME_SIZE);
  SeriesBuffer* b = buf(n);
  b->data()[0] = 42;
  b->tail = 1;
  SeriesBuffer* nb = memory::expand_series_copy(b, 0);
  EXPECT_TRUE(memory::is_big(nb));
  EXPECT_EQ(nb->data()[0], 42);
  EXPECT_EQ(nb->tail, 1u);
  memory::free_big_series(nb);
  memory::free_node(n);
}

int big_series_count() {
  int n = 0;
  for (BigSeries* b = memory::root.big_head; b; b = b->next) n++;
  return n;
}

bool big_list_holds(const SeriesBuffer* buffer) {
  for (BigSeries* b = memory::root.big_head; b; b = b->next)
    if (b->buffer() == buffer) return true;
  return false;
}

uint8_t pattern_byte(uint32_t i) { return uint8_t(i * 7 + 1); }

// A big series grows in its own pages: whatever the unit, offset and new size, the
// content from the offset moves to the data start as after a copy, the node and the
// series' place in the big-series list follow it, and the series listed before and
// after it stay listed and readable.
TEST(Memory, ABigSeriesGrowsKeepingItsContentNodeAndNeighbours) {
  struct Case { const char* what; uint32_t unit; uint32_t offset_units; int64_t new_size; bool filled; };
  const Case cases[] = {
      {"bytes doubled", 1, 0, 0, false},
      {"cells doubled", 16, 0, 0, false},
      {"cells from an offset", 16, 5, 0, false},
      {"bytes to a size not a multiple of 16", 1, 3, int64_t(MAX_FRAME_SIZE) * 3 + 5, false},
      {"wide characters filled past the old size", 4, 2, int64_t(MAX_FRAME_SIZE) * 4, true},
  };
  for (const Case& c : cases) {
    NodeRef before = memory::alloc_bytes_filled(MAX_FRAME_SIZE, 0xB1);
    NodeRef n = memory::alloc_series(MAX_FRAME_SIZE / c.unit, c.unit, 0);
    NodeRef after = memory::alloc_bytes_filled(MAX_FRAME_SIZE, 0xA1);
    int listed = big_series_count();
    SeriesBuffer* b = buf(n);
    ASSERT_TRUE(memory::is_big(b)) << c.what;
    uint32_t old_size = b->size;
    for (uint32_t i = 0; i < old_size; i++) b->data()[i] = pattern_byte(i);
    b->offset = c.offset_units * c.unit;
    b->tail = old_size - c.unit;
    SeriesBuffer* nb = c.filled ? memory::expand_series_filled(b, c.new_size, 0xEE)
                                : memory::expand_series_copy(b, c.new_size);
    uint32_t expected_size = c.new_size ? uint32_t((c.new_size / c.unit * c.unit + 15) / 16 * 16)
                                        : old_size * 2;
    EXPECT_EQ(buf(n), nb) << c.what;
    EXPECT_EQ(nb->node, n) << c.what;
    EXPECT_TRUE(memory::is_big(nb)) << c.what;
    EXPECT_EQ(nb->size, expected_size) << c.what;
    EXPECT_EQ(nb->unit(), c.unit) << c.what;
    EXPECT_EQ(nb->offset, 0u) << c.what;
    EXPECT_EQ(nb->tail, old_size - c.unit - c.offset_units * c.unit) << c.what;
    uint32_t kept = old_size - c.offset_units * c.unit;
    for (uint32_t i = 0; i < kept; i++)
      ASSERT_EQ(nb->data()[i], pattern_byte(i + c.offset_units * c.unit)) << c.what << " at " << i;
    if (c.filled)
      for (uint32_t i = old_size; i < nb->size; i++) ASSERT_EQ(nb->data()[i], 0xEE) << c.what << " at " << i;
    nb->data()[nb->size - 1] = 7;   // the whole new area is usable
    EXPECT_EQ(big_series_count(), listed) << c.what << ": growing adds no series";
    EXPECT_TRUE(big_list_holds(nb)) << c.what;
    for (NodeRef neighbour : {before, after}) {
      EXPECT_TRUE(big_list_holds(buf(neighbour))) << c.what;
      EXPECT_EQ(buf(neighbour)->data()[MAX_FRAME_SIZE - 1], neighbour == before ? 0xB1 : 0xA1) << c.what;
    }
    for (NodeRef freed : {n, before, after}) {
      memory::free_big_series(buf(freed));
      memory::free_node(freed);
    }
    EXPECT_EQ(big_series_count(), listed - 3) << c.what << ": each is found to be freed";
  }
}

TEST(Memory, CopySeriesCopiesFromTheOffset) {
  NodeRef n = memory::alloc_series(8, 4, 0);
  SeriesBuffer* b = buf(n);
  for (uint32_t i = 0; i < 32; i++) b->data()[i] = uint8_t(i);
  b->offset = 8;
  b->tail = 20;
  SeriesBuffer* c = buf(memory::copy_series(b));
  EXPECT_EQ(c->size, 32u);
  EXPECT_EQ(c->unit(), 4u);
  EXPECT_EQ(c->offset, 0u);
  EXPECT_EQ(c->tail, 12u);
  EXPECT_EQ(c->data()[0], 8);
  EXPECT_EQ(c->data()[23], 31);
}

TEST(Memory, TailReservationGrows) {
  NodeRef n = memory::alloc_cells(1);
  Cell* first = memory::alloc_tail_cell(n);
  EXPECT_EQ(first->header, uint32_t(T_UNSET));
  first->header = T_INTEGER;
  Cell* second = memory::alloc_tail_cell(n);      // full: doubles
  EXPECT_EQ(second->header, uint32_t(T_UNSET));
  EXPECT_EQ(buf(n)->size, 32u);
  EXPECT_EQ(buf(n)->cells()[0].header, uint32_t(T_INTEGER));
  EXPECT_EQ(buf(n)->length(), 2u);

  NodeRef bytes = memory::alloc_bytes(16);
  memory::alloc_tail_bytes(bytes, 10);
  uint8_t* at = memory::alloc_tail_bytes(bytes, 40);  // larger than the area: 2n
  EXPECT_EQ(buf(bytes)->size, 80u);
  EXPECT_EQ(at, buf(bytes)->data() + 10);
  EXPECT_EQ(buf(bytes)->used_bytes(), 50u);
}

TEST(Memory, NodesAreReusedAfterFree) {
  NodeRef a = memory::alloc_node();
  memory::free_node(a);
  NodeRef b = memory::alloc_node();
  EXPECT_EQ(a, b) << "a freed node is the first to be taken again";
  memory::free_node(b);
  memory::free_node(b);                           // a second free is ignored
  EXPECT_FALSE(memory::is_live_node(b));
  EXPECT_FALSE(memory::is_live_node(0));
  EXPECT_FALSE(memory::is_live_node(0xFFFFFFFFu));
}

TEST(Memory, ManyNodesSpanSeveralFrames) {
  std::vector<NodeRef> nodes;
  for (uint32_t i = 0; i < NODE_FRAME_CAPACITY * 2 + 5; i++) nodes.push_back(memory::alloc_node());
  std::sort(nodes.begin(), nodes.end());
  EXPECT_EQ(std::adjacent_find(nodes.begin(), nodes.end()), nodes.end()) << "all distinct";
  for (NodeRef n : nodes) {
    memory::set_buffer(n, reinterpret_cast<SeriesBuffer*>(uintptr_t(8)));
    EXPECT_TRUE(memory::is_live_node(n));
  }
  // The stack scan reads each half of an 8-byte word as a possible ref: no live ref
  // may equal the upper half of a user-space address (below 0x8000), or a heap
  // pointer kept on the stack would hold some node alive at random.
  EXPECT_GE(nodes.front(), 0x8000u) << "no ref below the upper half of user-space addresses";
  EXPECT_FALSE(memory::is_live_node(0x5600u));
  // Nor a multiple of 16384, as round sizes (1 MB, 8 MB) kept on the stack are.
  for (NodeRef n : nodes) EXPECT_NE(n % NODE_FRAME_STRIDE, 0u) << n;
  for (NodeRef n : nodes) {
    memory::set_buffer(n, nullptr);
    memory::free_node(n);
  }
}

TEST(Memory, ImpossibleSizesRaiseNoMemory) {
  const std::string no_memory = test::error_name(err::internal::NO_MEMORY);
  EXPECT_EQ(test::raised([] { memory::alloc_cells(-1); }), no_memory);
  EXPECT_EQ(test::raised([] { memory::alloc_cells(int64_t(1) << 40); }), no_memory);
  EXPECT_EQ(test::raised([] { memory::alloc_series(0x40000000, 4, 0); }), no_memory);
  EXPECT_EQ(test::raised([] { memory::alloc_bytes(int64_t(MAX_DATA_SIZE) + 1); }), no_memory);
  NodeRef n = memory::alloc_bytes(16);
  EXPECT_EQ(test::raised([&] { memory::expand_series(buf(n), -5); }), no_memory);
  EXPECT_EQ(test::raised([&] { memory::expand_series(buf(n), int64_t(1) << 33); }), no_memory);
  EXPECT_EQ(buf(n)->node, n) << "a refused expansion leaves the series alone";
}

TEST(Memory, FramesStayInAddressOrder) {
  for (int i = 0; i < 4; i++) memory::alloc_bytes(600000);
  for (SeriesFrame* f = memory::root.series_head; f && f->next; f = f->next) EXPECT_LT(f, f->next);
  EXPECT_LE(memory::root.current_frame_size, MAX_FRAME_SIZE);
}

}  // namespace
}  // namespace zol
