// Raw arrays: growable arrays of bytes, 32-bit integers or pointers that live in a
// series buffer like any series (so the collector manages them) but hold no values.
// The buffer's unit is the element size. Indexes are 1-based unless said otherwise.
// Pointers are stored as 64-bit words on this build, so pointer arrays use unit 8.
#pragma once
#include <cstdint>

#include "runtime/memory/memory.h"

namespace zol::array {

NodeRef make(int64_t n, uint32_t unit);
int32_t length(NodeRef a);
void clear(NodeRef a);
void clear_at(NodeRef a, int32_t i);
NodeRef copy(NodeRef a);
uint8_t* head(NodeRef a);
uint8_t* append_byte(NodeRef a, uint8_t byte);
uint8_t* append_bytes(NodeRef a, const uint8_t* src, uint32_t n);
void append_int(NodeRef a, int32_t value);
void append_pointer(NodeRef a, uintptr_t value);
uint8_t pick_byte(NodeRef a, int32_t i);
int32_t pick_int(NodeRef a, int32_t i);
uintptr_t pick_pointer(NodeRef a, int32_t i);
void poke_int(NodeRef a, int32_t i, int32_t value);
void insert_int(NodeRef a, int32_t value, int32_t position);   // position is 0-based
int32_t find_int(NodeRef a, int32_t value);                     // byte offset or -1
int32_t find_pointer(NodeRef a, uintptr_t value);               // byte offset or -1
void remove_int(NodeRef a, int32_t value);
void remove_at(NodeRef a, int32_t byte_offset, int32_t n);      // n bytes

}  // namespace zol::array
