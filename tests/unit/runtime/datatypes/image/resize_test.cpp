// Nearest-neighbour scaling of image!: each new pixel takes the source pixel under
// its centre, up and down, in each direction on its own.
#include <gtest/gtest.h>

#include <string>

#include "runtime/datatypes/image/image.h"
#include "support.h"

namespace zol {
namespace {

std::string hex(const std::string& bytes) {
  static const char DIGITS[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) out += {DIGITS[b >> 4], DIGITS[b & 15]};
  return out;
}

TEST(ImageResize, EachPixelTakesTheSourcePixelUnderItsCentre) {
  test::boot();
  struct Case {
    const char* source;
    int32_t width, height;
    const char* argb;   // the scaled pixels as stored: B, G, R, opacity
  };
  const Case cases[] = {
      {"make image! [2x2 #{010101020202030303040404}]", 4, 2,
       "010101FF010101FF020202FF020202FF030303FF030303FF040404FF040404FF"},
      {"make image! [2x2 #{010101020202030303040404}]", 1, 1, "040404FF"},
      {"make image! [4x1 #{010101020202030303040404}]", 2, 1, "020202FF040404FF"},
      {"make image! [3x1 #{010101020202030303}]", 2, 3,
       "010101FF030303FF010101FF030303FF010101FF030303FF"},
      {"make image! [1x1 1.2.3.4]", 2, 1, "030201FB030201FB"},
      {"make image! [3x1 1.2.3]", 0, 5, ""},
      {"make image! 0x0", 2, 1, "0000000000000000"},
  };
  for (const Case& c : cases) {
    Cell source = test::eval_value(c.source);
    test::HeldCells held(&source);
    Cell scaled, bytes;
    image::resize(&source, c.width, c.height, &scaled);
    EXPECT_EQ(image::width(&scaled), c.width) << c.source;
    EXPECT_EQ(image::height(&scaled), c.height) << c.source;
    image::extract_data(&scaled, image::ARGB, &bytes);
    EXPECT_EQ(hex(test::binary_bytes(bytes)), c.argb) << c.source << " to " << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace zol
