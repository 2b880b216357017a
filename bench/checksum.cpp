// CRC-32 and SHA-256 of a 100 MB buffer of pseudo-random bytes through the
// program's checksum functions; best of five rounds each, printed as seconds for
// bench/checksum.sh to set beside Python's zlib.crc32 and hashlib.sha256 on the
// same bytes, which it writes to the file named by its argument (when there is
// one). The results are printed too, so that the script can check that both
// sides saw the same data.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench/best_of.h"
#include "runtime/numeric/checksum.h"

namespace {

constexpr size_t SIZE = 100u * 1000u * 1000u;

using zol::bench::best_of_five;

}  // namespace

int main(int argc, char** argv) {
  // A 64-bit linear congruential generator, one byte from bits 56-63 per step.
  std::vector<uint8_t> data(SIZE);
  uint64_t x = 1;
  for (size_t i = 0; i < SIZE; i++) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    data[i] = uint8_t(x >> 56);
  }
  if (argc > 1) {
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size() || std::fclose(f) != 0) {
      std::perror(argv[1]);
      return 1;
    }
  }
  volatile uint32_t crc = 0;
  double crc_time = best_of_five([&] { crc = zol::checksum::crc32(data.data(), data.size()); });
  zol::checksum::Digest d{};
  double sha_time = best_of_five(
      [&] { d = zol::checksum::digest(data.data(), data.size(), zol::checksum::Method::SHA256); });
  std::printf("crc32 %.4f %08x\n", crc_time, unsigned(crc));
  std::printf("sha256 %.4f %02x%02x%02x%02x\n", sha_time, d.bytes[0], d.bytes[1], d.bytes[2],
              d.bytes[3]);
  return 0;
}
