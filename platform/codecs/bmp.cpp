// BMP, our own: writes 32-bit top-down bit-field files with alpha (a 124-byte
// version-5 header); reads 1, 4, 8, 16, 24 and 32 bits a pixel, uncompressed or
// with bit fields, rows bottom-up or top-down. Compressed (run-length) files are
// refused.
//
// Layout: a 14-byte file header ("BM", file size, two reserved words, the offset
// of the pixels), then an information header that starts with its own size (12
// for the oldest form, 40 to 124 for the later ones), then masks and palette, then
// rows of pixels each padded to 4 bytes. All numbers are little-endian.
#include <cstring>

#include "platform/codecs/codecs.h"

namespace zol::codecs {

namespace {

constexpr uint32_t FILE_HEADER = 14;
constexpr uint32_t V5_HEADER = 124;
constexpr uint32_t BI_RGB = 0, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;

uint32_t u16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t u32(const uint8_t* p) { return u16(p) | u16(p + 2) << 16; }

// One channel taken out of a packed pixel by its mask, scaled to 8 bits.
struct Field {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit Field(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!(m & 1)) m >>= 1, shift++;
    while (m & 1) m >>= 1, bits++;
  }
  uint32_t take(uint32_t v, uint32_t absent) const {
    if (!mask) return absent;
    uint32_t x = (v & mask) >> shift;
    if (bits >= 8) return x >> (bits - 8);
    return uint32_t(x * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1);
  }
};

struct Header {
  int64_t width = 0, height = 0;
  bool top_down = false;
  uint32_t bits = 0, compression = 0, palette_entries = 0, entry_size = 4;
  uint32_t masks[4] = {0, 0, 0, 0};   // R, G, B, opacity
  uint32_t pixels_at = 0, palette_at = 0;
};

bool read_header(const uint8_t* b, size_t n, Header* h) {
  if (n < FILE_HEADER + 12) return false;
  h->pixels_at = u32(b + 10);
  uint32_t info = u32(b + FILE_HEADER);
  const uint8_t* i = b + FILE_HEADER;
  if (info == 12) {
    h->width = u16(i + 4);
    h->height = int16_t(u16(i + 6));
    h->bits = u16(i + 10);
    h->entry_size = 3;
  } else {
    if (info < 40 || info > 1024 || n < FILE_HEADER + info) return false;
    h->width = int32_t(u32(i + 4));
    h->height = int32_t(u32(i + 8));
    h->bits = u16(i + 14);
    h->compression = u32(i + 16);
    h->palette_entries = u32(i + 32);
  }
  h->palette_at = FILE_HEADER + info;
  if (h->height < 0) {
    h->top_down = true;
    h->height = -h->height;
  }
  if (h->compression == BI_BITFIELDS || h->compression == BI_ALPHABITFIELDS) {
    uint32_t count = h->compression == BI_ALPHABITFIELDS ? 4 : 3;
    // A 40-byte header is followed by the masks; later headers hold them.
    uint32_t at = info == 40 ? h->palette_at : FILE_HEADER + 40;
    if (info == 40) h->palette_at += 4 * count;
    if (info >= 56) count = 4;
    if (n < at + 4 * count) return false;
    for (uint32_t k = 0; k < count; k++) h->masks[k] = u32(b + at + 4 * k);
  } else if (h->compression == BI_RGB) {
    if (h->bits == 16) h->masks[0] = 0x7C00, h->masks[1] = 0x3E0, h->masks[2] = 0x1F;
    if (h->bits == 24 || h->bits == 32) h->masks[0] = 0xFF0000, h->masks[1] = 0xFF00, h->masks[2] = 0xFF;
  } else {
    return false;
  }
  bool bits_ok = h->bits == 1 || h->bits == 4 || h->bits == 8 || h->bits == 16 || h->bits == 24 ||
                 h->bits == 32;
  if (!bits_ok || (h->compression != BI_RGB && h->bits != 16 && h->bits != 32)) return false;
  if (h->bits <= 8 && (h->palette_entries == 0 || h->palette_entries > (1u << h->bits)))
    h->palette_entries = 1u << h->bits;
  return true;
}

uint32_t palette_pixel(const uint8_t* b, const Header& h, uint32_t index) {
  if (index >= h.palette_entries) return 0xFF000000u;
  const uint8_t* e = b + h.palette_at + size_t(index) * h.entry_size;
  return 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
}

}  // namespace

Status decode_bmp(const uint8_t* b, size_t n, Raster* out) {
  Header h;
  if (!read_header(b, n, &h)) return Status::BAD_MEDIA;
  if (h.width <= 0 || h.height <= 0 || h.width > MAX_SIDE || h.height > MAX_SIDE)
    return Status::BAD_MEDIA;
  uint64_t stride = (uint64_t(h.width) * h.bits + 31) / 32 * 4;
  if (h.bits <= 8 && uint64_t(h.palette_at) + uint64_t(h.palette_entries) * h.entry_size > n)
    return Status::BAD_MEDIA;
  if (uint64_t(h.pixels_at) + stride * uint64_t(h.height) > n) return Status::BAD_MEDIA;
  Status sized = size_raster(uint64_t(h.width), uint64_t(h.height), out);
  if (sized != Status::OK) return sized;
  Field r(h.masks[0]), g(h.masks[1]), bl(h.masks[2]), a(h.masks[3]);
  uint32_t w = out->width;
  for (uint32_t y = 0; y < out->height; y++) {
    const uint8_t* row = b + h.pixels_at + stride * y;
    uint32_t* to = out->data + size_t(h.top_down ? y : out->height - 1 - y) * w;
    for (uint32_t x = 0; x < w; x++) {
      if (h.bits <= 8) {
        uint32_t bit = x * h.bits;
        uint32_t index = (row[bit / 8] >> (8 - h.bits - bit % 8)) & ((1u << h.bits) - 1);
        to[x] = palette_pixel(b, h, index);
        continue;
      }
      uint32_t v = h.bits == 16 ? u16(row + 2 * x)
                   : h.bits == 24 ? uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 |
                                        uint32_t(row[3 * x + 2]) << 16
                                  : u32(row + 4 * x);
      to[x] = a.take(v, 255) << 24 | r.take(v, 0) << 16 | g.take(v, 0) << 8 | bl.take(v, 0);
    }
  }
  return Status::OK;
}

Status encode_bmp(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out) {
  uint64_t data = uint64_t(w) * h * 4;
  uint64_t total = FILE_HEADER + V5_HEADER + data;
  if (total > 0xFFFFFFFFu) return Status::NO_MEMORY;
  out->assign(size_t(total), 0);
  uint8_t* b = out->data();
  auto put16 = [&](size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  b[0] = 'B', b[1] = 'M';
  put32(2, uint32_t(total));
  put32(10, FILE_HEADER + V5_HEADER);
  size_t i = FILE_HEADER;
  put32(i, V5_HEADER);
  put32(i + 4, w);
  put32(i + 8, uint32_t(-int32_t(h)));   // negative: rows top-down
  put16(i + 12, 1);
  put16(i + 14, 32);
  put32(i + 16, BI_BITFIELDS);
  put32(i + 20, uint32_t(data));
  put32(i + 40, 0x00FF0000u);
  put32(i + 44, 0x0000FF00u);
  put32(i + 48, 0x000000FFu);
  put32(i + 52, 0xFF000000u);
  put32(i + 56, 0x57696E20u);   // the platform's own colour space
  put32(i + 108, 4);            // rendering intent: images
  std::memcpy(b + FILE_HEADER + V5_HEADER, p, size_t(data));
  return Status::OK;
}

}  // namespace zol::codecs
