// The terminal Draw backend's rasterisers: Bresenham lines, boxes with
// box-drawing outlines, scanline triangles, an error-stepping ellipse (also the
// circle, two columns per row as terminal cells are about twice as tall as wide)
// and text through the screen's painter. Coordinates are whole cells (floats
// truncated toward zero) held in 64 bits, so no sum of a coordinate and an origin
// overflows.
#include "view/draw/terminal.h"

#include <algorithm>
#include <cmath>

#include "runtime/core/symbol.h"
#include "runtime/datatypes/object.h"
#include "view/backend.h"
#include "view/colors.h"

namespace zol::view::draw {
namespace {

constexpr uint32_t FULL_BLOCK = 0x2588;
constexpr uint32_t SPACE = 0x20;

// Box outline characters.
constexpr uint32_t TOP_LEFT = 0x250C, TOP_RIGHT = 0x2510, BOTTOM_LEFT = 0x2514,
                   BOTTOM_RIGHT = 0x2518, VERTICAL = 0x2502, HORIZONTAL = 0x2500;

// Coordinates beyond this are clamped: far past any screen, and their squares
// and sums stay well inside 64 bits.
constexpr double FAR = double(1 << 30);

// Radii beyond this draw nothing: stepping round such an ellipse would take
// millions of steps for a curve that crosses a screen as a straight line.
constexpr int64_t MAX_RADIUS = int64_t(1) << 20;

// Lines longer than this are clipped to the area before they are stepped.
constexpr int64_t LONG_LINE = int64_t(1) << 16;

int64_t cell_of(double v) {
  if (std::isnan(v)) return 0;
  return int64_t(std::trunc(std::clamp(v, -FAR, FAR)));
}

struct CellPoint {
  int64_t x, y;
};

// Liang-Barsky: cuts the segment to the rectangle; false when none of it is inside.
bool clip_segment(double& x0, double& y0, double& x1, double& y1, double left, double top,
                  double right, double bottom) {
  double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
  for (int i = 0; i < 4; i++) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    double t = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, t);
    else t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  double sx = x0, sy = y0;
  x0 = sx + t0 * dx;
  y0 = sy + t0 * dy;
  x1 = sx + t1 * dx;
  y1 = sy + t1 * dy;
  return true;
}

}  // namespace

TerminalBackend::TerminalBackend(screen::Grid* grid, int origin_x, int origin_y,
                                 const screen::Clip& area, int colour_level)
    : grid_(grid), colour_level_(colour_level) {
  ctx_.origin_x = origin_x;
  ctx_.origin_y = origin_y;
  ctx_.clip = area;
  if (grid) {
    area_ = {std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, grid->width),
             std::min(area.bottom, grid->height)};
  }
}

uint32_t TerminalBackend::colour(const Colour& c) const {
  return colors::from_rgba({c.r, c.g, c.b}, c.alpha, colour_level_);
}

bool TerminalBackend::inside(int64_t x, int64_t y) const {
  return x >= area_.left && x < area_.right && y >= area_.top && y < area_.bottom;
}

void TerminalBackend::plot(int64_t x, int64_t y) {
  if (!inside(x, y)) return;
  screen::Cell& c = grid_->at(int(x), int(y));
  c = {FULL_BLOCK, c.bg, ctx_.pen_colour, 0};
}

// Fills the cells from `from` to `to` (inclusive, either order) of row y.
void TerminalBackend::fill_span(int64_t from, int64_t to, int64_t y) {
  if (y < area_.top || y >= area_.bottom) return;
  if (from > to) std::swap(from, to);
  from = std::max<int64_t>(from, area_.left);
  to = std::min<int64_t>(to, area_.right - 1);
  for (int64_t x = from; x <= to; x++) {
    screen::Cell& c = grid_->at(int(x), int(y));
    c = {SPACE, ctx_.fill_colour, c.fg, 0};
  }
}

void TerminalBackend::pen(const Paint& p) {
  if (p.kind == PaintKind::OFF) {
    ctx_.pen_on = false;
    return;
  }
  if (p.kind != PaintKind::COLOUR) return;   // gradients and patterns have no cells
  ctx_.pen_colour = colour(p.colour);
  if (!ctx_.font_colour_set) ctx_.text_colour = ctx_.pen_colour;
  ctx_.pen_on = true;
}

void TerminalBackend::fill_pen(const Paint& p) {
  if (p.kind == PaintKind::OFF) {
    ctx_.fill_on = false;
    return;
  }
  if (p.kind != PaintKind::COLOUR) return;
  ctx_.fill_colour = colour(p.colour);
  ctx_.fill_on = true;
}

