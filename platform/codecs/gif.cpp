// GIF through giflib, which reports failures by status and prints nothing.
// Reading takes frame 0 at its own size, undoes interlacing, and gives the
// transparent index opacity 0. Writing uses an exact palette when the opaque
// colours number 255 or fewer, else a median-cut palette; a pixel with opacity
// below 128 takes the transparent index.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/codecs/codecs.h"

namespace zol::codecs {

namespace {

struct Source {
  const uint8_t* bytes;
  size_t n, at;
};

int read_from(GifFileType* gif, GifByteType* to, int want) {
  auto* s = static_cast<Source*>(gif->UserData);
  size_t k = std::min(size_t(want), s->n - s->at);
  std::memcpy(to, s->bytes + s->at, k);
  s->at += k;
  return int(k);
}

int write_to(GifFileType* gif, const GifByteType* from, int count) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), from, from + count);
  return count;
}

// The rows of an interlaced frame in the order they are stored.
std::vector<uint32_t> row_order(uint32_t height, bool interlaced) {
  std::vector<uint32_t> rows;
  if (!interlaced) {
    for (uint32_t y = 0; y < height; y++) rows.push_back(y);
    return rows;
  }
  static const uint32_t START[] = {0, 4, 2, 1}, STEP[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; pass++)
    for (uint32_t y = START[pass]; y < height; y += STEP[pass]) rows.push_back(y);
  return rows;
}

// Every LZW code takes at least 3 bits and stands for at most 4096 pixels: a frame
// announcing more pixels than the bytes present could code is refused before its
// pixels are allocated.
bool plausible(uint64_t width, uint64_t height, size_t n) {
  return width * height <= uint64_t(n) * 8 / 3 * 4096 + 4096;
}

Status read_frame(GifFileType* gif, int transparent, size_t n, Raster* out) {
  if (DGifGetImageDesc(gif) == GIF_ERROR) return Status::BAD_MEDIA;
  const GifImageDesc& d = gif->Image;
  if (d.Width <= 0 || d.Height <= 0) return Status::BAD_MEDIA;
  ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
  if (!map) return Status::BAD_MEDIA;
  Status sized = check_limits(uint32_t(d.Width), uint32_t(d.Height));
  if (sized == Status::OK && !plausible(uint32_t(d.Width), uint32_t(d.Height), n))
    sized = Status::BAD_MEDIA;
  if (sized == Status::OK) sized = size_raster(uint32_t(d.Width), uint32_t(d.Height), out);
  if (sized != Status::OK) return sized;
  std::vector<GifPixelType> line(out->width);
  for (uint32_t y : row_order(out->height, d.Interlace)) {
    if (DGifGetLine(gif, line.data(), int(out->width)) == GIF_ERROR) return Status::BAD_MEDIA;
    uint32_t* to = out->data + size_t(y) * out->width;
    for (uint32_t x = 0; x < out->width; x++) {
      int i = line[x];
      uint32_t colour = 0;
      if (i < map->ColorCount) {
        const GifColorType& c = map->Colors[i];
        colour = uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
      }
      to[x] = (i == transparent ? 0u : 0xFF000000u) | colour;
    }
  }
  return Status::OK;
}

Status read_first_frame(GifFileType* gif, size_t n, Raster* out) {
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return Status::BAD_MEDIA;
    if (type == IMAGE_DESC_RECORD_TYPE) return read_frame(gif, transparent, n, out);
    if (type != EXTENSION_RECORD_TYPE) return Status::BAD_MEDIA;   // no frame before the end
    int code;
    GifByteType* block;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return Status::BAD_MEDIA;
    while (block) {
      if (code == GRAPHICS_EXT_FUNC_CODE && block[0] == 4) {
        GraphicsControlBlock gcb;
        DGifExtensionToGCB(block[0], block + 1, &gcb);
        transparent = gcb.TransparentColor;
      }
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return Status::BAD_MEDIA;
    }
  }
}

// A palette of at most 256 entries and each pixel's index into it.
struct Indexed {
  std::vector<GifColorType> colours;
  std::vector<GifPixelType> indices;
  int transparent = NO_TRANSPARENT_COLOR;
};

