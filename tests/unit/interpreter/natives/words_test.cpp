// The natives of words and values, block building, output and comparison, through
// Zol source.
#include <gtest/gtest.h>

#include <string>

#include "runtime/base/output.h"
#include "runtime/core/stack.h"
#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

TEST(WordNatives, GetSetAndUnset) {
  check({
      {"set [a b] [1 2] reduce [a b]", "[1 2]"},
      {"set [a b] [1] b", "none"},
      {"b: 5 set/some [a b] [1 #(none)] b", "5"},
      {"set [a b] reduce [1 ()]", eval_error_text(err::script::NEED_VALUE)},
      {"set/any [a b] reduce [1 ()] value? 'b", "false"},
      {"set 'a 7 a", "7"},
      {"set 'a ()", eval_error_text(err::script::NEED_VALUE)},
      {"set [a 1] [1 2]", eval_error_text(err::script::INVALID_ARG)},
      {"get 'never-set-word", eval_error_text(err::script::NO_VALUE)},
      {"type? get/any 'never-set-word", "unset!"},
      {"o: make object! [a: 1 b: 2] get o", "[1 2]"},
      {"o: make object! [a: 1 b: 2] set o [7 8] reduce [o/a o/b]", "[7 8]"},
      {"o: make object! [a: 1 b: 2] set o 3 reduce [o/a o/b]", "[3 3]"},
      // From an object: the words found in the source, the others keep their values.
      {"o1: make object! [a: 1 b: 2] o2: make object! [b: 9] set o1 o2 reduce [o1/a o1/b]",
       "[1 9]"},
      {"o1: make object! [a: 1 b: 2] o2: make object! [B: 9 c: 3] set o1 o2 words-of o1",
       "[a b]"},
      {"o1: make object! [a: 1 b: 2] o2: make object! [b: 9] unset in o2 'b set o1 o2",
       eval_error_text(err::script::NEED_VALUE)},
      {"o1: make object! [a: 1 b: 2] o2: make object! [b: #(none)] set/some o1 o2 o1/b", "2"},
      {"o: make object! [a: [1 2]] get 'o/a", "[1 2]"},
      {"o: make object! [a: 1] set 'o/a 9 o/a", "9"},
      {"a: 1 unset 'a value? 'a", "false"},
      {"a: 1 b: 2 unset [a b] reduce [value? 'a value? 'b]", "[false false]"},
      {"value? 'value?", "true"},
      {"value? 1", "true"},
  });
}

TEST(WordNatives, BindInAndContexts) {
  check({
      {"o: make object! [a: 1] b: [a] bind b o do b", "1"},
      {"a: 0 o: make object! [a: 1] b: [a] c: bind/copy b o reduce [do b do c]", "[0 1]"},
      {"o: make object! [a: 1] get in o 'a", "1"},
      {"o: make object! [a: 1] in o 'z", "none"},
      {"o: make object! [a: 1] w: in o 'a same? context? w o", "true"},
      {"o: make object! [a: 1] w: bind 'a o get w", "1"},
      {"f: func [x] [context? 'x] same? f 1 :f", "true"},
  });
}

TEST(WordNatives, ConstructDoesNotEvaluate) {
  check({
      {"o: construct [a: b: yes c:] reduce [o/a o/b o/c]", "[true true none]"},
      {"o: construct [a: 1 + 2] o/a", "1"},
      {"o: construct/only [a: yes] o/a", "yes"},
      {"p: make object! [x: 1] o: construct/with [y: 2] p reduce [o/x o/y]", "[1 2]"},
  });
}

TEST(WordNatives, TypesAndAs) {
  check({
      {"type? 1", "integer!"},
      {"type?/word \"a\"", "string!"},
      {"type? make object! []", "object!"},
      {"type? try [1 / 0]", "error!"},
      {"as string! [1]", eval_error_text(err::script::NOT_RELATED)},
      {"b: [a b] p: as path! b append p 'c b", "[a b c]"},
      {"as file! \"x\"", "%x"},
  });
}

