// binary! storage, conversions, its "#{...}" text, comparison, the bitwise
// actions, the editing actions (append, insert, change, trim) and its
// registration. Everything else a series does comes from string!, which reads a
// binary! buffer as unit-1 text.
//
// An edit first gathers the bytes of its value into a std::string (plain bytes,
// nothing the collector needs to see), then opens or closes a gap in the buffer
// once; the buffer is re-read from its node after anything that may grow it.
#include "runtime/datatypes/binary/binary.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/basecode.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/text/mold.h"
#include "runtime/text/unicode.h"

namespace zol::binary {

namespace {

using series::buffer;

// The head, moved back to the tail when it lay past it.
int32_t clip_head(Cell* b) {
  series_cell::set_head(b, series::head_index(b));
  return series_cell::head(b);
}

void append_utf8(std::string& out, uint32_t cp) {
  uint8_t bytes[4];
  int n = unicode::cp_to_utf8(cp, bytes);
  out.append(reinterpret_cast<const char*>(bytes), size_t(n));
}

void append_text(std::string& out, const Cell* text, int32_t part) {
  string::Text t = string::view(text);
  int32_t n = part >= 0 ? std::min(part, t.length) : t.length;
  for (int32_t i = 0; i < n; i++) append_utf8(out, t[i]);
}

void append_block(std::string& out, const Cell* blk, int32_t part, bool form_others) {
  int32_t count = block::length(blk);
  if (part >= 0) count = std::min(part, count);
  for (int32_t i = 0; i < count; i++) {
    Cell element = *block::cell_at(blk, series::head_index(blk) + i);
    out += bytes_of(&element, -1, form_others);
  }
}

// Bytes taken from a value are refused once they would not fit a buffer.
void check_size(size_t bytes) {
  if (bytes > MAX_DATA_SIZE) fire(err::internal::NO_MEMORY);
}

}  // namespace

// --- storage -------------------------------------------------------------------------------

Cell* make_at(Cell* cell, uint32_t size) {
  cell::set(cell, T_UNSET);
  *cell = Cell{T_BINARY, 0, memory::alloc_bytes(size == 0 ? 16 : size), 0};
  buffer(cell)->tail = buffer(cell)->offset;
  return cell;
}

Cell* load(const uint8_t* bytes, uint32_t n, Cell* cell) {
  make_at(cell, n);
  SeriesBuffer* b = buffer(cell);
  if (n) std::memcpy(b->head(), bytes, n);
  b->tail = b->offset + n;
  return cell;
}

const uint8_t* head_bytes(const Cell* b) {
  return buffer(b)->head() + series::head_index(b);
}

int32_t length(const Cell* b) { return string::length(b); }

std::string bytes_of(const Cell* value, int32_t part, bool form_others) {
  std::string out;
  switch (value->type()) {
    case T_CHAR: append_utf8(out, value->w2); break;
    case T_INTEGER: {
      int32_t v = cell::get_int(value);
      if (v < -128 || v > 255) fire(err::script::OUT_OF_RANGE, value);
      out.push_back(char(uint8_t(v)));
      break;
    }
    case T_BINARY: {
      int32_t n = length(value);
      out.assign(reinterpret_cast<const char*>(head_bytes(value)),
                 size_t(part >= 0 ? std::min(part, n) : n));
      break;
    }
    case T_BLOCK: case T_PAREN: case T_HASH: append_block(out, value, part, form_others); break;
    case T_TUPLE: {
      int32_t n = tuple::count(value);
      for (int32_t i = 0; i < (part >= 0 ? std::min(part, n) : n); i++)
        out.push_back(char(tuple::element(value, i)));
      break;
    }
    default:
      if (series::is_any_string(value->type())) {
        append_text(out, value, part);
      } else if (form_others) {
        Cell text = actions::form_to_string(value);
        append_text(out, &text, -1);
      } else {
        fire(err::script::INVALID_ARG, value);
      }
  }
  check_size(out.size());
  return out;
}

// --- base coding -----------------------------------------------------------------------------

bool decode_units(const uint8_t* at, size_t n, uint32_t unit, int base, Cell* out) {
  Cell made;   // allocating neither moves nor frees the text read (docs/design.md)
  make_at(&made, uint32_t(decoded_capacity(base, n)));
  SeriesBuffer* b = buffer(&made);
  int64_t written = decode(base, at, n, unit, b->head());
  if (written < 0) return false;
  b->tail = b->offset + uint32_t(written);
  *out = made;
  return true;
}

bool decode_text(const Cell* text, int base, Cell* out) {
  string::Text t = string::view(text);
  return decode_units(t.at, size_t(t.length), t.unit, base, out);
}

void encode_bytes(const uint8_t* bytes, uint32_t n, int base, Cell* out) {
  size_t size = encoded_size(base, n);
  if (size > MAX_DATA_SIZE) fire(err::script::TOO_LONG);
  Cell made;   // allocating neither moves nor frees the bytes read (docs/design.md)
  string::make_at(&made, uint32_t(size));
  SeriesBuffer* b = buffer(&made);
  uint8_t* end = encode(base, b->head(), bytes, n);
  b->tail = b->offset + uint32_t(end - b->head());
  *out = made;
}

namespace {

// --- make and to --------------------------------------------------------------------------------

void append_big_endian(std::string& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; i--) out.push_back(char(uint8_t(v >> (8 * i))));
}

[[noreturn]] void bad_to(const Cell* spec) {
  Cell target = values::of_datatype(T_BINARY);
  fire(err::script::BAD_TO_ARG, &target, spec);
}

std::string converted(const Cell* spec) {
  std::string out;
  switch (spec->type()) {
    case T_INTEGER: append_big_endian(out, uint32_t(cell::get_int(spec)), 4); return out;
    case T_FLOAT: case T_PERCENT:
      append_big_endian(out, std::bit_cast<uint64_t>(cell::get_double(spec)), 8);
      return out;
    case T_ISSUE: {
      Cell decoded;
      if (!decode_text(spec, 16, &decoded)) fire(err::script::INVALID_ARG, spec);
      return bytes_of(&decoded, -1, false);
    }
    case T_BLOCK: case T_PAREN: case T_HASH: return bytes_of(spec, -1, true);
    case T_CHAR: case T_BINARY: case T_TUPLE: return bytes_of(spec, -1, false);
    case T_BITSET: {   // its bit bytes, as stored
      SeriesBuffer* b = buffer(spec);
      return std::string(reinterpret_cast<const char*>(b->head()), b->used_bytes());
    }
    default:
      if (series::is_any_string(spec->type())) return bytes_of(spec, -1, false);
      bad_to(spec);
  }
}

Cell* to(Cell* proto, Cell* spec, int) {
  // An image's pixel words as stored: B, G, R, opacity.
  if (spec->is(T_IMAGE)) return image::extract_data(spec, image::ARGB, proto);
  std::string bytes = converted(spec);
  Cell made;
  load(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()), &made);
  *proto = made;
  return proto;
}

