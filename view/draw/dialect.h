// The Draw dialect's interpreter: one walk over a block of drawing commands that
// checks every argument's type and hands each command to a backend's primitive.
// The grammar is one table of commands and their argument slots (dialect.cpp); the
// backend (the terminal's cell painter, or any test recorder) decides what each
// primitive really changes.
//
// Values reach the backend decoded: points as doubles (a pair! exactly, a point2D!
// as its floats), colours as four bytes, text and fonts as the cells themselves.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::view::draw {

struct Point {
  double x = 0, y = 0;
};

// A colour as a tuple gives it: R, G, B and, with a fourth component, its
// transparency (0 opaque, 255 fully transparent).
struct Colour {
  uint8_t r = 0, g = 0, b = 0, alpha = 0;
};

Colour colour_of_tuple(const Cell* tuple);

// What a pen or fill-pen is set to. Gradients, patterns and bitmaps are checked
// and reported by their kind only: no backend of this system paints them.
enum class PaintKind : uint8_t { OFF, COLOUR, GRADIENT, PATTERN, BITMAP };
struct Paint {
  PaintKind kind = PaintKind::OFF;
  Colour colour;
};

// The primitives a backend may act on. Every one has a default that does nothing
// and reports success; the commands with no primitive here (paths, curves, arcs,
// transformations, matrices, line styles) are checked and have no effect on any
// backend.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual void pen(const Paint&) {}
  virtual void fill_pen(const Paint&) {}
  virtual void font(const Cell* /*font object*/) {}
  virtual void line(const Point* /*points*/, size_t /*count*/) {}
  virtual void box(Point, Point) {}
  virtual void triangle(Point, Point, Point) {}
  virtual void circle(Point /*centre*/, double /*radius*/) {}
  virtual void ellipse(Point /*top left*/, Point /*size*/) {}
  // A string! or a face object!; false when it cannot be drawn.
  virtual bool text(Point, const Cell* /*text*/) { return true; }
  virtual bool image(const Cell* /*image*/) { return true; }
  virtual bool end_shape() { return true; }
  // The state a nested block saves and restores (push, and the trailing blocks
  // of the transformations and clip).
  virtual void push_state() {}
  virtual void pop_state() {}
};

struct RunOptions {
  // Stops quietly at the first bad value instead of raising draw-invalid or
  // draw-infinite: what was drawn before it stays. Read from
  // system/view/silent? when the caller does not say.
  bool silent = false;
};

// Walks the block from its head. Raises draw-invalid with the block positioned at
// the offending value, or draw-infinite with a block met again inside its own
// walk; in silent mode answers false there instead. Answers true when the whole
// block was drawn. Errors raised by the values themselves (an unset word holding
// a colour) pass through in every mode.
bool run(Backend& backend, const Cell* commands, const RunOptions& how);

// system/view/silent?, false when the View engine is not there.
bool silent_mode();

}  // namespace zol::view::draw