bool is_clear(uint32_t pixel) { return (pixel >> 24) < 128; }

bool exact_palette(const uint32_t* p, size_t n, Indexed* out) {
  std::unordered_map<uint32_t, int> index;
  out->indices.resize(n);
  for (size_t i = 0; i < n; i++) {
    if (is_clear(p[i])) continue;
    uint32_t colour = p[i] & 0xFFFFFF;
    auto [at, added] = index.try_emplace(colour, int(index.size()));
    if (added && index.size() > 255) return false;
    out->indices[i] = GifPixelType(at->second);
  }
  out->colours.resize(index.size());
  for (auto [colour, i] : index)
    out->colours[size_t(i)] = {GifByteType(colour >> 16), GifByteType(colour >> 8), GifByteType(colour)};
  return true;
}

bool median_cut(const uint32_t* p, uint32_t w, uint32_t h, Indexed* out) {
  size_t n = size_t(w) * h;
  std::vector<GifByteType> r(n), g(n), b(n);
  for (size_t i = 0; i < n; i++) r[i] = GifByteType(p[i] >> 16), g[i] = GifByteType(p[i] >> 8), b[i] = GifByteType(p[i]);
  int size = 255;   // one entry stays free for the transparent index
  out->colours.assign(256, GifColorType{0, 0, 0});
  out->indices.resize(n);
  if (GifQuantizeBuffer(w, h, &size, r.data(), g.data(), b.data(), out->indices.data(),
                        out->colours.data()) == GIF_ERROR)
    return false;
  out->colours.resize(size_t(std::min(size, 255)));
  return true;
}

bool index_pixels(const uint32_t* p, uint32_t w, uint32_t h, Indexed* out) {
  size_t n = size_t(w) * h;
  if (!exact_palette(p, n, out) && !median_cut(p, w, h, out)) return false;
  if (std::any_of(p, p + n, is_clear)) {
    out->transparent = int(out->colours.size());
    out->colours.push_back({0, 0, 0});
    for (size_t i = 0; i < n; i++)
      if (is_clear(p[i])) out->indices[i] = GifPixelType(out->transparent);
  }
  return true;
}

Status write_indexed(GifFileType* gif, const Indexed& ix, uint32_t w, uint32_t h) {
  int bits = 1;
  while ((1 << bits) < int(ix.colours.size())) bits++;
  std::vector<GifColorType> entries(size_t(1) << bits, GifColorType{0, 0, 0});
  std::copy(ix.colours.begin(), ix.colours.end(), entries.begin());
  ColorMapObject* map = GifMakeMapObject(1 << bits, entries.data());
  if (!map) return Status::NO_MEMORY;
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, int(w), int(h), 8, 0, map) != GIF_ERROR;
  GifFreeMapObject(map);
  if (ok && ix.transparent != NO_TRANSPARENT_COLOR) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, ix.transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) != GIF_ERROR;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, int(w), int(h), false, nullptr) != GIF_ERROR;
  for (uint32_t y = 0; ok && y < h; y++)
    ok = EGifPutLine(gif, const_cast<GifPixelType*>(ix.indices.data() + size_t(y) * w), int(w)) !=
         GIF_ERROR;
  return ok ? Status::OK : Status::BAD_MEDIA;
}

}  // namespace

Status decode_gif(const uint8_t* bytes, size_t n, Raster* out) {
  Source source{bytes, n, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, read_from, &error);
  if (!gif) return Status::BAD_MEDIA;
  Status status = read_first_frame(gif, n, out);
  DGifCloseFile(gif, &error);
  return status;
}

Status encode_gif(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out) {
  Indexed ix;
  if (!index_pixels(p, w, h, &ix)) return Status::BAD_MEDIA;
  out->clear();
  int error = 0;
  GifFileType* gif = EGifOpen(out, write_to, &error);
  if (!gif) return Status::NO_MEMORY;
  Status status = write_indexed(gif, ix, w, h);
  if (EGifCloseFile(gif, &error) == GIF_ERROR) status = Status::BAD_MEDIA;
  return status;
}

}  // namespace zol::codecs
