// The channel binaries of image!: rgb (R, G, B a pixel), alpha (transparency, one
// byte a pixel) and argb (the pixel words as stored), read out and written back
// over all pixels from the first one, whatever the head. Each is one linear pass.
#include <algorithm>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/image/image_internal.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/memory/memory.h"

namespace zol::image {

namespace {

constexpr uint32_t COLOUR = 0x00FFFFFFu;
constexpr uint32_t OPACITY = 0xFF000000u;

int bytes_per_pixel(Channel c) { return c == ALPHA ? 1 : c == RGB ? 3 : 4; }

void write_channel(const uint32_t* p, int64_t n, Channel c, uint8_t* out) {
  switch (c) {
    case ARGB: std::memcpy(out, p, size_t(n) * 4); return;
    case ALPHA:
      for (int64_t i = 0; i < n; i++) out[i] = uint8_t(255 - (p[i] >> 24));
      return;
    case RGB:
      for (int64_t i = 0; i < n; i++, out += 3) {
        out[0] = uint8_t(p[i] >> 16);
        out[1] = uint8_t(p[i] >> 8);
        out[2] = uint8_t(p[i]);
      }
      return;
  }
}

void read_channel(uint32_t* p, int64_t n, Channel c, const uint8_t* in, int64_t length) {
  switch (c) {
    case ARGB: std::memcpy(p, in, size_t(std::min(length, n * 4))); return;
    case ALPHA:
      for (int64_t i = 0, m = std::min(length, n); i < m; i++)
        p[i] = (p[i] & COLOUR) | uint32_t(255 - in[i]) << 24;
      return;
    case RGB:
      for (int64_t i = 0, m = std::min(length / 3, n); i < m; i++, in += 3)
        p[i] = (p[i] & OPACITY) | uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
      return;
  }
}

// A tuple or an integer spread over every pixel, for one channel.
void spread(uint32_t* p, int64_t n, Channel c, const Cell* value) {
  uint32_t pixel;
  if (value->is(T_TUPLE)) {
    pixel = pixel_of_tuple(value);
  } else {
    // The integer's bytes, least significant first, are R, G, B and transparency.
    uint32_t v = uint32_t(cell::get_int(value));
    pixel = uint32_t(255 - (v >> 24)) << 24 | (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
  }
  if (c == ALPHA) {
    uint32_t transparency = value->is(T_TUPLE) ? tuple::element(value, 0)
                                               : uint32_t(cell::get_int(value)) & 0xFF;
    pixel = (255 - transparency) << 24;
  }
  uint32_t keep = c == ARGB ? 0 : c == RGB ? OPACITY : COLOUR;
  uint32_t take = ~keep;
  for (int64_t i = 0; i < n; i++) p[i] = (p[i] & keep) | (pixel & take);
}

}  // namespace

Cell* extract_data(const Cell* image, Channel channel, Cell* out) {
  Cell source = *image;
  int64_t n = pixel_count(&source);
  int64_t bytes = n * bytes_per_pixel(channel);
  if (bytes > INT32_MAX) fire(err::internal::NO_MEMORY);
  Cell made;
  binary::make_at(&made, uint32_t(bytes));
  SeriesBuffer* b = memory::buffer_of(series_cell::node(&made));
  if (n > 0) write_channel(pixels(&source), n, channel, b->head());
  b->tail = b->offset + uint32_t(bytes);
  *out = made;
  return out;
}

void set_data(Cell* image, const Cell* value, Channel channel) {
  bool spreads = value->is(T_TUPLE) || value->is(T_INTEGER);
  if (!spreads && !value->is(T_BINARY)) fire(err::script::INVALID_ARG, value);
  int64_t n = pixel_count(image);
  if (n == 0) return;
  if (spreads) spread(pixels(image), n, channel, value);
  else read_channel(pixels(image), n, channel, binary::head_bytes(value), binary::length(value));
  tell_owner(image, series::E_POKE, value, 0, n);
}

}  // namespace zol::image
