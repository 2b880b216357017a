// money!: an exact decimal amount of 17 integer and 5 fraction digits with an
// optional three-letter currency code, so that sums of amounts never suffer binary
// rounding.
//
// Cell (16 bytes, little-endian words):
//   bytes 0-3   header: type money! in the low byte, bit 14 the sign (1 negative),
//               bit 30 the shared new-line flag
//   byte 4      currency index: 0 none, else the 1-based position of the code in
//               system/locale/currencies/list (1..255; the index is one byte, so a
//               code at a later position cannot be stored and is refused)
//   bytes 5-15  the magnitude as 22 packed decimal digits, most significant first:
//               amount byte k (1..11) holds digit 2k-1 in its high nibble and digit
//               2k in its low one; digits 1-17 are the integer part (17 the
//               units), 18-22 the fraction (22 the hundred-thousandths)
// The stored form (index, packed digits) is what stored values carry, so it never
// changes; the arithmetic unpacks the digits into a 128-bit count of
// hundred-thousandths (amount.h) and packs the result back.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/money/amount.h"
#include "runtime/numeric/rounding.h"

namespace zol::money {

constexpr uint32_t SIGN_BIT = 0x4000;
constexpr int MAX_CURRENCY_INDEX = 255;

void init();   // registers money!

// --- cells ------------------------------------------------------------------------------

bool negative(const Cell* c);                // the sign bit
int sign(const Cell* c);                     // -1, 0 or 1; a zero amount is 0 whatever its bit
int currency(const Cell* c);                 // the index byte
Units units(const Cell* c);                  // the magnitude in hundred-thousandths
// Writes a money! of the parts into c, keeping only its new-line flag; a zero
// magnitude is always stored positive.
Cell* store(Cell* c, bool negative, int currency, Units magnitude);
Cell* push(bool negative, int currency, Units magnitude);
// The stored form apart from the sign: the currency index byte, then the 11 amount
// bytes, as stored values carry them. make_raw rebuilds a value from it and answers
// false, writing nothing, when a digit nibble is above 9.
constexpr int RAW_BYTES = 12;
void raw_bytes(const Cell* c, uint8_t* out);
bool make_raw(Cell* c, bool negative, const uint8_t* bytes);

// --- currencies -------------------------------------------------------------------------

// The 1-based position of a code in the currency list, matched without regard to
// letter case; -1 when absent. A code past position 255 raises currency-limit.
int currency_index(uint32_t symbol);
// The code word at a position of the list, or none! for 0.
Cell currency_word(int index);

// --- constructors and conversions -------------------------------------------------------

// The outcome of the text constructor.
enum class Made { OK, UNKNOWN_CURRENCY, OVERFLOW };
// A money! from its text parts: the sign, the three currency letters (null for
// none), the integer digits [integer, integer_end) and the fraction digits
// [fraction, fraction_end), "'" marks skipped in both. Fraction digits past the
// fifth are dropped; more than 17 significant integer digits answer OVERFLOW.
struct TextParts {
  bool negative = false;
  const char* currency = nullptr;
  const char* integer = nullptr;
  const char* integer_end = nullptr;
  const char* fraction = nullptr;
  const char* fraction_end = nullptr;
};
Made make_at(Cell* c, const TextParts& parts);

Cell* from_integer(Cell* c, int32_t n);
// A float as its shortest decimal digits, extra fraction digits dropped; strict
// refuses a float with more than 5 of them. Raises bad-make-arg (money!, the
// float) for infinities, NaN, 0 < |x| < 0.00001 and |x| >= 1e17.
Cell* from_float(Cell* c, double x, bool strict);
// The integer part, truncated toward zero; type-limit integer! when it does not
// fit 32 bits.
int32_t to_integer(const Cell* c);
double to_float(const Cell* c);

// --- actions other types reach -----------------------------------------------------------

// The money comparison (see the compare action) and a float compared with a
// money! value by their signed values.
int compare(const Cell* a, const Cell* b, int op);
int compare_float(double x, const Cell* m, int op);
// The math actions on the frame's two arguments when either is a money!.
void do_math(int op);
// Rounding of a money! value by the round action's scale and mode.
Cell* round(Cell* value, const Cell* scale, rounding::Mode mode);

}  // namespace zol::money