// A number asks for an empty binary! of that capacity; anything else converts.
Cell* make(Cell* proto, Cell* spec, int type) {
  if (!spec->is(T_INTEGER) && !spec->is(T_FLOAT)) return to(proto, spec, type);
  double size = spec->is(T_INTEGER) ? double(cell::get_int(spec)) : cell::get_double(spec);
  if (std::isnan(size)) {
    Cell target = values::of_datatype(T_BINARY);
    fire(err::script::BAD_MAKE_ARG, &target, spec);
  }
  if (size < 0) fire(err::script::OUT_OF_RANGE, spec);
  if (size > MAX_DATA_SIZE) fire(err::internal::NO_MEMORY);
  Cell made;
  make_at(&made, uint32_t(size));
  *proto = made;
  return proto;
}

// --- text --------------------------------------------------------------------------------------

constexpr int32_t LONG_BINARY = 31;   // from this many bytes the digits go on lines of their own
constexpr int32_t BYTES_PER_LINE = 32;

int new_line(Cell* out, int indent, int limit) {
  string::concatenate_literal(out, "\n");
  return mold::indent(out, indent, limit - 1);
}

// The "#{...}" text: two upper-case digits per byte, with a line break before the
// digits of a long binary and after every 32nd byte unless flat.
int serialize(const Cell* value, Cell* out, const MoldOptions& how, int limit) {
  if (!how.only) {
    string::concatenate_literal(out, "#{");
    limit -= 2;
  }
  int32_t n = length(value);
  bool lines = n >= LONG_BINARY && !how.flat;
  if (lines) limit = new_line(out, how.indent + 1, limit);
  bool line_closed = lines;
  for (int32_t i = 0; i < n && !(how.part && limit <= 0); i++) {
    string::concatenate_literal(out, string::byte_to_hex(head_bytes(value)[i]));
    limit -= 2;
    line_closed = false;
    if (lines && (i + 1) % BYTES_PER_LINE == 0) {
      limit = new_line(out, i + 1 < n ? how.indent + 1 : how.indent, limit);
      line_closed = true;
    }
  }
  if (lines && !line_closed) limit = new_line(out, how.indent, limit);
  if (!how.only) {
    string::concatenate_literal(out, "}");
    limit -= 1;
  }
  return limit;
}

