// map!: making (from blocks, numbers and literals), keyed lookup under the case
// rules, removal and the reuse of a removed pair's place, printing with cycles,
// reflection, foreach, extend, comparison and copying, through Zol source.
#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

TEST(Map, MakingMergesRepeatedKeysAndChecksTheSpec) {
  check({
      {"make map! [a 1 b 2 a 3]", "#[\n    a: 3\n    b: 2\n]"},
      {"length? make map! [a 1 b 2 a 3]", "2"},
      {"length? make map! [a 1 \"b\" 2]", "2"},
      {"#[a 1 'b 2 :c 3 d: 4]", "#[\n    a: 1\n    b: 2\n    c: 3\n    d: 4\n]"},
      {"m: #[1 one 2.5 two] reduce [m/1 select m 2.5]", "[one two]"},
      {"#[a 1 a 2]", "#[\n    a: 2\n]"},
      {"type? pick [#[a 1]] 1", "map!"},
      {"to map! [x 1]", "#[\n    x: 1\n]"},
      {"make map! 10", "#[]"},
      {"length? make map! 0.5", "0"},
      {"m: #[a 1] n: make map! m n/a: 2 m/a", "1"},
      {"make map! [a 1 b]", eval_error_text(err::script::INVALID_ARG)},
      {"make map! [[1] 2]", eval_error_text(err::script::INVALID_PATH)},
      {"make map! [a 1 #(none) 2]", eval_error_text(err::script::INVALID_PATH)},
      {"to map! 3", eval_error_text(err::script::BAD_TO_ARG)},
      {"make map! \"a\"", eval_error_text(err::script::BAD_TO_ARG)},
  });
}

// The scanner rejects what make would: an odd count, a key of another type.
TEST(Map, LiteralsWithBadPairsDoNotLoad) {
  for (const char* text : {"#[a 1 b]", "#[a 1 [b] 2]"})
    EXPECT_EQ(test::raised([&] { test::source(text); }), test::error_name(err::syntax::INVALID))
        << text;
}

// A size that would wrap into a small allocation raises instead.
TEST(Map, SizesOutsideTheirRangeRaise) {
  check({
      {"make map! -1", eval_error_text(err::script::OUT_OF_RANGE)},
      {"make map! -0.5", eval_error_text(err::script::OUT_OF_RANGE)},
      {"make map! 2147483647", eval_error_text(err::internal::NO_MEMORY)},
      {"make map! 1e300", eval_error_text(err::internal::NO_MEMORY)},
      {"make map! 0.0 / 0.0", eval_error_text(err::script::BAD_MAKE_ARG)},
  });
}

TEST(Map, LookupIgnoresCaseUnlessAsked) {
  check({
      {"m: make map! [a 1 \"b\" 2] reduce [select m 'a select m to set-word! 'a]", "[1 1]"},
      {"m: make map! [a 1 \"b\" 2] reduce [select m \"B\" select/case m \"B\"]", "[2 none]"},
      {"m: make map! [a 1 \"b\" 2] reduce [m/A m/b m/c]", "[1 none none]"},
      {"m: make map! [a 1] find m 'a", "a"},
      {"m: make map! [\"Key\" 1] find m \"KEY\"", "\"Key\""},
      {"m: make map! [\"Key\" 1] find/case m \"KEY\"", "none"},
      {"m: make map! [] put m \"A\" 1 put m \"a\" 2 m", "#[\n    \"A\" 2\n]"},
      {"m: make map! [] put/case m \"A\" 1 put/case m \"a\" 2 length? m", "2"},
      {"m: make map! [] m/x: 5 m/X: 6 m", "#[\n    x: 6\n]"},
      {"m: make map! [] put m [1] 2", eval_error_text(err::script::INVALID_PATH)},
  });
}

// String keys are stored as copies: changing the caller's string leaves the key.
TEST(Map, StringKeysAreCopiedWhenStored) {
  check({
      {"s: \"k\" m: make map! [] put m s 1 append s \"x\" reduce [select m \"k\" s]",
       "[1 \"kx\"]"},
      {"s: next \"xk\" m: make map! [] put m s 1 find m \"k\"", "\"k\""},
  });
}

TEST(Map, ARemovedPairComesBackInItsPlace) {
  check({
      {"m: make map! [a 1 b 2] remove/key m 'a m", "#[\n    b: 2\n]"},
      {"m: make map! [a 1 b 2] remove/key m 'a reduce [length? m select m 'a find m 'a]",
       "[1 none none]"},
      {"m: make map! [a 1 b 2] remove/key m 'a m/a: 3 reduce [length? m m]",
       "[2 #[\n    a: 3\n    b: 2\n]]"},
      {"m: make map! [a 1 b 2] remove/key m 'a put m 'a 4 keys-of m", "[a b]"},
      {"m: make map! [a 1] remove/key m 'z length? m", "1"},
      {"m: make map! [a 1] remove/key m 'a remove/key m 'a length? m", "0"},
      // A case variant removes the pair, as it finds it.
      {"m: make map! [\"Key\" 1 b 2] remove/key m \"KEY\" m", "#[\n    b: 2\n]"},
      {"m: make map! [a 1] remove m", eval_error_text(err::script::MISSING_ARG)},
      {"m: make map! [a 1 b 2] clear m reduce [length? m m/a]", "[0 none]"},
      {"m: make map! [a 1 b 2] clear m m/c: 1 m", "#[\n    c: 1\n]"},
  });
}

