// The codecs against independent tools (netpbm, libtiff's tiffcp, libpng's pngfix):
// files we write decode with the tools to the pixels we wrote, and files the tools
// write in the forms we do not write ourselves (16-bit, grey-alpha, palette and
// interlaced PNGs; 1-, 4-, 8- and 24-bit BMPs; interlaced transparent GIFs; tiled,
// big-endian, deflate, PackBits and palette TIFFs; progressive and grey JPEGs)
// load to the pixels the tools read back from them.
//
// References are netpbm files (PAM, PPM, PGM) read by a small reader here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codecs/codecs.h"

namespace zol {
namespace {

using codecs::Kind;
using codecs::Raster;
using codecs::Status;
namespace fs = std::filesystem;

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a & 255) << 24 | (r & 255) << 16 | (g & 255) << 8 | (b & 255);
}

// A picture of `colours` distinct colours (0: as many as the rule gives), with
// varied opacity when `alpha`.
Raster picture(uint32_t w, uint32_t h, uint32_t colours, bool alpha) {
  Raster r;
  r.width = w;
  r.height = h;
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++) {
      uint32_t a = alpha ? (x * 37 + y * 11 + 1) & 255 : 255;
      if (colours) {
        uint32_t c = (x + 3 * y) % colours;
        r.pixels.push_back(argb(a, c * 53, 255 - c * 17, c * 101));
      } else {
        r.pixels.push_back(argb(a, x * 7 + y, x ^ (y * 3), x * y + 100));
      }
    }
  return r;
}

// A smooth opaque picture, as JPEG is meant for.
Raster gradient(uint32_t w, uint32_t h) {
  Raster r;
  r.width = w;
  r.height = h;
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++) r.pixels.push_back(argb(255, x * 3, y * 2 + 20, 200 - x - y));
  return r;
}

class Oracle : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zol-codec-oracle-" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs a shell command in the scratch folder; answers its exit status.
  int run(const std::string& command) const {
    std::string line = "cd '" + dir_.string() + "' && (" + command + ") 2>/dev/null";
    return std::system(line.c_str());
  }

  void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  std::vector<uint8_t> read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  // The picture as a PAM (RGB_ALPHA, or RGB without alpha).
  void write_pam(const std::string& name, const Raster& r, bool alpha) const {
    std::ostringstream out;
    out << "P7\nWIDTH " << r.width << "\nHEIGHT " << r.height << "\nDEPTH " << (alpha ? 4 : 3)
        << "\nMAXVAL 255\nTUPLTYPE " << (alpha ? "RGB_ALPHA" : "RGB") << "\nENDHDR\n";
    for (uint32_t p : r.pixels) {
      out << char(p >> 16) << char(p >> 8) << char(p);
      if (alpha) out << char(p >> 24);
    }
    std::string s = out.str();
    write(name, std::vector<uint8_t>(s.begin(), s.end()));
  }

  // A netpbm file (P5, P6 or P7, maxval 255 or 65535) as pixels; grey becomes
  // R = G = B, a missing alpha opaque.
  Raster read_pnm(const std::string& name) const {
    std::vector<uint8_t> b = read(name);
    Raster r;
    if (b.size() < 2 || b[0] != 'P') return r;
    size_t at = 2;
    uint32_t depth = b[1] == '5' ? 1 : 3, maxval = 255;
    auto token = [&] {
      while (at < b.size() && (isspace(b[at]) || b[at] == '#')) {
        if (b[at] == '#') while (at < b.size() && b[at] != '\n') at++;
        else at++;
      }
      std::string t;
      while (at < b.size() && !isspace(b[at])) t += char(b[at++]);
      return t;
    };
    if (b[1] == '7') {
      for (std::string t = token(); t != "ENDHDR" && !t.empty(); t = token()) {
        if (t == "WIDTH") r.width = uint32_t(std::stoul(token()));
        else if (t == "HEIGHT") r.height = uint32_t(std::stoul(token()));
        else if (t == "DEPTH") depth = uint32_t(std::stoul(token()));
        else if (t == "MAXVAL") maxval = uint32_t(std::stoul(token()));
        else if (t == "TUPLTYPE") token();
      }
    } else {
      r.width = uint32_t(std::stoul(token()));
      r.height = uint32_t(std::stoul(token()));
      maxval = uint32_t(std::stoul(token()));
    }
    at++;   // the one white-space byte before the samples
    uint32_t bytes = maxval > 255 ? 2 : 1;
    auto sample = [&](size_t i) {
      uint32_t v = bytes == 2 ? uint32_t(b[at + 2 * i]) << 8 | b[at + 2 * i + 1] : b[at + i];
      return (v * 255 + maxval / 2) / maxval;
    };
    size_t n = size_t(r.width) * r.height;
    if (b.size() < at + n * depth * bytes) return Raster{};
    for (size_t i = 0; i < n; i++) {
      size_t s = i * depth;
      uint32_t grey = depth <= 2;
      uint32_t red = sample(s), green = grey ? red : sample(s + 1), blue = grey ? red : sample(s + 2);
      uint32_t alpha = depth == 2 ? sample(s + 1) : depth == 4 ? sample(s + 3) : 255;
      r.pixels.push_back(argb(alpha, red, green, blue));
    }
    return r;
  }

  Raster load(const std::string& name) const {
    std::vector<uint8_t> bytes = read(name);
    Raster r;
    EXPECT_EQ(codecs::decode(bytes.data(), bytes.size(), &r), Status::OK) << name;
    return r;
  }

  std::vector<uint8_t> save(const Raster& r, Kind kind) const {
    std::vector<uint8_t> out;
    EXPECT_EQ(codecs::encode(r.pixels.data(), r.width, r.height, kind, &out), Status::OK);
    return out;
  }

  fs::path dir_;
};

