// The LZ bit codec of ZOLBIN flag bit 1.
//
// Stream: data size S (int32), uncompressed size U (int32), then chunks until S
// bytes are used. Chunk: its output length L (int32, 1 to 1 MB), then a bit stream
// (least significant bit of each byte first, each field least significant bit
// first) of tokens producing exactly L bytes, padded to a whole byte:
//   0 + 8 bits                    a literal byte
//   1 + length code + distance    copy n + 3 bytes from d + 1 bytes back
// Length code (prefix in stream order, extra bits, n): 1/2/0-3, 01/2/4-7,
// 001/2/8-11, 0001/3/12-19, 00001/5/20-51, 00000/9/52-563. Distance: a 4-bit e,
// j = e + 2; j = 2 takes d from 3 bits, otherwise d = 2^j + j bits. Matches never
// leave their chunk, so chunks decode independently.
#include <cstring>

#include "runtime/zolbin/zolbin.h"

namespace zol::zolbin::lz {
namespace {

constexpr size_t HEADER = 8;
constexpr int MAX_MATCH = 566;
constexpr uint32_t MAX_DISTANCE = 0x40000;
constexpr size_t MIN_INPUT = 128;
// A token produces at most 566 bytes from at least 22 bits, so no honest stream
// decompresses to more than this many bytes per input byte.
constexpr uint64_t MAX_RATIO = 256;

uint32_t read32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back(uint8_t(v >> (8 * i)));
}

// Bits taken from a bounded input; reading past its end sets `failed`.
struct BitReader {
  const uint8_t* at;
  const uint8_t* end;
  uint64_t bits = 0;
  int held = 0;
  bool failed = false;

  uint32_t take(int n) {
    while (held < n) {
      if (at >= end) { failed = true; return 0; }
      bits |= uint64_t(*at++) << held;
      held += 8;
    }
    uint32_t v = uint32_t(bits & ((uint64_t(1) << n) - 1));
    bits >>= n;
    held -= n;
    return v;
  }
};

// The length code's rows: prefix length (number of zero bits before the 1, or 5
// for the row without a 1), extra bits, base n.
struct LengthRow { int extra; int base; };
constexpr LengthRow LENGTH_ROWS[6] = {{2, 0}, {2, 4}, {2, 8}, {3, 12}, {5, 20}, {9, 52}};

int read_length(BitReader* r) {
  int zeros = 0;
  while (zeros < 5 && r->take(1) == 0) zeros++;
  return LENGTH_ROWS[zeros].base + int(r->take(LENGTH_ROWS[zeros].extra)) + 3;
}

uint32_t read_distance(BitReader* r) {
  int j = int(r->take(4)) + 2;
  uint32_t d = j == 2 ? r->take(3) : (1u << j) + r->take(j);
  return d + 1;
}

bool decompress_chunk(BitReader* r, uint8_t* chunk, uint32_t length) {
  uint32_t made = 0;
  while (made < length) {
    if (r->take(1) == 0) {
      uint32_t byte = r->take(8);
      if (r->failed) return false;
      chunk[made++] = uint8_t(byte);
      continue;
    }
    uint32_t n = uint32_t(read_length(r));
    uint32_t distance = read_distance(r);
    if (r->failed || distance > made || n > length - made) return false;
    for (uint32_t i = 0; i < n; i++, made++) chunk[made] = chunk[made - distance];
  }
  return true;
}

// --- compression ------------------------------------------------------------------------

struct BitWriter {
  std::vector<uint8_t>* out;
  uint64_t bits = 0;
  int held = 0;
  void put(int n, uint32_t v) {
    bits |= uint64_t(v) << held;
    held += n;
    while (held >= 8) {
      out->push_back(uint8_t(bits));
      bits >>= 8;
      held -= 8;
    }
  }
  void flush() { put(7, 0); bits = 0; held = 0; }
};

void write_match(BitWriter* w, int length, uint32_t distance) {
  int n = length - 3;
  int row = 0;
  while (row < 5 && n >= LENGTH_ROWS[row + 1].base) row++;
  for (int i = 0; i < row; i++) w->put(1, 0);
  if (row < 5) w->put(1, 1);
  w->put(LENGTH_ROWS[row].extra, uint32_t(n - LENGTH_ROWS[row].base));
  uint32_t d = distance - 1;
  int j = 2;
  while (d >= (2u << j)) j++;
  w->put(4, uint32_t(j - 2));
  if (j == 2) w->put(3, d);
  else w->put(j, d - (1u << j));
}

// The compressor's match finder: one direct candidate per 3-byte hash, and a chain
// of earlier positions per 4-byte hash walked for at most 256 candidates.
struct Finder {
  std::vector<int32_t> head3 = std::vector<int32_t>(1 << 19);
  std::vector<int32_t> head4 = std::vector<int32_t>(1 << 20);
  std::vector<int32_t> chain = std::vector<int32_t>(1 << 18);
  const uint8_t* data = nullptr;
  int32_t size = 0;

