// Widgets of faces made by hand, drawn into the screen grid: text aligned by the
// face's para, the face's colour as background, a dimmed hint, a text override,
// clipping by the parent, hidden faces skipped.
#include <gtest/gtest.h>

#include <string>

#include "support.h"
#include "view/backend.h"
#include "view/colors.h"

namespace zol::view::backend {
namespace {

std::u32string row(const screen::Grid& g, int y) {
  std::u32string s;
  for (int x = 0; x < g.width; x++) s += g.at(x, y).ch ? char32_t(g.at(x, y).ch) : U'.';
  return s;
}

TEST(ViewWidgets, TheTreeIsPaintedAlignedColouredAndClipped) {
  test::boot();
  test::eval(R"(
    wface: func [spec] [make object! append copy/deep [
        type: 'base offset: 0x0 size: 1x1 text: none color: none data: none enabled?: true
        visible?: true flags: none options: none pane: [] state: none rate: none para: none
        font: none
    ] spec]
    wgive: func [f parent /local h] [
        f/state: reduce [h: gui/OS-make-view f parent 0 none [1]]
        foreach child f/pane [wgive child h]
        h
    ]
    centred: wface [offset: 1x1 size: 6x1 text: "ab" color: 255.0.0
        para: make object! [align: 'center v-align: none wrap?: false]]
    hinted: wface [offset: 10x0 size: 5x3 options: [hint "hi"]
        para: make object! [align: 'right v-align: 'bottom wrap?: false]]
    over: wface [offset: 0x3 size: 4x1]
    clipped: wface [offset: 1x0 size: 5x1 text: "clipped"]
    panel: wface [offset: 15x2 size: 3x2 pane: reduce [clipped]]
    hidden: wface [offset: 0x0 size: 3x1 text: "zzz" visible?: false]
    win: wface [type: 'window size: 20x4 pane: reduce [centred hinted over panel hidden]]
    wgive win none
    TUI-helpers/set-face-ui over "ov"
  )");
  Cell window = test::eval_value("win");
  Widget* w = face_widget(&window);
  ASSERT_NE(w, nullptr);
  State& s = state();
  s.colour_level = colors::INDEXED_256;
  s.grid.resize(20, 4);
  draw_tree(*w);
  EXPECT_EQ(row(s.grid, 0), U"..........     .....");
  EXPECT_EQ(row(s.grid, 1), U".  ab  ...     .....");
  EXPECT_EQ(row(s.grid, 2), U"..........   hi cl..");
  EXPECT_EQ(row(s.grid, 3), U"ov  ...........   ..");
  // The centred face's cells take its colour; the hint is dimmed.
  EXPECT_EQ(s.grid.at(3, 1).bg, colors::make(colors::INDEXED, 196));
  EXPECT_EQ(s.grid.at(1, 1).bg, colors::make(colors::INDEXED, 196));
  EXPECT_EQ(s.grid.at(13, 2).attr & screen::DIM, screen::DIM);
  test::eval("gui/destroy-view win false");
}

}  // namespace
}  // namespace zol::view::backend
