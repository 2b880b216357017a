// max and min on numbers, pairs, points and tuples, and the makers as-pair,
// as-point2D and as-point3D, through Zol source.
#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

TEST(CompoundNatives, MaxAndMinGoComponentByComponent) {
  check({
      {"max 1x5 3", "3x5"},
      {"min 2 1x5", "1x2"},
      {"max 1x5 2.0", "2x5"},
      {"max 1x5 1.5", "(1.5, 5)"},
      {"min 1x5 (2, 0.5)", "(1, 0.5)"},
      {"max (1, 5) 1x9", "(1, 9)"},
      {"max (1, 2, 3) 2", "(2, 2, 3)"},
      {"min (1, 2, 3) (3, 0, 3)", "(1, 0, 3)"},
      {"max (1, 2) 1.#NaN", "(1.#NaN, 1.#NaN)"},
      {"max 1.2.3 2", "2.2.3"},
      {"min 1.2.3 300", "1.2.3"},
      {"max 1.2.3 0.5.0.7", "1.5.3.7"},
      {"min 10.20.30 1.5", "1.1.1"},
      {"max 1x2 1.2.3", eval_error_text(err::script::INVALID_COMPARE)},
  });
}

TEST(CompoundNatives, MaxAndMinOnOtherValues) {
  check({
      {"max 1 2", "2"},
      {"min 1 2", "1"},
      {"max 1.5 1.#NaN", "1.#NaN"},
      {"min 1.#NaN 1", "1.#NaN"},
      {"max 2 2.0", "2"},
      {"min 2 2.0", "2.0"},
      {"max #\"a\" #\"b\"", "#\"b\""},
  });
}

TEST(CompoundNatives, MakersTakeIntegersAndFloats) {
  check({
      {"as-pair 1.9 -1.9", "1x-1"},
      {"as-pair 3 4", "3x4"},
      {"as-pair 1.#INF 1", eval_error_text(err::script::INVALID_ARG)},
      {"as-pair 1 1.#NaN", eval_error_text(err::script::INVALID_ARG)},
      {"as-point2D 1 2.5", "(1, 2.5)"},
      {"as-point3D 1 2.5 -3", "(1, 2.5, -3)"},
  });
}

}  // namespace
}  // namespace zol
