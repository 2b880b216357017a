// vector!: the spec forms of make and their errors, mold and form per element type
// and width, arithmetic that wraps at the element width, comparison, and the
// inserting and reading series actions, through Zol source.
#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

TEST(Vector, MakeAndMold) {
  check({
      {"make vector! [integer! 16 3]", "make vector! [integer! 16 [0 0 0]]"},
      {"make vector! [1 2 3]", "make vector! [1 2 3]"},
      {"make vector! [float! 64 [1.5]]", "make vector! [1.5]"},
      {"make vector! [float! 32 [1.5 0.1]]", "make vector! [float! 32 [1.5 0.1]]"},
      {"make vector! [char! 8 [#\"a\" #\"b\"]]", "make vector! [char! 8 [#\"a\" #\"b\"]]"},
      {"make vector! [#\"a\" #\"^/\"]", "make vector! [#\"a\" #\"^/\"]"},
      {"make vector! [percent! [10% 50%]]", "make vector! [10% 50%]"},
      {"make vector! 2", "make vector! [0 0]"},
      {"make vector! 2.9", "make vector! [0 0]"},
      {"make vector! []", "make vector! [integer! 32 []]"},
      {"mold/only make vector! [1 2]", "\"1 2\""},
      {"form make vector! [integer! 8 [1 -2]]", "\"1 -2\""},
      {"form make vector! [#\"a\" #\"b\"]", "\"a b\""},
      {"form make vector! [percent! [12.5%]]", "\"12.5%\""},
  });
}

TEST(Vector, BadSpecsRaise) {
  check({
      {"make vector! [integer! 24 3]", eval_error_text(err::script::BAD_MAKE_ARG)},
      {"make vector! [float! 16 3]", eval_error_text(err::script::BAD_MAKE_ARG)},
      {"make vector! [foo! 8 3]", eval_error_text(err::script::BAD_MAKE_ARG)},
      {"make vector! [integer!]", eval_error_text(err::script::BAD_MAKE_ARG)},
      {"make vector! [integer! 8]", eval_error_text(err::script::INVALID_SPEC_FIELD)},
      {"make vector! [integer! 8 \"x\"]", eval_error_text(err::script::INVALID_SPEC_FIELD)},
      {"make vector! [\"a\" \"b\"]", eval_error_text(err::script::INVALID_TYPE)},
      {"make vector! [1 2.5]", eval_error_text(err::script::INVALID_ARG)},
      {"make vector! \"abc\"", eval_error_text(err::internal::NOT_DONE)},
      // A size that would wrap into a small buffer raises instead.
      {"make vector! -1", eval_error_text(err::script::OUT_OF_RANGE)},
      {"make vector! 0.0 / 0.0", eval_error_text(err::script::BAD_MAKE_ARG)},
      {"make vector! 2147483647", eval_error_text(err::internal::NO_MEMORY)},
      {"make vector! 1e18", eval_error_text(err::internal::NO_MEMORY)},
      {"make vector! [float! 64 600000000]", eval_error_text(err::internal::NO_MEMORY)},
  });
}

TEST(Vector, ArithmeticWrapsAtTheElementWidth) {
  check({
      {"(make vector! [integer! 8 [127]]) + make vector! [integer! 8 [1]]",
       "make vector! [integer! 8 [-128]]"},
      {"(make vector! [integer! 8 [100]]) + 200", "make vector! [integer! 8 [44]]"},
      {"(make vector! [integer! 8 [200]]) + 100", "make vector! [integer! 8 [44]]"},
      {"(make vector! [integer! 16 [30000]]) * 3", "make vector! [integer! 16 [24464]]"},
      {"(make vector! [2147483647]) + 1", "make vector! [-2147483648]"},
      {"(make vector! [1 2 3]) + make vector! [10 20]", "make vector! [11 22]"},
      {"(make vector! [7 8]) - make vector! [1 10]", "make vector! [6 -2]"},
      {"(make vector! [7 -7]) / 2", "make vector! [3 -3]"},
      {"(make vector! [7 -7]) % 3", "make vector! [1 -1]"},
      {"(make vector! [12]) and 10", "make vector! [8]"},
      {"(make vector! [12]) or 3", "make vector! [15]"},
      {"(make vector! [12]) xor 5", "make vector! [9]"},
      {"(make vector! [5]) * 2.9", "make vector! [10]"},
      {"(make vector! [1.5 2.5]) * 2", "make vector! [3.0 5.0]"},
      {"(make vector! [float! 32 [0.5]]) + 0.25", "make vector! [float! 32 [0.75]]"},
      {"v: make vector! [1.5] w: v * 1.0 same? v w", "true"},
      {"v: make vector! [1 2] v + 1 v", "make vector! [2 3]"},
      // A number on the left works on the vector in place just the same.
      {"v: make vector! [integer! 8 [100 1]] 200 + v v", "make vector! [integer! 8 [44 -55]]"},
      {"2.5 * make vector! [float! 32 [2.0]]", "make vector! [float! 32 [5.0]]"},
      {"1 + make vector! [#\"a\"]", "make vector! [#\"b\"]"},
      {"(make vector! [1 2]) + make vector! [1.5]", eval_error_text(err::script::NOT_SAME_TYPE)},
      {"(make vector! [1 2]) / 0", eval_error_text(err::math::ZERO_DIVIDE)},
      {"(make vector! [1 2]) + \"a\"", eval_error_text(err::internal::NOT_DONE)},
  });
}

