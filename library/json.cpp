// The hot steps of the JSON codec, as routine bodies: the decoder's scan of a whole
// document, the in-place resolution of a string's escapes, and the encoder's walk
// over a value. library/json.zol wraps them into load-json and to-json, and builds
// the decoder's error! value from the position the scan reports.
//
// The scan is a recursive descent that follows the decoder's grammar rule for rule,
// including where it records its error position (`mark`, the line count and the
// last line feed) and that backtracking never restores those, so a failed document
// reports the same line, index and column as the grammar would.
#include "library/json.h"

#include <charconv>
#include <string>

#include "library/routines.h"
#include "library/text_cells.h"
#include "platform/platform.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/numeric/floattext.h"

namespace zol::library::json {
namespace {

using Args = Cell* const*;

// Nesting deeper than this is refused as a malformed document: deeper than the
// decoder's grammar could follow before its rule stack runs out.
constexpr int MAX_DECODE_DEPTH = 1000;
// A value nested deeper than this (a block that holds itself) ends encoding with
// the stack-overflow error, as unbounded recursion in the interpreter would.
constexpr int MAX_ENCODE_DEPTH = 10000;

// Recursion stops while this much native stack is left, so that the error can
// still be built and reported.
#if defined(ZOL_SANITIZE)
constexpr uintptr_t NATIVE_STACK_MARGIN = uintptr_t(2) << 20;
#else
constexpr uintptr_t NATIVE_STACK_MARGIN = uintptr_t(256) << 10;
#endif

bool native_stack_low() {
  thread_local uintptr_t limit = 0;
  if (!limit) limit = platform::current_stack_bounds().low + NATIVE_STACK_MARGIN;
  return reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < limit;
}

bool is_hex(uint32_t c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

uint32_t hex_value(uint32_t c) {
  if (c <= '9') return c - '0';
  return (c | 0x20) - 'a' + 10;
}

// Resolves the escapes of a string body the grammar accepted (every backslash is
// followed by a valid escape). A surrogate escape without its other half has no
// code point to stand for: false.
bool unescape_into(const std::u32string& body, std::u32string& out) {
  out.clear();
  size_t i = 0, n = body.size();
  while (i < n) {
    char32_t c = body[i++];
    if (c != '\\' || i >= n) {
      out.push_back(c);
      continue;
    }
    char32_t e = body[i++];
    switch (e) {
      case 'b': out.push_back(0x08); continue;
      case 'f': out.push_back(0x0C); continue;
      case 'n': out.push_back(0x0A); continue;
      case 'r': out.push_back(0x0D); continue;
      case 't': out.push_back(0x09); continue;
      case 'u': break;
      default: out.push_back(e); continue;
    }
    auto read4 = [&](size_t at, uint32_t* unit) {
      if (at + 4 > n) return false;
      uint32_t v = 0;
      for (size_t k = at; k < at + 4; ++k) {
        if (!is_hex(body[k])) return false;
        v = v << 4 | hex_value(body[k]);
      }
      *unit = v;
      return true;
    };
    uint32_t unit = 0;
    if (!read4(i, &unit)) return false;
    i += 4;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      uint32_t low = 0;
      if (i + 6 > n || body[i] != '\\' || body[i + 1] != 'u' || !read4(i + 2, &low) ||
          low < 0xDC00 || low > 0xDFFF)
        return false;
      i += 6;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    out.push_back(unit);
  }
  return true;
}

// --- the decoder -------------------------------------------------------------------------------

// Thrown out of the scan when the document is refused; the position fields tell
// where.
struct Refused {};

bool is_word_char(uint32_t c) {
  switch (c) {
    case '/': case '\\': case '^': case ',': case '[': case ']': case '(': case ')':
    case '{': case '}': case '"': case '#': case '%': case '$': case '@': case ':':
    case ';': case '\n': case 0xA0: case ' ': case '\t': case '\r': case '<': case '>':
      return false;
    default: return true;
  }
}

bool is_word_first(uint32_t c) {
  return is_word_char(c) && !(c >= '0' && c <= '9') && c != '\'';
}

class Decoder {
 public:
  Decoder(const uint8_t* data, uint32_t unit, int32_t length)
      : data_(data), unit_(unit), n_(length) {}

  // The decoded document, or Refused.
  Cell document() {
    Cell v = value();
    if (pos_ != n_) throw Refused{};
    return v;
  }

  int32_t line = 1;
  int32_t mark = 0;
  int32_t last_lf = 0;

 private:
  uint32_t at(int32_t i) const { return string::get_char(data_ + size_t(i) * unit_, unit_); }
  bool more() const { return pos_ < n_; }
  uint32_t peek() const { return more() ? at(pos_) : 0xFFFFFFFFu; }

  void skip_ws() {
    while (more()) {
      uint32_t c = at(pos_);
      if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '\n') {
        ++pos_;
        ++line;
        last_lf = mark = pos_;
      } else {
        return;
      }
    }
  }

  bool literal(const char* text) {
    int32_t p = pos_;
    for (const char* t = text; *t; ++t, ++p)
      if (p >= n_ || at(p) != uint32_t(uint8_t(*t))) return false;
    pos_ = p;
    return true;
  }

  // A string literal's decoded text (the grammar's body check, then unescape).
  std::u32string& string_literal() {
    if (peek() != '"') throw Refused{};
    ++pos_;
    body_.clear();
    for (;;) {
      if (!more()) throw Refused{};
      uint32_t c = at(pos_);
      if (c == '"') break;
      if (c < 0x20) throw Refused{};
      if (c == '\\') {
        if (pos_ + 1 >= n_) throw Refused{};
        uint32_t e = at(pos_ + 1);
        if (e == 'u') {
          if (pos_ + 6 > n_) throw Refused{};
          for (int32_t k = pos_ + 2; k < pos_ + 6; ++k)
            if (!is_hex(at(k))) throw Refused{};
          for (int32_t k = pos_; k < pos_ + 6; ++k) body_.push_back(at(k));
          pos_ += 6;
          continue;
        }
        if (e != '"' && e != 't' && e != '\\' && e != '/' && e != 'n' && e != 'r' &&
            e != 'b' && e != 'f')
          throw Refused{};
        body_.push_back(c);
        body_.push_back(e);
        pos_ += 2;
        continue;
      }
      body_.push_back(c);
      ++pos_;
    }
    ++pos_;
    if (!unescape_into(body_, text_)) throw Refused{};
    return text_;
  }

  Cell number() {
    std::string digits;
    auto digit = [&] { return more() && at(pos_) >= '0' && at(pos_) <= '9'; };
    auto take = [&] { digits.push_back(char(at(pos_++))); };
    if (peek() == '-') take();
    if (!digit()) throw Refused{};
    if (at(pos_) == '0') {
      take();
    } else {
      while (digit()) take();
    }
    bool whole = true;
    if (peek() == '.' && pos_ + 1 < n_ && at(pos_ + 1) >= '0' && at(pos_ + 1) <= '9') {
      whole = false;
      take();
      while (digit()) take();
    }
    if (peek() == 'e' || peek() == 'E') {
      int32_t p = pos_ + 1;
      if (p < n_ && (at(p) == '+' || at(p) == '-')) ++p;
      if (p < n_ && at(p) >= '0' && at(p) <= '9') {
        whole = false;
        while (pos_ < p) take();
        while (digit()) take();
      }
    }
    const char* b = digits.data();
    const char* e = b + digits.size();
    if (whole) {
      int32_t i = 0;
      auto r = std::from_chars(b, e, i);
      if (r.ec == std::errc() && r.ptr == e) return values::integer(i);
    }
    // Beyond the double range the text reads as an infinity, as the lexer reads it.
    int unconsumed = 0;
    Cell out;
    float_::make_at(&out, float_text::from_text(b, e, 0, &unconsumed));
    return out;
  }

  void enter() {
    if (++depth_ > MAX_DECODE_DEPTH || native_stack_low()) throw Refused{};
  }

  Cell array() {
    enter();
    ++pos_;
    skip_ws();
    Cell blk;
    block::make_at(&blk, 4);
    if (peek() != ']') {
      // A value consumes the white space after it, so a separator is just ",".
      Cell v = value();
      block::append(&blk, &v);
      while (peek() == ',') {
        ++pos_;
        v = value();
        block::append(&blk, &v);
      }
    }
    if (peek() != ']') throw Refused{};
    ++pos_;
    --depth_;
    return blk;
  }

  Cell name() {
    skip_ws();
    std::u32string& text = string_literal();
    skip_ws();
    if (peek() != ':') throw Refused{};
    ++pos_;
    mark = pos_;
    bool word = !text.empty() && is_word_first(text[0]);
    for (size_t i = 1; word && i < text.size(); ++i) word = is_word_char(text[i]);
    if (!word) return text::make_string(text);
    std::string utf8;
    for (char32_t c : text) text::append_utf8(utf8, c);
    return Cell{T_WORD, 0, symbol::make_len(reinterpret_cast<const uint8_t*>(utf8.data()),
                                            static_cast<uint32_t>(utf8.size())),
                0xFFFFFFFFu};
  }

  Cell object() {
    enter();
    ++pos_;
    skip_ws();
    Cell pairs;
    block::make_at(&pairs, 8);
    if (peek() != '}') {
      Cell k = name();
      block::append(&pairs, &k);
      Cell v = value();
      block::append(&pairs, &v);
      while (peek() == ',') {
        ++pos_;
        k = name();
        block::append(&pairs, &k);
        v = value();
        block::append(&pairs, &v);
      }
    }
    if (peek() != '}') throw Refused{};
    ++pos_;
    --depth_;
    Cell m;
    map::make_over(&m, &pairs);
    return m;
  }

  Cell value() {
    skip_ws();
    Cell v;
    uint32_t c = peek();
    if (c == 't' && literal("true")) {
      v = values::logic(true);
    } else if (c == 'f' && literal("false")) {
      v = values::logic(false);
    } else if (c == 'n' && literal("null")) {
      v = Cell{T_NONE, 0, 0, 0};
    } else if (c == '{') {
      v = object();
    } else if (c == '[') {
      v = array();
    } else if (c == '"') {
      v = text::make_string(string_literal());
    } else {
      v = number();
    }
    mark = pos_;
    skip_ws();
    return v;
  }

  const uint8_t* data_;
  uint32_t unit_;
  int32_t n_;
  int32_t pos_ = 0;
  int depth_ = 0;
  std::u32string body_, text_;
};

// json-decode input: the decoded value in a one-value block, or on a refused
// document the block [line index column] of where the grammar stopped: the index
// counted as index? counts a position in the input's buffer, the column from the
// last line feed.
const Cell* json_decode(Args a) {
  Cell* input = a[0];
  int32_t length = string::clip_length(input);
  int32_t head = string::head_index(input);
  Decoder d(string::clip_head_bytes(input), series::buffer(input)->unit(), length);
  Cell out;
  try {
    Cell v = d.document();
    block::make_at(&out, 1);
    block::append(&out, &v);
  } catch (const Refused&) {
    block::make_at(&out, 3);
    Cell c = values::integer(d.line);
    block::append(&out, &c);
    c = values::integer(head + d.mark + 1);
    block::append(&out, &c);
    c = values::integer(d.mark - d.last_lf);
    block::append(&out, &c);
  }
  return answer(out);
}

// unescape str: resolves the string's escapes in place. A surrogate escape without
// its other half raises invalid-data with the string.
const Cell* unescape(Args a) {
  Cell* s = a[0];
  std::u32string body = text::code_points(s);
  std::u32string text;
  if (!unescape_into(body, text)) fire(err::script::INVALID_DATA, s);
  int32_t head = string::head_index(s);
  SeriesBuffer* b = string::truncate(series::buffer(s), static_cast<uint32_t>(head));
  for (char32_t c : text) b = string::append_char(b, c);
  return s;
}

// --- the encoder -------------------------------------------------------------------------------

struct EncodeOptions {
  std::u32string indent;  // the indentation unit
  bool pretty = false;
  bool ascii = false;
};

class Encoder {
 public:
  explicit Encoder(const EncodeOptions& how) : how_(how) {}

