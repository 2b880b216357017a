// pair!, point2D! and point3D!: small vectors held inside the cell, sharing one
// design (make/to, arithmetic with a number broadcast to every coordinate, paths
// and pick by index or by the words x, y and z, comparison, rounding).
//
// Cells:
//   pair!     word 1 unused (0); words 2 and 3 x and y, signed 32-bit integers
//   point2D!  words 1 and 2 x and y, IEEE single floats; word 3 unused (0)
//   point3D!  words 1, 2 and 3 x, y and z, IEEE single floats
// Pair arithmetic whose result leaves the integers (an overflow, an inexact
// quotient, a float factor) goes on in point2D!.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::pair {

void init();

// make_at writes in place and keeps the new-line mark `c` had (a pair poked into
// a block keeps its layout): a fresh local must start as Cell{}.
Cell* make_at(Cell* c, int32_t x, int32_t y);
Cell* push(int32_t x, int32_t y);
int32_t x_of(const Cell* c);
int32_t y_of(const Cell* c);
// The math actions when a pair! is the left operand, or a number's math with a
// pair! on the right (the pair then goes first; subtract raises not-related).
void do_math(int op);

}  // namespace zol::pair

namespace zol::point {

// A point2D! (two coordinates) or point3D! (three) of the given floats, keeping
// the new-line mark `c` had, as pair::make_at does.
Cell* make_at(Cell* c, int coordinates, const float* values);
Cell* push(int coordinates, const float* values);
float coordinate(const Cell* c, int index);   // 0-based
// The math actions with a point on the left, or a number on the left and a point
// on the right (the point then goes first; subtract raises not-related).
void do_math(int op);

}  // namespace zol::point
