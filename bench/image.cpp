// Image loading, saving and pixel work over a 4096x4096 photo-like picture (smooth
// gradients, noise, varied opacity), through the image datatype:
//
//   load-png    a PNG of the picture decoded into a new image!
//   load-jpeg   a JPEG of the picture (opaque) decoded likewise
//   save-png    the picture encoded as PNG
//   extract-*   one channel binary read out (rgb, alpha, argb)
//   set-*       a channel binary written back (rgb, alpha, argb)
//   foreach     an interpreted foreach over every pixel, doing nothing
//
// The PNG and JPEG are written to the folder given as the first argument, for
// bench/image.sh to time the netpbm tools on the same files. Prints one line per
// workload, "<name> <seconds>" (best of three).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "boot/runtime.h"
#include "interpreter/interpreter.h"
#include "interpreter/lexer/load.h"
#include "platform/platform.h"
#include "runtime/core/context.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/image/image.h"

namespace {

using namespace zol;
using Clock = std::chrono::steady_clock;

constexpr int SIDE = 4096;
const char* folder = ".";

template <class Fn>
double best_of_three(Fn fn) {
  double best = 1e30;
  for (int i = 0; i < 3; i++) {
    auto start = Clock::now();
    fn();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

void make_picture(Cell* out, bool opaque) {
  image::make_at(out, SIDE, SIDE);
  uint32_t* p = image::pixels(out);
  std::mt19937 rng(7);
  for (uint32_t y = 0; y < SIDE; y++)
    for (uint32_t x = 0; x < SIDE; x++) {
      uint32_t noise = rng() & 7;
      uint32_t r = (x / 16 + noise) & 255, g = (y / 16 + noise) & 255, b = ((x + y) / 32) & 255;
      uint32_t a = opaque ? 255 : 255 - ((x * y) >> 16 & 127);
      p[size_t(y) * SIDE + x] = a << 24 | r << 16 | g << 8 | b;
    }
}

void write_file(const Cell& bytes, const std::string& name) {
  std::ofstream(std::string(folder) + "/" + name, std::ios::binary)
      .write(reinterpret_cast<const char*>(binary::head_bytes(&bytes)), binary::length(&bytes));
}

void report(const char* name, double seconds) { std::printf("%s %.3f\n", name, seconds); }

int run(void*) {
  runtime::init();
  Cell picture, photo, png, jpeg, out;
  make_picture(&picture, false);
  make_picture(&photo, true);
  image::encode(&picture, image::PNG, &png);
  image::encode(&photo, image::JPEG, &jpeg);
  write_file(png, "picture.png");
  write_file(jpeg, "photo.jpg");
  report("load-png", best_of_three([&] { image::load_binary(&png, &out); }));
  report("load-jpeg", best_of_three([&] { image::load_binary(&jpeg, &out); }));
  report("save-png", best_of_three([&] { image::encode(&picture, image::PNG, &out); }));
  report("extract-rgb", best_of_three([&] { image::extract_data(&picture, image::RGB, &out); }));
  report("extract-alpha", best_of_three([&] { image::extract_data(&picture, image::ALPHA, &out); }));
  report("extract-argb", best_of_three([&] { image::extract_data(&picture, image::ARGB, &out); }));
  const struct { const char* name; image::Channel channel; } writes[] = {
      {"set-rgb", image::RGB}, {"set-alpha", image::ALPHA}, {"set-argb", image::ARGB}};
  for (const auto& w : writes) {
    Cell data;
    image::extract_data(&picture, w.channel, &data);
    report(w.name, best_of_three([&] { image::set_data(&picture, &data, w.channel); }));
  }
  Cell name = context::add_global(symbol::make("bench-picture"));
  context::set(&name, &picture);
  std::string text = "foreach p bench-picture []";
  Cell code;
  lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), &code);
  report("foreach", best_of_three([&] { interpreter::do_block(&code); }));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) folder = argv[1];
  return platform::run_on_large_stack(run, nullptr, platform::RUNTIME_STACK_BYTES);
}
