// Test helpers for text: strings made from and read back as code points or loaded
// from UTF-8, their unit, binaries made from bytes, the bytes of a binary! error
// argument, and results shown as text or as the error raised.
#pragma once
#include <functional>
#include <initializer_list>
#include <string>

#include "runtime/core/cell.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"
#include "support.h"

namespace zol::test {

inline SeriesBuffer* buffer(const Cell& c) { return memory::buffer_of(series_cell::node(&c)); }
inline uint32_t unit(const Cell& c) { return buffer(c)->unit(); }

// The characters from the head.
inline std::u32string chars(const Cell& c) {
  std::u32string out;
  SeriesBuffer* b = buffer(c);
  uint32_t u = b->unit();
  for (const uint8_t* p = b->head() + uint32_t(string::head_index(&c)) * u; p < b->tail_ptr(); p += u)
    out += char32_t(string::get_char(p, u));
  return out;
}

// A string! of exactly `unit`, holding `text` (set_char_at never widens past what a
// character needs, and the buffer starts at the asked unit).
inline Cell text_of_unit(const std::u32string& text, uint32_t u) {
  Cell c;
  string::make_at_units(&c, uint32_t(text.size()), u);
  SeriesBuffer* b = buffer(c);
  for (size_t i = 0; i < text.size(); i++) b = string::set_char_at(b, uint32_t(i), text[i]);
  return c;
}

// The narrowest unit for `text`.
inline Cell text(const std::u32string& t) { return text_of_unit(t, 1); }

// A value of a text type loaded from UTF-8.
inline Cell utf8_text(const std::string& utf8, uint8_t type = T_STRING) {
  Cell s;
  string::load(reinterpret_cast<const uint8_t*>(utf8.data()), uint32_t(utf8.size()), &s,
               string::ENCODING_UTF8);
  cell::set_type(&s, type);
  return s;
}

// A binary! holding the bytes, its head at `head`.
inline Cell binary(std::initializer_list<uint8_t> bytes, int32_t head = 0) {
  NodeRef node = memory::alloc_bytes(static_cast<int64_t>(bytes.size()) + 1);
  for (uint8_t b : bytes) *memory::alloc_tail_bytes(node, 1) = b;
  return Cell{T_BINARY, static_cast<uint32_t>(head), node, 0};
}

// An expected error as outcome() shows it: "error category/id".
inline std::string error_text(err::Id id) { return "error " + error_name(id); }

// What fn answers, or the error it raised as error_text() writes it.
inline std::string outcome(const std::function<std::string()>& fn) {
  std::string shown;
  std::string e = raised([&] { shown = fn(); });
  return e.empty() ? shown : "error " + e;
}

// The bytes of a binary! (an error argument).
inline std::string binary_bytes(const Cell& c) {
  SeriesBuffer* b = buffer(c);
  return std::string(reinterpret_cast<const char*>(b->head()), b->used_bytes());
}

}  // namespace zol::test
