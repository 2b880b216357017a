// typeset!: making, combining, membership, comparison, molding, and the argument
// check that reads the same bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell block_of(std::initializer_list<Cell> cells) {
  NodeRef node = memory::alloc_cells(4);
  for (const Cell& c : cells) *memory::alloc_tail_cell(node) = c;
  return Cell{T_BLOCK, 0, node, 0};
}

Cell dt(uint8_t id) { return values::of_datatype(id); }

Cell typeset_of(std::initializer_list<Cell> types) {
  Cell proto = dt(T_TYPESET);
  Cell spec = block_of(types);
  return *actions::make_typed(&proto, &spec);
}

const std::string INVALID_ARG = test::error_name(err::script::INVALID_ARG);

TEST(Typeset, BitsAreReadMostSignificantFirstFromWordOne) {
  Cell t = typeset_of({dt(T_INTEGER)});
  EXPECT_EQ(t.w1, 0x1000u) << "id 11: byte 1, bit 0x10";
  EXPECT_EQ(t.w2 | t.w3, 0u);
  Cell all;
  typeset::make_all(&all);
  for (int id = 0; id < typeset::BITS; id++) EXPECT_EQ(typeset::has(&all, id), id != T_UNSET) << id;
  // The argument check of compiled code reads the same bits.
  Cell one = values::integer(1);
  EXPECT_EQ(typeset::type_check(&t, &one, 0), &one);
  EXPECT_EQ(test::raised([&] { typeset::type_check(&t, &values::none, 0); }),
            test::error_name(err::script::EXPECT_ARG));
  EXPECT_EQ(error::last_args[1].w1, uint32_t(T_NONE));
}

TEST(Typeset, Make) {
  Cell small = typeset_of({dt(T_NONE), dt(T_INTEGER)});
  Cell merged = typeset_of({small, dt(T_LOGIC)});
  for (uint8_t id : {T_NONE, T_LOGIC, T_INTEGER}) EXPECT_TRUE(typeset::has(&merged, id)) << int(id);
  EXPECT_EQ(typeset::count(&merged), 3);
  Cell proto = dt(T_TYPESET);
  EXPECT_EQ(actions::to_typed(&proto, &small), &small) << "a typeset! is its own conversion";
  EXPECT_EQ(test::raised([] { typeset_of({values::integer(3)}); }), INVALID_ARG);
  Cell three = values::integer(3);
  EXPECT_EQ(test::raised([&] { actions::make_typed(&proto, &three); }),
            test::error_name(err::script::BAD_TO_ARG));
}

TEST(Typeset, MoldAndForm) {
  struct Case { Cell value; bool only; const char* text; };
  const Case cases[] = {
      {typeset_of({}), false, "make typeset! []"},
      {typeset_of({dt(T_INTEGER), dt(T_NONE)}), false, "make typeset! [none! integer!]"},
      {typeset_of({dt(T_INTEGER), dt(T_NONE)}), true, "none! integer!"},
      {typeset_of({}), true, ""},
  };
  for (const Case& c : cases) {
    Cell out = actions::form_to_string(&values::unset);
    actions::mold_typed(&c.value, &out, {.only = c.only}, INT_MAX);
    EXPECT_EQ(string::to_utf8(&out), c.text);
    if (!c.only) {
      EXPECT_EQ(test::form(c.value), c.text);
    }
  }
  // A part budget stops the names once it has gone below zero.
  Cell t = typeset_of({dt(T_NONE), dt(T_LOGIC), dt(T_INTEGER)});
  Cell out = actions::form_to_string(&values::unset);
  Cell part = values::integer(20);
  EXPECT_EQ(actions::mold_typed(&t, &out, {.part = &part}, 20), -1);
  EXPECT_EQ(string::to_utf8(&out), "make typeset! [none! ");
}

