// The parse engine's leaf operations on block, text and binary! input: literal
// and type matching, the repeated literal and the forward search (see match.h).
#include "parse/match.h"

#include <string>

#include "interpreter/lexer/load.h"
#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/typeset.h"

namespace zol::parse {
namespace {

Cell at_index(const Cell& input, int32_t index) {
  Cell c = input;
  series_cell::set_head(&c, index);
  return c;
}

// --- block input --------------------------------------------------------------------

bool cell_matches(const Cell& item, const Cell& value, bool exact) {
  // A lit-word rule meets a word of any word type with the same spelling.
  if (value.is(T_LIT_WORD)) {
    if (!word_cell::is_word(&item)) return false;
    uint32_t have = word_cell::symbol(&item), want = word_cell::symbol(&value);
    return exact ? have == want : symbol::resolve(have) == symbol::resolve(want);
  }
  int op = value.is(T_LIT_PATH) ? (exact ? C_WORD_CASE : C_WORD)
                                : (exact ? C_STRICT_EQUAL : C_EQUAL);
  return actions::compare(&item, &value, op);
}

Cell cell_at(const Cell& input, int32_t index) {
  return memory::buffer_of(series_cell::node(&input))->cells()[index];
}

// --- text input ---------------------------------------------------------------------

bool is_text_value(uint8_t t) { return series::is_any_string(t); }

// Units a matched text literal covers: a tag's brackets count.
int32_t advance_of(const Cell& value) {
  if (value.is(T_CHAR) || value.is(T_BITSET)) return 1;
  if (value.is(T_TAG)) return string::length(&value) + 2;
  if (value.is(T_BINARY)) return binary::length(&value);
  return string::length(&value);
}

bool char_matches(uint32_t have, uint32_t want, bool exact) {
  return have == want || (!exact && string::fold(have, false) == string::fold(want, false));
}

// --- binary! input ------------------------------------------------------------------

// The bytes a literal stands for on binary! input, or false for a value that has
// none (a bitset is tested byte by byte instead).
bool literal_bytes(const Cell& value, std::string* out) {
  if (value.is(T_BINARY)) {
    *out = std::string(reinterpret_cast<const char*>(binary::head_bytes(&value)),
                       size_t(binary::length(&value)));
    return true;
  }
  if (value.is(T_TAG)) {
    *out = "<" + string::to_utf8(&value) + ">";
    return true;
  }
  if (is_text_value(value.type())) {
    *out = string::to_utf8(&value);
    return true;
  }
  if (value.is(T_CHAR) || value.is(T_INTEGER)) {
    uint32_t v = value.is(T_CHAR) ? value.w2 : uint32_t(cell::get_int(&value));
    if (v > 255) return false;
    *out = std::string(1, char(v));
    return true;
  }
  return false;
}

uint8_t fold_byte(uint8_t b, bool exact) {
  return !exact && b >= 'a' && b <= 'z' ? uint8_t(b - 32) : b;
}

bool bytes_at(const uint8_t* at, const std::string& want, bool exact) {
  for (size_t k = 0; k < want.size(); k++)
    if (fold_byte(at[k], exact) != fold_byte(uint8_t(want[k]), exact)) return false;
  return true;
}

const uint8_t* bytes_from(const Cell& input, int32_t index) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(&input));
  return b->head() + index;
}

int32_t match_bytes(const Cell& input, int32_t pos, int32_t end, const Cell& value,
                    bool exact) {
  if (value.is(T_BITSET)) return bitset::has(&value, *bytes_from(input, pos)) ? 1 : -1;
  std::string want;
  if (!literal_bytes(value, &want)) return -1;
  if (int32_t(want.size()) > end - pos) return -1;
  // Exact matching compares binary! values byte for byte whatever the run says.
  bool strict = exact || value.is(T_BINARY);
  return bytes_at(bytes_from(input, pos), want, strict) ? int32_t(want.size()) : -1;
}

// The datatype of the one value the lexer finds at the head of binary! input, and
// the bytes it spans (0 when there is none).
uint8_t scan_value(const Cell& input, int32_t pos, int32_t end, int32_t* span) {
  lexer::Request request;
  request.one = true;
  request.load = false;
  request.wrap = false;
  request.strict = false;
  Cell ignored;
  uint32_t consumed = 0;
  // Copied out first: the scanner may allocate.
  std::string text(reinterpret_cast<const char*>(bytes_from(input, pos)), size_t(end - pos));
  int type = lexer::scan(&ignored, reinterpret_cast<const uint8_t*>(text.data()),
                         uint32_t(text.size()), request, &consumed);
  *span = int32_t(consumed);
  return type > 0 && type <= T_LAST && consumed > 0 ? uint8_t(type) : 0;
}

bool type_in(const Cell& rule, uint8_t type) {
  if (rule.is(T_DATATYPE)) return rule.w1 == type;
  return typeset::has(&rule, type);
}

}  // namespace

