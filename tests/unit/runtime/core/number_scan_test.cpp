// Number scanners: integer, float and money text at every string unit size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/number_scan.h"

namespace zol {
namespace {

// The text's characters stored at the given unit size, little-endian.
std::vector<uint8_t> encode(const std::string& text, int unit) {
  std::vector<uint8_t> bytes;
  for (unsigned char c : text)
    for (int i = 0; i < unit; i++) bytes.push_back(i == 0 ? c : 0);
  return bytes;
}

constexpr int UNITS[] = {1, 2, 4};
constexpr int UNTOUCHED = 77;

TEST(NumberScan, Integers) {
  struct Case { const char* text; int32_t value; int error; };
  const Case cases[] = {
      {"1'000'000", 1000000, UNTOUCHED},
      {"-2147483648", INT32_MIN, UNTOUCHED},
      {"2147483647", INT32_MAX, UNTOUCHED},
      {"+42", 42, UNTOUCHED},
      {"2147483648", 0, number::SCAN_OVERFLOW},
      {"-2147483649", 0, number::SCAN_OVERFLOW},
      {"-21474836480", 0, number::SCAN_OVERFLOW},  // digits after the minimum overflow
      {"99999999999", 0, number::SCAN_OVERFLOW},
      {"12a", 12, number::SCAN_REFUSED},          // the value read so far is kept
      {"-", 0, number::SCAN_REFUSED},
      {"", 0, number::SCAN_REFUSED},
  };
  for (int unit : UNITS) {
    for (const Case& c : cases) {
      std::vector<uint8_t> text = encode(c.text, unit);
      int error = UNTOUCHED;
      EXPECT_EQ(number::scan_integer(text.data(), int(std::strlen(c.text)), unit, &error), c.value)
          << c.text << " unit " << unit;
      EXPECT_EQ(error, c.error) << c.text << " unit " << unit;
    }
  }
}

// Stands in for the lexer's float token check: digits, one optional leading sign,
// at most one ".", an exponent, and "'" marks.
bool plain_float_token(const char* start, const char* end) {
  const char* p = start;
  if (p < end && (*p == '-' || *p == '+')) p++;
  if (p == end) return false;
  return std::strspn(std::string(p, end).c_str(), "0123456789.'eE-") == size_t(end - p);
}

TEST(NumberScan, Floats) {
  struct Case { std::string text; double value; int error; };
  const Case cases[] = {
      {"1,5", 1.5, 0},
      {"-2.5e3", -2500.0, 0},
      {"1'000.25", 1000.25, 0},
      {"1e400", HUGE_VAL, 0},
      {"0.1", 0.1, 0},
      {"1.5e", 1.5, 1},  // the reader leaves the bare "e" unread
      {"12a", NAN, number::SCAN_REFUSED},
      {"1" + std::string(311, '0'), HUGE_VAL, 0},  // 312 characters: still read
      {"1" + std::string(312, '0'), NAN, number::SCAN_REFUSED},
  };
  for (int unit : UNITS) {
    for (const Case& c : cases) {
      std::vector<uint8_t> text = encode(c.text, unit);
      int error = UNTOUCHED;
      double v = number::scan_float(text.data(), int(c.text.size()), unit, &error, plain_float_token);
      if (std::isnan(c.value)) {
        EXPECT_TRUE(std::isnan(v)) << c.text;
      } else {
        EXPECT_EQ(v, c.value) << c.text << " unit " << unit;
      }
      EXPECT_EQ(error, c.error) << c.text << " unit " << unit;
    }
  }
}

TEST(NumberScan, MoneyTexts) {
  struct Case { const char* text; bool negative; int currency, amount, point; };
  const Case accepted[] = {
      {"-USD$1'234.50", true, 1, 5, 10},
      {"$12", false, -1, 1, -1},
      {"+eur$0.5", false, 1, 5, 6},
      {"12.5", false, -1, 0, 2},
  };
  const char* refused[] = {"$.5", "$5.", "$1''000", "$1'000.0'0", "USD1", "US$1", "USD$", "$",
                           "-", "", "$1.2.3", "$'1", "$1'", "$1'.5", "$1x"};
  for (int unit : UNITS) {
    for (const Case& c : accepted) {
      std::vector<uint8_t> text = encode(c.text, unit);
      number::MoneyText parts;
      int count = int(std::strlen(c.text));
      ASSERT_TRUE(number::scan_money(text.data(), count, unit, &parts)) << c.text << " unit " << unit;
      EXPECT_EQ(parts.negative, c.negative) << c.text;
      EXPECT_EQ(parts.currency, c.currency) << c.text;
      EXPECT_EQ(parts.amount, c.amount) << c.text;
      EXPECT_EQ(parts.point, c.point) << c.text;
      EXPECT_EQ(parts.end, count) << c.text;
    }
    for (const char* t : refused) {
      std::vector<uint8_t> text = encode(t, unit);
      number::MoneyText parts;
      EXPECT_FALSE(number::scan_money(text.data(), int(std::strlen(t)), unit, &parts)) << t << " unit " << unit;
    }
  }
}

}  // namespace
}  // namespace zol
