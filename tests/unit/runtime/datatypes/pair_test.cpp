// pair!, point2D! and point3D!: literals, make and to, arithmetic with its move to
// point2D!, comparison, paths, pick, rounding and the other actions, through Zol
// source.
#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

TEST(Pair, LiteralsLoadAndMoldAsWritten) {
  check({
      {"3x4", "3x4"},
      {"-1X-2", "-1x-2"},
      {"type? 1x2", "pair!"},
      {"(1, 2)", "(1, 2)"},
      {"(1.5, -2, 3e2)", "(1.5, -2, 300)"},
      {"type? (1, 2)", "point2D!"},
      {"type? (1, 2, 3)", "point3D!"},
      {"(  1 ,2  )", "(1, 2)"},
      {"form (1, 2)", "\"(1, 2)\""},
      {"form 3x4", "\"3x4\""},
  });
  for (const char* malformed : {"1.5x2", "1x2x3", "(1, , 2)", "(1, 2, 3, 4)", "(1, a)"})
    EXPECT_EQ(test::raised([&] { test::source(malformed); }),
              test::error_name(err::syntax::INVALID)) << malformed;
}

TEST(Pair, ArithmeticBroadcastsNumbersAndMovesToPointsWhenNotWhole) {
  check({
      {"1x2 + 3", "4x5"},
      {"1x2 + 3x4", "4x6"},
      {"1x2 * 1.5", "(1.5, 3)"},
      {"10x10 / 4", "(2.5, 2.5)"},
      {"10x10 / 5", "2x2"},
      {"7x-7 % 2", "1x-1"},
      {"1x2 + 1.9", "2x3"},
      {"2147483647x0 + 1x0", "(2.147484e9, 0)"},
      {"2000000000x1 + 2000000000x1", "(4e9, 2)"},
      {"-2147483648x1 * -1", "(2.147484e9, -1)"},
      {"1x2 + (0.5, 0.5)", "(1.5, 2.5)"},
      {"5 + 1x2", "6x7"},
      {"5 - 1x2", "4x3"},
      {"2.0 * 1x2", "(2, 4)"},
      {"6x12 and 3", "2x0"},
      {"6x12 or 1x1", "7x13"},
      {"6x12 xor 6", "0x10"},
      {"5 / 1x2", eval_error_text(err::script::NOT_RELATED)},
      {"5.0 - 1x2", eval_error_text(err::script::NOT_RELATED)},
      {"1x2 / 0", eval_error_text(err::math::ZERO_DIVIDE)},
      {"-2147483648x0 / -1", eval_error_text(err::math::OVERFLOW)},
      {"1x2 * 1.#INF", eval_error_text(err::script::INVALID_ARG)},
      {"1x2 + 1.#NaN", eval_error_text(err::script::INVALID_ARG)},
      {"1x2 + 1e10", eval_error_text(err::script::INVALID_ARG)},
      {"1x2 + \"a\"", eval_error_text(err::script::INVALID_TYPE)},
      {"1x2 + (1, 2, 3)", eval_error_text(err::script::INVALID_TYPE)},
  });
}

TEST(Pair, PointArithmeticStaysInSingles) {
  check({
      {"(1, 2) + (0.5, 0.5)", "(1.5, 2.5)"},
      {"(1, 2) * 2", "(2, 4)"},
      {"(1, 2) + 1x1", "(2, 3)"},
      {"(1, 2) / 0", "(1.#INF, 1.#INF)"},
      {"(1, 2, 3) - 1", "(0, 1, 2)"},
      {"(1, 2, 3) + (1, 1, 1)", "(2, 3, 4)"},
      {"10 - (1, 2, 3)", "(9, 8, 7)"},
      {"(1, 2, 3) + 1x1", eval_error_text(err::script::INVALID_TYPE)},
      {"(1, 2) + (1, 2, 3)", eval_error_text(err::script::INVALID_TYPE)},
      {"(1, 2) and 1", eval_error_text(err::script::EXPECT_ARG)},
  });
}

TEST(Pair, MakeAndToFromEachSpecType) {
  check({
      {"make pair! 3", "3x3"},
      {"make pair! 2.7", "2x2"},
      {"make pair! [1.9 -1.9]", "1x-1"},
      {"make pair! [1 2 3]", "1x2"},
      {"make pair! (1.9, 2.5)", "1x2"},
      {"to pair! \"3x4\"", "3x4"},
      {"make point2D! 2", "(2, 2)"},
      {"make point2D! [1 2.5]", "(1, 2.5)"},
      {"make point3D! 1x2", "(1, 2, 0)"},
      {"make point3D! (1, 2)", "(1, 2, 0)"},
      {"make point3D! [1 2 3]", "(1, 2, 3)"},
      {"make point2D! 3x4", "(3, 4)"},
      {"to point3D! \"(1, 2, 3)\"", "(1, 2, 3)"},
      {"make pair! [1]", eval_error_text(err::syntax::MALCONSTRUCT)},
      {"make pair! [1 a]", eval_error_text(err::syntax::MALCONSTRUCT)},
      {"make point3D! [1 2]", eval_error_text(err::syntax::MALCONSTRUCT)},
      {"make pair! (1.#INF, 2)", eval_error_text(err::script::INVALID_ARG)},
      {"make pair! (1, 2, 3)", eval_error_text(err::script::BAD_TO_ARG)},
      {"make point2D! (1, 2, 3)", eval_error_text(err::script::BAD_TO_ARG)},
      {"to pair! \"1.2.3\"", eval_error_text(err::script::BAD_TO_ARG)},
      {"to pair! 'a", eval_error_text(err::script::BAD_TO_ARG)},
  });
}

