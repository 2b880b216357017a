// The block! actions: searching, the edits, copying, making and converting,
// comparison, path steps and the text of blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/core/error.h"
#include "runtime/text/mold.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

using test::at;
using test::show;
using test::value;

Cell I(int32_t n) { return values::integer(n); }
std::string script_error(err::script id) { return "error " + test::error_name(id); }

std::string outcome(const std::function<Cell()>& fn) {
  std::string shown;
  std::string e = test::raised([&] { shown = show(fn()); });
  return e.empty() ? shown : "error " + e;
}

// The refinements of find and select, by name.
struct Find {
  const Cell* part = nullptr;
  const Cell* skip = nullptr;
  bool only = false, case_ = false, same = false, last = false, reverse = false, tail = false,
       match = false;
};

std::string find(Cell series, Cell v, Find f = {}) {
  return outcome([&] {
    return *actions::find_typed(&series, &v,
                                {.part = f.part, .skip = f.skip, .only = f.only,
                                 .case_ = f.case_, .same = f.same, .last = f.last,
                                 .reverse = f.reverse, .tail = f.tail, .match = f.match});
  });
}

std::string select(Cell series, Cell v, Find f = {}) {
  return outcome([&] {
    return *actions::select_typed(&series, &v,
                                  {.part = f.part, .skip = f.skip, .only = f.only,
                                   .case_ = f.case_, .same = f.same, .last = f.last,
                                   .reverse = f.reverse});
  });
}

TEST(BlockFind, RefinementsAndMatchingModes) {
  const Cell two = I(2), three = I(3), zero = I(0), bad_skip = I(0);
  Cell words = value("[a b c a b c]");
  Cell limit = words;
  series_cell::set_head(&limit, 3);
  Cell typeset;
  typeset::clear(&typeset);
  Cell integer_type = values::of_datatype(T_INTEGER);
  typeset::add_type(&typeset, &integer_type);
  Cell integer_block = value("[x [b] 1 y 2]");
  struct Case {
    Cell series, v;
    Find refinements;
    std::string expected;
  };
  const Case cases[] = {
      {words, value("b"), {}, "@2 [b c a b c]"},
      {words, value("z"), {}, "none"},
      {words, value("b"), {.tail = true}, "@3 [c a b c]"},
      {words, value("b"), {.last = true}, "@5 [b c]"},
      {at("[a b c a b c]", 4), value("a"), {.reverse = true}, "@4 [a b c]"},
      {at("[a b c a b c]", 0), value("a"), {.reverse = true}, "none"},
      {words, value("[b c]"), {}, "@2 [b c a b c]"},
      {words, value("[b c]"), {.last = true}, "@5 [b c]"},
      {words, value("[b c]"), {.tail = true}, "@4 [a b c]"},
      {words, value("[c b]"), {}, "none"},
      {words, value("[a b]"), {.match = true}, "@1 [a b c a b c]"},
      {words, value("[a b]"), {.tail = true, .match = true}, "@3 [c a b c]"},
      {words, value("b"), {.match = true}, "none"},
      {words, value("c"), {.part = &two}, "none"},
      {words, value("c"), {.part = &three}, "@3 [c a b c]"},
      {words, value("c"), {.part = &zero}, "none"},
      {words, value("b"), {.part = &limit, .last = true}, "@2 [b c a b c]"},
      {words, value("c"), {.skip = &two}, "@3 [c a b c]"},
      {words, value("c"), {.skip = &three}, "none"},
      {words, value("c"), {.skip = &bad_skip}, script_error(err::script::OUT_OF_RANGE)},
      {words, value("c"), {.skip = &words}, script_error(err::script::INVALID_REFINE_ARG)},
      {words, value("c"), {.part = &integer_block}, script_error(err::script::INVALID_REFINE_ARG)},
      {value("[a A]"), value("A"), {}, "@1 [a A]"},
      {value("[a A]"), value("A"), {.case_ = true}, "@2 [A]"},
      {value("[a 'a]"), value("'a"), {.case_ = true}, "@2 ['a]"},
      {integer_block, integer_type, {}, "@3 [1 y 2]"},
      {integer_block, typeset, {.last = true}, "@5 [2]"},
      {integer_block, integer_type, {.only = true}, "none"},
      {integer_block, value("[b]"), {.only = true}, "@2 [[b] 1 y 2]"},
      {value("[]"), value("a"), {}, "none"},
      {at("[a]", 1), value("a"), {}, "none"},
  };
  for (const Case& c : cases) EXPECT_EQ(find(c.series, c.v, c.refinements), c.expected) << show(c.v);
}

