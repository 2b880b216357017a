// libFuzzer target: the input describes a small image (a width and height byte,
// then pixel words); each lossless codec (PNG, BMP, TIFF) must give the pixels
// back exactly, GIF exactly once every pixel is fully opaque or fully clear and
// there are at most 255 colours, and JPEG an image of the same size. A broken rule
// aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "platform/codecs/codecs.h"

namespace {

using namespace zol::codecs;

void require(bool rule) {
  if (!rule) std::abort();
}

Raster round_trip(const std::vector<uint32_t>& p, uint32_t w, uint32_t h, Kind kind) {
  std::vector<uint8_t> file;
  require(encode(p.data(), w, h, kind, &file) == Status::OK);
  Raster back;
  require(decode(file.data(), file.size(), &back) == Status::OK);
  require(back.width == w && back.height == h);
  return back;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  uint32_t w = data[0] % 64 + 1, h = data[1] % 64 + 1;
  std::vector<uint32_t> p(size_t(w) * h, 0xFF000000u);
  size_t given = std::min(p.size(), (size - 2) / 4);
  std::memcpy(p.data(), data + 2, given * 4);
  for (Kind kind : {Kind::PNG, Kind::BMP, Kind::TIFF}) require(round_trip(p, w, h, kind).pixels == p);

  // GIF: opacity to 0 or 255 (a clear pixel's colour is not kept).
  std::vector<uint32_t> two_level = p;
  std::set<uint32_t> colours;
  for (uint32_t& v : two_level) {
    v = (v >> 24) < 128 ? 0u : v | 0xFF000000u;
    if (v) colours.insert(v);
  }
  Raster gif = round_trip(two_level, w, h, Kind::GIF);
  if (colours.size() <= 255) require(gif.pixels == two_level);
  round_trip(p, w, h, Kind::JPEG);
  return 0;
}
