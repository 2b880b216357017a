// Float text conversion: shortest digits and reading held to the standard
// library's to_chars/from_chars (the oracle only here), the exact big-integer
// engine held to the same, the layouts, and the power-of-ten table and logarithm
// estimates checked against exact big-integer arithmetic.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "runtime/numeric/floattext.h"
#include "runtime/numeric/floattext_internal.h"

namespace zol {
namespace {

using namespace float_text;
using detail::bits_of;
using detail::double_of;

// The randomized sweeps run in full in optimised builds (about 5 s in all) and at
// a fifth in sanitizer and other unoptimised builds, where each conversion is many
// times slower.
#if defined(ZOL_SANITIZE) || !defined(__OPTIMIZE__)
constexpr int SWEEP_SCALE = 5;
#else
constexpr int SWEEP_SCALE = 1;
#endif

// Digits and decimal point of the standard library's shortest form.
struct Reference {
  std::string digits;
  int point;
};

Reference shortest_reference(double v) {
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, std::fabs(v), std::chars_format::scientific);
  *r.ptr = 0;
  const char* e = std::strchr(text, 'e');
  Reference ref{{}, std::atoi(e + 1) + 1};
  for (const char* p = text; p < e; p++)
    if (*p != '.') ref.digits += *p;
  return ref;
}

std::string general_reference(double v, int precision) {
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::general, precision);
  return std::string(text, r.ptr);
}

double read(const std::string& text, int adjust = 0, int* unconsumed = nullptr) {
  int rest;
  double v = from_text(text.data(), text.data() + text.size(), adjust, &rest);
  if (unconsumed) *unconsumed = rest;
  return v;
}

// What the standard reader gives, with its out-of-range report turned into the
// signed zero or infinity that correct rounding gives.
double read_reference(const std::string& text) {
  double v = 0;
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  auto r = std::from_chars(first, text.data() + text.size(), v);
  if (r.ec != std::errc::result_out_of_range) return v;
  // Out of range: infinite when the first nonzero digit stands left of the point.
  size_t digit = text.find_first_of("123456789");
  size_t point = std::min(text.find('.'), text.find_first_of("eE"));
  size_t e = text.find_first_of("eE");
  long magnitude = (point == std::string::npos ? long(text.size()) : long(point)) - long(digit);
  if (e != std::string::npos) magnitude += std::atol(text.c_str() + e + 1);
  v = magnitude > 0 ? HUGE_VAL : 0.0;
  return text[0] == '-' ? -v : v;
}

// Random finite doubles of every shape the conversions treat apart.
class DoubleSource {
 public:
  explicit DoubleSource(uint64_t seed) : random_(seed) {}

  double next() {
    switch (counter_++ % 8) {
      case 0: case 1: case 2: return any_finite();
      case 3: return double_of(random_() & detail::FRACTION_MASK);  // subnormal
      case 4: return std::ldexp(1.0, int(random_() % 2098) - 1074) * sign();  // power of two
      case 5: return double(random_() >> int(random_() % 53 + 11));  // integer up to 2^53
      case 6: return double_of(bits_of(any_finite()) | 0xFFFFFFull);  // many low ones
      default: return short_decimal();
    }
  }

 private:
  double any_finite() {
    for (;;) {
      uint64_t bits = random_();
      if ((bits & detail::INFINITY_BITS) != detail::INFINITY_BITS) return double_of(bits);
    }
  }
  double sign() { return random_() & 1 ? -1.0 : 1.0; }
  // Few digits and a spread exponent: values whose shortest text is short.
  double short_decimal() {
    std::string text = std::to_string(random_() % 100000) + "e" + std::to_string(int(random_() % 620) - 320);
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
  }

  std::mt19937_64 random_;
  uint64_t counter_ = 0;
};