TEST(Typeset, SetOperations) {
  const Cell a = typeset_of({dt(T_NONE), dt(T_INTEGER)});
  const Cell b = typeset_of({dt(T_INTEGER), dt(T_LOGIC)});
  struct Case { int op; Cell second; std::initializer_list<uint8_t> result; };
  const Case cases[] = {
      {OP_UNION, b, {T_NONE, T_LOGIC, T_INTEGER}},
      {OP_OR, dt(T_LOGIC), {T_NONE, T_LOGIC, T_INTEGER}},
      {OP_INTERSECT, b, {T_INTEGER}},
      {OP_AND, dt(T_NONE), {T_NONE}},
      {OP_DIFFERENCE, b, {T_NONE, T_LOGIC}},
      {OP_XOR, b, {T_NONE, T_LOGIC}},
      {OP_EXCLUDE, b, {T_NONE}},
      {OP_UNIQUE, b, {T_NONE, T_INTEGER}},
  };
  for (const Case& c : cases) {
    Cell r = test::call_on_frame({a, c.second}, [&] { typeset::do_bitwise(c.op); });
    ASSERT_TRUE(r.is(T_TYPESET));
    Cell want = typeset_of({});
    for (uint8_t id : c.result) {
      Cell type = dt(id);
      typeset::add_type(&want, &type);
    }
    EXPECT_TRUE(actions::compare(&r, &want, C_EQUAL)) << c.op << ": " << test::mold(r);
  }
  // The action entries are the same operations.
  Cell r = test::call_on_frame({a, b}, actions::and_t);
  EXPECT_EQ(test::mold(r), "make typeset! [integer!]");
  EXPECT_EQ(test::raised([&] { test::call_on_frame({a, values::none}, actions::or_t); }),
            INVALID_ARG);
}

TEST(Typeset, ComplementListsEveryOtherType) {
  Cell t = typeset_of({dt(T_INTEGER)});
  Cell c = test::call_on_frame({t}, actions::complement);
  EXPECT_EQ(t.w1, 0x1000u) << "the original is left alone";
  EXPECT_EQ(c.w3, 0xFFFFFFFFu) << "every bit flips, those past the last type too";
  Cell block;
  typeset::to_block(&c, &block);
  SeriesBuffer* b = memory::buffer_of(series_cell::node(&block));
  // Ids 1 to the highest registered one that a typeset can hold (test types of
  // other suites may register past its 96 bits).
  int last = std::min(datatype::highest_id(), typeset::BITS - 1);
  ASSERT_EQ(static_cast<int>(b->length()), last - 1);
  int expected = 1;
  for (Cell* v = b->cells(); v < b->cell_tail(); v++, expected++) {
    if (expected == T_INTEGER) expected++;
    EXPECT_TRUE(v->is(T_DATATYPE));
    EXPECT_EQ(v->w1, uint32_t(expected));
  }
}

TEST(Typeset, FindAndCompare) {
  Cell t = typeset_of({dt(T_INTEGER), dt(T_NONE)});
  struct Case { Cell value; bool found; };
  for (const Case& c : {Case{dt(T_INTEGER), true}, Case{dt(T_LOGIC), false}}) {
    Cell r = test::call_on_frame({t, c.value},
                                 [] { actions::find(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1); });
    EXPECT_EQ(logic::get(&r), c.found);
  }
  EXPECT_EQ(test::raised([&] {
              test::call_on_frame({t, values::integer(11)}, [] {
                actions::find(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
              });
            }),
            INVALID_ARG);
  Cell one = typeset_of({dt(T_LOGIC)});
  Cell same = typeset_of({dt(T_NONE), dt(T_INTEGER)});
  EXPECT_EQ(actions::compare_typed(&t, &same, C_EQUAL), 0);
  EXPECT_EQ(actions::compare_typed(&t, &one, C_STRICT_EQUAL), 1);
  EXPECT_EQ(actions::compare_typed(&t, &one, C_SORT), 1) << "sorting counts the types";
  EXPECT_EQ(actions::compare_typed(&one, &t, C_SORT), -1);
  EXPECT_EQ(actions::compare_typed(&t, &values::none, C_EQUAL), COMPARE_NOT_COMPARABLE);
  EXPECT_EQ(test::raised([&] { actions::compare(&t, &one, C_LESSER); }),
            test::error_name(err::script::INVALID_COMPARE));
}

}  // namespace
}  // namespace zol
