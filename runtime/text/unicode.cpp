// Text codecs (see unicode.h).
#include "runtime/text/unicode.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/root.h"
#include "runtime/base/system.h"
#include "runtime/core/values.h"

namespace zol::unicode {

namespace {

// UTF-8 automaton after Bjoern Hoehrmann: the first 256 entries give each byte a
// character class, the rest is the transition table indexed by state + class,
// states being multiples of 12. It accepts exactly the well-formed sequences: no
// overlong forms, no surrogates, nothing beyond U+10FFFF.
constexpr uint32_t ACCEPT = 0;
constexpr uint32_t REJECT = 12;
constexpr uint8_t UTF8_AUTOMATON[] = {
    // classes of 0x00-0x7F
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // classes of 0x80-0xFF
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    8, 8, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    10, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 3, 3, 11, 6, 6, 6, 5, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
    // transitions
    0, 12, 24, 36, 60, 96, 84, 12, 12, 12, 48, 72, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    12, 0, 12, 12, 12, 12, 12, 0, 12, 0, 12, 12, 12, 24, 12, 12, 12, 12, 12, 24, 12, 24, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12, 12, 12, 12, 24, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12, 12, 36, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,
    12, 36, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
};

// Windows-1251 for the bytes 0x80-0xFF. 0x98 has no character in the code page and
// stands for the C1 control of the same value.
constexpr uint32_t CP1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

NodeRef scratch_node = 0;

// The shared scratch series, grown to hold `bytes`; its old content is not kept.
uint8_t* scratch(uint64_t bytes) {
  SeriesBuffer* b = memory::buffer_of(scratch_node);
  if (bytes > b->size) b = memory::expand_series(b, static_cast<int64_t>(bytes));
  b->offset = b->tail = 0;
  return b->data();
}

// A binary! holding up to four bytes from `at`: the argument of the decoding errors.
[[noreturn]] void raise_with_bytes(err::Id id, const uint8_t* at, size_t available) {
  size_t n = available < 4 ? available : 4;
  NodeRef node = memory::alloc_bytes(4);
  SeriesBuffer* b = memory::buffer_of(node);
  std::memcpy(b->data(), at, n);
  b->tail = static_cast<uint32_t>(n);
  Cell bytes{T_BINARY, 0, node, 0};
  fire(id, &bytes);
}

[[noreturn]] void raise_invalid_char(uint32_t cp) {
  Cell arg = values::integer(static_cast<int32_t>(cp));
  fire(err::script::INVALID_CHAR, &arg);
}

bool is_surrogate(uint32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

// Whether a sequence of `length` bytes whose bits so far are `prefix`, with
// `missing` continuation bytes still to come, can still decode to a code point that
// is neither overlong, nor a surrogate, nor beyond U+10FFFF. With nothing missing
// this is the validity of the decoded code point itself.
bool can_complete(uint32_t prefix, uint32_t length, uint32_t missing) {
  constexpr uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};   // by sequence length
  uint32_t low = prefix << (6 * missing);
  uint32_t high = low | ((1u << (6 * missing)) - 1);
  if (high < smallest[length] || low > MAX_CODE_POINT) return false;
  return !(low >= 0xD800 && high <= 0xDFFF);
}

// The narrowest unit that holds a code point.
uint32_t unit_for(uint32_t cp) { return cp > 0xFFFF ? 4 : cp > 0xFF ? 2 : 1; }

// The end of the run of ASCII bytes from p: the first byte at or above 0x80, or
// `end`. Most text is long runs of ASCII, so the scan looks at eight bytes a step.
const uint8_t* ascii_run_end(const uint8_t* p, const uint8_t* end) {
  constexpr uint64_t HIGH_BITS = 0x8080808080808080u;
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if (word & HIGH_BITS) break;
    p += 8;
  }
  while (p < end && *p < 0x80) p++;
  return p;
}

// Writes code points into a string buffer from its first used unit on: the buffer
// is emptied first (a target's old text is overwritten), widened as a whole when a
// code point needs a wider unit, and grown when full.
class TextSink {
 public:
  // Room for `capacity` characters of `unit`; `input_length` sets the growth step.
  TextSink(Cell* target, uint32_t capacity, uint32_t unit, uint32_t input_length)
      : input_length_(input_length) {
    if (!target) {
      NodeRef node = memory::alloc_series(capacity ? capacity : 1, unit, 0);
      b_ = memory::buffer_of(node);
      return;
    }
    b_ = memory::buffer_of(series_cell::node(target));
    b_->tail = b_->offset;
    if (b_->unit() < unit) b_->flags = (b_->flags & ~FLAG_UNIT_MASK) | unit;
    uint64_t bytes = uint64_t(capacity) * b_->unit();
    if (b_->offset + bytes > b_->size) b_ = memory::expand_series(b_, int64_t(bytes));
  }

