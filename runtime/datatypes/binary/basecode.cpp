// The base codings of bytes. Encoders write upper-case base 16, standard base 64
// with "=" padding, and base 58 with the digit set that leaves out 0, O, I and l.
//
// Decoding: a ";" starts a comment that runs to the next line feed. Bases 2 and
// 16 skip every character up to a space; bases 58 and 64 skip backspace, tab,
// line feed, form feed, carriage return, space and the apostrophe. A character
// above 127 makes base 2, 16 and 64 text invalid and ends base 58 text.
#include "runtime/datatypes/binary/basecode.h"

#include <array>
#include <cstring>
#include <vector>

namespace zol::binary {

namespace {

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
constexpr char BASE58_DIGITS[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
constexpr char BASE64_DIGITS[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Decoding table entries besides the digit values.
constexpr int8_t INVALID = -1;
constexpr int8_t SKIP = -2;
constexpr int8_t PAD = -3;

// The table of a base over code points 0-127.
using Table = std::array<int8_t, 128>;

constexpr Table table_of(const char* digits, bool padded) {
  Table t{};
  for (int8_t& e : t) e = INVALID;
  for (int c : {8, 9, 10, 12, 13, 32, 39}) t[size_t(c)] = SKIP;
  for (int8_t v = 0; digits[v]; v++) t[size_t(uint8_t(digits[v]))] = v;
  if (padded) t['='] = PAD;
  return t;
}

constexpr Table hex_table() {
  Table t{};
  for (int8_t& e : t) e = INVALID;
  for (int c = 0; c <= 0x20; c++) t[size_t(c)] = SKIP;
  for (int8_t v = 0; v < 10; v++) t[size_t('0' + v)] = v;
  for (int8_t v = 0; v < 6; v++) t[size_t('A' + v)] = t[size_t('a' + v)] = int8_t(10 + v);
  return t;
}

constexpr Table BASE58_TABLE = table_of(BASE58_DIGITS, false);
constexpr Table BASE64_TABLE = table_of(BASE64_DIGITS, true);
constexpr Table HEX_TABLE = hex_table();

// Reads the characters of a text of unit 1, 2 or 4, stepping over comments.
struct Reader {
  const uint8_t* at;
  size_t n;
  uint32_t unit;
  size_t i = 0;

  uint32_t get(size_t k) const {
    const uint8_t* p = at + k * unit;
    if (unit == 1) return p[0];
    if (unit == 2) return uint32_t(p[0]) | uint32_t(p[1]) << 8;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  // The next character that is not inside a comment; false at the end.
  bool next(uint32_t* c) {
    while (i < n) {
      uint32_t ch = get(i++);
      if (ch != ';') {
        *c = ch;
        return true;
      }
      while (i < n && get(i) != '\n') i++;
    }
    return false;
  }
};

// What a character means in a table: its digit value, SKIP, PAD or INVALID.
int8_t meaning(const Table& t, uint32_t c) { return c < 128 ? t[c] : INVALID; }

// --- encoders ------------------------------------------------------------------------------

uint8_t* encode_base2(uint8_t* out, const uint8_t* in, size_t n) {
  for (size_t i = 0; i < n; i++)
    for (int bit = 7; bit >= 0; bit--) *out++ = uint8_t('0' + ((in[i] >> bit) & 1));
  return out;
}

uint8_t* encode_base16(uint8_t* out, const uint8_t* in, size_t n) {
  for (size_t i = 0; i < n; i++) {
    *out++ = uint8_t(HEX_DIGITS[in[i] >> 4]);
    *out++ = uint8_t(HEX_DIGITS[in[i] & 15]);
  }
  return out;
}

uint8_t* encode_base64(uint8_t* out, const uint8_t* in, size_t n) {
  size_t whole = n - n % 3;
  for (size_t i = 0; i < whole; i += 3) {
    uint32_t group = uint32_t(in[i]) << 16 | uint32_t(in[i + 1]) << 8 | in[i + 2];
    out[0] = uint8_t(BASE64_DIGITS[group >> 18]);
    out[1] = uint8_t(BASE64_DIGITS[(group >> 12) & 63]);
    out[2] = uint8_t(BASE64_DIGITS[(group >> 6) & 63]);
    out[3] = uint8_t(BASE64_DIGITS[group & 63]);
    out += 4;
  }
  if (n % 3 == 0) return out;
  uint32_t group = uint32_t(in[whole]) << 16 | (n % 3 == 2 ? uint32_t(in[whole + 1]) << 8 : 0);
  out[0] = uint8_t(BASE64_DIGITS[group >> 18]);
  out[1] = uint8_t(BASE64_DIGITS[(group >> 12) & 63]);
  out[2] = n % 3 == 2 ? uint8_t(BASE64_DIGITS[(group >> 6) & 63]) : uint8_t('=');
  out[3] = '=';
  return out + 4;
}

// Divides the big-endian number by 58 repeatedly; its digits come out last first,
// so they are written backward from the end of the area and moved to its start.
uint8_t* encode_base58(uint8_t* out, const uint8_t* in, size_t n) {
  size_t zeros = 0;
  while (zeros < n && in[zeros] == 0) zeros++;
  std::vector<uint8_t> number(in + zeros, in + n);
  size_t area = encoded_size(58, n);
  uint8_t* end = out + area;
  uint8_t* digit = end;
  size_t first = 0;
  while (first < number.size()) {
    uint32_t remainder = 0;
    for (size_t i = first; i < number.size(); i++) {
      uint32_t part = remainder << 8 | number[i];
      number[i] = uint8_t(part / 58);
      remainder = part % 58;
    }
    *--digit = uint8_t(BASE58_DIGITS[remainder]);
    while (first < number.size() && number[first] == 0) first++;
  }
  for (size_t i = 0; i < zeros; i++) *--digit = '1';
  size_t written = size_t(end - digit);
  std::memmove(out, digit, written);
  return out + written;
}

// --- decoders --------------------------------------------------------------------------------

int64_t decode_base2(Reader r, uint8_t* out) {
  int64_t written = 0;
  uint32_t byte = 0, bits = 0, c;
  while (r.next(&c)) {
    if (c <= 0x20) continue;
    if (c != '0' && c != '1') return -1;
    byte = byte << 1 | (c - '0');
    if (++bits == 8) {
      out[written++] = uint8_t(byte);
      byte = bits = 0;
    }
  }
  return bits == 0 ? written : -1;
}

// An odd final digit is dropped.
int64_t decode_base16(Reader r, uint8_t* out) {
  int64_t written = 0;
  uint32_t c;
  int high = -1;
  while (r.next(&c)) {
    int8_t v = meaning(HEX_TABLE, c);
    if (v == SKIP) continue;
    if (v == INVALID) return -1;
    if (high < 0) {
      high = v;
    } else {
      out[written++] = uint8_t(high << 4 | v);
      high = -1;
    }
  }
  return written;
}

// At the first "=", three gathered values give two bytes and two give one; any
// other count is invalid. Values left over without "=" are dropped.
int64_t decode_base64(Reader r, uint8_t* out) {
  int64_t written = 0;
  uint32_t group = 0, count = 0, c;
  while (r.next(&c)) {
    int8_t v = meaning(BASE64_TABLE, c);
    if (v == SKIP) continue;
    if (v == INVALID) return -1;
    if (v == PAD) {
      if (count == 3) {
        out[written++] = uint8_t(group >> 10);
        out[written++] = uint8_t(group >> 2);
      } else if (count == 2) {
        out[written++] = uint8_t(group >> 4);
      } else {
        return -1;
      }
      return written;
    }
    group = group << 6 | uint32_t(v);
    if (++count == 4) {
      out[written++] = uint8_t(group >> 16);
      out[written++] = uint8_t(group >> 8);
      out[written++] = uint8_t(group);
      group = count = 0;
    }
  }
  return written;
}

// Leading "1" digits are zero bytes; the rest is a number in base 58, built
// big-endian by multiplying by 58 and adding each digit.
int64_t decode_base58(Reader r, uint8_t* out) {
  std::vector<uint8_t> number;   // big-endian, without leading zeros
  size_t zeros = 0;
  bool leading = true;
  uint32_t c;
  while (r.next(&c) && c < 128) {
    int8_t v = BASE58_TABLE[c];
    if (v == SKIP) continue;
    if (v < 0) return -1;
    if (leading && v == 0) {
      zeros++;
      continue;
    }
    leading = false;
    uint32_t carry = uint32_t(v);
    for (size_t i = number.size(); i-- > 0;) {
      carry += uint32_t(number[i]) * 58;
      number[i] = uint8_t(carry);
      carry >>= 8;
    }
    while (carry) {
      number.insert(number.begin(), uint8_t(carry));
      carry >>= 8;
    }
  }
  std::memset(out, 0, zeros);
  if (!number.empty()) std::memcpy(out + zeros, number.data(), number.size());
  return int64_t(zeros + number.size());
}

}  // namespace

bool is_coding_base(int base) { return base == 2 || base == 16 || base == 58 || base == 64; }

size_t encoded_size(int base, size_t n) {
  switch (base) {
    case 2: return n * 8;
    case 16: return n * 2;
    case 58: return n * 2 + 1;
    default: return (n + 2) / 3 * 4;
  }
}

uint8_t* encode(int base, uint8_t* out, const uint8_t* in, size_t n) {
  switch (base) {
    case 2: return encode_base2(out, in, n);
    case 16: return encode_base16(out, in, n);
    case 58: return encode_base58(out, in, n);
    default: return encode_base64(out, in, n);
  }
}

size_t decoded_capacity(int base, size_t n) {
  switch (base) {
    case 2: return n / 8 + 1;
    case 16: return n / 2 + 1;
    case 58: return n + 1;
    default: return (n + 3) / 4 * 3 + 3;
  }
}

int64_t decode(int base, const uint8_t* in, size_t n, uint32_t unit, uint8_t* out) {
  Reader r{in, n, unit};
  switch (base) {
    case 2: return decode_base2(r, out);
    case 16: return decode_base16(r, out);
    case 58: return decode_base58(r, out);
    default: return decode_base64(r, out);
  }
}

}  // namespace zol::binary