TEST(FloatTextWrite, ShortestDigitsMatchTheReferenceAndReadBack) {
  const int count = 10'000'000 / SWEEP_SCALE;
  DoubleSource source(20240501);
  char text[TEXT_CAPACITY];
  for (int i = 0; i < count; i++) {
    double v = source.next();
    if (v == 0) continue;
    Digits d = to_digits(v, 0, true);
    Reference ref = shortest_reference(v);
    ASSERT_EQ(d.text, ref.digits) << std::hexfloat << v;
    ASSERT_EQ(d.point, ref.point) << std::hexfloat << v;
    ASSERT_EQ(d.negative, std::signbit(v));
    int length = form_buffer(text, v, 0, true);
    ASSERT_EQ(bits_of(read(std::string(text, length))), bits_of(v)) << text;
  }
}

TEST(FloatTextWrite, ExactEngineMatchesTheReference) {
  // The big-integer engine settles what the fast path cannot; run it on its own.
  const int count = 200'000 / SWEEP_SCALE;
  DoubleSource source(77);
  char digits[32];
  for (int i = 0; i < count; i++) {
    double v = std::fabs(source.next());
    if (v == 0) continue;
    detail::Parts parts = detail::parts_of(bits_of(v));
    int point;
    int n = detail::exact_digits(parts, 0, true, digits, &point);
    Reference ref = shortest_reference(v);
    ASSERT_EQ(std::string(digits, n), ref.digits) << std::hexfloat << v;
    ASSERT_EQ(point, ref.point) << std::hexfloat << v;

    int precision = 1 + i % 17;
    n = detail::exact_digits(parts, precision, false, digits, &point);
    char reference[64];
    auto r = std::to_chars(reference, reference + 64, v, std::chars_format::scientific, precision - 1);
    std::string expected;
    for (const char* p = reference; *p != 'e' && p < r.ptr; p++)
      if (*p != '.') expected += *p;
    while (expected.size() > 1 && expected.back() == '0') expected.pop_back();
    ASSERT_EQ(std::string(digits, n), expected) << std::hexfloat << v << " precision " << precision;
  }
}

TEST(FloatTextWrite, GeneralFormatMatchesTheReference) {
  const int count = 2'000'000 / SWEEP_SCALE;
  DoubleSource source(4242);
  char text[TEXT_CAPACITY];
  for (int i = 0; i < count; i++) {
    double v = source.next();
    int precision = 1 + i % 17;
    int length = format_general(text, v, precision);
    ASSERT_EQ(std::string(text, length), general_reference(v, precision)) << std::hexfloat << v;
  }
  // Ties at the rounding digit go to the even digit, as C's printf does.
  struct Case { double v; int precision; const char* text; };
  for (Case c : {Case{0.5, 1, "0.5"}, Case{2.5, 1, "2"}, Case{3.5, 1, "4"}, Case{25, 1, "2e+01"},
                 Case{1000000000000000.5, 16, "1000000000000000"}, Case{0.0, 6, "0"},
                 Case{-0.0, 6, "-0"}, Case{1e-5, 3, "1e-05"}, Case{123456, 3, "1.23e+05"},
                 Case{0.0001, 5, "0.0001"}}) {
    int length = format_general(text, c.v, c.precision);
    EXPECT_EQ(std::string(text, length), c.text) << c.v;
  }
}

TEST(FloatTextWrite, PrecisionCapsTheShortestDigits) {
  struct Case { double v; int precision; const char* digits; int point; };
  const Case cases[] = {
      {1.0000005, 7, "1000001", 1},  // exact value 1.00000050000000006989...: rounds up
      {1.0000005, 6, "1", 1},        // the seventh digit is 0: rounds down, zeros dropped
      {2.5e-7, 6, "25", -6},         // shortest digits short enough: kept as they are
      {5e-324, 3, "5", -323},
      {0.1 + 0.2, 16, "3", 0},
      {0.1 + 0.2, 17, "30000000000000004", 0},
      {123456789.0, 4, "1235", 9},
      {99999999.0, 3, "1", 9},       // all nines carry into a new leading digit
      {0.125, 2, "12", 0},           // a tie goes to the even digit
      {0.375, 2, "38", 0},
      {1.7976931348623157e308, 22, "17976931348623157", 309},
  };
  for (const Case& c : cases) {
    Digits d = to_digits(c.v, c.precision, true);
    EXPECT_STREQ(d.text, c.digits) << c.v << " precision " << c.precision;
    EXPECT_EQ(d.point, c.point) << c.v << " precision " << c.precision;
  }
}