  void put(uint32_t cp) {
    if (unit_for(cp) > b_->unit()) b_ = string::widen_to(b_, unit_for(cp));
    uint32_t unit = b_->unit();
    if (b_->tail + unit > b_->size) b_ = memory::expand_series_copy(b_, b_->size + growth(unit));
    string::put_char(b_->tail_ptr(), unit, cp);
    b_->tail += unit;
  }

  // A run of ASCII bytes, copied whole while the buffer holds bytes.
  void put_ascii(const uint8_t* run, uint32_t n) {
    if (b_->unit() != 1) {
      for (uint32_t i = 0; i < n; i++) put(run[i]);
      return;
    }
    if (b_->tail + n > b_->size) b_ = memory::expand_series_copy(b_, b_->size + std::max(n, growth(1)));
    std::memcpy(b_->tail_ptr(), run, n);
    b_->tail += n;
  }

  NodeRef node() const { return b_->node; }

 private:
  uint32_t growth(uint32_t unit) const {
    uint32_t step = unit == 4 ? input_length_ : input_length_ / 4;
    return step < 16 ? 16 : step;
  }

  SeriesBuffer* b_;
  uint32_t input_length_;
};

// A CR that `crlf` folds: dropped before LF (true), else turned into LF.
bool drop_folded_cr(uint32_t* cp, const uint8_t* next, const uint8_t* end) {
  if (*cp != '\r') return false;
  if (next < end && *next == '\n') return true;
  *cp = '\n';
  return false;
}

// The loop shared by the byte-oriented loaders, whose bytes below 0x80 are ASCII:
// a run of them is copied whole (up to a CR when `crlf` folds it), and any other
// byte goes through decode(p, end, &consumed), which answers a code point, or -1 to
// stop (the rest is reported through *remain).
template <class Decode>
NodeRef load_bytes(const uint8_t* p, const uint8_t* end, Cell* target, uint32_t* remain, bool crlf,
                   uint32_t length, Decode decode) {
  TextSink sink(target, length, 1, length);
  while (p < end) {
    const uint8_t* run_end = ascii_run_end(p, end);
    if (crlf) {
      if (const void* cr = std::memchr(p, '\r', size_t(run_end - p))) run_end = static_cast<const uint8_t*>(cr);
    }
    sink.put_ascii(p, static_cast<uint32_t>(run_end - p));
    p = run_end;
    if (p == end) break;
    uint32_t consumed = 0;
    int32_t cp = decode(p, end, &consumed);
    if (cp < 0) break;
    p += consumed;
    uint32_t c = static_cast<uint32_t>(cp);
    if (crlf && drop_folded_cr(&c, p, end)) continue;
    sink.put(c);
  }
  if (remain) *remain = static_cast<uint32_t>(end - p);
  return sink.node();
}

// Encodes n characters stored in `unit` as UTF-8 at w; with crlf each LF becomes
// CR LF. Returns the position after the text.
uint8_t* encode_utf8(const uint8_t* p, uint32_t unit, uint32_t n, uint8_t* w, bool crlf) {
  for (uint32_t i = 0; i < n; i++, p += unit) {
    uint32_t cp = string::get_char(p, unit);
    if (crlf && cp == '\n') *w++ = '\r';
    w += cp_to_utf8(cp, w);
  }
  return w;
}

// The characters to convert from a string's head: all, or the first `limit` when
// limit >= 0.
uint32_t chars_to_convert(const Cell* str, int32_t limit) {
  int32_t n = string::length(str);
  return static_cast<uint32_t>(limit >= 0 && limit < n ? limit : n);
}

const uint8_t* head_address(const Cell* str) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(str));
  return b->head() + uint32_t(string::head_index(str)) * b->unit();
}

uint32_t unit_of(const Cell* str) { return memory::buffer_of(series_cell::node(str))->unit(); }

