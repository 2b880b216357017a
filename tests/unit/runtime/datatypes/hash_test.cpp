// hash!: making, copying and molding, the table's answers to find, and a table
// kept in step with the block through every edit.
#include <gtest/gtest.h>

#include <functional>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/hash.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

using test::show;
using test::value;

Cell I(int32_t n) { return values::integer(n); }

Cell make_hash(const char* cells) {
  Cell proto = values::of_datatype(T_HASH);
  Cell spec = value(cells);
  return *actions::make_typed(&proto, &spec);
}

std::string find_from(Cell h, int32_t head, Cell v) {
  series_cell::set_head(&h, head);
  return show(*actions::find_typed(&h, &v));
}

// Every cell is found through the table at its own index (the first equal cell at
// or after it), and the table holds exactly the block's cells.
void expect_in_step(const Cell& h, const std::string& after) {
  NodeRef table = block::hash_table(&h);
  int32_t n = int32_t(block::buffer(&h)->length());
  EXPECT_EQ(hashtable::record(table)->size, n) << after;
  for (int32_t i = 0; i < n; i++) {
    Cell key = *block::cell_at(&h, i);
    EXPECT_EQ(hashtable::get(table, &key, i), block::cell_at(&h, i)) << after << ": cell " << i;
  }
}

TEST(Hash, MakeMoldAndCopy) {
  Cell proto = values::of_datatype(T_HASH);
  for (int32_t size : {0, -3}) {
    Cell spec = I(size);
    Cell* h = actions::make_typed(&proto, &spec);
    EXPECT_EQ(test::mold(*h), "make hash! []");
    EXPECT_EQ(block::buffer(h)->size, 16u) << "room for one cell";
    proto = values::of_datatype(T_HASH);
  }
  Cell h = make_hash("[1 2]");
  EXPECT_EQ(test::mold(h), "make hash! [1 2]");
  Cell copied;
  actions::copy_typed(&h, &copied, nullptr, false, nullptr);
  EXPECT_TRUE(copied.is(T_HASH));
  EXPECT_NE(copied.w3, h.w3) << "a copy has its own table";
  expect_in_step(copied, "copy");
  Cell part = I(1);
  Cell tail = h;
  series_cell::set_head(&tail, 1);
  actions::copy_typed(&tail, &copied, &part, false, nullptr);
  EXPECT_EQ(test::mold(copied), "make hash! [2]");
  expect_in_step(copied, "partial copy");
  Cell nested = make_hash("[[a] b]");
  actions::copy_typed(&nested, &copied, nullptr, true, nullptr);
  EXPECT_TRUE(copied.is(T_HASH));
  EXPECT_NE(block::cell_at(&copied, 0)->w2, block::cell_at(&nested, 0)->w2);
  expect_in_step(copied, "deep copy");
  Cell to_proto = values::of_datatype(T_HASH);
  Cell single = value("x");
  EXPECT_EQ(test::mold(*actions::to_typed(&to_proto, &single)), "make hash! [x]");
}

