// error!: making errors, the fields raised errors carry, and the report, through
// Zol source.
#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include <string>
#include <utility>
#include <vector>
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;

// One category of the C++ lists: its constant, its word, and (id, word) for each of
// its ids, the id as the enum gives it.
struct ListedCategory {
  err::Category category;
  const char* name;
  std::vector<std::pair<int, const char*>> ids;
};

std::vector<ListedCategory> listed_categories() {
  std::vector<ListedCategory> all;
#define ZOL_TEST_ID(ID, name) {int(err::Id(type::ID).id), name},
#define ZOL_TEST_CATEGORY(CATEGORY, type_, name)                        \
  {                                                                     \
    using type [[maybe_unused]] = err::type_;                           \
    all.push_back({err::CATEGORY, name, {ZOL_ERRORS_##CATEGORY(ZOL_TEST_ID)}}); \
  }
  ZOL_ERROR_CATEGORIES(ZOL_TEST_CATEGORY)
#undef ZOL_TEST_CATEGORY
#undef ZOL_TEST_ID
  return all;
}

// The words a category object of the catalogue should hold, in order: `code`,
// `type`, then each id's word at the position its number gives ("?" where the list
// leaves a gap, "!" where two ids claim one position).
std::string expected_words(const ListedCategory& c) {
  std::vector<std::string> words = {"code", "type"};
  for (auto [id, name] : c.ids) {
    if (id >= int(words.size())) words.resize(size_t(id) + 1, "?");
    words[size_t(id)] = words[size_t(id)] == "?" ? name : "!";
  }
  std::string molded = "[";
  for (const std::string& w : words) molded += (molded.size() > 1 ? " " : "") + w;
  return molded + "]";
}

// The lists of error.h and the catalogue of the bootstrap text name the same
// categories and ids with the same numbers, and the catalogue has nothing more.
TEST(Errors, TheIdListsMatchTheCatalogue) {
  std::string categories = "[";
  for (const ListedCategory& c : listed_categories()) {
    categories += (categories.size() > 1 ? " " : "") + std::string(c.name);
    std::string object = "system/catalog/errors/" + std::string(c.name);
    SCOPED_TRACE(object);
    EXPECT_EQ(test::eval("words-of " + object), expected_words(c));
    EXPECT_EQ(test::eval(object + "/code"), std::to_string(c.category * 100));
  }
  EXPECT_EQ(test::eval("words-of system/catalog/errors"), categories + "]");
}

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
      {"make error! 399", eval_error_text(err::script::OUT_OF_RANGE)},
      {"make error! -1", eval_error_text(err::script::OUT_OF_RANGE)},
      {"e: make error! [script expect-arg] e/code", "305"},
      {"make error! [script no-such-id]", eval_error_text(err::script::INVALID_SPEC_FIELD)},
      {"make error! [no-such-type no-value]", eval_error_text(err::script::INVALID_SPEC_FIELD)},
      {"e: make error! [type: 'math id: 'overflow] e/code", "401"},
      {"e: make error! \"boom\" reduce [e/type e/id e/arg1]", "[user message \"boom\"]"},
      {"make error! 2.5", eval_error_text(err::script::BAD_MAKE_ARG)},
      // The call list is read through the error's context, never through a path.
      {"e: try [1 / 0] e/stack: 1", eval_error_text(err::script::INVALID_PATH_SET)},
      {"e: try [1 / 0] e/stack", eval_error_text(err::script::INVALID_PATH_SET)},
      {"e: try [1 / 0] e/STACK", eval_error_text(err::script::INVALID_PATH_SET)},
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

// An argument error names the word the function was called by (an operator's own
// word too) and the argument's word in the spec of the function behind it.
TEST(Errors, ArgumentErrorsNameTheCalledWordAndItsArgument) {
  check({
      {"e: try [true and 1] reduce [e/arg1 e/arg2 e/arg3]", "[and integer! value2]"},
      {"e: try [true or \"a\"] reduce [e/arg1 e/arg3]", "[or value2]"},
      {"e: try [\"a\" + 1] reduce [e/arg1 e/arg3]", "[+ value1]"},
      {"e: try [[] * 2] reduce [e/arg1 e/arg3]", "[* value1]"},
      {"e: try [power 2 \"a\"] reduce [e/arg1 e/arg3]", "[power exponent]"},
      {"e: try [power 2.5 \"a\"] reduce [e/arg1 e/arg3]", "[power exponent]"},
      {"e: try [copy/types [1 \"a\"] 1] reduce [e/arg1 e/arg3]", "[copy kind]"},
      {"e: try [copy/part/types [1 \"a\"] 1 1] reduce [e/arg1 e/arg3]", "[copy kind]"},
      {"f: func [a [integer!]] [a] e: try [f \"x\"] reduce [e/arg1 e/arg3]", "[f a]"},
      {"b: [1 2 3] e: try [append/part [] b [9]] reduce [e/id e/arg1 e/arg2]",
       "[invalid-refine-arg part [9]]"},
      {"e: try [change/part [1 2] 3 [9]] reduce [e/id e/arg1 e/arg2]",
       "[invalid-refine-arg part [9]]"},
      {"e: try [copy/part [1 2] \"a\"] reduce [e/id e/arg1 e/arg2]",
       "[invalid-refine-arg part \"a\"]"},
      {"e: try [sort/skip [1 2 3] 2] reduce [e/id e/arg1 e/arg2]", "[invalid-refine-arg skip 2]"},
      {"form try [true and 1]",
       "{*** Script Error: and does not allow integer! for its value2 argument\n"
       "*** Where: and\n*** Near : true and 1}"},
      {"b: [1 2 3] form try [append/part [] b [9]]",
       "{*** Script Error: invalid part argument: [9]\n"
       "*** Where: append\n*** Near : append/part [] b [9]}"},
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
      {"f: func [] [1 / 0] e: try/keep [f] get in e 'stack", "[/ f try]"},
      {"e: try [1 / 0] type? get in e 'stack", "integer!"},
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
