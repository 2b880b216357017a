// Terminal colours: the environment's support level, the 256-colour mapping with
// its grey ramp and ties, the sixteen-colour level, transparency, true colour for
// image pixels, and the SGR text of each kind.
#include <gtest/gtest.h>

#include <string>

#include "view/colors.h"

namespace zol::view::colors {
namespace {

TEST(ViewColors, SupportLevelFromTheEnvironment) {
  struct Case {
    const char* colorterm;
    const char* term;
    int level;
  };
  const Case cases[] = {
      {"truecolor", "xterm", TRUE_COLOUR}, {"24bit", "", TRUE_COLOUR},
      {"", "xterm-256color", INDEXED_256}, {"rxvt-256", "xterm", INDEXED_256},
      {"", "xterm", SIXTEEN},              {"", "", SIXTEEN},
      {"yes", "screen", SIXTEEN},
  };
  for (const Case& c : cases)
    EXPECT_EQ(support_level(c.colorterm, c.term), c.level) << c.colorterm << " " << c.term;
}

TEST(ViewColors, TuplesMapToTheNearest256Entry) {
  struct Case {
    Rgb colour;
    int index;
  };
  const Case cases[] = {
      {{255, 0, 0}, 196}, {{128, 128, 128}, 244}, {{0, 0, 0}, 16},  {{255, 255, 255}, 231},
      {{95, 135, 175}, 67}, {{240, 240, 240}, 255},
      // Averages below 3 take the darkest grey as candidate; the cube's black wins.
      {{2, 1, 0}, 16},    {{0, 0, 2}, 16},
      // Equally near: the grey entry is taken.
      {{2, 0, 10}, 232},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(index_256(c.colour), c.index)
        << int(c.colour.r) << "." << int(c.colour.g) << "." << int(c.colour.b);
    EXPECT_EQ(from_rgba(c.colour, 0, INDEXED_256), make(INDEXED, uint32_t(c.index)));
  }
}

TEST(ViewColors, EveryLevelAndTransparency) {
  EXPECT_EQ(from_rgba({255, 0, 0}, 255, INDEXED_256), make(DEFAULT, 0));
  EXPECT_EQ(from_rgba({255, 0, 0}, 254, INDEXED_256), make(INDEXED, 196));
  // Sixteen colours: the nearest of the table's first sixteen, as a palette entry.
  EXPECT_EQ(from_rgba({255, 0, 0}, 0, SIXTEEN), make(PALETTE, 11));
  EXPECT_EQ(from_rgba({128, 0, 0}, 0, SIXTEEN), make(PALETTE, 1));
  EXPECT_EQ(from_rgba({200, 200, 200}, 0, SIXTEEN), make(PALETTE, 7));
  EXPECT_EQ(from_rgba({128, 128, 128}, 0, SIXTEEN), make(PALETTE, 10));
  EXPECT_EQ(from_rgba({250, 250, 250}, 0, SIXTEEN), make(PALETTE, 17));
  EXPECT_EQ(from_rgba({0, 0, 0}, 255, SIXTEEN), make(DEFAULT, 0));
  // True colour only for image pixels at the true-colour level.
  EXPECT_EQ(from_rgba({1, 2, 3}, 0, TRUE_COLOUR, true), make(TRUE_COLOR, 0x010203));
  EXPECT_EQ(from_rgba({1, 2, 3}, 0, TRUE_COLOUR), make(INDEXED, 16));
  EXPECT_EQ(from_rgba({1, 2, 3}, 0, INDEXED_256, true), make(INDEXED, 16));
}

TEST(ViewColors, TheTableHasTheCubeAndTheGreyRamp) {
  EXPECT_EQ(table_entry(9).r, 255);
  EXPECT_EQ(table_entry(8).g, 128);
  Rgb c = table_entry(16 + 36 * 1 + 6 * 2 + 3);
  EXPECT_EQ(c.r, 95);
  EXPECT_EQ(c.g, 135);
  EXPECT_EQ(c.b, 175);
  EXPECT_EQ(table_entry(232).r, 8);
  EXPECT_EQ(table_entry(255).b, 238);
}

TEST(ViewColors, SgrTextOfEachKind) {
  struct Case {
    uint32_t value;
    bool background;
    const char* text;
    bool resets;
  };
  const Case cases[] = {
      {make(DEFAULT, 0), false, "\033[39m", false},
      {make(DEFAULT, 0), true, "\033[49m", false},
      {make(PALETTE, 1), false, "\033[31m", false},
      {make(PALETTE, 7), true, "\033[47m", false},
      {make(PALETTE, 8), false, "\033[0m", true},
      {make(PALETTE, 9), true, "\033[49m", false},
      {make(PALETTE, 10), false, "\033[90m", false},
      {make(PALETTE, 17), true, "\033[107m", false},
      {make(PALETTE, 18), true, "\033[0m", true},
      {make(INDEXED, 196), false, "\033[38;5;196m", false},
      {make(INDEXED, 21), true, "\033[48;5;21m", false},
      {make(TRUE_COLOR, 0x0A141E), false, "\033[38;2;10;20;30m", false},
      {make(TRUE_COLOR, 0xFF0001), true, "\033[48;2;255;0;1m", false},
      {3u << 24 | 5, false, "\033[0m", true},
  };
  for (const Case& c : cases) {
    std::string out;
    append_sgr(out, c.value, c.background);
    EXPECT_EQ(out, c.text) << std::hex << c.value;
    EXPECT_EQ(resets_all(c.value), c.resets) << std::hex << c.value;
  }
}

}  // namespace
}  // namespace zol::view::colors
