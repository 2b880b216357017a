// The terminal UI's two hot paths: flushing worst-case frames (a 250x70 grid whose
// every cell changes attributes and both colours from the one before) and decoding
// 10 MB of SGR mouse motion reports. Best of five rounds each; prints the time of
// one frame and the decoding rate.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/best_of.h"
#include "view/colors.h"
#include "view/input.h"
#include "view/screen.h"

namespace {

using zol::bench::best_of_five;

using namespace zol::view;

// Neighbouring cells differ in every attribute and both colours, across every
// colour kind.
screen::Grid worst_grid(int width, int height) {
  screen::Grid g;
  g.resize(width, height);
  const uint32_t attrs[2] = {screen::BOLD | screen::UNDERLINE | screen::ITALIC,
                             screen::DIM | screen::REVERSE | screen::STRIKE};
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      int i = y * width + x;
      screen::Cell& c = g.at(x, y);
      c.ch = 'a' + uint32_t(i % 26);
      c.attr = attrs[i & 1];
      c.fg = i % 3 == 0 ? colors::make(colors::TRUE_COLOR, uint32_t(i * 2654435761u) & 0xFFFFFF)
                        : colors::make(colors::INDEXED, uint32_t(i % 256));
      c.bg = i % 2 ? colors::make(colors::PALETTE, uint32_t(i % 8))
                   : colors::make(colors::INDEXED, uint32_t((i * 7) % 256));
    }
  return g;
}

}  // namespace

int main() {
  screen::Grid grid = worst_grid(250, 70);
  std::string out;
  size_t bytes = 0;
  constexpr int FRAMES = 200;
  double frames_time = best_of_five([&] {
    screen::FrameState state;
    for (int i = 0; i < FRAMES; i++) {
      out.clear();
      screen::flush(grid, {.full_screen = true}, state, out);
      bytes = out.size();
    }
  });
  std::printf("flush 250x70 worst case: %.3f ms a frame, %zu bytes\n",
              frames_time / FRAMES * 1000.0, bytes);

  std::string reports;
  for (int i = 0; reports.size() < 10u * 1000u * 1000u; i++) {
    char text[32];
    int n = std::snprintf(text, sizeof text, "\x1b[<35;%d;%dM", 1 + i % 250, 1 + (i / 250) % 70);
    reports.append(text, size_t(n));
  }
  size_t items = 0;
  double decode_time = best_of_five([&] {
    input::Decoder d;
    std::vector<input::Item> found;
    // Fed in reads of 4 KB, as the loop takes them.
    for (size_t at = 0; at < reports.size(); at += 4096) {
      size_t n = reports.size() - at < 4096 ? reports.size() - at : 4096;
      d.feed(reinterpret_cast<const uint8_t*>(reports.data() + at), n);
      found.clear();
      d.process(0, found);
      items += found.size();
    }
  });
  std::printf("decode 10 MB of SGR motion: %.0f MB/s (%zu reports a round)\n",
              double(reports.size()) / decode_time / 1e6, items / 5);
  return 0;
}
