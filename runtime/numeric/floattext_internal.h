// What the float text writer and reader share, and what their tests reach into:
// the parts of a double, the logarithm estimates, the table of 128-bit powers of
// ten with the fixed-point product built on it, and the exact big-integer engines
// that settle the rare cases the 128-bit arithmetic cannot decide.
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/numeric/bignum.h"

namespace zol::float_text::detail {

using u128 = unsigned __int128;

constexpr uint64_t SIGN_BIT = 0x8000000000000000ull;
constexpr uint64_t FRACTION_MASK = 0x000FFFFFFFFFFFFFull;
constexpr uint64_t HIDDEN_BIT = 0x0010000000000000ull;
constexpr uint64_t INFINITY_BITS = 0x7FF0000000000000ull;

inline uint64_t bits_of(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

inline double double_of(uint64_t b) {
  double v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

// A finite positive double as c * 2^q with c an integer below 2^53. `irregular`
// marks an exact power of two above the smallest normal: the gap to the double
// below it is half the gap above.
struct Parts {
  uint64_t c;
  int q;
  bool irregular;
};

inline Parts parts_of(uint64_t bits) {
  uint64_t fraction = bits & FRACTION_MASK;
  int biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0) return {fraction, -1074, false};
  return {fraction | HIDDEN_BIT, biased - 1075, fraction == 0 && biased > 1};
}

// floor(e * log10(2)), floor(e * log10(2) + log10(3/4)) and floor(e * log2(10)),
// exact over the exponent ranges used here (checked exhaustively by the tests).
constexpr int floor_log10_pow2(int e) {
  return static_cast<int>((int64_t{e} * 661971961083ll) >> 41);
}
constexpr int floor_log10_three_quarters_pow2(int e) {
  return static_cast<int>((int64_t{e} * 661971961083ll - 274743187321ll) >> 41);
}
constexpr int floor_log2_pow10(int e) {
  return static_cast<int>((int64_t{e} * 913124641741ll) >> 38);
}

// 10^p for MIN_POWER <= p <= MAX_POWER as a 128-bit significand m with its top
// bit set, truncated: 10^p = (m + t) * 2^(floor_log2_pow10(p) - 127), 0 <= t < 1.
// It is exact (t = 0) for 0 <= p <= 55.
struct Power {
  uint64_t hi, lo;
};
constexpr int MIN_POWER = -350;
constexpr int MAX_POWER = 350;
struct PowerTable {
  Power entries[MAX_POWER - MIN_POWER + 1];
};
extern const PowerTable power_table;

inline u128 power_significand(int p) {
  const Power& m = power_table.entries[p - MIN_POWER];
  return (u128{m.hi} << 64) | m.lo;
}

// A 192-bit product as three 64-bit words, most significant first.
struct Wide {
  uint64_t w2, w1, w0;
};

inline Wide multiply_wide(uint64_t x, u128 m) {
  u128 low = u128{x} * static_cast<uint64_t>(m);
  u128 high = u128{x} * static_cast<uint64_t>(m >> 64);
  u128 middle = (low >> 64) + static_cast<uint64_t>(high);
  return {static_cast<uint64_t>(high >> 64) + static_cast<uint64_t>(middle >> 64),
          static_cast<uint64_t>(middle), static_cast<uint64_t>(low)};
}

// Exact digit generation by big-integer division. With `shortest` it stops at the
// first digit that identifies the double (the shortest round-trip digits, the
// closest to the value, ties to an even digit), or after `precision` digits when
// that is positive; without it, it gives the value correctly rounded to
// `precision` digits (ties to even). Writes the digits without trailing zeros to
// out (at least 18 bytes, not terminated), sets *point so that the value is
// 0.d1d2... * 10^point, and answers the digit count. The value must be finite and
// not zero.
int exact_digits(Parts v, int precision, bool shortest, char* out, int* point);

}  // namespace zol::float_text::detail
