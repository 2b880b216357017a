// Case mapping: the tables against Python's own mapping of every code point, and
// the in-place change of chars and strings.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "runtime/text/casefold.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

// One direction of tests/data/case_oracle.txt: code point -> mapping, where
// NOT_COMPARED marks a mapping to several code points.
constexpr uint32_t NOT_COMPARED = 0xFFFFFFFF;
struct Oracle {
  std::map<uint32_t, uint32_t> upper, lower;
};

uint32_t parse_mapping(const std::string& field, uint32_t cp) {
  if (field == "=") return cp;
  if (field == "*") return NOT_COMPARED;
  return uint32_t(std::stoul(field, nullptr, 16));
}

Oracle read_oracle() {
  Oracle oracle;
  std::ifstream in(ZOL_TEST_DATA "/case_oracle.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string cp_text, upper, lower;
    fields >> cp_text >> upper >> lower;
    uint32_t cp = uint32_t(std::stoul(cp_text, nullptr, 16));
    oracle.upper[cp] = parse_mapping(upper, cp);
    oracle.lower[cp] = parse_mapping(lower, cp);
  }
  return oracle;
}

void expect_direction(const std::map<uint32_t, uint32_t>& expected, bool upper) {
  int compared = 0;
  for (uint32_t cp = 0; cp <= 0x10FFFF; cp++) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    auto listed = expected.find(cp);
    uint32_t want = listed == expected.end() ? cp : listed->second;
    if (want == NOT_COMPARED) continue;
    ASSERT_EQ(case_folding::change_char(cp, upper), want) << std::hex << "U+" << cp << (upper ? " upper" : " lower");
    compared++;
  }
  EXPECT_GT(compared, 0x10F000);
}

TEST(CaseFolding, AgreesWithPythonOnEveryOneToOneMapping) {
  Oracle oracle = read_oracle();
  ASSERT_GT(oracle.upper.size(), 2000u) << "oracle file missing or short";
  expect_direction(oracle.upper, true);
  expect_direction(oracle.lower, false);
}

TEST(CaseFolding, SupplementaryPlanesAndOtherCase) {
  EXPECT_EQ(case_folding::change_char(0x10428, true), 0x10400u);
  EXPECT_EQ(case_folding::change_char(0x10400, false), 0x10428u);
  EXPECT_EQ(case_folding::change_char(0x1E922, true), 0x1E900u);
  EXPECT_EQ(case_folding::change_char(0x1F600, true), 0x1F600u);
  EXPECT_EQ(case_folding::to_upper_char(0x1E943), 0x1E921u);
  EXPECT_EQ(case_folding::other_case('a'), uint32_t('A'));
  EXPECT_EQ(case_folding::other_case('A'), uint32_t('a'));
  EXPECT_EQ(case_folding::other_case('1'), uint32_t('1'));
  EXPECT_EQ(case_folding::change_char(0xDF, true), 0x53u) << "sharp s upper-cases to S";
  EXPECT_EQ(case_folding::change_char(0x53, false), 0x73u) << "and S still lower-cases to s";
}

TEST(CaseFolding, ChangeStringsByPart) {
  struct Case {
    std::u32string text;
    int32_t part;   // -100: no part
    bool upper;
    std::u32string result;
  };
  const Case cases[] = {
      {U"abcdef", 3, true, U"ABCdef"},  {U"abcdef", -100, true, U"ABCDEF"}, {U"abcdef", -2, true, U"abcdef"},
      {U"abcdef", 99, true, U"ABCDEF"}, {U"ABC\u0130", -100, false, U"abci"},
      {U"\U00010428x", -100, true, U"\U00010400X"},
  };
  for (const Case& c : cases) {
    Cell s = test::text(c.text);
    Cell part = values::integer(c.part);
    case_folding::change(&s, c.part == -100 ? nullptr : &part, c.upper);
    EXPECT_EQ(test::chars(s), c.result);
  }
}

TEST(CaseFolding, ChangeFromTheHeadToAPosition) {
  Cell s = test::text(U"abcdef");
  series_cell::set_head(&s, 1);
  Cell end = s;
  series_cell::set_head(&end, 4);
  case_folding::change(&s, &end, true);
  series_cell::set_head(&s, 0);
  EXPECT_EQ(test::chars(s), U"aBCDef");

  Cell other = test::text(U"xyz");
  EXPECT_EQ(test::raised([&] { case_folding::change(&s, &other, true); }),
            test::error_name(err::script::INVALID_REFINE_ARG));
  EXPECT_EQ(test::chars(s), U"aBCDef");
}

TEST(CaseFolding, ChangeWidensAndChangesChars) {
  Cell s = test::text(U"a\u00FFb");
  ASSERT_EQ(test::unit(s), 1u);
  case_folding::change(&s, nullptr, true);
  EXPECT_EQ(test::chars(s), U"A\u0178B");
  EXPECT_EQ(test::unit(s), 2u);

  Cell c{T_CHAR, 0, 0x3B1, 0};
  case_folding::change(&c, nullptr, true);
  EXPECT_EQ(c.w2, 0x391u);
}

}  // namespace
}  // namespace zol
