// The interpreter through Zol source: evaluation order, operators, words, paths
// and the errors of evaluation.
#include <gtest/gtest.h>

#include "runtime/error.h"
#include "zol_text.h"

namespace zol {
namespace {

struct Case {
  const char* source;
  const char* expected;
};

std::string error_text(int category, int id) {
  return "error " + std::to_string(category) + " " + std::to_string(id);
}

void check(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(test::eval(c.source), c.expected) << c.source;
}

TEST(Interpreter, OperatorsGroupFromTheLeft) {
  check({
      {"1 + 2 * 3", "9"},
      {"1 + (2 * 3)", "7"},
      {"negate 1 + 2", "-3"},
      {"10 - 2 - 3", "5"},
      {"2147483647 + 1", "2147483648.0"},
      {"3 < 4", "true"},
      {"1 + 1 = 2", "true"},
      {"x: 5 x * x", "25"},
  });
}

TEST(Interpreter, EvaluationOfEachKindOfValue) {
  check({
      {"", "unset"},
      {"()", "unset"},
      {"(1 2)", "2"},
      {"[a b]", "[a b]"},
      {"'a", "a"},
      {"x: 'b :x", "b"},
      {"x: [1 2 3] x/2", "2"},
      {"x: [1 [4 5] 3] x/2/1", "4"},
      {"x: [1 2 3] x/2: 7 x", "[1 7 3]"},
      {"x: [1 2 3] n: 3 x/:n", "3"},
      {"x: [1 2 3] x/(1 + 1)", "2"},
      {"'a/b", "a/b"},
      {"a: b: 4 a + b", "8"},
  });
}

TEST(Interpreter, ErrorsOfEvaluation) {
  using namespace err::script;
  check({
      {"x:", error_text(err::SCRIPT, NEED_VALUE).c_str()},
      {"x: ()", error_text(err::SCRIPT, NEED_VALUE).c_str()},
      {"+", error_text(err::SCRIPT, NO_OP_ARG).c_str()},
      {"no-such-word", error_text(err::SCRIPT, NO_VALUE).c_str()},
      {"negate", error_text(err::SCRIPT, NO_ARG).c_str()},
      {"negate 'a", error_text(err::SCRIPT, EXPECT_ARG).c_str()},
      {"x: [1 2] x/3", "none"},
      {"x: 5 x/1", error_text(err::SCRIPT, BAD_PATH_TYPE).c_str()},
      {"do to path! [1 x]", error_text(err::SCRIPT, WORD_FIRST).c_str()},
      {"f: func [] [] f/1: 2", error_text(err::SCRIPT, INVALID_PATH_SET).c_str()},
      {"1 + 2 nothing", error_text(err::SCRIPT, NO_VALUE).c_str()},
  });
}

}  // namespace
}  // namespace zol
