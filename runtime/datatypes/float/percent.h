// percent!: a float! that shows itself as a percentage. The cell holds the
// fraction (50% holds 0.5) in the float! layout; only the texts differ, and the
// arithmetic, comparison, rounding, random values and make/to are float!'s.
#pragma once
#include <cstdint>

#include "runtime/datatypes/float/float.h"

namespace zol::percent {

void init();

inline double get(const Cell* c) { return cell::get_double(c); }
inline Cell* make_at(Cell* c, double value) { return float_::make_at(c, value, T_PERCENT); }
inline Cell* make_at_halves(Cell* c, uint32_t low, uint32_t high) {
  return float_::make_at_halves(c, low, high, T_PERCENT);
}
inline Cell* push(double value) { return float_::push(value, T_PERCENT); }
inline Cell* push64(uint32_t low, uint32_t high) { return float_::push64(low, high, T_PERCENT); }
inline void make_in(NodeRef block, uint32_t low, uint32_t high) {
  float_::make_in(block, low, high, T_PERCENT);
}
inline Cell* box(double value) { return float_::box(value, T_PERCENT); }

}  // namespace zol::percent
