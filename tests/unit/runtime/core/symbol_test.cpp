// Symbols: interning once, ASCII case variants as aliases of the first spelling,
// unrelated non-ASCII case variants, names, and the table's growth.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/actions.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

bool equal(const Cell& a, const Cell& b, int op) { return actions::compare(&a, &b, op); }

void expect_one_family(const char* first, const char* second, const char* third) {
  uint32_t a = symbol::make(first), b = symbol::make(second), c = symbol::make(third);
  EXPECT_EQ(symbol::get_alias(a), -1) << first;
  EXPECT_EQ(symbol::resolve(b), a) << second;
  EXPECT_EQ(symbol::resolve(c), a) << third;
  EXPECT_EQ(symbol::make(second), b) << "interning again answers the same id";
  Cell wa = word::make_global(a), wc = word::make_global(c);
  EXPECT_TRUE(equal(wa, wc, C_EQUAL));
  EXPECT_FALSE(equal(wa, wc, C_STRICT_EQUAL));
}

TEST(Symbols, CaseVariantsAreOneFamilyBeforeAndAfterTableGrowth) {
  expect_one_family("print", "Print", "PRINT");
  int32_t buckets = hashtable::record(symbol::table)->buckets;
  uint32_t print = symbol::make("print");
  for (int i = 0; hashtable::record(symbol::table)->buckets == buckets; i++)
    symbol::make(("filler-" + std::to_string(i)).c_str());
  EXPECT_EQ(symbol::make("print"), print) << "ids survive growth";
  EXPECT_EQ(symbol::resolve(symbol::make("pRiNt")), print);
  expect_one_family("print", "prINT", "PRint");
  expect_one_family("grown", "GROWN", "Grown");
}

TEST(Symbols, VariantsOfAnAliasResolveInOneStep) {
  // A private table that grows often: variants found after a re-ordering may be
  // aliases themselves, and must still name the first spelling.
  NodeRef records = memory::alloc_cells(4);
  NodeRef table = hashtable::init(4, records, hashtable::K_SYMBOL);
  auto intern = [&](const std::string& s) {
    return hashtable::intern(table, reinterpret_cast<const uint8_t*>(s.data()), uint32_t(s.size()), false);
  };
  const std::string base = "abcdef";
  int32_t first = intern(base);
  std::vector<int32_t> variants;
  for (int mask = 1; mask < 64; mask++) {
    std::string v = base;
    for (int i = 0; i < 6; i++)
      if (mask & (1 << i)) v[i] = char(v[i] - 32);
    variants.push_back(intern(v));
    for (int f = 0; f < 3; f++) intern(v + "-" + std::to_string(f));   // forces growth now and then
  }
  Cell* recs = memory::buffer_of(records)->cells();
  for (int32_t id : variants) EXPECT_EQ(int32_t(recs[id - 1].w1), first) << "variant " << id;
}

TEST(Symbols, OnlyAsciiLettersFold) {
  uint32_t lower = symbol::make("\xC3\xA9t\xC3\xA9");      // été
  uint32_t upper = symbol::make("\xC3\x89t\xC3\x89");      // ÉtÉ
  EXPECT_NE(lower, upper);
  EXPECT_EQ(symbol::get_alias(upper), -1) << "unrelated symbols";
  uint32_t mixed = symbol::make("\xC3\xA9T\xC3\xA9");      // éTé: an ASCII variant of été
  EXPECT_EQ(symbol::resolve(mixed), lower);
}

TEST(Symbols, CasedInterningAnswersAnyExistingSpelling) {
  uint32_t print = symbol::make("print");
  EXPECT_EQ(symbol::make_cased("PRINT"), symbol::resolve(symbol::make_cased("PRINT")));
  EXPECT_EQ(symbol::resolve(symbol::make_cased("PRINT")), print);
  uint32_t fresh = symbol::make_cased("Cased-Only");
  EXPECT_EQ(symbol::get_alias(fresh), -1);
}

TEST(Symbols, NamesInUtf8AndAsStrings) {
  uint32_t empty = symbol::make("");
  EXPECT_EQ(symbol::name_length(empty), 0u);
  EXPECT_STREQ(symbol::get_c_string(empty), "");
  uint32_t id = symbol::make("gr\xC3\xBC\xC3\x9F-\xE2\x82\xAC");   // grüß-€
  EXPECT_EQ(symbol::record_of(id)->w2, 0u) << "the string form is made on first request";
  Cell* rec = symbol::get(id);
  ASSERT_NE(rec->w2, 0u);
  Cell text{T_STRING, 0, rec->w2, 0};
  EXPECT_EQ(string::length(&text), 6);
  EXPECT_EQ(string::to_utf8(&text), "gr\xC3\xBC\xC3\x9F-\xE2\x82\xAC");
  EXPECT_EQ(symbol::get(id)->w2, rec->w2) << "made once";
  EXPECT_EQ(symbol::make_from_string(&text), id);
}

TEST(Symbols, SymbolValuesCompareTheirNames) {
  Cell a = *symbol::record_of(symbol::make("alpha"));
  Cell b = *symbol::record_of(symbol::make("ALPHA"));
  Cell c = *symbol::record_of(symbol::make("beta"));
  EXPECT_EQ(actions::compare_typed(&a, &b, C_EQUAL), 0);
  EXPECT_NE(actions::compare_typed(&a, &b, C_STRICT_EQUAL), 0);
  EXPECT_EQ(actions::compare_typed(&a, &c, C_SORT), -1);
  Cell n = values::integer(1);
  EXPECT_EQ(actions::compare_typed(&a, &n, C_EQUAL), COMPARE_NOT_COMPARABLE);
}

}  // namespace
}  // namespace zol
