// The terminal's Draw backend: lines, boxes, triangles, circles, ellipses and text
// become cells of the screen grid (full blocks for outlines, coloured spaces for
// fills, box-drawing characters for box outlines). Every primitive is moved by the
// drawing area's origin and clipped to the area cell by cell; a backend made
// without a grid (drawing for an image) changes no cell anywhere.
#pragma once
#include <cstdint>
#include <vector>

#include "view/draw/dialect.h"
#include "view/screen.h"

namespace zol::view::draw {

// The drawing context. Colours are terminal colour values (view/colors.h).
struct TerminalContext {
  int origin_x = 0, origin_y = 0;   // screen cell of the area's top-left corner
  screen::Clip clip;                // the drawing area in screen cells
  bool pen_on = true;
  uint32_t pen_colour = 0;
  uint32_t fill_colour = 0;
  bool fill_on = false;
  uint32_t text_colour = 0;
  bool font_colour_set = false;     // the current font supplied the text colour
  uint32_t text_flags = 0;          // style flags handed to the text painter
};

// Set on every cell that the Draw `text` command paints.
constexpr uint32_t DRAWN_TEXT = 0x1000;

class TerminalBackend : public Backend {
 public:
  // Begins drawing: pen on in colour 0, fill off, no font colour. `colour_level`
  // is the colour support tuples are mapped at (view/colors.h).
  TerminalBackend(screen::Grid* grid, int origin_x, int origin_y, const screen::Clip& area,
                  int colour_level);

  const TerminalContext& context() const { return ctx_; }

  void pen(const Paint& p) override;
  void fill_pen(const Paint& p) override;
  void font(const Cell* font) override;
  void line(const Point* points, size_t count) override;
  void box(Point a, Point b) override;
  void triangle(Point a, Point b, Point c) override;
  void circle(Point centre, double radius) override;
  void ellipse(Point top_left, Point size) override;
  bool text(Point at, const Cell* text) override;
  void push_state() override;
  void pop_state() override;

 private:
  screen::Grid* grid_;
  TerminalContext ctx_;
  screen::Clip area_;   // the context's clip within the grid; empty without a grid
  int colour_level_;
  std::vector<TerminalContext> saved_;

  uint32_t colour(const Colour& c) const;
  bool inside(int64_t x, int64_t y) const;
  void plot(int64_t x, int64_t y);
  void fill_span(int64_t from, int64_t to, int64_t y);
  void plot_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1);
  void ellipse_cells(int64_t cx, int64_t cy, int64_t a, int64_t b);
  void visit_row(int64_t left, int64_t right, int64_t y);
};

}  // namespace zol::view::draw
