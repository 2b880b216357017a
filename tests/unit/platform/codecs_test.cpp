// The image codecs from and to memory: round trips over shapes that expose stride
// and channel-order mistakes, damaged and truncated files, and the size checks
// every decoder makes before it allocates. Nothing may reach standard error.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/codecs/codecs.h"

namespace zol {
namespace {

using codecs::Kind;
using codecs::Raster;
using codecs::Status;

struct Shape {
  uint32_t width, height;
};
// A shape with an odd width and both one-pixel directions, long and short.
constexpr Shape SHAPES[] = {{37, 23}, {1, 1}, {1000, 1}, {1, 1000}};

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a & 255) << 24 | (r & 255) << 16 | (g & 255) << 8 | (b & 255);
}

// Channels that all differ from one another and vary along both axes, with
// opacity that varies too.
std::vector<uint32_t> varied(Shape s, bool opaque) {
  std::vector<uint32_t> p;
  for (uint32_t y = 0; y < s.height; y++)
    for (uint32_t x = 0; x < s.width; x++)
      p.push_back(argb(opaque ? 255 : x * 37 + y * 11 + 1, x * 7 + y, x ^ (y * 3), x * y + 100));
  return p;
}

// At most 200 colours; every seventh pixel (by a diagonal rule) fully transparent.
std::vector<uint32_t> paletted(Shape s) {
  std::vector<uint32_t> p;
  for (uint32_t y = 0; y < s.height; y++)
    for (uint32_t x = 0; x < s.width; x++) {
      uint32_t c = (x + 3 * y) % 200;
      p.push_back((x + 2 * y) % 7 == 0 ? 0u : argb(255, c, 255 - c, c * 5));
    }
  return p;
}

std::vector<uint8_t> encoded(const std::vector<uint32_t>& p, Shape s, Kind kind) {
  std::vector<uint8_t> out;
  EXPECT_EQ(codecs::encode(p.data(), s.width, s.height, kind, &out), Status::OK);
  return out;
}

Raster decoded(const std::vector<uint8_t>& bytes) {
  Raster r;
  EXPECT_EQ(codecs::decode(bytes.data(), bytes.size(), &r), Status::OK);
  return r;
}

const char* name(Kind k) {
  static const char* const NAMES[] = {"none", "png", "jpeg", "bmp", "gif", "tiff"};
  return NAMES[int(k)];
}

TEST(Codecs, LosslessKindsRoundTripExactly) {
  testing::internal::CaptureStderr();
  for (Kind kind : {Kind::PNG, Kind::BMP, Kind::TIFF})
    for (Shape s : SHAPES) {
      std::vector<uint32_t> p = varied(s, false);
      std::vector<uint8_t> file = encoded(p, s, kind);
      EXPECT_EQ(codecs::sniff(file.data(), file.size()), kind) << name(kind);
      Raster r = decoded(file);
      EXPECT_EQ(r.width, s.width) << name(kind);
      EXPECT_EQ(r.height, s.height) << name(kind);
      EXPECT_EQ(r.pixels, p) << name(kind) << " " << s.width << "x" << s.height;
    }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Codecs, GifKeepsUpTo255ColoursAndTransparency) {
  for (Shape s : SHAPES) {
    std::vector<uint32_t> p = paletted(s);
    Raster r = decoded(encoded(p, s, Kind::GIF));
    EXPECT_EQ(r.pixels, p) << s.width << "x" << s.height;
  }
  // Opacity below 128 takes the transparent index; from 128 on a pixel is opaque.
  std::vector<uint32_t> edge = {argb(127, 1, 2, 3), argb(128, 1, 2, 3)};
  EXPECT_EQ(decoded(encoded(edge, {2, 1}, Kind::GIF)).pixels,
            (std::vector<uint32_t>{0u, argb(255, 1, 2, 3)}));
}

TEST(Codecs, GifQuantisesManyColoursCloseToTheOriginal) {
  Shape s{64, 64};
  std::vector<uint32_t> p = varied(s, true);
  Raster r = decoded(encoded(p, s, Kind::GIF));
  ASSERT_EQ(r.pixels.size(), p.size());
  double error = 0;
  for (size_t i = 0; i < p.size(); i++)
    for (int shift : {0, 8, 16}) error += std::abs(int(p[i] >> shift & 255) - int(r.pixels[i] >> shift & 255));
  EXPECT_LT(error / double(p.size() * 3), 24.0);
}

// A smooth opaque picture, as JPEG is meant for.
std::vector<uint32_t> photo(Shape s) {
  std::vector<uint32_t> p;
  for (uint32_t y = 0; y < s.height; y++)
    for (uint32_t x = 0; x < s.width; x++) p.push_back(argb(255, x * 3, y * 2 + 20, 200 - x - y));
  return p;
}

TEST(Codecs, JpegComesBackWithinASmallError) {
  for (Shape s : {Shape{37, 23}, Shape{64, 48}}) {
    std::vector<uint32_t> p = photo(s);
    // Writing drops opacity: a translucent source loads opaque.
    p[0] = argb(10, p[0] >> 16, p[0] >> 8, p[0]);
    Raster r = decoded(encoded(p, s, Kind::JPEG));
    ASSERT_EQ(r.pixels.size(), p.size());
    int worst = 0;
    for (size_t i = 0; i < p.size(); i++) {
      EXPECT_EQ(r.pixels[i] >> 24, 255u);
      for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(int(p[i] >> shift & 255) - int(r.pixels[i] >> shift & 255)));
    }
    EXPECT_LE(worst, 12) << s.width << "x" << s.height;
  }
}

