// image!: a raster of 32-bit pixels that the language walks like a series of
// pixels in row-major order, with pick and poke by position or by an x-y pair,
// channel access through path words and its own textual form.
//
// image! cell:
//   word 1  head: 0-based pixel offset from the first pixel, 0 to width x height
//   word 2  the NodeRef of the pixel store, 0 for an image without pixels
//   word 3  packed size: width in bits 0-15, height in bits 16-31
//
// Pixel store: an ordinary series of 4-byte units, width x height of them, rows one
// after another without padding. A pixel word holds opacity in bits 24-31 (255 is
// opaque), R in 16-23, G in 8-15 and B in 0-7, so in memory the bytes run B, G, R,
// opacity. The language shows alpha as transparency (255 - opacity) in tuples and
// in the alpha channel; the argb channel gives the words as stored.
//
// The store holds nothing but pixels and no OS resource, so the collector moves and
// frees it like any series and counts it in its statistics.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::image {

void init();   // registers image!

constexpr int32_t MAX_SIDE = 65535;

// Channel selectors shared by the path words and the channel operations.
enum Channel : int { ALPHA = 0, RGB = 1, ARGB = 2 };

// Container formats of encode, as the codecs number them.
enum Format : int { BMP = 0, PNG = 1, GIF = 2, JPEG = 3, TIFF = 4 };

int32_t width(const Cell* image);
int32_t height(const Cell* image);
int64_t pixel_count(const Cell* image);
// The first pixel of the store (nullptr for an image without pixels). Valid until
// the next allocation that may grow the store; stores never grow, so until the
// image is dropped.
uint32_t* pixels(const Cell* image);

// Makes `out` a new image of that size, every pixel 0 (clear black); a side above 65535 raises
// out-of-range with the size, a pixel count beyond the largest series no-memory.
Cell* make_at(Cell* out, int32_t width, int32_t height);

// Makes `out` a copy of the image scaled to width x height, nearest neighbour
// (each new pixel takes the source pixel its centre falls in).
Cell* resize(const Cell* image, int32_t width, int32_t height, Cell* out);

uint32_t pixel_of_tuple(const Cell* tuple);
Cell tuple_of_pixel(uint32_t pixel);

// The pixel at a 0-based offset as a tuple; none when the offset is the pixel
// count (what foreach sets past the last pixel).
Cell pick_pixel(const Cell* image, int64_t offset);

// A new binary! of one channel over all pixels, and the opposite write.
Cell* extract_data(const Cell* image, Channel channel, Cell* out);
void set_data(Cell* image, const Cell* value, Channel channel);

// Signature test on the bytes from the binary's head.
bool known_format(const uint8_t* bytes, size_t n);

// Decodes the bytes of a binary! into `out`: none for bytes of no known format;
// bytes of a known format that do not decode raise access error bad-media.
Cell* load_binary(const Cell* binary, Cell* out);
// Encodes the image into a new binary! in `out` (bad-media for an empty image or a
// failing encoder). A format outside 0-4 prints "Cannot find image encoder" and
// answers false with `out` untouched.
bool encode(const Cell* image, int format, Cell* out);

}  // namespace zol::image