TEST(Hash, FindThroughTheTable) {
  Cell h = make_hash("[a 7 b c 7 d]");
  EXPECT_EQ(find_from(h, 0, I(7)), "@2 make hash! [7 b c 7 d]");
  EXPECT_EQ(find_from(h, 2, I(7)), "@5 make hash! [7 d]");
  EXPECT_EQ(find_from(h, 5, I(7)), "none");
  EXPECT_EQ(find_from(h, 0, values::of_datatype(T_INTEGER)), "@2 make hash! [7 b c 7 d]")
      << "a datatype is looked for by scanning";
  Cell seven = I(7), two = I(2), four = I(4);
  Cell from = h;
  auto find = [&](const Cell* part, const Cell* skip, bool last, bool reverse, bool tail) {
    Cell s = from;
    return show(*actions::find_typed(
        &s, &seven, {.part = part, .skip = skip, .last = last, .reverse = reverse, .tail = tail}));
  };
  EXPECT_EQ(find(nullptr, nullptr, true, false, false), "@5 make hash! [7 d]");
  EXPECT_EQ(find(nullptr, nullptr, false, false, true), "@3 make hash! [b c 7 d]");
  EXPECT_EQ(find(&two, nullptr, false, false, false), "@2 make hash! [7 b c 7 d]");
  EXPECT_EQ(find(nullptr, &two, false, false, false), "@5 make hash! [7 d]") << "the 7 at an even distance";
  series_cell::set_head(&from, 1);
  EXPECT_EQ(find(nullptr, &two, false, false, false), "@2 make hash! [7 b c 7 d]");
  EXPECT_EQ(find(&two, nullptr, true, false, false), "@2 make hash! [7 b c 7 d]") << "/last within /part";
  series_cell::set_head(&from, 6);
  EXPECT_EQ(find(nullptr, nullptr, false, true, false), "@5 make hash! [7 d]");
  series_cell::set_head(&from, 4);
  EXPECT_EQ(find(nullptr, nullptr, false, true, false), "@2 make hash! [7 b c 7 d]");
  series_cell::set_head(&from, 0);
  EXPECT_EQ(find(&four, nullptr, true, false, false), "@2 make hash! [7 b c 7 d]");
  Cell key = value("b");
  EXPECT_EQ(show(*actions::select_typed(&h, &key)),
            "c");
}

TEST(Hash, TheTableFollowsEveryEdit) {
  Cell h = make_hash("[a 1 b 2 c 3 a 1]");
  const Cell two = I(2), three = I(3);
  Cell block_value = value("[x y x]");
  struct Step {
    const char* name;
    std::function<void(Cell)> edit;
  };
  auto at = [](Cell s, int32_t head) {
    series_cell::set_head(&s, head);
    return s;
  };
  const Step steps[] = {
      {"append", [&](Cell s) { actions::append_typed(&s, &block_value, -1, false, 1); }},
      {"insert", [&](Cell s) {
         Cell v = value("q");
         Cell p = at(s, 2);
         actions::insert_typed(&p, &v, -1, false, 3);
       }},
      {"insert block", [&](Cell s) {
         Cell p = at(s, 1);
         actions::insert_typed(&p, &block_value, -1, false, 1);
       }},
      {"change", [&](Cell s) {
         Cell p = at(s, 3);
         actions::change_typed(&p, &block_value, 1, false, 1);
       }},
      {"remove", [&](Cell s) { Cell p = at(s, 2); actions::remove_typed(&p, &three, nullptr); }},
      {"take", [&](Cell s) { Cell p = at(s, 1); actions::take_typed(&p, &two, false, false); }},
      {"take last", [&](Cell s) { actions::take_typed(&s, nullptr, false, true); }},
      {"poke", [&](Cell s) {
         Cell v = value("b");
         Cell i = I(2);
         actions::poke_typed(&s, 2, &v, &i);
       }},
      {"reverse", [&](Cell s) { actions::reverse_typed(&s, nullptr, nullptr); }},
      {"swap", [&](Cell s) { Cell p = at(s, 3); actions::swap_typed(&s, &p); }},
      {"move", [&](Cell s) { Cell p = at(s, 4); actions::move_typed(&s, &p, &two); }},
      {"move back", [&](Cell s) { Cell from = at(s, 4); actions::move_typed(&from, &s, nullptr); }},
      {"put", [&](Cell s) {
         Cell k = value("zz"), v = I(9);
         actions::put_typed(&s, &k, &v, false);
       }},
      {"put again", [&](Cell s) {
         Cell k = value("zz"), v = I(8);
         actions::put_typed(&s, &k, &v, false);
       }},
      {"sort", [&](Cell s) {
         actions::sort_typed(&s);
       }},
      {"trim", [&](Cell s) {
         Cell n = values::none;
         Cell p = at(s, 1);
         actions::poke_typed(&p, 1, &n, &n);
         actions::trim_typed(&s);
       }},
      {"clear", [&](Cell s) { Cell p = at(s, 5); actions::clear_typed(&p); }},
  };
  for (const Step& step : steps) {
    step.edit(h);
    expect_in_step(h, step.name);
  }
}

}  // namespace
}  // namespace zol