void TerminalBackend::font(const Cell* font) {
  const Cell* c = object::value_of(font, symbol::make("color"));
  ctx_.font_colour_set = c && c->is(T_TUPLE);
  if (ctx_.font_colour_set) ctx_.text_colour = colour(colour_of_tuple(c));
}

// Steps from (x0, y0) to (x1, y1) over all octants. A stepped line is monotone in
// both coordinates and the area is a rectangle, so once the walk has left the area
// it never comes back: it stops there.
void TerminalBackend::plot_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  if (std::max(x0, x1) < area_.left || std::min(x0, x1) >= area_.right ||
      std::max(y0, y1) < area_.top || std::min(y0, y1) >= area_.bottom)
    return;
  if (std::max(std::abs(x1 - x0), std::abs(y1 - y0)) > LONG_LINE) {
    double fx0 = double(x0), fy0 = double(y0), fx1 = double(x1), fy1 = double(y1);
    if (!clip_segment(fx0, fy0, fx1, fy1, area_.left - 1, area_.top - 1, area_.right,
                      area_.bottom))
      return;
    x0 = std::llround(fx0), y0 = std::llround(fy0), x1 = std::llround(fx1), y1 = std::llround(fy1);
  }
  int64_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int64_t e = dx + dy;
  bool was_inside = false;
  for (int64_t x = x0, y = y0;;) {
    if (inside(x, y)) {
      plot(x, y);
      was_inside = true;
    } else if (was_inside) {
      return;
    }
    if (x == x1 && y == y1) return;
    int64_t e2 = 2 * e;
    if (e2 >= dy && x != x1) {
      e += dy;
      x += sx;
    }
    if (e2 <= dx && y != y1) {
      e += dx;
      y += sy;
    }
  }
}

void TerminalBackend::line(const Point* points, size_t count) {
  if (!ctx_.pen_on) return;
  for (size_t i = 1; i < count; i++)
    plot_line(cell_of(points[i - 1].x) + ctx_.origin_x, cell_of(points[i - 1].y) + ctx_.origin_y,
              cell_of(points[i].x) + ctx_.origin_x, cell_of(points[i].y) + ctx_.origin_y);
}

namespace {
// The outline character of a cell on a box's edge.
uint32_t box_char(int64_t x, int64_t y, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  if (y == y0) return x == x0 ? TOP_LEFT : x == x1 ? TOP_RIGHT : HORIZONTAL;
  if (y == y1) return x == x0 ? BOTTOM_LEFT : x == x1 ? BOTTOM_RIGHT : HORIZONTAL;
  return VERTICAL;
}
}  // namespace

// The fill covers the visible part; the outline visits only the edges' cells.
void TerminalBackend::box(Point a, Point b) {
  int64_t x0 = cell_of(a.x) + ctx_.origin_x, y0 = cell_of(a.y) + ctx_.origin_y;
  int64_t x1 = cell_of(b.x) + ctx_.origin_x, y1 = cell_of(b.y) + ctx_.origin_y;
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  int64_t left = std::max<int64_t>(x0, area_.left), right = std::min<int64_t>(x1, area_.right - 1);
  int64_t top = std::max<int64_t>(y0, area_.top), bottom = std::min<int64_t>(y1, area_.bottom - 1);
  if (left > right || top > bottom) return;
  if (ctx_.fill_on)
    for (int64_t y = top; y <= bottom; y++) fill_span(left, right, y);
  if (!ctx_.pen_on) return;
  auto outline = [&](int64_t x, int64_t y) {
    screen::Cell& c = grid_->at(int(x), int(y));
    c.ch = box_char(x, y, x0, y0, x1, y1);
    c.fg = ctx_.pen_colour;
  };
  for (int64_t x = left; x <= right; x++) {
    if (y0 == top) outline(x, y0);
    if (y1 == bottom && y1 != y0) outline(x, y1);
  }
  for (int64_t y = std::max(top, y0 + 1); y <= std::min(bottom, y1 - 1); y++) {
    if (x0 == left) outline(x0, y);
    if (x1 == right && x1 != x0) outline(x1, y);
  }
}

