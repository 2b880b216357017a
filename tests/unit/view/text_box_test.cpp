// Rich text in the terminal: the style run's setters, the style dialect over data
// blocks (ranges cut at the end, colours, options read and ignored, stray values
// refused at their position, characters above U+FFFF counting one each), and the
// metrics walk over text that wraps with wide characters.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/series/series.h"
#include "support.h"
#include "view/backend.h"
#include "view/colors.h"
#include "view/text_box.h"

namespace zol::view::text_box {
namespace {

// One token a record: its flags (b i u s, or -), then its foreground and background
// as 256-colour indexes ("." for the default colour).
std::string shown(const StyleRun& run) {
  auto colour = [](uint32_t v) {
    return colors::kind_of(v) == colors::DEFAULT ? std::string(".") : std::to_string(v & 0xFF);
  };
  std::string out;
  for (const screen::Cell& r : run) {
    std::string flags;
    if (r.attr & BOLD) flags += 'b';
    if (r.attr & ITALIC) flags += 'i';
    if (r.attr & UNDERLINE) flags += 'u';
    if (r.attr & STRIKE) flags += 's';
    if (!out.empty()) out += ' ';
    out += (flags.empty() ? "-" : flags) + "/" + colour(r.fg) + "/" + colour(r.bg);
  }
  return out;
}

StyleRun plain(const std::u32string& text) {
  return make_run(text, colors::make(colors::DEFAULT, 0), colors::make(colors::DEFAULT, 0));
}

TEST(ViewTextBox, SettersWriteTheirWordOverTheRangeCutAtTheEnd) {
  struct Case {
    Range range;
    Setter setter;
    const char* run;
  };
  uint32_t red = colors::make(colors::INDEXED, 196);
  const Case cases[] = {
      {{1, 2}, Setter::FOREGROUND, "-/./. -/196/. -/196/."},
      {{2, 10}, Setter::BACKGROUND, "-/./. -/./. -/./196"},
      {{-1, 2}, Setter::BOLD, "b/./. -/./. -/./."},
      {{0, 3}, Setter::ITALIC, "i/./. i/./. i/./."},
      {{0, 1}, Setter::UNDERLINE, "u/./. -/./. -/./."},
      {{2, 1}, Setter::STRIKE, "-/./. -/./. s/./."},
      {{0, 3}, Setter::BORDER, "-/./. -/./. -/./."},
      {{0, 3}, Setter::FONT_NAME, "-/./. -/./. -/./."},
      {{0, 3}, Setter::FONT_SIZE, "-/./. -/./. -/./."},
      {{3, 1}, Setter::BOLD, "-/./. -/./. -/./."},
  };
  for (const Case& c : cases) {
    StyleRun run = plain(U"abc");
    apply(run, c.range, c.setter, red);
    EXPECT_EQ(shown(run), c.run) << c.range.start << " " << c.range.length;
  }
}

TEST(ViewTextBox, TheDialectStylesTheFacesRun) {
  struct Case {
    std::u32string text;
    const char* data;
    const char* run;
  };
  const Case cases[] = {
      {U"abcd", "[3x2 bold]", "-/./. -/./. b/./. b/./."},
      {U"abcd", "[3x10 bold]", "-/./. -/./. b/./. b/./."},
      {U"abcd", "[bold 1x1]", "-/./. -/./. -/./. -/./."},
      {U"abcd", "[1x2 255.0.0 2x2 backdrop 0.0.255]", "-/196/. -/196/21 -/./21 -/./."},
      {U"abcd", "[2x2 backdrop red]", "-/./. -/./196 -/./196 -/./."},
      // A fourth component of 255 is fully transparent: the default colour.
      {U"abcd", "[1x2 255.0.0.0 2x1 255.0.0.255]", "-/196/. -/./. -/./. -/./."},
      // The options of underline, strike and border are read, never applied.
      {U"abcd", "[1x1 underline 255.0.0 'dashed 2x1 strike 'wavy 3x1 border 1.2.3 4x1 italic]",
       "u/./. s/./. -/./. i/./."},
      {U"abcd", "[1x4 \"Mono\" 12 1.5 bold 2x1 italic]", "b/./. bi/./. b/./. b/./."},
      {U"\U0001F600abc", "[2x2 bold]", "-/./. b/./. b/./. -/./."},
      {U"a\U0001F600\U0001F600bc", "[4x2 255.0.0]", "-/./. -/./. -/./. -/196/. -/196/."},
  };
  for (const Case& c : cases) {
    StyleRun run = plain(c.text);
    Cell data = test::eval_value(c.data);
    test::HeldCells hold(&data);
    apply_styles(run, &data, colors::INDEXED_256);
    EXPECT_EQ(shown(run), c.run) << c.data;
  }
}

TEST(ViewTextBox, AValueOutsideTheDialectIsRefusedAtItsPosition) {
  struct Case {
    const char* data;
    int32_t index;
  };
  const Case cases[] = {
      {"[1x1 bold blink]", 2},
      {"[1x1 backdrop 12]", 2},
      {"[1x1 backdrop]", 1},
      {"[1x1 /bold]", 1},
      {"[1x1 [bold]]", 1},
  };
  for (const Case& c : cases) {
    StyleRun run = plain(U"ab");
    Cell data = test::eval_value(c.data);
    test::HeldCells hold(&data);
    EXPECT_EQ(test::raised([&] { apply_styles(run, &data, colors::INDEXED_256); }),
              test::error_name(err::script::DRAW_INVALID))
        << c.data;
    const Cell* at = &error::last_args[0];
    ASSERT_TRUE(at->is(T_BLOCK)) << c.data;
    EXPECT_EQ(series_cell::head(at), c.index) << c.data;
  }
}

TEST(ViewTextBox, AFacesRunTakesItsTextColoursAndData) {
  Cell face = test::eval_value(R"(make face! [
    type: 'rich-text text: "a^(1F600)bc" color: 0.0.255 font: make font! [color: 255.0.0]
    data: [2x2 bold 3x1 backdrop 1.2.3]
  ])");
  test::HeldCells hold(&face);
  StyleRun run = face_run(&face, colors::INDEXED_256);
  EXPECT_EQ(shown(run), "-/196/21 b/196/21 b/196/16 -/196/21");
  std::u32string chars;
  for (const screen::Cell& r : run) chars += char32_t(r.ch);
  EXPECT_EQ(chars, U"a\U0001F600bc");
  // Without colours or data: the terminal's own colours, no styles.
  Cell bare = test::eval_value("make face! [type: 'rich-text text: \"ab\" data: none]");
  test::HeldCells hold_bare(&bare);
  EXPECT_EQ(shown(face_run(&bare, colors::INDEXED_256)), "-/./. -/./.");
}

TEST(ViewTextBox, FontsAnswerTheirHandleAndColour) {
  Cell font = test::eval_value("make font! [color: 255.0.0]");
  test::HeldCells hold(&font);
  EXPECT_EQ(font_handle(&font), 0u);
  EXPECT_EQ(font_colour(&font, colors::INDEXED_256), colors::make(colors::INDEXED, 196));
  Cell* state = backend::facet_of(&font, "state");
  handle::make_at(state, 77, handle::FONT);
  EXPECT_EQ(font_handle(&font), 77u);
  EXPECT_EQ(free_font(&font), 77u);
  EXPECT_TRUE(backend::facet_of(&font, "state")->is(T_NONE));
  EXPECT_EQ(font_handle(&font), 0u);
  Cell plain = test::eval_value("make font! [color: none]");
  test::HeldCells hold_plain(&plain);
  EXPECT_EQ(font_colour(&plain, colors::INDEXED_256), 0u);
}

// "ab中cde\nx" at four columns: "ab中" fills line 0, "cde" and its line feed make
// line 1, "x" is line 2.
const std::u32string WRAPPED = U"ab\u4E2Dcde\nx";

TEST(ViewTextBox, TheCaretIsWhereItsCharacterIsPlaced) {
  struct Case {
    int32_t index;   // 0-based
    int width;
    Caret caret;
  };
  const Case cases[] = {
      {0, 4, {0, 0}}, {2, 4, {2, 0}},
      {3, 4, {0, 1}},   // does not fit after the wide character
      {6, 4, {3, 1}},   // before the line feed: the end of its line
      {7, 4, {0, 2}}, {8, 4, {1, 2}}, {20, 4, {1, 2}}, {-3, 4, {0, 0}},
      {3, UNLIMITED, {4, 0}}, {7, UNLIMITED, {0, 1}},
  };
  for (const Case& c : cases) {
    Caret at = caret_before(WRAPPED, c.index, c.width);
    EXPECT_EQ(at.column, c.caret.column) << c.index << " at " << c.width;
    EXPECT_EQ(at.line, c.caret.line) << c.index << " at " << c.width;
  }
  // A character wider than the box still starts the line it is placed on.
  Caret at = caret_before(U"\u4E2D\u4E2D", 1, 1);
  EXPECT_EQ(at.line, 1);
  EXPECT_EQ(at.column, 0);
}

TEST(ViewTextBox, TheIndexAtACellCountsCharacters) {
  struct Case {
    Caret cell;
    int32_t index;
    bool past_end;
  };
  const Case cases[] = {
      {{0, 0}, 0, false}, {{2, 0}, 2, false},
      {{3, 0}, 2, false},    // the second half of the wide character
      {{0, 1}, 3, false},
      {{3, 1}, 6, false},    // the line feed
      {{9, 1}, 6, false},    // past the line's end: its line feed
      {{0, 2}, 7, false},
      {{5, 2}, 8, true}, {{0, 7}, 8, true},
      {{-2, -1}, 0, false},
  };
  for (const Case& c : cases) {
    bool past_end = false;
    EXPECT_EQ(index_at(WRAPPED, c.cell, 4, &past_end), c.index) << c.cell.column << "x" << c.cell.line;
    EXPECT_EQ(past_end, c.past_end) << c.cell.column << "x" << c.cell.line;
  }
  // Past the end of a wrapped line: the first character of the next line.
  bool past_end = false;
  EXPECT_EQ(index_at(U"abcdef", {3, 0}, 3, &past_end), 3);
  EXPECT_EQ(index_at(U"abcdef", {3, 0}, 4, &past_end), 3);
  EXPECT_EQ(index_at(U"abcdef", {5, 0}, 4, &past_end), 4);
}

TEST(ViewTextBox, TheExtentIsTheWidestLineAndTheLineCount) {
  struct Case {
    std::u32string text;
    int width;
    Caret extent;
  };
  const Case cases[] = {
      {WRAPPED, 4, {4, 3}},
      {WRAPPED, UNLIMITED, {7, 2}},
      {U"", 4, {0, 1}},
      {U"ab\n", 4, {2, 2}},
      {U"abcdefg", 3, {3, 3}},
  };
  for (const Case& c : cases) {
    Caret e = extent(c.text, c.width);
    EXPECT_EQ(e.column, c.extent.column) << c.width;
    EXPECT_EQ(e.line, c.extent.line) << c.width;
  }
}

}  // namespace
}  // namespace zol::view::text_box
