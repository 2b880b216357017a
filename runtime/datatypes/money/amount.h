// The magnitude of a money! amount: packing its 22 decimal digits to and from the
// cell's 11 bytes, and the exact arithmetic on magnitudes. A magnitude is held as
// an unsigned 128-bit count of hundred-thousandths (below 10^22 < 2^74); products
// and scaled dividends stay below 10^44 / 10^5 only after the range checks, so
// every intermediate fits in 128 bits. Nothing here knows cells or errors:
// results come with an outcome that the caller raises.
#pragma once
#include <cstdint>

namespace zol::money {

using Units = unsigned __int128;

constexpr int AMOUNT_BYTES = 11;
constexpr int TOTAL_DIGITS = 22;
constexpr int FRACTION_DIGITS = 5;
constexpr int INTEGER_DIGITS = TOTAL_DIGITS - FRACTION_DIGITS;
constexpr int64_t SCALE = 100000;   // units in one

constexpr Units pow10(int n) {
  Units p = 1;
  while (n-- > 0) p *= 10;
  return p;
}
constexpr Units LIMIT = pow10(TOTAL_DIGITS);   // every magnitude is below it

// Digit i (1 = most significant, 22 = hundred-thousandths) of packed bytes.
int get_digit(const uint8_t* bytes, int i);
void set_digit(uint8_t* bytes, int i, int value);
Units unpack(const uint8_t* bytes);
void pack(Units magnitude, uint8_t* bytes);   // magnitude below LIMIT

// Digits from the first non-zero one through the last fraction digit; 1 for zero.
int count_digits(Units magnitude);

enum class Outcome { OK, OVERFLOW, UNDERFLOW, ZERO_DIVIDE };

struct Result {
  Outcome outcome;
  Units magnitude;
};

// Magnitude results. Products and quotients keep 5 fraction digits, the rest
// dropped (truncated toward zero); a non-zero product or quotient that truncates
// to zero is an underflow, a result of 10^17 or more an overflow.
Result add(Units a, Units b);
Result multiply(Units a, Units b);
Result divide(Units a, Units b);
Result remainder(Units a, Units b);

}  // namespace zol::money
