// Sorting text (records, fields, case, direction, stability, part, a Zol
// comparator) and the set operations on text, over every unit width.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/actions.h"
#include "runtime/core/callback.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/core/error.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell I(int32_t n) { return values::integer(n); }

uint32_t unit_needed(const std::u32string& t) {
  uint32_t unit = 1;
  for (char32_t c : t) unit = std::max(unit, c > 0xFFFF ? 4u : c > 0xFF ? 2u : 1u);
  return unit;
}

std::string utf8(const Cell& s) { return string::to_utf8(&s); }
std::string whole(Cell s) {
  series_cell::set_head(&s, 0);
  return utf8(s);
}

using Sort = SortOptions;

std::string sorted(Cell s, Sort how) {
  std::string e = test::raised([&] {
    Cell work = s;
    actions::sort_typed(&work, how);
  });
  return e.empty() ? whole(s) : "error " + e;
}

TEST(StringSort, RecordsFieldsCaseAndDirection) {
  const Cell two = I(2), three = I(3), zero = I(0), minus_two = I(-2);
  const std::string refine_arg = "error " + test::error_name(err::script::INVALID_REFINE_ARG);
  const std::string bad_refines = "error " + test::error_name(err::script::BAD_REFINES);
  struct Case {
    std::u32string text;
    Sort how;
    int32_t head;
    std::string expected;
  };
  const Case cases[] = {
      {U"dbca", {}, 0, "abcd"},
      {U"dbca", {.reverse = true}, 0, "dcba"},
      {U"bBaAcC", {.stable = true}, 0, "aAbBcC"},
      {U"bBaAcC", {.case_ = true}, 0, "ABCabc"},
      {U"bBaAcC", {.case_ = true, .reverse = true}, 0, "cbaCBA"},
      {U"b2a1c0", {.skip = &two}, 0, "a1b2c0"},
      {U"b2a1c0", {.skip = &two, .compare = &two}, 0, "c0a1b2"},
      {U"a2a1b0", {.skip = &two, .all = true}, 0, "a1a2b0"},
      {U"b1a2b3a4", {.skip = &two, .stable = true}, 0, "a2a4b1b3"},
      {U"b1a2b3a4", {.skip = &two, .reverse = true, .stable = true}, 0, "b1b3a2a4"},
      {U"dcba", {.part = &two}, 1, "dbca"},
      {U"dcba", {.part = &minus_two}, 2, "cdba"},
      {U"\u03C9\u03A9\u03B1", {.stable = true}, 0, "\u03B1\u03C9\u03A9"},
      {U"\U00010428\U00010400a", {.stable = true}, 0, "a\U00010428\U00010400"},
      {U"\U00010428\U00010400a", {.case_ = true}, 0, "a\U00010400\U00010428"},
      {U"abcde", {.skip = &two}, 0, refine_arg},
      {U"ab", {.skip = &three}, 0, refine_arg},
      {U"ab", {.skip = &zero}, 0, refine_arg},
      {U"ab", {.all = true}, 0, bad_refines},
      {U"ab", {.compare = &two}, 0, bad_refines},
      {U"abcd", {.skip = &two, .compare = &three}, 0,
       "error " + test::error_name(err::script::OUT_OF_RANGE)},
      {U"", {.all = true}, 0, ""},
  };
  for (const Case& c : cases)
    for (uint32_t unit : {1u, 2u, 4u}) {
      if (unit < unit_needed(c.text)) continue;
      Cell s = test::text_of_unit(c.text, unit);
      series_cell::set_head(&s, c.head);
      EXPECT_EQ(sorted(s, c.how), c.expected) << whole(s) << " (unit " << unit << ")";
    }
}

