// Packed digits and magnitude arithmetic of money! (see amount.h).
#include "runtime/datatypes/money/amount.h"

namespace zol::money {

int get_digit(const uint8_t* bytes, int i) {
  uint8_t b = bytes[(i - 1) >> 1];
  return (i & 1) ? b >> 4 : b & 0x0F;
}

void set_digit(uint8_t* bytes, int i, int value) {
  uint8_t& b = bytes[(i - 1) >> 1];
  b = (i & 1) ? uint8_t((b & 0x0F) | value << 4) : uint8_t((b & 0xF0) | value);
}

Units unpack(const uint8_t* bytes) {
  Units m = 0;
  for (int i = 1; i <= TOTAL_DIGITS; i++) m = m * 10 + Units(get_digit(bytes, i));
  return m;
}

void pack(Units magnitude, uint8_t* bytes) {
  for (int i = TOTAL_DIGITS; i >= 1; i--) {
    set_digit(bytes, i, int(magnitude % 10));
    magnitude /= 10;
  }
}

int count_digits(Units magnitude) {
  int n = 1;
  while (magnitude >= 10) {
    magnitude /= 10;
    n++;
  }
  return n;
}

Result add(Units a, Units b) {
  Units sum = a + b;
  return sum >= LIMIT ? Result{Outcome::OVERFLOW, 0} : Result{Outcome::OK, sum};
}

namespace {

// A non-zero exact result whose kept digits are all zero is an underflow.
Result checked(Units kept, bool exact_zero) {
  if (kept >= LIMIT) return {Outcome::OVERFLOW, 0};
  if (kept == 0 && !exact_zero) return {Outcome::UNDERFLOW, 0};
  return {Outcome::OK, kept};
}

}  // namespace

Result multiply(Units a, Units b) {
  if (a == 0 || b == 0) return {Outcome::OK, 0};
  // Past 28 digits together the product is at least 10^27 units squared, whose
  // kept part reaches 10^22: an overflow, found before the product could leave
  // 128 bits.
  if (count_digits(a) + count_digits(b) > 28) return {Outcome::OVERFLOW, 0};
  return checked(a * b / Units(SCALE), false);
}

Result divide(Units a, Units b) {
  if (b == 0) return {Outcome::ZERO_DIVIDE, 0};
  if (a == 0) return {Outcome::OK, 0};
  return checked(a * Units(SCALE) / b, false);
}

Result remainder(Units a, Units b) {
  if (b == 0) return {Outcome::ZERO_DIVIDE, 0};
  return {Outcome::OK, a % b};
}

}  // namespace zol::money