  void value(const Cell* v) {
    switch (v->type()) {
      case T_NONE: out_ += "null"; return;
      case T_LOGIC: out_ += v->w1 ? "true" : "false"; return;
      case T_INTEGER: integer(cell::get_int(v)); return;
      case T_FLOAT:
      case T_PERCENT: number(v); return;
      case T_STRING: {
        Cell s = *v;
        text(&s);
        return;
      }
      case T_MAP: map(v); return;
      case T_OBJECT: object(v); return;
      default: break;
    }
    if (is_block_kind(v->type())) {
      list(v);
    } else if (series::is_any_string(v->type())) {
      Cell s = actions::form_to_string(v);
      text(&s);
    } else {
      Cell s = actions::mold_to_string(v);
      text(&s);
    }
  }

  std::string& output() { return out_; }

 private:
  static bool is_block_kind(uint8_t t) {
    return t == T_BLOCK || t == T_PAREN || t == T_PATH || t == T_SET_PATH || t == T_GET_PATH ||
           t == T_LIT_PATH || t == T_HASH;
  }

  void enter() {
    if (++depth_ > MAX_ENCODE_DEPTH || native_stack_low()) stack::overflow();
  }

  void integer(int32_t i) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, i);
    out_.append(buf, r.ptr);
  }

  // A float is written with the shortest digits that read back to the same double
  // (its mold text): the form text rounds to fewer digits and writes tiny values as
  // 0.0, which would lose data on the way through JSON. A percent is written as its
  // float (50% is 0.5).
  void number(const Cell* v) {
    double d = float_::get(v);
    if (d - d != 0) {  // infinities and NaN have no JSON form
      out_ += "null";
      return;
    }
    char buf[float_text::TEXT_CAPACITY];
    int n = float_text::form_buffer(buf, d, 0, true);
    out_.append(buf, n);
  }