TEST(StringSort, LatinOneFoldsOnlyAsciiLettersDown) {
  // Ignoring case, Latin-1 text compares lower-case ASCII letters, wider text the
  // upper case of every letter: "_" (0x5F) lies between the two.
  EXPECT_EQ(sorted(test::text_of_unit(U"b_A", 1), {}), "_Ab");
  EXPECT_EQ(sorted(test::text_of_unit(U"b_A", 2), {}), "Ab_");
  EXPECT_EQ(sorted(test::text_of_unit(U"\u00E9\u00C9", 1), {}), "\u00C9\u00E9") << "no case table";
  EXPECT_EQ(sorted(test::text_of_unit(U"\u00E9\u00C9", 2), {.stable = true}), "\u00E9\u00C9");
}

// --- a Zol comparator ------------------------------------------------------------------------

enum class Answer { LESS, INTEGER, FLOAT, RECORDS, WIDEN, RAISE };
Answer answer = Answer::LESS;
Cell being_sorted;
std::vector<std::string> arguments;

// Stands in for the interpreter: the comparator's arguments are the frame's cells,
// its answer goes to the frame's first cell.
void call_comparator(const Cell*, NodeRef, const Cell*, int) {
  Cell a = *stack::arg(0), b = *stack::arg(1);
  auto code = [](const Cell& v) { return int32_t(v.is(T_CHAR) ? v.w2 : string::view(&v)[1]); };
  if (a.is(T_STRING)) arguments.push_back(utf8(a));
  switch (answer) {
    case Answer::LESS: case Answer::RECORDS: logic::box(code(a) < code(b)); break;
    case Answer::INTEGER: *stack::arguments = I(code(a) - code(b)); break;
    case Answer::FLOAT: {
      Cell f{T_FLOAT, 0, 0, 0};
      cell::put_double(&f, double(code(a) - code(b)));
      *stack::arguments = f;
      break;
    }
    case Answer::WIDEN: {
      Cell whole = being_sorted;
      series_cell::set_head(&whole, 0);
      string::append_char(memory::buffer_of(series_cell::node(&whole)), 0x1F600);
      string::remove_char(memory::buffer_of(series_cell::node(&whole)), string::buffer_length(&whole) - 1);
      logic::box(code(a) < code(b));
      break;
    }
    case Answer::RAISE: fire(err::script::INVALID_ARG, &a);
  }
}

struct StringComparatorTest : ::testing::Test {
  Cell function{};
  test::HeldCells held_function{&function};
  test::HeldCells held_sorted{&being_sorted};
  void SetUp() override {
    function = Cell{T_FUNCTION, context::create(2, true, false, 0, 0), 0, 0};
    interpreter::call_function = call_comparator;
    arguments.clear();
  }
  void TearDown() override { interpreter::call_function = nullptr; }

  std::string sort(const std::u32string& text, Answer a, Sort how = {}, uint32_t unit = 1) {
    answer = a;
    Cell s = test::text_of_unit(text, unit);
    being_sorted = s;
    how.compare = &function;
    Cell* top = stack::top;
    std::string result = sorted(s, how);
    EXPECT_EQ(stack::top, top) << "the comparator frames are closed";
    return result;
  }
};

TEST_F(StringComparatorTest, TheAnswerOrdersTheText) {
  // The comparator hears the two characters in order; true, or a number below
  // zero, puts the first after the second. "first < second" and "first - second"
  // both order from the highest down; /reverse hands the characters over the other
  // way round.
  for (uint32_t unit : {1u, 2u, 4u}) {
    EXPECT_EQ(sort(U"cadb", Answer::LESS, {}, unit), "dcba") << unit;
    EXPECT_EQ(sort(U"cadb", Answer::LESS, {.reverse = true}, unit), "abcd") << unit;
    EXPECT_EQ(sort(U"cadb", Answer::INTEGER, {.stable = true}, unit), "dcba") << unit;
    EXPECT_EQ(sort(U"cadb", Answer::FLOAT, {}, unit), "dcba") << unit;
  }
  Cell two = I(2);
  EXPECT_EQ(sort(U"a3b1c2", Answer::RECORDS, {.skip = &two, .all = true, .stable = true}), "a3c2b1");
  EXPECT_FALSE(arguments.empty());
  EXPECT_EQ(arguments[0].size(), 2u) << "whole records arrive as strings";
}