TEST(Vector, Comparison) {
  check({
      {"equal? make vector! [1 2] make vector! [1 2]", "true"},
      {"equal? make vector! [1 2] make vector! [1 2 3]", "false"},
      {"equal? make vector! [integer! 8 [1]] make vector! [integer! 32 [1]]", "true"},
      {"lesser? make vector! [1 2] make vector! [1 3]", "true"},
      {"lesser? make vector! [1 2 3] make vector! [2]", "true"},
      {"lesser? make vector! [1 2] make vector! [1 2 0]", "true"},
      {"v: make vector! [1] same? v v", "true"},
      {"same? make vector! [1] make vector! [1]", "false"},
      {"equal? make vector! [1] make vector! [1.0]", eval_error_text(err::script::NOT_SAME_TYPE)},
      {"equal? make vector! [1] [1]", "false"},
  });
}

TEST(Vector, InsertingAndReading) {
  check({
      {"append make vector! [1 2] [3 4]", "make vector! [1 2 3 4]"},
      {"append make vector! [integer! 8 [1]] 300", "make vector! [integer! 8 [1 44]]"},
      {"append/dup make vector! [1] 0 3", "make vector! [1 0 0 0]"},
      {"head insert next make vector! [1 2] 9", "make vector! [1 9 2]"},
      {"head insert make vector! [1 2] [7 8]", "make vector! [7 8 1 2]"},
      {"head change next make vector! [1 2 3] [8 9 10]", "make vector! [1 8 9 10]"},
      {"head change/part next make vector! [1 2 3 4] 9 2", "make vector! [1 9 4]"},
      {"head change/part make vector! [1 2] [7 8 9] 1", "make vector! [7 8 9 2]"},
      {"append make vector! [1 2] 5.5", eval_error_text(err::script::INVALID_ARG)},
      {"append make vector! [1 2] [3 \"x\"]", eval_error_text(err::script::INVALID_ARG)},
      {"to block! make vector! [1 2 3]", "[1 2 3]"},
      {"to block! make vector! [float! 32 [0.5]]", "[0.5]"},
      {"find to hash! make vector! [1 2 3] 2", "make hash! [2 3]"},
      {"pick make vector! [integer! 16 [5 -6]] 2", "-6"},
      {"pick make vector! [#\"x\"] 1", "#\"x\""},
      {"length? next make vector! [5 6 7]", "2"},
      {"index? tail make vector! [5 6 7]", "4"},
  });
}

// The series actions vector! takes from string! read and write elements as numbers.
TEST(Vector, InheritedSeriesActions) {
  check({
      {"v: make vector! [integer! 8 [3 1 2]] poke v 1 300 v", "make vector! [integer! 8 [44 1 2]]"},
      {"v: make vector! [3 1 2] v/2: 7 v", "make vector! [3 7 2]"},
      {"v: make vector! [3 1 2] poke v 1 \"x\"", eval_error_text(err::script::INVALID_ARG)},
      {"v: make vector! [3 1 2] poke v 1 1.5", eval_error_text(err::script::INVALID_ARG)},
      {"find make vector! [3 1 2] 1", "make vector! [1 2]"},
      {"find make vector! [3 1 2] 5", "none"},
      {"find/last make vector! [1 2 1 2] 1", "make vector! [1 2]"},
      {"find make vector! [1.5 2.5] 2.5", "make vector! [2.5]"},
      {"select make vector! [3 1 2] 1", "2"},
      {"sort make vector! [integer! 16 [3 -1 2]]", "make vector! [integer! 16 [-1 2 3]]"},
      {"sort/reverse make vector! [1.5 -2.5 3.0]", "make vector! [3.0 1.5 -2.5]"},
      {"reverse make vector! [1 2 3]", "make vector! [3 2 1]"},
      {"v: make vector! [1 2 3] reduce [take v v]", "[1 make vector! [2 3]]"},
      {"copy make vector! [integer! 8 [1 2]]", "make vector! [integer! 8 [1 2]]"},
      {"head clear next make vector! [1 2 3]", "make vector! [1]"},
  });
}

}  // namespace
}  // namespace zol
