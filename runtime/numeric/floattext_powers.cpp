// The table of 128-bit powers of ten, computed while compiling from exact big
// integers: 10^p for p >= 0 from 5^p, and for p < 0 from floor(2^960 / 5^-p)
// (dividing by 5 one step at a time keeps every step exact), each cut to its top
// 128 bits. The compiler also checks the exponent formula against the exact bit
// lengths for every entry.
#include "runtime/numeric/floattext_internal.h"

namespace zol::float_text::detail {
namespace {

using bignum::Big;

// 2^960 / 5^350 still has more than 128 bits.
constexpr int RECIPROCAL_BITS = 960;

// The 32 bits of b starting at bit `pos` (negative positions read zeros below b).
constexpr uint32_t bits_at(const Big& b, int pos) {
  if (pos <= -32) return 0;
  if (pos < 0) return b.words[0] << -pos;
  int word = pos / 32, shift = pos % 32;
  uint64_t low = word < b.used ? b.words[word] : 0;
  uint64_t high = word + 1 < b.used ? b.words[word + 1] : 0;
  return static_cast<uint32_t>(((high << 32) | low) >> shift);
}

constexpr Power top_128_bits(const Big& b) {
  int base = bignum::bit_length(b) - 128;
  uint64_t hi = (uint64_t{bits_at(b, base + 96)} << 32) | bits_at(b, base + 64);
  uint64_t lo = (uint64_t{bits_at(b, base + 32)} << 32) | bits_at(b, base);
  return {hi, lo};
}

struct Generated {
  PowerTable table;
  bool exponents_agree;  // floor_log2_pow10 matches the exact bit length everywhere
  bool exact_claim_holds;  // 10^0 .. 10^55 fit in 128 bits
};

constexpr Generated generate() {
  Generated g{};
  g.exponents_agree = true;
  g.exact_claim_holds = true;
  Big five_power = bignum::from_u64(1);
  for (int p = 0; p <= MAX_POWER; p++) {
    int length = bignum::bit_length(five_power);
    g.table.entries[p - MIN_POWER] = top_128_bits(five_power);
    if (p + length - 1 != floor_log2_pow10(p)) g.exponents_agree = false;
    if (p <= 55 && length > 128) g.exact_claim_holds = false;
    bignum::multiply_add(five_power, 5);
  }
  Big reciprocal = bignum::from_u64(1);
  bignum::shift_left(reciprocal, RECIPROCAL_BITS);
  for (int p = -1; p >= MIN_POWER; p--) {
    bignum::divide_small(reciprocal, 5);
    int length = bignum::bit_length(reciprocal);
    g.table.entries[p - MIN_POWER] = top_128_bits(reciprocal);
    if (p + length - 1 - RECIPROCAL_BITS != floor_log2_pow10(p)) g.exponents_agree = false;
    if (length <= 128) g.exponents_agree = false;
  }
  return g;
}

constexpr Generated generated = generate();
static_assert(generated.exponents_agree, "the binary exponent formula is off somewhere");
static_assert(generated.exact_claim_holds, "10^55 no longer fits in 128 bits");

}  // namespace

constexpr PowerTable power_table = generated.table;

}  // namespace zol::float_text::detail
