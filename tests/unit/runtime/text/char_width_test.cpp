// Display widths: every code point against the oracle written from Python's
// unicodedata one code point at a time, the rules' own examples, and the range
// search at the edges of its tables.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/text/char_width.h"

namespace zol {
namespace {

struct WidthRun {
  uint32_t first;
  int width;
};

std::vector<WidthRun> read_oracle() {
  std::ifstream in(std::string(ZOL_TEST_DATA) + "/char_width.txt");
  std::vector<WidthRun> runs;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    WidthRun r{};
    fields >> std::hex >> r.first >> std::dec >> r.width;
    runs.push_back(r);
  }
  return runs;
}

TEST(CharWidth, EveryCodePointMatchesTheOracle) {
  std::vector<WidthRun> runs = read_oracle();
  ASSERT_FALSE(runs.empty());
  ASSERT_EQ(runs[0].first, 0u);
  size_t run = 0;
  int mismatches = 0;
  for (uint32_t cp = 0; cp <= 0x10FFFF; cp++) {
    if (run + 1 < runs.size() && runs[run + 1].first == cp) run++;
    int got = unicode::char_width(cp);
    if (got != runs[run].width && mismatches++ < 10)
      ADD_FAILURE() << std::hex << "U+" << cp << ": " << got << ", oracle " << runs[run].width;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(CharWidth, NamedCodePoints) {
  struct Case {
    uint32_t cp;
    int width;
  } cases[] = {
      {0x41, 1},    {0x00, 0},    {0x09, 1},    {0x1B, 1},    {0x7F, 1},    {0x9F, 1},
      {0x301, 0},   {0x1160, 0},  {0x11FF, 0},  {0x115F, 2},  {0x3000, 2},  {0xFF01, 2},
      {0x1F600, 2}, {0x1F1E6, 1}, {0x10FFFF, 1}, {0x200B, 1}, {0x200D, 1},  {0xAD, 1},
      {0xFEFF, 1},  {0x1ACB, 0},  {0x1FAF6, 2}, {0x1FAF7, 1}, {0x231A, 2},  {0x2329, 2},
      {0x20000, 2}, {0x2FFFD, 2}, {0x2FFFE, 1}, {0x3FFFD, 2}, {0xE0100, 0}, {0xE01EF, 0},
      // the pictograph block is not wide as a whole: narrow code points sit in it
      {0x1F321, 1}, {0x1F5FB, 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(unicode::char_width(c.cp), c.width) << std::hex << "U+" << c.cp;
}

TEST(CharWidth, RangeSearchAtTheEdges) {
  const unicode::CodeRange table[] = {{10, 12}, {20, 20}, {30, 40}};
  struct Case {
    uint32_t cp;
    bool in;
  } cases[] = {{0, false}, {9, false}, {10, true}, {12, true}, {13, false}, {19, false},
               {20, true}, {21, false}, {30, true}, {40, true}, {41, false}};
  for (const Case& c : cases) EXPECT_EQ(unicode::range_search(c.cp, table, 3), c.in) << c.cp;
  EXPECT_FALSE(unicode::range_search(10, table, 0));
}

}  // namespace
}  // namespace zol