TEST(FloatTextWrite, SpecialValuesAndZeros) {
  struct Case { double v; bool trailing; const char* text; int point; };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {inf, true, "1.#INF", POINT_SPECIAL},
      {-inf, false, "-1.#INF", POINT_SPECIAL},
      {std::nan(""), true, "1.#NaN", POINT_SPECIAL},
      {-std::nan(""), true, "1.#NaN", POINT_SPECIAL},  // a NaN never carries a sign
      {0.0, true, "0.0", POINT_ZERO},
      {-0.0, true, "-0.0", POINT_ZERO},
      {0.0, false, "0", POINT_ZERO},
      {-0.0, false, "-0", POINT_ZERO},
  };
  char text[TEXT_CAPACITY];
  for (const Case& c : cases) {
    Digits d = to_digits(c.v, 0, c.trailing);
    EXPECT_STREQ(d.text, c.text);
    EXPECT_EQ(d.point, c.point);
    EXPECT_EQ(form_buffer(text, c.v, 0, c.trailing), int(std::strlen(c.text)));
    EXPECT_STREQ(text, c.text);
  }
}

TEST(FloatTextWrite, MoldLayout) {
  struct Case { double v; bool trailing; int precision; const char* text; };
  const Case cases[] = {
      {1.0, true, 0, "1.0"},
      {1.0, false, 0, "1"},
      {0.1, true, 0, "0.1"},
      {1e17, true, 0, "1.0e17"},
      {1e17, false, 0, "1e17"},
      {1e16, true, 0, "10000000000000000.0"},
      {1e-7, true, 0, "0.0000001"},
      {1.5e-8, true, 0, "1.5e-8"},
      {-2.5, true, 0, "-2.5"},
      {123.456, true, 0, "123.456"},
      {0.1 + 0.2, true, 0, "0.30000000000000004"},
      {1.0 / 3, true, 0, "0.3333333333333333"},
      {1.7976931348623157e308, true, 0, "1.7976931348623157e308"},
      {5e-324, true, 0, "5.0e-324"},
      {2.2250738585072014e-308, true, 0, "2.2250738585072014e-308"},
      {123456789012345680000.0, true, 0, "1.2345678901234568e20"},
      {-1.5e-300, false, 0, "-1.5e-300"},
      {12345.678, false, 6, "12345.7"},
      {59.9999999, false, 6, "60"},
      {0.000001234567, false, 6, "0.00000123457"},
  };
  char text[TEXT_CAPACITY];
  for (const Case& c : cases) {
    int length = form_buffer(text, c.v, c.precision, c.trailing);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(length, int(std::strlen(c.text)));
  }
}

