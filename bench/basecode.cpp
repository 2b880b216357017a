// Base-64 encode and decode of 100 MB of random bytes through the calls enbase and
// debase make (a binary! in, a new string! out, and back), best of three rounds
// each; bench/basecode.sh runs Python's base64 on the same amount beside it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "boot/runtime.h"
#include "runtime/datatypes/binary/binary.h"

using namespace zol;

namespace {

constexpr uint32_t BYTES = 100u << 20;

template <class Fn>
double best_of_three(Fn fn) {
  double best = 1e9;
  for (int round = 0; round < 3; round++) {
    auto start = std::chrono::steady_clock::now();
    fn();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  runtime::init();
  std::string random_bytes(BYTES, '\0');
  std::mt19937_64 random(7);
  for (size_t i = 0; i + 8 <= random_bytes.size(); i += 8) {
    uint64_t v = random();
    random_bytes.replace(i, 8, reinterpret_cast<const char*>(&v), 8);
  }
  Cell bytes;
  binary::load(reinterpret_cast<const uint8_t*>(random_bytes.data()), BYTES, &bytes);
  Cell text, decoded;
  double encode = best_of_three([&] {
    binary::encode_bytes(binary::head_bytes(&bytes), uint32_t(binary::length(&bytes)), 64, &text);
  });
  double decode = best_of_three([&] { binary::decode_text(&text, 64, &decoded); });
  bool same = binary::length(&decoded) == int32_t(BYTES) &&
              std::memcmp(random_bytes.data(), binary::head_bytes(&decoded), BYTES) == 0;
  std::printf("encode %.3f\ndecode %.3f\n%s\n", encode, decode, same ? "round trip ok" : "ROUND TRIP FAILED");
  return same ? 0 : 1;
}
