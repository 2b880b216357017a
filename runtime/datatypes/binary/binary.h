// binary!: the byte string. It shares the string cell (word 1 the head index in
// bytes, word 2 the node of a unit-1 buffer, word 3 = 0) and inherits navigation,
// searching, picking and removal from string!; its own actions (here and in
// binary.cpp) treat the units as bytes, never as characters, so a byte above 127
// never widens the buffer.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/core/cell.h"

namespace zol::binary {

// Registers binary! (string! must be registered first).
void init();

// Makes `cell` an empty binary! with room for `size` bytes (16 when 0).
Cell* make_at(Cell* cell, uint32_t size);
// Makes `cell` a new binary! holding a copy of n bytes.
Cell* load(const uint8_t* bytes, uint32_t n, Cell* cell);

// The bytes from the head and their count (valid until the buffer grows).
const uint8_t* head_bytes(const Cell* b);
int32_t length(const Cell* b);

// Decodes n characters of `unit` (1, 2 or 4) in a base (2, 16, 58 or 64) into a
// new binary! in `out`; false (and `out` untouched) when the text is invalid.
bool decode_units(const uint8_t* at, size_t n, uint32_t unit, int base, Cell* out);
// Decodes the text of a string-family value in a base (2, 16, 58 or 64) into
// `out`; false (and `out` untouched) when the text is invalid.
bool decode_text(const Cell* text, int base, Cell* out);
// The text of n bytes in a base, as a new string! in `out`.
void encode_bytes(const uint8_t* bytes, uint32_t n, int base, Cell* out);

// The bytes a value stands for in a binary!: a char! its UTF-8, an integer! one
// byte (-128 to 255; others raise invalid-arg), a binary! its bytes, a
// string-family value its UTF-8, a block! each element's bytes in turn. `part`
// (-1: none) limits the bytes of a text or binary and the elements of a block.
// With `form_others` a value of any other type gives its formed text (what to
// binary! does to the elements of a block); without, it raises invalid-arg.
std::string bytes_of(const Cell* value, int32_t part, bool form_others);

}  // namespace zol::binary