TEST(BlockFind, SameFindsTheSameSeriesOnly) {
  Cell inner = value("[x]");
  Cell holder = value("[[x] 0]");
  block::append(&holder, &inner);
  EXPECT_EQ(find(holder, inner, {.only = true}), "@1 [[x] 0 [x]]");
  EXPECT_EQ(find(holder, inner, {.only = true, .same = true}), "@3 [[x]]");
}

TEST(BlockSelect, TheValueAfterTheMatch) {
  struct Case {
    const char* series;
    Cell v;
    Find refinements;
    const char* expected;
  };
  const Case cases[] = {
      {"[a 1 b 2]", value("b"), {}, "2"},
      {"[a 1 b 2]", value("2"), {}, "none"},
      {"[x a b c]", value("[a b]"), {}, "c"},
      {"[x [a b] c]", value("[a b]"), {.only = true}, "c"},
      {"[a 1 a 2]", value("a"), {.last = true}, "2"},
      {"[a 1 b 2]", value("z"), {}, "none"},
  };
  for (const Case& c : cases) EXPECT_EQ(select(value(c.series), c.v, c.refinements), c.expected) << c.series;
}

TEST(BlockPut, ReplacesAppendsOrAddsThePair) {
  struct Case {
    const char* series;
    const char* key;
    const char* put;
    const char* after;
  };
  const Case cases[] = {
      {"[a 1 b 2]", "b", "9", "[a 1 b 9]"},
      {"[a 1 b]", "b", "9", "[a 1 b 9]"},
      {"[a 1]", "c", "3", "[a 1 c 3]"},
      {"[a 1]", "a", "1", "[a 1]"},
  };
  for (const Case& c : cases) {
    Cell s = value(c.series), k = value(c.key), v = value(c.put);
    EXPECT_EQ(show(*actions::put_typed(&s, &k, &v, false)), c.put);
    EXPECT_EQ(test::mold(s), c.after) << c.series;
  }
}

// Calls the append or insert entry on a frame [series value part? dup?].
std::string edit(void (*entry)(int, int, int), Cell series, Cell v, const Cell* part = nullptr,
                 const Cell* dup = nullptr, bool only = false) {
  return outcome([&] {
    std::initializer_list<Cell> with_part = {series, v, part ? *part : values::none,
                                             dup ? *dup : values::none};
    return test::call_on_frame(with_part, [&] { entry(part ? 2 : -1, only ? 1 : -1, dup ? 3 : -1); });
  });
}

