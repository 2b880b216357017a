// Signature tests and the dispatch of decode and encode to each kind's codec.
#include "platform/codecs/codecs.h"

#include <cstring>
#include <new>

namespace zol::codecs {

namespace {

bool starts_with(const uint8_t* bytes, size_t n, const char* sig, size_t length) {
  return n >= length && std::memcmp(bytes, sig, length) == 0;
}

}  // namespace

Kind sniff(const uint8_t* b, size_t n) {
  if (starts_with(b, n, "\x89PNG", 4)) return Kind::PNG;
  if (starts_with(b, n, "\xFF\xD8\xFF", 3)) return Kind::JPEG;
  if (starts_with(b, n, "BM", 2)) return Kind::BMP;
  if (starts_with(b, n, "GIF87a", 6) || starts_with(b, n, "GIF89a", 6)) return Kind::GIF;
  if (starts_with(b, n, "II*\0", 4) || starts_with(b, n, "MM\0*", 4)) return Kind::TIFF;
  return Kind::NONE;
}

Status check_limits(uint64_t width, uint64_t height) {
  if (width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE) return Status::BAD_MEDIA;
  if (width * height * 4 > MAX_PIXEL_BYTES) return Status::NO_MEMORY;
  return Status::OK;
}

Status size_raster(uint64_t width, uint64_t height, Raster* out) {
  if (Status limits = check_limits(width, height); limits != Status::OK) return limits;
  if (out->home) {
    out->data = out->home(out->owner, uint32_t(width), uint32_t(height));
    if (!out->data) return Status::NO_MEMORY;
  } else {
    try {
      out->pixels.assign(size_t(width * height), 0);
    } catch (const std::bad_alloc&) {
      return Status::NO_MEMORY;
    }
    out->data = out->pixels.data();
  }
  out->width = uint32_t(width);
  out->height = uint32_t(height);
  return Status::OK;
}

Status decode(const uint8_t* bytes, size_t n, Raster* out) {
  switch (sniff(bytes, n)) {
    case Kind::PNG: return decode_png(bytes, n, out);
    case Kind::JPEG: return decode_jpeg(bytes, n, out);
    case Kind::BMP: return decode_bmp(bytes, n, out);
    case Kind::GIF: return decode_gif(bytes, n, out);
    case Kind::TIFF: return decode_tiff(bytes, n, out);
    case Kind::NONE: break;
  }
  return Status::BAD_MEDIA;
}

Status encode(const uint32_t* pixels, uint32_t width, uint32_t height, Kind kind,
              std::vector<uint8_t>* out) {
  if (width == 0 || height == 0) return Status::BAD_MEDIA;
  try {
    switch (kind) {
      case Kind::PNG: return encode_png(pixels, width, height, out);
      case Kind::JPEG: return encode_jpeg(pixels, width, height, out);
      case Kind::BMP: return encode_bmp(pixels, width, height, out);
      case Kind::GIF: return encode_gif(pixels, width, height, out);
      case Kind::TIFF: return encode_tiff(pixels, width, height, out);
      case Kind::NONE: break;
    }
  } catch (const std::bad_alloc&) {
    return Status::NO_MEMORY;
  }
  return Status::BAD_MEDIA;
}

}  // namespace zol::codecs
