// The interpreter through Zol source: evaluation order, operators, words, paths
// and the errors of evaluation.
#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

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

// Plain math and comparison operators on numbers skip the action call; whatever
// the right operand is (literal, word, paren, call), the result must be the one the
// actions give: overflow to float!, integer! and float! mixed in double precision,
// other types and bad operands through the actions.
TEST(Interpreter, OperatorShortCutsGiveWhatTheActionsGive) {
  using enum err::script;
  check({
      {"2147483647 + (0 + 1)", "2147483648.0"},
      {"-2147483648 - (2 - 1)", "-2147483649.0"},
      {"x: 65536 x * (x)", "4294967296.0"},
      {"1.5 + 1", "2.5"},
      {"1 + 1.5", "2.5"},
      {"x: 0.1 x + (0.2)", "0.30000000000000004"},
      {"2 * (0.5 + 0)", "1.0"},
      {"x: 2 y: 3.0 x - y", "-1.0"},
      {"add 1 2.5", "3.5"},
      {"multiply 3 (4)", "12"},
      {"3 < (2 + 2)", "true"},
      {"3 >= (2 + 1)", "true"},
      {"1 = (2 - 1)", "true"},
      {"1 <> (1 + 0)", "false"},
      {"lesser? 2 (1)", "false"},
      {"1.5 < (2)", "true"},
      {"1 + 10%", "1.1"},
      {"1 + #\"a\"", "98"},
      {"1 + (\"a\")", eval_error_text(INVALID_TYPE)},
      {"1.5 + (none)", eval_error_text(INVALID_TYPE)},
      {"1 < (\"a\")", eval_error_text(INVALID_COMPARE)},
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
  using enum err::script;
  check({
      {"x:", eval_error_text(NEED_VALUE)},
      {"x: ()", eval_error_text(NEED_VALUE)},
      {"+", eval_error_text(NO_OP_ARG)},
      {"no-such-word", eval_error_text(NO_VALUE)},
      {"negate", eval_error_text(NO_ARG)},
      {"negate 'a", eval_error_text(EXPECT_ARG)},
      {"x: [1 2] x/3", "none"},
      {"x: 5 x/1", eval_error_text(BAD_PATH_TYPE)},
      {"do to path! [1 x]", eval_error_text(WORD_FIRST)},
      {"f: func [] [] f/1: 2", eval_error_text(INVALID_PATH_SET)},
      {"1 + 2 nothing", eval_error_text(NO_VALUE)},
  });
}

// The tracer hears the errors raised in a traced run, and a traced run left by an
// error puts tracing back as it found it.
TEST(Tracing, ErrorEventsAndTheStateAfterAnError) {
  check({
      {"log: copy [] t: func [e b p v r d] [[error] append log e] "
       "do/trace [try [1 / 0] 5] :t log",
       "[error]"},
      {"log: copy [] t: func [e b p v r d] [[error] append log v/id] "
       "do/trace [try [never-set-word] try [1 / 0] 5] :t log",
       "[no-value zero-divide]"},
      {"log: copy [] t: func [e b p v r d] [[init] append log e] "
       "try [do/trace [1 / 0] :t] do/trace [2] :t log",
       "[init init]"},
      {"log: copy [] t: func [e b p v r d] [append log e] "
       "try [do/trace [1 / 0] :t] clear log 1 + 1 log",
       "[]"},
      {"log: copy [] t: func [e b p v r d] [[init end] append log e] "
       "do/trace [do/trace [3] :t] :t log",
       "[init end]"},
      // An exit the tracer starts travels in place of the error it heard.
      {"t: func [e b p v r d] [[error] 1 / 0] e: try [do/trace [never-set-word] :t] e/id",
       "zero-divide"},
      {"t: func [e b p v r d] [[error] throw 9] catch [do/trace [try [1 / 0] 5] :t]", "9"},
  });
}

}  // namespace
}  // namespace zol
