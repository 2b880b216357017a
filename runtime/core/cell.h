// The value cell: every Zol value is 16 bytes, four 32-bit little-endian words.
//
//   word 0  header: bits 0-7 datatype id, bit 30 new-line marker, other bits per type
//   word 1  payload (head index of a series, context of a word, logic value, ...)
//   word 2  payload (series node, symbol id, integer value, low half of a double)
//   word 3  payload (per-type extra, word index, high half of a double)
//
// On a 64-bit build no cell word ever holds a machine address: where a series or
// context is meant the word holds a NodeRef (see memory.h), and other references
// (handles, code) are indexes into tables. Cells can therefore be copied with a
// plain 16-byte move and moved freely by the collector.
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/base/assert.h"

namespace zol {

using NodeRef = uint32_t;   // 0 is "no node"; decoded by memory::node_slot()

// Datatype ids, fixed for the life of the language (stored in files and images).
enum TypeId : uint8_t {
  T_EMPTY = 0, T_DATATYPE = 1, T_UNSET, T_NONE, T_LOGIC, T_BLOCK, T_PAREN, T_STRING,
  T_FILE, T_URL, T_CHAR, T_INTEGER, T_FLOAT, T_SYMBOL, T_CONTEXT, T_WORD, T_SET_WORD,
  T_LIT_WORD, T_GET_WORD, T_REFINEMENT, T_ISSUE, T_NATIVE, T_ACTION, T_OP, T_FUNCTION,
  T_PATH, T_LIT_PATH, T_SET_PATH, T_GET_PATH, T_ROUTINE, T_BITSET, T_TRIPLE, T_OBJECT,
  T_TYPESET, T_ERROR, T_VECTOR, T_HASH, T_PAIR, T_PERCENT, T_TUPLE, T_MAP, T_BINARY,
  T_SERIES, T_TIME, T_TAG, T_EMAIL, T_HANDLE, T_DATE, T_PORT, T_MONEY, T_REF,
  T_POINT2D, T_POINT3D, T_IMAGE, T_EVENT,
  T_LAST = T_EVENT,
};

constexpr uint32_t HEADER_TYPE_MASK = 0xFFu;
constexpr uint32_t HEADER_NEW_LINE = 0x40000000u;

struct Cell {
  uint32_t header;
  uint32_t w1;
  uint32_t w2;
  uint32_t w3;

  uint8_t type() const { return static_cast<uint8_t>(header & HEADER_TYPE_MASK); }
  bool is(uint8_t t) const { return type() == t; }
};
static_assert(sizeof(Cell) == 16, "cells are 16 bytes");

namespace cell {

// Replaces the datatype byte, keeping every flag bit (new-line marker included).
inline void set_type(Cell* c, uint8_t type) {
  c->header = (c->header & ~HEADER_TYPE_MASK) | type;
}

inline void clear_new_line(Cell* c) { c->header &= ~HEADER_NEW_LINE; }
inline void set_new_line(Cell* c, bool on) {
  if (on) c->header |= HEADER_NEW_LINE; else c->header &= ~HEADER_NEW_LINE;
}
inline bool new_line(const Cell* c) { return (c->header & HEADER_NEW_LINE) != 0; }

inline Cell* copy(const Cell* src, Cell* dst) {
  if (src != dst) std::memcpy(dst, src, sizeof(Cell));
  return dst;
}

// Writes a whole cell at once: header and payload words.
inline Cell* set(Cell* c, uint32_t header, uint32_t w1 = 0, uint32_t w2 = 0, uint32_t w3 = 0) {
  c->header = header; c->w1 = w1; c->w2 = w2; c->w3 = w3;
  return c;
}

// Doubles of float!, percent! and time! live in words 2-3, low word first.
inline double get_double(const Cell* c) {
  double d;
  std::memcpy(&d, &c->w2, sizeof d);
  return d;
}
inline void put_double(Cell* c, double d) { std::memcpy(&c->w2, &d, sizeof d); }

inline int32_t get_int(const Cell* c) { return static_cast<int32_t>(c->w2); }

}  // namespace cell

// Typed views name the payload words of the families that share a layout. Checked
// builds verify that a view is applied to a cell of its family where the family is
// a range of ids.
namespace series_cell {   // any-block, any-string, binary!: head index, node, extra
inline int32_t head(const Cell* c) { return static_cast<int32_t>(c->w1); }
inline void set_head(Cell* c, int32_t h) { c->w1 = static_cast<uint32_t>(h); }
inline NodeRef node(const Cell* c) { return c->w2; }
inline NodeRef extra(const Cell* c) { return c->w3; }
}  // namespace series_cell

namespace word_cell {     // word family: context node, symbol id, index in context
inline bool is_word(const Cell* c) { return c->type() >= T_WORD && c->type() <= T_ISSUE; }
inline NodeRef context(const Cell* c) { ZOL_ASSERT(is_word(c)); return c->w1; }
inline uint32_t symbol(const Cell* c) { ZOL_ASSERT(is_word(c)); return c->w2; }
inline int32_t index(const Cell* c) { ZOL_ASSERT(is_word(c)); return static_cast<int32_t>(c->w3); }
}  // namespace word_cell

}  // namespace zol
