// Zol code running in the middle of a block action: the owner's change handler
// around every edit and a sort comparator. Both stand-ins below grow, shorten or
// raise in the middle of the action, as Zol code may; the action must re-read
// the buffer afterwards (under AddressSanitizer an abandoned buffer is poisoned,
// so a stale read fails at once).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/callback.h"
#include "runtime/core/stack.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/core/error.h"
#include "runtime/core/ownership.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

using test::value;

Cell I(int32_t n) { return values::integer(n); }

constexpr int32_t GROWTH = 300;   // cells a handler adds: several expansions

// --- change handlers --------------------------------------------------------------------

std::vector<std::string> heard;
bool grow_on_notice = false;

void handler(Cell*, Cell*, Cell* target, const Cell* action, const Cell*, int32_t, int32_t) {
  std::string word = symbol::get_c_string(word_cell::symbol(action));
  heard.push_back(word);
  bool after = word == "taken" || word.ends_with("ed");
  if (!grow_on_notice || after) return;
  Cell grown = *target;
  for (int32_t i = 0; i < GROWTH; i++) {
    Cell v = I(1000 + i);
    block::append(&grown, &v);
  }
}

// The owner of the latest owned_block: the ownership table does not keep owners
// alive, so the tests hold it (test::HeldCells) while they edit the block.
Cell last_owner;

// A block owned by an object whose deep-change handler is `handler`.
Cell owned_block(const char* text) {
  NodeRef ctx = context::create(2, false, false, 0, context::OBJECT);
  last_owner = Cell{T_OBJECT, ctx, 0, 1};
  Cell field{T_WORD, ctx, symbol::make("field"), uint32_t(-1)};
  Cell blk = value(text);
  ownership::set_owner(&blk, &last_owner, &field);
  return blk;
}

struct Edit {
  const char* before;
  const char* after;
  std::function<void(Cell)> run;
};

std::vector<Edit> edits() {
  auto at = [](Cell s, int32_t head) {
    series_cell::set_head(&s, head);
    return s;
  };
  return {
      {"append", "appended", [](Cell s) {
         Cell v = value("[x y]");
         actions::append_typed(&s, &v, -1, false, 2);
       }},
      {"insert", "inserted", [=](Cell s) {
         Cell p = at(s, 1);
         Cell v = value("x");
         actions::insert_typed(&p, &v, -1, false, 1);
       }},
      {"insert", "inserted", [](Cell s) { actions::insert_typed(&s, &s, -1, false, 1); }},
      {"change", "changed", [=](Cell s) {
         Cell p = at(s, 2);
         Cell v = value("[x y z]");
         actions::change_typed(&p, &v, 1, false, 1);
       }},
      {"change", "changed", [=](Cell s) {
         Cell p = at(s, 1);
         actions::change_typed(&p, &s, -1, false, 1);
       }},
      {"clear", "cleared", [=](Cell s) { Cell p = at(s, 3); actions::clear_typed(&p); }},
      {"poke", "poked", [](Cell s) {
         Cell v = value("x"), i = I(2);
         actions::poke_typed(&s, 2, &v, &i);
       }},
      {"remove", "removed", [](Cell s) { Cell n = I(2); actions::remove_typed(&s, &n, nullptr); }},
      {"reverse", "reversed", [](Cell s) { actions::reverse_typed(&s, nullptr, nullptr); }},
      {"take", "taken", [](Cell s) { Cell n = I(2); actions::take_typed(&s, &n, false, true); }},
      {"move", "moved", [=](Cell s) { Cell to = at(s, 3); actions::move_typed(&s, &to, nullptr); }},
      {"move", "moved", [](Cell s) {
         Cell to = value("[q]");
         actions::move_typed(&s, &to, nullptr);
       }},
      {"put", "put-ed", [](Cell s) {
         Cell k = value("k"), v = I(1);
         actions::put_typed(&s, &k, &v, false);
       }},
      {"sort", "sorted", [](Cell s) {
         actions::sort_typed(&s);
       }},
      {"swap", "swaped", [](Cell s) {
         Cell other = value("[q]");
         actions::swap_typed(&s, &other);
       }},
      {"trim", "trimmed", [](Cell s) {
         actions::trim_typed(&s);
       }},
      {"random", "randomized", [](Cell s) { actions::random_typed(&s, false, false, false); }},
  };
}

TEST(BlockCallbacks, EveryEditIsHeardBeforeAndAfter) {
  test::HeldCells held(&last_owner);
  test::ScopedHook hook(ownership::on_deep_change, handler);
  grow_on_notice = false;
  for (const Edit& e : edits()) {
    heard.clear();
    e.run(owned_block("[3 1 #(none) 2 5]"));
    EXPECT_EQ(heard, (std::vector<std::string>{e.before, e.after}));
  }
  heard.clear();
  for (const Edit& e : edits()) e.run(value("[3 1 #(none) 2 5]"));
  EXPECT_TRUE(heard.empty()) << "a block without an owner tells nobody";
}