TEST(FloatTextWrite, FormDecimalKinds) {
  struct Case { double v; DecimalKind kind; bool pretty; const char* text; };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {1.0, KIND_FLOAT, true, "1.0"},
      {1e15, KIND_FLOAT, true, "1000000000000000.0"},
      {1e16, KIND_FLOAT, true, "1.0e16"},
      {0.00001, KIND_FLOAT, true, "1.0e-5"},
      {1e-20, KIND_FLOAT, true, "0.0"},
      {1e-20, KIND_FLOAT, false, "9.999999999999999e-21"},
      {-0.0, KIND_FLOAT, true, "0.0"},
      {-0.0, KIND_FLOAT, false, "-0.0"},
      {0.1 + 0.7, KIND_FLOAT, true, "0.8"},  // "0.7999999999999999" is retried at 14 digits
      {0.1 + 0.7, KIND_FLOAT, false, "0.7999999999999999"},
      {0.1 + 0.2, KIND_FLOAT, true, "0.3"},
      {1.0 / 3, KIND_FLOAT, true, "0.3333333333333333"},
      {2.0 / 3, KIND_FLOAT, true, "0.6666666666666666"},
      {1e20, KIND_FLOAT, true, "1.0e20"},
      {1.5e300, KIND_FLOAT, true, "1.5e300"},
      {-1.25e-7, KIND_FLOAT, true, "-1.25e-7"},
      {inf, KIND_FLOAT, true, "1.#INF"},
      {-inf, KIND_PERCENT, true, "-1.#INF"},
      {std::nan(""), KIND_PERCENT, false, "1.#NaN"},
      {50.0, KIND_PERCENT, true, "50%"},
      {12.5, KIND_PERCENT, true, "12.5%"},
      {1e-17, KIND_PERCENT, true, "0%"},
      {1e-17, KIND_PERCENT, false, "1e-17%"},
      {1e18, KIND_PERCENT, true, "1e18%"},
      {33.33333333333333, KIND_PERCENT, true, "33.33333333333%"},
      {0.1f, KIND_FLOAT32, true, "0.1"},
      {100.0f, KIND_FLOAT32, true, "100.0"},
      {12345678.0f, KIND_FLOAT32, true, "1.234568e7"},
      {0.5f * 100, KIND_PERCENT32, true, "50%"},
      {1.5, KIND_COORDINATE, true, "1.5"},
      {2.0, KIND_COORDINATE, true, "2"},
      {1e-20, KIND_COORDINATE, true, "0"},
      {3.5, KIND_SECONDS, true, "3.5"},
      {59.9999999, KIND_SECONDS, true, "60"},
      {1e-20, KIND_SECONDS, true, "0.0"},
      {1.5e-8, KIND_SECONDS, false, "1.5e-8"},
  };
  char text[TEXT_CAPACITY];
  for (const Case& c : cases) {
    int length = form_decimal(text, c.v, c.kind, c.pretty);
    EXPECT_STREQ(text, c.text) << c.v << " kind " << c.kind;
    EXPECT_EQ(length, int(std::strlen(c.text)));
  }
}

// Exact decimal text of h * 2^f (h odd), in scientific notation: base 10^9 limbs.
std::string exact_decimal(uint64_t h, int f) {
  std::vector<uint64_t> limbs;  // least significant first, base 10^9
  for (uint64_t x = h; x; x /= 1000000000) limbs.push_back(x % 1000000000);
  auto multiply = [&](uint64_t m) {
    uint64_t carry = 0;
    for (uint64_t& l : limbs) {
      uint64_t t = l * m + carry;
      l = t % 1000000000;
      carry = t / 1000000000;
    }
    while (carry) {
      limbs.push_back(carry % 1000000000);
      carry /= 1000000000;
    }
  };
  int scale = 0;  // value = limbs * 10^scale
  for (int n = f; n > 0; n -= std::min(n, 20)) multiply(uint64_t{1} << std::min(n, 20));
  for (int n = -f; n > 0; n -= std::min(n, 12)) {
    uint64_t five = 1;
    for (int i = 0; i < std::min(n, 12); i++) five *= 5;
    multiply(five);
  }
  if (f < 0) scale = f;
  std::string digits = std::to_string(limbs.back());
  for (size_t i = limbs.size() - 1; i-- > 0;) {
    std::string part = std::to_string(limbs[i]);
    digits += std::string(9 - part.size(), '0') + part;
  }
  int exponent = scale + int(digits.size()) - 1;
  return digits.substr(0, 1) + "." + digits.substr(1) + "e" + std::to_string(exponent);
}