  static uint32_t hash3(const uint8_t* p) { return ((uint32_t(p[0]) << 14) + (uint32_t(p[1]) << 7) + p[2]) & 0x7FFFF; }
  static uint32_t hash4(const uint8_t* p) {
    return ((uint32_t(p[0]) << 15) + (uint32_t(p[1]) << 10) + (uint32_t(p[2]) << 5) + p[3]) & 0xFFFFF;
  }
  void reset(const uint8_t* chunk, int32_t n) {
    data = chunk;
    size = n;
    std::fill(head3.begin(), head3.end(), -1);
    std::fill(head4.begin(), head4.end(), -1);
  }
  int match_length(int32_t candidate, int32_t pos, int limit) const {
    int k = 0;
    while (k < limit && data[candidate + k] == data[pos + k]) k++;
    return k;
  }
  void enter(int32_t pos) {
    if (pos + 3 <= size) head3[hash3(data + pos)] = pos;
    if (pos + 4 <= size) {
      uint32_t h = hash4(data + pos);
      chain[pos & 0x3FFFF] = head4[h];
      head4[h] = pos;
    }
  }
  // The best match at pos: its length (below 3: none) and distance.
  int best(int32_t pos, uint32_t* distance) const {
    int limit = std::min(MAX_MATCH, size - pos);
    int best_length = 2;
    uint32_t best_distance = MAX_DISTANCE;
    if (limit < 3) return 0;
    auto within = [&](int32_t c) { return c >= 0 && c < pos && uint32_t(pos - c) <= MAX_DISTANCE; };
    int32_t c3 = head3[hash3(data + pos)];
    if (within(c3) && data[c3] == data[pos]) {
      int k = match_length(c3, pos, limit);
      if (k > best_length) { best_length = k; best_distance = uint32_t(pos - c3); }
    }
    if (limit >= 4 && best_length < MAX_MATCH) {
      int32_t c = head4[hash4(data + pos)];
      for (int walked = 0; walked < 256 && within(c); walked++) {
        if (best_length < limit && data[c + best_length] == data[pos + best_length] &&
            data[c] == data[pos]) {
          int k = match_length(c, pos, limit);
          int penalty = 0;
          for (uint32_t span = uint32_t(pos - c) / 16; span > best_distance; span /= 8) penalty++;
          if (k > best_length + penalty) { best_length = k; best_distance = uint32_t(pos - c); }
          if (k >= limit) break;
        }
        int32_t next = chain[c & 0x3FFFF];
        if (next >= c) break;
        c = next;
      }
    }
    if (best_length == 3 && best_distance > 65536) return 0;
    *distance = best_distance;
    return best_length;
  }
};

}  // namespace

bool decompress(const uint8_t* in, size_t length, std::vector<uint8_t>* out) {
  out->clear();
  if (length < HEADER) return false;
  uint64_t data_size = read32(in);
  uint64_t total = read32(in + 4);
  if (data_size > length - HEADER || total > data_size * MAX_RATIO) return false;
  out->resize(total + 8);
  const uint8_t* chunks = in + HEADER;
  size_t made = 0;
  size_t at = 0;
  while (at < data_size) {
    if (data_size - at < 4) return false;
    uint32_t chunk_length = read32(chunks + at);
    at += 4;
    if (chunk_length < 1 || chunk_length > MAX_CHUNK || chunk_length > out->size() - made)
      return false;
    BitReader r{chunks + at, chunks + data_size};
    if (!decompress_chunk(&r, out->data() + made, chunk_length)) return false;
    made += chunk_length;
    at = size_t(r.at - chunks);
  }
  out->resize(made);
  return true;
}

std::vector<uint8_t> compress(const uint8_t* in, size_t length) {
  std::vector<uint8_t> out;
  if (length < MIN_INPUT || length > 0x7FFFFFF0) return out;
  out.resize(HEADER);
  Finder finder;
  BitWriter w{&out};
  for (size_t start = 0; start < length; start += MAX_CHUNK) {
    int32_t n = int32_t(std::min<size_t>(MAX_CHUNK, length - start));
    put32(&out, uint32_t(n));
    finder.reset(in + start, n);
    for (int32_t pos = 0; pos < n;) {
      uint32_t distance = 0;
      int k = finder.best(pos, &distance);
      if (k >= 3) {
        w.put(1, 1);
        write_match(&w, k, distance);
      } else {
        k = 1;
        w.put(9, uint32_t(in[start + pos]) << 1);
      }
      for (int i = 0; i < k; i++) finder.enter(pos + i);
      pos += k;
    }
    w.flush();
  }
  if (out.size() - HEADER > length - HEADER) return {};
  uint32_t data_size = uint32_t(out.size() - HEADER);
  std::memcpy(out.data(), &data_size, 4);
  uint32_t total = uint32_t(length);
  std::memcpy(out.data() + 4, &total, 4);
  return out;
}

}  // namespace zol::zolbin::lz
