// Checked conversions from doubles to 32-bit integers.
//
// Converting a double that is NaN, infinite or outside the integer range to an
// integer is undefined behaviour in C++, so every such conversion in the runtime
// goes through truncate_to_int32, which checks the range first.
#pragma once
#include <cstdint>

#include "runtime/cell.h"

namespace zol::number {

// True when d lies in -2147483648.0 .. 2147483647.0; false for NaN and infinities.
bool fits_int32(double d);

// d truncated towards zero into *out; false (and *out untouched) when d does not fit.
bool truncate_to_int32(double d, int32_t* out);

// The integer a value stands for: word 2 of an integer! or any other non-float;
// a float! truncated towards zero, raising script out-of-range with the value when
// it does not fit.
int32_t get_int_from(const Cell* value);

}  // namespace zol::number