// The exact halfway point between a positive double and the next one up.
std::string halfway_text(double v) {
  detail::Parts p = detail::parts_of(bits_of(v));
  return exact_decimal(2 * p.c + 1, p.q - 1);
}

void expect_reads_like_reference(const std::string& text) {
  double mine = read(text);
  double reference = read_reference(text);
  ASSERT_EQ(bits_of(mine), bits_of(reference)) << text;
}

TEST(FloatTextRead, HalfwayPointsAndTheirNeighbours) {
  const int count = 20'000 / SWEEP_SCALE;
  DoubleSource source(99);
  for (int i = 0; i < count; i++) {
    double v = std::fabs(source.next());
    if (!std::isfinite(std::nextafter(v, HUGE_VAL))) continue;
    std::string half = halfway_text(v);
    size_t e = half.find('e');
    std::string mantissa = half.substr(0, e), exponent = half.substr(e);
    expect_reads_like_reference(half);                                // a tie: even wins
    expect_reads_like_reference(mantissa + "0000000001" + exponent);  // just above
    std::string below = mantissa;                                     // just below: ...5 -> ...4999
    below.back() = '4';
    expect_reads_like_reference(below + std::string(30, '9') + exponent);
    expect_reads_like_reference("-" + half);
  }
}

TEST(FloatTextRead, LongAndShortRandomTexts) {
  const int count = 200'000 / SWEEP_SCALE;
  std::mt19937_64 random(5);
  for (int i = 0; i < count; i++) {
    bool long_text = i % 4 == 0;
    int length = long_text ? 20 + int(random() % 780) : 1 + int(random() % 25);
    std::string digits;
    for (int j = 0; j < length; j++) digits += char('0' + random() % 10);
    int point = int(random() % (digits.size() + 1));
    std::string text = (random() & 1 ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point);
    if (text.back() == '.' || random() % 3) text += "e" + std::to_string(int(random() % 700) - 350 - (long_text ? 0 : 10));
    expect_reads_like_reference(text);
  }
}

TEST(FloatTextRead, LimitsOfTheRange) {
  const std::string max_halfway = halfway_text(std::numeric_limits<double>::max());
  const std::string min_halfway = exact_decimal(1, -1075);
  const char* texts[] = {
      "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
      "1e309", "1e308", "1e-400", "-1e-400", "5e-324", "4.9406564584124654e-324",
      "2.4703282292062327e-324", "2.4703282292062328e-324", "2e-324", "3e-324", "2.2250738585072011e-308",
      "2.2250738585072014e-308", "2.225073858507201136057409796709131975934819546351645648e-308",
      "9007199254740993", "9007199254740993.0000000000000000000000001", "123456789012345680000",
      "0.1", "0.3", "100000000000000000000000", "1e22", "1e23", "8.98846567431158e307",
      "4.35", "0.000000000000000000000000000000000000001", "1e-2000", "1e2000",
  };
  for (const char* t : texts) expect_reads_like_reference(t);
  for (const std::string& t : {max_halfway, min_halfway, max_halfway + "1", min_halfway + "1"})
    expect_reads_like_reference(t);
  EXPECT_TRUE(std::isinf(read(max_halfway)));
  EXPECT_EQ(read(min_halfway), 0.0);  // a tie with zero goes to zero, the even one
}

