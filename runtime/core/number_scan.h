// The number scanners behind make and to of integer!, float! and money! from a
// string: stricter than the lexer, they read exactly the characters given (at the
// string's unit size, 1, 2 or 4 bytes) and report failure through an error code
// instead of raising; the calling action raises bad-to-arg.
#pragma once
#include <cstdint>

namespace zol::number {

constexpr int SCAN_REFUSED = -1;
constexpr int SCAN_OVERFLOW = -2;

// Longest text the float scanner reads.
constexpr int FLOAT_TEXT_LIMIT = 312;

// An optional "+" or "-", then digits with "'" group marks anywhere. On a
// character that is not allowed *error becomes SCAN_REFUSED and the value read so
// far is answered; past the 32-bit range (-2147483648 included) *error becomes
// SCAN_OVERFLOW and the answer 0; an empty text or a lone sign is refused. On
// success *error is left as it was.
int32_t scan_integer(const uint8_t* start, int count, int unit, int* error);

// The lexer's check that bytes form a float token; the float scanner's caller
// passes it in, the lexer living above this layer.
using FloatTokenCheck = bool (*)(const char* start, const char* end);

// Text of at most FLOAT_TEXT_LIMIT characters, taken as the low bytes of its
// characters with every "," read as "."; it must pass the token check; then the
// "'" marks are removed and the float text reader reads it. *error receives the
// count of bytes the reader left unread (0 on success), or SCAN_REFUSED with a
// NaN answer when the text is refused.
double scan_float(const uint8_t* start, int count, int unit, int* error, FloatTokenCheck is_float_token);

// The parts of a money text, as character indexes into it, for the money
// module's constructor.
struct MoneyText {
  bool negative;
  int currency;  // index of the three-letter currency code, or -1
  int amount;    // index of the amount's first character
  int point;     // index of the ".", or -1
  int end;       // one past the amount's last character
};

// An optional sign; an optional currency code (three ASCII letters and "$") or a
// bare "$", either followed by at least one character; then the amount: digits,
// at most one ".", "'" group marks. A "'" may not start or end the amount, follow
// another "'" or come after the "."; a "." may not start or end it or follow a
// "'". Answers false, leaving *out unspecified, when the text does not fit.
bool scan_money(const uint8_t* start, int count, int unit, MoneyText* out);

}  // namespace zol::number
