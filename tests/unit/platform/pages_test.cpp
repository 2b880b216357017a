// Page blocks for the memory manager: resizing keeps the contents, and a resize
// asked to move leaves nothing mapped at the old place.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/platform.h"

namespace zol {
namespace {

constexpr size_t PAGE = platform::PAGE_SIZE;

uint8_t byte_at(size_t i) { return uint8_t(i * 13 + 5); }

void write_pattern(void* block, size_t bytes) {
  auto* p = static_cast<uint8_t*>(block);
  for (size_t i = 0; i < bytes; i++) p[i] = byte_at(i);
}

// How many bytes from the start hold the pattern (stops at the first other byte).
size_t pattern_length(const void* block, size_t bytes) {
  auto* p = static_cast<const uint8_t*>(block);
  size_t i = 0;
  while (i < bytes && p[i] == byte_at(i)) i++;
  return i;
}

// msync fails with ENOMEM on a range with no mapping.
bool mapped(const void* address) {
  auto* page = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(address) & ~uintptr_t(PAGE - 1));
  return msync(page, PAGE, MS_ASYNC) == 0 || errno != ENOMEM;
}

TEST(PlatformPages, ResizingKeepsTheContentsAndMovingLeavesTheOldPlaceUnmapped) {
  struct Case { const char* what; size_t from_pages, to_pages; bool move; };
  const Case cases[] = {
      {"grown where the kernel likes", 3, 700, false},
      {"grown to a fresh place", 3, 700, true},
      {"shrunk to a fresh place", 600, 2, true},
  };
  for (const Case& c : cases) {
    size_t from = c.from_pages * PAGE, to = c.to_pages * PAGE;
    void* block = platform::allocate_pages(from);
    ASSERT_NE(block, nullptr) << c.what;
    write_pattern(block, from);
    void* resized = platform::resize_pages(block, from, to, c.move);
    ASSERT_NE(resized, nullptr) << c.what;
    EXPECT_EQ(pattern_length(resized, to), std::min(from, to)) << c.what;
    static_cast<uint8_t*>(resized)[to - 1] = 1;   // the whole new size is writable
    if (c.move) {
      EXPECT_NE(resized, block) << c.what;
      EXPECT_FALSE(mapped(block)) << c.what << ": a pointer kept into the old place faults";
    }
    EXPECT_TRUE(platform::free_pages(resized, to)) << c.what;
  }
}

}  // namespace
}  // namespace zol
