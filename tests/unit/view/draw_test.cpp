// The terminal Draw backend on a cell grid: Draw blocks run through the dialect's
// walk, the cells they leave shown as rows ('.' untouched, '#' a full block, 'o' a
// filled space, other characters as they are). Lines in every octant, boxes,
// triangles, circles and ellipses, text with its colours, the origin and clip of
// the drawing area, state saved by nested blocks, silent stops, and drawing for an
// image that leaves the live screen alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support.h"
#include "view/backend.h"
#include "view/colors.h"
#include "view/draw/terminal.h"

namespace zol::view::draw {
namespace {

constexpr uint32_t RED = colors::make(colors::INDEXED, 196);
constexpr uint32_t BLUE = colors::make(colors::INDEXED, 21);
constexpr uint32_t GREEN = colors::make(colors::INDEXED, 46);

struct Area {
  int width = 8, height = 4;
  int origin_x = 0, origin_y = 0;
  screen::Clip clip{0, 0, 8, 4};
};

std::vector<std::u32string> rows_of(const screen::Grid& g) {
  std::vector<std::u32string> rows;
  for (int y = 0; y < g.height; y++) {
    std::u32string row;
    for (int x = 0; x < g.width; x++) {
      const screen::Cell& c = g.at(x, y);
      row += c.ch == 0 ? U'.' : c.ch == 0x2588 ? U'#' : c.ch == U' ' ? U'o' : char32_t(c.ch);
    }
    rows.push_back(row);
  }
  return rows;
}

// Runs the commands on a fresh grid; `backend` (when given) receives the context
// as the walk left it.
screen::Grid drawn(const std::string& commands, const Area& area = {},
                   TerminalContext* context = nullptr) {
  test::boot();
  screen::Grid g;
  g.resize(area.width, area.height);
  TerminalBackend out(&g, area.origin_x, area.origin_y, area.clip, colors::INDEXED_256);
  Cell block = test::load(commands);
  run(out, &block, {});
  if (context) *context = out.context();
  return g;
}

std::vector<std::u32string> shape_of(const std::string& commands, const Area& area = {}) {
  return rows_of(drawn(commands, area));
}

struct ShapeCase {
  const char* name;
  const char* commands;
  Area area;
  std::vector<std::u32string> rows;
};

void check_shapes(const std::vector<ShapeCase>& cases) {
  for (const ShapeCase& c : cases) EXPECT_EQ(shape_of(c.commands, c.area), c.rows) << c.name;
}

TEST(DrawTerminal, LinesPlotTheirCellsMovedAndClipped) {
  const Area inset{.width = 8, .height = 3, .origin_x = 2, .origin_y = 1, .clip = {2, 1, 6, 3}};
  check_shapes({
      {"a row", "line 0x0 3x0", {}, {U"####....", U"........", U"........", U"........"}},
      {"a shallow slope", "line 0x0 2x1", {}, {U"#.......", U".##.....", U"........", U"........"}},
      {"a single point", "line 2x2 2x2", {}, {U"........", U"........", U"..#.....", U"........"}},
      {"consecutive points", "line 0x0 0x2 3x2", {},
       {U"#.......", U"#.......", U"####....", U"........"}},
      {"floats truncate toward zero", "line (0.9, 0.9) (3.7, 0.2)", {},
       {U"####....", U"........", U"........", U"........"}},
      {"moved by the origin, clipped to the area", "line 0x0 9x0", inset,
       {U"........", U"..####..", U"........"}},
      {"starting left of the screen", "line -3x1 9x1", inset,
       {U"........", U"........", U"..####.."}},
      {"wholly outside the area", "line 0x5 9x5", inset,
       {U"........", U"........", U"........"}},
      {"pen off draws no line", "pen off line 0x0 3x0", {},
       {U"........", U"........", U"........", U"........"}},
  });
  EXPECT_EQ(drawn("pen 255.0.0 line 0x0 1x0").at(1, 0).fg, RED);
}

// Every octant: the stepped line has one cell per step of its longer axis, each
// next to the last, both ends, and no cell further than half a cell from the ideal
// line across its shorter axis.
TEST(DrawTerminal, LinesInEveryOctantStayOnTheIdealLine) {
  const std::pair<int, int> ends[] = {{7, 3}, {3, 7}, {-3, 7}, {-7, 3},
                                      {-7, -3}, {-3, -7}, {3, -7}, {7, -3}};
  for (auto [dx, dy] : ends) {
    std::string commands = "line 8x8 " + std::to_string(8 + dx) + "x" + std::to_string(8 + dy);
    screen::Grid g = drawn(commands, {.width = 17, .height = 17, .clip = {0, 0, 17, 17}});
    std::set<std::pair<int, int>> cells;
    for (int y = 0; y < 17; y++)
      for (int x = 0; x < 17; x++)
        if (g.at(x, y).ch == 0x2588) cells.insert({x - 8, y - 8});
    int steps = std::max(std::abs(dx), std::abs(dy));
    EXPECT_EQ(int(cells.size()), steps + 1) << commands;
    EXPECT_TRUE(cells.count({0, 0}) && cells.count({dx, dy})) << commands;
    for (auto [x, y] : cells) {
      double off = std::abs(dx) >= std::abs(dy) ? y - double(dy) * x / dx : x - double(dx) * y / dy;
      EXPECT_LE(std::abs(off), 0.5) << commands << " at " << x << "," << y;
      bool has_neighbour = cells.size() == 1;
      for (auto [nx, ny] : cells)
        if ((nx != x || ny != y) && std::abs(nx - x) <= 1 && std::abs(ny - y) <= 1) has_neighbour = true;
      EXPECT_TRUE(has_neighbour) << commands << " at " << x << "," << y;
    }
  }
}

TEST(DrawTerminal, BoxesTakeCornersSidesAndFill) {
  const Area big{.width = 8, .height = 5, .clip = {0, 0, 8, 5}};
  const Area inset{.width = 7, .height = 5, .origin_x = 1, .origin_y = 1, .clip = {1, 1, 5, 4}};
  check_shapes({
      {"outline", "box 2x1 5x3", big,
       {U"........", U"..┌──┐..", U"..│..│..", U"..└──┘..", U"........"}},
      {"corners in either order", "box 5x3 2x1", big,
       {U"........", U"..┌──┐..", U"..│..│..", U"..└──┘..", U"........"}},
      {"filled", "fill-pen 0.0.255 box 2x1 5x3", big,
       {U"........", U"..┌──┐..", U"..│oo│..", U"..└──┘..", U"........"}},
      {"fill without pen", "pen off fill-pen 0.0.255 box 0x0 1x1 box 3x0 3x0", big,
       {U"oo.o....", U"oo......", U"........", U"........", U"........"}},
      {"a corner radius is read and ignored", "box 0x0 1x1 3", big,
       {U"┌┐......", U"└┘......", U"........", U"........", U"........"}},
      {"cut by the area cell by cell", "box -1x-1 2x1", inset,
       {U".......", U"...│...", U".──┘...", U".......", U"......."}},
      {"clamped to the area's far edges", "box 2x1 9x9", inset,
       {U".......", U".......", U"...┌─..", U"...│...", U"......."}},
      {"wholly outside", "box 10x10 12x12 box -5x0 -2x2", inset,
       {U".......", U".......", U".......", U".......", U"......."}},
  });
  screen::Grid g = drawn("pen 255.0.0 fill-pen 0.0.255 box 0x0 2x2", big);
  EXPECT_EQ(g.at(0, 0), (screen::Cell{0x250C, BLUE, RED, 0}));
  EXPECT_EQ(g.at(1, 1).bg, BLUE);
}

TEST(DrawTerminal, TrianglesFillRowsAboveTheirLastThenOutline) {
  const Area five{.width = 5, .height = 5, .clip = {0, 0, 5, 5}};
  check_shapes({
      {"ordinary, filled, its last row left", "pen off fill-pen 0.0.255 triangle 0x0 4x4 0x4", five,
       {U"o....", U"oo...", U"ooo..", U"oooo.", U"....."}},
      {"the same corners in another order", "pen off fill-pen 0.0.255 triangle 0x4 0x0 4x4", five,
       {U"o....", U"oo...", U"ooo..", U"oooo.", U"....."}},
      {"a corner in the middle rows", "pen off fill-pen 0.0.255 triangle 0x0 4x2 0x4", five,
       {U"o....", U"ooo..", U"ooooo", U"ooo..", U"....."}},
      {"flat top", "pen off fill-pen 0.0.255 triangle 0x0 4x0 2x4", five,
       {U"ooooo", U"ooooo", U".ooo.", U".ooo.", U"....."}},
      {"outline over fill", "fill-pen 0.0.255 triangle 0x0 4x4 0x4", five,
       {U"#....", U"##...", U"#o#..", U"#oo#.", U"#####"}},
      {"flat: no fill, the outline as lines", "fill-pen 0.0.255 triangle 0x1 4x1 2x1", five,
       {U".....", U"#####", U".....", U".....", U"....."}},
      {"flat without pen draws nothing", "pen off fill-pen 0.0.255 triangle 0x1 4x1 2x1", five,
       {U".....", U".....", U".....", U".....", U"....."}},
      {"degenerate to a point", "triangle 2x2 2x2 2x2", five,
       {U".....", U".....", U"..#..", U".....", U"....."}},
      {"moved and clipped", "pen off fill-pen 0.0.255 triangle 0x0 4x4 0x4",
       {.width = 5, .height = 5, .origin_x = 1, .origin_y = 0, .clip = {1, 0, 3, 3}},
       {U".o...", U".oo..", U".oo..", U".....", U"....."}},
  });
}

TEST(DrawTerminal, CirclesAndEllipsesAreTwiceAsWideAsTall) {
  const Area nine{.width = 9, .height = 5, .clip = {0, 0, 9, 5}};
  check_shapes({
      {"circle of radius 1", "circle 4x2 1", nine,
       {U".........", U"...###...", U"..#...#..", U"...###...", U"........."}},
      {"filled with an outline", "fill-pen 0.0.255 circle 4x2 1", nine,
       {U".........", U"...###...", U"..#ooo#..", U"...###...", U"........."}},
      {"filled without pen", "pen off fill-pen 0.0.255 circle 4x2 1", nine,
       {U".........", U"...ooo...", U"..ooooo..", U"...ooo...", U"........."}},
      {"a float radius truncates", "circle 4x2 1.9 7", nine,
       {U".........", U"...###...", U"..#...#..", U"...###...", U"........."}},
      {"radius 0 draws nothing", "circle 4x2 0 circle 4x2 -3", nine,
       {U".........", U".........", U".........", U".........", U"........."}},
      {"ellipse from its top-left and size", "ellipse 1x1 4x2", nine,
       {U".........", U"..###....", U".#...#...", U"..###....", U"........."}},
      {"a flat ellipse is finished by its tips", "ellipse 2x0 1x4", nine,
       {U".........", U"..#......", U"..#......", U"..#......", U"........."}},
      {"zero width or height draws nothing", "ellipse 0x0 0x4 ellipse 0x0 4x0", nine,
       {U".........", U".........", U".........", U".........", U"........."}},
      {"clipped to the area", "circle 1x1 1",
       {.width = 9, .height = 5, .origin_x = 1, .origin_y = 1, .clip = {1, 1, 4, 3}},
       {U".........", U".###.....", U".........", U".........", U"........."}},
  });
}

// Larger circles: symmetric across both axes through the centre, as wide as twice
// the radius each way on the centre row, as tall as the radius each way, with
// every row between lit.
TEST(DrawTerminal, CirclesOfSeveralRadiiAreSymmetricAndFullyTall) {
  for (int r = 1; r <= 6; r++) {
    const int cx = 14, cy = 7;
    std::string commands = "circle 14x7 " + std::to_string(r);
    screen::Grid g = drawn(commands, {.width = 29, .height = 15, .clip = {0, 0, 29, 15}});
    auto lit = [&](int x, int y) { return g.at(x, y).ch == 0x2588; };
    for (int y = 0; y < 15; y++) {
      bool any = false;
      for (int x = 0; x < 29; x++) {
        any = any || lit(x, y);
        EXPECT_EQ(lit(x, y), lit(2 * cx - x, y)) << commands << " at " << x << "," << y;
        EXPECT_EQ(lit(x, y), lit(x, 2 * cy - y)) << commands << " at " << x << "," << y;
      }
      EXPECT_EQ(any, std::abs(y - cy) <= r) << commands << " row " << y;
    }
    EXPECT_TRUE(lit(cx - 2 * r, cy) && lit(cx + 2 * r, cy)) << commands;
    EXPECT_FALSE(lit(cx - 2 * r - 1, cy) || lit(cx + 2 * r + 1, cy)) << commands;
  }
}

TEST(DrawTerminal, TextTakesTheFontOrPenColourOverWhatIsThere) {
  const Area area{.width = 8, .height = 2, .origin_x = 1, .origin_y = 0, .clip = {1, 0, 5, 2}};
  struct Case {
    const char* name;
    const char* commands;
    uint32_t fg;
  };
  const Case cases[] = {
      {"pen colour", "pen 255.0.0 text 1x0 {hello}", RED},
      {"font colour over the pen", "pen 255.0.0 font green-font text 1x0 {hello}", GREEN},
      {"no pen, no font colour", "pen off text 1x0 {hello}", colors::make(colors::DEFAULT, 0)},
  };
  test::boot();
  test::eval("green-font: make object! [name: none size: none style: none angle: 0 color: 0.255.0]");
  for (const Case& c : cases) {
    screen::Grid g = drawn(std::string("pen off fill-pen 0.0.255 box 0x0 9x0 ") + c.commands, area);
    EXPECT_EQ(rows_of(g)[0], U".ohel...") << c.name;
    EXPECT_EQ(g.at(2, 0), (screen::Cell{U'h', BLUE, c.fg, DRAWN_TEXT})) << c.name;
  }
}

TEST(DrawTerminal, NestedBlocksRestorePenFillTextColourAndFont) {
  TerminalContext after;
  test::boot();
  test::eval("green-font: make object! [color: 0.255.0]");
  screen::Grid g = drawn("pen 255.0.0 push [pen 0.0.255 fill-pen 0.255.0 font green-font] "
                         "line 0x0 1x0 rotate 30 [pen off] line 0x1 1x1",
                         {}, &after);
  EXPECT_EQ(g.at(0, 0).fg, RED);
  EXPECT_EQ(g.at(0, 1).fg, RED);
  EXPECT_TRUE(after.pen_on);
  EXPECT_FALSE(after.fill_on);
  EXPECT_FALSE(after.font_colour_set);
  EXPECT_EQ(after.text_colour, RED);

  // An error inside a trailing block still restores what it changed.
  test::boot();
  screen::Grid grid;
  grid.resize(4, 1);
  TerminalBackend out(&grid, 0, 0, {0, 0, 4, 1}, colors::INDEXED_256);
  Cell block = test::load("pen 255.0.0 scale 2 2 [pen 0.0.255 fill-pen 0.255.0 box 0x0]");
  EXPECT_EQ(test::raised([&] { run(out, &block, {}); }), test::error_name(err::script::DRAW_INVALID));
  EXPECT_EQ(out.context().pen_colour, RED);
  EXPECT_FALSE(out.context().fill_on);
}

TEST(DrawTerminal, SilentStopsKeepWhatWasDrawn) {
  test::boot();
  screen::Grid g;
  g.resize(4, 1);
  TerminalBackend out(&g, 0, 0, {0, 0, 4, 1}, colors::INDEXED_256);
  Cell block = test::load("line 0x0 1x0 [line 3x0 3x0 bad-word] line 2x0 2x0");
  bool finished = true;
  EXPECT_EQ(test::raised([&] { finished = run(out, &block, {.silent = true}); }), "");
  EXPECT_FALSE(finished);
  EXPECT_EQ(rows_of(g)[0], U"##.#");
}

// A view's grid holds a frame; drawing for an image changes none of its cells.
TEST(DrawTerminal, DrawingForAnImageLeavesTheScreenAlone) {
  test::boot();
  backend::State& s = backend::state();
  s.grid.resize(6, 3);
  s.grid.at(1, 1) = screen::Cell{U'x', 0, 0, 0};
  std::vector<screen::Cell> before = s.grid.cells;
  EXPECT_EQ(test::eval("image? draw 4x4 [fill-pen red line 0x0 5x0 box 0x0 3x2 triangle 0x0 3x0 0x2 "
                       "circle 2x1 1 ellipse 0x0 4x2 text 0x0 {abc}]"),
            "true");
  EXPECT_TRUE(s.grid.cells == before);
  s.grid.resize(0, 0);
}

// A face's draw block is drawn after the face, from the face's corner and only
// within it.
TEST(DrawTerminal, AFacesDrawBlockIsMovedAndClippedToTheFace) {
  test::boot();
  test::eval(R"(
    dface: func [spec] [make object! append copy/deep [
        type: 'base offset: 0x0 size: 1x1 text: none color: none data: none enabled?: true
        visible?: true flags: none options: none pane: [] state: none rate: none para: none
        font: none draw: none
    ] spec]
    dgive: func [f parent /local h] [
        f/state: reduce [h: gui/OS-make-view f parent 0 none [1]]
        foreach child f/pane [dgive child h]
        h
    ]
    drawer: dface [offset: 2x1 size: 4x3 draw: [pen 255.0.0 line -2x0 9x0 box 0x1 3x5]]
    dwin: dface [type: 'window size: 8x5 pane: reduce [drawer]]
    dgive dwin none
  )");
  Cell window = test::eval_value("dwin");
  backend::Widget* w = backend::face_widget(&window);
  ASSERT_NE(w, nullptr);
  backend::State& s = backend::state();
  s.colour_level = colors::INDEXED_256;
  s.grid.resize(8, 5);
  backend::draw_tree(*w);
  std::vector<std::u32string> expected = {U"........", U"..####..", U"..┌──┐..", U"..│  │..",
                                          U"........"};
  std::vector<std::u32string> rows = rows_of(s.grid);
  for (std::u32string& row : rows)
    for (char32_t& c : row)
      if (c == U'o') c = U' ';   // the face's own background spaces
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(s.grid.at(2, 1).fg, RED);
  test::eval("gui/destroy-view dwin false");
  s.grid.resize(0, 0);
}

}  // namespace
}  // namespace zol::view::draw
