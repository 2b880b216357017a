// PNG through libpng's simplified interface, which reads and writes 8-bit BGRA
// directly. Its errors stay inside the library (it returns a failure) and it
// prints nothing.
#include <png.h>

#include "platform/codecs/codecs.h"

namespace zol::codecs {

namespace {

// Deflate expands at most 1032 times, and every row takes a filter byte and at
// least a bit a pixel: a header announcing more rows than the bytes present could
// hold is refused before the pixels are allocated.
bool plausible(uint64_t width, uint64_t height, size_t n) {
  uint64_t least_raw = height * (1 + (width + 7) / 8);
  return least_raw <= uint64_t(n) * 1032 + 4096;
}

}  // namespace

Status decode_png(const uint8_t* bytes, size_t n, Raster* out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes, n)) return Status::BAD_MEDIA;
  Status sized = check_limits(image.width, image.height);
  if (sized == Status::OK && !plausible(image.width, image.height, n)) sized = Status::BAD_MEDIA;
  if (sized == Status::OK) sized = size_raster(image.width, image.height, out);
  if (sized != Status::OK) {
    png_image_free(&image);
    return sized;
  }
  image.format = PNG_FORMAT_BGRA;
  // Without this a 16-bit file with no gamma chunk is taken as linear light and
  // goes through a gamma curve on its way to 8 bits.
  image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  if (!png_image_finish_read(&image, nullptr, out->data, 0, nullptr)) {
    png_image_free(&image);
    return Status::BAD_MEDIA;
  }
  return Status::OK;
}

Status encode_png(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_BGRA;
  // Speed before the last few per cent of size: the library's default filter
  // search and compression take twice as long as the tools that write PNGs.
  image.flags = PNG_IMAGE_FLAG_FAST;
  // Written once into room for the largest file the pixels can give; asking for
  // the size first would compress everything twice.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  out->resize(size);
  if (!png_image_write_to_memory(&image, out->data(), &size, 0, p, 0, nullptr))
    return Status::BAD_MEDIA;
  out->resize(size);
  return Status::OK;
}

}  // namespace zol::codecs
