// The action layer: lookup and its errors, the argument work of the stack-level
// entries, and comparison.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/memory/memory.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

// A series type that records what the entries hand to its implementations.
constexpr uint8_t T_PROBE = 220;

struct Received {
  int calls = 0;
  int32_t part = 0, dup = 0, index = 0;
  bool only = false, append = false;
  int32_t series_head = 0, value_head = 0;
};
Received received;

Cell* probe_insert(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append) {
  received = {received.calls + 1, part, dup, 0, only, append, series_cell::head(series),
              series_cell::head(value)};
  return series;
}

Cell* probe_change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
  return probe_insert(series, value, part, only, dup, false);
}

Cell* probe_poke(Cell* series, int32_t index, Cell*, Cell*) {
  received.index = index;
  return series;
}

int32_t probe_length(const Cell*) { return 5; }

void register_probe() {
  datatype::register_type(T_PROBE, 0, "probe!",
                          datatype::make_row(nullptr, {{A_APPEND, action_fn(probe_insert)},
                                                       {A_INSERT, action_fn(probe_insert)},
                                                       {A_CHANGE, action_fn(probe_change)},
                                                       {A_POKE, action_fn(probe_poke)},
                                                       {A_LENGTH_Q, action_fn(probe_length)}}));
}

Cell text(const char* s, int32_t head = 0) {
  Cell c;
  string::make_at(&c, 16);
  string::concatenate_literal(&c, s);
  series_cell::set_head(&c, head);
  return c;
}

Cell at(const Cell& series, int32_t head, uint8_t type = 0) {
  Cell c = series;
  if (type) cell::set_type(&c, type);
  series_cell::set_head(&c, head);
  return c;
}

Cell word(uint32_t symbol) { return Cell{T_WORD, 0, symbol, 0xFFFFFFFFu}; }

TEST(Actions, TheGenericTableHasAnEntryForEverySlotButSetPath) {
  for (int slot = 1; slot <= ACTION_SLOTS; slot++)
    EXPECT_EQ(actions::generic[slot - 1] == nullptr, slot == A_SET_PATH) << slot;
  // An entry dispatches on the type of the frame's first argument.
  Cell r = test::call_on_frame({values::integer(6), values::integer(2)},
                               action_as<MinimalFn>(actions::generic[A_DIVIDE - 1]));
  EXPECT_TRUE(r.is(T_INTEGER));
  EXPECT_EQ(integer::get(&r), 3);
}

TEST(Actions, AnUnsupportedActionNamesTheFunctionTheTypeAndTheArgument) {
  // "append does not allow integer! for its series argument": the function's word
  // comes from the frame that named the call.
  uint32_t append_symbol = symbol::make("append");
  Cell append_word = word(append_symbol);
  std::string e = test::raised([&] {
    stack::mark_native(&append_word);
    Cell one = values::integer(1);
    stack::push(&one);
    stack::push(&one);
    actions::append(-1, -1, -1);
  });
  EXPECT_EQ(e, test::error_name(err::script::EXPECT_ARG));
  EXPECT_TRUE(error::last_args[0].is(T_WORD));
  EXPECT_EQ(word_cell::symbol(&error::last_args[0]), append_symbol);
  EXPECT_TRUE(error::last_args[1].is(T_DATATYPE));
  EXPECT_EQ(error::last_args[1].w1, uint32_t(T_INTEGER));
}

TEST(Actions, MakeAndToDispatchOnTheTypeTheyMake) {
  Cell proto = values::of_datatype(T_INTEGER);
  Cell yes = values::true_value;
  EXPECT_EQ(integer::get(actions::make_typed(&proto, &yes)), 1);
  Cell value_proto = values::integer(5);
  Cell digits = text("12");
  EXPECT_EQ(integer::get(actions::to_typed(&value_proto, &digits)), 12);
  Cell unmakeable = values::of_datatype(T_DATATYPE);
  EXPECT_EQ(test::raised([&] { actions::make_typed(&unmakeable, &digits); }),
            test::error_name(err::script::EXPECT_ARG));
}

