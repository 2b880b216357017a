// bitset!: making bitsets from every kind of spec, complemented bitsets, testing,
// setting and clearing bits, combining bitsets, and their molded text, as Zol
// source with the expected molded result.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

std::string error(err::Id id) { return test::eval_error_text(id); }

TEST(Bitset, MakeFromSpecs) {
  test::check({
      {"make bitset! #\"a\"", "make bitset! #{00000000000000000000000040}"},
      {"make bitset! \"abc\"", "make bitset! #{00000000000000000000000070}"},
      {"make bitset! [1 2 #\"a\"]", "make bitset! #{60000000000000000000000040}"},
      {"make bitset! [#\"a\" - #\"c\"]", "make bitset! #{00000000000000000000000070}"},
      {"make bitset! [0 - 9]", "make bitset! #{FFC0}"},
      {"make bitset! [3.7]", "make bitset! #{10}"},
      {"make bitset! [\"ab\" [7]]", "make bitset! #{01000000000000000000000060}"},
      {"make bitset! \"^(100)\"", "make bitset! #{" + std::string(64, '0') + "80}"},
      {"make bitset! #{F0}", "make bitset! #{F0}"},
      {"make bitset! []", "make bitset! #{}"},
      {"make bitset! 10", "make bitset! #{0000}"},
      {"make bitset! [#\"c\" - #\"a\"]", error(err::script::OUT_OF_RANGE)},
      {"make bitset! [#\"a\" - 100]", error(err::script::INVALID_ARG)},
      {"make bitset! [-1]", error(err::script::OUT_OF_RANGE)},
      {"make bitset! -1", error(err::script::OUT_OF_RANGE)},
      {"make bitset! [a]", error(err::script::INVALID_ARG)},
      {"to bitset! 10", error(err::script::BAD_TO_ARG)},
      {"to bitset! \"a\"", "make bitset! #{00000000000000000000000040}"},
  });
}

// A huge index must not allocate: past bitset::MAX_BIT it is out of range.
TEST(Bitset, HugeSpecsRaiseInsteadOfAllocating) {
  test::check({
      {"make bitset! 2000000000", error(err::script::OUT_OF_RANGE)},
      {"make bitset! 1.0e18", error(err::script::OUT_OF_RANGE)},
      {"make bitset! [2000000000]", error(err::script::OUT_OF_RANGE)},
      {"make bitset! [0 - 2000000000]", error(err::script::OUT_OF_RANGE)},
      {"b: make bitset! [] append b 2000000000", error(err::script::OUT_OF_RANGE)},
      {"b: make bitset! [] b/2000000000: true", error(err::script::OUT_OF_RANGE)},
      {"length? make bitset! 134217728", "134217728"},
  });
}

TEST(Bitset, LengthRoundsToWholeBytes) {
  test::check({
      {"length? make bitset! 10", "16"},
      {"length? make bitset! 16", "16"},
      {"length? make bitset! 0", "0"},
      {"length? make bitset! \"a\"", "104"},
      {"length? make bitset! [0]", "8"},
  });
}

TEST(Bitset, ComplementedBitsetsAnswerTrueBeyondTheirBits) {
  test::check({
      {"make bitset! [not \"a\"]", "make bitset! [not #{00000000000000000000000040}]"},
      {"b: make bitset! [not \"a\"] reduce [pick b #\"b\" pick b 100000 pick b #\"a\"]",
       "[true true false]"},
      {"pick make bitset! [not] 1000", "true"},
      {"make bitset! [not]", "make bitset! [not #{}]"},
      {"make bitset! [not #{80}]", "make bitset! [not #{80}]"},
      {"pick make bitset! [not #{80}] 0", "false"},
      {"pick make bitset! [not #{80}] 1", "true"},
      {"complement make bitset! \"a\"", "make bitset! [not #{00000000000000000000000040}]"},
      {"pick complement make bitset! \"a\" 5000", "true"},
      {"complement complement make bitset! \"a\"", "make bitset! #{00000000000000000000000040}"},
      {"complement? make bitset! [not \"a\"]", "true"},
      {"copy make bitset! [not \"a\"]", "make bitset! [not #{00000000000000000000000040}]"},
      {"b: make bitset! [not] b/3000: false reduce [length? b pick b 3000 pick b 5000]",
       "[3008 false true]"},
      {"complement? make bitset! \"a\"", "false"},
      {"b: make bitset! [not \"a\"] append b \"b\" reduce [pick b #\"b\" pick b 300]",
       "[true true]"},
      // removing from a complemented bitset takes the bits out of its spec
      {"b: make bitset! [not] remove/part b 300 reduce [pick b 300 pick b 299 length? b]",
       "[true true 304]"},
  });
}

