// The fast paths of compiled code: inline arithmetic, comparison, value/N and
// navigation give what the generic actions give, each result form leaves the stack
// as it promises, fallbacks name the calling word in their errors, and codes
// outside the tables are fatal.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

Cell word(const char* name) { return Cell{T_WORD, 0, symbol::make(name), 0xFFFFFFFFu}; }

// The word that names every call in these tests (made once the runtime is up).
const Cell* caller() {
  static const Cell name = word("op-word");
  return &name;
}

// The stack-level entry the generic call of each math code runs.
MinimalFn math_entry(int op) {
  switch (op) {
    case OP_ADD: return actions::add;
    case OP_SUBTRACT: return actions::subtract;
    case OP_MULTIPLY: return actions::multiply;
    case OP_OR: return actions::or_t;
    case OP_AND: return actions::and_t;
    default: return actions::xor_t;
  }
}

Cell generic_math(int op, const Cell& left, const Cell& right) {
  return test::call_on_frame({left, right}, math_entry(op));
}

// Runs a form that must answer `slot` and leave the stack one cell above `base`;
// answers the cell's value and puts the stack back.
Cell run_form(Cell* base, Cell* slot, const std::function<Cell*()>& form) {
  Cell* result = form();
  EXPECT_EQ(result, slot);
  EXPECT_EQ(stack::top, base + 1);
  Cell value = *slot;
  stack::top = base;
  return value;
}

// A form that pushes its result.
Cell pushed(const std::function<Cell*()>& form) { return run_form(stack::top, stack::top, form); }

// A form that takes `left` as the top cell and overwrites it with its result.
Cell on_top(const Cell& left, const std::function<Cell*()>& form) {
  Cell* base = stack::top;
  Cell* slot = stack::push(&left);
  return run_form(base, slot, form);
}

// --- math -------------------------------------------------------------------------------

struct MathCase {
  int op;
  const char* left;
  const char* right;
};

// Integer and float operands that are done inline, and mixed ones that fall back.
const MathCase math_cases[] = {
    {OP_ADD, "2147483647", "1"},          {OP_SUBTRACT, "-2147483648", "1"},
    {OP_MULTIPLY, "65536", "65536"},      {OP_MULTIPLY, "-46341", "46341"},
    {OP_ADD, "-7", "3"},                  {OP_SUBTRACT, "10", "-32"},
    {OP_MULTIPLY, "-6", "7"},             {OP_XOR, "7", "3"},
    {OP_AND, "12", "10"},                 {OP_OR, "12", "-16"},
    {OP_ADD, "1.5", "2.25"},              {OP_SUBTRACT, "0.1", "0.3"},
    {OP_MULTIPLY, "1e300", "1e10"},       {OP_ADD, "1", "2.5"},
    {OP_SUBTRACT, "2.5", "1"},            {OP_MULTIPLY, "3", "50%"},
    {OP_ADD, "10%", "0.5"},
};

// Every form on every case agrees with the generic action.
TEST(MathFast, EveryFormGivesTheGenericResult) {
  for (const MathCase& c : math_cases) {
    SCOPED_TRACE(std::string(c.left) + " op" + std::to_string(c.op) + " " + c.right);
    Cell left = test::value(c.left), right = test::value(c.right);
    std::string expected = test::mold(generic_math(c.op, left, right));
    EXPECT_EQ(test::mold(pushed([&] { return actions::math_fast(c.op, caller(), &left, &right); })),
              expected);
    EXPECT_EQ(test::mold(on_top(left, [&] { return actions::math_fast_top(c.op, caller(), &right); })),
              expected);
    if (!right.is(T_INTEGER)) continue;
    int32_t constant = cell::get_int(&right);
    EXPECT_EQ(test::mold(pushed([&] {
                return actions::math_fast_int(c.op, caller(), &left, constant);
              })),
              expected);
    EXPECT_EQ(test::mold(on_top(left, [&] {
                return actions::math_fast_top_int(c.op, caller(), constant);
              })),
              expected);
  }
}

TEST(MathFast, IntegerOverflowGivesTheExactFloat) {
  struct Case {
    int op;
    int32_t left, right;
    double exact;
  };
  const Case cases[] = {
      {OP_ADD, 2147483647, 1, 2147483647.0 + 1.0},
      {OP_SUBTRACT, -2147483647 - 1, 1, -2147483648.0 - 1.0},
      {OP_MULTIPLY, 65536, 65536, 65536.0 * 65536.0},
  };
  for (const Case& c : cases) {
    Cell left = values::integer(c.left), right = values::integer(c.right);
    Cell r = pushed([&] { return actions::math_fast(c.op, caller(), &left, &right); });
    ASSERT_TRUE(r.is(T_FLOAT)) << c.op;
    EXPECT_EQ(cell::get_double(&r), c.exact) << c.op;
  }
  Cell seven = values::integer(7);
  Cell r = pushed([&] { return actions::math_fast_int(OP_XOR, caller(), &seven, 3); });
  ASSERT_TRUE(r.is(T_INTEGER));
  EXPECT_EQ(cell::get_int(&r), 7 ^ 3);
}

