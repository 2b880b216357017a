// vector!: a series of machine numbers of one element type and width, packed in a
// series buffer whose unit is the element width.
//
// vector! cell (type vector!):
//   word 1  head index, counted in elements
//   word 2  the node of the element buffer; its unit is the element width in bytes
//   word 3  the element datatype id: char! and integer! (widths 1, 2, 4: signed
//           integers, char! as code points), float! (4 or 8: IEEE floats) and
//           percent! (8)
//
// vector! inherits the series navigation of string!; elements are read as cells by
// get_value (the series code's element reader calls it) and written by
// convert_value.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::vector {

void init();   // registers vector!

// Makes `out` an empty vector with room for `capacity` elements; a byte size that
// does not fit in 32 signed bits raises no-memory.
Cell* make_at(Cell* out, int64_t capacity, uint8_t element_type, uint32_t width);

Cell get_value(const uint8_t* at, uint32_t width, uint8_t element_type);
// The element as a double, for ordering (integers and code points are exact).
double number_at(const uint8_t* at, uint32_t width, uint8_t element_type);
// Stores a number of the element kind at `at` (integers as their low `width` bytes);
// a value of another datatype raises invalid-type.
void convert_value(uint8_t* at, const Cell* value, uint32_t width);

// A math action whose left operand is a number and whose right is a vector: the
// vector takes the number element by element, in place, and is the result.
void math_with_vector_right(int op);

// Appends a value of the element type at the tail (another type raises invalid-arg).
void set_value(Cell* vector, const Cell* value);

}  // namespace zol::vector
