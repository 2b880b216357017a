// Sorting blocks (records, fields, case, direction, stability, part) and the set
// operations.
#include <gtest/gtest.h>

#include <functional>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

using test::show;
using test::value;

Cell I(int32_t n) { return values::integer(n); }

using Sort = SortOptions;

// The whole block after sorting it from `head`, or the error.
std::string sorted(const char* text, Sort s = {}, int32_t head = 0) {
  Cell blk = value(text);
  series_cell::set_head(&blk, head);
  std::string e = test::raised([&] {
    Cell b = blk;
    actions::sort_typed(&b, s);
  });
  if (!e.empty()) return "error " + e;
  series_cell::set_head(&blk, 0);
  return test::mold(blk);
}

TEST(BlockSort, OrdersRecordsByTheirFields) {
  const Cell two = I(2), three = I(3), zero = I(0), minus_two = I(-2), word = value("w");
  const std::string refine_arg = "error " + test::error_name(err::script::INVALID_REFINE_ARG);
  const std::string bad_refines = "error " + test::error_name(err::script::BAD_REFINES);
  struct Case {
    const char* text;
    Sort how;
    int32_t head;
    std::string expected;
  };
  const Case cases[] = {
      {"[3 1 2]", {}, 0, "[1 2 3]"},
      {"[3 1 2]", {.reverse = true}, 0, "[3 2 1]"},
      {"[b a C B A c]", {.stable = true}, 0, "[a A b B C c]"},
      {"[b a C B A c]", {.case_ = true}, 0, "[A B C a b c]"},
      {"[b 2 a 1 c 0]", {.skip = &two}, 0, "[a 1 b 2 c 0]"},
      {"[b 2 a 1 c 0]", {.skip = &two, .compare = &two}, 0, "[c 0 a 1 b 2]"},
      {"[a 2 a 1 b 0]", {.skip = &two, .all = true}, 0, "[a 1 a 2 b 0]"},
      {"[b 1 a 2 b 3 a 4]", {.skip = &two, .compare = &zero}, 0,
       "error " + test::error_name(err::script::OUT_OF_RANGE)},
      {"[b 1 a 2 b 3 a 4]", {.skip = &two, .stable = true}, 0, "[a 2 a 4 b 1 b 3]"},
      {"[b 1 a 2 b 3 a 4]", {.skip = &two, .reverse = true, .stable = true}, 0, "[b 1 b 3 a 2 a 4]"},
      {"[4 3 2 1]", {.part = &two}, 1, "[4 2 3 1]"},
      {"[4 3 2 1]", {.part = &minus_two}, 2, "[3 4 2 1]"},
      {"[a 1 [x] b 0]", {}, 0, "[[x] 0 1 a b]"},
      {"[1 2 3 4 5]", {.skip = &two}, 0, refine_arg},
      {"[1 2]", {.skip = &three}, 0, refine_arg},
      {"[1 2]", {.skip = &zero}, 0, refine_arg},
      {"[1 2]", {.all = true}, 0, bad_refines},
      {"[1 2]", {.compare = &two}, 0, bad_refines},
      {"[1 2]", {.skip = &two, .compare = &two, .all = true}, 0, bad_refines},
      {"[1 2]", {.compare = &word}, 0, refine_arg},
      {"[]", {.all = true}, 0, "[]"},
  };
  for (const Case& c : cases) EXPECT_EQ(sorted(c.text, c.how, c.head), c.expected) << c.text;
}

