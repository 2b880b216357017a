// The DEFLATE inflater: stored, fixed-Huffman and dynamic-Huffman blocks.
//
// The input is untrusted, so every table is checked before use and every read is
// bounded: code lengths that over-subscribe a code, or leave it incomplete beyond
// the one-code case RFC 1951 allows, a repeat with nothing to repeat or running
// past the lengths announced, a stored block whose NLEN is not the complement of
// LEN, and symbols no code or table defines are INVALID; a stream that needs bits
// past the end of its input inside a block is TRUNCATED, never read as zeros.
// Between blocks, the end of the input ends the stream cleanly.
//
// Decoding keeps up to 64 input bits in a register and looks codes of up to
// FAST_BITS bits up in one step; longer codes are decoded bit by bit from the
// canonical counts.
#include <algorithm>
#include <bit>
#include <cstring>

#include "runtime/numeric/deflate.h"
#include "runtime/numeric/deflate_tables.h"

namespace zol::deflate {
namespace {

using namespace tables;
static_assert(std::endian::native == std::endian::little, "the bit reader loads words little-endian");

constexpr int FAST_BITS = 10;
constexpr uint32_t FAST_MASK = (1u << FAST_BITS) - 1;
constexpr int CODE_LENGTH_SYMBOLS = 19;
constexpr int NO_SYMBOL = -1;   // the bits name no code: INVALID
constexpr int NO_BITS = -2;     // the input ends inside the code: TRUNCATED

// A canonical Huffman code. `fast` is indexed by the next FAST_BITS input bits and
// holds symbol << 4 | code length for codes that short, 0 otherwise (a longer code
// or no code); `count` and `symbols` (symbols sorted by code length, then value)
// decode every code, long ones included.
struct Huffman {
  uint16_t fast[1u << FAST_BITS];
  uint16_t count[MAX_CODE_LENGTH + 1];
  uint16_t symbols[LITLEN_SYMBOLS];
  uint16_t used;  // symbols with a code
};

// Which incomplete codes a table accepts: the code-length code must be complete;
// the literal/length and distance codes may also be a single code of one bit (the
// one-distance-code case of RFC 1951, which the system's other readers accept for
// both). Any table may be empty; asking it for a symbol is then INVALID.
enum class Completeness { EXACT, ONE_CODE_OF_ONE_BIT };

bool build(Huffman& h, const uint8_t* lengths, int n, Completeness rule) {
  std::memset(h.count, 0, sizeof h.count);
  for (int s = 0; s < n; s++) h.count[lengths[s]]++;
  h.count[0] = 0;
  int left = 1;  // code space not yet taken, in units of the current length
  int used = 0;
  for (int len = 1; len <= MAX_CODE_LENGTH; len++) {
    left = left * 2 - h.count[len];
    if (left < 0) return false;  // over-subscribed
    used += h.count[len];
  }
  h.used = uint16_t(used);
  bool single = used == 1 && h.count[1] == 1;
  if (used > 0 && left > 0 && !(rule == Completeness::ONE_CODE_OF_ONE_BIT && single)) return false;

  uint16_t next[MAX_CODE_LENGTH + 2];
  next[1] = 0;
  for (int len = 1; len <= MAX_CODE_LENGTH; len++) next[len + 1] = uint16_t(next[len] + h.count[len]);
  for (int s = 0; s < n; s++)
    if (lengths[s]) h.symbols[next[lengths[s]]++] = uint16_t(s);

  std::memset(h.fast, 0, sizeof h.fast);
  uint32_t code = 0;
  int index = 0;
  for (int len = 1; len <= FAST_BITS; len++, code <<= 1) {
    for (int k = 0; k < h.count[len]; k++, code++) {
      uint16_t entry = uint16_t(h.symbols[index++] << 4 | len);
      for (uint32_t slot = reversed(code, len); slot <= FAST_MASK; slot += 1u << len) h.fast[slot] = entry;
    }
  }
  return true;
}

// The fixed codes of block type 1, built once.
struct FixedTables {
  Huffman litlen;
  Huffman dist;
  FixedTables() {
    uint8_t lengths[LITLEN_SYMBOLS];
    for (int s = 0; s < LITLEN_SYMBOLS; s++) lengths[s] = uint8_t(fixed_litlen_length(s));
    build(litlen, lengths, LITLEN_SYMBOLS, Completeness::EXACT);
    std::memset(lengths, FIXED_DIST_LENGTH, DIST_SYMBOLS);
    build(dist, lengths, DIST_SYMBOLS, Completeness::EXACT);
  }
};

class Inflater {
 public:
  Inflater(uint8_t* out, uint64_t capacity, const uint8_t* in, uint64_t in_length)
      : out_(out), capacity_(capacity), in_(in), pos_(in), end_(in + in_length) {}

