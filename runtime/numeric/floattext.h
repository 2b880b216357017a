// Exact conversion between doubles and decimal text, the program's own: no
// printf-family call, nothing that depends on a locale.
//
// Writing gives the shortest digits that read back to the same double (the
// closest such digits, ties to an even digit), optionally capped at N digits, and
// lays them out as the mold text of a float; the general "%.Ng" layout and the
// per-kind form texts of floats, percents, seconds and coordinates are built on
// correctly rounded N-digit strings. Reading gives the correctly rounded nearest
// double of any decimal text, however long (ties to even).
//
// Everything here is a pure function over caller buffers: no cells, no memory
// manager, no shared state, so it can run and be tested on its own.
#pragma once

namespace zol::float_text {

// Every text made here fits in this many bytes, its terminating NUL included.
constexpr int TEXT_CAPACITY = 32;

// Decimal-point codes of the special results of to_digits.
constexpr int POINT_SPECIAL = 9999;  // infinite or NaN
constexpr int POINT_ZERO = 9998;     // zero of either sign

// The texts of the special values; they read back to the same values.
constexpr const char* TEXT_INFINITY = "1.#INF";
constexpr const char* TEXT_MINUS_INFINITY = "-1.#INF";
constexpr const char* TEXT_NAN = "1.#NaN";

struct Digits {
  char text[TEXT_CAPACITY];  // the digits, NUL-terminated; or the finished special text
  int length;                // digit count (text length for a special)
  int point;                 // the value is 0.d1d2... * 10^point; or a code above
  bool negative;             // sign of a value with digits (a special text has its own)
};

// The digits of a double. A precision of 0 or less asks for the shortest digits
// that read back to the same double; a positive precision caps the count: the
// shortest digits when they are short enough, otherwise the first `precision`
// digits rounded on the exact remainder, ties to an even digit. Never a trailing
// zero. Infinity and NaN give POINT_SPECIAL with "1.#INF", "-1.#INF" or "1.#NaN";
// zero gives POINT_ZERO with "0.0"/"-0.0" when trailing_zero is set, else "0"/"-0".
Digits to_digits(double value, int precision, bool trailing_zero);

// The mold layout of to_digits' result: plain notation when the decimal point
// position p is in -6..17 ("0.0000001", "10000000000000000.0"), otherwise one digit,
// the fraction and "e" with p - 1 ("1.0e17", "1.5e-8"). A text that would end in
// "." gets "0" when trailing_zero is set and loses the "." otherwise. Writes the
// NUL-terminated text to out (TEXT_CAPACITY bytes) and answers its length.
int form_buffer(char* out, double value, int precision, bool trailing_zero);

// The text C's "%.Ng" gives in the C locale for a finite value, N being the
// precision clamped to 1..17: N significant digits correctly rounded (ties to
// even), plain notation when the decimal exponent X satisfies -4 <= X < N, else
// "d.ddde+XX"; trailing fraction zeros and a bare "." removed. Answers the length.
int format_general(char* out, double value, int precision);

// The text kinds of form_decimal: who prints, and so which precisions, tiny-value
// text and ending apply.
enum DecimalKind : int {
  KIND_FLOAT32 = 0,     // 32-bit vector element
  KIND_FLOAT = 1,       // float! form, 64-bit vector element
  KIND_PERCENT32 = 2,   // 32-bit percent vector element, already times 100
  KIND_PERCENT = 3,     // percent! form, 64-bit percent element, already times 100
  KIND_SECONDS = 4,     // the seconds of a time!
  KIND_COORDINATE = 5,  // point2D!/point3D! coordinates
};

// The form text of a number: the special texts for infinity and NaN; with `pretty`
// a magnitude below 2^-52 gives the kind's tiny text ("0.0", "0%" or "0"); else
// the kind's first printing, printed once more at the kind's retry precision when
// `pretty` is on and the text is long and ends in "01" or "99" (a binary fraction
// showing through); then the exponent as "e", an optional "-" and its digits
// without leading zeros; float kinds get ".0" when they have no "." and percent
// kinds get "%". Writes the NUL-terminated text to out (TEXT_CAPACITY bytes) and
// answers its length.
int form_decimal(char* out, double value, DecimalKind kind, bool pretty);

// Reads the decimal text between start and end as the correctly rounded nearest
// double: an optional sign, digits with an optional "." and an optional exponent
// ("e" or "E", an optional sign and at least one digit). The exponent adjustment is
// added to the text's decimal exponent (the percent loader passes -2). "1.#INF",
// "-1.#INF" and "1.#NaN" (any single digit before the point, letters in any case)
// read as infinity and NaN. Overflow gives a signed infinity, underflow a signed
// zero. *unconsumed receives the number of bytes after the last one used; text
// with no digit gives a signed zero. Never fails: validating the token is the
// caller's work.
double from_text(const char* start, const char* end, int exponent_adjust, int* unconsumed);

}  // namespace zol::float_text