TEST(BlockSort, StableSortKeepsEqualKeysInOrder) {
  // Long enough for merges: 500 records of a key (0-4) and their original position.
  Cell blk;
  block::make_at(&blk, 1000);
  for (int32_t i = 0; i < 500; i++) {
    Cell key = I((i * 7) % 5), position = I(i);
    block::append(&blk, &key);
    block::append(&blk, &position);
  }
  Cell two = I(2), one = I(1);
  Cell b = blk;
  actions::sort_typed(&b, {.skip = &two, .compare = &one, .stable = true});
  for (int32_t r = 1; r < 500; r++) {
    int32_t key0 = cell::get_int(block::cell_at(&blk, 2 * r - 2));
    int32_t key1 = cell::get_int(block::cell_at(&blk, 2 * r));
    int32_t pos0 = cell::get_int(block::cell_at(&blk, 2 * r - 1));
    int32_t pos1 = cell::get_int(block::cell_at(&blk, 2 * r + 1));
    ASSERT_TRUE(key0 < key1 || (key0 == key1 && pos0 < pos1)) << "record " << r;
  }
}

std::string set_op(int op, Cell a, Cell b, bool case_ = false, const Cell* skip = nullptr) {
  std::string shown;
  std::string e = test::raised([&] {
    shown = show(test::call_on_frame({a, b}, [&] { block::do_set_op(case_, skip, op); }));
  });
  return e.empty() ? shown : "error " + e;
}

Cell make_hash(const char* text) {
  Cell proto = values::of_datatype(T_HASH), spec = value(text);
  return *actions::make_typed(&proto, &spec);
}

TEST(BlockSets, TheFiveOperations) {
  const Cell two = I(2), zero = I(0);
  struct Case {
    int op;
    Cell a, b;
    bool case_;
    const Cell* skip;
    std::string expected;
  };
  const Case cases[] = {
      {OP_UNIQUE, value("[a b a c b]"), value("[]"), false, nullptr, "@1 [a b c]"},
      {OP_UNIQUE, value("[a A b]"), value("[]"), false, nullptr, "@1 [a b]"},
      {OP_UNIQUE, value("[a A b]"), value("[]"), true, nullptr, "@1 [a A b]"},
      {OP_UNION, value("[a b]"), value("[b c a d]"), false, nullptr, "@1 [a b c d]"},
      {OP_INTERSECT, value("[a b c b]"), value("[c b x]"), false, nullptr, "@1 [b c]"},
      {OP_EXCLUDE, value("[a b c a]"), value("[b x]"), false, nullptr, "@1 [a c]"},
      {OP_DIFFERENCE, value("[a b c]"), value("[c d b e]"), false, nullptr, "@1 [a d e]"},
      {OP_INTERSECT, value("[[x] 1 [y]]"), value("[[y] 2]"), false, nullptr, "@1 [[y]]"},
      {OP_UNION, value("[a 1 b 2]"), value("[a 3 c 4]"), false, &two, "@1 [a 1 b 2 c 4]"},
      {OP_UNIQUE, value("[a 1 a 2 b 3]"), value("[]"), false, &two, "@1 [a 1 b 3]"},
      {OP_EXCLUDE, test::at("[a b c]", 1), value("[c]"), false, nullptr, "@1 [b]"},
      {OP_INTERSECT, value("[a b]"), test::at("[a b]", 1), false, nullptr, "@1 [b]"},
      {OP_UNION, value("[a]"), make_hash("[b]"), false, nullptr, "@1 make hash! [a b]"},
      {OP_UNIQUE, make_hash("[x x y]"), value("[]"), false, nullptr, "@1 make hash! [x y]"},
      {OP_UNION, value("[a]"), value("[b]"), false, &zero,
       "error " + test::error_name(err::script::INVALID_REFINE_ARG)},
  };
  for (const Case& c : cases) EXPECT_EQ(set_op(c.op, c.a, c.b, c.case_, c.skip), c.expected) << c.op;
  Cell from_hash = test::call_on_frame({make_hash("[a b c]"), value("[b z]")},
                                       [] { block::do_set_op(false, nullptr, OP_EXCLUDE); });
  Cell found = from_hash;
  Cell key = value("c");
  EXPECT_EQ(show(*actions::find_typed(&found, &key)),
            "@2 make hash! [c]")
      << "a hash! result keeps its table";
}

}  // namespace
}  // namespace zol
