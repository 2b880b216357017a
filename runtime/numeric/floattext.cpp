// Double to decimal text (see floattext.h).
//
// Digits come from 128-bit fixed-point arithmetic on the table of powers of ten:
// the value and the two halfway points to its neighbours are scaled by a power of
// ten, each known exactly or to within 2^-63, and every decision (is a multiple of
// ten inside the rounding interval, which neighbouring integer is nearer, where a
// correctly rounded N-digit result falls) is taken only when that error cannot
// change it. When it could, the exact big-integer digit loop decides instead; it
// is also the reference the tests hold the fast path to.
#include "runtime/numeric/floattext.h"

#include <cstring>
#include <initializer_list>

#include "runtime/numeric/floattext_internal.h"

namespace zol::float_text {

namespace detail {
namespace {

using bignum::Big;

// True when the exact remainder b / S is above one half, or exactly one half with
// an odd last digit: rounding to nearest, ties to even.
bool rounds_up(const Big& b, const Big& s, int last_digit) {
  Big twice = b;
  bignum::shift_left(twice, 1);
  int c = bignum::compare(twice, s);
  return c > 0 || (c == 0 && (last_digit & 1));
}

// Applies a round-up to the digits (trailing 9s carry; all 9s become "1" one
// decimal place higher), drops trailing zeros and sets the point.
int finish_digits(char* out, int count, bool up, int exponent, int* point) {
  if (up) {
    while (count > 0 && out[count - 1] == '9') count--;
    if (count == 0) {
      out[count++] = '1';
      exponent++;
    } else {
      out[count - 1]++;
    }
  }
  while (count > 1 && out[count - 1] == '0') count--;
  *point = exponent + 1;
  return count;
}

}  // namespace

int exact_digits(Parts v, int precision, bool shortest, char* out, int* point) {
  // The value is 4c * 2^(q-2); with k the estimate of floor(log10(value)), which is
  // exact or one too small, set b / S = value / 10^k and put the halfway distances
  // to the neighbouring doubles in the same units (low and high margins).
  int k = floor_log10_pow2(v.q + 63 - __builtin_clzll(v.c));
  int twos = v.q - 2 - k;
  auto [factor, s] = bignum::scaled_ratio(1, k, twos);
  Big b = factor;
  bignum::multiply_add(b, 4 * v.c);
  Big high = factor;
  bignum::multiply_add(high, 2);
  Big low = factor;
  bignum::multiply_add(low, v.irregular ? 1 : 2);

  Big ten_s = s;
  bignum::multiply_add(ten_s, 10);
  if (bignum::compare(b, ten_s) >= 0) {
    k++;
    s = ten_s;
  }
  int shift = bignum::normalize_shift(s);
  for (Big* x : {&b, &s, &low, &high}) bignum::shift_left(*x, shift);

  // With an even mantissa the halfway points themselves read back to this double.
  bool even = (v.c & 1) == 0;
  int count = 0;
  for (;;) {
    int digit = bignum::quotient_digit(b, s);
    out[count++] = static_cast<char>('0' + digit);
    if (shortest) {
      int to_low = bignum::compare(b, low);
      int to_high = bignum::compare(bignum::add(b, high), s);
      bool low_ok = to_low < 0 || (to_low == 0 && even);
      bool high_ok = to_high > 0 || (to_high == 0 && even);
      if (low_ok || high_ok) {
        bool up = high_ok && (!low_ok || rounds_up(b, s, digit));
        return finish_digits(out, count, up, k, point);
      }
    }
    if (count == precision) return finish_digits(out, count, rounds_up(b, s, digit), k, point);
    if (bignum::is_zero(b)) return finish_digits(out, count, false, k, point);
    bignum::multiply_add(b, 10);
    if (shortest) {
      bignum::multiply_add(low, 10);
      bignum::multiply_add(high, 10);
    }
  }
}

}  // namespace detail

namespace {

using detail::Parts;
using detail::u128;

constexpr uint64_t POWERS_OF_TEN[20] = {
    1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
    100000000ull, 1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull,
    10000000000000ull, 100000000000000ull, 1000000000000000ull, 10000000000000000ull,
    100000000000000000ull, 1000000000000000000ull, 10000000000000000000ull};

// Most digits any path produces: shortest digits never need more than 17.
constexpr int MAX_DIGITS = 17;

constexpr uint64_t HALF = 1ull << 63;
constexpr u128 HALF_UNIT = u128{1} << 63;

// A 64.64 fixed-point value. An exact one is the value itself; any other lies
// below the exact value by less than ERROR_UNITS units of 2^-64.
struct Fixed {
  u128 value;
  bool exact;
};
constexpr u128 ERROR_UNITS = 2;

// Powers 10^p with -26 <= p < 0 leave x * 2^e2 * 10^p (e2 + p >= 0) an integer
// over 5^-p, which is either a multiple of 1/2 or farther than 2^-61 from every
// one: within the error of a multiple, the value is that multiple.
constexpr int SNAP_POWER = -26;

// x * 2^e2 * 10^p for values below 2^62 (the callers' shifts are 4 to 117 bits).
// The truncated table entry costs less than x / 2^shift < 1 unit, the final shift
// less than another.
Fixed scaled(uint64_t x, int e2, int p) {
  detail::Wide w = detail::multiply_wide(x, detail::power_significand(p));
  int shift = 63 - e2 - detail::floor_log2_pow10(p);
  u128 top = (u128{w.w2} << 64) | w.w1;
  Fixed f;
  bool lost;
  if (shift >= 64) {
    f.value = top >> (shift - 64);
    lost = w.w0 || (shift > 64 && (w.w1 << (128 - shift)));
  } else {
    f.value = (top << (64 - shift)) | (w.w0 >> shift);
    lost = w.w0 << (64 - shift);
  }
  f.exact = p >= 0 && p <= 55 && !lost;
  if (p < 0 && p >= SNAP_POWER && e2 + p >= 0) {
    u128 multiple = (f.value + HALF_UNIT - 1) & ~(HALF_UNIT - 1);
    if (multiple - f.value < ERROR_UNITS) f = {multiple, true};
  }
  return f;
}

enum class Place { inside, outside, unsure };
constexpr int UNSURE = 2;

// Sign of n - end, or UNSURE when the error of an inexact end could change it.
int side(uint64_t n, Fixed end) {
  u128 at = u128{n} << 64;
  if (end.exact) return at < end.value ? -1 : at > end.value ? 1 : 0;
  if (at < end.value) return -1;
  return at >= end.value + ERROR_UNITS ? 1 : UNSURE;
}

// Where the integer n lies against the interval from lower to upper, whose ends
// belong to it when `closed`.
Place place_of(uint64_t n, Fixed lower, Fixed upper, bool closed) {
  int below = side(n, lower), above = side(n, upper);
  if (below == UNSURE || above == UNSURE) return Place::unsure;
  bool in = (below > 0 || (below == 0 && closed)) && (above < 0 || (above == 0 && closed));
  return in ? Place::inside : Place::outside;
}

// Rounds to the nearest integer, ties to even; false when the error of an inexact
// value could change the answer.
bool round_fixed(Fixed f, uint64_t* rounded) {
  uint64_t whole = static_cast<uint64_t>(f.value >> 64);
  uint64_t fraction = static_cast<uint64_t>(f.value);
  if (f.exact) {
    *rounded = whole + (fraction > HALF || (fraction == HALF && (whole & 1)));
    return true;
  }
  if (fraction > ~0ull - ERROR_UNITS) return false;
  if (fraction > HALF) {
    *rounded = whole + 1;
  } else if (fraction + ERROR_UNITS <= HALF) {
    *rounded = whole;
  } else {
    return false;
  }
  return true;
}

int decimal_length(uint64_t n) {
  int length = 1;
  while (length < 20 && n >= POWERS_OF_TEN[length]) length++;
  return length;
}

// Writes n (no trailing zeros after the strip) as digits; the value is n * 10^exponent.
int write_digits(uint64_t n, int exponent, char* out, int* point) {
  while (n % 10 == 0) {
    n /= 10;
    exponent++;
  }
  int length = decimal_length(n);
  for (int i = length - 1; i >= 0; i--) {
    out[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  *point = exponent + length;
  return length;
}

// The shortest digits as an integer and the power of ten of its last digit, or
// false when the fixed-point arithmetic cannot decide. The rounding interval is
// scaled by 10^-k, k chosen so that it is between 1 and 10 units wide: a multiple
// of ten inside it is then unique and has the fewest digits; otherwise the nearest
// integer inside it is the answer.
bool fast_shortest(Parts v, uint64_t* digits, int* exponent) {
  int k = v.irregular ? detail::floor_log10_three_quarters_pow2(v.q)
                      : detail::floor_log10_pow2(v.q);
  uint64_t x = 4 * v.c;
  Fixed lower = scaled(x - (v.irregular ? 1 : 2), v.q - 2, -k);
  Fixed upper = scaled(x + 2, v.q - 2, -k);
  // With an even mantissa the halfway points themselves read back to this double.
  bool closed = (v.c & 1) == 0;
  *exponent = k;

  uint64_t top = static_cast<uint64_t>(upper.value >> 64);
  uint64_t tens = top - top % 10;
  Place at_tens = place_of(tens, lower, upper, closed);
  if (at_tens == Place::unsure || place_of(tens + 10, lower, upper, closed) == Place::unsure)
    return false;
  if (at_tens == Place::inside) {
    *digits = tens;
    return true;
  }

  Fixed middle = scaled(x, v.q - 2, -k);
  uint64_t nearest;
  if (!round_fixed(middle, &nearest)) return false;
  Place at_nearest = place_of(nearest, lower, upper, closed);
  if (at_nearest == Place::inside) {
    *digits = nearest;
    return true;
  }
  if (at_nearest == Place::unsure) return false;
  // The nearest integer fell outside the interval; the one on the value's other
  // side is the nearest inside it.
  uint64_t value_floor = static_cast<uint64_t>(middle.value >> 64);
  uint64_t other = nearest == value_floor ? value_floor + 1 : value_floor;
  if (place_of(other, lower, upper, closed) != Place::inside) return false;
  *digits = other;
  return true;
}

// Integers below 10^15 are their own shortest digits.
bool small_integer(Parts v, uint64_t* n) {
  if (v.q >= 0 || v.q <= -53) return false;
  if (v.c & ((1ull << -v.q) - 1)) return false;
  *n = v.c >> -v.q;
  return *n < POWERS_OF_TEN[15];
}

int shortest_digits(Parts v, char* out, int* point) {
  uint64_t n;
  int exponent;
  if (small_integer(v, &n)) return write_digits(n, 0, out, point);
  if (fast_shortest(v, &n, &exponent)) return write_digits(n, exponent, out, point);
  return detail::exact_digits(v, 0, true, out, point);
}

// The value correctly rounded to `precision` (1..17) significant digits.
int rounded_digits(Parts v, int precision, char* out, int* point) {
  int k = detail::floor_log10_pow2(v.q + 63 - __builtin_clzll(v.c)) - precision + 1;
  Fixed value = scaled(v.c, v.q, -k);
  if (static_cast<uint64_t>(value.value >> 64) >= POWERS_OF_TEN[precision]) {
    k++;
    value = scaled(v.c, v.q, -k);
  }
  uint64_t n;
  if (!round_fixed(value, &n)) return detail::exact_digits(v, precision, false, out, point);
  return write_digits(n, k, out, point);
}

Digits special_digits(uint64_t bits, bool trailing_zero) {
  Digits d{};
  bool negative = bits & detail::SIGN_BIT;
  const char* text;
  if ((bits & detail::INFINITY_BITS) == detail::INFINITY_BITS) {
    d.point = POINT_SPECIAL;
    text = (bits & detail::FRACTION_MASK) ? TEXT_NAN
           : negative                      ? TEXT_MINUS_INFINITY
                                           : TEXT_INFINITY;
  } else {
    d.point = POINT_ZERO;
    text = trailing_zero ? (negative ? "-0.0" : "0.0") : (negative ? "-0" : "0");
  }
  d.length = static_cast<int>(std::strlen(text));
  std::memcpy(d.text, text, d.length + 1);
  return d;
}

bool is_special(uint64_t bits) {
  return (bits & detail::INFINITY_BITS) == detail::INFINITY_BITS || (bits << 1) == 0;
}

char* put_text(char* at, const char* text, int length) {
  std::memcpy(at, text, length);
  return at + length;
}

char* put_zeros(char* at, int count) {
  for (int i = 0; i < count; i++) *at++ = '0';
  return at;
}

// The digits with the decimal point after the first `point` of them (zeros fill
// in when there are fewer; "0." and zeros lead when point <= 0). The point is
// written even when no digit follows it.
char* put_plain(char* at, const char* digits, int count, int point) {
  if (point <= 0) {
    at = put_text(at, "0.", 2);
    at = put_zeros(at, -point);
    return put_text(at, digits, count);
  }
  int whole = point < count ? point : count;
  at = put_text(at, digits, whole);
  at = put_zeros(at, point - whole);
  *at++ = '.';
  return put_text(at, digits + whole, count - whole);
}

char* put_exponent(char* at, int exponent) {
  if (exponent < 0) {
    *at++ = '-';
    exponent = -exponent;
  }
  char digits[8];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + exponent % 10);
    exponent /= 10;
  } while (exponent);
  while (n) *at++ = digits[--n];
  return at;
}

int finish_text(char* out, char* at) {
  *at = 0;
  return static_cast<int>(at - out);
}

}  // namespace

Digits to_digits(double value, int precision, bool trailing_zero) {
  uint64_t bits = detail::bits_of(value);
  if (is_special(bits)) return special_digits(bits, trailing_zero);
  Digits d{};
  d.negative = bits & detail::SIGN_BIT;
  Parts v = detail::parts_of(bits & ~detail::SIGN_BIT);
  d.length = shortest_digits(v, d.text, &d.point);
  if (precision > 0 && d.length > precision) d.length = rounded_digits(v, precision, d.text, &d.point);
  d.text[d.length] = 0;
  return d;
}

int form_buffer(char* out, double value, int precision, bool trailing_zero) {
  Digits d = to_digits(value, precision, trailing_zero);
  if (d.point >= POINT_ZERO) return finish_text(out, put_text(out, d.text, d.length));
  char* at = out;
  if (d.negative) *at++ = '-';
  bool exponent_form = d.point > 17 || d.point < -6;
  at = put_plain(at, d.text, d.length, exponent_form ? 1 : d.point);
  if (at[-1] == '.') {
    if (trailing_zero) {
      *at++ = '0';
    } else {
      at--;
    }
  }
  if (exponent_form) {
    *at++ = 'e';
    at = put_exponent(at, d.point - 1);
  }
  return finish_text(out, at);
}

int format_general(char* out, double value, int precision) {
  int digits_wanted = precision < 1 ? 1 : precision > MAX_DIGITS ? MAX_DIGITS : precision;
  uint64_t bits = detail::bits_of(value);
  char* at = out;
  if (bits & detail::SIGN_BIT) *at++ = '-';
  if ((bits << 1) == 0) {
    *at++ = '0';
    return finish_text(out, at);
  }
  char digits[MAX_DIGITS + 1];
  int point;
  int count = rounded_digits(detail::parts_of(bits & ~detail::SIGN_BIT), digits_wanted, digits, &point);
  int exponent = point - 1;
  bool plain = exponent >= -4 && exponent < digits_wanted;
  at = put_plain(at, digits, count, plain ? point : 1);
  if (at[-1] == '.') at--;
  if (!plain) {
    *at++ = 'e';
    *at++ = exponent < 0 ? '-' : '+';
    if (exponent < 0) exponent = -exponent;
    if (exponent < 10) *at++ = '0';
    at = put_exponent(at, exponent);
  }
  return finish_text(out, at);
}

namespace {

struct KindRule {
  int first_precision;  // KIND_SECONDS prints first with form_buffer at precision 6
  int retry_precision;
  const char* tiny;
  bool point_zero;      // a text without "." gets ".0"
  bool percent;         // the text gets "%"
};

constexpr KindRule KIND_RULES[] = {
    {7, 5, "0.0", true, false},    // KIND_FLOAT32
    {16, 14, "0.0", true, false},  // KIND_FLOAT
    {7, 14, "0%", false, true},    // KIND_PERCENT32
    {13, 14, "0%", false, true},   // KIND_PERCENT
    {6, 5, "0.0", false, false},   // KIND_SECONDS
    {7, 5, "0", false, false},     // KIND_COORDINATE
};

constexpr double TOLERANCE = 0x1p-52;

// A long text ending in "01" or "99" before its exponent shows the binary
// fraction through the last digits; it is worth printing again with fewer.
bool shows_binary_noise(const char* text, int length) {
  const char* e = static_cast<const char*>(std::memchr(text, 'e', length));
  int mantissa = e ? static_cast<int>(e - text) : length;
  bool long_text;
  if (e) {
    long_text = mantissa > 16;
  } else {
    const char* first = text[0] == '-' ? text + 1 : text;
    long_text = length > 16 && (*first != '0' || length > 17);
  }
  if (!long_text) return false;
  const char* last_two = text + mantissa - 2;
  return std::memcmp(last_two, "01", 2) == 0 || std::memcmp(last_two, "99", 2) == 0;
}

}  // namespace

int form_decimal(char* out, double value, DecimalKind kind, bool pretty) {
  uint64_t bits = detail::bits_of(value);
  if ((bits & detail::INFINITY_BITS) == detail::INFINITY_BITS) {
    Digits d = special_digits(bits, false);
    return finish_text(out, put_text(out, d.text, d.length));
  }
  const KindRule& rule = KIND_RULES[kind];
  if (pretty && (value < TOLERANCE && value > -TOLERANCE))
    return finish_text(out, put_text(out, rule.tiny, static_cast<int>(std::strlen(rule.tiny))));

  char text[TEXT_CAPACITY];
  int length = kind == KIND_SECONDS ? form_buffer(text, value, rule.first_precision, false)
                                    : format_general(text, value, rule.first_precision);
  if (pretty && shows_binary_noise(text, length))
    length = format_general(text, value, rule.retry_precision);

  const char* e = static_cast<const char*>(std::memchr(text, 'e', length));
  int mantissa = e ? static_cast<int>(e - text) : length;
  char* at = put_text(out, text, mantissa);
  if (rule.point_zero && !std::memchr(text, '.', mantissa)) at = put_text(at, ".0", 2);
  if (e) {
    const char* p = e + 1;
    const char* stop = text + length;
    *at++ = 'e';
    if (*p == '-' || *p == '+') {
      if (*p == '-') *at++ = '-';
      p++;
    }
    while (p + 1 < stop && *p == '0') p++;
    at = put_text(at, p, static_cast<int>(stop - p));
  }
  if (rule.percent) *at++ = '%';
  return finish_text(out, at);
}

}  // namespace zol::float_text