TEST(Map, MoldAndForm) {
  check({
      {"make map! []", "#[]"},
      {"mold make map! [a 1]", "\"#[^/    a: 1^/]\""},
      {"mold/flat make map! [a 1 b 2]", "\"#[a: 1 b: 2]\""},
      {"mold/only make map! [a 1 b 2]", "\"a: 1^/b: 2\""},
      {"form make map! [a 1 b \"x\"]", "{a: 1\nb: \"x\"}"},
      {"#[a #[b 2]]", "#[\n    a: #[\n        b: 2\n    ]\n]"},
      {"m: make map! [a 1] m/me: m m", "#[\n    a: 1\n    me: #[...]\n]"},
      {"m: make map! [a 1] m/me: m form m", "\"a: 1^/me: #[...]\""},
  });
}

TEST(Map, ReflectionAndConversion) {
  check({
      {"m: make map! [a 1 \"s\" 2 3 c] remove/key m \"s\" keys-of m", "[a 3]"},
      {"m: make map! [a 1 \"s\" 2 3 c] remove/key m \"s\" values-of m", "[1 c]"},
      {"m: make map! [a 1 b 2] body-of m", "[\n    a: 1\n    b: 2\n]"},
      {"m: make map! [a 1 b 2] to block! m", "[\n    a: 1\n    b: 2\n]"},
      {"keys-of make map! []", "[]"},
      {"find to hash! make map! [a 1 b 2] 2", "make hash! [2]"},
      {"to map! make hash! [a 1]", "#[\n    a: 1\n]"},
      {"reflect make map! [a 1] 'class", eval_error_text(err::internal::NOT_DONE)},
  });
}

TEST(Map, ForeachSkipsRemovedPairs) {
  check({
      {"m: make map! [a 1 b 2 c 3] remove/key m 'b out: copy [] "
       "foreach [k v] m [append out reduce [k v]] out",
       "[a 1 c 3]"},
      {"m: make map! [a 1 b 2] remove/key m 'a out: copy [] "
       "foreach x m [append out x] out",
       "[b 2]"},
      {"m: make map! [a 1] out: copy [] foreach [k v w] m [append out reduce [k v w]] out",
       "[a 1 none]"},
      {"m: make map! [] n: 0 foreach [k v] m [n: n + 1] n", "0"},
      {"m: make map! [a 1] foreach [k 1] m []", eval_error_text(err::script::INVALID_ARG)},
  });
}

TEST(Map, ExtendAddsAndSets) {
  check({
      {"m: make map! [a 1] extend m [b 2 a 3]", "#[\n    a: 3\n    b: 2\n]"},
      {"m: make map! [\"a\" 1] extend m [\"A\" 2] m", "#[\n    \"a\" 2\n]"},
      {"m: make map! [\"a\" 1] extend/case m [\"A\" 2] length? m", "2"},
      {"m: make map! [a 1] extend m make map! [c 3] keys-of m", "[a c]"},
      {"m: make map! [a 1] remove/key m 'a extend m [a 5] m", "#[\n    a: 5\n]"},
      {"m: make map! [] extend m [a]", eval_error_text(err::script::INVALID_ARG)},
      {"extend make object! [] [a 1]", eval_error_text(err::internal::NOT_DONE)},
  });
}

TEST(Map, ComparisonAndCopies) {
  check({
      {"equal? make map! [a 1 b 2] make map! [b 2 a 1]", "true"},
      {"equal? make map! [\"a\" 1] make map! [\"A\" 1]", "true"},
      {"strict-equal? make map! [\"a\" 1] make map! [\"A\" 1]", "false"},
      {"equal? make map! [a 1] make map! [a 2]", "false"},
      {"equal? make map! [a 1] make map! [a 1 b 2]", "false"},
      {"equal? make map! [] make map! []", "true"},
      {"m: make map! [a 1] same? m copy m", "false"},
      {"m: make map! [a 1] same? m m", "true"},
      {"m: make map! [a 1] m/me: m n: make map! [a 1] n/me: n m = n", "true"},
      {"m: make map! [a [1]] n: copy m append n/a 2 m/a", "[1 2]"},
      {"m: make map! [a [1]] n: copy/deep m append n/a 2 m/a", "[1]"},
      {"m: make map! [a 1 b 2] remove/key m 'a n: copy m n/a: 5 reduce [m/a n]",
       "[none #[\n    a: 5\n    b: 2\n]]"},
  });
}

}  // namespace
}  // namespace zol