TEST(BlockInsert, AppendReturnsTheHeadInsertThePositionAfter) {
  const Cell two = I(2), zero = I(0), three = I(3);
  struct Case {
    void (*entry)(int, int, int);
    Cell series, v;
    const Cell* part;
    const Cell* dup;
    bool only;
    const char* result;
    const char* whole;
  };
  const Case cases[] = {
      {actions::append, at("[a b]", 1), value("c"), nullptr, nullptr, false, "@1 [a b c]", "[a b c]"},
      {actions::append, value("[a]"), value("[b c]"), nullptr, nullptr, false, "@1 [a b c]", "[a b c]"},
      {actions::append, value("[a]"), value("[b c]"), nullptr, nullptr, true, "@1 [a [b c]]", "[a [b c]]"},
      {actions::append, value("[a]"), value("[b c d]"), &two, nullptr, false, "@1 [a b c]", "[a b c]"},
      {actions::append, value("[a]"), value("x"), nullptr, &three, false, "@1 [a x x x]", "[a x x x]"},
      {actions::append, value("[a]"), value("[x y]"), nullptr, &two, false, "@1 [a x y x y]", "[a x y x y]"},
      {actions::insert, value("[a b]"), value("x"), nullptr, nullptr, false, "@2 [a b]", "[x a b]"},
      {actions::insert, at("[a b]", 1), value("[x y]"), nullptr, nullptr, false, "@4 [b]", "[a x y b]"},
      {actions::insert, value("[a]"), value("x"), nullptr, &zero, false, "@1 [a]", "[a]"},
      {actions::insert, at("[a]", 5), value("x"), nullptr, nullptr, false, "@3 []", "[a x]"},
      {actions::insert, value("[a]"), value("[]"), nullptr, nullptr, false, "@1 [a]", "[a]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(edit(c.entry, c.series, c.v, c.part, c.dup, c.only), c.result) << c.whole;
    Cell whole = c.series;
    series_cell::set_head(&whole, 0);
    EXPECT_EQ(test::mold(whole), c.whole);
  }
  Cell self = value("[a b]");
  actions::append_typed(&self, &self, -1, false, 1);
  EXPECT_EQ(test::mold(self), "[a b a b]") << "a block appended to itself";
  Cell middle = at("[a b c]", 1);
  Cell whole = middle;
  series_cell::set_head(&whole, 0);
  actions::insert_typed(&middle, &whole, -1, false, 2);
  EXPECT_EQ(test::mold(whole), "[a a b c a b c b c]") << "inserted into itself, twice";
  EXPECT_EQ(edit(actions::append, value("[a]"), I(1), &two), script_error(err::script::INVALID_PART));
}

TEST(BlockChange, ReplacesAndCountsPastTheTail) {
  struct Case {
    Cell series, v;
    int32_t part, dup;
    bool only;
    const char* result;
    const char* whole;
  };
  const Case cases[] = {
      {value("[a b c]"), value("x"), -1, 1, false, "@2 [b c]", "[x b c]"},
      {value("[a b c]"), value("[x y]"), -1, 1, false, "@3 [c]", "[x y c]"},
      {value("[a b c]"), value("[x y]"), -1, 1, true, "@2 [b c]", "[[x y] b c]"},
      {at("[a b c]", 1), value("x"), 9, 1, false, "@3 []", "[a x]"},
      {value("[a b c]"), value("[x y z w]"), 1, 1, false, "@5 [b c]", "[x y z w b c]"},
      {value("[a b c]"), value("x"), 2, 3, false, "@4 [c]", "[x x x c]"},
      {value("[a b c]"), value("[]"), 2, 1, false, "@1 [c]", "[c]"},
      {at("[a b]", 2), value("x"), -1, 1, false, "@4 []", "[a b x]"},
      // Negative counts from a typed caller change nothing.
      {value("[a b c]"), value("x"), -5, 1, false, "@2 [a b c]", "[x a b c]"},
      {value("[a b c]"), value("x"), -1, -3, false, "@1 [a b c]", "[a b c]"},
  };
  for (const Case& c : cases) {
    Cell s = c.series, v = c.v;
    EXPECT_EQ(show(*actions::change_typed(&s, &v, c.part, c.only, c.dup)), c.result) << c.whole;
    Cell whole = c.series;
    series_cell::set_head(&whole, 0);
    EXPECT_EQ(test::mold(whole), c.whole);
  }
  Cell unchanged = value("[a b]"), x = value("x");
  actions::insert_typed(&unchanged, &x, -1, false, -2);
  EXPECT_EQ(test::mold(unchanged), "[a b]") << "a negative /dup inserts nothing";
  Cell self = value("[a b c]");
  Cell tail = self;
  series_cell::set_head(&tail, 1);
  EXPECT_EQ(show(*actions::change_typed(&self, &tail, 1, false, 1)), "@3 [b c]");
  series_cell::set_head(&self, 0);
  EXPECT_EQ(test::mold(self), "[b c b c]") << "a block changed from itself";
}

TEST(BlockTakeSwapTrim, Edits) {
  Cell nested = value("[[x] y]");
  Cell inner = *block::cell_at(&nested, 0);
  Cell taken = nested;
  actions::take_typed(&taken, nullptr, true, false);
  EXPECT_EQ(test::mold(taken), "[x]");
  EXPECT_NE(taken.w2, inner.w2) << "take/deep copies the nested block";
  Cell part = I(1);
  Cell shallow = value("[[x] y]");
  Cell shallow_inner = *block::cell_at(&shallow, 0);
  actions::take_typed(&shallow, &part, false, false);
  EXPECT_EQ(block::cell_at(&shallow, 0)->w2, shallow_inner.w2) << "take/part without deep shares";

  Cell a = at("[a b c]", 1), b = value("[x y]");
  EXPECT_EQ(show(*actions::swap_typed(&a, &b)), "@2 [x c]");
  EXPECT_EQ(test::mold(b), "[b y]");
  Cell end = at("[a]", 1);
  actions::swap_typed(&end, &b);
  EXPECT_EQ(test::mold(b), "[b y]") << "a series at its tail swaps nothing";
  Cell number = I(3);
  EXPECT_EQ(outcome([&] { return *actions::swap_typed(&a, &number); }),
            script_error(err::script::INVALID_ARG));

  Cell holes = at("[#(none) a #(none) #(none) b #(none)]", 1);
  actions::trim_typed(&holes);
  series_cell::set_head(&holes, 0);
  EXPECT_EQ(test::mold(holes), "[none a b]") << "trim removes none from the head on";
}

TEST(BlockCopy, DeepCopiesAndCycles) {
  Cell nested = value("[a [b [c]] (d)]");
  Cell copied = test::call_on_frame({nested}, [] { actions::copy(-1, 1, -1); });
  EXPECT_EQ(test::mold(copied), "[a [b [c]] (d)]");
  Cell original_inner = *block::cell_at(&nested, 1);
  Cell copied_inner = *block::cell_at(&copied, 1);
  EXPECT_NE(original_inner.w2, copied_inner.w2);
  Cell deepest = *block::cell_at(&copied_inner, 1);
  EXPECT_NE(deepest.w2, block::cell_at(&original_inner, 1)->w2);

  Cell kinds = values::of_datatype(T_PAREN);
  Cell typed = test::call_on_frame({nested, kinds}, [] { actions::copy(-1, -1, 1); });
  EXPECT_EQ(block::cell_at(&typed, 1)->w2, original_inner.w2) << "/types: only parens copied";
  EXPECT_NE(block::cell_at(&typed, 2)->w2, block::cell_at(&nested, 2)->w2);

  Cell cyclic = value("[a]");
  block::append(&cyclic, &cyclic);
  EXPECT_EQ(test::raised([&] { test::call_on_frame({cyclic}, [] { actions::copy(-1, 1, -1); }); }),
            test::error_name(err::internal::NO_CYCLE));
  EXPECT_EQ(cycles::depth(), 0) << "the cycle stack is reset";
  Cell shallow = test::call_on_frame({cyclic}, [] { actions::copy(-1, -1, -1); });
  EXPECT_EQ(block::cell_at(&shallow, 1)->w2, cyclic.w2) << "a shallow copy shares";
}

TEST(BlockMake, SpecsSizesAndTheirLimits) {
  Cell block_type = values::of_datatype(T_BLOCK);
  auto make = [&](Cell proto, Cell spec) { return outcome([&] { return *actions::make_typed(&proto, &spec); }); };
  auto capacity = [&](Cell spec) {
    Cell proto = block_type;
    Cell* made = actions::make_typed(&proto, &spec);
    return block::buffer(made)->size / 16;
  };
  auto number = [](double d) {
    Cell f{T_FLOAT, 0, 0, 0};
    cell::put_double(&f, d);
    return f;
  };
  EXPECT_EQ(capacity(I(0)), 1u);
  EXPECT_EQ(capacity(I(-5)), 1u) << "a negative size is clamped";
  EXPECT_EQ(capacity(I(10)), 10u);
  EXPECT_EQ(capacity(number(2.7)), 2u);
  EXPECT_EQ(capacity(number(-1e300)), 1u);
  EXPECT_EQ(make(block_type, I(2147483647)), "error " + test::error_name(err::internal::NO_MEMORY));
  EXPECT_EQ(make(block_type, number(1e300)), "error " + test::error_name(err::internal::NO_MEMORY));
  EXPECT_EQ(make(block_type, number(std::numeric_limits<double>::quiet_NaN())),
            script_error(err::script::BAD_MAKE_ARG));
  EXPECT_EQ(make(block_type, value("(a b)")), "@1 [a b]");
  EXPECT_EQ(make(value("[]"), value("a/b")), "@1 [a b]") << "a block prototype makes a block";
  EXPECT_EQ(make(block_type, value("x")), script_error(err::script::BAD_MAKE_ARG));

  auto to = [&](uint8_t type, Cell spec) {
    Cell proto = values::of_datatype(type);
    return outcome([&] { return *actions::to_typed(&proto, &spec); });
  };
  EXPECT_EQ(to(T_BLOCK, value("x")), "@1 [x]");
  EXPECT_EQ(to(T_BLOCK, at("[a b c]", 1)), "@1 [b c]");
  EXPECT_EQ(to(T_PAREN, value("[a]")), "@1 (a)");
  Cell types;
  typeset::clear(&types);
  Cell none_type = values::of_datatype(T_NONE), logic_type = values::of_datatype(T_LOGIC);
  typeset::add_type(&types, &logic_type);
  typeset::add_type(&types, &none_type);
  EXPECT_EQ(to(T_BLOCK, types), "@1 [none! logic!]");
}

TEST(BlockCompare, OrderAndEquality) {
  struct Case {
    Cell a, b;
    int op;
    int expected;
  };
  const Case cases[] = {
      {value("[a 1]"), value("[a 1]"), C_EQUAL, 0},
      {value("[a 1]"), value("[A 1]"), C_EQUAL, 0},
      {value("[a 1]"), value("[A 1]"), C_STRICT_EQUAL, 1},
      {value("[a 1]"), value("[a 2]"), C_LESSER, -1},
      {value("[a 1]"), value("[a 1 0]"), C_LESSER, -1},
      {value("[a 1]"), value("[a 1 0]"), C_EQUAL, 1},
      {value("[a]"), value("(a)"), C_EQUAL, COMPARE_NOT_COMPARABLE},
      {value("a/b"), value("'a/b"), C_WORD, 0},
      {value("a/b"), value("'a/b"), C_EQUAL, COMPARE_NOT_COMPARABLE},
      {value("[1 a]"), value("[a 1]"), C_SORT, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(actions::compare_typed(&c.a, &c.b, c.op), c.expected) << test::mold(c.a) << " " << c.op;
  Cell looped = value("[x]"), other = value("[x]");
  block::append(&looped, &looped);
  block::append(&other, &other);
  EXPECT_EQ(actions::compare_typed(&looped, &other, C_EQUAL), 0) << "self-containing blocks end";
  EXPECT_EQ(cycles::depth(), 0);
  // Blocks of mismatched cells inside a walk leave the walk's own entry in place.
  Cell outer = value("[x]");
  cycles::push(outer.w2);
  Cell a = value("[1 a]"), b = value("[a 1]");
  actions::compare_typed(&a, &b, C_SORT);
  EXPECT_EQ(cycles::depth(), 1);
  EXPECT_TRUE(cycles::find(outer.w2));
  cycles::pop();
}

TEST(BlockEvalPath, SelectPickAndSet) {
  auto step = [](Cell parent, Cell element, const Cell* set = nullptr) {
    Cell v = set ? *set : values::none;
    return outcome([&] {
      return *actions::eval_path_typed(&parent, &element, set ? &v : nullptr, nullptr, -1);
    });
  };
  Cell data = value("[a 1 B: 2 [c] 3]");
  EXPECT_EQ(step(data, value("a")), "1");
  EXPECT_EQ(step(data, value("b")), "2") << "a word selects any word type, ignoring case";
  EXPECT_EQ(step(data, I(2)), "1");
  EXPECT_EQ(step(data, I(9)), "none");
  EXPECT_EQ(step(data, value("[c]")), "3") << "other values select with /only";
  EXPECT_EQ(step(data, value("z")), "none");
  Cell nine = I(9);
  EXPECT_EQ(step(data, value("a"), &nine), "9");
  EXPECT_EQ(test::mold(data), "[a 9 B: 2 [c] 3]");
  EXPECT_EQ(step(data, I(1), &nine), "9");
  EXPECT_EQ(test::mold(data), "[9 9 B: 2 [c] 3]");
  EXPECT_EQ(step(data, value("z"), &nine), script_error(err::script::BAD_PATH_SET));
}

TEST(BlockText, MoldAndFormLayout) {
  Cell lines = test::load("[\n  a b\n  c\n]");
  Cell laid = *block::cell_at(&lines, 0);
  EXPECT_EQ(test::mold(laid), "[\n    a b\n    c\n]");
  Cell nested = test::load("[x [\n  a\n  b\n]]");
  EXPECT_EQ(test::mold(*block::cell_at(&nested, 0)), "[x [\n    a\n    b\n]]");
  Cell self = value("[a]");
  block::append(&self, &self);
  EXPECT_EQ(test::mold(self), "[a [...]]");
  EXPECT_EQ(test::form(self), "a ...");
  EXPECT_EQ(test::form(value("[a [b c] d]")), "a b c d");
  EXPECT_EQ(test::mold(value("[a (b) c/d]")), "[a (b) c/d]");
  Cell limited = value("[abc def ghi]");
  Cell out;
  string::make_at(&out, 8);
  Cell part = I(5);
  actions::mold_typed(&limited, &out, {.part = &part}, 5);
  EXPECT_EQ(string::to_utf8(&out), "[abc def]") << "molding stops once the budget is spent";
}

}  // namespace
}  // namespace zol
