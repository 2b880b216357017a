// The terminal Draw backend redrawing a face's draw block: 10 000 mixed commands
// (pens and fills, lines, boxes, triangles, circles, ellipses, text, pushed blocks
// and transformations that only are checked) over a 250x70 grid, 100 redraws a
// round, as a draw facet is redrawn every frame. Prints "redraw <ms per redraw>"
// (best of five rounds); the goal is well inside one 33 ms round of the loop.
#include <cstdio>
#include <random>
#include <string>

#include "bench/best_of.h"
#include "boot/runtime.h"
#include "interpreter/lexer/load.h"
#include "platform/platform.h"
#include "view/colors.h"
#include "view/draw/terminal.h"

namespace {

using namespace zol;

constexpr int WIDTH = 250, HEIGHT = 70, COMMANDS = 10000, REDRAWS = 100;

std::string point(std::mt19937& rng) {
  return std::to_string(int(rng() % 260) - 5) + "x" + std::to_string(int(rng() % 80) - 5);
}

std::string colour(std::mt19937& rng) {
  return std::to_string(rng() % 256) + "." + std::to_string(rng() % 256) + "." +
         std::to_string(rng() % 256);
}

// One command of each kind in turn, with random places and sizes.
std::string commands() {
  std::mt19937 rng(47);
  std::string text;
  for (int i = 0; i < COMMANDS; i++) {
    switch (i % 10) {
      case 0: text += "pen " + colour(rng); break;
      case 1: text += "fill-pen " + (i % 20 == 1 ? std::string("off") : colour(rng)); break;
      case 2: text += "line " + point(rng) + " " + point(rng) + " " + point(rng); break;
      case 3: text += "box " + point(rng) + " " + point(rng); break;
      case 4: text += "triangle " + point(rng) + " " + point(rng) + " " + point(rng); break;
      case 5: text += "circle " + point(rng) + " " + std::to_string(rng() % 20); break;
      case 6: text += "ellipse " + point(rng) + " " + std::to_string(rng() % 40) + "x" +
                      std::to_string(rng() % 20);
        break;
      case 7: text += "text " + point(rng) + " {some text here}"; break;
      case 8: text += "push [pen " + colour(rng) + " line " + point(rng) + " " + point(rng) + "]"; break;
      case 9: text += "rotate 30 " + point(rng) + " [box " + point(rng) + " " + point(rng) + "]"; break;
    }
    text += i % 8 == 7 ? "\n" : " ";
  }
  return text;
}

int run(void*) {
  runtime::init();
  std::string text = commands();
  Cell block;
  lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), &block);
  view::screen::Grid grid;
  grid.resize(WIDTH, HEIGHT);
  double seconds = bench::best_of_five([&] {
    for (int i = 0; i < REDRAWS; i++) {
      grid.clear();
      view::draw::TerminalBackend out(&grid, 0, 0, {0, 0, WIDTH, HEIGHT}, view::colors::INDEXED_256);
      view::draw::run(out, &block, {});
    }
  });
  std::printf("redraw %.3f ms\n", seconds * 1000 / REDRAWS);
  return 0;
}

}  // namespace

int main() { return platform::run_on_large_stack(run, nullptr, platform::RUNTIME_STACK_BYTES); }
