// error!: making errors, the fields raised errors carry, and the report, through
// Zol source.
#include <gtest/gtest.h>

#include "runtime/core/stack.h"
#include "runtime/core/error.h"
#include "zol_text.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

TEST(Errors, RaisedErrorsCarryTheirCatalogueEntry) {
  check({
      {"e: try [1 / 0] reduce [e/type e/id e/code]", "[math zero-divide 400]"},
      {"e: try [foo-never-set] reduce [e/type e/id e/arg1]", "[script no-value foo-never-set]"},
      {"e: try [1 / 0] e/near", "[1 / 0]"},
      {"e: try [x: 1 x + none] e/near", "[x + none]"},
      {"f: func [] [1 / 0] e: try [f] e/where", "/"},
      {"f: func [] [foo-never-set] e: try [f] e/where", "f"},
  });
}

TEST(Errors, MakeFromACodeABlockOrAString) {
  check({
      {"e: make error! 300 reduce [e/type e/id e/code]", "[script no-value 300]"},
      {"make error! 399", eval_error_text(err::SCRIPT, err::script::OUT_OF_RANGE)},
      {"make error! -1", eval_error_text(err::SCRIPT, err::script::OUT_OF_RANGE)},
      {"e: make error! [script expect-arg] e/code", "305"},
      {"make error! [script no-such-id]", eval_error_text(err::SCRIPT, err::script::INVALID_SPEC_FIELD)},
      {"make error! [no-such-type no-value]", eval_error_text(err::SCRIPT, err::script::INVALID_SPEC_FIELD)},
      {"e: make error! [type: 'math id: 'overflow] e/code", "401"},
      {"e: make error! \"boom\" reduce [e/type e/id e/arg1]", "[user message \"boom\"]"},
      {"make error! 2.5", eval_error_text(err::SCRIPT, err::script::BAD_MAKE_ARG)},
      {"e: try [1 / 0] e/stack: 1", eval_error_text(err::SCRIPT, err::script::INVALID_PATH_SET)},
  });
}

TEST(Errors, TheReportFillsTheTemplates) {
  check({
      {"form try [foo-never-set]",
       "{*** Script Error: foo-never-set has no value\n*** Where: try\n*** Near : foo-never-set}"},
      {"form try [1 / 0]",
       "{*** Math Error: attempt to divide by zero\n*** Where: /\n*** Near : 1 / 0}"},
      {"f: func [] [append 1 2] form try [f]",
       "{*** Script Error: append does not allow integer! for its series argument\n"
       "*** Where: append\n*** Near : append 1 2}"},
      // Syntax errors show their arguments formed, the others molded.
      {"form make error! [type: 'syntax id: 'invalid arg1: \"x\" arg2: \"y\" arg3: \"z\"]",
       "{*** Syntax Error: x invalid y at z\n*** Where: ???\n*** Near : none}"},
      {"form make error! [type: 'script id: 'invalid-arg arg1: \"x\"]",
       "{*** Script Error: invalid argument: \"x\"\n*** Where: ???\n*** Near : none}"},
      {"form make error! \"boom\"",
       "{*** User Error: \"boom\"\n*** Where: ???\n*** Near : form make error! \"boom\"}"},
  });
}

TEST(Errors, TheReportKeepsLongPartsShort) {
  check({
      {"e: try [1 / 0] e/near: [a b c d e f g h i j k l m n o p q r s t u v w x y z] "
       "find form e \"Near : a b c d e f g h i j k l m n o p q r s t^/\"",
       "none"},
      {"e: try [1 / 0] e/near: [a b c d e f g h i j k l m n o p q r s t u v w x y z] "
       "length? find/tail form e \"Near : \"",
       "40"},
  });
}

TEST(Errors, TheStackLineAppearsOnlyWhenEnabled) {
  check({
      {"f: func [] [1 / 0] e: try [f] equal? none find form e \"*** Stack:\"", "true"},
      {"system/state/stack-trace: 1 f: func [] [1 / 0] e: try [f] s: form e "
       "system/state/stack-trace: 0 find s \"*** Stack:\"",
       "\"*** Stack: / f try\""},
      {"f: func [] [1 / 0] e: try/keep [f] e/stack", "[/ f try]"},
      {"e: try [1 / 0] type? e/stack", "integer!"},
  });
}

TEST(Errors, AnErrorOutsideTheCatalogueIsReportedAsInvalid) {
  check({
      {"e: make error! 300 e/type: 'nothing form e",
       "{*** Internal Error: invalid error object field value: nothing\n*** Where: ???\n*** Near : none}"},
  });
}

}  // namespace
}  // namespace zol
