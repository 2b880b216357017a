// Unsigned big integers of 32-bit words, for the exact decimal conversions of
// doubles: digit generation when the fast paths cannot decide, the comparison of a
// long decimal text with a halfway point, and the table of powers of ten.
//
// A Big keeps its words inline, least significant first, with `used` words in use
// (at least one; zero is a single 0 word); the words above `used` are always 0. The capacity covers every value these
// conversions build: the largest is a 53-bit mantissa times 2^1077 or 10^345 with a
// normalising shift, about 1200 bits, well inside 2048. Nothing allocates, and every
// operation is constexpr so that the power table is computed by this same code
// while compiling.
#pragma once
#include <cstdint>
#include <cstdlib>

namespace zol::bignum {

constexpr int CAPACITY = 64;

struct Big {
  int used = 1;
  uint32_t words[CAPACITY] = {};
};

// Growing past the capacity is a fault in the caller's sizing, never a data error.
constexpr void check_room(int words) {
  if (words > CAPACITY) std::abort();
}

constexpr Big from_u64(uint64_t v) {
  Big b;
  b.words[0] = static_cast<uint32_t>(v);
  b.words[1] = static_cast<uint32_t>(v >> 32);
  b.used = b.words[1] ? 2 : 1;
  return b;
}

constexpr bool is_zero(const Big& b) { return b.used == 1 && b.words[0] == 0; }

// Leading zero bits of a word (32 for zero).
constexpr int hi0bits(uint32_t w) { return w ? __builtin_clz(w) : 32; }

constexpr int bit_length(const Big& b) {
  return 32 * b.used - hi0bits(b.words[b.used - 1]);
}

// b = b * m + a.
constexpr void multiply_add(Big& b, uint64_t m, uint32_t a = 0) {
  unsigned __int128 carry = a;
  for (int i = 0; i < b.used; i++) {
    carry += static_cast<unsigned __int128>(b.words[i]) * m;
    b.words[i] = static_cast<uint32_t>(carry);
    carry >>= 32;
  }
  while (carry) {
    check_room(b.used + 1);
    b.words[b.used++] = static_cast<uint32_t>(carry);
    carry >>= 32;
  }
  while (b.used > 1 && b.words[b.used - 1] == 0) b.used--;  // multiplied by zero
}

// b = b * 5^k: thirteen fives fit in one word multiplier.
constexpr void multiply_pow5(Big& b, int k) {
  constexpr uint32_t FIVE_13 = 1220703125u;
  for (; k >= 13; k -= 13) multiply_add(b, FIVE_13);
  uint32_t rest = 1;
  for (; k > 0; k--) rest *= 5;
  if (rest != 1) multiply_add(b, rest);
}

// b = b * 2^n.
constexpr void shift_left(Big& b, int n) {
  if (n <= 0 || is_zero(b)) return;
  int whole = n / 32, bits = n % 32;
  int top = b.used + whole + (bits ? 1 : 0);
  check_room(top);
  for (int i = b.used - 1; i >= 0; i--) {
    uint64_t w = static_cast<uint64_t>(b.words[i]) << bits;
    if (bits) b.words[i + whole + 1] |= static_cast<uint32_t>(w >> 32);
    b.words[i + whole] = static_cast<uint32_t>(w);
  }
  for (int i = 0; i < whole; i++) b.words[i] = 0;
  b.used = top;
  while (b.used > 1 && b.words[b.used - 1] == 0) b.used--;
}

// The ratio m * 2^p2 / 5^p5 as two integers, the powers put on whichever side
// keeps them whole: b = m * 5^max(-p5, 0) * 2^max(p2, 0) and
// s = 5^max(p5, 0) * 2^max(-p2, 0). Printing and reading a float both start
// their exact comparisons from this pair.
struct Ratio {
  Big b, s;
};
constexpr Ratio scaled_ratio(uint64_t m, int p5, int p2) {
  Ratio r{from_u64(m), from_u64(1)};
  multiply_pow5(r.b, p5 < 0 ? -p5 : 0);
  shift_left(r.b, p2 > 0 ? p2 : 0);
  multiply_pow5(r.s, p5 > 0 ? p5 : 0);
  shift_left(r.s, p2 < 0 ? -p2 : 0);
  return r;
}

// Sign of a - b.
constexpr int compare(const Big& a, const Big& b) {
  if (a.used != b.used) return a.used < b.used ? -1 : 1;
  for (int i = a.used - 1; i >= 0; i--)
    if (a.words[i] != b.words[i]) return a.words[i] < b.words[i] ? -1 : 1;
  return 0;
}

constexpr Big add(const Big& a, const Big& b) {
  const Big& longer = a.used >= b.used ? a : b;
  const Big& shorter = a.used >= b.used ? b : a;
  Big sum;
  uint64_t carry = 0;
  for (int i = 0; i < longer.used; i++) {
    carry += static_cast<uint64_t>(longer.words[i]) + (i < shorter.used ? shorter.words[i] : 0);
    sum.words[i] = static_cast<uint32_t>(carry);
    carry >>= 32;
  }
  sum.used = longer.used;
  if (carry) {
    check_room(sum.used + 1);
    sum.words[sum.used++] = static_cast<uint32_t>(carry);
  }
  return sum;
}

// b = b - m * s, for b >= m * s.
constexpr void subtract_multiple(Big& b, const Big& s, uint32_t m) {
  uint64_t borrow = 0, carry = 0;
  for (int i = 0; i < b.used; i++) {
    uint64_t product = (i < s.used ? static_cast<uint64_t>(s.words[i]) * m : 0) + carry;
    carry = product >> 32;
    uint64_t diff = static_cast<uint64_t>(b.words[i]) - static_cast<uint32_t>(product) - borrow;
    b.words[i] = static_cast<uint32_t>(diff);
    borrow = (diff >> 32) & 1;
  }
  while (b.used > 1 && b.words[b.used - 1] == 0) b.used--;
}

// The left shift (0 to 31) that leaves exactly four leading zero bits in the top
// word of S, the position quotient_digit needs.
constexpr int normalize_shift(const Big& s) {
  return (hi0bits(s.words[s.used - 1]) - 4) & 31;
}

// For b < 10 * S with S normalised: answers q = floor(b / S), 0 to 9, and leaves
// b - q * S in b. The estimate from the top words is q or q - 1 because the top
// word of S is at least 2^27.
constexpr int quotient_digit(Big& b, const Big& s) {
  if (b.used < s.used) return 0;
  int top = s.used - 1;
  uint32_t q = b.words[top] / (s.words[top] + 1);
  if (q) subtract_multiple(b, s, q);
  if (compare(b, s) >= 0) {
    subtract_multiple(b, s, 1);
    q++;
  }
  return static_cast<int>(q);
}

// b = floor(b / d) for a one-word divisor; answers the remainder.
constexpr uint32_t divide_small(Big& b, uint32_t d) {
  uint64_t rest = 0;
  for (int i = b.used - 1; i >= 0; i--) {
    uint64_t cur = (rest << 32) | b.words[i];
    b.words[i] = static_cast<uint32_t>(cur / d);
    rest = cur % d;
  }
  while (b.used > 1 && b.words[b.used - 1] == 0) b.used--;
  return static_cast<uint32_t>(rest);
}

}  // namespace zol::bignum