  Result run() {
    for (;;) {
      refill();
      // Only the padding of the last byte is left: the stream ended between blocks.
      if (pos_ == end_ && count_ < 8) return OK;
      uint32_t final_block = bits(1);
      uint32_t type = bits(2);
      Result r = type == 0   ? stored()
                 : type == 1 ? fixed()
                 : type == 2 ? dynamic()
                             : BAD_BLOCK_TYPE;
      if (r != OK || final_block) return r;
    }
  }

  uint64_t produced() const { return produced_; }
  // Input bytes taken so far: those loaded, less the whole bytes still buffered.
  uint64_t consumed() const { return uint64_t(pos_ - in_) - count_ / 8; }

 private:
  // Loads input bytes above the buffered bits until 56 or more are buffered or the
  // input ends. The 8-byte load may also set bits above the count: they are the
  // next bytes' own bits, loaded again (to the same value) later.
  void refill() {
    if (end_ - pos_ >= 8) {
      uint64_t word;
      std::memcpy(&word, pos_, 8);
      buffer_ |= word << count_;
      pos_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ <= 56 && pos_ < end_) {
      buffer_ |= uint64_t(*pos_++) << count_;
      count_ += 8;
    }
  }

  bool have(uint32_t n) {
    if (count_ < n) refill();
    return count_ >= n;
  }

  // The next n (at most 32) bits, which the caller made sure are buffered.
  uint32_t bits(uint32_t n) {
    uint32_t v = uint32_t(buffer_ & ((uint64_t(1) << n) - 1));
    buffer_ >>= n;
    count_ -= n;
    return v;
  }

  int decode(const Huffman& h) {
    if (count_ < MAX_CODE_LENGTH) refill();
    uint16_t entry = h.fast[buffer_ & FAST_MASK];
    uint32_t len = entry & 15;
    if (entry && len <= count_) {
      buffer_ >>= len;
      count_ -= len;
      return entry >> 4;
    }
    return decode_long(h);
  }

  // Canonical decoding one bit at a time: codes longer than FAST_BITS, codes the
  // table lacks, and codes at the very end of the input.
  int decode_long(const Huffman& h) {
    uint32_t code = 0, first = 0, index = 0;
    for (uint32_t len = 1; len <= MAX_CODE_LENGTH; len++) {
      if (index >= h.used) return NO_SYMBOL;  // no code this long or longer
      if (len > count_) return NO_BITS;
      code |= uint32_t(buffer_ >> (len - 1)) & 1;
      uint32_t n = h.count[len];
      if (code - first < n) {
        buffer_ >>= len;
        count_ -= len;
        return h.symbols[index + code - first];
      }
      index += n;
      first = (first + n) << 1;
      code <<= 1;
    }
    return NO_SYMBOL;
  }

  static Result failure(int decoded) { return decoded == NO_BITS ? TRUNCATED : INVALID; }

  void emit(uint8_t byte) {
    if (produced_ < capacity_) out_[produced_] = byte;
    produced_++;
  }

  void emit_bytes(const uint8_t* from, uint64_t n) {
    if (produced_ < capacity_) std::memcpy(out_ + produced_, from, std::min(n, capacity_ - produced_));
    produced_ += n;
  }

