// string!: the text cell and its character buffers.
//
// A string cell holds the head index (characters) in word 1 and the buffer's node
// in word 2. A buffer's unit (1 Latin-1, 2 UCS-2, 4 UCS-4) only ever widens, for
// the whole buffer at once; every editor that can widen returns the buffer, which
// may have moved, and callers continue with it.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zol::string {

// Makes `cell` an empty string! with room for `size` bytes (1 when 0), unit 1.
Cell* make_at(Cell* cell, uint32_t size);

uint32_t get_char(const uint8_t* at, uint32_t unit);
void put_char(uint8_t* at, uint32_t unit, uint32_t cp);

SeriesBuffer* widen_to(SeriesBuffer* buffer, uint32_t new_unit);
// Appends one code point; a Latin-1 buffer widens for anything above 0x7F.
SeriesBuffer* append_char(SeriesBuffer* buffer, uint32_t cp);
// Appends each byte of a NUL-terminated byte string as one code point.
void concatenate_literal(Cell* cell, const char* bytes);
void concatenate_literal_part(Cell* cell, const char* bytes, uint32_t n);

// Characters from the head to the tail, and the whole text as UTF-8 (for tests
// and diagnostics).
int32_t length(const Cell* cell);
std::string to_utf8(const Cell* cell);

}  // namespace zol::string
