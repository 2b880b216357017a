// The 32-bit shifts of integer! values, shared by the `shift` native and the
// library's shift routines so that both give the same answers at the edges: a
// negative bit count counts as 0, and counts above 31 saturate instead of being
// undefined in C++.
#pragma once
#include <cstdint>

namespace zol::numeric {

enum class ShiftMode { ARITHMETIC_RIGHT, LEFT, LOGICAL_RIGHT };

constexpr int32_t shift(int32_t data, int32_t bits, ShiftMode mode) {
  if (bits < 0) bits = 0;
  switch (mode) {
    case ShiftMode::LEFT:
      return bits > 31 ? 0 : int32_t(uint32_t(data) << bits);
    case ShiftMode::LOGICAL_RIGHT:
      return bits > 31 ? 0 : int32_t(uint32_t(data) >> bits);
    case ShiftMode::ARITHMETIC_RIGHT:
      break;
  }
  if (bits > 31) return data < 0 ? -1 : 0;
  return data >> bits;
}

static_assert(shift(-8, 40, ShiftMode::ARITHMETIC_RIGHT) == -1);
static_assert(shift(1, 32, ShiftMode::LEFT) == 0);
static_assert(shift(-1, 28, ShiftMode::LOGICAL_RIGHT) == 15);
static_assert(shift(5, -3, ShiftMode::ARITHMETIC_RIGHT) == 5);
static_assert(shift(-8, 1, ShiftMode::LOGICAL_RIGHT) == 2147483644);

}  // namespace zol::numeric
