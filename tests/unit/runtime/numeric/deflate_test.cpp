// The DEFLATE codec and its zlib and gzip framings on plain bytes: the exact bytes
// the compressor writes, the inflater's result codes on hand-made streams (with
// the malformed and truncated ones it must refuse), measuring with capacity 0, and
// the checks of the framing readers. Interoperation with other implementations is
// checked by tests/oracle/compression.py.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "runtime/numeric/checksum.h"
#include "runtime/numeric/deflate.h"

namespace zol {
namespace {

using Bytes = std::vector<uint8_t>;
using Codec = deflate::Result (*)(uint8_t*, uint64_t*, const uint8_t*, uint64_t);

struct Output {
  deflate::Result result;
  uint64_t length;
  Bytes bytes;  // the first min(length, capacity) bytes
};

// Runs a codec with the given capacity on an input held in a buffer of exactly its
// size, so that AddressSanitizer sees any read past it.
Output run(Codec codec, const Bytes& in, uint64_t capacity) {
  Bytes out(capacity);
  uint64_t length = capacity;
  deflate::Result r = codec(capacity ? out.data() : nullptr, &length, in.data(), in.size());
  out.resize(std::min(length, capacity));
  return {r, length, out};
}

// Runs a codec with room enough for anything the tests make.
Output run(Codec codec, const Bytes& in) { return run(codec, in, in.size() * 2 + 4096); }

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes random_bytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = uint8_t(rng());
  return b;
}

// Builds a stream bit by bit, least significant bit first; Huffman codes go in
// most significant bit first, as RFC 1951 sends them.
class Stream {
 public:
  Stream& bits(uint32_t value, int count) {
    for (int i = 0; i < count; i++) push((value >> i) & 1);
    return *this;
  }
  Stream& code(uint32_t value, int length) {
    for (int i = length - 1; i >= 0; i--) push((value >> i) & 1);
    return *this;
  }
  Stream& header(int final_block, int type) { return bits(final_block, 1).bits(type, 2); }
  // A symbol of the fixed literal/length code.
  Stream& fixed(int symbol) {
    if (symbol < 144) return code(0x30 + symbol, 8);
    if (symbol < 256) return code(0x190 + symbol - 144, 9);
    if (symbol < 280) return code(symbol - 256, 7);
    return code(0xC0 + symbol - 280, 8);
  }
  Stream& align() {
    while (count_ % 8) push(0);
    return *this;
  }
  Stream& byte(uint8_t b) { return bits(b, 8); }
  Bytes done() {
    align();
    return bytes_;
  }

 private:
  void push(uint32_t bit) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    bytes_.back() |= uint8_t(bit << (count_ % 8));
    count_++;
  }
  Bytes bytes_;
  size_t count_ = 0;
};

// The canonical code of each symbol from its code length (RFC 1951 section 3.2.2).
std::vector<uint32_t> canonical(const std::vector<int>& lengths) {
  int count[16] = {}, next[16] = {};
  for (int l : lengths) count[l]++;
  count[0] = 0;
  for (int len = 1, code = 0; len < 16; len++) next[len] = code = (code + count[len - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); s++)
    if (lengths[s]) codes[s] = uint32_t(next[lengths[s]]++);
  return codes;
}

// A dynamic block: its header, the code-length code given by the lengths of the
// symbols 0 to 18, then the code-length symbols (with their extra bits) listed.
struct LengthSymbol {
  int symbol;
  uint32_t extra = 0;
};
constexpr int ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
constexpr int REPEAT_EXTRA_BITS[3] = {2, 3, 7};  // symbols 16, 17, 18

Stream dynamic_block(int hlit, int hdist, const std::vector<int>& cl_lengths,
                     const std::vector<LengthSymbol>& symbols) {
  Stream s;
  s.header(1, 2).bits(hlit - 257, 5).bits(hdist - 1, 5).bits(19 - 4, 4);
  for (int i = 0; i < 19; i++) s.bits(cl_lengths[ORDER[i]], 3);
  std::vector<uint32_t> codes = canonical(cl_lengths);
  for (const LengthSymbol& ls : symbols) {
    s.code(codes[ls.symbol], cl_lengths[ls.symbol]);
    if (ls.symbol >= 16) s.bits(ls.extra, REPEAT_EXTRA_BITS[ls.symbol - 16]);
  }
  return s;
}

