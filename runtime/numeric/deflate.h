// The DEFLATE codec of RFC 1951 and its zlib (RFC 1950) and gzip (RFC 1952)
// framings: plain bytes in, plain bytes out, for the `compress` and `decompress`
// natives. Nothing here allocates or raises: every function writes into memory the
// caller supplies and answers a result code, and keeps counting when the output is
// full, so that a call with capacity 0 (and a null output) measures the output and
// the caller can call again with a buffer of that size.
//
// The compressor is built for speed: one final block with the fixed Huffman codes,
// matches found through a 1024 x 4 position table without searching for the longest.
// The inflater reads stored, fixed and dynamic blocks and rejects malformed and
// truncated streams.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zol::deflate {

// What every function here answers. `length` (in/out) is the output capacity on
// entry; on return it is the output's full length, also when that exceeds the
// capacity (TOO_SMALL), so that it measures.
enum Result : int {
  OK = 0,
  TOO_SMALL = 1,         // the output did not fit; `length` tells what is needed
  INVALID = 2,           // bad framing, checksum, code tables or stored-block check
  TRUNCATED = 3,         // the input ends inside a block (also a stored block's LEN)
  BAD_BLOCK_TYPE = 4,    // a block header carries the reserved type 3
  DISTANCE_TOO_FAR = 5,  // a match reaches back before the first byte produced
};

// The most a DEFLATE stream of n bytes can inflate to: a length-258 match coded in
// 2 bits is the densest a stream gets, 1032 bytes per input byte (the small constant
// covers the last partial byte). Callers size buffers from untrusted lengths (gzip's
// ISIZE, an expected size) no larger than this.
constexpr uint64_t max_inflated(uint64_t n) { return n * 1032 + 1032; }

// The raw stream: one final fixed-Huffman block.
Result compress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length);
// Inflates a raw stream. Decoding ends after the final block (bytes after it are
// ignored) or, between blocks, at the end of the input.
Result inflate(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length);
// As inflate, and sets `consumed` to the input bytes the stream took up to the end
// of the last block decoded (its last partial byte counted).
Result inflate_to_end(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length,
                      uint64_t* consumed);

// zlib framing: the header 78 01, the raw stream, the Adler-32 of the data (most
// significant byte first). The writers answer INVALID when the capacity cannot even
// hold the framing's fixed bytes.
Result zlib_compress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length);
Result zlib_decompress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length);

// gzip framing: the ten header bytes 1F 8B 08 00 00000000 04 04, the raw stream, the
// CRC-32 and the length of the data (least significant byte first). Data that
// already starts 1F 8B 08 is copied unchanged rather than compressed again.
Result gzip_compress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length);
Result gzip_decompress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length);

}  // namespace zol::deflate
