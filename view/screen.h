// The terminal UI's screen: a grid of cells the widgets paint into, turned into
// one frame of bytes (escape sequences and UTF-8) that is written at once. Knows
// nothing of widgets or Zol values, so the tests and the benchmark drive it
// directly.
//
// Screen cell, four 32-bit words: the code point (0 is written as a space), the
// background and foreground colours (terminal colour values, colors.h), and the
// attribute bits (Attr).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zol::view::screen {

enum Attr : uint32_t {
  BLINK = 0x1, BOLD = 0x2, DIM = 0x4, REVERSE = 0x8, UNDERLINE = 0x10, STRIKE = 0x40,
  ITALIC = 0x100, CONCEAL = 0x200,   // blink and conceal are kept, never written
  COVERED = 0x400,                   // second column of a wide character: not written
  MASKED = 0x800,                    // written as "*" (password fields)
};

struct Cell {
  uint32_t ch = 0, bg = 0, fg = 0, attr = 0;
  bool operator==(const Cell&) const = default;
};

struct Grid {
  int width = 0, height = 0;
  std::vector<Cell> cells;   // row-major
  void resize(int w, int h);
  void clear();
  Cell& at(int x, int y) { return cells[size_t(y) * size_t(width) + size_t(x)]; }
  const Cell& at(int x, int y) const { return cells[size_t(y) * size_t(width) + size_t(x)]; }
  void fill(int left, int top, int columns, int rows, uint32_t background);
};

struct FlushOptions {
  bool full_screen = false;
  // The caret's cell when a focused widget shows one; negative coordinates for none.
  bool caret = false;
  int caret_column = -1, caret_row = -1;
};

// What the terminal shows between frames: the line the cursor stands on within the
// last frame (inline mode moves back up that many lines).
struct FrameState {
  int cursor_line = 0;
  bool on_screen = false;
};

// Appends the frame's bytes to `out` and updates the frame state. Attributes and
// colours are written only where they change from the previous cell written, and
// every sequence that turns more off than its own attribute or colour (SGR 22, the
// full reset, the row break's background reset) is followed by what must stay on.
void flush(const Grid& grid, const FlushOptions& how, FrameState& state, std::string& out);

// Closes a frame before other output: back to its first line, and erased below.
void close_frame(FrameState& state, std::string& out);

// Painting text into cells.
struct Clip {
  int left = 0, top = 0, right = 0, bottom = 0;   // right and bottom exclusive
};
struct Style {
  uint32_t bg = 0, fg = 0, attr = 0;
  bool wrap = false;
  bool escapes = false;   // SGR sequences in the text change the style
  bool keep_background = false;   // each cell keeps the background it had (text drawn over shapes)
};
// Puts the text with its top-left at (x, y), clipped; wide characters take two
// cells (the second marked covered) and are never split at the clip's edge.
void paint(Grid& grid, const std::u32string& text, int x, int y, const Clip& clip, Style style);
// The same for styled cells, each painted as it says (a styled run array); no
// escape sequences are read.
void paint_runs(Grid& grid, const std::vector<Cell>& runs, int x, int y, const Clip& clip, bool wrap);

}  // namespace zol::view::screen