TEST(Pair, ComparisonByCoordinates) {
  check({
      {"1x2 = 1x2", "true"},
      {"1x2 = (1, 2)", "true"},
      {"(1, 2) = 1x2", "true"},
      {"1x2 < 1x3", "true"},
      {"2x0 > 1x9", "true"},
      {"1x2 = 1", "false"},
      {"(0.1, 0.2) = (0.1, 0.2000001)", "true"},
      {"(0.1, 0.2) == (0.1, 0.2000001)", "false"},
      {"(1, 2) < (1, 3)", "true"},
      {"(1, 2, 3) = (1, 2, 3)", "true"},
      {"(1, 2, 3) = (1, 2)", "false"},
      {"same? (0, 0) (-0.0, 0)", "false"},
  });
}

TEST(Pair, PathsAndPickByIndexOrCoordinateName) {
  check({
      {"p: 3x4 p/x", "3"},
      {"p: 3x4 p/Y", "4"},
      {"p: 3x4 p/2", "4"},
      {"p: 3x4 p/y: 9 p", "3x9"},
      {"p: 3x4 p/1: 7", "7"},
      {"p: (1, 2) p/y", "2.0"},
      {"p: (1, 2) p/x: 0.5 p", "(0.5, 2)"},
      {"p: (1, 2, 3) p/z: 9 p", "(1, 2, 9)"},
      {"p: (1, 2, 3) p/3", "3.0"},
      {"p: 3x4 p/z", eval_error_text(err::script::INVALID_PATH)},
      {"p: 3x4 p/3", eval_error_text(err::script::INVALID_PATH)},
      {"p: 3x4 p/y: 1.5", eval_error_text(err::script::INVALID_TYPE)},
      {"p: (1, 2) p/z", eval_error_text(err::script::INVALID_PATH)},
      {"p: (1, 2) p/x: \"a\"", eval_error_text(err::script::INVALID_TYPE)},
      // The changed value goes back to the object field or block element it came from.
      {"o: make object! [size: 3x4] o/size/x: 10 o/size", "10x4"},
      {"b: reduce [1x2 (1, 2, 3)] b/1/y: 7 b/2/z: 0.5 b", "[1x7 (1, 2, 0.5)]"},
      {"b: reduce [1x2] c: b/1 c/x: 5 b", "[1x2]"},
      {"pick 3x4 'y", "4"},
      {"pick 3x4 1", "3"},
      {"pick (1, 2, 3) 'z", "3.0"},
      {"pick 3x4 3", eval_error_text(err::script::OUT_OF_RANGE)},
      {"pick 3x4 'z", eval_error_text(err::script::CANNOT_USE)},
  });
}

TEST(Pair, RoundingAndTheOtherActions) {
  check({
      {"round (1.4, 2.6)", "(1, 3)"},
      {"round/to (1.26, 2.74) 0.5", "(1.5, 2.5)"},
      {"round/to 17x23 5", "15x25"},
      {"round/to 17x23 5x10", "15x20"},
      {"round/to (17, 23, 5) (5, 10)", "(15, 20, 5)"},
      {"round/down (1.9, -1.9)", "(1, -1)"},
      {"absolute -1x2", "1x2"},
      {"absolute (-1, 2, -3)", "(1, 2, 3)"},
      {"absolute -2147483648x0", eval_error_text(err::math::OVERFLOW)},
      {"negate 1x-2", "-1x2"},
      {"negate 0x-2147483648", eval_error_text(err::math::OVERFLOW)},
      {"0 - -2147483648x0", eval_error_text(err::math::OVERFLOW)},
      {"negate (1, -2)", "(-1, 2)"},
      {"reverse 1x2", "2x1"},
      {"reverse (1, 2)", "(2, 1)"},
      {"reverse (1, 2, 3)", "(3, 2, 1)"},
      {"p: random 10x-10 all [p/x >= 1 p/x <= 10 p/y <= -1 p/y >= -10]", "true"},
      {"random 0x0", "0x0"},
      {"p: random (2, 0) all [p/x >= 0 p/x <= 2 p/y = 0]", "true"},
      {"random/seed 1x2", "unset"},
  });
}

}  // namespace
}  // namespace zol
