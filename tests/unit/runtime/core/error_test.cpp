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

using test::ListedCategory;
using test::listed_categories;

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

}  // namespace
}  // namespace zol