// A fallback that fails raises what the generic action raises, with the calling
// word as the error's location, and leaves the stacks to the try.
TEST(MathFast, FallbackErrorsNameTheCallingWord) {
  Cell a = test::value("1.5"), b = test::value("2.5"), text = test::value("\"x\"");
  struct Case {
    int op;
    Cell left, right;
  };
  const Case cases[] = {{OP_AND, a, b}, {OP_XOR, a, b}, {OP_ADD, text, a}, {OP_OR, a, text}};
  for (const Case& c : cases) {
    SCOPED_TRACE(test::mold(c.left) + " op" + std::to_string(c.op) + " " + test::mold(c.right));
    std::string generic = test::raised([&] { generic_math(c.op, c.left, c.right); });
    ASSERT_NE(generic, "");
    const std::function<void()> forms[] = {
        [&] { actions::math_fast(c.op, caller(), &c.left, &c.right); },
        [&] {
          stack::push(&c.left);
          actions::math_fast_top(c.op, caller(), &c.right);
        },
    };
    for (const auto& form : forms) {
      Cell* top = stack::top;
      EXPECT_EQ(test::raised(form), generic);
      EXPECT_EQ(stack::top, top);
      const Cell* where = error::field(&exits::value, error::F_WHERE);
      ASSERT_TRUE(where->is(T_WORD));
      EXPECT_EQ(word_cell::symbol(where), word_cell::symbol(caller()));
    }
  }
}

// --- comparison ---------------------------------------------------------------------------

struct ComparePair {
  const char* left;
  const char* right;
};

const ComparePair compare_pairs[] = {
    {"1", "2"},           {"2", "2"},      {"3", "2"},     {"-2147483648", "2147483647"},
    {"1", "1.0"},         {"2.5", "2"},    {"1.0", "1.0"}, {"\"abc\"", "\"abd\""},
    {"\"abc\"", "\"ABC\""}, {"1", "none"},
};

constexpr int COMPARISON_CODES[] = {C_EQUAL,      C_NOT_EQUAL, C_STRICT_EQUAL,   C_LESSER,
                                    C_LESSER_EQUAL, C_GREATER, C_GREATER_EQUAL};

// A truth as text, or the error raised on the way (as "category/id").
std::string outcome(const std::function<bool()>& truth) {
  bool t = false;
  std::string error = test::raised([&] { t = truth(); });
  return error.empty() ? (t ? "true" : "false") : error;
}

std::string generic_compare(int op, const Cell& left, const Cell& right) {
  return outcome([&] { return actions::compare(&left, &right, op); });
}

bool logic_of(const Cell& c) {
  EXPECT_TRUE(c.is(T_LOGIC));
  return logic::get(&c);
}

// The truth each form gives for one comparison, with its own stack checks.
using CompareForm = std::function<bool(int op, const Cell& left, const Cell& right)>;

struct NamedForm {
  const char* name;
  CompareForm run;
  bool needs_integer_right;
};

bool run_test_form(bool with_constant, int op, const Cell& left, const Cell& right) {
  // Called once for each expected truth: the answers must be complements, and the
  // stack must not move.
  int differs[2];
  for (int expected : {0, 1}) {
    Cell* top = stack::top;
    differs[expected] =
        with_constant
            ? actions::compare_fast_int_test(op, caller(), &left, cell::get_int(&right), expected)
            : actions::compare_fast_test(op, caller(), &left, &right, expected);
    EXPECT_EQ(stack::top, top);
  }
  EXPECT_EQ(differs[0] + differs[1], 1);
  return differs[1] == 0;   // the jump is not taken when the truth is as expected
}

bool run_set_form(bool with_constant, int op, const Cell& left, const Cell& right) {
  Cell* top = stack::top;
  stack::mark_native(nullptr);
  stack::push(&values::none);
  Cell* frame_first = stack::arguments;
  Cell* frame_top = stack::top;
  bool truth = with_constant
                   ? actions::compare_fast_int_set(op, caller(), &left, cell::get_int(&right))
                   : actions::compare_fast_set(op, caller(), &left, &right);
  EXPECT_EQ(stack::top, frame_top);
  EXPECT_EQ(logic_of(*frame_first), truth);
  stack::unwind();
  stack::top = top;
  return truth;
}

