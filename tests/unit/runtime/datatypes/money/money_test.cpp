// money!: the stored form of the cell (sign bit, currency byte, packed digits),
// which stored values carry and so must never change, and the digit packing the
// arithmetic relies on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/core/symbol.h"
#include "runtime/datatypes/money/money.h"
#include "support.h"

namespace zol {
namespace {

// The 16 bytes of a cell as hex pairs.
std::string hex_bytes(const Cell& c) {
  uint8_t raw[16];
  std::memcpy(raw, &c, 16);
  std::string out;
  static const char digits[] = "0123456789abcdef";
  for (uint8_t b : raw) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

TEST(Money, TheCellKeepsSignCurrencyAndPackedDigitsInPlace) {
  test::boot();
  struct Case { const char* source; const char* bytes; };
  const Case cases[] = {
      // header (type 49 = 0x31, sign 0x4000), currency byte, 11 digit bytes
      {"$1.5", "31000000" "00" "0000000000000000150000"},
      {"-$1.5", "31400000" "00" "0000000000000000150000"},
      {"USD$12345678901234567.89012", "31000000" "9b" "1234567890123456789012"},
      {"EUR$0.00001", "31000000" "2f" "0000000000000000000001"},
      {"-$0", "31000000" "00" "0000000000000000000000"},   // a zero is never negative
  };
  for (const Case& c : cases) {
    Cell v = test::eval_value(c.source);
    EXPECT_EQ(hex_bytes(v), c.bytes) << c.source;
  }
}

TEST(Money, DigitsPackMostSignificantFirst) {
  uint8_t bytes[money::AMOUNT_BYTES] = {};
  money::pack(money::Units(150000), bytes);   // 1.5
  EXPECT_EQ(money::get_digit(bytes, 17), 1);
  EXPECT_EQ(money::get_digit(bytes, 18), 5);
  EXPECT_EQ(bytes[8], 0x15);
  money::set_digit(bytes, 1, 9);
  EXPECT_EQ(bytes[0], 0x90) << "set_digit replaces only its own nibble";
  money::set_digit(bytes, 2, 3);
  EXPECT_EQ(bytes[0], 0x93);
  EXPECT_EQ(money::unpack(bytes), money::Units(150000) + money::pow10(21) * 9 + money::pow10(20) * 3);
  struct Count { money::Units units; int digits; };
  for (Count c : {Count{0, 1}, Count{1, 1}, Count{99999, 5}, Count{100000, 6},
                  Count{money::LIMIT - 1, 22}})
    EXPECT_EQ(money::count_digits(c.units), c.digits);
}

}  // namespace
}  // namespace zol