int mold(const Cell* value, Cell* out, const MoldOptions& how, int limit) {
  return serialize(value, out, how, limit);
}

int form(const Cell* value, Cell* out, const Cell* part_arg, int limit) {
  return serialize(value, out, {.part = part_arg}, limit);
}

// --- comparison --------------------------------------------------------------------------------

bool prefix_mode(int op) { return op == C_EQUAL || op == C_NOT_EQUAL || op == C_STRICT_EQUAL || op == C_FIND; }

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_BINARY) && !series::is_any_string(b->type())) return COMPARE_NOT_COMPARABLE;
  bool same_place = series_cell::node(a) == series_cell::node(b) &&
                    series::head_index(a) == series::head_index(b);
  if (op == C_SAME) return same_place ? 0 : -1;
  if (!b->is(T_BINARY)) return 1;
  if (same_place && prefix_mode(op)) return 0;
  int32_t na = length(a), nb = length(b);
  if (na != nb && prefix_mode(op)) return 1;
  int order = std::memcmp(head_bytes(a), head_bytes(b), size_t(std::min(na, nb)));
  if (order != 0) return order < 0 ? -1 : 1;
  return na == nb ? 0 : na < nb ? -1 : 1;
}

// --- bitwise -----------------------------------------------------------------------------------

// The result is as long as the longer operand; past the shorter one `and~` gives
// zero bytes and the others copy the longer one's bytes.
template <uint8_t (*Op)(uint8_t, uint8_t), bool ZeroRest>
void bitwise() {
  Cell* a = stack::arg(0);
  Cell* b = stack::arg(1);
  if (!b->is(T_BINARY)) fire(err::script::INVALID_ARG, b);
  std::string x = bytes_of(a, -1, false), y = bytes_of(b, -1, false);
  if (x.size() < y.size()) std::swap(x, y);
  for (size_t i = 0; i < x.size(); i++)
    x[i] = i < y.size() ? char(Op(uint8_t(x[i]), uint8_t(y[i]))) : ZeroRest ? '\0' : x[i];
  Cell made;
  load(reinterpret_cast<const uint8_t*>(x.data()), uint32_t(x.size()), &made);
  *stack::arg(0) = made;
}
uint8_t byte_and(uint8_t a, uint8_t b) { return a & b; }
uint8_t byte_or(uint8_t a, uint8_t b) { return a | b; }
uint8_t byte_xor(uint8_t a, uint8_t b) { return a ^ b; }

Cell* complement(Cell* value) {
  std::string bytes = bytes_of(value, -1, false);
  for (char& c : bytes) c = char(~uint8_t(c));
  load(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()), value);
  return value;
}

// --- editing -----------------------------------------------------------------------------------

// Replaces `removed` bytes at `index` (from the buffer's first byte) with `bytes`.
void splice(Cell* s, int32_t index, int32_t removed, const std::string& bytes) {
  SeriesBuffer* b = buffer(s);
  uint32_t grown = uint32_t(bytes.size()) - std::min(uint32_t(bytes.size()), uint32_t(removed));
  if (uint64_t(b->tail) + grown > b->size)
    b = memory::expand_series_copy(b, int64_t(b->size) * 2 + grown);
  uint8_t* at = b->head() + index;
  uint32_t after = b->used_bytes() - uint32_t(index + removed);
  std::memmove(at + bytes.size(), at + removed, after);
  if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
  b->tail = b->tail - uint32_t(removed) + uint32_t(bytes.size());
}

std::string repeated(const std::string& once, int32_t dup) {
  int32_t dups = std::max(dup, 0);
  check_size(once.size() * size_t(dups));
  std::string all;
  all.reserve(once.size() * size_t(dups));
  for (int32_t i = 0; i < dups; i++) all += once;
  return all;
}