TEST(Bitset, FindPickPokeAndPathSetOnBits) {
  test::check({
      {"find make bitset! \"abc\" \"ca\"", "true"},
      {"find make bitset! \"abc\" \"cd\"", "none"},
      {"find make bitset! \"abc\" #\"b\"", "true"},
      {"find make bitset! [1 - 5] [2 3 - 4]", "true"},
      {"pick make bitset! \"a\" #\"a\"", "true"},
      {"pick make bitset! \"a\" 98", "false"},
      {"pick make bitset! \"a\" 100000", "false"},
      {"b: make bitset! \"a\" b/#\"b\"", "false"},
      {"b: make bitset! \"a\" b/98: true b", "make bitset! #{00000000000000000000000060}"},
      {"b: make bitset! \"ab\" b/#\"a\": false b", "make bitset! #{00000000000000000000000020}"},
      {"b: make bitset! \"a\" poke b 97 none b", "make bitset! #{00000000000000000000000000}"},
      {"b: make bitset! \"a\" poke b 0 1 b", "make bitset! #{80000000000000000000000040}"},
      {"b: make bitset! [] b/20: true b", "make bitset! #{000008}"},
      // Growing keeps the bits already set.
      {"b: make bitset! [1 2] append b 500 reduce [find b 1 find b 2 find b 500 find b 3]",
       "[true true true none]"},
      {"b: make bitset! \"a\" append b \"b\" b", "make bitset! #{00000000000000000000000060}"},
      {"remove/part make bitset! \"ab\" \"a\"", "make bitset! #{00000000000000000000000020}"},
      {"remove make bitset! \"ab\"", error(err::script::MISSING_ARG)},
      {"clear make bitset! \"ab\"", "make bitset! #{00000000000000000000000000}"},
      {"b: make bitset! \"a\" c: copy b append c \"b\" b", "make bitset! #{00000000000000000000000040}"},
      {"find \"hello\" make bitset! \"l\"", "\"llo\""},
  });
}

TEST(Bitset, CombiningAndComparing) {
  test::check({
      {"or~ make bitset! \"a\" make bitset! \"b\"", "make bitset! #{00000000000000000000000060}"},
      {"and~ make bitset! \"a\" make bitset! \"ab\"", "make bitset! #{00000000000000000000000040}"},
      {"xor~ make bitset! \"a\" make bitset! \"ab\"", "make bitset! #{00000000000000000000000020}"},
      {"length? or~ make bitset! 16 make bitset! 32", "32"},
      {"length? and~ make bitset! 16 make bitset! 32", "16"},
      {"or~ make bitset! [0] make bitset! [not 1]", "make bitset! [not #{40}]"},
      {"or~ make bitset! \"a\" 1", error(err::script::INVALID_ARG)},
      {"(make bitset! \"a\") = make bitset! \"a\"", "true"},
      {"(make bitset! \"a\") = make bitset! \"b\"", "false"},
      {"(make bitset! [0]) < make bitset! [8]", "true"},
      {"(make bitset! [not 0]) = make bitset! [0]", "false"},
      {"to binary! make bitset! [0 9]", "#{8040}"},
  });
}

// The set natives on bitsets, and the worker's checks shared with the other sets.
TEST(Bitset, UnionDifferenceAndTheOtherSetNatives) {
  test::check({
      {"union make bitset! \"a\" make bitset! \"b\"", "make bitset! #{00000000000000000000000060}"},
      {"length? union make bitset! [0] make bitset! [20]", "24"},
      {"difference make bitset! \"ab\" make bitset! \"bc\"", "make bitset! #{00000000000000000000000050}"},
      {"intersect make bitset! [0 - 15] make bitset! [3]", "make bitset! #{1000}"},
      {"exclude make bitset! [0 - 15] make bitset! [3]", "make bitset! #{EFFF}"},
      {"exclude make bitset! [3] make bitset! [0 - 15]", "make bitset! #{0000}"},
      // stored bytes combine as they are; the result is complemented when one operand is
      {"union make bitset! [not 0] make bitset! [1]", "make bitset! [not #{80}]"},
      {"union [1 2] [2 3]", "[1 2 3]"},
      {"difference \"ab\" \"bc\"", "\"ac\""},
      {"unique [1 1 2]", "[1 2]"},
      {"union make bitset! \"a\" [1]", error(err::script::EXPECT_VAL)},
      {"union make typeset! [integer!] make typeset! [block!]", "make typeset! [block! integer!]"},
      {"union make typeset! [integer!] [block!]", error(err::script::EXPECT_VAL)},
  });
}

}  // namespace
}  // namespace zol
