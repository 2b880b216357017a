// Series ownership (owning, the change check, unbinding) and the slot table; and
// the bounds of the fixed-size registries the modules fill.
#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "runtime/collector/collector.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/memory/memory.h"
#include "runtime/core/ownership.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell new_block(std::initializer_list<Cell> cells) {
  NodeRef b = memory::alloc_cells(int64_t(cells.size()) + 2);
  for (const Cell& c : cells) *memory::alloc_tail_cell(b) = c;
  return Cell{T_BLOCK, 0, b, 0};
}
bool owned(const Cell& v) { return memory::buffer_of(v.w2)->flags & FLAG_OWNED; }

// An object: a context with one field holding `value`, the owner cell naming it.
struct Object {
  NodeRef ctx;
  Cell cell;
  Cell field;
};
Object make_object(const Cell& value, uint32_t handler_state = 1) {
  Object o;
  o.ctx = context::create(2, false, false, 0, context::OBJECT);
  o.field = Cell{T_WORD, o.ctx, symbol::make("field"), uint32_t(-1)};
  context::set(&o.field, &value);
  o.cell = Cell{T_OBJECT, o.ctx, 0, handler_state};
  return o;
}

struct Heard {
  Cell owner, word, target, action;
  int calls = 0;
};
Heard heard;
void remember(Cell* owner, Cell* word, Cell* target, const Cell* action, const Cell*, int32_t, int32_t) {
  heard = {*owner, *word, *target, *action, heard.calls + 1};
}

TEST(Ownership, SelfContainingBlockIsOwnedOnceAndChecked) {
  Cell text;
  string::make_at(&text, 4);
  Cell inner = new_block({text});
  Cell outer = new_block({inner, values::integer(1)});
  *memory::alloc_tail_cell(outer.w2) = outer;
  Object o = make_object(outer);
  Cell* slot = context::get(&o.field);
  int32_t recorded_before = hashtable::record(ownership::table)->size;   // earlier tests' series
  ownership::set_owner(slot, &o.cell, &o.field);
  for (const Cell& v : {outer, inner, text}) EXPECT_TRUE(owned(v));
  EXPECT_EQ(hashtable::record(ownership::table)->size, recorded_before + 3) << "each series recorded once";
  EXPECT_NE(context::record_of(o.ctx)->header & context::FIELDS_OWNED, 0u);
  EXPECT_EQ(ownership::owner_of(text.w2)->w1, o.ctx);

  test::ScopedHook hook(ownership::on_deep_change, remember);
  heard.calls = 0;
  Cell action = word::load("append");
  EXPECT_TRUE(ownership::check(&text, &action, &values::none, 0, 1));
  EXPECT_EQ(heard.calls, 1);
  EXPECT_EQ(heard.owner.w1, o.ctx);
  EXPECT_EQ(word_cell::symbol(&heard.word), word_cell::symbol(&o.field));
  EXPECT_EQ(heard.target.w2, text.w2);

  Cell loose = new_block({});
  EXPECT_FALSE(ownership::check(&loose, &action, &values::none, 0, 1)) << "not owned";
  Cell number = values::integer(3);
  EXPECT_FALSE(ownership::check(&number, &action, &values::none, 0, 1)) << "cannot be owned";
  Object quiet = make_object(values::none, 0);
  Cell quiet_block = new_block({});
  ownership::set_owner(&quiet_block, &quiet.cell, &quiet.field);
  EXPECT_FALSE(ownership::check(&quiet_block, &action, &values::none, 0, 1)) << "owner without handler";
  EXPECT_EQ(heard.calls, 1);

  ownership::unbind(slot);
  for (const Cell& v : {outer, inner, text}) EXPECT_FALSE(owned(v));
  EXPECT_EQ(ownership::owner_of(text.w2), nullptr);
  EXPECT_FALSE(ownership::check(&text, &action, &values::none, 0, 1));
}

TEST(Ownership, NestedObjectsAreWalkedOnce) {
  Cell deep = new_block({});
  Object nested = make_object(deep);
  Object owner = make_object(nested.cell);
  // The nested object's own fields are already owned: the walk stops there.
  context::record_of(nested.ctx)->header |= context::FIELDS_OWNED;
  ownership::set_owner(context::get(&owner.field), &owner.cell, &owner.field);
  EXPECT_FALSE(owned(deep));
  context::record_of(nested.ctx)->header &= ~context::FIELDS_OWNED;
  Object other = make_object(nested.cell);
  ownership::set_owner(context::get(&other.field), &other.cell, &other.field);
  EXPECT_TRUE(owned(deep));
  Cell list = new_block({});
  ownership::set_owner(&list, &other.cell, &other.field);
  ownership::unbind_range(&list, 0, 5);
  ownership::unbind(&deep);
  EXPECT_FALSE(owned(deep));
}

TEST(Slots, AllocFreeAndGrowth) {
  std::vector<int32_t> taken;
  while (slots::capacity() == 100 || taken.size() < 100) {
    Cell v = values::integer(int32_t(taken.size()));
    int32_t i = slots::alloc(&v);
    if (slots::capacity() > 100) {
      EXPECT_EQ(slots::capacity(), 200);
      EXPECT_EQ(i, 101);
      break;
    }
    taken.push_back(i);
  }
  EXPECT_EQ(cell::get_int(slots::at(taken[5])), 5);
  slots::free(taken[5]);
  slots::free(0);
  Cell again = values::integer(55);
  EXPECT_EQ(slots::alloc(&again), taken[5]) << "a freed slot is reused first";
  const std::string limit_hit = test::error_name(err::internal::LIMIT_HIT);
  EXPECT_EQ(test::raised([] { slots::at(201); }), limit_hit);
  EXPECT_EQ(test::raised([] { slots::free(-1); }), limit_hit);
}

// Distinct functions to register: the same one registers only once.
template <size_t N>
void noop() {}
template <size_t... N>
constexpr std::array<void (*)(), sizeof...(N)> noops(std::index_sequence<N...>) {
  return {&noop<N>...};
}
constexpr auto distinct = noops(std::make_index_sequence<200>{});

TEST(Registries, MarkingCallbacksAndSweepersStopAtTheirBound) {
  auto r = test::run_in_child([] {
    std::string error;
    for (size_t i = 0; i < distinct.size() && error.empty(); i++)
      error = test::raised([&] { collector::keep(distinct[i]); });
    std::printf("%s|", error.c_str());
    error.clear();
    for (size_t i = 0; i < 40 && error.empty(); i++)
      error = test::raised([&] { collector::add_sweeper(distinct[i]); });
    std::printf("%s", error.c_str());
  });
  const std::string limit_hit = test::error_name(err::internal::LIMIT_HIT);
  EXPECT_EQ(r.out, limit_hit + "|" + limit_hit);
}

}  // namespace
}  // namespace zol