TEST(Codecs, UnknownBytesAreNoKind) {
  for (std::string bytes : {std::string(""), std::string("GIF8"), std::string("GIF88a"),
                            std::string("MM*\0", 4), std::string("\x89PN"), std::string("hello")})
    EXPECT_EQ(codecs::sniff(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), Kind::NONE)
        << bytes;
}

TEST(Codecs, DamagedAndTruncatedFilesFailQuietly) {
  testing::internal::CaptureStderr();
  Shape s{37, 23};
  for (Kind kind : {Kind::PNG, Kind::JPEG, Kind::BMP, Kind::GIF, Kind::TIFF}) {
    std::vector<uint8_t> file = encoded(kind == Kind::GIF ? paletted(s) : varied(s, kind == Kind::JPEG), s, kind);
    size_t signature = kind == Kind::BMP ? 2 : kind == Kind::JPEG ? 3 : 4;
    std::vector<uint8_t> garbage(file.begin(), file.begin() + long(signature));
    for (int i = 0; i < 300; i++) garbage.push_back(uint8_t(0xA5 ^ (i * 29)));
    Raster r;
    EXPECT_EQ(codecs::decode(garbage.data(), garbage.size(), &r), Status::BAD_MEDIA) << name(kind);
    for (size_t length : {signature + 2, file.size() / 4, file.size() / 2, file.size() * 3 / 4}) {
      Raster cut;
      EXPECT_EQ(codecs::decode(file.data(), length, &cut), Status::BAD_MEDIA)
          << name(kind) << " cut to " << length << " of " << file.size();
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A PNG whose header announces another size (its checksum made right again).
std::vector<uint8_t> png_announcing(uint32_t width, uint32_t height) {
  std::vector<uint32_t> one = {0xFF000000u};
  std::vector<uint8_t> file = encoded(one, {1, 1}, Kind::PNG);
  auto put = [&](size_t at, uint32_t v) {
    for (int k = 0; k < 4; k++) file[at + size_t(k)] = uint8_t(v >> (24 - 8 * k));
  };
  put(16, width);
  put(20, height);
  put(29, uint32_t(crc32(0, file.data() + 12, 17)));
  return file;
}

TEST(Codecs, SizesAreCheckedBeforeAllocating) {
  Raster wide;
  std::vector<uint8_t> too_wide = png_announcing(70000, 1);
  EXPECT_EQ(codecs::decode(too_wide.data(), too_wide.size(), &wide), Status::BAD_MEDIA);
  EXPECT_EQ(wide.pixels.capacity(), 0u);
  Raster huge;
  std::vector<uint8_t> too_many = png_announcing(30000, 30000);
  EXPECT_EQ(codecs::decode(too_many.data(), too_many.size(), &huge), Status::NO_MEMORY);
  EXPECT_EQ(huge.pixels.capacity(), 0u);
  // Within the limits, but more rows than a few bytes of deflate data could hold.
  Raster unlikely;
  std::vector<uint8_t> short_data = png_announcing(20000, 20000);
  EXPECT_EQ(codecs::decode(short_data.data(), short_data.size(), &unlikely), Status::BAD_MEDIA);
  EXPECT_EQ(unlikely.pixels.capacity(), 0u);
  // A JPEG frame header announcing far more blocks than its few bytes could code.
  std::vector<uint32_t> grey(64, 0xFF808080u);
  std::vector<uint8_t> jpeg = encoded(grey, {8, 8}, Kind::JPEG);
  for (size_t i = 2; i + 8 < jpeg.size(); i++)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {   // the baseline frame header
      jpeg[i + 5] = 0x4E, jpeg[i + 6] = 0x20;          // height 20000
      jpeg[i + 7] = 0x4E, jpeg[i + 8] = 0x20;          // width 20000
      break;
    }
  Raster tall;
  EXPECT_EQ(codecs::decode(jpeg.data(), jpeg.size(), &tall), Status::BAD_MEDIA);
  EXPECT_EQ(tall.pixels.capacity(), 0u);
  // A TIFF of 1821 bytes announcing 2037x63493 LZW pixels (found by the fuzzer: it
  // once allocated half a gigabyte and read nothing into it).
  std::ifstream in(std::string(ZOL_TEST_DATA) + "/image/tiff-announcing-2037x63493.tif",
                   std::ios::binary);
  std::vector<uint8_t> tiff((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(tiff.size(), 1821u);
  Raster vast;
  EXPECT_EQ(codecs::decode(tiff.data(), tiff.size(), &vast), Status::BAD_MEDIA);
  EXPECT_EQ(vast.pixels.capacity(), 0u);
  // A BMP whose rows would run past the bytes present.
  std::vector<uint32_t> p = varied({4, 4}, false);
  std::vector<uint8_t> bmp = encoded(p, {4, 4}, Kind::BMP);
  bmp[18] = 200;   // width 200
  Raster r;
  EXPECT_EQ(codecs::decode(bmp.data(), bmp.size(), &r), Status::BAD_MEDIA);
  EXPECT_EQ(r.pixels.capacity(), 0u);
}

TEST(Codecs, EmptyImagesDoNotEncode) {
  std::vector<uint8_t> out;
  uint32_t pixel = 0;
  for (Kind kind : {Kind::PNG, Kind::JPEG, Kind::BMP, Kind::GIF, Kind::TIFF}) {
    EXPECT_EQ(codecs::encode(&pixel, 0, 1, kind, &out), Status::BAD_MEDIA);
    EXPECT_EQ(codecs::encode(&pixel, 1, 0, kind, &out), Status::BAD_MEDIA);
  }
}

}  // namespace
}  // namespace zol
