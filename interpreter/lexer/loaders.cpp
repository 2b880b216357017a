// The lexer's token loaders (see loaders.h).
//
// The scanner has already checked the structure of every token and the UTF-8 of
// strings, words, issues and refinements; what remains here is the form of numbers
// and characters, the decoding of escapes, and the UTF-8 of the other text kinds
// (files, urls, emails, tags, refs), which the scanner passes as they are.
#include "interpreter/lexer/loaders.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "interpreter/lexer/date_loaders.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/binary/basecode.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/numeric/floattext.h"
#include "runtime/core/number_scan.h"
#include "runtime/core/symbol.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"

namespace zol::lexer {
namespace {

constexpr int OK = 0;

const uint8_t* body(const uint8_t* text, const Token& t) { return text + t.body_start; }
const uint8_t* body_end(const uint8_t* text, const Token& t) { return text + t.body_end; }

bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }

int hex_value(uint8_t c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// --- words -------------------------------------------------------------------------------

uint32_t intern(const uint8_t* text, const Token& t) {
  return symbol::make_len(body(text, t), t.body_end - t.body_start);
}

// word!, set-word!, lit-word!, get-word! and refinement! are bound to the global
// context, where they are added when new.
int load_word(const uint8_t* text, const Token& t, Cell* out) {
  word::make_at(intern(text, t), out);
  cell::set_type(out, t.type);
  return OK;
}

int load_issue(const uint8_t* text, const Token& t, Cell* out) {
  cell::set(out, T_ISSUE, context::global, intern(text, t), uint32_t(-1));
  return OK;
}

// #(true), #(none), #(integer!) ...: the scanner has read the keyword or the name.
int load_construct(const uint8_t*, const Token& t, Cell* out) {
  switch (t.type) {
    case T_LOGIC: *out = values::logic(t.aux != 0); break;
    case T_NONE: *out = values::none; break;
    case T_UNSET: *out = values::unset; break;
    default: *out = values::of_datatype(uint8_t(t.aux)); break;
  }
  return OK;
}

// --- numbers -------------------------------------------------------------------------------

// The number-form automaton: byte classes other, sign, digit, exponent letter, ".",
// "'", then the end of the text; state 9 accepts, 10 rejects.
constexpr int NUMBER_END = 6;
constexpr int NUMBER_REJECT = 10;
constexpr uint8_t number_form[11][7] = {
    {10, 0, 1, 10, 4, 10, 10}, {10, 10, 1, 6, 5, 2, 9},    {10, 10, 1, 10, 10, 10, 9},
    {10, 10, 3, 6, 10, 4, 9},  {10, 10, 3, 10, 10, 10, 9}, {10, 10, 3, 10, 10, 10, 9},
    {10, 7, 8, 10, 10, 10, 10}, {10, 10, 8, 10, 10, 10, 10}, {10, 10, 8, 10, 10, 10, 9},
    {9, 9, 9, 9, 9, 9, 9},     {10, 10, 10, 10, 10, 10, 10},
};

int number_class(char c) {
  switch (c) {
    case '+': case '-': return 1;
    case 'e': case 'E': return 3;
    case '.': return 4;
    case '\'': return 5;
    default: return is_digit(uint8_t(c)) ? 2 : 0;
  }
}

// Converts decimal text, its "'" group marks left out, to a double; false when the
// text is not a number or not read to its end.
bool read_decimal(const uint8_t* start, const uint8_t* end, int exponent_adjust, double* value) {
  const char* s = reinterpret_cast<const char*>(start);
  const char* e = reinterpret_cast<const char*>(end);
  if (!check_number_form(s, e)) return false;
  char digits[number::FLOAT_TEXT_LIMIT];
  int n = 0;
  for (const char* p = s; p < e; p++)
    if (*p != '\'') digits[n++] = *p;
  int unconsumed = 0;
  *value = float_text::from_text(digits, digits + n, exponent_adjust, &unconsumed);
  return unconsumed == 0;
}

int load_float(const uint8_t* text, const Token& t, Cell* out) {
  double d;
  if (!read_decimal(body(text, t), body_end(text, t), 0, &d)) return T_FLOAT;
  float_::make_at(out, d);
  return OK;
}

// The number before the "%", read as a float is (its errors are float!'s).
int load_percent(const uint8_t* text, const Token& t, Cell* out) {
  double d;
  if (!read_decimal(body(text, t), body_end(text, t), -2, &d)) return T_FLOAT;
  float_::make_at(out, d, T_PERCENT);
  return OK;
}

// An optional sign, "1.#", then NaN or INF in any case.
int load_special_float(const uint8_t* text, const Token& t, Cell* out) {
  const uint8_t* p = body(text, t);
  const uint8_t* end = body_end(text, t);
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (end - p != 6 || std::memcmp(p, "1.#", 3) != 0) return T_FLOAT;
  char name[3];
  for (int i = 0; i < 3; i++) name[i] = char(p[3 + i] | 0x20);
  std::string_view n(name, 3);
  if (n == "nan") float_::make_at(out, std::numeric_limits<double>::quiet_NaN());
  else if (n == "inf") float_::make_at(out, negative ? -HUGE_VAL : HUGE_VAL);
  else return T_FLOAT;
  return OK;
}

// An optional sign, digits with "'" group marks (never two together). Past ten
// digits or past the 32-bit range the text loads as a float!, except the text of
// the smallest integer itself.
int load_integer(const uint8_t* text, const Token& t, Cell* out) {
  const uint8_t* p = body(text, t);
  const uint8_t* end = body_end(text, t);
  const std::string_view whole(reinterpret_cast<const char*>(p), size_t(end - p));
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  int digits = 0;
  int64_t value = 0;
  for (const uint8_t* q = p; q < end; q++) {
    if (*q == '\'') {
      if (q > p && q[-1] == '\'') return T_INTEGER;
      continue;
    }
    if (!is_digit(*q)) return T_INTEGER;
    if (++digits <= 10) value = value * 10 + (*q - '0');
  }
  if (digits == 0) return T_PAIR;
  if (digits > 10 || value > INT32_MAX) {
    if (whole == "-2147483648") {
      *out = values::integer(INT32_MIN);
      return OK;
    }
    return load_float(text, t, out);
  }
  *out = values::integer(int32_t(negative ? -value : value));
  return OK;
}

// Two to eight upper-case hexadecimal digits before the "h"; the value wraps into
// the 32 bits of an integer!.
int load_hex(const uint8_t* text, const Token& t, Cell* out) {
  const uint8_t* p = body(text, t);
  const uint8_t* end = body_end(text, t);
  long n = end - p;
  if (n == 1 && !is_digit(*p)) return T_WORD;
  if (n < 2 || n > 8) return T_INTEGER;
  uint32_t value = 0;
  for (; p < end; p++) {
    int d = hex_value(*p);
    if (d < 0) return T_INTEGER;
    value = value << 4 | uint32_t(d);
  }
  *out = values::integer(int32_t(value));
  return OK;
}

// --- characters and text -----------------------------------------------------------------

// One character of text: a caret escape when escapes are on, else one UTF-8
// sequence. Answers the position after it, or null when it is invalid.
const uint8_t* next_char(const uint8_t* p, const uint8_t* end, bool escapes, uint32_t* cp) {
  if (*p == '^' && escapes) {
    int n = decode_escape(p + 1, end, cp);
    return n < 0 ? nullptr : p + 1 + n;
  }
  const uint8_t* next = unicode::decode_utf8_char(p, end, cp);
  return *cp == unicode::INVALID ? nullptr : next;
}

int load_char(const uint8_t* text, const Token& t, Cell* out) {
  const uint8_t* p = body(text, t);
  const uint8_t* end = body_end(text, t);
  uint32_t cp = 0;
  if (p == end || next_char(p, end, true, &cp) != end || cp > char_::MAX_CODE_POINT)
    return T_CHAR;
  *out = char_::value(cp);
  return OK;
}

// Characters decoded from a token's text before they are stored. One buffer
// serves every load: nothing that runs in between loads text.
std::vector<uint32_t>& decoded_chars() {
  static std::vector<uint32_t> chars;
  chars.clear();
  return chars;
}

// Makes `out` a string-family value of `type` holding the characters, in the
// narrowest unit that holds them all.
void store_chars(const std::vector<uint32_t>& chars, uint8_t type, Cell* out) {
  uint32_t widest = chars.empty() ? 0 : *std::max_element(chars.begin(), chars.end());
  uint32_t unit = widest > 0xFFFF ? 4 : widest > 0xFF ? 2 : 1;
  uint32_t count = uint32_t(chars.size());
  string::make_at_units(out, count, unit);
  SeriesBuffer* b = memory::buffer_of(series_cell::node(out));
  uint8_t* w = b->head();
  for (uint32_t cp : chars) {
    string::put_char(w, unit, cp);
    w += unit;
  }
  b->tail = b->offset + count * unit;
  cell::set_type(out, type);
}

// Text as a string-family value: ASCII without escapes is copied as it stands,
// anything else decoded first. False when the text holds invalid UTF-8.
bool make_text(const uint8_t* start, const uint8_t* end, bool escapes, uint8_t type, Cell* out) {
  bool plain =
      std::all_of(start, end, [escapes](uint8_t b) { return b < 0x80 && !(escapes && b == '^'); });
  if (plain) {
    uint32_t count = uint32_t(end - start);
    string::make_at_units(out, count, 1);
    SeriesBuffer* b = memory::buffer_of(series_cell::node(out));
    std::memcpy(b->head(), start, count);
    b->tail = b->offset + count;
    cell::set_type(out, type);
    return true;
  }
  std::vector<uint32_t>& chars = decoded_chars();
  uint32_t cp;
  for (const uint8_t* p = start; p < end; chars.push_back(cp))
    if (!(p = next_char(p, end, escapes, &cp))) return false;
  store_chars(chars, type, out);
  return true;
}

int load_body(const uint8_t* text, const Token& t, bool escapes, uint8_t type, Cell* out) {
  return make_text(body(text, t), body_end(text, t), escapes, type, out) ? OK : type;
}

// "^" escapes are decoded in quoted and braced strings; the scanner has let through
// only valid ones.
int load_string(const uint8_t* text, const Token& t, Cell* out) {
  return load_body(text, t, (t.flags & F_CARET) != 0, T_STRING, out);
}

int load_raw_string(const uint8_t* text, const Token& t, Cell* out) {
  return load_body(text, t, false, T_STRING, out);
}

int load_email(const uint8_t* text, const Token& t, Cell* out) {
  return load_body(text, t, false, T_EMAIL, out);
}

int load_tag(const uint8_t* text, const Token& t, Cell* out) {
  return load_body(text, t, false, T_TAG, out);
}

int load_ref(const uint8_t* text, const Token& t, Cell* out) {
  return load_body(text, t, false, T_REF, out);
}

// The value of "%" and two hexadecimal digits at p, or -1.
int percent_escape(const uint8_t* p, const uint8_t* end) {
  if (end - p < 3 || *p != '%') return -1;
  int high = hex_value(p[1]), low = hex_value(p[2]);
  return high < 0 || low < 0 ? -1 : high << 4 | low;
}

// Percent-decoding of file and url text: an escaped UTF-8 lead byte followed by
// the escapes of the rest of its sequence gives one character (an invalid sequence
// raises invalid-utf8); an escaped byte below 0xC0 is the character of that code;
// anything else, a lone lead byte escape included, stays as it is written.
int load_percent_decoded(const uint8_t* p, const uint8_t* end, uint8_t type, Cell* out) {
  std::vector<uint32_t>& chars = decoded_chars();
  while (p < end) {
    int byte = percent_escape(p, end);
    int size = byte >= 0xC0 ? unicode::utf8_char_size(uint8_t(byte)) : 0;
    uint8_t sequence[4];
    int escaped = 0;
    for (; escaped < size; escaped++) {
      int next = percent_escape(p + 3 * escaped, end);
      if (next < 0) break;
      sequence[escaped] = uint8_t(next);
    }
    uint32_t cp;
    if (size > 0 && escaped == size) {
      uint32_t available = uint32_t(size);
      cp = uint32_t(unicode::decode_utf8_char_checked(sequence, &available));
      p += 3 * size;
    } else if (byte >= 0 && byte < 0xC0) {
      cp = uint32_t(byte);
      p += 3;
    } else if (!(p = next_char(p, end, false, &cp))) {
      return type;
    }
    chars.push_back(cp);
  }
  store_chars(chars, type, out);
  return OK;
}

// Unquoted file and url text is percent-decoded when it holds a "%".
int load_resource(const uint8_t* start, const uint8_t* end, uint8_t type, Cell* out) {
  if (std::memchr(start, '%', size_t(end - start)))
    return load_percent_decoded(start, end, type, out);
  return make_text(start, end, false, type, out) ? OK : type;
}

// %"..." takes escapes; %name is percent-decoded.
int load_file(const uint8_t* text, const Token& t, Cell* out) {
  if (text[t.start + 1] == '"') return load_body(text, t, true, T_FILE, out);
  return load_resource(body(text, t), body_end(text, t), T_FILE, out);
}

// A url starting with a quote or a colon is a lit-word or get-word gone wrong.
int load_url(const uint8_t* text, const Token& t, Cell* out) {
  if (text[t.start] == ':') return T_GET_WORD;
  if (text[t.start] == '\'') return T_LIT_WORD;
  return load_resource(body(text, t), body_end(text, t), T_URL, out);
}

// #{...} is base 16; a base written before the "#" (2#{...}, 64#{...}) picks
// another coding. A base without a coding, or text that does not decode in it, is
// an invalid binary!.
int load_binary(const uint8_t* text, const Token& t, Cell* out) {
  int base = 0;
  for (uint32_t i = t.start; text[i] != '#'; i++) {
    if (text[i] < '0' || text[i] > '9') return T_BINARY;  // a sign or other prefix
    base = base * 10 + (text[i] - '0');
    if (base > 64) return T_BINARY;
  }
  if (base == 0) base = 16;
  if (!binary::is_coding_base(base)) return T_BINARY;
  size_t n = t.body_end - t.body_start;
  return binary::decode_units(body(text, t), n, 1, base, out) ? OK : T_BINARY;
}

// --- tuples, pairs and points -----------------------------------------------------------

// Dotted decimal parts, each 0-255, at most 12; an empty part is an error.
int load_tuple(const uint8_t* text, const Token& t, Cell* out) {
  uint8_t bytes[tuple::MAX_COUNT];
  int count = 0;
  int value = -1;
  for (const uint8_t* p = body(text, t); p <= body_end(text, t); p++) {
    if (p == body_end(text, t) || *p == '.') {
      if (value < 0 || count == tuple::MAX_COUNT) return T_TUPLE;
      bytes[count++] = uint8_t(value);
      value = -1;
      continue;
    }
    if (!is_digit(*p)) return T_TUPLE;
    value = std::max(value, 0) * 10 + (*p - '0');
    if (value > 255) return T_TUPLE;
  }
  tuple::make_at(out, bytes, count);
  return OK;
}

// Two integers joined by "x" or "X"; a "." anywhere is an error.
int load_pair(const uint8_t* text, const Token& t, Cell* out) {
  const uint8_t* start = body(text, t);
  const uint8_t* end = body_end(text, t);
  if (std::find(start, end, uint8_t('.')) != end) return T_PAIR;
  const uint8_t* cross = start;
  while (cross < end && (*cross | 0x20) != 'x') cross++;
  if (cross == end) return T_PAIR;
  Cell x, y;
  Token side = t;
  side.body_end = uint32_t(cross - text);
  if (load_integer(text, side, &x) != OK || !x.is(T_INTEGER)) return T_PAIR;
  side.body_start = side.body_end + 1;
  side.body_end = t.body_end;
  if (load_integer(text, side, &y) != OK || !y.is(T_INTEGER)) return T_PAIR;
  pair::make_at(out, cell::get_int(&x), cell::get_int(&y));
  return OK;
}

bool is_blank(uint8_t c) { return c == ' ' || c == '\t'; }

// One coordinate between separators, blanks around it skipped; "#" marks a
// special float (1.#INF, 1.#NaN).
int load_coordinate(const uint8_t* text, const uint8_t* p, const uint8_t* end, float* out) {
  while (p < end && is_blank(*p)) p++;
  while (end > p && is_blank(end[-1])) end--;
  if (p == end) return T_POINT2D;
  Token number{};
  number.body_start = uint32_t(p - text);
  number.body_end = uint32_t(end - text);
  Cell v;
  bool special = std::find(p, end, uint8_t('#')) != end;
  int problem = special ? load_special_float(text, number, &v) : load_float(text, number, &v);
  if (problem != OK) return T_FLOAT;
  *out = float(cell::get_double(&v));
  return OK;
}

// Two or three numbers between the parentheses, separated by commas.
int load_point(const uint8_t* text, const Token& t, Cell* out) {
  float coords[3];
  int count = 0;
  const uint8_t* p = body(text, t);
  const uint8_t* end = body_end(text, t);
  while (true) {
    const uint8_t* comma = std::find(p, end, uint8_t(','));
    if (count == 3) return T_POINT3D;
    int problem = load_coordinate(text, p, comma, &coords[count++]);
    if (problem != OK) return count == 3 && problem == T_POINT2D ? T_POINT3D : problem;
    if (comma == end) break;
    p = comma + 1;
  }
  if (count < 2) return T_POINT2D;
  point::make_at(out, count, coords);
  return OK;
}

// An optional sign, an optional three-character currency code, "$", the integer
// digits with "'" group marks (never two together, never last), then after "."
// or "," one to five fraction digits. More than 17 significant integer digits
// cannot be held and an unknown code cannot be stored: both are errors.
int load_money(const uint8_t* text, const Token& t, Cell* out) {
  const uint8_t* p = body(text, t);
  const uint8_t* end = body_end(text, t);
  money::TextParts parts;
  if (p < end && (*p == '+' || *p == '-')) parts.negative = *p++ == '-';
  const uint8_t* dollar = static_cast<const uint8_t*>(std::memchr(p, '$', size_t(end - p)));
  if (!dollar || (dollar - p != 0 && dollar - p != 3)) return T_MONEY;
  if (dollar - p == 3) parts.currency = reinterpret_cast<const char*>(p);
  const uint8_t* q = dollar + 1;
  if (q == end || !is_digit(*q)) return T_MONEY;
  const uint8_t* integer = q;
  for (; q < end && *q != '.' && *q != ','; q++) {
    if (*q == '\'' && q[-1] == '\'') return T_MONEY;
    if (*q != '\'' && !is_digit(*q)) return T_MONEY;
  }
  if (q[-1] == '\'') return T_MONEY;
  parts.integer = reinterpret_cast<const char*>(integer);
  parts.integer_end = parts.fraction = parts.fraction_end = reinterpret_cast<const char*>(q);
  if (q < end) {
    const uint8_t* fraction = ++q;
    for (; q < end; q++)
      if (!is_digit(*q)) return T_MONEY;
    if (q - fraction < 1 || q - fraction > money::FRACTION_DIGITS) return T_MONEY;
    parts.fraction = reinterpret_cast<const char*>(fraction);
    parts.fraction_end = reinterpret_cast<const char*>(q);
  }
  return money::make_at(out, parts) == money::Made::OK ? OK : T_MONEY;
}

}  // namespace

bool check_number_form(const char* start, const char* end) {
  if (end - start > number::FLOAT_TEXT_LIMIT) return false;
  int state = 0;
  for (const char* p = start; p < end && state != NUMBER_REJECT; p++)
    state = number_form[state][number_class(*p)];
  return number_form[state][NUMBER_END] != NUMBER_REJECT;
}

void load_path_head(const uint8_t* text, const Token& token, Cell* out) {
  Token head = token;
  head.type = T_WORD;
  load_word(text, head, out);
}

// Indexed by kind - FIRST_FINAL.
const Loader loaders[TOKEN_KINDS] = {
    /* 66 end, 67 error, 68-71 [ ] ( ) */ nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    /* 72 */ nullptr, /* 73 braced string */ load_string, /* 74 #[ */ nullptr,
    /* 75 path opener */ nullptr, /* 76 */ load_construct, /* 77 comment */ nullptr,
    /* 78 comma */ nullptr, /* 79 */ load_string, /* 80 */ load_word, /* 81 */ load_issue,
    /* 82 */ load_integer, /* 83 */ load_word, /* 84 */ load_char, /* 85 */ load_file,
    /* 86 */ load_binary, /* 87 */ load_percent, /* 88 */ load_float,
    /* 89 */ load_special_float, /* 90 */ load_tuple, /* 91 */ load_date,
    /* 92 */ load_pair, /* 93 */ load_point, /* 94 */ load_time,
    /* 95 */ load_money, /* 96 */ load_tag, /* 97 */ load_url, /* 98 */ load_email,
    /* 99 */ load_hex, /* 100 */ load_raw_string, /* 101 */ load_ref,
    /* 102 path closer */ nullptr,
};

}  // namespace zol::lexer
