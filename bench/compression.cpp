// Compression and inflation of 100 MB of generated text and 100 MB of generated
// binary records through the program's zlib framing (runtime/numeric/deflate.h),
// for bench/compression.sh to set beside Python's zlib on the same bytes.
//
//   bench_compression write DIR   writes DIR/text and DIR/binary
//   bench_compression run DIR     times our compression and inflation of both, and
//                                 our inflation of DIR/<name>.z6 (Python's level 6
//                                 output), checking every result against the data
//
// Best of three rounds; each line reads "<work> <name> <seconds> <output bytes>".
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/numeric/deflate.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t SIZE = 100u * 1000u * 1000u;

struct Lcg {
  uint64_t x = 1;
  uint32_t next() {
    x = x * 6364136223846793005u + 1442695040888963407u;
    return uint32_t(x >> 33);
  }
};

// Words of several lengths drawn with a skewed distribution, in lines.
Bytes text() {
  static const char* const WORDS[] = {
      "the", "of", "and", "a", "to", "in", "is", "you", "that", "it", "he", "was", "for", "on",
      "are", "as", "with", "his", "they", "at", "be", "this", "have", "from", "or", "one",
      "compression", "stream", "window", "literal", "distance", "length", "block", "table",
      "interpreter", "value", "series", "context", "collector", "symbol", "function"};
  constexpr size_t N = sizeof WORDS / sizeof *WORDS;
  Lcg rng;
  Bytes out;
  out.reserve(SIZE + 32);
  size_t line = 0;
  while (out.size() < SIZE) {
    uint32_t r = rng.next();
    const char* w = WORDS[(r % N) * (r % N) / N];
    out.insert(out.end(), w, w + std::strlen(w));
    line += std::strlen(w) + 1;
    out.push_back(line > 70 ? '\n' : ' ');
    if (line > 70) line = 0;
  }
  out.resize(SIZE);
  return out;
}

// 16-byte records: a counter, a slowly moving value, a small code and noise.
Bytes binary() {
  Lcg rng;
  Bytes out(SIZE);
  uint32_t level = 1000;
  for (size_t i = 0; i + 16 <= SIZE; i += 16) {
    uint32_t r = rng.next();
    level += (r & 7) - 3;
    uint32_t fields[4] = {uint32_t(i / 16), level, r >> 28, r & 0xFFu};
    std::memcpy(&out[i], fields, 16);
  }
  return out;
}

bool write_file(const std::string& path, const Bytes& b) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && std::fwrite(b.data(), 1, b.size(), f) == b.size();
  if (f) ok = std::fclose(f) == 0 && ok;
  if (!ok) std::perror(path.c_str());
  return ok;
}

bool read_file(const std::string& path, Bytes* b) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fseek(f, 0, SEEK_END);
  b->resize(size_t(std::ftell(f)));
  std::fseek(f, 0, SEEK_SET);
  bool ok = std::fread(b->data(), 1, b->size(), f) == b->size();
  std::fclose(f);
  return ok;
}

template <class Fn>
double best_of_three(Fn fn) {
  double best = 1e30;
  for (int round = 0; round < 3; round++) {
    auto start = std::chrono::steady_clock::now();
    fn();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (s < best) best = s;
  }
  return best;
}

// Inflates `packed` into a buffer of the data's size; false unless it gives the data.
bool inflate_check(const Bytes& packed, const Bytes& data, double* seconds) {
  Bytes out(data.size());
  zol::deflate::Result r = zol::deflate::OK;
  uint64_t length = 0;
  *seconds = best_of_three([&] {
    length = out.size();
    r = zol::deflate::zlib_decompress(out.data(), &length, packed.data(), packed.size());
  });
  return r == zol::deflate::OK && length == data.size() && out == data;
}

int run(const std::string& dir) {
  for (const char* name : {"text", "binary"}) {
    Bytes data;
    if (!read_file(dir + "/" + name, &data)) {
      std::perror(name);
      return 1;
    }
    Bytes packed(data.size() + data.size() / 8 + 64);
    uint64_t length = 0;
    double t = best_of_three([&] {
      length = packed.size();
      zol::deflate::zlib_compress(packed.data(), &length, data.data(), data.size());
    });
    packed.resize(length);
    std::printf("compress %s %.4f %llu\n", name, t, (unsigned long long)length);
    if (!inflate_check(packed, data, &t)) {
      std::fprintf(stderr, "%s: our stream does not inflate to the data\n", name);
      return 1;
    }
    std::printf("inflate %s %.4f %llu\n", name, t, (unsigned long long)data.size());
    Bytes theirs;
    if (read_file(dir + "/" + name + ".z6", &theirs)) {
      if (!inflate_check(theirs, data, &t)) {
        std::fprintf(stderr, "%s: the level 6 stream does not inflate to the data\n", name);
        return 1;
      }
      std::printf("inflate-z6 %s %.4f %llu\n", name, t, (unsigned long long)data.size());
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_compression write|run DIR\n");
    return 2;
  }
  std::string mode = argv[1], dir = argv[2];
  if (mode == "write") return write_file(dir + "/text", text()) && write_file(dir + "/binary", binary()) ? 0 : 1;
  return run(dir);
}
