// TIFF through libtiff, on client procedures over memory. Writing gives 8-bit
// RGBA with unassociated alpha, LZW, in strips. Reading takes 8-bit contiguous
// RGB and RGBA strips directly; every other layout goes through libtiff's
// oriented RGBA reader, which premultiplies alpha, so its pixels are
// un-premultiplied. libtiff's messages are switched off: its failures come back
// as statuses.
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "platform/codecs/codecs.h"

namespace zol::codecs {

namespace {

// A file in memory for the client procedures: reading over fixed bytes, writing
// into a growing vector.
struct Memory {
  const uint8_t* bytes = nullptr;
  std::vector<uint8_t>* out = nullptr;
  size_t size = 0, at = 0;
};

tmsize_t read_proc(thandle_t h, void* to, tmsize_t want) {
  auto* m = static_cast<Memory*>(h);
  size_t k = std::min(size_t(want), m->size - std::min(m->at, m->size));
  const uint8_t* from = m->out ? m->out->data() : m->bytes;
  if (k) std::memcpy(to, from + m->at, k);
  m->at += k;
  return tmsize_t(k);
}

tmsize_t write_proc(thandle_t h, void* from, tmsize_t count) {
  auto* m = static_cast<Memory*>(h);
  if (!m->out) return 0;
  size_t end = m->at + size_t(count);
  if (end > m->out->size()) m->out->resize(end);
  std::memcpy(m->out->data() + m->at, from, size_t(count));
  m->at = end;
  m->size = std::max(m->size, end);
  return count;
}

toff_t seek_proc(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<Memory*>(h);
  int64_t base = whence == SEEK_CUR ? int64_t(m->at) : whence == SEEK_END ? int64_t(m->size) : 0;
  int64_t to = base + int64_t(offset);
  if (to < 0) return toff_t(-1);
  m->at = size_t(to);
  return toff_t(to);
}

int close_proc(thandle_t) { return 0; }
toff_t size_proc(thandle_t h) { return static_cast<Memory*>(h)->size; }
int map_proc(thandle_t, void**, toff_t*) { return 0; }
void unmap_proc(thandle_t, void*, toff_t) {}

TIFF* open(Memory* m, const char* mode) {
  static const bool quiet = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)quiet;
  return TIFFClientOpen("memory", mode, m, read_proc, write_proc, seek_proc, close_proc,
                        size_proc, map_proc, unmap_proc);
}

uint32_t field32(TIFF* tif, ttag_t tag, uint32_t absent) {
  uint32_t v = absent;
  return TIFFGetField(tif, tag, &v) ? v : absent;
}

uint16_t field16(TIFF* tif, ttag_t tag, uint16_t absent) {
  uint16_t v = absent;
  return TIFFGetFieldDefaulted(tif, tag, &v) ? v : absent;
}

// Strips of 8-bit RGB or RGBA (unassociated alpha) samples, read row by row.
bool plain_strips(TIFF* tif) {
  uint16_t samples = field16(tif, TIFFTAG_SAMPLESPERPIXEL, 0);
  if (TIFFIsTiled(tif) || field16(tif, TIFFTAG_BITSPERSAMPLE, 0) != 8 ||
      field16(tif, TIFFTAG_PLANARCONFIG, 0) != PLANARCONFIG_CONTIG ||
      field16(tif, TIFFTAG_PHOTOMETRIC, 0) != PHOTOMETRIC_RGB ||
      field16(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) != ORIENTATION_TOPLEFT)
    return false;
  if (samples == 3) return true;
  uint16_t count = 0;
  uint16_t* kinds = nullptr;
  return samples == 4 && TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) && count == 1 &&
         kinds[0] == EXTRASAMPLE_UNASSALPHA;
}