  bool normal(uint32_t c) const {
    if (c < 32 || c == '"' || c == '\\') return false;
    return !how_.ascii || c <= 127;
  }

  void hex4(uint32_t u) {
    static const char digits[] = "0123456789ABCDEF";
    out_ += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out_.push_back(digits[(u >> shift) & 0xF]);
  }

  void text(Cell* s) {
    int32_t n = string::clip_length(s);
    const uint8_t* at = string::clip_head_bytes(s);
    uint32_t unit = series::buffer(s)->unit();
    out_.push_back('"');
    for (int32_t i = 0; i < n; ++i, at += unit) character(string::get_char(at, unit));
    out_.push_back('"');
  }

  // A symbol's name as a JSON string: read from its UTF-8 text, so that writing
  // a word key allocates nothing.
  void name(uint32_t symbol) {
    const auto* p = reinterpret_cast<const uint8_t*>(symbol::get_c_string(symbol));
    const uint8_t* end = p + symbol::name_length(symbol);
    out_.push_back('"');
    while (p < end) {
      uint32_t c = *p++;
      int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
      if (more) c &= 0x3Fu >> more;
      for (; more > 0 && p < end; --more) c = c << 6 | (*p++ & 0x3Fu);
      character(c);
    }
    out_.push_back('"');
  }

