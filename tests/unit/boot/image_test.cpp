// The boot image: its header, that it holds every listed file as the lexer reads
// the file's text, the build step's refusal of a file that does not lex, and
// start-up's refusal of an image that does not decode.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "boot/boot.h"
#include "runtime/datatypes/block/block.h"
#include "support.h"

namespace zol {
namespace {

std::vector<std::string> listed_files() {
  std::vector<std::string> names;
  std::string list = ZOL_LIBRARY_NAMES;
  for (size_t start = 0, comma; start < list.size(); start = comma + 1) {
    comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    names.push_back(list.substr(start, comma - start));
  }
  return names;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> embedded_image() {
  const boot::EmbeddedLibrary& e = boot::embedded_library;
  return std::vector<uint8_t>(e.image, e.image + e.image_size);
}

#define NEEDS_BOOT_IMAGE() \
  if (!boot::embedded_library.image_size) GTEST_SKIP() << "this build embeds the raw texts"

TEST(BootImage, BeginsWithTheBootImageHeader) {
  NEEDS_BOOT_IMAGE();
  std::vector<uint8_t> image = embedded_image();
  ASSERT_GE(image.size(), 8u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 6), "ZOLBIN");
  EXPECT_EQ(image[6], 1);      // version
  EXPECT_EQ(image[7], 0x05);   // compact records, a symbol table, no LZ
}

// Each file's block, as start-up reads it, molds (all forms, new-line markers shown
// as line breaks) exactly as a load of the file's text does.
TEST(BootImage, HoldsEveryListedFileAsItsTextLoads) {
  NEEDS_BOOT_IMAGE();
  test::boot();
  std::vector<uint8_t> image = embedded_image();
  Cell files = boot::load_image(image.data(), image.size());
  std::vector<std::string> names = listed_files();
  ASSERT_EQ(names.front(), "boot/bootstrap.zol");
  ASSERT_EQ(block::length(&files), int32_t(2 * names.size()));
  for (size_t i = 0; i < names.size(); i++) {
    EXPECT_EQ(test::mold(*block::cell_at(&files, int32_t(2 * i)), true), "%" + names[i]);
    std::string text = read_file(std::string(ZOL_SOURCE_DIR) + "/" + names[i]);
    ASSERT_FALSE(text.empty()) << names[i];
    Cell loaded = test::load(text);
    std::string expected = test::mold(loaded, true);
    EXPECT_NE(expected.find('\n'), std::string::npos) << names[i];
    EXPECT_EQ(test::mold(*block::cell_at(&files, int32_t(2 * i + 1)), true), expected) << names[i];
  }
}

test::ChildResult run_tool(const std::string& arguments) {
  return test::run_command(std::string(ZOL_BOOT_IMAGE_TOOL) + " " + arguments + " 2>&1");
}

TEST(BootImage, TheBuildStepRefusesAFileThatDoesNotLexNamingItsFileAndLine) {
  char pattern[] = "/tmp/zol-boot-image-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  struct Case {
    const char* text;
    const char* report;
  };
  const Case cases[] = {
      {"x: 1\ny: #{zz}\nz: 3\n", "library/broken.zol:2: syntax error near: #{zz}\n"},
      {"x: 1\n\nz: )\n", "library/broken.zol:3: syntax error near: )\n"},
      {"x: [1\n2\n", "library/broken.zol:3: syntax error near: [1\n"},
  };
  std::string good = dir + "/good.zol";
  std::ofstream(good) << "a: 1\n";
  for (const Case& c : cases) {
    std::string broken = dir + "/broken.zol";
    std::ofstream(broken) << c.text;
    std::string image = dir + "/out.zb";
    test::ChildResult r = run_tool(image + " library/good.zol=" + good + " library/broken.zol=" + broken);
    EXPECT_EQ(r.status, 1) << c.text;
    EXPECT_EQ(r.out, std::string("zol_boot_image: ") + c.report) << c.text;
    EXPECT_FALSE(std::filesystem::exists(image)) << c.text;
  }
  test::ChildResult sound = run_tool(dir + "/out.zb library/good.zol=" + good);
  EXPECT_EQ(sound.status, 0) << sound.out;
  EXPECT_EQ(read_file(dir + "/out.zb").substr(0, 8), std::string("ZOLBIN\x01\x05", 8));
  std::filesystem::remove_all(dir);
}

// The byte where the first record starts: after the header, the root count, the
// payload size and the symbol table (count, names size, offsets, names).
size_t first_record(const std::vector<uint8_t>& image) {
  size_t at = 8;
  auto varint = [&] {
    uint32_t v = 0;
    for (int shift = 0;; shift += 7) {
      uint8_t b = image[at++];
      v |= uint32_t(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
  };
  varint();
  varint();
  uint32_t symbols = varint();
  uint32_t names = varint();
  return at + 4 * size_t(symbols) + names;
}

TEST(BootImage, AnImageThatDoesNotDecodeStopsStartUpWithItsMessage) {
  NEEDS_BOOT_IMAGE();
  test::boot();
  const std::vector<uint8_t> good = embedded_image();
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    std::string message;   // the report's start
  };
  std::vector<Case> cases;
  auto with = [&](auto change) {
    std::vector<uint8_t> image = good;
    change(image);
    return image;
  };
  size_t records = first_record(good);
  cases.push_back({"bad magic", with([](auto& i) { i[0] = 'X'; }), "Error: Not a Zolbin file!\n"});
  cases.push_back({"shorter than a header", with([](auto& i) { i.resize(5); }),
                   "Error: Not a Zolbin file!\n"});
  cases.push_back({"truncated", with([](auto& i) { i.resize(i.size() / 2); }),
                   "Error: ZOLBIN - invalid record at index "});
  cases.push_back({"garbled record", with([&](auto& i) { i[records] = 0; }),
                   "Error: ZOLBIN - invalid record at index " + std::to_string(records + 1) + "\n"});
  cases.push_back({"corrupt compressed payload", with([](auto& i) { i[7] |= 2; }),
                   "Error: Zolbin compressed data corrupted!\n"});
  for (const Case& c : cases) {
    test::ChildResult r = test::run_in_child([&] {
      dup2(1, 2);
      boot::load_image(c.image.data(), c.image.size());
    });
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.out.rfind(c.message, 0), 0u) << c.what << ": " << r.out;
  }
}

}  // namespace
}  // namespace zol
