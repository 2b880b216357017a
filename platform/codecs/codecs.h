// The image codecs: encoded files in memory to and from rasters of 32-bit pixels.
// They know nothing of cells; the image datatype copies a raster into its pixel
// store and turns a status into its errors.
//
// Raster pixels are the image datatype's words: opacity in bits 24-31, then R, G
// and B, so the bytes in memory run B, G, R, opacity (rows top-down, unpadded).
//
// Every decoder checks each size a header announces against the bytes present and
// the limits below before it allocates or reads; nothing a codec or its library
// does reaches standard error, and a library's failure comes back as a status
// (the libraries' own non-local exits never cross a C++ destructor).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zol::codecs {

enum class Kind : int { NONE, PNG, JPEG, BMP, GIF, TIFF };

enum class Status : int {
  OK,
  BAD_MEDIA,   // not a file of the kind, damaged, truncated, or a side above MAX_SIDE
  NO_MEMORY,   // more pixels than the largest pixel store holds, or no memory
};

constexpr uint32_t MAX_SIDE = 65535;
// The largest pixel store: a series buffer under 2 GiB.
constexpr uint64_t MAX_PIXEL_BYTES = 0x7FFFFFFF;

// A decoded picture. The decoder writes through `data`, which size_raster points
// at the pixels' home: `pixels` by default, or the room `home` returns when the
// caller has a place of its own for them (the image datatype's pixel store, so
// that a large picture is neither cleared nor copied twice). `home` answers room
// for width x height words, all 0, or null when there is no memory; it must not
// throw, since libraries' frames may lie between it and the caller.
struct Raster {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t* (*home)(void* owner, uint32_t width, uint32_t height) = nullptr;
  void* owner = nullptr;
  uint32_t* data = nullptr;
};

// The kind the first bytes announce (NONE for anything else).
Kind sniff(const uint8_t* bytes, size_t n);

// Decodes a file of any known kind (the first frame of a multi-frame file).
Status decode(const uint8_t* bytes, size_t n, Raster* out);
// Encodes width x height pixels (both at least 1) as a file of that kind.
Status encode(const uint32_t* pixels, uint32_t width, uint32_t height, Kind kind,
              std::vector<uint8_t>* out);

// The checks every decoder makes once it knows the size, before allocating: a zero
// or too large side is bad media, too many pixels no memory.
Status check_limits(uint64_t width, uint64_t height);
// check_limits, then the raster gets its size and room for its pixels, all 0.
Status size_raster(uint64_t width, uint64_t height, Raster* out);

// The codecs one by one (kind-specific entries of decode and encode).
Status decode_png(const uint8_t* bytes, size_t n, Raster* out);
Status decode_jpeg(const uint8_t* bytes, size_t n, Raster* out);
Status decode_bmp(const uint8_t* bytes, size_t n, Raster* out);
Status decode_gif(const uint8_t* bytes, size_t n, Raster* out);
Status decode_tiff(const uint8_t* bytes, size_t n, Raster* out);
Status encode_png(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out);
Status encode_jpeg(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out);
Status encode_bmp(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out);
Status encode_gif(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out);
Status encode_tiff(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out);

}  // namespace zol::codecs