uint32_t utf16_at(const uint8_t* units, uint32_t i) {
  return uint32_t(units[2 * i]) | uint32_t(units[2 * i + 1]) << 8;
}
void put_utf16(uint8_t* at, uint32_t u) {
  at[0] = static_cast<uint8_t>(u);
  at[1] = static_cast<uint8_t>(u >> 8);
}
bool is_high_surrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Every high surrogate is followed by a low one and no low one stands alone.
void check_surrogate_pairs(const uint8_t* units, uint32_t count) {
  for (uint32_t i = 0; i < count; i++) {
    uint32_t u = utf16_at(units, i);
    if (is_high_surrogate(u) && i + 1 < count && is_low_surrogate(utf16_at(units, i + 1))) {
      i++;
    } else if (is_surrogate(u)) {
      raise_invalid_utf16(units + 2 * i, size_t(count - i) * 2);
    }
  }
}

template <uint32_t From, uint32_t To>
void widen_backward(uint8_t* dst, const uint8_t* src, uint32_t n) {
  for (uint32_t i = n; i-- > 0;) string::put_char(dst + i * To, To, string::get_char(src + i * From, From));
}

SeriesBuffer* widen_in_place(SeriesBuffer* b, uint32_t to) {
  uint32_t from = b->unit();
  uint32_t n = b->length();
  uint64_t needed = uint64_t(n) * to + to;   // the wider text and one more unit
  if (b->offset + needed > b->size) b = memory::expand_series_copy(b, int64_t(needed));
  widen_units(b->head(), to, b->head(), from, n);
  b->flags = (b->flags & ~FLAG_UNIT_MASK) | to;
  b->tail = b->offset + n * to;
  return b;
}

}  // namespace

void init() {
  scratch_node = memory::alloc_bytes(256);
  Cell* keep = memory::alloc_tail_cell(runtime::root_block);
  cell::set(keep, T_BINARY, 0, scratch_node, 0);
}

void raise_invalid_utf8(const uint8_t* at, size_t available) {
  raise_with_bytes(err::access::INVALID_UTF8, at, available);
}

void raise_invalid_utf16(const uint8_t* at, size_t available) {
  raise_with_bytes(err::script::INVALID_DATA, at, available);
}

// --- UTF-8 in -----------------------------------------------------------------------

const uint8_t* decode_utf8_char(const uint8_t* p, const uint8_t* end, uint32_t* cp) {
  uint32_t state = ACCEPT;
  uint32_t code = 0;
  while (p < end) {
    uint32_t byte = *p++;
    uint32_t type = UTF8_AUTOMATON[byte];
    code = state != ACCEPT ? (byte & 0x3Fu) | (code << 6) : (0xFFu >> type) & byte;
    state = UTF8_AUTOMATON[256 + state + type];
    if (state == ACCEPT) {
      *cp = code;
      return p;
    }
    if (state == REJECT) break;
  }
  *cp = INVALID;
  return p;
}

int utf8_char_size(uint8_t lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 0;
}

const uint8_t* skip_utf8_chars(const uint8_t* p, const uint8_t* end, int32_t n) {
  for (; n > 0 && p < end; n--) {
    int size = utf8_char_size(*p);
    p += end - p < size ? end - p : (size ? size : 1);
  }
  return p;
}

int32_t count_utf8_chars(const uint8_t* start, const uint8_t* end) {
  int32_t count = 0;
  for (const uint8_t* p = start; p < end; count++) p = skip_utf8_chars(p, end, 1);
  return count;
}

int32_t decode_utf8_char_checked(const uint8_t* p, uint32_t* available) {
  uint32_t have = *available;
  if (have == 0) return -1;
  uint32_t lead = p[0];
  if (lead < 0x80) {
    *available = 1;
    return static_cast<int32_t>(lead);
  }
  if (lead < 0xC0 || lead >= 0xF8) raise_invalid_utf8(p, have);
  uint32_t length = static_cast<uint32_t>(utf8_char_size(static_cast<uint8_t>(lead)));
  uint32_t present = length < have ? length : have;
  uint32_t cp = lead & (0x7Fu >> length);
  for (uint32_t i = 1; i < present; i++) {
    if ((p[i] & 0xC0) != 0x80) raise_invalid_utf8(p, have);
    cp = cp << 6 | (p[i] & 0x3Fu);
  }
  if (!can_complete(cp, length, length - present)) raise_invalid_utf8(p, have);
  if (present < length) return -1;
  *available = length;
  return static_cast<int32_t>(cp);
}

