// The sort engine: both sorts against std::sort over shapes of input, stability of
// the merge sort, the fast paths for runs, odd widths and a comparator that raises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/numeric/sort.h"
#include "support.h"

namespace zol {
namespace {

struct Item {
  int32_t key;
  int32_t seq;   // original position, to check stability
};

long comparisons = 0;

int32_t by_key(const void* a, const void* b, intptr_t descending, intptr_t) {
  comparisons++;
  int32_t x, y;
  std::memcpy(&x, a, 4);
  std::memcpy(&y, b, 4);
  int32_t r = x < y ? -1 : x > y ? 1 : 0;
  return descending ? -r : r;
}

using SortFn = sort::Outcome (*)(void*, size_t, size_t, intptr_t, intptr_t, sort::Comparator);

std::vector<Item> make_input(const std::string& shape, size_t n, std::mt19937& rng) {
  std::vector<Item> v(n);
  for (size_t i = 0; i < n; i++) {
    int32_t k;
    if (shape == "random") {
      k = int32_t(rng());
    } else if (shape == "few") {
      k = int32_t(rng() % 4);
    } else if (shape == "sorted") {
      k = int32_t(i);
    } else if (shape == "reversed") {
      k = int32_t(n - i);
    } else if (shape == "organ") {
      k = int32_t(i < n / 2 ? i : n - i);
    } else {  // "mixed"
      k = int32_t(i % 2 ? i : rng() % 1000);
    }
    v[i] = Item{k, int32_t(i)};
  }
  return v;
}

TEST(SortEngine, BothSortsAgreeWithStdSort) {
  std::mt19937 rng(1234);
  for (SortFn fn : {SortFn(sort::qsort), SortFn(sort::mergesort)}) {
    for (const char* shape : {"random", "few", "sorted", "reversed", "organ", "mixed"}) {
      for (size_t n : {0u, 1u, 2u, 7u, 8u, 23u, 24u, 25u, 100u, 1000u, 20000u}) {
        auto v = make_input(shape, n, rng);
        auto expected = v;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const Item& a, const Item& b) { return a.key < b.key; });
        fn(v.data(), n, sizeof(Item), 0, 0, by_key);
        for (size_t i = 0; i < n; i++) ASSERT_EQ(v[i].key, expected[i].key) << shape << " n=" << n;
        if (fn == SortFn(sort::mergesort)) {
          for (size_t i = 0; i < n; i++) ASSERT_EQ(v[i].seq, expected[i].seq) << "stable " << shape;
        }
      }
    }
  }
}

TEST(SortEngine, ArgumentsReachTheComparator) {
  std::vector<Item> v{{1, 0}, {3, 1}, {2, 2}};
  sort::mergesort(v.data(), v.size(), sizeof(Item), 1, 0, by_key);
  EXPECT_EQ(v[0].key, 3);
  EXPECT_EQ(v[2].key, 1);
}

TEST(SortEngine, RunsTakeTheFastPaths) {
  std::mt19937 rng(1);
  auto descending = make_input("reversed", 100, rng);
  comparisons = 0;
  sort::mergesort(descending.data(), 100, sizeof(Item), 0, 0, by_key);
  EXPECT_EQ(comparisons, 99) << "one descending run: reversed, never merged";
  EXPECT_EQ(descending.front().key, 1);

  auto sorted = make_input("sorted", 10000, rng);
  comparisons = 0;
  sort::qsort(sorted.data(), 10000, sizeof(Item), 0, 0, by_key);
  EXPECT_EQ(comparisons, 9999) << "already sorted input is recognised";
}

int32_t by_first_byte(const void* a, const void* b, intptr_t, intptr_t) {
  return int32_t(*static_cast<const uint8_t*>(a)) - int32_t(*static_cast<const uint8_t*>(b));
}

TEST(SortEngine, OddWidthsMoveWholeElements) {
  // 3-byte elements: key byte then two payload bytes that must travel with it.
  for (SortFn fn : {SortFn(sort::qsort), SortFn(sort::mergesort)}) {
    std::vector<uint8_t> data;
    for (int i = 0; i < 50; i++) {
      uint8_t key = uint8_t((i * 37) % 50);
      data.insert(data.end(), {key, uint8_t(key + 1), uint8_t(key + 2)});
    }
    fn(data.data(), 50, 3, 0, 0, by_first_byte);
    for (int i = 0; i < 50; i++) {
      ASSERT_EQ(data[i * 3], i);
      ASSERT_EQ(data[i * 3 + 1], i + 1);
      ASSERT_EQ(data[i * 3 + 2], i + 2);
    }
  }
  uint8_t a[3] = {1, 2, 3}, b[3] = {4, 5, 6};
  sort::swap(a, b, 3, true);
  EXPECT_EQ(a[2], 6);
  EXPECT_EQ(b[0], 1);
}

long calls_before_error = 0;

int32_t raising(const void* a, const void* b, intptr_t, intptr_t) {
  if (--calls_before_error == 0) fire(err::math::ZERO_DIVIDE);
  return by_key(a, b, 0, 0);
}

TEST(SortEngine, AComparatorErrorUnwindsCleanly) {
  std::mt19937 rng(7);
  for (SortFn fn : {SortFn(sort::qsort), SortFn(sort::mergesort)}) {
    auto v = make_input("random", 500, rng);
    calls_before_error = 50;
    EXPECT_EQ(test::raised([&] { fn(v.data(), v.size(), sizeof(Item), 0, 0, raising); }),
              test::error_name(err::math::ZERO_DIVIDE));
    std::vector<int32_t> seqs;
    for (const Item& it : v) seqs.push_back(it.seq);
    std::sort(seqs.begin(), seqs.end());
    for (int32_t i = 0; i < 500; i++) ASSERT_EQ(seqs[size_t(i)], i) << "elements intact";
  }
}

}  // namespace
}  // namespace zol
