// string!: the text cell, its character buffers and the editing primitives that
// molding, forming, the string actions, the lexer and the OS layer build on.
//
// The cell (shared by string!, file!, url!, tag!, email!, ref! and binary!):
//   word 1  head index, signed, in characters from the buffer's first used unit
//   word 2  node of the character buffer (never its address: buffers move)
//   word 3  0
//
// The buffer's unit (flag bits 0-4) is the width of every character in it:
// 1 = Latin-1, 2 = UCS-2, 4 = UCS-4, all little-endian. Character i lies at the
// first used byte plus i * unit; there is no terminator. A unit only ever widens,
// for the whole buffer at once (only reset, which empties it, sets it back to 1).
// Appending widens a Latin-1 buffer for anything above 0x7F; writing or inserting
// only for code points above 0xFF; a code point above 0xFFFF needs unit 4.
//
// Every editor that can widen or grow returns the buffer, which may have moved;
// callers continue with the returned buffer and re-read buffers from their nodes.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/core/cell.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/memory/memory.h"

namespace zol::string {

// Allocates the shared scratch area of swap_ranges and registers string!; start-up
// calls it once.
void init();

// --- reading single characters --------------------------------------------------

// A unit other than 1, 2 or 4 reaching code that dispatches on it: the fatal
// runtime error 101.
[[noreturn]] void bad_unit();

// The code point stored at an address for unit 1, 2 or 4, and its store.
inline uint32_t get_char(const uint8_t* at, uint32_t unit) {
  switch (unit) {
    case 1: return at[0];
    case 2: return uint32_t(at[0]) | uint32_t(at[1]) << 8;
    case 4: return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
    default: bad_unit();
  }
}

inline void put_char(uint8_t* at, uint32_t unit, uint32_t cp) {
  switch (unit) {
    case 4:
      at[3] = static_cast<uint8_t>(cp >> 24);
      at[2] = static_cast<uint8_t>(cp >> 16);
      [[fallthrough]];
    case 2:
      at[1] = static_cast<uint8_t>(cp >> 8);
      [[fallthrough]];
    case 1:
      at[0] = static_cast<uint8_t>(cp);
      return;
    default: bad_unit();
  }
}

// --- accessors (string-family or binary! cells) ---------------------------------

// The head index clipped into [0, characters in the buffer].
int32_t head_index(const Cell* cell);
// Characters from the head to the tail. clip_length also moves a head that lies past
// the tail back to the tail.
int32_t length(const Cell* cell);
int32_t clip_length(Cell* cell);
// Characters from the buffer's first used unit to the tail, ignoring the head.
using series::buffer_length;
// Address of the head character; a head past the tail is first moved to the tail.
uint8_t* clip_head_bytes(Cell* cell);
uint8_t* tail_bytes(const Cell* cell);
using series::at_tail;
// The code point at a 0-based index from the buffer's first used unit.
uint32_t char_at(const Cell* cell, int32_t index);
// Empties the buffer, sets its unit to 1 and the head to 0.
Cell* reset(Cell* cell);
// Offset from the head of the first character equal to cp, or -1.
int32_t find_char(const Cell* cell, uint32_t cp);
// cp occurs at the head or at every skip-th character after it; unless case_flag
// is 1 both sides are upper-cased before comparing.
bool has_char(const Cell* cell, uint32_t cp, int32_t skip, int case_flag);
// The characters from the head begin with the bytes of the NUL-terminated string.
bool match_cstr(const Cell* cell, const char* bytes);

// --- makers and loaders -------------------------------------------------------------

// Makes `cell` an empty string! with room for `size` bytes (1 when 0), unit 1.
Cell* make_at(Cell* cell, uint32_t size);
// The same with room for `count` characters of `unit`.
Cell* make_at_units(Cell* cell, uint32_t count, uint32_t unit);

// Encodings of load: UTF-8 and UTF-16LE.
constexpr int ENCODING_UTF8 = 0;
constexpr int ENCODING_UTF16LE = -1;
// Decodes `size` bytes into a new buffer and makes `cell` (a new cell on top of the
// value stack when null) a string! at head 0. Invalid or truncated input raises
// access `invalid-utf8` (UTF-8) or script `invalid-data` (UTF-16LE); another
// encoding raises script `invalid-arg` with the encoding.
Cell* load(const uint8_t* bytes, uint32_t size, Cell* cell, int encoding);
// The same into a new cell appended at the block's tail.
Cell* load_in(const uint8_t* bytes, uint32_t size, NodeRef block, int encoding);
Cell* load_at(const uint8_t* bytes, uint32_t size, int encoding);
// Copies the cell onto the top of the value stack.
Cell* push(const Cell* cell);

// --- buffer editors (indexes in characters from the first used unit) -------------

// Widens to `new_unit` (2 or 4; any other wider unit is fatal 101); never narrows.
SeriesBuffer* widen_to(SeriesBuffer* buffer, uint32_t new_unit);
// Appends one code point at the tail.
SeriesBuffer* append_char(SeriesBuffer* buffer, uint32_t cp);
// Stores cp at index, growing by doubling until it fits; an index at or past the
// tail moves the tail after it. The caller keeps index at most the length.
SeriesBuffer* set_char_at(SeriesBuffer* buffer, uint32_t index, uint32_t cp);
// Opens one unit at index and stores cp there.
SeriesBuffer* insert_char(SeriesBuffer* buffer, uint32_t index, uint32_t cp);
// Stores cp at an address inside the buffer (the same character position after a
// widening).
SeriesBuffer* poke_char(SeriesBuffer* buffer, uint8_t* at, uint32_t cp);
// Removes n characters at index (clipped to the tail) and closes the gap.
SeriesBuffer* remove_part(SeriesBuffer* buffer, uint32_t index, uint32_t n);
SeriesBuffer* remove_char(SeriesBuffer* buffer, uint32_t index);
// Cuts the text to n characters; never lengthens it.
SeriesBuffer* truncate(SeriesBuffer* buffer, uint32_t n);
// Copies the source characters [first, end) (end <= 0: to the tail) into the target
// at target_pos in `target_unit`, widening 1 to 2, 1 to 4 or 2 to 4. Without a
// target a new buffer is made (a new node). Unless keep_tail, the target's tail
// ends after what was written and its unit becomes target_unit. Returns the target.
SeriesBuffer* widen_copy(SeriesBuffer* source, SeriesBuffer* target, uint32_t target_unit,
                         int32_t first, int32_t end, int32_t target_pos, bool keep_tail);
// Moves n characters from the source's head to the target's head, one by one
// (source and target are different buffers, possibly of different units).
Cell* move_char(Cell* source, Cell* target, uint32_t n);
// Exchanges two byte ranges of one buffer, [first][gap][second] becoming
// [second][gap][first] (the bytes between them are the gap, possibly none). Uses the
// shared 64 KiB scratch area, enlarged for the call when a piece does not fit.
void swap_ranges(uint8_t* first, uint32_t first_size, uint8_t* second, uint32_t second_size);

// --- joining --------------------------------------------------------------------------

enum ConcatMode : int { CONCAT_APPEND = 0, CONCAT_INSERT = 1, CONCAT_OVERWRITE = 2 };
// Writes the characters of a string-family source from its head (at most `part`
// when part >= 0) into the target: at its tail, or inserted / overwriting at
// `offset` characters after its head. Units are unified first: the target widens to
// a wider source; a wider target widens the source in place unless keep_source, in
// which case characters are converted as they are copied. Returns the target.
Cell* concatenate(Cell* target, const Cell* source, int32_t part, int32_t offset, bool keep_source,
                  ConcatMode mode);
// Appends each byte of a NUL-terminated string (or its first n bytes) as one code
// point.
void concatenate_literal(Cell* cell, const char* bytes);
void concatenate_literal_part(Cell* cell, const char* bytes, uint32_t n);
// The form and mold writers' step: appends `text` and answers what is left of
// `limit` (the characters still wanted; negative once the text ran past it).
int append_text(Cell* buffer, const char* text, int limit);

// --- formatters -----------------------------------------------------------------------

// Two upper-case hex digits. The result lives in a static buffer that the next
// call overwrites.
const char* byte_to_hex(uint8_t byte);
// The value in upper-case hex: with `trim` only its significant digits ("00" for
// 0), else all eight digits of its two's-complement form. Static buffer as above.
const char* to_hex(int32_t value, bool trim);

// The double that `length` bytes of decimal text stand for, read by the float text
// reader (correctly rounded; text without digits reads as zero).
double bytes_to_float(const uint8_t* at, uint32_t length);

// The whole text from the head as UTF-8 (tests and diagnostics).
std::string to_utf8(const Cell* cell);

}  // namespace zol::string