Status read_strips(TIFF* tif, Raster* out) {
  uint16_t samples = field16(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  tmsize_t line = TIFFScanlineSize(tif);
  if (line < tmsize_t(out->width) * samples) return Status::BAD_MEDIA;
  std::vector<uint8_t> row(static_cast<size_t>(line));
  for (uint32_t y = 0; y < out->height; y++) {
    if (TIFFReadScanline(tif, row.data(), y, 0) < 0) return Status::BAD_MEDIA;
    uint32_t* to = out->data + size_t(y) * out->width;
    for (uint32_t x = 0; x < out->width; x++) {
      const uint8_t* s = row.data() + size_t(x) * samples;
      uint32_t opacity = samples == 4 ? s[3] : 255;
      to[x] = opacity << 24 | uint32_t(s[0]) << 16 | uint32_t(s[1]) << 8 | s[2];
    }
  }
  return Status::OK;
}

uint8_t unpremultiply(uint32_t c, uint32_t a) {
  return a == 0 ? 0 : uint8_t(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
}

Status read_rgba(TIFF* tif, Raster* out) {
  uint32_t* p = out->data;
  // Stopping at the first damaged strip or tile: going on would load its gap as
  // pixels of nothing.
  if (!TIFFReadRGBAImageOriented(tif, out->width, out->height, p, ORIENTATION_TOPLEFT, 1))
    return Status::BAD_MEDIA;
  // The reader packs R in the low byte, then G, B and A.
  for (size_t i = 0, n = size_t(out->width) * out->height; i < n; i++) {
    uint32_t v = p[i], a = TIFFGetA(v);
    p[i] = a << 24 | uint32_t(unpremultiply(TIFFGetR(v), a)) << 16 |
           uint32_t(unpremultiply(TIFFGetG(v), a)) << 8 | unpremultiply(TIFFGetB(v), a);
  }
  return Status::OK;
}

// The bytes the strips or tiles take, or -1 when one of them claims more bytes than
// the file has.
int64_t stored_bytes(TIFF* tif, size_t n) {
  uint32_t striles = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
  uint64_t total = 0;
  for (uint32_t i = 0; i < striles; i++) {
    uint64_t count = TIFFGetStrileByteCount(tif, i);
    if (count > n) return -1;
    total += count;
  }
  return total > n ? -1 : int64_t(total);
}

// Pixels the stored bytes could hold: uncompressed exactly; fax codings (one bit a
// pixel) at least a bit a row; every other coding at most 4096 bytes a byte (LZW's
// longest string for one code of 9 bits or more; deflate and PackBits expand less).
bool plausible(TIFF* tif, uint64_t width, uint64_t height, size_t n) {
  int64_t stored = stored_bytes(tif, n);
  if (stored < 0) return false;
  uint16_t compression = field16(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  bool fax = compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
             compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
  if (fax) return height <= uint64_t(stored) * 8 + 64;
  uint64_t bits = uint64_t(field16(tif, TIFFTAG_BITSPERSAMPLE, 1)) *
                  std::max<uint16_t>(1, field16(tif, TIFFTAG_SAMPLESPERPIXEL, 1));
  uint64_t raw = width * height * bits / 8;
  uint64_t ratio = compression == COMPRESSION_NONE ? 1 : 4096;
  return raw <= uint64_t(stored) * ratio + 65536;
}

}  // namespace

Status decode_tiff(const uint8_t* bytes, size_t n, Raster* out) {
  Memory m;
  m.bytes = bytes;
  m.size = n;
  TIFF* tif = open(&m, "rm");
  if (!tif) return Status::BAD_MEDIA;
  uint32_t width = field32(tif, TIFFTAG_IMAGEWIDTH, 0);
  uint32_t height = field32(tif, TIFFTAG_IMAGELENGTH, 0);
  Status status = check_limits(width, height);
  if (status == Status::OK && !plausible(tif, width, height, n)) status = Status::BAD_MEDIA;
  if (status == Status::OK) status = size_raster(width, height, out);
  if (status == Status::OK) status = plain_strips(tif) ? read_strips(tif, out) : read_rgba(tif, out);
  TIFFClose(tif);
  return status;
}

Status encode_tiff(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out) {
  out->clear();
  Memory m;
  m.out = out;
  TIFF* tif = open(&m, "wm");
  if (!tif) return Status::NO_MEMORY;
  uint16_t extra = EXTRASAMPLE_UNASSALPHA;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  std::vector<uint8_t> row(size_t(w) * 4);
  bool ok = true;
  for (uint32_t y = 0; ok && y < h; y++) {
    const uint32_t* from = p + size_t(y) * w;
    for (uint32_t x = 0; x < w; x++) {
      row[4 * x] = uint8_t(from[x] >> 16);
      row[4 * x + 1] = uint8_t(from[x] >> 8);
      row[4 * x + 2] = uint8_t(from[x]);
      row[4 * x + 3] = uint8_t(from[x] >> 24);
    }
    ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
  }
  ok = ok && TIFFFlush(tif);
  TIFFClose(tif);
  return ok ? Status::OK : Status::BAD_MEDIA;
}

}  // namespace zol::codecs
