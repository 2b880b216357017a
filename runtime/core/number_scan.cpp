// The number scanners (see number_scan.h).
#include "runtime/core/number_scan.h"

#include <limits>

#include "runtime/datatypes/string/string.h"
#include "runtime/numeric/floattext.h"

namespace zol::number {
namespace {

// The characters of a string's text at its unit size.
struct Chars {
  const uint8_t* start;
  int count;
  int unit;
  uint32_t operator[](int i) const { return string::get_char(start + i * unit, unit); }
};

bool is_digit(uint32_t c) { return c >= '0' && c <= '9'; }
bool is_ascii_letter(uint32_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

}  // namespace

int32_t scan_integer(const uint8_t* start, int count, int unit, int* error) {
  Chars text{start, count, unit};
  int i = 0;
  bool negative = false;
  if (count > 0 && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    i = 1;
  }
  if (i >= count) {
    *error = SCAN_REFUSED;
    return 0;
  }
  // The magnitude may reach 2^31 only when it is negated afterwards.
  const int64_t limit = negative ? int64_t{1} << 31 : std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  for (; i < count; i++) {
    uint32_t c = text[i];
    if (c == '\'') continue;
    if (!is_digit(c)) {
      *error = SCAN_REFUSED;
      break;
    }
    value = value * 10 + (c - '0');
    if (value > limit) {
      *error = SCAN_OVERFLOW;
      return 0;
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

double scan_float(const uint8_t* start, int count, int unit, int* error, FloatTokenCheck is_float_token) {
  const double refused = std::numeric_limits<double>::quiet_NaN();
  if (count > FLOAT_TEXT_LIMIT) {
    *error = SCAN_REFUSED;
    return refused;
  }
  Chars text{start, count, unit};
  char bytes[FLOAT_TEXT_LIMIT] = {};
  for (int i = 0; i < count; i++) {
    char c = static_cast<char>(text[i] & 0xFF);
    bytes[i] = c == ',' ? '.' : c;
  }
  if (!is_float_token(bytes, bytes + count)) {
    *error = SCAN_REFUSED;
    return refused;
  }
  int length = 0;
  for (int i = 0; i < count; i++)
    if (bytes[i] != '\'') bytes[length++] = bytes[i];
  return float_text::from_text(bytes, bytes + length, 0, error);
}

bool scan_money(const uint8_t* start, int count, int unit, MoneyText* out) {
  Chars text{start, count, unit};
  int i = 0;
  out->negative = false;
  out->currency = -1;
  if (i < count && (text[i] == '-' || text[i] == '+')) out->negative = text[i++] == '-';
  if (i < count && is_ascii_letter(text[i])) {
    if (count - i < 5 || !is_ascii_letter(text[i + 1]) || !is_ascii_letter(text[i + 2]) || text[i + 3] != '$')
      return false;
    out->currency = i;
    i += 4;
  } else if (i < count && text[i] == '$') {
    i++;
  }
  if (i >= count) return false;

  out->amount = i;
  out->point = -1;
  out->end = count;
  int last = count - 1;
  for (int j = i; j < count; j++) {
    uint32_t c = text[j];
    if (is_digit(c)) continue;
    bool misplaced = j == i || j == last || text[j - 1] == '\'' || out->point >= 0;
    if ((c != '\'' && c != '.') || misplaced) return false;
    if (c == '.') out->point = j;
  }
  return true;
}

}  // namespace zol::number