const NamedForm compare_forms[] = {
    {"compare_fast",
     [](int op, const Cell& l, const Cell& r) {
       return logic_of(pushed([&] { return actions::compare_fast(op, caller(), &l, &r); }));
     },
     false},
    {"compare_fast_int",
     [](int op, const Cell& l, const Cell& r) {
       return logic_of(pushed(
           [&] { return actions::compare_fast_int(op, caller(), &l, cell::get_int(&r)); }));
     },
     true},
    {"compare_fast_top",
     [](int op, const Cell& l, const Cell& r) {
       return logic_of(on_top(l, [&] { return actions::compare_fast_top(op, caller(), &r); }));
     },
     false},
    {"compare_fast_top_int",
     [](int op, const Cell& l, const Cell& r) {
       return logic_of(on_top(
           l, [&] { return actions::compare_fast_top_int(op, caller(), cell::get_int(&r)); }));
     },
     true},
    {"compare_fast_test",
     [](int op, const Cell& l, const Cell& r) { return run_test_form(false, op, l, r); }, false},
    {"compare_fast_int_test",
     [](int op, const Cell& l, const Cell& r) { return run_test_form(true, op, l, r); }, true},
    {"compare_fast_set",
     [](int op, const Cell& l, const Cell& r) { return run_set_form(false, op, l, r); }, false},
    {"compare_fast_int_set",
     [](int op, const Cell& l, const Cell& r) { return run_set_form(true, op, l, r); }, true},
};

TEST(CompareFast, EveryFormGivesTheGenericTruth) {
  for (const ComparePair& p : compare_pairs) {
    Cell left = test::value(p.left), right = test::value(p.right);
    for (int op : COMPARISON_CODES) {
      std::string expected = generic_compare(op, left, right);
      for (const NamedForm& form : compare_forms) {
        if (form.needs_integer_right && !right.is(T_INTEGER)) continue;
        SCOPED_TRACE(std::string(form.name) + ": " + p.left + " op" + std::to_string(op) + " " +
                     p.right);
        Cell* top = stack::top;
        EXPECT_EQ(outcome([&] { return form.run(op, left, right); }), expected);
        EXPECT_EQ(stack::top, top);
      }
    }
  }
}

TEST(CompareFast, TheTestFormAnswersWhetherToJump) {
  Cell one = values::integer(1), two = values::integer(2);
  // 1 < 2 holds: with expected 1 there is no jump, with expected 0 there is.
  EXPECT_EQ(actions::compare_fast_test(C_LESSER, caller(), &one, &two, 1), 0);
  EXPECT_EQ(actions::compare_fast_test(C_LESSER, caller(), &one, &two, 0), 1);
  EXPECT_EQ(actions::compare_fast_int_test(C_GREATER, caller(), &one, 2, 1), 1);
}

TEST(CompareFast, FallbackErrorsNameTheCallingWord) {
  Cell one = values::integer(1), none = values::none;
  std::string invalid = test::error_name(err::script::INVALID_COMPARE);
  for (const NamedForm& form : compare_forms) {
    if (form.needs_integer_right) continue;
    SCOPED_TRACE(form.name);
    EXPECT_EQ(outcome([&] { return form.run(C_LESSER, one, none); }), invalid);
    const Cell* where = error::field(&exits::value, error::F_WHERE);
    ASSERT_TRUE(where->is(T_WORD));
    EXPECT_EQ(word_cell::symbol(where), word_cell::symbol(caller()));
  }
}

// --- value/N --------------------------------------------------------------------------------

// On a block, value/N answers what the path step answers for every N: the cell N
// from the head (1 the head, -1 the cell before it), none outside the block.
TEST(PickFast, OnABlockWhatThePathStepGives) {
  struct Case {
    const char* block;
    int32_t head;
  };
  const Case cases[] = {{"[10 20 30]", 0}, {"[10 20 30]", 1}, {"[10 20 30]", 3}, {"[]", 0}};
  for (const Case& c : cases) {
    Cell blk = test::at(c.block, c.head);
    for (int32_t n = -5; n <= 5; n++) {
      SCOPED_TRACE(test::show(blk) + " /" + std::to_string(n));
      Cell r = pushed([&] { return actions::pick_fast(&blk, n, caller()); });
      Cell generic =
          test::call_on_frame({blk, values::integer(n)}, [] { actions::eval_path(0); });
      EXPECT_EQ(test::mold(r), test::mold(generic));
    }
  }
  Cell blk = test::at("[10 20 30]", 1);
  EXPECT_EQ(test::mold(pushed([&] { return actions::pick_fast(&blk, -1, caller()); })), "10");
  EXPECT_TRUE(pushed([&] { return actions::pick_fast(&blk, 0, caller()); }).is(T_NONE));
}

