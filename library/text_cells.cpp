// Strings between cells and code points (see text_cells.h).
#include "library/text_cells.h"

#include <algorithm>
#include <cstring>

#include "runtime/datatypes/string/string.h"

namespace zol::library::text {

Cell make_string(const std::u32string& text) {
  uint32_t widest = 0;
  for (char32_t c : text) widest = std::max<uint32_t>(widest, c);
  uint32_t unit = widest > 0xFFFF ? 4 : widest > 0xFF ? 2 : 1;
  Cell out;
  string::make_at_units(&out, static_cast<uint32_t>(text.size()), unit);
  SeriesBuffer* b = series::buffer(&out);
  uint8_t* at = b->data() + b->offset;
  for (char32_t c : text) {
    string::put_char(at, unit, c);
    at += unit;
  }
  b->tail = b->offset + static_cast<uint32_t>(text.size()) * unit;
  return out;
}

Cell copy_units(const uint8_t* at, uint32_t unit, int32_t count) {
  Cell out;
  string::make_at_units(&out, static_cast<uint32_t>(count), unit);
  SeriesBuffer* b = series::buffer(&out);
  std::memcpy(b->data() + b->offset, at, size_t(count) * unit);
  b->tail = b->offset + static_cast<uint32_t>(count) * unit;
  return out;
}

std::u32string code_points(Cell* s) {
  int32_t n = string::clip_length(s);
  const uint8_t* at = string::clip_head_bytes(s);
  uint32_t unit = series::buffer(s)->unit();
  std::u32string text;
  text.reserve(n);
  for (int32_t i = 0; i < n; ++i, at += unit) text.push_back(string::get_char(at, unit));
  return text;
}

void append_utf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(char(c));
  } else if (c < 0x800) {
    out.push_back(char(0xC0 | c >> 6));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(char(0xE0 | c >> 12));
    out.push_back(char(0x80 | (c >> 6 & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else {
    out.push_back(char(0xF0 | c >> 18));
    out.push_back(char(0x80 | (c >> 12 & 0x3F)));
    out.push_back(char(0x80 | (c >> 6 & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  }
}

}  // namespace zol::library::text
