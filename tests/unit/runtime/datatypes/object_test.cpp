// object!: making, extending, reflection, printing and change notification,
// through Zol source.
#include <gtest/gtest.h>

#include "runtime/core/stack.h"
#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

TEST(Objects, MakingReadsItsOwnWordsAsTheSpecRuns) {
  check({
      {"o: make object! [a: 1 b: a + 1] o/b", "2"},
      {"o: make object! [a: 1 b: a + 1] words-of o", "[a b]"},
      {"o: make object! [a: 1 b: a + 1] values-of o", "[1 2]"},
      {"o: make object! [a: 1 b: make object! [c: a + 10]] o/b/c", "11"},
      {"o: make object! [a: 1 f: func [] [a * 5]] o/a: 3 o/f", "15"},
      {"o: make object! [a: 1 me: self] same? o o/me", "true"},
      {"o: make object! [a: 1 s: does [self/a]] o/s", "1"},
      {"o: make object! [] words-of o", "[]"},
      {"make object! 3", eval_error_text(err::syntax::MALCONSTRUCT)},
  });
}

TEST(Objects, ExtendingCopiesThePrototype) {
  check({
      {"o: make object! [a: 1] p: make o [c: 3] words-of p", "[a c]"},
      {"o: make object! [a: 1] p: make o [a: 5] reduce [o/a p/a]", "[1 5]"},
      {"o: make object! [a: 1] p: make o [a: 5] equal? class-of o class-of p", "true"},
      {"o: make object! [a: 1] p: make o [c: 3] equal? class-of o class-of p", "false"},
      {"o: make object! [a: 1 f: does [a]] p: make o [a: 7] reduce [o/f p/f]", "[1 7]"},
      {"o: make object! [b: [1]] p: copy/deep o append p/b 2 o/b", "[1]"},
      {"o: make object! [b: [1]] p: copy o append p/b 2 o/b", "[1 2]"},
  });
}

TEST(Objects, FormAndMold) {
  check({
      {"form make object! [a: 1 b: 2]", "\"a: 1^/b: 2\""},
      {"mold make object! [a: 1 b: 'x]", "{make object! [\n    a: 1\n    b: 'x\n]}"},
      {"mold/flat make object! [a: 1 b: 2]", "\"make object! [a: 1 b: 2]\""},
      {"mold make object! [a: 1 on-change*: func [w o n] []]", "\"make object! [^/    a: 1^/]\""},
      {"mold/all make object! [a: 1 on-change*: 2]", eval_error_text(err::script::BAD_FIELD_SET)},
  });
}

TEST(Objects, ComparisonAndSelection) {
  check({
      {"equal? make object! [a: 1] make object! [a: 1]", "true"},
      {"equal? make object! [a: 1] make object! [a: 2]", "false"},
      {"same? make object! [a: 1] make object! [a: 1]", "false"},
      {"o: make object! [a: 1] select o 'a", "1"},
      {"o: make object! [a: 1] select o 'z", "none"},
      {"o: make object! [a: 1] put o 'a 9 o/a", "9"},
      {"o: make object! [a: 1] o/z", eval_error_text(err::script::UNSET_PATH)},
  });
}

TEST(Objects, OnChangeHearsTheWordTheOldAndTheNewValue) {
  check({
      {"log: copy [] o: make object! [a: 1 on-change*: func [w old new] [append log reduce [w old new]]] "
       "o/a: 2 log",
       "[a 1 2]"},
      {"log: copy [] o: make object! [a: 1 on-change*: func [w old new] [append log w]] "
       "set in o 'a 5 log",
       "[a]"},
      {"log: copy [] o: make object! [a: 1 b: 2] o/a: 3 log", "[]"},
      {"make object! [on-change*: 1]", eval_error_text(err::script::BAD_FIELD_SET)},
  });
}

TEST(Objects, OnDeepChangeHearsEditsOfOwnedSeries) {
  check({
      {"log: copy [] o: make object! [b: [1] on-deep-change*: func [owner word target action new index part] "
       "[append log reduce [word action new index part]]] append o/b 2 log",
       "[b append 2 1 1 b appended 2 1 1]"},
      {"log: copy [] o: make object! [b: [1] on-deep-change*: func [owner word target action new index part] "
       "[append log action]] clear o/b log",
       "[clear cleared]"},
      {"log: copy [] o: make object! [b: [] on-deep-change*: func [owner word target action new index part] "
       "[append log reduce [action index part]]] reduce/into [1 2] o/b log",
       "[append 0 1 appended 0 1 append 1 1 appended 1 1]"},
  });
}

}  // namespace
}  // namespace zol
