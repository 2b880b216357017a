// string!: storage, units and the editing primitives (layout in string.h).
#include "runtime/datatypes/string/string.h"

#include <algorithm>
#include <cstring>

#include "runtime/core/stack.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/text/casefold.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/core/error.h"
#include "runtime/numeric/floattext.h"
#include "runtime/base/system.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"

namespace zol::string {

namespace {

// swap_ranges' scratch area: SCRATCH_SIZE bytes between calls, so that exchanging
// parts of a string allocates nothing in the common case.
constexpr uint32_t SCRATCH_SIZE = 65536;
uint8_t* scratch = nullptr;
uint32_t scratch_size = 0;

// Units a code point needs when it is written or inserted, and when it is appended.
uint32_t write_unit(uint32_t cp) { return cp > 0xFFFF ? 4 : cp > 0xFF ? 2 : 1; }
uint32_t append_unit(uint32_t cp) { return cp > 0xFFFF ? 4 : cp > 0x7F ? 2 : 1; }

// Grows the buffer, keeping its text, by doubling until `bytes` fit from its first
// used unit.
SeriesBuffer* ensure_capacity(SeriesBuffer* b, uint64_t bytes) {
  if (b->offset + bytes <= b->size) return b;
  uint64_t size = uint64_t(b->size) * 2;
  while (size < bytes) size *= 2;
  return memory::expand_series_copy(b, static_cast<int64_t>(size));
}

Cell* become_string(Cell* c, NodeRef node) {
  c->w1 = 0;
  c->w2 = node;
  c->w3 = 0;
  cell::set_type(c, T_STRING);
  return c;
}

void check_encoding(int encoding) {
  if (encoding == ENCODING_UTF8 || encoding == ENCODING_UTF16LE) return;
  Cell arg = values::integer(encoding);
  fire(err::script::INVALID_ARG, &arg);
}

// Decodes a whole byte run; input cut off in the middle of a character is invalid.
NodeRef decode(const uint8_t* bytes, uint32_t size, int encoding) {
  check_encoding(encoding);
  if (encoding == ENCODING_UTF16LE) {
    if (size % 2) unicode::raise_invalid_utf16(bytes + size - 1, 1);
    return unicode::load_utf16(bytes, size / 2, nullptr, false);
  }
  uint32_t remain = 0;
  NodeRef node = unicode::load_utf8_buffer(bytes, size, nullptr, &remain, false);
  if (remain) unicode::raise_invalid_utf8(bytes + size - remain, remain);
  return node;
}

void append_bytes(Cell* cell, const char* bytes, uint32_t n) {
  SeriesBuffer* b = series::buffer(cell);
  for (uint32_t i = 0; i < n && bytes[i]; i++) b = append_char(b, static_cast<unsigned char>(bytes[i]));
}

// Swaps [left][right] that lie side by side at `start` into [right][left]: the
// smaller side waits in the scratch area while the larger one slides over.
void swap_adjacent(uint8_t* start, uint32_t left, uint32_t right) {
  uint32_t smaller = std::min(left, right);
  if (smaller == 0) return;
  bool enlarged = smaller > scratch_size;
  if (enlarged) {
    system::free(scratch);
    scratch = static_cast<uint8_t*>(system::allocate(smaller));
    scratch_size = smaller;
  }
  if (left <= right) {
    std::memcpy(scratch, start, left);
    std::memmove(start, start + left, right);
    std::memcpy(start + right, scratch, left);
  } else {
    std::memcpy(scratch, start + left, right);
    std::memmove(start + right, start, left);
    std::memcpy(start, scratch, right);
  }
  if (enlarged) {
    system::free(scratch);
    scratch = static_cast<uint8_t*>(system::allocate(SCRATCH_SIZE));
    scratch_size = SCRATCH_SIZE;
  }
}

// Inserting a buffer's own text into itself: `bytes` were just opened at `at`, so
// the part of the source range [from, from + bytes) at or after `at` moved up by
// `bytes`. Copies the source into the opening from where its pieces now lie.
void copy_across_opening(uint8_t* base, uint32_t from, uint32_t at, uint32_t bytes) {
  uint32_t before = from < at ? std::min(bytes, at - from) : 0;
  std::memmove(base + at, base + from, before);
  std::memmove(base + at + before, base + std::max(from, at) + bytes, bytes - before);
}

// A head past the tail moves back to the tail.
void clip_head(Cell* cell) {
  int32_t length = static_cast<int32_t>(series::buffer(cell)->length());
  if (series_cell::head(cell) > length) series_cell::set_head(cell, length);
}

char hex_digit(uint32_t nibble) { return "0123456789ABCDEF"[nibble & 15]; }

}  // namespace

void init() {
  scratch = static_cast<uint8_t*>(system::allocate(SCRATCH_SIZE));
  scratch_size = SCRATCH_SIZE;
  register_type();
}

void bad_unit() {
  system::runtime_error(system::FATAL_NO_SWITCH, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

// --- accessors ------------------------------------------------------------------------


int32_t head_index(const Cell* cell) {
  return std::clamp(series_cell::head(cell), 0, buffer_length(cell));
}

int32_t length(const Cell* cell) { return buffer_length(cell) - head_index(cell); }

int32_t clip_length(Cell* cell) {
  clip_head(cell);
  return length(cell);
}

uint8_t* clip_head_bytes(Cell* cell) {
  clip_head(cell);
  SeriesBuffer* b = series::buffer(cell);
  return b->head() + uint32_t(head_index(cell)) * b->unit();
}

uint8_t* tail_bytes(const Cell* cell) { return series::buffer(cell)->tail_ptr(); }


uint32_t char_at(const Cell* cell, int32_t index) {
  SeriesBuffer* b = series::buffer(cell);
  return get_char(b->head() + uint32_t(index) * b->unit(), b->unit());
}

Cell* reset(Cell* cell) {
  SeriesBuffer* b = series::buffer(cell);
  b->tail = b->offset;
  b->flags = (b->flags & ~FLAG_UNIT_MASK) | 1;
  series_cell::set_head(cell, 0);
  return cell;
}

int32_t find_char(const Cell* cell, uint32_t cp) {
  SeriesBuffer* b = series::buffer(cell);
  uint32_t unit = b->unit();
  int32_t head = head_index(cell);
  int32_t n = length(cell);
  const uint8_t* p = b->head() + uint32_t(head) * unit;
  for (int32_t i = 0; i < n; i++, p += unit)
    if (get_char(p, unit) == cp) return i;
  return -1;
}

bool has_char(const Cell* cell, uint32_t cp, int32_t skip, int case_flag) {
  bool fold = case_flag != 1;
  if (fold) cp = case_folding::change_char(cp, true);
  SeriesBuffer* b = series::buffer(cell);
  uint32_t unit = b->unit();
  int32_t step = skip < 1 ? 1 : skip;
  for (int32_t i = head_index(cell); i < buffer_length(cell); i += step) {
    uint32_t c = get_char(b->head() + uint32_t(i) * unit, unit);
    if ((fold ? case_folding::change_char(c, true) : c) == cp) return true;
  }
  return false;
}

bool match_cstr(const Cell* cell, const char* bytes) {
  size_t n = std::strlen(bytes);
  if (size_t(length(cell)) < n) return false;
  SeriesBuffer* b = series::buffer(cell);
  uint32_t unit = b->unit();
  const uint8_t* p = b->head() + uint32_t(head_index(cell)) * unit;
  for (size_t i = 0; i < n; i++, p += unit)
    if (get_char(p, unit) != static_cast<unsigned char>(bytes[i])) return false;
  return true;
}

// --- makers and loaders ----------------------------------------------------------------

Cell* make_at(Cell* cell, uint32_t size) {
  cell::set(cell, T_UNSET);
  return become_string(cell, memory::alloc_series(size == 0 ? 1 : size, 1, 0));
}

Cell* make_at_units(Cell* cell, uint32_t count, uint32_t unit) {
  cell::set(cell, T_UNSET);
  return become_string(cell, memory::alloc_codepoints(count, unit));
}

Cell* load(const uint8_t* bytes, uint32_t size, Cell* cell, int encoding) {
  NodeRef node = decode(bytes, size, encoding);
  if (cell) cell::set(cell, T_UNSET); else cell = stack::push_unset();
  return become_string(cell, node);
}

Cell* load_in(const uint8_t* bytes, uint32_t size, NodeRef block, int encoding) {
  NodeRef node = decode(bytes, size, encoding);
  return become_string(memory::alloc_tail_cell(block), node);
}

Cell* load_at(const uint8_t* bytes, uint32_t size, int encoding) {
  return load(bytes, size, nullptr, encoding);
}

Cell* push(const Cell* cell) { return stack::push(cell); }

// --- buffer editors ---------------------------------------------------------------------

SeriesBuffer* widen_to(SeriesBuffer* b, uint32_t new_unit) {
  uint32_t unit = b->unit();
  if (new_unit <= unit) return b;
  if (new_unit == 2) return unicode::latin1_to_ucs2(b);
  if (new_unit != 4) bad_unit();
  return unit == 1 ? unicode::latin1_to_ucs4(b) : unicode::ucs2_to_ucs4(b);
}

SeriesBuffer* append_char(SeriesBuffer* b, uint32_t cp) {
  b = widen_to(b, append_unit(cp));
  uint32_t unit = b->unit();
  NodeRef node = b->node;
  uint8_t* at = memory::alloc_tail_bytes(node, unit);
  put_char(at, unit, cp);
  return memory::buffer_of(node);
}

SeriesBuffer* set_char_at(SeriesBuffer* b, uint32_t index, uint32_t cp) {
  b = widen_to(b, write_unit(cp));
  uint32_t unit = b->unit();
  b = ensure_capacity(b, (uint64_t(index) + 1) * unit);
  uint8_t* at = b->head() + index * unit;
  put_char(at, unit, cp);
  if (at >= b->tail_ptr()) b->tail = static_cast<uint32_t>(at + unit - b->data());
  return b;
}

SeriesBuffer* insert_char(SeriesBuffer* b, uint32_t index, uint32_t cp) {
  b = widen_to(b, write_unit(cp));
  uint32_t unit = b->unit();
  b = ensure_capacity(b, uint64_t(b->used_bytes()) + unit);
  uint8_t* at = std::min(b->head() + uint64_t(index) * unit, b->tail_ptr());
  std::memmove(at + unit, at, size_t(b->tail_ptr() - at));
  b->tail += unit;
  put_char(at, unit, cp);
  return b;
}

SeriesBuffer* poke_char(SeriesBuffer* b, uint8_t* at, uint32_t cp) {
  uint32_t index = static_cast<uint32_t>(at - b->head()) / b->unit();
  b = widen_to(b, write_unit(cp));
  put_char(b->head() + index * b->unit(), b->unit(), cp);
  return b;
}

SeriesBuffer* remove_part(SeriesBuffer* b, uint32_t index, uint32_t n) {
  uint32_t unit = b->unit();
  uint32_t length = b->length();
  if (index >= length) return b;
  n = std::min(n, length - index);
  uint8_t* at = b->head() + index * unit;
  std::memmove(at, at + n * unit, size_t(b->tail_ptr() - (at + n * unit)));
  b->tail -= n * unit;
  return b;
}

SeriesBuffer* remove_char(SeriesBuffer* b, uint32_t index) { return remove_part(b, index, 1); }

SeriesBuffer* truncate(SeriesBuffer* b, uint32_t n) {
  uint64_t tail = b->offset + uint64_t(n) * b->unit();
  if (tail <= b->size && tail < b->tail) b->tail = static_cast<uint32_t>(tail);
  return b;
}

SeriesBuffer* widen_copy(SeriesBuffer* source, SeriesBuffer* target, uint32_t target_unit, int32_t first,
                         int32_t end, int32_t target_pos, bool keep_tail) {
  int32_t source_length = static_cast<int32_t>(source->length());
  int32_t last = end <= 0 ? source_length : std::min(end, source_length);
  first = std::clamp(first, 0, last);
  uint32_t count = static_cast<uint32_t>(last - first);
  uint32_t pos = static_cast<uint32_t>(std::max(target_pos, 0));
  uint64_t written_end = (uint64_t(pos) + count) * target_unit;
  if (target) {
    target = ensure_capacity(target, written_end);
  } else {
    uint32_t chars = std::max(uint32_t(source_length), pos + count);
    NodeRef node = memory::alloc_codepoints(chars, target_unit);
    target = memory::buffer_of(node);
  }
  unicode::widen_units(target->head() + uint64_t(pos) * target_unit, target_unit,
                       source->head() + uint64_t(first) * source->unit(), source->unit(), count);
  if (!keep_tail) {
    target->tail = static_cast<uint32_t>(target->offset + written_end);
    target->flags = (target->flags & ~FLAG_UNIT_MASK) | target_unit;
  }
  return target;
}

Cell* move_char(Cell* source, Cell* target, uint32_t n) {
  n = std::min(n, uint32_t(length(source)));
  uint32_t source_head = uint32_t(head_index(source));
  uint32_t target_head = uint32_t(head_index(target));
  SeriesBuffer* t = series::buffer(target);
  for (uint32_t i = 0; i < n; i++) {
    SeriesBuffer* s = series::buffer(source);
    uint32_t cp = get_char(s->head() + (source_head + i) * s->unit(), s->unit());
    t = insert_char(t, target_head + i, cp);
  }
  remove_part(series::buffer(source), source_head, n);
  return target;
}

void swap_ranges(uint8_t* first, uint32_t first_size, uint8_t* second, uint32_t second_size) {
  if (second < first) {
    std::swap(first, second);
    std::swap(first_size, second_size);
  }
  uint32_t gap = static_cast<uint32_t>(second - first) - first_size;
  swap_adjacent(first, first_size, gap + second_size);   // [gap][second][first]
  swap_adjacent(first, gap, second_size);                // [second][gap][first]
}

// --- joining -------------------------------------------------------------------------------

Cell* concatenate(Cell* target, const Cell* source, int32_t part, int32_t offset, bool keep_source,
                  ConcatMode mode) {
  NodeRef target_node = series_cell::node(target);
  NodeRef source_node = series_cell::node(source);
  bool shared = target_node == source_node;
  SeriesBuffer* t = memory::buffer_of(target_node);
  SeriesBuffer* s = memory::buffer_of(source_node);
  if (s->unit() > t->unit()) t = widen_to(t, s->unit());
  else if (t->unit() > s->unit() && !keep_source) s = widen_to(s, t->unit());
  uint32_t source_unit = s->unit();
  uint32_t unit = t->unit();

  uint32_t count = uint32_t(length(source));
  if (part >= 0 && uint32_t(part) < count) count = uint32_t(part);
  uint64_t wanted = uint64_t(count) * unit;
  if (wanted == 0) return target;
  uint32_t used = t->used_bytes();
  if (t->offset + used + wanted > t->size) {   // too large a size raises no-memory here
    t = memory::expand_series_copy(t, 2 * (int64_t(used) + int64_t(wanted)));
    if (shared) s = t;
  }
  uint32_t bytes = static_cast<uint32_t>(wanted);

  // Byte positions from the target's first used unit.
  uint64_t position = (uint64_t(head_index(target)) + uint64_t(std::max(offset, 0))) * unit;
  uint32_t at = mode == CONCAT_APPEND ? used : static_cast<uint32_t>(std::min<uint64_t>(position, used));
  uint32_t from = uint32_t(head_index(source)) * source_unit;
  uint8_t* base = t->head();
  if (mode == CONCAT_INSERT) std::memmove(base + at + bytes, base + at, used - at);
  if (mode == CONCAT_INSERT && shared) copy_across_opening(base, from, at, bytes);
  else unicode::widen_units(base + at, unit, s->head() + from, source_unit, count);
  t->tail = t->offset + (mode == CONCAT_OVERWRITE ? std::max(at + bytes, used) : used + bytes);
  return target;
}

void concatenate_literal(Cell* cell, const char* bytes) {
  append_bytes(cell, bytes, static_cast<uint32_t>(std::strlen(bytes)));
}

void concatenate_literal_part(Cell* cell, const char* bytes, uint32_t n) { append_bytes(cell, bytes, n); }

int append_text(Cell* buffer, const char* text, int limit) {
  uint32_t length = static_cast<uint32_t>(std::strlen(text));
  append_bytes(buffer, text, length);
  return limit - static_cast<int>(length);
}

// --- formatters ----------------------------------------------------------------------------

const char* byte_to_hex(uint8_t byte) {
  static char text[3];
  text[0] = hex_digit(byte >> 4);
  text[1] = hex_digit(byte);
  text[2] = '\0';
  return text;
}

const char* to_hex(int32_t value, bool trim) {
  static char text[9];
  int32_t fill = value < 0 ? -1 : 0;
  int i = 8;
  text[8] = '\0';
  for (; value != fill && i > 0; value >>= 4) text[--i] = hex_digit(uint32_t(value));
  if (trim) {
    if (i < 8) return text + i;
    text[6] = text[7] = fill ? 'F' : '0';
    return text + 6;
  }
  while (i > 0) text[--i] = fill ? 'F' : '0';
  return text;
}

double bytes_to_float(const uint8_t* at, uint32_t length) {
  const char* text = reinterpret_cast<const char*>(at);
  int unconsumed = 0;
  return float_text::from_text(text, text + length, 0, &unconsumed);
}

std::string to_utf8(const Cell* cell) {
  SeriesBuffer* b = series::buffer(cell);
  uint32_t unit = b->unit();
  std::string out;
  uint8_t sequence[4];
  const uint8_t* p = b->head() + uint32_t(head_index(cell)) * unit;
  for (; p < b->tail_ptr(); p += unit) {
    int n = unicode::cp_to_utf8(get_char(p, unit), sequence);
    out.append(reinterpret_cast<const char*>(sequence), size_t(n));
  }
  return out;
}

}  // namespace zol::string