TEST_F(StringComparatorTest, AComparatorThatWidensOrRaises) {
  EXPECT_EQ(sort(U"cadb", Answer::WIDEN), "dcba") << "the order lands in the widened text";
  EXPECT_EQ(sort(U"cadb", Answer::RAISE), "error " + test::error_name(err::script::INVALID_ARG));
}

TEST(StringSort, AZolFunctionComparesThroughTheInterpreter) {
  test::boot();
  Cell function = test::eval_value("func [a b] [a < b]");
  Cell s = test::text(U"bdac");
  EXPECT_EQ(sorted(s, {.compare = &function}), "dcba") << "a true answer puts the first after";
}

// --- set operations ------------------------------------------------------------------------------

std::string set_op(int op, const std::u32string& a, const std::u32string& b, uint32_t unit,
                   bool case_ = false, const Cell* skip = nullptr) {
  Cell first = test::text_of_unit(a, std::max(unit, unit_needed(a)));
  Cell second = test::text_of_unit(b, std::max(unit, unit_needed(b)));
  Cell result = test::call_on_frame({first, second}, [&] { string::do_set_op(case_, skip, op); });
  return result.is(T_STRING) ? utf8(result) : test::mold(result);
}

TEST(StringSetOps, CharactersWithAndWithoutCase) {
  struct Case {
    int op;
    std::u32string a, b;
    bool case_;
    std::string expected;
  };
  const Case cases[] = {
      {OP_UNIQUE, U"aAbB", U"", false, "ab"},
      {OP_UNIQUE, U"aAbB", U"", true, "aAbB"},
      {OP_UNION, U"abc", U"BCD", false, "abcD"},
      {OP_UNION, U"abc", U"BCD", true, "abcBCD"},
      {OP_INTERSECT, U"abcb", U"BCD", false, "bc"},
      {OP_INTERSECT, U"abc", U"BCD", true, ""},
      {OP_EXCLUDE, U"abcd", U"BD", false, "ac"},
      {OP_DIFFERENCE, U"abc", U"BCD", false, "aD"},
      {OP_DIFFERENCE, U"abc", U"BCD", true, "abcBCD"},
      {OP_UNIQUE, U"\u00E9\u00C9\u03C9\u03A9\U00010428\U00010400", U"", false, "\u00E9\u03C9\U00010428"},
      {OP_INTERSECT, U"x\u03C9", U"\u03A9", false, "\u03C9"},
  };
  for (const Case& c : cases)
    for (uint32_t unit : {1u, 2u, 4u})
      EXPECT_EQ(set_op(c.op, c.a, c.b, unit, c.case_), c.expected) << c.op << " (unit " << unit << ")";
}

TEST(StringSetOps, SkipComparesWholeRecords) {
  const Cell two = I(2), zero = I(0);
  struct Case {
    int op;
    std::u32string a, b;
    std::string expected;
  };
  const Case cases[] = {
      {OP_UNIQUE, U"a1a2a1b1", U"", "a1a2b1"},
      {OP_UNION, U"a1b2", U"a2b2c3", "a1b2a2c3"},
      {OP_INTERSECT, U"a1b2c3", U"a2b2", "b2"},
      {OP_EXCLUDE, U"a1b2c3", U"a2b2", "a1c3"},
      {OP_DIFFERENCE, U"a1b2", U"a2b2", "a1a2"},
      {OP_UNIQUE, U"a1a1a", U"", "a1a"},
      {OP_INTERSECT, U"ab", U"a", ""},
  };
  for (const Case& c : cases)
    for (uint32_t unit : {1u, 2u, 4u})
      EXPECT_EQ(set_op(c.op, c.a, c.b, unit, false, &two), c.expected) << c.op << " (unit " << unit << ")";
  EXPECT_EQ(test::raised([&] { set_op(OP_UNIQUE, U"ab", U"", 1, false, &zero); }),
            test::error_name(err::script::INVALID_REFINE_ARG));
}

}  // namespace
}  // namespace zol
