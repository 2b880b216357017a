// CRC-32, Adler-32 and the Internet checksum (see checksum.h). CRC-32 runs eight
// bytes a step through eight derived tables (slicing-by-8): the one-table loop
// costs a dependent table load per byte, which leaves it several times slower
// than a library CRC on long inputs.
#include "runtime/numeric/checksum.h"

#include <array>
#include <cstring>

namespace zol::checksum {
namespace {

constexpr uint32_t POLYNOMIAL = 0xEDB88320u;

using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

// tables[0][n] is n shifted right eight times, xor-ing the polynomial after each
// shift that drops a 1 bit; tables[k][n] is the CRC of n followed by k zero bytes.
constexpr CrcTables make_tables() {
  CrcTables t{};
  for (uint32_t n = 0; n < 256; n++) {
    uint32_t c = n;
    for (int k = 0; k < 8; k++) c = c & 1 ? (c >> 1) ^ POLYNOMIAL : c >> 1;
    t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; n++)
    for (int k = 1; k < 8; k++) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}

constexpr CrcTables TABLES = make_tables();

// Largest count of bytes after which b cannot pass 2^32 - 1 in unsigned arithmetic
// when a and b start below 65521.
constexpr size_t ADLER_CHUNK = 5552;
constexpr uint32_t ADLER_MODULUS = 65521;

}  // namespace

uint32_t crc32(const void* data, size_t length, uint32_t previous) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t crc = ~previous;
  while (length >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    // Little-endian words: the first byte is the low byte, as the reflected CRC wants.
    lo ^= crc;
    crc = TABLES[7][lo & 0xFF] ^ TABLES[6][(lo >> 8) & 0xFF] ^ TABLES[5][(lo >> 16) & 0xFF] ^
          TABLES[4][lo >> 24] ^ TABLES[3][hi & 0xFF] ^ TABLES[2][(hi >> 8) & 0xFF] ^
          TABLES[1][(hi >> 16) & 0xFF] ^ TABLES[0][hi >> 24];
    p += 8;
    length -= 8;
  }
  while (length--) crc = TABLES[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t adler32(const void* data, size_t length, uint32_t previous) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t a = previous & 0xFFFF, b = previous >> 16;
  while (length > 0) {
    size_t n = length < ADLER_CHUNK ? length : ADLER_CHUNK;
    length -= n;
    for (; n >= 16; n -= 16, p += 16)
      for (int i = 0; i < 16; i++) {
        a += p[i];
        b += a;
      }
    while (n--) {
      a += *p++;
      b += a;
    }
    a %= ADLER_MODULUS;
    b %= ADLER_MODULUS;
  }
  return b << 16 | a;
}

uint32_t tcp(const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  // A 64-bit sum holds every carry of any input below 2^48 bytes; they are folded
  // back in at the end, which gives the same ones' complement sum.
  uint64_t sum = 0;
  for (; length >= 2; length -= 2, p += 2) sum += uint32_t(p[0]) << 8 | p[1];
  if (length) sum += uint32_t(p[0]) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return ~uint32_t(sum) & 0xFFFF;
}

}  // namespace zol::checksum