  // Repeats `length` bytes from `distance` back; overlapping copies repeat bytes.
  void copy_match(uint32_t length, uint32_t distance) {
    if (produced_ >= capacity_) {  // only counting now
      produced_ += length;
      return;
    }
    if (produced_ + length + 8 <= capacity_) {
      uint8_t* to = out_ + produced_;
      const uint8_t* from = to - distance;
      produced_ += length;
      if (distance >= 8) {
        // Whole words, possibly a few bytes past the match (inside the capacity);
        // each word's source lies before where it goes, so it is already written.
        for (uint32_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
      } else {
        for (uint32_t i = 0; i < length; i++) to[i] = from[i];
      }
      return;
    }
    for (uint32_t i = 0; i < length; i++) {
      if (produced_ < capacity_) out_[produced_] = out_[produced_ - distance];
      produced_++;
    }
  }

  Result stored() {
    bits(count_ & 7);
    if (!have(32)) return TRUNCATED;
    uint32_t len = bits(16);
    uint32_t nlen = bits(16);
    if (len != (~nlen & 0xFFFF)) return INVALID;
    pos_ -= count_ / 8;
    buffer_ = 0;
    count_ = 0;
    if (uint64_t(end_ - pos_) < len) return TRUNCATED;
    emit_bytes(pos_, len);
    pos_ += len;
    return OK;
  }

  Result fixed() {
    static const FixedTables tables;
    return block_data(tables.litlen, tables.dist);
  }

  Result dynamic() {
    if (!have(14)) return TRUNCATED;
    uint32_t hlit = bits(5) + 257;
    uint32_t hdist = bits(5) + 1;
    uint32_t hclen = bits(4) + 4;
    uint8_t lengths[LITLEN_SYMBOLS + DIST_SYMBOLS] = {};
    for (uint32_t i = 0; i < hclen; i++) {
      if (!have(3)) return TRUNCATED;
      lengths[CODE_LENGTH_ORDER[i]] = uint8_t(bits(3));
    }
    Huffman lengths_code;
    if (!build(lengths_code, lengths, CODE_LENGTH_SYMBOLS, Completeness::EXACT)) return INVALID;
    std::memset(lengths, 0, CODE_LENGTH_SYMBOLS);

    uint32_t total = hlit + hdist;
    for (uint32_t n = 0; n < total;) {
      int symbol = decode(lengths_code);
      if (symbol < 0) return failure(symbol);
      if (symbol < 16) {
        lengths[n++] = uint8_t(symbol);
        continue;
      }
      uint8_t value = 0;
      uint32_t repeat;
      if (symbol == 16) {
        if (n == 0) return INVALID;  // nothing to repeat
        if (!have(2)) return TRUNCATED;
        value = lengths[n - 1];
        repeat = 3 + bits(2);
      } else if (symbol == 17) {
        if (!have(3)) return TRUNCATED;
        repeat = 3 + bits(3);
      } else {
        if (!have(7)) return TRUNCATED;
        repeat = 11 + bits(7);
      }
      if (n + repeat > total) return INVALID;
      std::memset(lengths + n, value, repeat);
      n += repeat;
    }
    Huffman litlen, dist;
    if (!build(litlen, lengths, int(hlit), Completeness::ONE_CODE_OF_ONE_BIT) ||
        !build(dist, lengths + hlit, int(hdist), Completeness::ONE_CODE_OF_ONE_BIT))
      return INVALID;
    return block_data(litlen, dist);
  }

  Result block_data(const Huffman& litlen, const Huffman& dist) {
    for (;;) {
      int symbol = decode(litlen);
      if (symbol < 0) return failure(symbol);
      if (symbol < END_OF_BLOCK) {
        emit(uint8_t(symbol));
        continue;
      }
      if (symbol == END_OF_BLOCK) return OK;
      uint32_t s = uint32_t(symbol) - 257;
      if (s >= 29) return INVALID;  // 286 and 287 name no length
      if (!have(LENGTH_EXTRA[s])) return TRUNCATED;
      uint32_t length = LENGTH_BASE[s] + bits(LENGTH_EXTRA[s]);
      int d = decode(dist);
      if (d < 0) return failure(d);
      if (d >= 30) return INVALID;  // 30 and 31 name no distance
      if (!have(DIST_EXTRA[d])) return TRUNCATED;
      uint32_t distance = DIST_BASE[d] + bits(DIST_EXTRA[d]);
      if (distance > produced_) return DISTANCE_TOO_FAR;
      copy_match(length, distance);
    }
  }

  uint8_t* out_;
  uint64_t capacity_;
  uint64_t produced_ = 0;
  const uint8_t* in_;
  const uint8_t* pos_;
  const uint8_t* end_;
  uint64_t buffer_ = 0;
  uint32_t count_ = 0;
};

}  // namespace

Result inflate_to_end(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length,
                      uint64_t* consumed) {
  uint64_t capacity = *length;
  Inflater inflater(out, capacity, in, in_length);
  Result r = inflater.run();
  *length = inflater.produced();
  *consumed = inflater.consumed();
  if (r == OK && inflater.produced() > capacity) return TOO_SMALL;
  return r;
}

Result inflate(uint8_t* out, uint64_t* length, const uint8_t* in, uint64_t in_length) {
  uint64_t consumed;
  return inflate_to_end(out, length, in, in_length, &consumed);
}

}  // namespace zol::deflate