TEST(FloatTextRead, SignsSpecialsAndWhatIsConsumed) {
  struct Case { const char* text; double value; int unconsumed; };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"1.5", 1.5, 0},         {"+1.5", 1.5, 0},       {"-1.5", -1.5, 0},
      {"1.5abc", 1.5, 3},      {"1e", 1.0, 1},          {"1e+", 1.0, 2},
      {"2E3", 2000.0, 0},      {".5", 0.5, 0},          {"5.", 5.0, 0},
      {"000123.4500", 123.45, 0}, {"1.#INF", inf, 0},   {"-1.#INF", -inf, 0},
      {"1.#inf", inf, 0},      {"1e400", inf, 0},       {"-1e400", -inf, 0},
      {"abc", 0.0, 3},         {"", 0.0, 0},            {"0e5", 0.0, 0},
  };
  for (const Case& c : cases) {
    int unconsumed;
    double v = read(c.text, 0, &unconsumed);
    EXPECT_EQ(v, c.value) << c.text;
    EXPECT_EQ(unconsumed, c.unconsumed) << c.text;
  }
  for (const char* text : {"1.#NaN", "-1.#NaN", "1.#nan"}) {
    double v = read(text);
    EXPECT_TRUE(std::isnan(v)) << text;
    EXPECT_FALSE(std::signbit(v)) << text;
  }
  for (const char* text : {"-0.0", "-0", "-1e-600", "-2e-324", "-"}) {
    double v = read(text);
    EXPECT_EQ(v, 0.0) << text;
    EXPECT_TRUE(std::signbit(v)) << text;
  }
}

TEST(FloatTextRead, ExponentAdjustment) {
  // The percent loader reads "0.1%" as 0.001 directly, not as 0.1 / 100.
  struct Case { const char* text; int adjust; const char* same_as; };
  for (Case c : {Case{"0.1", -2, "0.001"}, Case{"50", -2, "0.5"}, Case{"1.7", -2, "0.017"},
                 Case{"3e-5", -2, "3e-7"}, Case{"12.5", 3, "12500"}}) {
    EXPECT_EQ(bits_of(read(c.text, c.adjust)), bits_of(read_reference(c.same_as))) << c.text;
  }
}

// Sign of m * 2^a - 10^b, exactly, for exponents of any sign.
int compare_with_power_of_ten(bignum::Big m, int a, int b) {
  bignum::Big ten = bignum::from_u64(1);
  bignum::shift_left(a >= 0 ? m : ten, std::abs(a));
  bignum::Big& fives = b >= 0 ? ten : m;
  bignum::multiply_pow5(fives, std::abs(b));
  bignum::shift_left(fives, std::abs(b));
  return bignum::compare(m, ten);
}

TEST(FloatTextTables, LogarithmEstimatesAreExact) {
  const bignum::Big one = bignum::from_u64(1), three = bignum::from_u64(3);
  for (int q = -1080; q <= 1030; q++) {
    int k = detail::floor_log10_pow2(q);  // 10^k <= 2^q < 10^(k+1)
    ASSERT_GE(compare_with_power_of_ten(one, q, k), 0) << q;
    ASSERT_LT(compare_with_power_of_ten(one, q, k + 1), 0) << q;
    k = detail::floor_log10_three_quarters_pow2(q);  // 10^k <= 3 * 2^(q-2) < 10^(k+1)
    ASSERT_GE(compare_with_power_of_ten(three, q - 2, k), 0) << q;
    ASSERT_LT(compare_with_power_of_ten(three, q - 2, k + 1), 0) << q;
  }
}

TEST(FloatTextTables, EveryPowerOfTenBracketsTheExactValue) {
  // m * 2^e <= 10^p < (m + 1) * 2^e, checked by multiplication only (the table was
  // made by division).
  for (int p = detail::MIN_POWER; p <= detail::MAX_POWER; p++) {
    detail::u128 m = detail::power_significand(p);
    ASSERT_TRUE(m >> 127) << p;
    bignum::Big significand = bignum::from_u64(uint64_t(m >> 64));
    bignum::shift_left(significand, 64);
    significand = bignum::add(significand, bignum::from_u64(uint64_t(m)));
    int e = detail::floor_log2_pow10(p) - 127;
    ASSERT_LE(compare_with_power_of_ten(significand, e, p), 0) << p;
    ASSERT_GT(compare_with_power_of_ten(bignum::add(significand, bignum::from_u64(1)), e, p), 0) << p;
  }
}

}  // namespace
}  // namespace zol
