// Block storage: accessors, builders, insertion, clone, compare-each and mold-each.
#include <gtest/gtest.h>

#include <climits>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/text/mold.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell make_block(std::initializer_list<Cell> cells) {
  Cell b;
  block::make_at(&b, 1);
  for (const Cell& c : cells) block::append(&b, &c);
  return b;
}

const Cell T = values::true_value, F = values::false_value, N = values::none;

std::string mold_cells(const Cell& blk, bool only = true, bool flat = false) {
  Cell out;
  string::make_at(&out, 0);
  block::mold_each(&blk, &out, {.only = only, .flat = flat}, INT_MAX);
  return string::to_utf8(&out);
}

TEST(BlockStorage, AccessorsAndHeadClipping) {
  Cell b = make_block({T, F, N});
  EXPECT_EQ(block::length(&b), 3);
  EXPECT_FALSE(block::advance(&b));
  EXPECT_EQ(block::length(&b), 2);
  EXPECT_TRUE(block::clip_head_cell(&b)->is(T_LOGIC));
  series_cell::set_head(&b, 3);
  EXPECT_TRUE(block::at_tail(&b));
  EXPECT_TRUE(block::advance(&b)) << "next at the tail stays";
  EXPECT_EQ(series_cell::head(&b), 3);
  Cell other = b;
  series_cell::set_head(&other, 0);
  block::truncate_at(&other, 1);                    // shorten below b's head
  EXPECT_EQ(block::length(&b), 0);
  EXPECT_EQ(block::clip_head_cell(&b), block::tail_cell(&b));
  EXPECT_EQ(series_cell::head(&b), 1) << "a head past the tail is clipped";
  block::remove_last(&other);
  EXPECT_EQ(block::length(&other), 0);
  block::remove_last(&other);                    // empty: nothing happens
}

TEST(BlockStorage, AppendingToItselfAndInserting) {
  Cell b = make_block({T, F});
  block::append_all(&b, &b);
  EXPECT_EQ(mold_cells(b), "true false true false");
  Cell c = make_block({N});
  block::insert_value(&c, &T, true, false);
  EXPECT_EQ(series_cell::head(&c), 1);
  block::insert_value(&c, &F, false, true);
  series_cell::set_head(&c, 0);
  EXPECT_EQ(mold_cells(c), "false true none");
  Cell d = make_block({N});
  block::insert_each(&d, &b);
  series_cell::set_head(&d, 0);
  EXPECT_EQ(mold_cells(d), "true false true false none");
}

TEST(BlockStorage, CloneCopiesFromTheHead) {
  Cell inner = make_block({T});
  Cell outer = make_block({N, inner, F});
  cell::set_new_line(block::cell_at(&outer, 1), true);
  Cell* top = stack::top;
  Cell shallow = *block::clone(&outer, false, false);
  Cell deep = *block::clone(&outer, true, false);
  stack::top = top;
  EXPECT_EQ(block::cell_at(&shallow, 1)->w2, inner.w2) << "shallow shares the inner block";
  Cell* copied = block::cell_at(&deep, 1);
  EXPECT_NE(copied->w2, inner.w2);
  EXPECT_TRUE(cell::new_line(copied)) << "the nested cell keeps its header";
  EXPECT_EQ(block::length(copied), 1);
  Cell empty = make_block({});
  Cell e = *block::clone(&empty, true, true);
  stack::top = top;
  EXPECT_EQ(block::length(&e), 0);
  EXPECT_EQ(block::buffer(&e)->size, 16u) << "an empty clone has room for one cell";
}

TEST(BlockStorage, SelectAndRemoveByComparison) {
  Cell b = make_block({N, T, F, T});
  EXPECT_TRUE(block::select_compare(&b, &N)->is(T_LOGIC));
  EXPECT_TRUE(block::select_compare(&b, &values::unset)->is(T_NONE)) << "no match";
  Cell last = make_block({N, F});
  EXPECT_TRUE(block::select_compare(&last, &F)->is(T_NONE)) << "the match is the last cell";
  series_cell::set_head(&b, 2);
  EXPECT_TRUE(block::remove_compare(&b, &T, true)) << "removed before the head";
  EXPECT_EQ(block::length(&b), 1);
  EXPECT_FALSE(block::remove_compare(&b, &values::unset, true));
}

TEST(BlockStorage, CompareEach) {
  Cell a = make_block({T, F});
  Cell b = make_block({T, F});
  Cell c = make_block({T});
  Cell e = make_block({});
  Cell dt = make_block({T, values::of_datatype(T_NONE)});
  struct Case { const Cell *x, *y; int op; int result; };
  const Case cases[] = {
      {&a, &b, C_EQUAL, 0},  {&a, &b, C_SAME, -1}, {&a, &a, C_SAME, 0},
      {&a, &c, C_EQUAL, 1},  {&c, &a, C_SORT, -1},   {&e, &a, C_LESSER, -1},
      {&c, &a, C_LESSER, -1},
      {&e, &a, C_EQUAL, 1},  {&e, &e, C_EQUAL, 0},  {&a, &dt, C_SORT, 1},
  };
  for (const Case& k : cases) EXPECT_EQ(block::compare_each(k.x, k.y, k.op), k.result) << k.op;
  EXPECT_EQ(cycles::depth(), 0) << "mismatched cells pop the cycle stack once each";
}

TEST(BlockStorage, MoldEachLaysOutNewLines) {
  Cell b = make_block({T, F, N});
  EXPECT_EQ(mold_cells(b), "true false none");
  cell::set_new_line(block::cell_at(&b, 0), true);
  cell::set_new_line(block::cell_at(&b, 2), true);
  EXPECT_EQ(mold_cells(b, false), "\n    true false\n    none\n");
  EXPECT_EQ(mold_cells(b, true), "true false\nnone");
  EXPECT_EQ(mold_cells(b, false, true), "true false none") << "flat ignores new lines";
  Cell out;
  string::make_at(&out, 0);
  Cell part = values::integer(6);
  int left = block::mold_each(&b, &out, {.only = true, .flat = true, .part = &part}, 6);
  EXPECT_LE(left, 0);
  EXPECT_EQ(string::to_utf8(&out), "true false") << "a spent budget stops before the next cell";
}

TEST(BlockStorage, StackBuildersAndInsertionKeepAHashInStep) {
  Cell proto = values::of_datatype(T_HASH);
  Cell spec = make_block({T});
  Cell h = *actions::make_typed(&proto, &spec);
  Cell* saved_arguments = stack::arguments;
  Cell* saved_top = stack::top;
  stack::push(&h);
  stack::arguments = stack::push(&F);
  block::append_arg();                        // the argument joins the block just below
  stack::arguments = stack::push(&h);
  stack::push(&N);
  EXPECT_EQ(block::append_stack(), T_NONE);   // the top value joins the frame's block
  Cell other = make_block({});
  stack::push(&other);
  stack::push(&T);
  block::append_top();                        // the top value joins the block below it
  stack::arguments = saved_arguments;
  stack::top = saved_top;
  EXPECT_EQ(mold_cells(h), "true false none");
  EXPECT_EQ(mold_cells(other), "true");
  block::insert_value(&h, &N, true, true);
  NodeRef table = block::hash_table(&h);
  for (int32_t i = 0; i < 4; i++) {
    Cell key = *block::cell_at(&h, i);
    EXPECT_EQ(hashtable::get(table, &key, i), block::cell_at(&h, i)) << "cell " << i;
  }
}

}  // namespace
}  // namespace zol
