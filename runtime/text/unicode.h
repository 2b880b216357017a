// Text codecs: between string buffers (units of 1 = Latin-1, 2 = UCS-2, 4 = UCS-4
// bytes, the narrowest that holds every character) and the external encodings
// UTF-8, UTF-16LE and Windows-1251; and the in-place widening of a buffer's unit.
//
// Text crosses into the runtime as UTF-8 or UTF-16LE byte runs (pointer and
// length) and leaves the same way. Two UTF-8 decoders exist: a fast one for the
// lexer, which answers INVALID and lets its caller react, and a validating one for
// loaders, which raises `invalid-utf8`. Both refuse overlong forms, surrogates and
// code points beyond U+10FFFF, and neither reads past the end it is given.
//
// Conversions out of a string write into one shared scratch series (kept alive by
// the root block); the pointer they return is valid until the next conversion.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace zol::unicode {

constexpr uint32_t INVALID = 0xFFFFFFFFu;   // "no code point": rejected or cut short
constexpr uint32_t MAX_CODE_POINT = 0x10FFFF;

// Makes the shared scratch series and roots it; start-up calls it once.
void init();

// --- UTF-8 in -------------------------------------------------------------------

// Fast decoder: one sequence at p, never reading at or past `end`. Stores the code
// point, or INVALID when the sequence is malformed or cut off by `end`; returns the
// position after the bytes it consumed (at least one when p < end).
const uint8_t* decode_utf8_char(const uint8_t* p, const uint8_t* end, uint32_t* cp);
// Replaces every malformed UTF-8 sequence in the bytes by U+FFFD, so that text from
// other programs (captured output, the clipboard) of any kind decodes.
void repair_utf8(std::string* bytes);

// Sequences between start and end, sized by their lead bytes (other bytes count as
// one); and the position n such sequences further on, never past end.
int32_t count_utf8_chars(const uint8_t* start, const uint8_t* end);
const uint8_t* skip_utf8_chars(const uint8_t* p, const uint8_t* end, int32_t n);

// Length announced by a lead byte: 4, 3 or 2, and 0 for ASCII and continuations.
int utf8_char_size(uint8_t lead);

// Validating decoder. *available holds the bytes readable from p; on success it
// receives the bytes consumed and the code point is returned. A sequence cut off by
// the end that more bytes could still complete answers -1 (the caller may wait for
// them); a malformed one raises access `invalid-utf8` with the bytes at p.
int32_t decode_utf8_char_checked(const uint8_t* p, uint32_t* available);

// Raise access `invalid-utf8`, or script `invalid-data` for UTF-16LE, with a
// binary! of the (at most four) offending bytes.
[[noreturn]] void raise_invalid_utf8(const uint8_t* at, size_t available);
[[noreturn]] void raise_invalid_utf16(const uint8_t* at, size_t available);

// Loads UTF-8 into a string buffer, choosing the narrowest unit. With a target cell
// its buffer is overwritten from its first unit and keeps at least its unit;
// otherwise a new buffer is made. A leading byte-order mark is skipped. With
// `crlf`, CR LF becomes LF and a lone CR becomes LF. A sequence cut off by the end
// stops the load; *remain (when given) receives the bytes left undecoded. Returns
// the buffer's node.
NodeRef load_utf8_buffer(const uint8_t* bytes, uint32_t length, Cell* target, uint32_t* remain,
                         bool crlf);
NodeRef load_utf8(const uint8_t* bytes, uint32_t length, Cell* target);

// --- UTF-8 out ------------------------------------------------------------------

// Bytes of a code point in UTF-8; above U+10FFFF raises script `invalid-char`.
int cp_to_utf8_size(uint32_t cp);
// Encodes one code point; returns its byte count (errors as cp_to_utf8_size).
int cp_to_utf8(uint32_t cp, uint8_t* dst);
// Writes only the first `budget` bytes of the sequence; returns the bytes written.
int cp_to_utf8_limited(uint32_t cp, uint8_t* dst, int32_t budget);
// UTF-8 bytes of the characters stored between start and end in the given unit.
int64_t utf8_size_of_units(const uint8_t* start, const uint8_t* end, uint32_t unit);