NodeRef load_utf8_buffer(const uint8_t* bytes, uint32_t length, Cell* target, uint32_t* remain,
                         bool crlf) {
  const uint8_t* p = bytes;
  const uint8_t* end = bytes + length;
  if (length >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3;
  return load_bytes(p, end, target, remain, crlf, length,
                    [](const uint8_t* at, const uint8_t* stop, uint32_t* consumed) {
                      *consumed = static_cast<uint32_t>(stop - at);
                      return decode_utf8_char_checked(at, consumed);
                    });
}

NodeRef load_utf8(const uint8_t* bytes, uint32_t length, Cell* target) {
  return load_utf8_buffer(bytes, length, target, nullptr, false);
}

// --- UTF-8 out ----------------------------------------------------------------------

int cp_to_utf8_size(uint32_t cp) {
  if (cp <= 0x7F) return 1;
  if (cp <= 0x7FF) return 2;
  if (cp <= 0xFFFF) return 3;
  if (cp <= MAX_CODE_POINT) return 4;
  raise_invalid_char(cp);
}

int cp_to_utf8(uint32_t cp, uint8_t* dst) {
  int size = cp_to_utf8_size(cp);
  if (size == 1) {
    dst[0] = static_cast<uint8_t>(cp);
    return 1;
  }
  constexpr uint8_t lead_marks[] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (int i = size - 1; i > 0; i--, cp >>= 6) dst[i] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
  dst[0] = static_cast<uint8_t>(lead_marks[size] | cp);
  return size;
}

int cp_to_utf8_limited(uint32_t cp, uint8_t* dst, int32_t budget) {
  if (budget <= 0) return 0;
  uint8_t sequence[4];
  int size = cp_to_utf8(cp, sequence);
  int n = size < budget ? size : budget;
  std::memcpy(dst, sequence, size_t(n));
  return n;
}

int64_t utf8_size_of_units(const uint8_t* start, const uint8_t* end, uint32_t unit) {
  int64_t total = 0;
  for (const uint8_t* p = start; p < end; p += unit) total += cp_to_utf8_size(string::get_char(p, unit));
  return total;
}

const char* to_utf8_crlf(const Cell* str, int32_t* length, bool crlf) {
  uint32_t n = chars_to_convert(str, *length);
  uint32_t unit = unit_of(str);
  uint8_t* out = scratch(uint64_t(unit == 4 ? 4 : unit + 1) * (n + 1));
  uint8_t* w = encode_utf8(head_address(str), unit, n, out, crlf);
  *w = 0;
  *length = static_cast<int32_t>(w - out);
  return reinterpret_cast<const char*>(out);
}

const char* to_utf8(const Cell* str, int32_t* length) { return to_utf8_crlf(str, length, false); }

uint32_t to_utf8_buffer(const Cell* str, uint8_t* dst, int32_t limit, bool terminate) {
  uint8_t* w = encode_utf8(head_address(str), unit_of(str), chars_to_convert(str, limit), dst, false);
  if (terminate) *w = 0;
  return static_cast<uint32_t>(w - dst);
}

uint32_t to_utf8_buffer_limited(const Cell* str, uint8_t* dst, int32_t budget, int32_t limit,
                                bool terminate) {
  if (terminate) budget--;
  uint32_t unit = unit_of(str);
  uint32_t n = chars_to_convert(str, limit);
  const uint8_t* p = head_address(str);
  int32_t written = 0;
  for (uint32_t i = 0; i < n && written < budget; i++, p += unit)
    written += cp_to_utf8_limited(string::get_char(p, unit), dst + written, budget - written);
  if (terminate && budget >= 0) dst[written] = 0;
  return static_cast<uint32_t>(written);
}

// --- widening -------------------------------------------------------------------------

void widen_units(uint8_t* dst, uint32_t to_unit, const uint8_t* src, uint32_t from_unit, uint32_t n) {
  if (from_unit == to_unit && (to_unit == 1 || to_unit == 2 || to_unit == 4)) {
    std::memmove(dst, src, size_t(n) * to_unit);
  } else if (from_unit == 1 && to_unit == 2) {
    widen_backward<1, 2>(dst, src, n);
  } else if (from_unit == 1 && to_unit == 4) {
    widen_backward<1, 4>(dst, src, n);
  } else if (from_unit == 2 && to_unit == 4) {
    widen_backward<2, 4>(dst, src, n);
  } else {
    string::bad_unit();
  }
}

SeriesBuffer* latin1_to_ucs2(SeriesBuffer* buffer) { return widen_in_place(buffer, 2); }
SeriesBuffer* latin1_to_ucs4(SeriesBuffer* buffer) { return widen_in_place(buffer, 4); }
SeriesBuffer* ucs2_to_ucs4(SeriesBuffer* buffer) { return widen_in_place(buffer, 4); }

// --- UTF-16LE -----------------------------------------------------------------------

uint32_t utf16_unit_needed(const uint8_t* units, uint32_t count) {
  uint32_t unit = 1;
  for (uint32_t i = 0; i < count; i++) {
    uint8_t high = units[2 * i + 1];
    if (high >= 0xD8 && high <= 0xDF) return 4;
    if (high) unit = 2;
  }
  return unit;
}

int64_t utf16_extra_size(const uint8_t* start, const uint8_t* end, uint32_t unit) {
  int64_t extra = 0;
  for (const uint8_t* p = start; p < end; p += unit) {
    uint32_t cp = string::get_char(p, unit);
    if (cp == '\n' || cp > 0xFFFF) extra += 2;
  }
  return extra;
}

NodeRef load_utf16(const uint8_t* units, uint32_t count, Cell* target, bool crlf) {
  uint32_t unit = utf16_unit_needed(units, count);
  if (unit == 4) check_surrogate_pairs(units, count);
  TextSink sink(target, count, unit, count * 2);
  for (uint32_t i = 0; i < count; i++) {
    uint32_t cp = utf16_at(units, i);
    if (crlf && cp == '\r') continue;
    if (is_high_surrogate(cp)) cp = 0x10000 + ((cp & 0x3FF) << 10 | (utf16_at(units, ++i) & 0x3FF));
    sink.put(cp);
  }
  return sink.node();
}

uint8_t* latin1_to_utf16(const char* bytes, uint8_t* dst) {
  uint8_t* w = dst;
  for (; *bytes; bytes++, w += 2) put_utf16(w, static_cast<unsigned char>(*bytes));
  put_utf16(w, 0);
  return dst;
}

int cp_to_utf16(uint32_t cp, uint8_t* dst) {
  if (cp < 0x10000) {
    put_utf16(dst, cp);
    return 1;
  }
  if (cp > MAX_CODE_POINT) return 0;
  put_utf16(dst, 0xD800 + ((cp - 0x10000) >> 10));
  put_utf16(dst + 2, 0xDC00 + (cp & 0x3FF));
  return 2;
}

const uint8_t* to_utf16_len(const Cell* str, int32_t* length, bool crlf) {
  uint32_t n = chars_to_convert(str, *length);
  uint32_t unit = unit_of(str);
  const uint8_t* head = head_address(str);
  uint64_t bytes = uint64_t(n) * 2 + 2 + uint64_t(utf16_extra_size(head, head + n * unit, unit));
  uint8_t* out = scratch(bytes);
  head = head_address(str);
  uint8_t* w = out;
  for (uint32_t i = 0; i < n; i++, head += unit) {
    uint32_t cp = string::get_char(head, unit);
    if (cp > MAX_CODE_POINT) return nullptr;
    if (crlf && cp == '\n') w += 2 * cp_to_utf16('\r', w);
    w += 2 * cp_to_utf16(cp, w);
  }
  put_utf16(w, 0);
  *length = static_cast<int32_t>((w - out) / 2);
  return out;
}

const uint8_t* to_utf16(const Cell* str) {
  int32_t length = -1;
  return to_utf16_len(str, &length, false);
}

// --- single-byte code page ------------------------------------------------------------

NodeRef load_cp1251(const uint8_t* bytes, uint32_t length, Cell* target, bool crlf) {
  return load_bytes(bytes, bytes + length, target, nullptr, crlf, length,
                    [](const uint8_t* at, const uint8_t*, uint32_t* consumed) {
                      *consumed = 1;
                      return static_cast<int32_t>(*at < 0x80 ? *at : CP1251[*at - 0x80]);
                    });
}

// Runs of ASCII are copied without decoding: the text may be hundreds of megabytes
// of captured output, mostly ASCII.
void repair_utf8(std::string* bytes) {
  const auto* start = reinterpret_cast<const uint8_t*>(bytes->data());
  const uint8_t* end = start + bytes->size();
  const uint8_t* p = start;
  std::string out;
  bool repaired = false;
  while (p < end) {
    const uint8_t* run = p;
    p = ascii_run_end(p, end);
    if (repaired) out.append(reinterpret_cast<const char*>(run), size_t(p - run));
    if (p == end) break;
    uint32_t cp;
    const uint8_t* next = decode_utf8_char(p, end, &cp);
    if (cp == INVALID && !repaired) {
      repaired = true;
      out.reserve(bytes->size() + 16);
      out.assign(reinterpret_cast<const char*>(start), size_t(p - start));
    }
    if (cp == INVALID) out += "\xEF\xBF\xBD";
    else if (repaired) out.append(reinterpret_cast<const char*>(p), size_t(next - p));
    p = next;
  }
  if (repaired) *bytes = std::move(out);
}

}  // namespace zol::unicode