TEST(BlockCallbacks, AHandlerThatGrowsTheBlockMidEdit) {
  test::HeldCells held(&last_owner);
  test::ScopedHook hook(ownership::on_deep_change, handler);
  grow_on_notice = true;
  for (const Edit& e : edits()) {
    heard.clear();
    Cell blk = owned_block("[3 1 #(none) 2 5]");
    e.run(blk);
    EXPECT_EQ(heard.size(), 2u) << e.before;
    test::mold(blk);   // every cell still reads back
  }
  // Where the result is certain: append lands after the grown cells.
  Cell blk = owned_block("[a]");
  Cell v = value("z");
  actions::append_typed(&blk, &v, -1, false, 1);
  EXPECT_EQ(block::length(&blk), 1 + GROWTH + 1);
  EXPECT_EQ(test::mold(*block::cell_at(&blk, GROWTH + 1)), "z");
  grow_on_notice = false;
}

// --- comparators ---------------------------------------------------------------------------

enum class Comparator { LESS, GROW, EMPTY, RAISE, RECORDS };
Comparator mode = Comparator::LESS;
Cell being_sorted;
int calls = 0;
int last_kind = 0;

// Stands in for the interpreter: the comparator's two arguments are the frame's
// cells; its answer goes to the frame's first cell.
void call_comparator(const Cell*, NodeRef, const Cell*, int kind) {
  calls++;
  last_kind = kind;
  Cell a = *stack::arg(0), b = *stack::arg(1);
  switch (mode) {
    case Comparator::GROW: {
      Cell grown = being_sorted;
      if (block::length(&grown) < 2000) {
        Cell v = I(-1);
        block::append(&grown, &v);
      }
      break;
    }
    case Comparator::EMPTY: {
      Cell whole = being_sorted;
      series_cell::set_head(&whole, 0);
      block::truncate_at_head(&whole);
      break;
    }
    case Comparator::RAISE: fire(err::script::INVALID_ARG, &a);
    case Comparator::RECORDS:
      a = *block::cell_at(&a, 1);
      b = *block::cell_at(&b, 1);
      break;
    case Comparator::LESS: break;
  }
  logic::box(cell::get_int(&a) < cell::get_int(&b));
}

struct ComparatorTest : ::testing::Test {
  Cell function{};
  test::HeldCells held_function{&function};
  test::HeldCells held_sorted{&being_sorted};
  decltype(interpreter::call_function) installed = nullptr;
  void SetUp() override {
    function = Cell{T_FUNCTION, context::create(2, true, false, 0, 0), 0, 0};
    installed = interpreter::call_function;
    interpreter::call_function = call_comparator;
    calls = 0;
  }
  void TearDown() override { interpreter::call_function = installed; }

  std::string sort(Cell blk, Comparator m, bool reverse = false, bool stable = false,
                   const Cell* skip = nullptr, bool all = false) {
    mode = m;
    being_sorted = blk;
    Cell* top = stack::top;
    std::string e = test::raised([&] {
      actions::sort_typed(&blk, {.skip = skip, .compare = &function, .all = all,
                                 .reverse = reverse, .stable = stable});
    });
    EXPECT_EQ(stack::top, top) << "the comparator frames are closed";
    return e;
  }
};

TEST_F(ComparatorTest, AZolFunctionOrdersTheBlock) {
  Cell blk = value("[5 3 9 1 7]");
  EXPECT_EQ(sort(blk, Comparator::LESS), "");
  EXPECT_EQ(test::mold(blk), "[1 3 5 7 9]");
  EXPECT_GT(calls, 0);
  EXPECT_EQ(last_kind, interpreter::CALLBACK_COMPARE);
  EXPECT_EQ(sort(blk, Comparator::LESS, true, true), "");
  EXPECT_EQ(test::mold(blk), "[9 7 5 3 1]");
  Cell records = value("[a 3 b 1 c 2]");
  Cell two = I(2);
  EXPECT_EQ(sort(records, Comparator::RECORDS, false, true, &two, true), "");
  EXPECT_EQ(test::mold(records), "[b 1 c 2 a 3]") << "/all hands over whole records";
}

TEST_F(ComparatorTest, AComparatorThatGrowsTheBlock) {
  Cell blk;
  block::make_at(&blk, 60);
  for (int32_t i = 60; i > 0; i--) {
    Cell v = I(i);
    block::append(&blk, &v);
  }
  for (bool stable : {false, true}) {
    EXPECT_EQ(sort(blk, Comparator::GROW, false, stable), "");
    ASSERT_GE(block::length(&blk), 60);
    for (int32_t i = 0; i < 60; i++) EXPECT_EQ(cell::get_int(block::cell_at(&blk, i)), i + 1);
    block::truncate_at(&blk, 60);
    actions::reverse_typed(&blk, nullptr, nullptr);
  }
}

TEST_F(ComparatorTest, AComparatorThatEmptiesOrRaises) {
  Cell blk = value("[4 2 3 1]");
  EXPECT_EQ(sort(blk, Comparator::EMPTY), "");
  EXPECT_EQ(test::mold(blk), "[]") << "nothing is written into the emptied block";
  Cell kept = value("[4 2 3 1]");
  EXPECT_EQ(sort(kept, Comparator::RAISE), test::error_name(err::script::INVALID_ARG));
  EXPECT_EQ(test::mold(kept), "[4 2 3 1]") << "an error leaves the block as it was";
}

}  // namespace
}  // namespace zol
