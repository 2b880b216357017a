// tuple!: literals, make and to, saturating arithmetic with numbers on either side,
// comparison, paths, pick, reverse and the other actions, through Zol source.
#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

TEST(Tuple, LiteralsLoadAndMoldAsWritten) {
  check({
      {"1.2.3", "1.2.3"},
      {"255.0.0.128", "255.0.0.128"},
      {"1.2.3.4.5.6.7.8.9.10.11.12", "1.2.3.4.5.6.7.8.9.10.11.12"},
      {"type? 0.0.0", "tuple!"},
      {"length? 1.2.3.4", "4"},
  });
  for (const char* malformed : {"1.2..3", "256.1.1", "1.2.3.4.5.6.7.8.9.10.11.12.13"})
    EXPECT_EQ(test::raised([&] { test::source(malformed); }),
              test::error_name(err::syntax::INVALID)) << malformed;
}

TEST(Tuple, ArithmeticSaturatesByteByByte) {
  check({
      {"1.2.3 + 1.1.1.1", "2.3.4.1"},
      {"200.200.200 + 100", "255.255.255"},
      {"1.2.3 - 5", "0.0.0"},
      {"10.20.30 / 3", "3.6.10"},
      {"10.20.30 % 7", "3.6.2"},
      {"255.0.0 and 15.15.15", "15.0.0"},
      {"1.2.3 or 4.4.4", "5.6.7"},
      {"1.2.3 xor 3.3.3", "2.1.0"},
      {"5 + 1.2.3", "6.7.8"},
      {"2 * 1.2.3", "2.4.6"},
      {"100.100.100 * 1.5", "150.150.150"},
      {"10.20.30 * 0.5", "5.10.15"},
      {"1.2.3 * 1e10", "255.255.255"},
      {"1.0.3 / 0.0", "255.0.255"},
      {"1.5 * 10.20.30", "15.30.45"},
      {"100.100.100 * 2147483647", "255.255.255"},
      {"5 - 1.2.3", eval_error_text(err::script::NOT_RELATED)},
      {"5 / 1.2.3", eval_error_text(err::script::NOT_RELATED)},
      {"5.0 - 1.2.3", eval_error_text(err::script::NOT_RELATED)},
      {"1.2.3 / 0", eval_error_text(err::math::ZERO_DIVIDE)},
      {"1.2.3 // 0", eval_error_text(err::math::ZERO_DIVIDE)},
      {"1.2.3 + \"a\"", eval_error_text(err::script::INVALID_TYPE)},
      {"1.2.3 or 1.5", eval_error_text(err::script::CANNOT_USE)},
  });
}

TEST(Tuple, MakeAndToFromEachSpecType) {
  check({
      {"to tuple! []", "0.0.0"},
      {"to tuple! [1]", "1.0.0"},
      {"to tuple! [#\"A\" 1.9 2]", "65.1.2"},
      {"make tuple! [1 2 3 4 5]", "1.2.3.4.5"},
      {"to tuple! [1 2 3 4 5 6 7 8 9 10 11 12 13]", eval_error_text(err::script::BAD_TO_ARG)},
      {"to tuple! [256]", eval_error_text(err::script::BAD_TO_ARG)},
      {"to tuple! [-1]", eval_error_text(err::script::BAD_TO_ARG)},
      {"to tuple! [a]", eval_error_text(err::script::BAD_TO_ARG)},
      {"to tuple! #abc", "170.187.204"},
      {"to tuple! #F80", "255.136.0"},
      {"to tuple! #FF8000", "255.128.0"},
      {"to tuple! #FF800080", "255.128.0.128"},
      {"to tuple! #abcde", eval_error_text(err::script::INVALID_DATA)},
      {"to tuple! #abg", eval_error_text(err::script::INVALID_DATA)},
      {"to tuple! \"1.2.3.4\"", "1.2.3.4"},
      {"to tuple! \"1x2\"", eval_error_text(err::script::BAD_TO_ARG)},
      {"to tuple! 1.2.3", "1.2.3"},
      {"to tuple! 5", eval_error_text(err::script::BAD_TO_ARG)},
  });
}

TEST(Tuple, ComparisonCountsMissingElementsAsZero) {
  check({
      {"1.2.3 = 1.2.3.0", "true"},
      {"1.2.3 < 1.2.4", "true"},
      {"1.2.3.1 > 1.2.3", "true"},
      {"1.2.3 = 1.2.4", "false"},
      {"1.2.3 = 1", "false"},
  });
}

TEST(Tuple, PathsReadClampAndCut) {
  check({
      {"t: 1.2.3.4 t/2", "2"},
      {"t: 1.2.3.4 t/3: none t", "1.2.0"},
      {"t: 1.2.3.4 t/3: none length? t", "3"},
      {"t: 1.2.3.4.5 t/5: none t", "1.2.3.4"},
      {"t: 1.2.3.4 t/2: 300 t", "1.255.3.4"},
      {"t: 1.2.3.4 t/2: -5 t", "1.0.3.4"},
      {"t: 1.2.3.4 t/2: 7", "7"},
      {"t: 1.2.3.4 t/5: 1", eval_error_text(err::script::OUT_OF_RANGE)},
      {"t: 1.2.3.4 t/0", eval_error_text(err::script::OUT_OF_RANGE)},
      {"t: 1.2.3.4 t/2: 1.5", eval_error_text(err::script::INVALID_TYPE)},
      {"t: 1.2.3.4 t/x", eval_error_text(err::script::INVALID_TYPE)},
      {"o: make object! [c: 1.2.3] o/c/2: 99 o/c", "1.99.3"},
      {"pick 1.2.3 3", "3"},
      {"pick 1.2.3 4", eval_error_text(err::script::OUT_OF_RANGE)},
  });
}

TEST(Tuple, OtherActions) {
  check({
      {"complement 0.255.16", "255.0.239"},
      {"reverse 1.2.3.4", "4.3.2.1"},
      {"reverse/part 1.2.3.4 2", "2.1.3.4"},
      {"reverse/skip 1.2.3.4 2", "3.4.1.2"},
      {"reverse/skip 1.2.3.4.5.6 3", "4.5.6.1.2.3"},
      {"reverse/skip 1.2.3.4 4", "1.2.3.4"},
      {"reverse/skip 1.2.3.4 3", eval_error_text(err::script::INVALID_REFINE_ARG)},
      {"reverse/skip 1.2.3.4 0", eval_error_text(err::script::OUT_OF_RANGE)},
      {"reverse/part 1.2.3.4 -1", eval_error_text(err::script::OUT_OF_RANGE)},
      {"reverse/part 1.2.3.4 'a", eval_error_text(err::script::INVALID_REFINE_ARG)},
      {"t: random 10.0.200 all [t/1 <= 10 t/2 = 0 t/3 <= 200]", "true"},
      {"random/seed 1.2.3", "unset"},
      {"absolute 1.2.3", eval_error_text(err::script::EXPECT_ARG)},
  });
}

}  // namespace
}  // namespace zol