InputKind kind_of(const Cell& input) {
  if (block::is_any_block(input.type())) return InputKind::BLOCK;
  if (input.is(T_BINARY)) return InputKind::BYTES;
  return InputKind::TEXT;
}

int32_t match_literal(const Cell& input, int32_t end, const Cell& value, bool exact) {
  int32_t pos = series_cell::head(&input);
  InputKind kind = kind_of(input);
  if (pos >= end) {
    bool empty_text = value.is(T_STRING) || value.is(T_FILE) || value.is(T_URL);
    return kind == InputKind::TEXT && empty_text && string::length(&value) == 0 ? 0 : -1;
  }
  switch (kind) {
    case InputKind::BLOCK:
      return cell_matches(cell_at(input, pos), value, exact) ? 1 : -1;
    case InputKind::BYTES:
      return match_bytes(input, pos, end, value, exact);
    case InputKind::TEXT: {
      Cell here = at_index(input, pos);
      bool hit = value.is(T_BITSET) ? string::char_in_bitset(&here, &value)
                                    : string::match_value(&here, &value,
                                                          exact ? C_STRICT_EQUAL : C_EQUAL);
      if (!hit) return -1;
      int32_t n = advance_of(value);
      return n <= end - pos ? n : -1;
    }
  }
  return -1;
}

int32_t match_type(const Cell& input, int32_t end, const Cell& rule) {
  InputKind kind = kind_of(input);
  if (kind == InputKind::TEXT) fire(err::script::PARSE_UNSUPPORTED);
  int32_t pos = series_cell::head(&input);
  if (pos >= end) return -1;
  if (kind == InputKind::BLOCK) return type_in(rule, cell_at(input, pos).type()) ? 1 : -1;
  int32_t span = 0;
  uint8_t type = scan_value(input, pos, end, &span);
  return type && type_in(rule, type) ? span : -1;
}

int32_t repeat_literal(Cell& input, int32_t end, const Cell& value, bool exact, int32_t max) {
  int32_t count = 0;
  int32_t pos = series_cell::head(&input);
  InputKind kind = kind_of(input);
  bool text_like = kind != InputKind::BLOCK;
  // An empty text value matches at once without moving: one match is all there is.
  bool plain_text = (is_text_value(value.type()) && !value.is(T_TAG)) || value.is(T_BINARY);
  if (text_like && plain_text && advance_of(value) == 0) return pos < end ? 1 : 0;
  if (kind == InputKind::TEXT && (value.is(T_CHAR) || value.is(T_BITSET))) {
    // The common case, kept tight: one character at a time.
    string::Text text = string::view(&input);   // from the head
    int32_t room = end - pos;
    bool is_char = value.is(T_CHAR);
    while (count < room && (max < 0 || count < max)) {
      uint32_t cp = text[count];
      bool hit = is_char ? char_matches(cp, value.w2, exact) : bitset::has(&value, cp);
      if (!hit) break;
      count++;
    }
    series_cell::set_head(&input, pos + count);
    return count;
  }
  while (max < 0 || count < max) {
    int32_t n = match_literal(input, end, value, exact);
    if (n <= 0) break;
    count++;
    pos += n;
    series_cell::set_head(&input, pos);
  }
  return count;
}

Found search_literal(const Cell& input, int32_t end, const Cell& value, bool exact) {
  int32_t pos = series_cell::head(&input);
  InputKind kind = kind_of(input);
  if (kind != InputKind::BLOCK) {
    bool allowed = is_text_value(value.type()) || value.is(T_BINARY) || value.is(T_CHAR) ||
                   value.is(T_BITSET) || (kind == InputKind::BYTES && value.is(T_INTEGER));
    if (!allowed || (kind == InputKind::TEXT && value.is(T_BINARY)))
      fire(err::script::PARSE_RULE, &value);
  }
  if (kind == InputKind::TEXT && (value.is(T_CHAR) || value.is(T_BITSET))) {
    string::Text text = string::view(&input);
    bool is_char = value.is(T_CHAR);
    for (int32_t k = 0; k < end - pos; k++) {
      uint32_t cp = text[k];
      if (is_char ? char_matches(cp, value.w2, exact) : bitset::has(&value, cp))
        return {pos + k, 1};
    }
    return {-1, 0};
  }
  Cell probe = input;
  for (int32_t at = pos; at < end; at++) {
    series_cell::set_head(&probe, at);
    int32_t n = match_literal(probe, end, value, exact);
    if (n >= 0) return {at, n};
  }
  return {-1, 0};
}

int32_t next_alternative(const Cell& rules, int32_t from) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(&rules));
  int32_t tail = int32_t(b->length());
  const Cell* cells = b->cells();
  for (int32_t i = from; i < tail; i++)
    if (cells[i].is(T_WORD) && word_cell::symbol(&cells[i]) == words::bar) return i;
  return -1;
}

}  // namespace zol::parse