// A code-length code: the lengths of the symbols listed, 0 for the others.
std::vector<int> cl_code(std::initializer_list<std::pair<int, int>> lengths) {
  std::vector<int> l(19, 0);
  for (auto [symbol, length] : lengths) l[symbol] = length;
  return l;
}

TEST(Deflate, CompressedBytesAreExact) {
  struct Case {
    const char* name;
    Codec codec;
    Bytes input;
    Bytes expected;
  };
  Bytes empty_gzip = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 4, 4, 0x03, 0x00};
  empty_gzip.resize(empty_gzip.size() + 8, 0);
  const Case cases[] = {
      {"empty deflate", deflate::compress, {}, {0x03, 0x00}},
      {"empty zlib", deflate::zlib_compress, {}, {0x78, 0x01, 0x03, 0x00, 0, 0, 0, 1}},
      {"empty gzip", deflate::gzip_compress, {}, empty_gzip},
      // 3 literals, 258 at distance 1, 39 at distance 258.
      {"run of 300", deflate::compress, Bytes(300, 'a'),
       {0x4B, 0x4C, 0x4C, 0x1C, 0x05, 0x44, 0x86, 0x00, 0x00}},
      {"already gzip", deflate::gzip_compress, {0x1F, 0x8B, 0x08, 1, 2, 3}, {0x1F, 0x8B, 0x08, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    Output o = run(c.codec, c.input);
    EXPECT_EQ(o.result, deflate::OK) << c.name;
    EXPECT_EQ(o.bytes, c.expected) << c.name;
  }
}

TEST(Deflate, TheFirstThreeBytesAreLiteralsAndAMatchStaysInsideTheWindow) {
  // "aaaa": the fourth byte is the first that may match, at distance 1 (a fixed
  // block of 'a' 'a' 'a', length 3 at distance 1, end of block).
  Bytes expected = Stream().header(1, 1).fixed('a').fixed('a').fixed('a').fixed(257).code(0, 5)
                       .fixed(256).done();
  EXPECT_EQ(run(deflate::compress, bytes_of("aaaaaa")).bytes, expected);
  // A block repeated 32767 bytes later becomes matches; 32768 bytes later it is
  // out of the window, so every byte of the copy stays a literal. (The filler is a
  // run, whose matches store few positions, so the block's own stay in the table.)
  Bytes block = random_bytes(300, 7);
  auto repeated_after = [&](size_t distance) {
    Bytes in = block;
    Bytes filler(distance - block.size(), 0);
    in.insert(in.end(), filler.begin(), filler.end());
    in.insert(in.end(), block.begin(), block.end());
    return run(deflate::compress, in).length;
  };
  EXPECT_GT(repeated_after(32768), repeated_after(32767) + 250);
}

TEST(Deflate, TooSmallOutputsTellTheFullLength) {
  Bytes text = bytes_of("a text that repeats: a text that repeats, more or less");
  for (Codec codec : {deflate::compress, deflate::zlib_compress, deflate::gzip_compress}) {
    Output full = run(codec, text);
    ASSERT_EQ(full.result, deflate::OK);
    for (uint64_t capacity : {uint64_t(20), full.length - 1}) {
      Output cut = run(codec, text, capacity);
      EXPECT_EQ(cut.result, deflate::TOO_SMALL) << capacity;
      EXPECT_EQ(cut.length, full.length) << capacity;
    }
  }
  // A writer whose capacity cannot hold the framing refuses at once.
  EXPECT_EQ(run(deflate::zlib_compress, text, 5).result, deflate::INVALID);
  EXPECT_EQ(run(deflate::gzip_compress, text, 17).result, deflate::INVALID);
}

TEST(Deflate, RoundTripsAndMeasuresWithCapacityZero) {
  const Bytes inputs[] = {{}, {42}, Bytes(100000, 0), bytes_of("abcabcabcabd"),
                          random_bytes(70000, 1), random_bytes(5000, 2)};
  struct Pair {
    Codec compress, decompress;
  };
  const Pair pairs[] = {{deflate::compress, deflate::inflate},
                        {deflate::zlib_compress, deflate::zlib_decompress},
                        {deflate::gzip_compress, deflate::gzip_decompress}};
  for (const Pair& p : pairs) {
    for (const Bytes& in : inputs) {
      Bytes packed = run(p.compress, in).bytes;
      Output measured = run(p.decompress, packed, 0);
      EXPECT_EQ(measured.result, in.empty() ? deflate::OK : deflate::TOO_SMALL);
      EXPECT_EQ(measured.length, in.size());
      Output back = run(p.decompress, packed, in.size());
      EXPECT_EQ(back.result, deflate::OK) << in.size();
      EXPECT_EQ(back.bytes, in);
    }
  }
}

// A stream, the inflater's answer with room for 64 bytes, and its output.
struct InflateCase {
  const char* name;
  Bytes stream;
  deflate::Result result;
  std::string output;  // checked when the result is OK
};

template <size_t N>
void check_inflate(const InflateCase (&cases)[N]) {
  for (const InflateCase& c : cases) {
    Output o = run(deflate::inflate, c.stream, 64);
    EXPECT_EQ(o.result, c.result) << c.name;
    if (c.result == deflate::OK) {
      EXPECT_EQ(std::string(o.bytes.begin(), o.bytes.end()), c.output) << c.name;
    }
  }
}

TEST(Inflate, ResultCodes) {
  Bytes hello = run(deflate::compress, bytes_of("hello, hello, hello world")).bytes;
  Bytes cut = hello;
  cut.pop_back();
  const InflateCase cases[] = {
      {"empty input", {}, deflate::OK, ""},
      {"block type 3", Stream().header(1, 3).done(), deflate::BAD_BLOCK_TYPE, ""},
      {"distance before any output", Stream().header(1, 1).fixed(257).code(0, 5).done(),
       deflate::DISTANCE_TOO_FAR, ""},
      {"distance past the output", Stream().header(1, 1).fixed('a').fixed(257).code(1, 5).done(),
       deflate::DISTANCE_TOO_FAR, ""},
      {"stored LEN beyond the input",
       Stream().header(1, 0).align().bits(10, 16).bits(~10u, 16).byte('a').byte('b').done(),
       deflate::TRUNCATED, ""},
      {"stored block", Stream().header(1, 0).align().bits(2, 16).bits(~2u, 16).byte('o').byte('k').done(),
       deflate::OK, "ok"},
      {"stored NLEN not the complement",
       Stream().header(1, 0).align().bits(2, 16).bits(2, 16).byte('o').byte('k').done(),
       deflate::INVALID, ""},
      {"stored header cut", Stream().header(1, 0).align().bits(2, 16).done(), deflate::TRUNCATED, ""},
      {"fixed block cut", cut, deflate::TRUNCATED, ""},
      {"no end of block", Stream().header(1, 1).fixed('a').fixed('b').done(), deflate::TRUNCATED, ""},
      {"ends between blocks without a final block",
       Stream().header(0, 1).fixed('a').fixed(256).header(0, 1).fixed('b').fixed(256).done(),
       deflate::OK, "ab"},
      {"bytes after the final block are not read",
       [&] { Bytes b = hello; b.push_back(0xFF); return b; }(), deflate::OK,
       "hello, hello, hello world"},
      {"length symbol 286", Stream().header(1, 1).fixed('a').fixed(286).done(), deflate::INVALID, ""},
      {"distance symbol 30", Stream().header(1, 1).fixed('a').fixed(257).code(30, 5).done(),
       deflate::INVALID, ""},
  };
  check_inflate(cases);
}

TEST(Inflate, DynamicBlocksAreCheckedBeforeTheirTablesAreUsed) {
  // Code-length codes: {0 1 2 18} with 2 bits each; {16 18 0 1} likewise.
  std::vector<int> plain = cl_code({{0, 2}, {1, 2}, {2, 2}, {18, 2}});
  std::vector<int> with16 = cl_code({{16, 2}, {18, 2}, {0, 2}, {1, 2}});
  // Literal/length lengths: 'a' 1 bit, 256 and 257 2 bits each (a complete code);
  // then the distance lengths follow.
  auto litlen_a = [](std::vector<LengthSymbol> dist) {
    std::vector<LengthSymbol> s = {{18, 97 - 11}, {1}, {18, 127}, {18, 20 - 11}, {2}, {2}};
    s.insert(s.end(), dist.begin(), dist.end());
    return s;
  };
  // 'a', a match of 3 at distance 1 (distance code 0), end of block.
  auto body = [](Stream s, bool match) {
    s.code(0, 1);
    if (match) s.code(3, 2).code(0, 1);
    return s.code(2, 2).done();
  };
  const InflateCase cases[] = {
      {"one distance code of one bit", body(dynamic_block(258, 1, plain, litlen_a({{1}})), true),
       deflate::OK, "aaaa"},
      {"no distance code, literals only", body(dynamic_block(258, 1, plain, litlen_a({{0}})), false),
       deflate::OK, "a"},
      {"no distance code asked for a distance",
       body(dynamic_block(258, 1, plain, litlen_a({{0}})), true), deflate::INVALID, ""},
      {"repeat with no previous length", dynamic_block(257, 1, with16, {{16, 0}}).done(),
       deflate::INVALID, ""},
      {"repeats past the lengths announced",
       dynamic_block(257, 1, plain, {{18, 127}, {18, 127}}).done(), deflate::INVALID, ""},
      {"over-subscribed literal/length code",
       dynamic_block(257, 1, plain, {{1}, {1}, {1}, {18, 127}, {18, 106}, {0}}).done(),
       deflate::INVALID, ""},
      {"incomplete literal/length code",
       dynamic_block(257, 1, plain, {{2}, {18, 127}, {18, 106}, {2}, {0}}).done(),
       deflate::INVALID, ""},
      {"incomplete distance code of two codes",
       dynamic_block(258, 2, plain, litlen_a({{2}, {0}})).done(), deflate::INVALID, ""},
      {"over-subscribed code-length code",
       dynamic_block(257, 1, cl_code({{0, 1}, {1, 1}, {18, 1}}), {}).done(), deflate::INVALID, ""},
      {"empty code-length code", dynamic_block(257, 1, cl_code({}), {}).done(), deflate::INVALID, ""},
      {"lengths cut", dynamic_block(258, 1, plain, {{18, 127}}).done(), deflate::TRUNCATED, ""},
  };
  check_inflate(cases);
}

TEST(Inflate, CountsPastTheCapacity) {
  Bytes data = random_bytes(3000, 3);
  data.insert(data.end(), 5000, 'q');
  Bytes packed = run(deflate::compress, data).bytes;
  for (uint64_t capacity : {uint64_t(0), uint64_t(1), uint64_t(2999), uint64_t(3005), uint64_t(7999)}) {
    Output o = run(deflate::inflate, packed, capacity);
    EXPECT_EQ(o.result, deflate::TOO_SMALL) << capacity;
    EXPECT_EQ(o.length, data.size()) << capacity;
    EXPECT_TRUE(std::equal(o.bytes.begin(), o.bytes.end(), data.begin())) << capacity;
  }
}

// A gzip member with a chosen flags byte and the fields it announces.
Bytes gzip_member(uint8_t flags, const Bytes& fields, const Bytes& payload) {
  Bytes g = {0x1F, 0x8B, 0x08, flags, 0, 0, 0, 0, 0, 3};
  g.insert(g.end(), fields.begin(), fields.end());
  Bytes packed = run(deflate::compress, payload).bytes;
  g.insert(g.end(), packed.begin(), packed.end());
  uint32_t crc = checksum::crc32(payload.data(), payload.size());
  for (uint32_t v : {crc, uint32_t(payload.size())})
    for (int i = 0; i < 4; i++) g.push_back(uint8_t(v >> (8 * i)));
  return g;
}

TEST(Framing, ReadersCheckHeadersAndTrailers) {
  Bytes text = bytes_of("framed text, framed text");
  Bytes zlib = run(deflate::zlib_compress, text).bytes;
  Bytes gzip = run(deflate::gzip_compress, text).bytes;
  auto changed = [](Bytes b, size_t at, uint8_t value) {
    b[at] = value;
    return b;
  };
  auto joined = [](Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  Bytes hcrc_header = {0x1F, 0x8B, 0x08, 0x02, 0, 0, 0, 0, 0, 3};
  uint32_t hcrc = checksum::crc32(hcrc_header.data(), hcrc_header.size());
  struct Case {
    const char* name;
    Codec codec;
    Bytes input;
    deflate::Result result;
  };
  const Case cases[] = {
      {"zlib", deflate::zlib_decompress, zlib, deflate::OK},
      {"zlib with a level in FLG", deflate::zlib_decompress, changed(changed(zlib, 1, 0xDA), 0, 0x78),
       deflate::OK},
      {"zlib of 5 bytes", deflate::zlib_decompress, Bytes(zlib.begin(), zlib.begin() + 5), deflate::INVALID},
      {"zlib of 0 bytes", deflate::zlib_decompress, {}, deflate::INVALID},
      {"zlib FDICT", deflate::zlib_decompress, changed(zlib, 1, 0x20), deflate::INVALID},
      {"zlib window code 8", deflate::zlib_decompress, changed(changed(zlib, 0, 0x88), 1, 0x1C),
       deflate::INVALID},
      {"zlib bad FCHECK", deflate::zlib_decompress, changed(zlib, 1, 0x02), deflate::INVALID},
      {"zlib wrong Adler-32", deflate::zlib_decompress, changed(zlib, zlib.size() - 1, 0), deflate::INVALID},
      {"zlib with a byte after the stream", deflate::zlib_decompress,
       [&] { Bytes b = zlib; b.insert(b.end() - 4, 0); return b; }(), deflate::INVALID},
      {"gzip", deflate::gzip_decompress, gzip, deflate::OK},
      {"gzip of 17 bytes", deflate::gzip_decompress, Bytes(gzip.begin(), gzip.begin() + 17), deflate::INVALID},
      {"gzip reserved flag", deflate::gzip_decompress, changed(gzip, 3, 0x20), deflate::INVALID},
      {"gzip wrong CRC-32", deflate::gzip_decompress, changed(gzip, gzip.size() - 8, 0), deflate::INVALID},
      {"gzip wrong ISIZE", deflate::gzip_decompress, changed(gzip, gzip.size() - 4, 1), deflate::INVALID},
      {"gzip members concatenated", deflate::gzip_decompress, joined(gzip, gzip), deflate::INVALID},
      {"gzip second member a prefix of the first", deflate::gzip_decompress,
       joined(gzip, run(deflate::gzip_compress, bytes_of("framed")).bytes), deflate::INVALID},
      {"gzip FEXTRA, FNAME, FCOMMENT", deflate::gzip_decompress,
       gzip_member(0x04 | 0x08 | 0x10, {3, 0, 'x', 'y', 'z', 'n', 0, 'c', 0}, text), deflate::OK},
      {"gzip FEXTRA longer than the input", deflate::gzip_decompress,
       gzip_member(0x04, {0xFF, 0x00, 1}, text), deflate::INVALID},
      {"gzip FNAME without its end", deflate::gzip_decompress,
       [&] { Bytes b = gzip_member(0x08, {}, {}); for (size_t i = 10; i < b.size(); i++) b[i] |= 1; return b; }(),
       deflate::INVALID},
      {"gzip FHCRC", deflate::gzip_decompress,
       gzip_member(0x02, {uint8_t(hcrc), uint8_t(hcrc >> 8)}, text), deflate::OK},
      {"gzip wrong FHCRC", deflate::gzip_decompress,
       gzip_member(0x02, {uint8_t(hcrc + 1), uint8_t(hcrc >> 8)}, text), deflate::INVALID},
  };
  for (const Case& c : cases) {
    Output o = run(c.codec, c.input, 4096);
    EXPECT_EQ(o.result, c.result) << c.name;
    if (c.result == deflate::OK) {
      EXPECT_EQ(o.bytes, text) << c.name;
    }
  }
}

TEST(Framing, GzipSizeComesFromItsTrailerWithinWhatTheStreamCanProduce) {
  Bytes text = bytes_of("sized by its trailer");
  Bytes gzip = run(deflate::gzip_compress, text).bytes;
  Output measured = run(deflate::gzip_decompress, gzip, 0);
  EXPECT_EQ(measured.result, deflate::TOO_SMALL);
  EXPECT_EQ(measured.length, text.size());
  // An ISIZE of 4 GB from a 20-byte stream would only size an allocation.
  Bytes lying = gzip;
  for (size_t i = lying.size() - 4; i < lying.size(); i++) lying[i] = 0xFF;
  EXPECT_EQ(run(deflate::gzip_decompress, lying, 0).result, deflate::INVALID);
  // An ISIZE smaller than the stream's output: the output's real length comes back.
  Bytes small = gzip;
  small[small.size() - 4] = 3;
  Output o = run(deflate::gzip_decompress, small, 3);
  EXPECT_EQ(o.result, deflate::TOO_SMALL);
  EXPECT_EQ(o.length, text.size());
}

}  // namespace
}  // namespace zol