TEST(PickFast, OtherTypesTakeThePathStep) {
  Cell text = test::at("\"abc\"", 1);
  for (int32_t n = 0; n <= 3; n++) {
    Cell generic =
        test::call_on_frame({text, values::integer(n)}, [] { actions::eval_path(0); });
    Cell r = pushed([&] { return actions::pick_fast(&text, n, caller()); });
    EXPECT_EQ(test::mold(r), test::mold(generic)) << n;
  }
  Cell one = values::integer(1);
  Cell* top = stack::top;
  EXPECT_EQ(test::raised([&] { actions::pick_fast(&one, 1, caller()); }),
            test::error_name(err::script::BAD_PATH_TYPE2));
  EXPECT_EQ(stack::top, top);
  const Cell* where = error::field(&exits::value, error::F_WHERE);
  ASSERT_TRUE(where->is(T_WORD));
  EXPECT_EQ(word_cell::symbol(where), word_cell::symbol(caller()));
}

// --- navigation -------------------------------------------------------------------------------

TEST(NavigateFast, EverySelectorGivesTheGenericResult) {
  const MinimalFn generic[] = {nullptr,          actions::length_q, actions::index_q,
                               actions::head_q,  actions::tail_q,   actions::next,
                               actions::back,    actions::head,     actions::tail};
  const Cell series[] = {test::at("[a b c]", 0), test::at("[a b c]", 1), test::at("[a b c]", 3),
                         test::at("[]", 0),      test::at("\"abc\"", 0), test::at("\"abc\"", 2),
                         test::at("\"abc\"", 3)};
  for (const Cell& s : series) {
    for (int selector = actions::NAV_LENGTH_Q; selector <= actions::NAV_TAIL; selector++) {
      SCOPED_TRACE(test::show(s) + " selector " + std::to_string(selector));
      Cell expected = test::call_on_frame({s}, generic[selector]);
      Cell r = pushed([&] { return actions::navigate_series_fast(&s, selector, caller()); });
      EXPECT_EQ(test::show(r), test::show(expected));
    }
  }
}

TEST(NavigateFast, NextAndBackStopAtTheEnds) {
  struct Case {
    int32_t head;
    int selector;
    int32_t moved_to;
  };
  const Case cases[] = {{3, actions::NAV_NEXT, 3}, {2, actions::NAV_NEXT, 3},
                        {0, actions::NAV_BACK, 0}, {1, actions::NAV_BACK, 0},
                        {1, actions::NAV_TAIL, 3}, {2, actions::NAV_HEAD, 0}};
  for (const Case& c : cases) {
    Cell blk = test::at("[a b c]", c.head);
    Cell r = pushed([&] { return actions::navigate_series_fast(&blk, c.selector, caller()); });
    ASSERT_TRUE(r.is(T_BLOCK));
    EXPECT_EQ(series_cell::node(&r), series_cell::node(&blk)) << "the same series";
    EXPECT_EQ(series_cell::head(&r), c.moved_to) << c.head << " selector " << c.selector;
  }
}

// --- codes outside the tables -----------------------------------------------------------------

TEST(FastPaths, UnknownCodesAreFatal) {
  Cell one = values::integer(1);
  Cell blk = test::at("[a]", 0);
  const std::function<void()> faults[] = {
      [&] { actions::math_fast(OP_DIVIDE, caller(), &one, &one); },
      [&] { actions::math_fast_int(OP_REMAINDER, caller(), &one, 1); },
      [&] { actions::math_fast(8, caller(), &one, &one); },
      [&] { actions::math_fast(-1, caller(), &one, &one); },
      [&] { actions::compare_fast(C_SORT, caller(), &one, &one); },
      [&] { actions::compare_fast_test(C_SAME, caller(), &one, &one, 1); },
      [&] { actions::navigate_series_fast(&blk, 0, caller()); },
      [&] { actions::navigate_series_fast(&blk, 9, caller()); },
  };
  for (const auto& fault : faults) {
    test::ChildResult r = test::run_in_child(fault);
    EXPECT_EQ(r.status, 101);
    EXPECT_NE(r.out.find("*** Runtime Error 101"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace zol