TEST(WordNatives, ReduceAndCompose) {
  check({
      {"reduce [1 + 2 3 * 4]", "[3 12]"},
      {"reduce []", "[]"},
      {"b: [0] reduce/into [1 + 1 2 + 2] b", "[0 2 4]"},
      {"reduce 1 + 2", "3"},
      {"f: does [1] type? reduce :f", "function!"},
      {"compose [(1 + 1) ([]) () [(2)]]", "[2 [(2)]]"},
      {"compose/deep [(1 + 1) ([]) () [(2)]]", "[2 [2]]"},
      {"compose [([a b]) x]", "[a b x]"},
      {"compose/only [([a b]) x]", "[[a b] x]"},
      {"b: [0] compose/into [(1) (2)] b", "[0 1 2]"},
      {"b: [x y] reduce/into [1 2] next b", "[y 1 2]"},
      // A hash! target indexes what it receives: find and select see the new values.
      {"h: make hash! [] reduce/into [1 2 3] h find h 2", "make hash! [2 3]"},
      {"h: make hash! [] compose/into [a (1 + 1)] h select h 'a", "2"},
      {"compose 1", eval_error_text(err::script::EXPECT_VAL)},
  });
}

TEST(WordNatives, NewLineMarkers) {
  check({
      {"b: [1 2 3] new-line next b true new-line? next b", "true"},
      {"b: [1 2 3] new-line b true new-line? next b", "false"},
      {"b: [1 2 3 4] new-line/skip b false 2 reduce [new-line? b new-line? next b "
       "new-line? skip b 2 new-line? skip b 3]",
       "[false true false true]"},
      {"b: [1 2 3] new-line/all b true reduce [new-line? b new-line? next b]", "[true true]"},
      {"new-line/skip [1] true 0", eval_error_text(err::script::OUT_OF_RANGE)},
      {"new-line? tail [1]", "false"},
  });
}

TEST(WordNatives, ComparisonNatives) {
  check({
      {"same? \"a\" \"a\"", "false"},
      {"s: \"a\" same? s s", "true"},
      {"s: \"ab\" same? next s s", "false"},
      {"same? 1 1", "true"},
      {"same? 1 1.0", "false"},
      {"strict-equal? \"a\" \"A\"", "false"},
      {"equal? \"a\" \"A\"", "true"},
      {"strict-equal? 1 1.0", "false"},
      {"lesser? 1 2", "true"},
  });
}

// What print writes, caught through the raw-output hook.
std::string printed;
void catch_output(const char* bytes, size_t n) { printed.append(bytes, n); }

std::string output_of(const char* source) {
  printed.clear();
  output::add_raw_hook(catch_output);
  std::string result = test::eval(source);
  output::remove_raw_hook(catch_output);
  EXPECT_EQ(result, "unset") << source;
  return printed;
}

TEST(WordNatives, PrintFormsAndSpaces) {
  struct Printed {
    const char* source;
    const char* output;
  } cases[] = {
      {"print [1 + 2 \"x\"]", "3 x\n"},
      {"print []", "\n"},
      {"print \"a\"", "a\n"},
      {"prin \"a\" prin [1 2]", "a1 2"},
      {"print [\"a^/\" \"b\"]", "a\nb\n"},
      {"print 1.5", "1.5\n"},
      {"f: does [print [\"in\"] 2] print [1 f 3]", "in\n1 2 3\n"},
  };
  for (const Printed& c : cases) EXPECT_EQ(output_of(c.source), c.output) << c.source;
}

TEST(WordNatives, AnErrorInsidePrintLeavesTheBufferClean) {
  check({{"try [print [1 1 / 0]] 0", "0"}});
  EXPECT_EQ(output_of("print [2]"), "2\n");
}

}  // namespace
}  // namespace zol