std::vector<uint32_t> opaque(const std::vector<uint32_t>& p) {
  std::vector<uint32_t> out;
  for (uint32_t v : p) out.push_back(v | 0xFF000000u);
  return out;
}

int worst_difference(const Raster& a, const Raster& b) {
  if (a.pixels.size() != b.pixels.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.pixels.size(); i++)
    for (int shift : {0, 8, 16, 24})
      worst = std::max(worst, std::abs(int(a.pixels[i] >> shift & 255) - int(b.pixels[i] >> shift & 255)));
  return worst;
}

TEST_F(Oracle, ToolsReadWhatWeWrite) {
  Raster varied = picture(37, 23, 0, true);
  write("ours.png", save(varied, Kind::PNG));
  EXPECT_EQ(run("pngfix ours.png > /dev/null"), 0);
  EXPECT_EQ(run("pngtopam -alphapam ours.png > png.pam"), 0);
  EXPECT_EQ(read_pnm("png.pam").pixels, varied.pixels);

  write("ours.bmp", save(varied, Kind::BMP));
  EXPECT_EQ(run("bmptopnm ours.bmp > bmp.ppm"), 0);
  EXPECT_EQ(read_pnm("bmp.ppm").pixels, opaque(varied.pixels));

  write("ours.tif", save(varied, Kind::TIFF));
  EXPECT_EQ(run("tifftopnm -alphaout=tif-alpha.pgm ours.tif > tif.ppm"), 0);
  Raster colour = read_pnm("tif.ppm"), alpha = read_pnm("tif-alpha.pgm");
  ASSERT_EQ(colour.pixels.size(), varied.pixels.size());
  ASSERT_EQ(alpha.pixels.size(), varied.pixels.size());
  // tifftopnm serves the colours premultiplied by the unassociated alpha.
  for (size_t i = 0; i < varied.pixels.size(); i++) {
    uint32_t a = varied.pixels[i] >> 24;
    EXPECT_EQ(alpha.pixels[i] & 0xFF, a) << i;
    for (int shift : {0, 8, 16}) {
      int premultiplied = int(((varied.pixels[i] >> shift & 255) * a + 127) / 255);
      EXPECT_LE(std::abs(int(colour.pixels[i] >> shift & 255) - premultiplied), 1) << i;
    }
  }

  Raster few = picture(37, 23, 200, false);
  write("ours.gif", save(few, Kind::GIF));
  EXPECT_EQ(run("giftopnm ours.gif > gif.ppm"), 0);
  EXPECT_EQ(read_pnm("gif.ppm").pixels, few.pixels);

  Raster smooth = gradient(64, 48);
  write("ours.jpg", save(smooth, Kind::JPEG));
  EXPECT_EQ(run("jpegtopnm ours.jpg > jpg.ppm"), 0);
  EXPECT_EQ(read_pnm("jpg.ppm").pixels, load("ours.jpg").pixels);
  EXPECT_LE(worst_difference(read_pnm("jpg.ppm"), smooth), 12);
}

