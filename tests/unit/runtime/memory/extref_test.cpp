// The external-reference table: slots, growth, release handlers, and the sweep
// that releases what no live value holds any more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "runtime/collector/collector.h"
#include "runtime/core/error.h"
#include "runtime/memory/extref.h"
#include "runtime/memory/memory.h"
#include "support.h"

namespace zol {
namespace {

std::map<uintptr_t, int> released;
void note_release(uintptr_t value) { released[value]++; }

uint32_t test_handler() {
  static int handler = extref::register_handler(7, note_release);
  return uint32_t(handler);
}

TEST(ExternalReferences, GrowthKeepsEveryIndex) {
  int32_t capacity = extref::capacity();
  std::vector<int32_t> slots;
  for (uintptr_t v = 1; extref::capacity() == capacity; v++) slots.push_back(extref::alloc(0x1000 + v, 0));
  EXPECT_EQ(extref::capacity(), capacity * 2);
  std::set<int32_t> distinct(slots.begin(), slots.end());
  EXPECT_EQ(distinct.size(), slots.size());
  for (size_t i = 0; i < slots.size(); i++) ASSERT_EQ(extref::value(slots[i]), 0x1001 + i);
  for (int32_t s : slots) extref::free(s, false);
}

TEST(ExternalReferences, ReleaseRunsOnlyWhenAValueIsGivenUp) {
  released.clear();
  int32_t s = extref::alloc(100, test_handler());
  extref::set(s, 100);
  EXPECT_EQ(released[100], 0) << "setting the same value releases nothing";
  extref::set(s, 101);
  EXPECT_EQ(released[100], 1) << "the replaced value is released";
  extref::free(s, false);
  EXPECT_EQ(released[101], 0) << "a free without release";
  EXPECT_EQ(extref::value(s), 0u);

  int32_t t = extref::alloc(102, test_handler());
  extref::free(t, true);
  extref::free(t, true);
  EXPECT_EQ(released[102], 1) << "a second free of the same slot does nothing";
  int32_t plain = extref::alloc(103, 0);
  extref::free(plain, true);
  EXPECT_EQ(released[103], 0) << "a slot without a handler releases nothing";
}

TEST(ExternalReferences, ForEachVisitsTheHandlersSlots) {
  int32_t a = extref::alloc(201, test_handler());
  int32_t b = extref::alloc(202, 0);
  static std::vector<uintptr_t> seen;
  seen.clear();
  extref::for_each(int(test_handler()), [](uintptr_t v) { seen.push_back(v); });
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 201u), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 202u), 0);
  extref::free(a, false);
  extref::free(b, false);
}

// A handle! cell names its slot in word 3.
void append_handle(NodeRef block, int32_t slot) {
  *memory::alloc_tail_cell(block) = Cell{T_HANDLE, 0, 0, uint32_t(slot)};
}

TEST(ExternalReferences, SweepReleasesWhatNoLiveValueHolds) {
  std::thread([] { collector::collect(); }).join();   // earlier tests' garbage goes first
  released.clear();
  NodeRef holder = memory::alloc_cells(4);
  append_handle(holder, extref::alloc(301, test_handler()));
  append_handle(holder, extref::alloc(302, test_handler()));
  int32_t unheld = extref::alloc(303, test_handler());
  collector::collect();
  collector::collect();
  EXPECT_EQ(released[301], 0);
  EXPECT_EQ(released[302], 0);
  EXPECT_EQ(released[303], 1) << "released once, by the first sweep";
  EXPECT_EQ(extref::value(unheld), 0u);
  EXPECT_EQ(extref::alloc(304, 0), unheld) << "the released slot is taken first";
  extref::free(unheld, false);

  memory::buffer_of(holder)->tail = 0;      // drop both handles
  collector::collect();
  EXPECT_EQ(released[301], 1);
  EXPECT_EQ(released[302], 1);
}

TEST(ExternalReferences, HandlerTableIsBounded) {
  auto r = test::run_in_child([] {
    std::string outcome;
    for (int i = 0; i <= extref::MAX_HANDLERS && outcome.empty(); i++)
      outcome = test::raised([] { extref::register_handler(0, note_release); });
    std::printf("%s", outcome.c_str());
  });
  EXPECT_EQ(r.out, test::error_name(err::internal::LIMIT_HIT));
}

}  // namespace
}  // namespace zol
