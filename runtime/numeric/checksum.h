// Checksums and digests over plain bytes: CRC-32, Adler-32 and the Internet (TCP)
// checksum are computed here; MD5, SHA-1 and the SHA-2 digests come from libcrypto,
// and HMAC is built here on top of them. Nothing here knows cells or raises: the
// `checksum` native converts values to bytes and shapes the results, and the zlib
// and gzip framings take their trailers from crc32 and adler32.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zol::checksum {

// CRC-32 of ISO 3309 (reflected polynomial 0xEDB88320). `previous` continues an
// earlier result over more bytes: crc32(b, crc32(a)) is the CRC of a followed by b.
uint32_t crc32(const void* data, size_t length, uint32_t previous = 0);
// Adler-32 of RFC 1950; `previous` continues an earlier result (1 to start).
uint32_t adler32(const void* data, size_t length, uint32_t previous = 1);
// The Internet checksum of RFC 1071: 0 to 65535.
uint32_t tcp(const void* data, size_t length);

// The methods that have an index (the digests, HMAC and the two checksums that
// take part in the method list), in their fixed order.
enum class Method : int { TCP = 0, CRC32 = 1, MD5 = 2, SHA1 = 3, SHA256 = 4, SHA384 = 5, SHA512 = 6 };

constexpr size_t MAX_DIGEST = 64;

// A digest: its bytes are the first `size`; size 0 when the method has no digest.
struct Digest {
  uint8_t bytes[MAX_DIGEST];
  size_t size;
};

// 16, 20, 32, 48 or 64 for the digests, 0 for any other method.
size_t digest_size(Method method);
// True for the five methods that have a digest (and so an HMAC).
inline bool has_digest(Method method) { return digest_size(method) != 0; }

// The digest of the bytes; size 0 when the method has none.
Digest digest(const void* data, size_t length, Method method);
// HMAC of RFC 2104 with the method's digest; size 0 when the method has none.
Digest hmac(const void* data, size_t length, const void* key, size_t key_length, Method method);

}  // namespace zol::checksum
