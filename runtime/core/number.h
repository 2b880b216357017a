// Checked conversions from doubles to 32-bit integers, and the number a cell holds.
//
// Converting a double that is NaN, infinite or outside the integer range to an
// integer is undefined behaviour in C++, so every such conversion in the runtime
// goes through truncate_to_int32, which checks the range first.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::number {

// True when d lies in -2147483648.0 .. 2147483647.0; false for NaN and infinities.
bool fits_int32(double d);

// d truncated towards zero into *out; false (and *out untouched) when d does not fit.
bool truncate_to_int32(double d, int32_t* out);

// float!, percent! and time! keep a double in words 2-3.
inline bool holds_double(uint8_t type) { return type == T_FLOAT || type == T_PERCENT || type == T_TIME; }

// The integer a value stands for: word 2 of an integer! or any other type without
// a double; the double of a float!, percent! or time! truncated towards zero,
// raising script out-of-range with the value when it does not fit.
int32_t get_int_from(const Cell* value);

// The double a number stands for: that of a float!, percent! or time!, else word 2
// as an integer (integer!, char!).
inline double get_double_from(const Cell* value) {
  return holds_double(value->type()) ? cell::get_double(value) : double(cell::get_int(value));
}

}  // namespace zol::number
