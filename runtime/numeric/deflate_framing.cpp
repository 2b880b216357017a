// The zlib (RFC 1950) and gzip (RFC 1952) framings around the raw DEFLATE stream:
// the fixed headers the writers emit, what the readers check, and the trailers
// (Adler-32 for zlib, CRC-32 and the length for gzip).
//
// The readers accept a frame only when the stream's last block ends exactly where
// the trailer starts, so that data after a stream (a second gzip member, as
// `cat a.gz b.gz` makes) is refused instead of checked against the wrong trailer.
#include <cstring>
#include <initializer_list>

#include "runtime/numeric/checksum.h"
#include "runtime/numeric/deflate.h"

namespace zol::deflate {
namespace {

constexpr uint64_t ZLIB_HEADER = 2;
constexpr uint64_t ZLIB_TRAILER = 4;
constexpr uint64_t GZIP_HEADER = 10;
constexpr uint64_t GZIP_TRAILER = 8;

// zlib's CMF and FLG: method 8 with a 32 KB window, level 0, and check bits that
// make CMF * 256 + FLG a multiple of 31.
constexpr uint8_t ZLIB_CMF = 0x78;
constexpr uint8_t ZLIB_FLG = 0x01;
constexpr uint8_t ZLIB_FDICT = 0x20;

// The gzip header the writer emits: ID1 ID2, method 8, no flags, modification time
// 0, extra flags 4 (fastest compression) and operating system 4.
constexpr uint8_t GZIP_HEADER_BYTES[GZIP_HEADER] = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 4, 4};
constexpr uint8_t FHCRC = 0x02, FEXTRA = 0x04, FNAME = 0x08, FCOMMENT = 0x10;
constexpr uint8_t GZIP_RESERVED_FLAGS = 0xE0;

void put_be32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; i++) at[i] = uint8_t(v >> (24 - 8 * i));
}
void put_le32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; i++) at[i] = uint8_t(v >> (8 * i));
}
uint32_t be32(const uint8_t* at) {
  return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}
uint32_t le32(const uint8_t* at) {
  return uint32_t(at[3]) << 24 | uint32_t(at[2]) << 16 | uint32_t(at[1]) << 8 | at[0];
}
uint32_t le16(const uint8_t* at) { return uint32_t(at[1]) << 8 | at[0]; }

bool starts_gzip(const uint8_t* in, uint64_t n) {
  return n >= 3 && std::memcmp(in, GZIP_HEADER_BYTES, 3) == 0;
}

// Writes header, raw stream and trailer (filled by `trailer`) in one buffer.
// `*length` is the capacity on entry and the frame's full length on return.
template <typename Trailer>
Result frame(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length,
             const uint8_t* header, uint64_t header_size, uint64_t trailer_size, Trailer trailer) {
  uint64_t capacity = *length;
  uint64_t framing = header_size + trailer_size;
  if (capacity < framing) {
    *length = in_length + framing;
    return INVALID;
  }
  std::memcpy(out, header, header_size);
  uint64_t packed = capacity - header_size;
  Result r = compress(out + header_size, &packed, in, in_length);
  *length = packed + framing;
  if (r != OK) return r;
  if (capacity - header_size - packed < trailer_size) return TOO_SMALL;
  trailer(out + header_size + packed);
  return OK;
}

// Inflates the stream that fills in[0, n) exactly: the produced length in
// `*length`. TOO_SMALL comes back before any check of the data, which the output
// did not hold.
Result inflate_exactly(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t n) {
  uint64_t consumed = 0;
  Result r = inflate_to_end(out, length, in, n, &consumed);
  if (r != OK) return r;
  return consumed == n ? OK : INVALID;
}

// The end of a zero-terminated header field starting at `pos`, or 0 when the
// header area ends first.
uint64_t skip_string(const uint8_t* in, uint64_t pos, uint64_t limit) {
  const void* zero = pos < limit ? std::memchr(in + pos, 0, limit - pos) : nullptr;
  return zero ? uint64_t(static_cast<const uint8_t*>(zero) - in) + 1 : 0;
}

// The offset of the raw stream after a gzip header, or 0 when the header is bad.
// The header may not reach into the trailer (`limit`).
uint64_t gzip_header_end(const uint8_t* in, uint64_t limit) {
  if (std::memcmp(in, GZIP_HEADER_BYTES, 3) != 0) return 0;
  uint8_t flags = in[3];
  if (flags & GZIP_RESERVED_FLAGS) return 0;
  uint64_t pos = GZIP_HEADER;
  if (flags & FEXTRA) {
    if (pos + 2 > limit) return 0;
    uint64_t extra = le16(in + pos);
    if (pos + 2 + extra > limit) return 0;
    pos += 2 + extra;
  }
  for (uint8_t field : {FNAME, FCOMMENT}) {
    if ((flags & field) && (pos = skip_string(in, pos, limit)) == 0) return 0;
  }
  if (flags & FHCRC) {
    if (pos + 2 > limit) return 0;
    if ((checksum::crc32(in, pos) & 0xFFFF) != le16(in + pos)) return 0;
    pos += 2;
  }
  return pos;
}

}  // namespace

Result zlib_compress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length) {
  const uint8_t header[ZLIB_HEADER] = {ZLIB_CMF, ZLIB_FLG};
  return frame(out, length, in, in_length, header, ZLIB_HEADER, ZLIB_TRAILER,
               [&](uint8_t* at) { put_be32(at, checksum::adler32(in, in_length)); });
}

Result zlib_decompress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length) {
  if (in_length < ZLIB_HEADER + ZLIB_TRAILER) return INVALID;
  uint8_t cmf = in[0], flg = in[1];
  if ((cmf * 256u + flg) % 31 != 0 || (cmf & 15) != 8 || (cmf >> 4) > 7 || (flg & ZLIB_FDICT))
    return INVALID;
  uint64_t n = in_length - ZLIB_HEADER - ZLIB_TRAILER;
  Result r = inflate_exactly(out, length, in + ZLIB_HEADER, n);
  if (r != OK) return r;
  return checksum::adler32(out, *length) == be32(in + in_length - ZLIB_TRAILER) ? OK : INVALID;
}

Result gzip_compress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length) {
  if (starts_gzip(in, in_length)) {
    uint64_t capacity = *length;
    *length = in_length;
    if (capacity < in_length) return TOO_SMALL;
    std::memcpy(out, in, in_length);
    return OK;
  }
  return frame(out, length, in, in_length, GZIP_HEADER_BYTES, GZIP_HEADER, GZIP_TRAILER,
               [&](uint8_t* at) {
                 put_le32(at, checksum::crc32(in, in_length));
                 put_le32(at + 4, uint32_t(in_length));
               });
}

Result gzip_decompress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length) {
  if (in_length < GZIP_HEADER + GZIP_TRAILER) return INVALID;
  uint64_t limit = in_length - GZIP_TRAILER;
  uint64_t start = gzip_header_end(in, limit);
  if (start == 0) return INVALID;
  uint32_t expected_crc = le32(in + limit);
  uint32_t isize = le32(in + limit + 4);
  // ISIZE sizes the caller's buffer: never beyond what the stream can produce.
  if (isize > max_inflated(limit - start)) return INVALID;
  if (isize > *length) {
    *length = isize;
    return TOO_SMALL;
  }
  Result r = inflate_exactly(out, length, in + start, limit - start);
  if (r != OK) return r;
  // ISIZE is the length modulo 2^32.
  if (uint32_t(*length) != isize || checksum::crc32(out, *length) != expected_crc) return INVALID;
  return OK;
}

}  // namespace zol::deflate
