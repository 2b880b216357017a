// The textual form of image!: make image! [WxH #{RRGGBB...} #{TT...}], the colours
// from the head and, when any of those pixels is not fully opaque, their
// transparency bytes. form is mold without indentation.
#include <string>

#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/image/image_internal.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/text/mold.h"

namespace zol::image {

namespace {

constexpr int PIXELS_A_LINE = 10;
constexpr int64_t LONG_DATA_BYTES = 31;   // from this many bytes the data gets lines

int literal(Cell* buffer, const std::string& text, int limit) {
  string::concatenate_literal_part(buffer, text.data(), uint32_t(text.size()));
  return limit - int(text.size());
}

struct Layout {
  bool flat;        // no new lines at all (mold/flat)
  bool indenting;   // new lines are indented (mold, not form)
  int indent;       // the nesting depth of the image
  bool long_data = false;
};

int new_line(Cell* buffer, const Layout& l, int level, int limit) {
  limit = literal(buffer, "\n", limit);
  return l.indenting ? mold::indent(buffer, level, limit) : limit;
}

// Two hex digits for each byte that `byte_of` takes from each pixel from the head.
template <class ByteOf>
int write_bytes(Cell* buffer, const uint32_t* p, int64_t n, int per_pixel, const Layout& l,
                int limit, ByteOf byte_of) {
  static const char HEX[] = "0123456789ABCDEF";
  std::string chunk;
  for (int64_t i = 0; i < n && limit > 0; i++) {
    chunk.clear();
    for (int k = 0; k < per_pixel; k++) {
      uint8_t b = byte_of(p[i], k);
      chunk += HEX[b >> 4];
      chunk += HEX[b & 15];
    }
    limit = literal(buffer, chunk, limit);
    if (!l.flat && (i + 1) % PIXELS_A_LINE == 0)
      limit = new_line(buffer, l, l.indent + 1, limit);
  }
  return limit;
}

int close_data(Cell* buffer, int64_t n, const Layout& l, int limit) {
  if (!l.flat && l.long_data && n % PIXELS_A_LINE != 0) limit = new_line(buffer, l, l.indent, limit);
  return literal(buffer, "}", limit);
}

int write(const Cell* image_in, Cell* buffer, bool only, Layout l, int limit) {
  Cell image = *image_in;
  if (!only) limit = literal(buffer, "make image! [", limit);
  limit = literal(buffer, std::to_string(width(&image)) + "x" + std::to_string(height(&image)),
                  limit);
  int64_t from = series_cell::head(&image);
  int64_t n = pixel_count(&image) - from;
  if (pixel_count(&image) == 0 || n < 0) n = 0;
  if (pixel_count(&image) == 0) return literal(buffer, only ? " #{}" : " #{}]", limit);
  const uint32_t* p = pixels(&image) + from;
  l.long_data = n * 4 >= LONG_DATA_BYTES;
  limit = literal(buffer, " #{", limit);
  if (!l.flat && l.long_data) limit = new_line(buffer, l, l.indent + 1, limit);
  limit = write_bytes(buffer, p, n, 3, l, limit,
                      [](uint32_t px, int k) { return uint8_t(px >> (16 - 8 * k)); });
  if (limit <= 0) return -1;
  limit = close_data(buffer, n, l, limit);
  bool translucent = false;
  for (int64_t i = 0; i < n && !translucent; i++) translucent = (p[i] >> 24) != 255;
  if (translucent) {
    limit = literal(buffer, " #{", limit);
    limit = new_line(buffer, l, l.indent + 1, limit);
    limit = write_bytes(buffer, p, n, 1, l, limit,
                        [](uint32_t px, int) { return uint8_t(255 - (px >> 24)); });
    if (limit <= 0) return -1;
    limit = new_line(buffer, l, l.indent, limit);
    limit = literal(buffer, "}", limit);
  }
  if (!only) limit = literal(buffer, "]", limit);
  return limit <= 0 ? -1 : limit;
}

}  // namespace

int form(const Cell* image, Cell* buffer, const Cell*, int limit) {
  return write(image, buffer, false, Layout{.flat = false, .indenting = false, .indent = 0}, limit);
}

int mold(const Cell* image, Cell* buffer, const MoldOptions& how, int limit) {
  return write(image, buffer, how.only, Layout{.flat = how.flat, .indenting = !how.flat, .indent = how.indent}, limit);
}

}  // namespace zol::image