Cell* insert(Cell* s, Cell* value, int32_t part, bool, int32_t dup, bool append) {
  std::string bytes = repeated(bytes_of(value, part, false), dup);
  check_size(bytes.size() + size_t(buffer(s)->used_bytes()));
  if (bytes.empty()) return s;
  series::Edit edit = append ? series::E_APPEND : series::E_INSERT;
  int32_t total = int32_t(bytes.size());
  bool told = series::editing(s, edit, value, clip_head(s), total);
  int32_t at = append ? string::buffer_length(s) : clip_head(s);
  splice(s, at, 0, bytes);
  if (told) series::edited(s, edit, value, at, total);
  series_cell::set_head(s, append ? 0 : at + total);
  return s;
}

Cell* change(Cell* s, Cell* value, int32_t part, bool, int32_t dup) {
  std::string bytes = repeated(bytes_of(value, -1, false), dup);
  int32_t written = int32_t(bytes.size());
  auto replaced_from = [&](int32_t head) {
    return std::min(part >= 0 ? part : written, string::buffer_length(s) - head);
  };
  bool told = series::editing(s, series::E_CHANGE, value, clip_head(s), replaced_from(clip_head(s)));
  int32_t head = clip_head(s);
  int32_t replaced = replaced_from(head);
  check_size(bytes.size() + size_t(buffer(s)->used_bytes()));
  splice(s, head, replaced, bytes);
  if (told) series::edited(s, series::E_CHANGE, value, head, replaced);
  series_cell::set_head(s, head + written);
  return s;
}

// The bytes a trim removes: those of /with, or zero bytes.
struct Removed {
  std::string set;
  bool contains(uint8_t byte) const { return set.find(char(byte)) != std::string::npos; }
};

Removed removed_set(const Cell* with) {
  if (!with) return Removed{std::string(1, '\0')};
  if (with->is(T_CHAR) || with->is(T_INTEGER)) return Removed{std::string(1, char(uint8_t(with->w2)))};
  if (!with->is(T_BINARY) && !series::is_any_string(with->type()))
    fire(err::script::INVALID_ARG, with);
  return Removed{bytes_of(with, -1, false)};
}

std::string trimmed(const std::string& bytes, const Removed& set, bool everywhere, bool head,
                    bool tail) {
  if (everywhere) {
    std::string kept;
    for (char c : bytes)
      if (!set.contains(uint8_t(c))) kept.push_back(c);
    return kept;
  }
  size_t first = 0, end = bytes.size();
  if (head || !tail)
    while (first < end && set.contains(uint8_t(bytes[first]))) first++;
  if (tail || !head)
    while (end > first && set.contains(uint8_t(bytes[end - 1]))) end--;
  return bytes.substr(first, end - first);
}

Cell* trim(Cell* s, const TrimOptions& how) {
  if (how.auto_ || how.lines) fire(err::internal::NOT_DONE);
  const Cell* with = how.with;
  bool head = how.head, tail = how.tail, all = how.all;
  Removed set = removed_set(with);
  bool told = series::editing(s, series::E_TRIM, &values::none, clip_head(s), 0);
  int32_t start = clip_head(s);
  std::string before = bytes_of(s, -1, false);
  std::string after = trimmed(before, set, all || with, head, tail);
  splice(s, start, int32_t(before.size()), after);
  if (told)
    series::edited(s, series::E_TRIM, &values::none, start, int32_t(before.size() - after.size()));
  return s;
}

}  // namespace

void init() {
  datatype::register_type(T_BINARY, T_STRING, "binary!",
                          datatype::make_row(INHERIT, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_TO>(to),
                                                       slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_COMPARE>(compare),
                                                       slot_entry<A_AND_T>(bitwise<byte_and, true>),
                                                       slot_entry<A_COMPLEMENT>(complement),
                                                       slot_entry<A_OR_T>(bitwise<byte_or, false>),
                                                       slot_entry<A_XOR_T>(bitwise<byte_xor, false>),
                                                       slot_entry<A_APPEND>(insert),
                                                       slot_entry<A_CHANGE>(change),
                                                       slot_entry<A_INSERT>(insert),
                                                       slot_entry<A_TRIM>(trim)}));
}

}  // namespace zol::binary