  void character(uint32_t c) {
    if (normal(c)) {
      text::append_utf8(out_, c);
      return;
    }
    switch (c) {
      case '"': out_ += "\\\""; return;
      case '\\': out_ += "\\\\"; return;
      case 0x08: out_ += "\\b"; return;
      case 0x0C: out_ += "\\f"; return;
      case '\n': out_ += "\\n"; return;
      case '\r': out_ += "\\r"; return;
      case '\t': out_ += "\\t"; return;
      default: break;
    }
    if (c <= 0xFFFF) {
      hex4(c);
    } else {
      uint32_t u = c - 0x10000;
      hex4((u >> 10) + 0xD800);
      hex4((u & 1023) + 0xDC00);
    }
  }

  void newline_indent() {
    out_.push_back('\n');
    for (int i = 0; i < level_; ++i)
      for (char32_t c : how_.indent) text::append_utf8(out_, c);
  }

  // The separator before an item: none before the first; compact ","; pretty
  // a line break and the indentation.
  void open(char bracket) {
    out_.push_back(bracket);
    if (how_.pretty) {
      ++level_;
      newline_indent();
    }
  }

  void next_item() {
    out_.push_back(',');
    if (how_.pretty) newline_indent();
  }

  void close(char bracket) {
    if (how_.pretty) {
      --level_;
      newline_indent();
    }
    out_.push_back(bracket);
  }

