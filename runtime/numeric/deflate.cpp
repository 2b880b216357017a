// The DEFLATE compressor: the whole input becomes one final block with the fixed
// Huffman codes. Matches come from a table of 1024 buckets of 4 input positions,
// keyed by a hash of the 3 bytes at a position; the first candidate in a bucket
// whose 3 bytes agree is taken and extended, with no search for a longer one and no
// lazy matching, which keeps one hash, at most 4 comparisons and one store per step.
// The exact bucket and slot rules fix the output byte for byte.
#include <algorithm>
#include <bit>
#include <cstring>

#include "runtime/numeric/deflate.h"
#include "runtime/numeric/deflate_tables.h"

namespace zol::deflate {
namespace {

using namespace tables;
static_assert(std::endian::native == std::endian::little, "the bit writer stores words little-endian");

constexpr int BUCKETS = 1024;
constexpr int SLOTS = 4;
constexpr uint64_t EMPTY = UINT64_MAX;  // never below a position, so never a candidate
constexpr uint32_t MIN_MATCH = 3;
constexpr uint32_t MAX_MATCH = 258;

// Bits ready to write least significant first: a reversed Huffman code, followed
// for lengths by the extra bits, so that one write emits a whole symbol.
struct Code {
  uint32_t bits;
  uint32_t count;
};

constexpr uint32_t fixed_litlen_code(int symbol) {
  return symbol < 144   ? 0x30 + symbol
         : symbol < 256 ? 0x190 + (symbol - 144)
         : symbol < 280 ? symbol - 256
                        : 0xC0 + (symbol - 280);
}

constexpr Code litlen(int symbol) {
  int n = fixed_litlen_length(symbol);
  return {reversed(fixed_litlen_code(symbol), n), uint32_t(n)};
}

struct FixedCodes {
  Code literal[256];
  Code length[MAX_MATCH + 1];  // by match length, its symbol then its extra bits
};

constexpr FixedCodes make_fixed_codes() {
  FixedCodes t{};
  for (int b = 0; b < 256; b++) t.literal[b] = litlen(b);
  for (int s = 0; s < 29; s++) {
    int span = s == 28 ? 1 : 1 << LENGTH_EXTRA[s];
    for (int e = 0; e < span; e++) {
      Code c = litlen(257 + s);
      t.length[LENGTH_BASE[s] + e] = {c.bits | uint32_t(e) << c.count, c.count + LENGTH_EXTRA[s]};
    }
  }
  return t;
}

constexpr FixedCodes FIXED = make_fixed_codes();

// A distance's symbol (5-bit reversed code) followed by its extra bits.
inline Code distance_code(uint32_t distance) {
  uint32_t x = distance - 1;
  if (x < 4) return {reversed(x, FIXED_DIST_LENGTH), FIXED_DIST_LENGTH};
  uint32_t top = 31 - uint32_t(std::countl_zero(x));  // 2 for distances 5 to 8
  uint32_t extra_bits = top - 1;
  uint32_t symbol = 2 * top + ((x >> extra_bits) & 1);
  uint32_t extra = x & ((1u << extra_bits) - 1);
  return {reversed(symbol, FIXED_DIST_LENGTH) | extra << FIXED_DIST_LENGTH,
          FIXED_DIST_LENGTH + extra_bits};
}

// Writes bits least significant first. Whole 32-bit words leave the accumulator;
// a byte at or past the capacity is not stored, but the position still advances,
// so the final position is the stream's full length.
class BitWriter {
 public:
  BitWriter(uint8_t* out, uint64_t capacity) : out_(out), capacity_(capacity) {}

  // At most 31 bits at a time.
  void put(uint32_t bits, uint32_t count) {
    pending_ |= uint64_t(bits) << count_;
    count_ += count;
    if (count_ >= 32) {
      store(uint32_t(pending_), 4);
      pending_ >>= 32;
      count_ -= 32;
    }
  }

  // Pads with 0 bits to a byte boundary and stores what is pending; the length.
  uint64_t finish() {
    store(pending_, (count_ + 7) / 8);
    pending_ = 0;
    count_ = 0;
    return position_;
  }

 private:
  void store(uint64_t word, uint32_t bytes) {
    if (position_ + bytes <= capacity_) {
      std::memcpy(out_ + position_, &word, bytes);
    } else {
      for (uint32_t i = 0; i < bytes; i++)
        if (position_ + i < capacity_) out_[position_ + i] = uint8_t(word >> (8 * i));
    }
    position_ += bytes;
  }

  uint8_t* out_;
  uint64_t capacity_;
  uint64_t position_ = 0;
  uint64_t pending_ = 0;
  uint32_t count_ = 0;
};

// The bucket of the 3 bytes at p: their value through an integer mixing function.
inline uint32_t bucket_of(const uint8_t* p) {
  uint32_t x = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x & (BUCKETS - 1);
}

inline bool same3(const uint8_t* a, const uint8_t* b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// How far the bytes at a and b agree, from `known` up to `limit`.
inline uint32_t match_length(const uint8_t* a, const uint8_t* b, uint32_t known, uint32_t limit) {
  uint32_t n = known;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + uint32_t(std::countr_zero(x ^ y)) / 8;
    n += 8;
  }
  while (n < limit && a[n] == b[n]) n++;
  return n;
}

}  // namespace

Result compress(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length) {
  uint64_t table[BUCKETS][SLOTS];
  std::fill(&table[0][0], &table[0][0] + BUCKETS * SLOTS, EMPTY);
  BitWriter writer(out, *length);
  writer.put(0b011, 3);  // BFINAL 1, BTYPE 01: fixed Huffman codes
  uint64_t p = 0;
  while (p < in_length) {
    if (in_length - p < MIN_MATCH) {
      const Code& c = FIXED.literal[in[p]];
      writer.put(c.bits, c.count);
      p++;
      continue;
    }
    uint64_t start = p;
    uint64_t* bucket = table[bucket_of(in + p)];
    uint64_t from = EMPTY;
    // The first three bytes are literals even when they repeat: the table is empty.
    if (p >= MIN_MATCH) {
      for (int s = 0; s < SLOTS; s++) {
        uint64_t q = bucket[s];
        if (q < p && p - q < WINDOW && same3(in + q, in + p)) {
          from = q;
          break;
        }
      }
    }
    if (from != EMPTY) {
      uint32_t limit = uint32_t(std::min<uint64_t>(MAX_MATCH, in_length - p));
      uint32_t n = match_length(in + from, in + p, MIN_MATCH, limit);
      const Code& len = FIXED.length[n];
      writer.put(len.bits, len.count);
      Code dist = distance_code(uint32_t(p - from));
      writer.put(dist.bits, dist.count);
      p += n;
    } else {
      const Code& c = FIXED.literal[in[p]];
      writer.put(c.bits, c.count);
      p++;
    }
    // Only the step's start goes into the table; positions inside a match do not.
    // Past the last 3 bytes no step searches again, so nothing is stored there.
    if (in_length - p >= MIN_MATCH) bucket[((uint32_t(in[p + 1]) >> 6) - in[p + 2]) & 3] = start;
  }
  writer.put(0, 7);  // end of block: symbol 256 is seven 0 bits
  uint64_t capacity = *length;
  *length = writer.finish();
  return *length > capacity ? TOO_SMALL : OK;
}

}  // namespace zol::deflate