TEST(Actions, AppendAndInsertResolvePartAndDupOnTheValue) {
  register_probe();
  Cell source = text("abcdef");
  Cell series = at(source, 0, T_PROBE);
  Cell none = values::none;
  const Cell skip = values::none;   // marks an unused refinement in the table
  struct Case {
    Cell value, part, dup;
    bool called;
    int32_t part_count, value_head, dup_count;
  };
  const Case cases[] = {
      {source, values::integer(2), skip, true, 2, 0, 1},
      {source, skip, values::integer(3), true, -1, 0, 3},
      {source, values::integer(0), skip, false, 0, 0, 0},
      {source, skip, values::integer(0), false, 0, 0, 0},
      {at(source, 3), values::integer(-2), skip, true, 2, 1, 1},
      {at(source, 3), values::integer(-5), skip, true, 3, 0, 1},
      {at(source, 0), values::integer(-1), skip, false, 0, 0, 0},
      {at(source, 1), at(source, 4), skip, true, 3, 1, 1},
      {at(source, 1), at(source, 99), skip, true, 5, 1, 1},   // the part's head is clipped
      {at(source, 10), values::integer(2), skip, true, 2, 6, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    int before = received.calls;
    int part = c.part.is(T_NONE) ? -1 : 2;
    int dup = c.dup.is(T_NONE) ? -1 : 3;
    Cell r = test::call_on_frame({series, c.value, c.part, c.dup},
                                 [&] { actions::append(part, -1, dup); });
    EXPECT_EQ(received.calls > before, c.called);
    EXPECT_EQ(r.type(), T_PROBE) << "the series is the result either way";
    if (!c.called) continue;
    EXPECT_EQ(received.part, c.part_count);
    EXPECT_EQ(received.value_head, c.value_head);
    EXPECT_EQ(received.dup, c.dup_count);
    EXPECT_TRUE(received.append);
  }
  const std::string invalid_part = test::error_name(err::script::INVALID_PART);
  const std::string refine_arg = test::error_name(err::script::INVALID_REFINE_ARG);
  Cell other = text("xyz");
  EXPECT_EQ(test::raised([&] {
              test::call_on_frame({series, values::integer(1), values::integer(1)},
                                  [] { actions::append(2, -1, -1); });
            }),
            invalid_part);
  EXPECT_EQ(test::raised([&] {
              test::call_on_frame({series, source, other}, [] { actions::append(2, -1, -1); });
            }),
            refine_arg);
  // insert clips the series' head to its tail; append leaves it.
  for (bool append : {false, true}) {
    test::call_on_frame({at(source, 99, T_PROBE), source, none}, [&] {
      if (append) actions::append(-1, 0, -1); else actions::insert(-1, 0, -1);
    });
    EXPECT_EQ(received.series_head, append ? 99 : 6);
    EXPECT_EQ(received.append, append);
    EXPECT_TRUE(received.only);
  }
}

TEST(Actions, ChangeResolvesPartOnTheSeries) {
  register_probe();
  Cell source = text("abcdef");
  struct Case { int32_t head; Cell part; int32_t count, series_head; };
  const Case cases[] = {
      {1, at(source, 4, T_PROBE), 3, 1},
      {2, values::integer(-3), 2, 0},
      {4, values::integer(2), 2, 4},
  };
  for (const Case& c : cases) {
    test::call_on_frame({at(source, c.head, T_PROBE), values::none, c.part},
                        [] { actions::change(2, -1, -1); });
    EXPECT_EQ(received.part, c.count);
    EXPECT_EQ(received.series_head, c.series_head);
  }
  EXPECT_EQ(test::raised([&] {
              test::call_on_frame({at(source, 1, T_PROBE), values::none, at(source, 4)},
                                  [] { actions::change(2, -1, -1); });
            }),
            test::error_name(err::script::INVALID_REFINE_ARG))
      << "a position in the same buffer but of another type";
}

TEST(Actions, FormAndMoldEntriesHonourThePartLimit) {
  struct Case { bool mold; Cell part; const char* text; };
  const Case cases[] = {
      {false, values::none, "-12345"},
      {false, values::integer(3), "-12"},
      {false, values::integer(0), ""},
      {true, values::integer(-4), ""},
      {true, values::integer(2), "-1"},
      {true, values::integer(50), "-12345"},
  };
  for (const Case& c : cases) {
    int part = c.part.is(T_NONE) ? -1 : 1;
    Cell r = test::call_on_frame({values::integer(-12345), c.part}, [&] {
      if (c.mold) actions::mold(-1, -1, -1, part); else actions::form(part);
    });
    ASSERT_TRUE(r.is(T_STRING));
    EXPECT_EQ(string::to_utf8(&r), c.text) << c.mold << " " << test::mold(c.part);
  }
}

TEST(Actions, ResultConventionsOfLengthPokeAndCopy) {
  register_probe();
  Cell probe = at(text("ab"), 0, T_PROBE);
  Cell r = test::call_on_frame({probe}, [] { actions::length_q(); });
  EXPECT_EQ(integer::get(&r), 5);
  r = test::call_on_frame({values::none}, [] { actions::length_q(); });
  EXPECT_TRUE(r.is(T_NONE)) << "no length gives none";
  // poke answers the poked value; a logic index counts true as 1 and false as 2.
  struct Case { Cell index; int32_t normalised; };
  const Case cases[] = {{values::true_value, 1}, {values::false_value, 2},
                        {values::integer(7), 7}, {Cell{T_CHAR, 0, 65, 0}, 65},
                        {values::none, 0}};
  for (const Case& c : cases) {
    r = test::call_on_frame({probe, c.index, values::integer(99)}, [] { actions::poke(); });
    EXPECT_EQ(received.index, c.normalised);
    EXPECT_EQ(integer::get(&r), 99);
  }
  EXPECT_EQ(test::raised([&] {
              test::call_on_frame({probe, values::integer(3)}, [] { actions::copy(-1, -1, 1); });
            }),
            test::error_name(err::script::EXPECT_ARG))
      << "copy/types needs a datatype! or typeset!";
  EXPECT_EQ(error::last_args[1].w1, uint32_t(T_INTEGER));
}

TEST(Actions, UnsupportedPathStepsNameThePathUpToTheElement) {
  Cell parent = values::integer(1), element = values::integer(2);
  EXPECT_EQ(test::raised([&] {
              test::call_on_frame({parent, element}, [] { actions::eval_path(0); });
            }),
            test::error_name(err::script::BAD_PATH_TYPE2));
  EXPECT_EQ(integer::get(&error::last_args[0]), 2);
  EXPECT_EQ(error::last_args[1].w1, uint32_t(T_INTEGER));
  NodeRef block = memory::alloc_cells(4);
  for (int i = 0; i < 4; i++) integer::make_in(block, i);
  Cell path{T_PATH, 1, block, 0};
  EXPECT_EQ(test::raised([&] {
              actions::eval_path_typed(&parent, &element, nullptr, &path, 1);
            }),
            test::error_name(err::script::BAD_PATH_TYPE));
  const Cell& cut = error::last_args[2];
  ASSERT_TRUE(cut.is(T_PATH));
  SeriesBuffer* b = memory::buffer_of(series_cell::node(&cut));
  EXPECT_EQ(b->length(), 3u) << "from the path's head to the element at position 1";
  EXPECT_NE(series_cell::node(&cut), block) << "a copy";
  EXPECT_EQ(memory::buffer_of(block)->length(), 4u);
}

TEST(Actions, Comparison) {
  Cell one = values::integer(1), none = values::none;
  const std::string invalid_compare = test::error_name(err::script::INVALID_COMPARE);
  for (int op : {C_LESSER, C_LESSER_EQUAL, C_GREATER, C_GREATER_EQUAL})
    EXPECT_EQ(test::raised([&] { actions::compare(&one, &none, op); }), invalid_compare) << op;
  EXPECT_FALSE(actions::compare(&one, &none, C_EQUAL));
  EXPECT_TRUE(actions::compare(&one, &none, C_NOT_EQUAL));
  Cell r = test::call_on_frame({values::integer(3), values::integer(2)},
                               [] { actions::compare_op(C_GREATER); });
  EXPECT_TRUE(r.is(T_LOGIC) && logic::get(&r));
  // Sorting orders logic! values by their word.
  Cell t = values::true_value, f = values::false_value;
  EXPECT_EQ(actions::compare_typed(&t, &f, C_SORT), 1);
  EXPECT_EQ(actions::compare_typed(&f, &t, C_SORT), -1);
  // The sort codes are not truth operations.
  auto child = test::run_in_child([&] { actions::compare(&one, &one, C_SORT); });
  EXPECT_EQ(child.status, 101);
}

}  // namespace
}  // namespace zol
