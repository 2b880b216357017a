// string!: the editing primitives that molding and forming build on.
#include "runtime/datatypes/string.h"

#include <vector>

namespace zol::string {

Cell* make_at(Cell* cell, uint32_t size) {
  cell::set(cell, T_UNSET);
  NodeRef node = memory::alloc_series(size == 0 ? 1 : size, 1, 0);
  cell->w1 = 0;
  cell->w2 = node;
  cell->w3 = 0;
  cell::set_type(cell, T_STRING);
  return cell;
}

uint32_t get_char(const uint8_t* at, uint32_t unit) {
  switch (unit) {
    case 1: return at[0];
    case 2: return uint32_t(at[0]) | uint32_t(at[1]) << 8;
    default: return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
  }
}

void put_char(uint8_t* at, uint32_t unit, uint32_t cp) {
  at[0] = static_cast<uint8_t>(cp);
  if (unit >= 2) at[1] = static_cast<uint8_t>(cp >> 8);
  if (unit == 4) {
    at[2] = static_cast<uint8_t>(cp >> 16);
    at[3] = static_cast<uint8_t>(cp >> 24);
  }
}

SeriesBuffer* widen_to(SeriesBuffer* b, uint32_t new_unit) {
  uint32_t unit = b->unit();
  if (new_unit <= unit) return b;
  std::vector<uint32_t> chars;
  chars.reserve(b->length());
  for (uint8_t* p = b->head(); p < b->tail_ptr(); p += unit) chars.push_back(get_char(p, unit));
  int64_t size = int64_t(b->size) / unit * new_unit;
  b = memory::expand_series(b, size < 16 ? 16 : size);
  b->flags = (b->flags & ~FLAG_UNIT_MASK) | new_unit;
  b->offset = 0;
  uint8_t* p = b->data();
  for (uint32_t cp : chars) { put_char(p, new_unit, cp); p += new_unit; }
  b->tail = static_cast<uint32_t>(p - b->data());
  return b;
}

SeriesBuffer* append_char(SeriesBuffer* b, uint32_t cp) {
  uint32_t unit = b->unit();
  if (cp > 0xFFFF && unit < 4) b = widen_to(b, 4);
  else if (cp > 0x7F && unit == 1) b = widen_to(b, 2);
  unit = b->unit();
  NodeRef node = b->node;
  uint8_t* at = memory::alloc_tail_bytes(node, unit);
  b = memory::buffer_of(node);
  put_char(at, unit, cp);
  return b;
}

void concatenate_literal_part(Cell* cell, const char* bytes, uint32_t n) {
  SeriesBuffer* b = memory::buffer_of(cell->w2);
  for (uint32_t i = 0; i < n && bytes[i]; i++) b = append_char(b, static_cast<unsigned char>(bytes[i]));
}

void concatenate_literal(Cell* cell, const char* bytes) {
  SeriesBuffer* b = memory::buffer_of(cell->w2);
  for (; *bytes; bytes++) b = append_char(b, static_cast<unsigned char>(*bytes));
}

int32_t length(const Cell* cell) {
  SeriesBuffer* b = memory::buffer_of(cell->w2);
  int32_t len = static_cast<int32_t>(b->length());
  int32_t head = series_cell::head(cell);
  return head >= len ? 0 : len - (head < 0 ? 0 : head);
}

std::string to_utf8(const Cell* cell) {
  SeriesBuffer* b = memory::buffer_of(cell->w2);
  uint32_t unit = b->unit();
  std::string out;
  int32_t head = series_cell::head(cell);
  uint8_t* p = b->head() + (head > 0 ? uint32_t(head) * unit : 0);
  for (; p < b->tail_ptr(); p += unit) {
    uint32_t cp = get_char(p, unit);
    if (cp < 0x80) out += char(cp);
    else if (cp < 0x800) { out += char(0xC0 | cp >> 6); out += char(0x80 | (cp & 63)); }
    else if (cp < 0x10000) {
      out += char(0xE0 | cp >> 12); out += char(0x80 | ((cp >> 6) & 63)); out += char(0x80 | (cp & 63));
    } else {
      out += char(0xF0 | cp >> 18); out += char(0x80 | ((cp >> 12) & 63));
      out += char(0x80 | ((cp >> 6) & 63)); out += char(0x80 | (cp & 63));
    }
  }
  return out;
}

}  // namespace zol::string