TEST_F(Oracle, WeReadTheToolsPngs) {
  Raster varied = picture(37, 23, 0, true);
  write_pam("rgba.pam", varied, true);
  ASSERT_EQ(run("pamdepth 65535 rgba.pam | pamtopng > deep.png"), 0);
  EXPECT_EQ(load("deep.png").pixels, varied.pixels);
  ASSERT_EQ(run("pamtopng rgba.pam > plain.png && pngtopam -alphapam plain.png > back.pam"), 0);
  // Grey with alpha: the tools' own reading is the reference.
  ASSERT_EQ(run("pamchannel -infile rgba.pam -tupletype GRAYSCALE_ALPHA 0 3 > ga.pam && pamtopng ga.pam > ga.png"), 0);
  EXPECT_EQ(load("ga.png").pixels, read_pnm("ga.pam").pixels);
  Raster few = picture(37, 23, 40, false);
  write_pam("few.pam", few, false);
  ASSERT_EQ(run("pnmtopng few.pam > palette.png && pnmtopng -interlace few.pam > interlaced.png"), 0);
  EXPECT_EQ(load("palette.png").pixels, few.pixels);
  EXPECT_EQ(load("interlaced.png").pixels, few.pixels);
}

TEST_F(Oracle, WeReadTheToolsBmps) {
  struct Case {
    int bits;
    uint32_t colours;
  };
  for (Case c : {Case{1, 2}, Case{4, 16}, Case{8, 200}, Case{24, 0}}) {
    Raster r = picture(37, 23, c.colours, false);
    write_pam("in.pam", r, false);
    std::string file = "bits" + std::to_string(c.bits) + ".bmp";
    ASSERT_EQ(run("pamtopnm in.pam | ppmtobmp -bpp=" + std::to_string(c.bits) + " > " + file), 0) << c.bits;
    EXPECT_EQ(load(file).pixels, r.pixels) << c.bits;
  }
}

TEST_F(Oracle, WeReadTheToolsInterlacedTransparentGif) {
  Raster few = picture(37, 23, 30, false);
  write_pam("few.pam", few, false);
  uint32_t clear = few.pixels[5] & 0xFFFFFF;
  char colour[16];
  std::snprintf(colour, sizeof colour, "#%06X", clear);
  ASSERT_EQ(run(std::string("pamtopnm few.pam | ppmtogif -interlace -transparent='") + colour + "' > t.gif"), 0);
  std::vector<uint32_t> expected;
  for (uint32_t p : few.pixels) expected.push_back((p & 0xFFFFFF) == clear ? clear : p);
  EXPECT_EQ(load("t.gif").pixels, expected);
}

TEST_F(Oracle, WeReadTheToolsTiffs) {
  Raster varied = picture(37, 23, 0, true);
  write("ours.tif", save(varied, Kind::TIFF));
  // Strips, re-packed: the samples stay exact.
  for (std::string options : {"-B", "-c zip", "-c packbits", "-L -c none"}) {
    ASSERT_EQ(run("tiffcp " + options + " ours.tif repacked.tif"), 0) << options;
    EXPECT_EQ(load("repacked.tif").pixels, varied.pixels) << options;
  }
  // Tiles go through the premultiplying reader: colours come back within what
  // 8-bit premultiplication keeps.
  ASSERT_EQ(run("tiffcp -t -w 16 -l 16 ours.tif tiled.tif"), 0);
  Raster tiled = load("tiled.tif");
  ASSERT_EQ(tiled.pixels.size(), varied.pixels.size());
  for (size_t i = 0; i < varied.pixels.size(); i++) {
    uint32_t a = varied.pixels[i] >> 24;
    EXPECT_EQ(tiled.pixels[i] >> 24, a) << i;
    if (a == 0) continue;
    for (int shift : {0, 8, 16})
      EXPECT_LE(std::abs(int(tiled.pixels[i] >> shift & 255) - int(varied.pixels[i] >> shift & 255)),
                int(255 / a) + 1)
          << i;
  }
  Raster few = picture(37, 23, 60, false);
  write_pam("few.pam", few, false);
  ASSERT_EQ(run("pamtopnm few.pam | pnmtotiff -lzw > palette.tif"), 0);
  EXPECT_EQ(load("palette.tif").pixels, few.pixels);
}

TEST_F(Oracle, WeReadTheToolsJpegs) {
  Raster smooth = gradient(64, 48);
  write_pam("in.pam", smooth, false);
  ASSERT_EQ(run("pamtopnm in.pam | pnmtojpeg --progressive > progressive.jpg"), 0);
  ASSERT_EQ(run("pamtopnm in.pam | ppmtopgm | pnmtojpeg --grayscale > grey.jpg"), 0);
  for (std::string file : {"progressive", "grey"}) {
    ASSERT_EQ(run("jpegtopnm " + file + ".jpg > " + file + ".pnm"), 0);
    EXPECT_EQ(load(file + ".jpg").pixels, read_pnm(file + ".pnm").pixels) << file;
  }
}

}  // namespace
}  // namespace zol
