// hash!: a long random run of edits (inserts, removes, changes, moves, swaps,
// reverses, sorts, trims, takes and clears, each from a random position), after each of
// which every value and every start position is looked up through the table and
// through find, and checked against a plain scan of the block's cells.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/hashtable/hashtable.h"
#include "support.h"

namespace zol {
namespace {

// Values with repeats and case variants, so that buckets hold duplicate groups.
const std::vector<std::string> VALUES = {"1", "2", "3", "7", "\"a\"", "\"A\"", "\"b\"",
                                         "'w", "'W", "3.5", "#(none)"};

struct Generator {
  std::mt19937 random{20};
  int below(int n) { return int(random() % uint32_t(n)); }
  const std::string& value() { return VALUES[size_t(below(int(VALUES.size())))]; }
  std::string at() { return "(at h " + std::to_string(below(12) + 1) + ")"; }
  std::string count() { return std::to_string(below(4) + 1); }

  // One edit of the hash! held by the word h, as source text.
  std::string edit() {
    switch (below(18)) {
      case 0: return "append h " + value();
      case 1: return "append h [" + value() + " " + value() + "]";
      case 2: return "insert " + at() + " " + value();
      case 3: return "insert/dup " + at() + " " + value() + " " + count();
      case 4: return "remove " + at();
      case 5: return "remove/part " + at() + " " + count();
      case 6: return "change " + at() + " " + value();
      case 7: return "poke h " + std::to_string(below(8) + 1) + " " + value();
      case 8: return "move/part " + at() + " " + at() + " " + count();
      case 9: return "swap " + at() + " " + at();
      case 10: return "reverse " + at();
      case 11: return "sort h";
      case 12: return "sort/reverse " + at();
      case 13: return "take/last h";
      case 14: return "take/part " + at() + " " + count();
      case 15: return "trim h";
      case 16: return "sort/skip h 2";
      default: return below(4) == 0 ? "clear h" : "clear " + at();
    }
  }
};

// The first cell at or after `start` equal to `key` by a scan, or -1.
int32_t scanned(const Cell& h, const Cell& key, int32_t start) {
  SeriesBuffer* b = block::buffer(&h);
  for (int32_t i = start; i < int32_t(b->length()); i++)
    if (actions::compare_typed(b->cells() + i, &key, C_EQUAL) == 0) return i;
  return -1;
}

int32_t through_table(const Cell& h, const Cell& key, int32_t start) {
  Cell* found = hashtable::get(block::hash_table(&h), &key, start);
  return found ? int32_t(found - block::buffer(&h)->cells()) : -1;
}

void expect_true_table(const Cell& h, const std::string& after) {
  int32_t n = int32_t(block::buffer(&h)->length());
  ASSERT_EQ(hashtable::record(block::hash_table(&h))->size, n) << after;
  for (const std::string& text : VALUES) {
    Cell key = test::eval_value(text);
    for (int32_t start = 0; start <= n; start++)
      ASSERT_EQ(through_table(h, key, start), scanned(h, key, start))
          << after << ": " << text << " from " << start;
    // find goes through the table too.
    std::string found = test::eval("either f: find h " + text + " [index? f] [0]");
    EXPECT_EQ(found, std::to_string(scanned(h, key, 0) + 1)) << after << ": find " << text;
  }
}

TEST(HashRandom, EveryValueIsFoundAfterEachEdit) {
  test::eval("h: make hash! [1 2 3 \"a\" 'w]");
  Generator generate;
  std::string history;
  for (int step = 0; step < 400; step++) {
    std::string edit = generate.edit();
    history += edit + "\n";
    test::eval(edit);
    Cell h = test::eval_value("h");
    expect_true_table(h, history);
    if (testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace zol