  void list(const Cell* v) {
    Cell blk = *v;
    cell::set_type(&blk, T_BLOCK);
    int32_t n = block::length(&blk);
    int32_t head = series::head_index(&blk);
    if (n <= 0) {
      out_ += "[]";
      return;
    }
    enter();
    open('[');
    for (int32_t i = 0; i < n; ++i) {
      if (i) next_item();
      Cell item = *block::cell_at(&blk, head + i);
      value(&item);
    }
    close(']');
    --depth_;
  }

  void key(const Cell* k) {
    if (k->type() >= T_WORD && k->type() <= T_ISSUE) {
      name(word_cell::symbol(k));
    } else if (k->is(T_STRING)) {
      Cell s = *k;
      text(&s);
    } else {
      Cell s = actions::mold_to_string(k);
      text(&s);
    }
    out_ += how_.pretty ? ": " : ":";
  }

  void map(const Cell* m) {
    if (map::count(m) == 0) {
      out_ += "{}";
      return;
    }
    enter();
    Cell pairs{T_BLOCK, 0, m->w2, 0};
    int32_t n = block::length(&pairs);
    bool first = true;
    open('{');
    for (int32_t i = 0; i + 1 < n; i += 2) {
      Cell k = *block::cell_at(&pairs, i);
      Cell v = *block::cell_at(&pairs, i + 1);
      if (v.header == 0) continue;  // a removed pair
      if (!first) next_item();
      first = false;
      key(&k);
      value(&v);
    }
    close('}');
    --depth_;
  }

  void object(const Cell* source) {
    // reflect may leave its result in the cell it is given.
    Cell obj = *source;
    Cell scratch = obj;
    Cell words = *actions::reflect_typed(&scratch, words::words_);
    int32_t n = block::length(&words);
    if (n <= 0) {
      out_ += "{}";
      return;
    }
    enter();
    open('{');
    for (int32_t i = 0; i < n; ++i) {
      if (i) next_item();
      Cell k = *block::cell_at(&words, series::head_index(&words) + i);
      key(&k);
      Cell v = *object::value_of(&obj, word_cell::symbol(&k));
      value(&v);
    }
    close('}');
    --depth_;
  }

  const EncodeOptions& how_;
  std::string out_;
  int depth_ = 0;
  int level_ = 0;
};

// json-encode data indent ascii?: the JSON text of the value; indent is none for
// compact output.
const Cell* json_encode(Args a) {
  EncodeOptions how;
  if (a[1]->is(T_STRING)) {
    how.pretty = true;
    how.indent = text::code_points(a[1]);
  }
  how.ascii = a[2]->is(T_LOGIC) && a[2]->w1 != 0;
  Encoder e(how);
  e.value(a[0]);
  std::string& text = e.output();
  Cell out;
  string::load(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()),
               &out, string::ENCODING_UTF8);
  return answer(out);
}

}  // namespace

void init() {
  routine::add_entry("json-decode", json_decode, 1);
  routine::add_entry("json-unescape", unescape, 1);
  routine::add_entry("json-encode", json_encode, 3);
}

}  // namespace zol::library::json
