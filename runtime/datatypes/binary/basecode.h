// The four base codings of bytes as text (base 2, 16, 58 and 64): the encoders and
// decoders that enbase, debase and the binary literals use.
//
// They work on raw memory and know nothing of cells, so the callers size and own
// the buffers: an encoder writes into an area of at least encoded_size() bytes
// and answers the address after its text; a decoder reads characters of a given
// unit (1, 2 or 4 bytes, little-endian, as text buffers store them) and writes at
// most decoded_capacity() bytes.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zol::binary {

// The bases there are codings for.
bool is_coding_base(int base);

// Characters the encoder of `base` writes at most for n bytes (base 58 may write
// up to 2n + 1).
size_t encoded_size(int base, size_t n);
// Writes the text of n bytes; answers the address past it. No line breaks.
uint8_t* encode(int base, uint8_t* out, const uint8_t* in, size_t n);

// Bytes the decoder of `base` writes at most for n characters.
size_t decoded_capacity(int base, size_t n);
// Decodes n characters of `unit` into out. Answers the bytes written, or -1 when
// the text is invalid. Whitespace and ";" comments (to the line's end) are
// skipped; see basecode.cpp for each base's rules.
int64_t decode(int base, const uint8_t* in, size_t n, uint32_t unit, uint8_t* out);

}  // namespace zol::binary