// Scanline fill row by row (the last row left to the outline), then the outline.
// Corners of equal height keep their order, so the same block always fills alike.
void TerminalBackend::triangle(Point a, Point b, Point c) {
  CellPoint p[3] = {{cell_of(a.x) + ctx_.origin_x, cell_of(a.y) + ctx_.origin_y},
                    {cell_of(b.x) + ctx_.origin_x, cell_of(b.y) + ctx_.origin_y},
                    {cell_of(c.x) + ctx_.origin_x, cell_of(c.y) + ctx_.origin_y}};
  std::stable_sort(p, p + 3, [](const CellPoint& l, const CellPoint& r) { return l.y < r.y; });
  int64_t height = p[2].y - p[0].y, upper = p[1].y - p[0].y;
  if (ctx_.fill_on && height > 0) {
    int64_t first = std::max<int64_t>(0, area_.top - p[0].y);
    int64_t last = std::min<int64_t>(height - 1, area_.bottom - 1 - p[0].y);
    for (int64_t i = first; i <= last; i++) {
      bool second = i > upper || upper == 0;
      int64_t half = second ? p[2].y - p[1].y : upper;
      double along = double(i) / double(height);
      double within = double(i - (second ? upper : 0)) / double(half);
      int64_t from = p[0].x + int64_t(double(p[2].x - p[0].x) * along);
      int64_t to = second ? p[1].x + int64_t(double(p[2].x - p[1].x) * within)
                          : p[0].x + int64_t(double(p[1].x - p[0].x) * within);
      fill_span(from, to, p[0].y + i);
    }
  }
  if (!ctx_.pen_on) return;
  plot_line(p[0].x, p[0].y, p[1].x, p[1].y);
  plot_line(p[1].x, p[1].y, p[2].x, p[2].y);
  plot_line(p[2].x, p[2].y, p[0].x, p[0].y);
}

// One row of the ellipse, from its left to its right edge: the inside filled, the
// two edge cells outlined. Without a pen the fill takes the edges too.
void TerminalBackend::visit_row(int64_t left, int64_t right, int64_t y) {
  if (ctx_.fill_on) {
    if (!ctx_.pen_on) fill_span(left, right, y);
    else if (right - left > 1) fill_span(left + 1, right - 1, y);
  }
  if (!ctx_.pen_on) return;
  plot(left, y);
  plot(right, y);
}

void TerminalBackend::ellipse_cells(int64_t cx, int64_t cy, int64_t a, int64_t b) {
  if (a > MAX_RADIUS || b > MAX_RADIUS) return;
  if (cx + a < area_.left || cx - a >= area_.right || cy + b < area_.top || cy - b >= area_.bottom)
    return;
  int64_t x = -a, y = 0;
  int64_t dx = b * b * (2 * x + 1), dy = a * a, err = dx + a * a;
  while (x <= 0) {
    visit_row(cx + x, cx - x, cy + y);
    if (y != 0) visit_row(cx + x, cx - x, cy - y);
    int64_t e2 = 2 * err;
    if (e2 >= dx) {
      dx += 2 * b * b;
      err += dx;
      x++;
    }
    if (e2 <= dy) {
      dy += 2 * a * a;
      err += dy;
      y++;
    }
  }
  // A flat ellipse ends its sides before its height: its tips finish it.
  while (y + 1 < b) {
    y++;
    visit_row(cx, cx, cy + y);
    visit_row(cx, cx, cy - y);
  }
}

void TerminalBackend::circle(Point centre, double radius) {
  int64_t r = cell_of(radius);
  if (r <= 0) return;
  ellipse_cells(cell_of(centre.x) + ctx_.origin_x, cell_of(centre.y) + ctx_.origin_y, 2 * r, r);
}

void TerminalBackend::ellipse(Point top_left, Point size) {
  if (size.x < 1 || size.y < 1) return;
  int64_t rx = cell_of((size.x + 0.5) / 2), ry = cell_of((size.y + 0.5) / 2);
  ellipse_cells(cell_of(top_left.x) + ctx_.origin_x + rx, cell_of(top_left.y) + ctx_.origin_y + ry,
                rx, ry);
}

bool TerminalBackend::text(Point at, const Cell* text) {
  std::u32string chars;
  uint32_t para = 0;
  if (text->is(T_STRING)) {
    chars = backend::text_of(text);
  } else {
    chars = backend::text_of(backend::facet_of(text, "text"));
    para = backend::alignment_of(text);
  }
  if (!grid_ || chars.empty()) return true;
  uint32_t fg = ctx_.font_colour_set ? ctx_.text_colour
                : ctx_.pen_on        ? ctx_.pen_colour
                                     : colors::make(colors::DEFAULT, 0);
  screen::Style style{.bg = 0, .fg = fg, .attr = ctx_.text_flags | DRAWN_TEXT,
                      .wrap = (para & 32) != 0, .keep_background = true};
  int64_t x = cell_of(at.x) + ctx_.origin_x, y = cell_of(at.y) + ctx_.origin_y;
  if (x >= area_.right || y >= area_.bottom) return true;
  // A start far to the left or above only loses characters to the clip.
  screen::paint(*grid_, chars, int(std::max<int64_t>(x, -FAR)), int(std::max<int64_t>(y, -FAR)),
                area_, style);
  return true;
}

void TerminalBackend::push_state() { saved_.push_back(ctx_); }

void TerminalBackend::pop_state() {
  if (saved_.empty()) return;
  ctx_ = saved_.back();
  saved_.pop_back();
}

}  // namespace zol::view::draw
