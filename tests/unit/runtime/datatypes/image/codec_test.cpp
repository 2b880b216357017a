// image! and the codecs: bytes of no known kind give none, damaged ones bad-media
// with nothing on standard error, an empty image does not encode, an unknown
// format prints its message, and a pixel poked between two encodings shows in the
// second. Images held in a block keep their pixels through collections, and dropped
// ones give their pixels back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "runtime/collector/collector.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/memory/memory.h"
#include "support.h"

namespace zol {
namespace {

Cell decode(const Cell& bytes) {
  Cell out;
  image::load_binary(&bytes, &out);
  return out;
}

Cell encode(const Cell& picture, int format) {
  Cell out = values::none;
  image::encode(&picture, format, &out);
  return out;
}

Cell bytes_of(const std::string& s) {
  Cell out;
  binary::load(reinterpret_cast<const uint8_t*>(s.data()), uint32_t(s.size()), &out);
  return out;
}

TEST(ImageCodec, EveryFormatRoundTripsThroughBinaries) {
  test::boot();
  Cell picture = test::eval_value("make image! [5x3 #{0102030405060708090A0B0C0D0E0F} #{00FF10}]");
  test::HeldCells held(&picture);
  for (int format : {image::BMP, image::PNG, image::TIFF}) {
    Cell file = encode(picture, format);
    ASSERT_TRUE(file.is(T_BINARY)) << format;
    Cell back = decode(file);
    EXPECT_EQ(test::mold(back), test::mold(picture)) << format;
  }
}

TEST(ImageCodec, APokeBetweenTwoEncodingsShowsInTheSecond) {
  test::boot();
  Cell picture = test::eval_value("make image! [3x2 10.20.30]");
  test::HeldCells held(&picture);
  Cell first = encode(picture, image::PNG);
  image::pixels(&picture)[4] = 0xFF010203u;
  Cell second = decode(encode(picture, image::PNG));
  EXPECT_EQ(test::mold(decode(first)), "make image! [3x2 #{0A141E0A141E0A141E0A141E0A141E0A141E}]");
  EXPECT_EQ(test::mold(second), "make image! [3x2 #{0A141E0A141E0A141E0A141E0102030A141E}]");
}

TEST(ImageCodec, FailuresRaiseAndStayQuiet) {
  test::boot();
  EXPECT_TRUE(decode(bytes_of("not an image at all")).is(T_NONE));
  EXPECT_TRUE(decode(bytes_of("")).is(T_NONE));
  testing::internal::CaptureStderr();
  for (std::string bytes : {std::string("\x89PNG\r\n\x1A\n garbage"), std::string("\xFF\xD8\xFF garbage"),
                            std::string("BM garbage, garbage"), std::string("GIF89a garbage"),
                            std::string("II*\0garbage", 11), std::string("MM\0*garbage", 11)})
    EXPECT_EQ(test::raised([&] { decode(bytes_of(bytes)); }), test::error_name(err::access::BAD_MEDIA));
  Cell empty = test::eval_value("make image! 0x4");
  EXPECT_EQ(test::raised([&] { encode(empty, image::PNG); }), test::error_name(err::access::BAD_MEDIA));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(ImageCodec, AnUnknownFormatPrintsItsMessage) {
  test::ChildResult r = test::run_in_child([] {
    test::boot();
    Cell picture = test::eval_value("make image! 1x1");
    Cell out = values::none;
    bool made = image::encode(&picture, 5, &out);
    if (made || !out.is(T_NONE)) std::abort();
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Cannot find image encoder\n");
}

// Collecting from a thread of its own leaves none of this test's frames on the
// scanned stack to keep a dropped image by chance.
void collect_on_clean_stack() {
  std::thread([] { collector::collect(); }).join();
}

size_t nodes_in_use() {
  size_t n = 0;
  for (NodeFrame* f = memory::root.node_head; f; f = f->next) n += f->in_use;
  return n;
}

TEST(ImageCodec, HeldImagesKeepTheirPixelsAndDroppedOnesAreFreed) {
  test::boot();
  // One image above 2 MB (a big series), the others in the frames.
  Cell held = test::eval_value(
      "b: reduce [make image! [800x700 1.2.3.4] make image! [3x3 5.6.7] make image! [1x1 8.9.10]]");
  test::HeldCells keep(&held);
  // Counted in nodes: the series frames' figures keep the bytes of a frame that
  // is not compacted, whatever lives in it.
  collect_on_clean_stack();
  size_t before = nodes_in_use();
  test::eval_value("d: copy [] loop 20 [append d make image! [300x300 0.0.0]]");
  collect_on_clean_stack();
  size_t holding = nodes_in_use();
  ASSERT_GE(holding, before + 20);
  test::eval_value("d: none");
  collect_on_clean_stack();
  // The block and its twenty stores go; a stray word on the scanned stack may keep
  // one of them.
  EXPECT_GE(holding - nodes_in_use(), 20u);
  EXPECT_EQ(test::eval("b/1/size"), "800x700");
  EXPECT_EQ(test::eval("pick b/1 560000"), "1.2.3.4");
  EXPECT_EQ(test::eval("b/2/rgb"), "#{050607050607050607050607050607050607050607050607050607}");
  EXPECT_EQ(test::eval("pick b/3 1"), "8.9.10.0");
}

}  // namespace
}  // namespace zol
