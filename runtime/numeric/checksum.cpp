// CRC-32, Adler-32 and the Internet checksum (see checksum.h). CRC-32 runs eight
// bytes a step through eight derived tables (slicing-by-8): the one-table loop
// costs a dependent table load per byte. On x86-64 processors with carry-less
// multiplication, long inputs are folded 64 bytes a step instead (the CRC of a
// block is linear in it, so four 128-bit lanes are multiplied forward by x^512
// mod P and xor-ed into the next block) and reduced to 32 bits at the end; that
// is about three times the speed of the tables.
#include "runtime/numeric/checksum.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

uint32_t crc32_tables(const uint8_t* p, size_t length, uint32_t crc) {
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
  return crc;
}

#if defined(__x86_64__)
#define ZOL_CLMUL __attribute__((target("pclmul,sse4.1")))

ZOL_CLMUL inline __m128i load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// One lane multiplied forward by the pair of powers in k, xor-ed into the next.
ZOL_CLMUL inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  __m128i low = _mm_clmulepi64_si128(x, k, 0x00);
  __m128i high = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// Folds `length` bytes (at least 64, a multiple of 16) into the running (not yet
// complemented) CRC. The constants are powers of x modulo the polynomial, bit
// reflected: x^(512+32) and x^(512-32) fold four lanes, x^(128+32) and
// x^(128-32) one lane, x^64 takes 128 bits to 64, and the last pair is the
// polynomial and its Barrett quotient x^64 div P.
ZOL_CLMUL uint32_t crc32_folded(const uint8_t* p, size_t length, uint32_t crc) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(int(crc)));
  __m128i x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
  p += 64;
  length -= 64;
  while (length >= 64) {
    x1 = fold(x1, k1k2, load(p));
    x2 = fold(x2, k1k2, load(p + 16));
    x3 = fold(x3, k1k2, load(p + 32));
    x4 = fold(x4, k1k2, load(p + 48));
    p += 64;
    length -= 64;
  }
  x1 = fold(x1, k3k4, x2);
  x1 = fold(x1, k3k4, x3);
  x1 = fold(x1, k3k4, x4);
  while (length >= 16) {
    x1 = fold(x1, k3k4, load(p));
    p += 16;
    length -= 16;
  }
  // 128 bits to 64.
  const __m128i mask32 = _mm_setr_epi32(-1, 0, -1, 0);
  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  __m128i shifted = _mm_srli_si128(x, 4);
  x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, mask32), k5, 0x00), shifted);
  // Barrett reduction to 32.
  __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x, mask32), poly, 0x10), mask32);
  t = _mm_clmulepi64_si128(t, poly, 0x00);
  return uint32_t(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

const bool HAS_CLMUL = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#endif

// Below this the set-up and the final reduction cost more than the tables.
constexpr size_t FOLD_MINIMUM = 256;

}  // namespace

uint32_t crc32(const void* data, size_t length, uint32_t previous) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t crc = ~previous;
#if defined(__x86_64__)
  if (HAS_CLMUL && length >= FOLD_MINIMUM) {
    size_t folded = length & ~size_t(15);
    crc = crc32_folded(p, folded, crc);
    p += folded;
    length -= folded;
  }
#endif
  return ~crc32_tables(p, length, crc);
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
