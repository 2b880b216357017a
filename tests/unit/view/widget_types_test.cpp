// The face types' widgets, driven the way a user drives them: faces shown with
// `view/no-wait`, bytes fed to the input decoder (keys and SGR mouse reports), the
// window drawn into the cell grid, and what the faces' actors heard read back.
#include <gtest/gtest.h>

#include <string>

#include "support.h"
#include "view/backend.h"
#include "view/colors.h"

namespace zol::view::backend {
namespace {

void feed(const std::string& bytes) {
  process_input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false);
}

// A press and a release of the left button at a 0-based cell of the window.
void click(int column, int row) {
  std::string at = std::to_string(column + 1) + ";" + std::to_string(row + 1);
  feed("\x1b[<0;" + at + "M");
  feed("\x1b[<0;" + at + "m");
}

std::u32string row_text(int y) {
  const screen::Grid& g = state().grid;
  std::u32string s;
  for (int x = 0; x < g.width; x++) s += g.at(x, y).ch ? char32_t(g.at(x, y).ch) : U'.';
  return s;
}

// Shows the window `win` (made by the given source) and draws it.
class Shown : public ::testing::Test {
 protected:
  void SetUp() override {
    test::boot();
    test::eval(R"(
      log: copy []
      click-log: make object! [on-click: func [face event] [append/only log reduce ['on-click face/extra]]]
      change-log: make object! [on-change: func [face event] [append/only log reduce ['on-change face/extra]]]
      list-log: make object! [
          on-select: func [face event] [append/only log reduce ['select event/picked face/selected]]
          on-change: func [face event] [append/only log reduce ['change event/picked face/selected]]
      ]
    )");
  }
  void TearDown() override { test::eval("unview/all"); }

  void show(const std::string& window_source, int colour_level = colors::TRUE_COLOUR) {
    state().colour_level = colour_level;
    test::eval("win: " + window_source + " view/no-wait win");
    draw();
  }
  void draw() {
    Cell win = test::eval_value("win");
    Widget* w = face_widget(&win);
    ASSERT_NE(w, nullptr);
    state().grid.resize(int(w->right), int(w->bottom));
    state().grid.clear();
    state().caret_column = state().caret_row = -1;
    draw_tree(*w);
  }
  std::string log_then_clear() { return test::eval("also copy log clear log"); }
};

TEST_F(Shown, AFieldEditsItsTextInPlaceWithinItsWidth) {
  show(R"(make face! [type: 'window size: 20x4 pane: reduce [
      f: make face! [type: 'field offset: 2x1 size: 10x1 text: "" flags: [focusable]]
      n: make face! [type: 'field offset: 2x2 size: 6x1 text: "" flags: [focusable]]
      p: make face! [type: 'field offset: 12x2 size: 6x1 text: "pw" flags: [focusable password]]
      e: make face! [type: 'field offset: 2x3 size: 6x1 flags: [focusable]]]])");
  test::eval("t: f/text");
  feed("abcdefghijkl");
  EXPECT_EQ(test::eval("f/text"), "\"abcdefghij\"");
  EXPECT_EQ(test::eval("same? f/text t"), "true") << "the same string, edited in place";
  draw();
  EXPECT_EQ(state().caret_column, 12);
  EXPECT_EQ(state().caret_row, 1);
  // Ctrl+B, Left, Ctrl+F and Right move by characters; backspace removes before.
  struct Move {
    const char* keys;
    int caret;
  } moves[] = {{"\x02\x02", 10}, {"\x1b[D", 9}, {"\x06", 10}, {"\x1b[C", 11}, {"\x1b[C", 12}};
  for (const Move& m : moves) {
    feed(m.keys);
    draw();
    EXPECT_EQ(state().caret_column, m.caret) << m.keys;
  }
  feed("\x02\x02\x02\x7f");
  EXPECT_EQ(test::eval("f/text"), "\"abcdefhij\"");
  feed(std::string(12, '\x02') + "\x7f");
  EXPECT_EQ(test::eval("f/text"), "\"abcdefhij\"") << "backspace at the start";
  feed("X");
  EXPECT_EQ(test::eval("f/text"), "\"Xabcdefhij\"");
  draw();
  EXPECT_EQ(state().caret_column, 3);
  // Enter leaves the text alone.
  feed("\r");
  EXPECT_EQ(test::eval("f/text"), "\"Xabcdefhij\"");
  // A click places the cursor; typing follows into the face's data.
  click(3, 2);
  feed("12");
  EXPECT_EQ(test::eval("reduce [n/text n/data]"), "[\"12\" 12]");
  draw();
  EXPECT_EQ(state().caret_column, 4);
  // A password field's cells are masked.
  EXPECT_EQ(state().grid.at(12, 2).attr & screen::MASKED, screen::MASKED);
  EXPECT_EQ(state().grid.at(12, 2).ch, uint32_t('p'));
  // A field without a text string gets one at the first key.
  click(2, 3);
  feed("z");
  EXPECT_EQ(test::eval("e/text"), "\"z\"");
}

TEST_F(Shown, AFocusedButtonIsReversedAndSpaceClicksItOnce) {
  show(R"(make face! [type: 'window size: 20x3 pane: reduce [
      b: make face! [type: 'button offset: 1x1 size: 8x1 text: "go" flags: [focusable]
          extra: 'b actors: click-log]
      o: make face! [type: 'button offset: 10x1 size: 8x1 text: "other" flags: [focusable]]]])");
  EXPECT_EQ(state().grid.at(1, 1).attr & screen::REVERSE, screen::REVERSE);
  EXPECT_EQ(state().grid.at(10, 1).attr & screen::REVERSE, 0u);
  feed(" ");
  EXPECT_EQ(log_then_clear(), "[[on-click b]]");
  feed("x");
  EXPECT_EQ(log_then_clear(), "[]");
}

// Two clicks that arrive together are a double click even when the first one's
// handler runs longer than the double-click time: the time is the reading's.
TEST_F(Shown, TwoClicksReadTogetherAreADoubleClickHoweverSlowTheFirstHandler) {
  test::eval(R"(slow-log: make object! [
      on-click: func [face event] [wait 0.6 append/only log 'on-click]
      on-dbl-click: func [face event] [append/only log 'on-dbl-click]])");
  show(R"(make face! [type: 'window size: 20x3 pane: reduce [
      b: make face! [type: 'button offset: 1x1 size: 8x1 text: "go" actors: slow-log]]])");
  feed("\x1b[<0;3;2M\x1b[<0;3;2m\x1b[<0;3;2M\x1b[<0;3;2m");
  EXPECT_EQ(log_then_clear(), "[on-click on-click on-dbl-click]");
}

TEST_F(Shown, CheckAndRadioToggleOnceAndARadioStaysOn) {
  show(R"(make face! [type: 'window size: 20x4 pane: reduce [
      c: make face! [type: 'check offset: 0x0 size: 10x1 text: "chk" flags: [focusable]
          extra: 'c actors: change-log]
      r1: make face! [type: 'radio offset: 0x1 size: 10x1 text: "one" flags: [focusable]
          extra: 'r1 actors: change-log]
      r2: make face! [type: 'radio offset: 0x2 size: 10x1 text: "two" flags: [focusable]
          extra: 'r2 actors: change-log]]])");
  EXPECT_EQ(row_text(0).substr(0, 5), U"☐ chk");
  EXPECT_EQ(state().grid.at(0, 0).attr & screen::REVERSE, screen::REVERSE) << "focused";
  // The face's own on-change hears each toggle exactly once. A click on a
  // radio is turned into `change` by the radio event function, which also
  // switches its siblings off; the widget adds no `change` of its own.
  struct Step {
    const char* what;
    void (*act)();
    const char* data;   // [c r1 r2]
    const char* face;
  } steps[] = {
      {"space on the check", [] { feed(" "); }, "[true none none]", "c"},
      {"click on the check", [] { click(1, 0); }, "[false none none]", "c"},
      {"click on a radio", [] { click(1, 1); }, "[false true false]", "r1"},
      {"the same radio again", [] { click(1, 1); }, "[false true false]", "r1"},
      {"its sibling", [] { click(1, 2); }, "[false false true]", "r2"},
      {"space on the radio", [] { feed(" "); }, "[false false true]", "r2"},
      {"space on the other radio clears its sibling", [] {
         test::eval("set-focus r1");
         feed(" ");
       }, "[false true false]", "r1"},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(test::eval("reduce [c/data r1/data r2/data]"), s.data) << s.what;
    std::string heard = log_then_clear();
    std::string one = std::string("[on-change ") + s.face + "]";
    int count = 0;
    for (size_t at = heard.find(one); at != std::string::npos; at = heard.find(one, at + 1)) count++;
    EXPECT_EQ(count, 1) << s.what << ": " << heard;
  }
  draw();
  EXPECT_EQ(row_text(1).substr(0, 5), U"◉ one");
  EXPECT_EQ(row_text(2).substr(0, 5), U"○ two");
}

TEST_F(Shown, ATextListScrollsWithItsSelection) {
  show(R"(make face! [type: 'window size: 20x5 pane: reduce [
      l: make face! [type: 'text-list offset: 0x0 size: 10x3 data: ["a" "b" "c" "d" "e"]
          flags: [focusable] actors: list-log]
      s: make face! [type: 'text-list offset: 12x0 size: 6x3 data: ["x" "y"] flags: [focusable]]]])");
  struct Step {
    const char* keys;
    const char* rows;    // the rows drawn, the selected one in brackets
    const char* heard;
  } steps[] = {
      {"\x1b[B", "a [b] c", "[[select 2 1] [change 2 2]]"},
      {"\x1b[B", "a b [c]", "[[select 3 2] [change 3 3]]"},
      {"\x1b[B", "b c [d]", "[[select 4 3] [change 4 4]]"},
      {"\x1b[B", "c d [e]", "[[select 5 4] [change 5 5]]"},
      {"\x1b[B", "c d [e]", "[]"},
      {"\x1b[A", "c [d] e", "[[select 4 5] [change 4 4]]"},
      {"\x1b[A", "[c] d e", "[[select 3 4] [change 3 3]]"},
      {"\x1b[A", "[b] c d", "[[select 2 3] [change 2 2]]"},
      {"\x1b[A", "[a] b c", "[[select 1 2] [change 1 1]]"},
  };
  for (const Step& s : steps) {
    feed(s.keys);
    draw();
    std::string rows;
    for (int y = 0; y < 3; y++) {
      bool selected = state().grid.at(0, y).attr & screen::REVERSE;
      char entry = char(state().grid.at(0, y).ch);
      rows += std::string(y ? " " : "") + (selected ? "[" : "") + entry + (selected ? "]" : "");
    }
    EXPECT_EQ(rows, s.rows) << "after " << s.heard;
    EXPECT_EQ(log_then_clear(), s.heard) << s.rows;
  }
  // A click picks the entry in its row; below the last entry it picks nothing.
  click(0, 1);
  EXPECT_EQ(log_then_clear(), "[[select 2 1] [change 2 2]]");
  click(12, 0);
  click(12, 2);
  EXPECT_EQ(test::eval("s/selected"), "1");
  // Without the focus nothing is highlighted.
  draw();
  for (int y = 0; y < 3; y++) EXPECT_EQ(state().grid.at(0, y).attr & screen::REVERSE, 0u) << y;
}

TEST_F(Shown, AGroupBoxBordersItsRectangleWithTheTitleOnTop) {
  show(R"(make face! [type: 'window size: 24x4 pane: reduce [
      make face! [type: 'group-box offset: 0x0 size: 10x4 text: "T"]
      make face! [type: 'group-box offset: 12x0 size: 6x3
          options: [border-corners: round border-color: 255.0.0]]]])");
  EXPECT_EQ(row_text(0), U"┌T───────┐..╭────╮......");
  EXPECT_EQ(row_text(1), U"│        │..│    │......");
  EXPECT_EQ(row_text(2), U"│        │..╰────╯......");
  EXPECT_EQ(row_text(3), U"└────────┘..............");
  EXPECT_EQ(state().grid.at(12, 0).fg, colors::from_rgba({255, 0, 0}, 0, colors::TRUE_COLOUR));
  EXPECT_EQ(state().grid.at(0, 0).fg, colors::make(colors::DEFAULT, 0));
}

// Four pixel rows red, green, blue and white; the first pixel of the third row
// fully transparent.
constexpr const char* IMAGE_WINDOW = R"(make face! [type: 'window size: 6x2 pane: reduce [
    make face! [type: 'base offset: 0x0 size: 4x2 image: make image! 4x4]]]
    img: win/pane/1/image
    repeat i 16 [poke img i pick [255.0.0 0.255.0 0.0.255 255.255.255] 1 + to integer! (i - 1) / 4]
    poke img 9 0.0.255.255
    win)";

TEST_F(Shown, AnImageIsHalfBlocksAtEachColourLevel) {
  // Pixels are written in the colour kind the level allows, true colour included.
  struct Level {
    int level;
    colors::Kind kind;
  } levels[] = {{colors::TRUE_COLOUR, colors::TRUE_COLOR},
                {colors::INDEXED_256, colors::INDEXED},
                {colors::SIXTEEN, colors::PALETTE}};
  for (const Level& l : levels) {
    show(IMAGE_WINDOW, l.level);
    auto pixel = [&](colors::Rgb c) { return colors::from_rgba(c, 0, l.level, true); };
    const screen::Grid& g = state().grid;
    EXPECT_EQ(colors::kind_of(g.at(1, 0).bg), l.kind) << l.level;
    EXPECT_EQ(g.at(1, 0), (screen::Cell{0x2584, pixel({255, 0, 0}), pixel({0, 255, 0}), 0})) << l.level;
    EXPECT_EQ(g.at(1, 1), (screen::Cell{0x2584, pixel({0, 0, 255}), pixel({255, 255, 255}), 0}))
        << l.level;
    EXPECT_EQ(g.at(0, 1), (screen::Cell{' ', colors::make(colors::DEFAULT, 0), 0, 0}))
        << "a transparent upper pixel";
    EXPECT_EQ(g.at(4, 0).ch, 0u) << "beside the face";
    test::eval("unview/all");
  }
}

TEST_F(Shown, ProgressAndRichTextPaintTheirOwnTexts) {
  show(R"(make face! [type: 'window size: 12x2 pane: reduce [
      make face! [type: 'progress offset: 0x0 size: 12x1 data: 0.5]
      make face! [type: 'rich-text offset: 0x1 size: 12x1 text: "r^[[7mt" color: 0.0.255]]])");
  EXPECT_EQ(row_text(0), U"[#####     ]");
  // The run array is painted as it is: an escape is a character like any other.
  EXPECT_EQ(state().grid.at(0, 1),
            (screen::Cell{'r', colors::from_rgba({0, 0, 255}, 0, colors::TRUE_COLOUR), 0, 0}));
  EXPECT_EQ(state().grid.at(1, 1).ch, 27u);
  EXPECT_EQ(state().grid.at(1, 1).attr & screen::REVERSE, 0u);
}

TEST_F(Shown, ABaseWithACaretChildPlacesTheCaretWhereItIsDrawn) {
  show(R"(make face! [type: 'window size: 20x3 pane: reduce [
      make face! [type: 'base offset: 6x1 size: 4x1 text: "hidden" options: reduce ['caret
          target: make face! [type: 'base offset: 0x0 size: 3x1 flags: [focusable]]]]
      target]])");
  // The holder paints nothing of its own; the caret stands at its place while the
  // child it names has the focus.
  EXPECT_EQ(row_text(1), U"....................");
  EXPECT_EQ(state().caret_column, 6);
  EXPECT_EQ(state().caret_row, 1);
  Cell target = test::eval_value("target");
  Widget* child = face_widget(&target);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->flags & SHOWS_CARET, uint32_t(SHOWS_CARET));
}

}  // namespace
}  // namespace zol::view::backend