// The string from its head as NUL-terminated UTF-8 in the scratch series. *length
// gives the characters to convert (-1: to the tail) and receives the byte count.
// With `crlf` every LF is written as CR LF.
const char* to_utf8(const Cell* str, int32_t* length);
const char* to_utf8_crlf(const Cell* str, int32_t* length, bool crlf);

// Writes at most `limit` characters (-1: all) from the head into dst, then a NUL
// when `terminate`; returns the bytes of text written (the NUL not counted).
uint32_t to_utf8_buffer(const Cell* str, uint8_t* dst, int32_t limit, bool terminate);
// As to_utf8_buffer, never writing more than `budget` bytes in all: a sequence that
// does not fit is cut, and the NUL takes the last byte of the budget.
uint32_t to_utf8_buffer_limited(const Cell* str, uint8_t* dst, int32_t budget, int32_t limit,
                                bool terminate);

// --- widening in place ----------------------------------------------------------

// Rewrite every character of the buffer in a wider unit, from the last to the first
// so that source and destination may overlap; the buffer grows first when the wider
// text does not fit. Callers continue with the returned buffer.
SeriesBuffer* latin1_to_ucs2(SeriesBuffer* buffer);
SeriesBuffer* latin1_to_ucs4(SeriesBuffer* buffer);
SeriesBuffer* ucs2_to_ucs4(SeriesBuffer* buffer);

// Copies n characters stored in `from_unit` at src into `to_unit` at dst (to_unit
// at least from_unit). Works from the last character down, so dst may overlap src
// when it starts at the same place or after it.
void widen_units(uint8_t* dst, uint32_t to_unit, const uint8_t* src, uint32_t from_unit, uint32_t n);

// --- UTF-16LE ---------------------------------------------------------------------
// UTF-16LE text is given as bytes (two per unit, low byte first) and a unit count.

// 4 when any unit is a surrogate, else 2 when any unit is above 0xFF, else 1.
uint32_t utf16_unit_needed(const uint8_t* units, uint32_t count);
// Extra bytes that writing the stored characters as UTF-16 may need: 2 for every
// LF (room for a CR) and for every code point from U+10000 (the second unit).
int64_t utf16_extra_size(const uint8_t* start, const uint8_t* end, uint32_t unit);
// Loads UTF-16LE into a string buffer of the narrowest unit (a target cell's buffer
// is overwritten and keeps its unit when that is wider). With `crlf` every CR is dropped. A high
// surrogate without its low one, or a low one alone, raises script `invalid-data`
// with the offending bytes, before anything is written. Returns the node.
NodeRef load_utf16(const uint8_t* units, uint32_t count, Cell* target, bool crlf);

// Each byte of a NUL-terminated string as one unit, then a NUL unit; returns dst.
uint8_t* latin1_to_utf16(const char* bytes, uint8_t* dst);
// One unit below U+10000, a surrogate pair up to U+10FFFF, nothing above; returns
// the units written.
int cp_to_utf16(uint32_t cp, uint8_t* dst);
// The string from its head as NUL-terminated UTF-16LE in the scratch series.
// *length gives the characters (-1: to the tail) and receives the units written;
// with `crlf` every LF is preceded by CR. A code point above U+10FFFF gives null.
const uint8_t* to_utf16_len(const Cell* str, int32_t* length, bool crlf);
const uint8_t* to_utf16(const Cell* str);

// --- single-byte code page ---------------------------------------------------------

// Loads Windows-1251 text: bytes below 0x80 as they are, the others through the
// code page. A new buffer has unit 2 when a mapped character needs it. CR LF
// folding as in load_utf8_buffer. Returns the node.
NodeRef load_cp1251(const uint8_t* bytes, uint32_t length, Cell* target, bool crlf);

}  // namespace zol::unicode
