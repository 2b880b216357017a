// The terminal UI's screen: frames flushed to exact bytes (full-screen and inline,
// caret, masked, covered and zero cells, every colour kind, the sequences that turn
// more off than their own attribute), random grids replayed through a small
// terminal model that must give every cell back, and the text painter.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "view/colors.h"
#include "view/screen.h"

namespace zol::view::screen {
namespace {

using colors::make;

Grid grid_of(int w, int h, const std::vector<Cell>& cells) {
  Grid g;
  g.resize(w, h);
  g.cells = cells;
  return g;
}

Cell ch(char32_t c, uint32_t attr = 0, uint32_t fg = 0, uint32_t bg = 0) {
  return Cell{uint32_t(c), bg, fg, attr};
}

std::string flushed(const Grid& g, FlushOptions how = {}, FrameState* state = nullptr) {
  FrameState local;
  std::string out;
  flush(g, how, state ? *state : local, out);
  return out;
}

TEST(ViewScreen, FramesAreExactBytes) {
  uint32_t red = make(colors::PALETTE, 1);
  struct Case {
    const char* name;
    Grid grid;
    FlushOptions how;
    std::string bytes;
  };
  const Case cases[] = {
      {"full screen, plain", grid_of(2, 1, {ch('a'), ch('b')}), {.full_screen = true},
       "\033[Hab"},
      {"inline, two rows", grid_of(2, 2, {ch('a'), ch('b'), ch('c'), ch('d')}), {},
       "\r\033[0Jab\033[49m\r\ncd"},
      {"zero, masked and covered cells", grid_of(4, 1, {ch(0), ch('p', MASKED), ch(0x4E2D), ch(0, COVERED)}),
       {.full_screen = true}, "\033[H *\xE4\xB8\xAD"},
      {"masked wide character", grid_of(3, 1, {ch(0x4E2D, MASKED), ch(0, COVERED | MASKED), ch('x')}),
       {.full_screen = true}, "\033[H**x"},
      {"caret", grid_of(3, 2, {ch('a'), ch('b'), ch('c'), ch('d'), ch('e'), ch('f')}),
       {.caret = true, .caret_column = 1, .caret_row = 0},
       "\r\033[0Jabc\033[49m\r\ndef\r\033[1A\033[1C"},
      {"caret at the origin of the last row", grid_of(1, 2, {ch('a'), ch('b')}),
       {.caret = true, .caret_column = 0, .caret_row = 1}, "\r\033[0Ja\033[49m\r\nb\r"},
      {"attributes in their order, closed at the end",
       grid_of(2, 1, {ch('x', REVERSE | UNDERLINE | ITALIC | STRIKE | BLINK | CONCEAL), ch('y')}),
       {.full_screen = true},
       "\033[H\033[7m\033[3m\033[9m\033[4mx\033[27m\033[23m\033[29m\033[24my"},
      {"colour kinds",
       grid_of(3, 1, {ch('a', 0, red, make(colors::PALETTE, 12)),
                      ch('b', 0, make(colors::INDEXED, 196), make(colors::TRUE_COLOR, 0x010203)),
                      ch('c', 0, make(colors::PALETTE, 9), 0)}),
       {.full_screen = true},
       "\033[H\033[31m\033[102ma\033[38;5;196m\033[48;2;1;2;3mb\033[39m\033[49mc\033[39m"},
      // Ending dim with "22" ends bold too: bold is written again.
      {"bold stays on after dim ends", grid_of(2, 1, {ch('x', BOLD | DIM), ch('y', BOLD)}),
       {.full_screen = true}, "\033[H\033[2m\033[1mx\033[22m\033[1my\033[22m"},
      {"dim stays on after bold ends", grid_of(2, 1, {ch('x', BOLD | DIM), ch('y', DIM)}),
       {.full_screen = true}, "\033[H\033[2m\033[1mx\033[22m\033[2my\033[22m"},
      // The row break resets the background: the next row sets it again.
      {"background after a row break", grid_of(1, 2, {ch('a', 0, 0, red), ch('b', 0, 0, red)}),
       {.full_screen = true}, "\033[H\033[41ma\033[49m\r\n\033[41mb\033[49m"},
      // Palette 8 and unknown kinds are written as a full reset: what stays on is
      // written again.
      {"reset colour keeps the rest", grid_of(2, 1, {ch('a', BOLD, red, red), ch('b', BOLD, make(colors::PALETTE, 8), red)}),
       {.full_screen = true}, "\033[H\033[1m\033[31m\033[41ma\033[0m\033[1m\033[41mb\033[22m\033[39m\033[49m"},
      {"unknown kind", grid_of(1, 1, {ch('a', UNDERLINE, 0, 3u << 24)}), {.full_screen = true},
       "\033[H\033[4m\033[0m\033[4ma\033[24m\033[49m"},
  };
  for (const Case& c : cases) EXPECT_EQ(flushed(c.grid, c.how), c.bytes) << c.name;
}

TEST(ViewScreen, InlineFramesReturnToTheirFirstLine) {
  Grid g = grid_of(2, 3, std::vector<Cell>(6, ch('z')));
  FrameState state;
  flushed(g, {}, &state);
  EXPECT_TRUE(state.on_screen);
  EXPECT_EQ(state.cursor_line, 2);
  EXPECT_EQ(flushed(g, {}, &state).substr(0, 9), "\r\033[2A\033[0J");
  std::string out;
  close_frame(state, out);
  EXPECT_EQ(out, "\r\033[2A\033[0J");
  EXPECT_FALSE(state.on_screen);
  out.clear();
  close_frame(state, out);
  EXPECT_EQ(out, "");
  EXPECT_EQ(flushed(Grid{}), "");
  // A one-line frame is erased too before text is printed over it.
  Grid line = grid_of(2, 1, {ch('a'), ch('b')});
  flushed(line, {}, &state);
  EXPECT_EQ(state.cursor_line, 0);
  out.clear();
  close_frame(state, out);
  EXPECT_EQ(out, "\r\033[0J");
}

// --- a small terminal: what the bytes show --------------------------------------------------

struct Shown {
  uint32_t ch = ' ', fg = 0, bg = 0, attr = 0;
  bool operator==(const Shown&) const = default;
};

// A colour as it looks: the terminal default for kind 0, palette 9, and the colours
// written as a reset.
uint32_t look(uint32_t colour) {
  if (colors::resets_all(colour)) return 0;
  if (colour == make(colors::PALETTE, 9)) return 0;
  return colour;
}

struct Terminal {
  int width, height;
  int row = 0, col = 0;
  Shown pen;
  std::vector<Shown> cells;

  Terminal(int w, int h) : width(w), height(h), cells(size_t(w) * size_t(h)) {}

  void sgr(const std::vector<int>& p) {
    for (size_t i = 0; i < p.size(); i++) {
      int n = p[i];
      if ((n == 38 || n == 48) && i + 2 < p.size() && p[i + 1] == 5) {
        (n == 38 ? pen.fg : pen.bg) = make(colors::INDEXED, uint32_t(p[i + 2]));
        i += 2;
      } else if ((n == 38 || n == 48) && i + 4 < p.size() && p[i + 1] == 2) {
        (n == 38 ? pen.fg : pen.bg) =
            make(colors::TRUE_COLOR, uint32_t(p[i + 2] << 16 | p[i + 3] << 8 | p[i + 4]));
        i += 4;
      } else if (n == 0) {
        pen = Shown{};
      } else if (n == 1) pen.attr |= BOLD;
      else if (n == 2) pen.attr |= DIM;
      else if (n == 3) pen.attr |= ITALIC;
      else if (n == 4) pen.attr |= UNDERLINE;
      else if (n == 7) pen.attr |= REVERSE;
      else if (n == 9) pen.attr |= STRIKE;
      else if (n == 22) pen.attr &= ~(BOLD | DIM);
      else if (n == 23) pen.attr &= ~ITALIC;
      else if (n == 24) pen.attr &= ~UNDERLINE;
      else if (n == 27) pen.attr &= ~REVERSE;
      else if (n == 29) pen.attr &= ~STRIKE;
      else if (n >= 30 && n <= 37) pen.fg = make(colors::PALETTE, uint32_t(n - 30));
      else if (n == 39) pen.fg = 0;
      else if (n >= 40 && n <= 47) pen.bg = make(colors::PALETTE, uint32_t(n - 40));
      else if (n == 49) pen.bg = 0;
      else if (n >= 90 && n <= 97) pen.fg = make(colors::PALETTE, uint32_t(n - 80));
      else if (n >= 100 && n <= 107) pen.bg = make(colors::PALETTE, uint32_t(n - 90));
      else ADD_FAILURE() << "unexpected SGR " << n;
    }
  }

  void put(uint32_t cp) {
    ASSERT_LT(row, height);
    ASSERT_LT(col, width);
    Shown s = pen;
    s.ch = cp;
    cells[size_t(row) * size_t(width) + size_t(col)] = s;
    col++;
  }

  void run(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
      uint8_t b = uint8_t(bytes[i]);
      if (b == 27) {
        ASSERT_EQ(bytes[i + 1], '[');
        size_t j = i + 2;
        std::vector<int> p{0};
        for (; j < bytes.size() && !(bytes[j] >= 0x40 && bytes[j] <= 0x7E); j++) {
          if (bytes[j] == ';') p.push_back(0);
          else p.back() = p.back() * 10 + (bytes[j] - '0');
        }
        char final = bytes[j];
        if (final == 'm') sgr(p);
        else if (final == 'H') row = col = 0;
        else if (final == 'A') row -= p[0];
        else if (final == 'C') col += p[0];
        else if (final == 'J') {
          for (size_t k = size_t(row) * size_t(width) + size_t(col); k < cells.size(); k++)
            cells[k] = Shown{};
        } else ADD_FAILURE() << "unexpected final " << final;
        i = j + 1;
      } else if (b == '\r') {
        col = 0;
        i++;
      } else if (b == '\n') {
        row++;
        i++;
      } else {
        int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n; k++) cp = cp << 6 | (uint8_t(bytes[i + size_t(k)]) & 0x3F);
        put(cp);
        if (n > 1) col++;   // the test's wide characters take two columns
        i += size_t(n);
      }
    }
  }
};

constexpr uint32_t WRITTEN = BOLD | DIM | REVERSE | UNDERLINE | STRIKE | ITALIC;

uint32_t random_colour(std::mt19937& rng) {
  switch (rng() % 6) {
    case 0: return 0;
    case 1: return make(colors::PALETTE, rng() % 18);
    case 2: return make(colors::PALETTE, 8);
    case 3: return make(colors::INDEXED, rng() % 256);
    case 4: return make(colors::TRUE_COLOR, rng() & 0xFFFFFF);
    default: return uint32_t(3 + rng() % 2) << 24;   // kinds no sequence names
  }
}

Grid random_grid(std::mt19937& rng, int w, int h) {
  Grid g;
  g.resize(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      Cell& c = g.at(x, y);
      if (c.attr & COVERED) continue;
      c.attr = rng() & (WRITTEN | BLINK | CONCEAL);
      if (rng() % 8 == 0) c.attr |= MASKED;
      c.fg = random_colour(rng);
      c.bg = random_colour(rng);
      uint32_t pick = rng() % 10;
      c.ch = pick == 0 ? 0 : pick == 1 && x + 1 < w ? 0x4E00 + rng() % 100 : 'a' + rng() % 26;
      if (c.ch >= 0x4E00) g.at(x + 1, y) = Cell{0, c.bg, c.fg, c.attr | COVERED};
    }
  return g;
}

void expect_shown(const Grid& g, const Terminal& t, int frame) {
  for (int y = 0; y < g.height; y++)
    for (int x = 0; x < g.width; x++) {
      const Cell& c = g.at(x, y);
      if (c.attr & COVERED) continue;
      Shown want{c.attr & MASKED ? uint32_t('*') : c.ch ? c.ch : uint32_t(' '), look(c.fg),
                 look(c.bg), c.attr & WRITTEN};
      Shown got = t.cells[size_t(y) * size_t(t.width) + size_t(x)];
      got.fg = look(got.fg);
      got.bg = look(got.bg);
      ASSERT_EQ(got, want) << "frame " << frame << " cell " << x << "," << y << " got ch "
                           << got.ch << " fg " << std::hex << got.fg << " bg " << got.bg
                           << " attr " << got.attr << " want fg " << want.fg << " bg "
                           << want.bg << " attr " << want.attr;
    }
}

TEST(ViewScreen, RandomFramesReplayToEveryCell) {
  std::mt19937 rng(20261210);
  for (int frame = 0; frame < 300; frame++) {
    int w = 1 + int(rng() % 12), h = 1 + int(rng() % 5);
    Grid g = random_grid(rng, w, h);
    Terminal t(w, h);
    t.run(flushed(g, {.full_screen = true}));
    expect_shown(g, t, frame);
    EXPECT_EQ(t.pen, Shown{}) << "frame " << frame << " leaves attributes on";
  }
}

TEST(ViewScreen, InlineFramesOverwriteTheSameRows) {
  std::mt19937 rng(7);
  Terminal t(10, 4);
  FrameState state;
  for (int frame = 0; frame < 20; frame++) {
    Grid g = random_grid(rng, 10, 4);
    FlushOptions how;
    if (frame % 2) how = {.caret = true, .caret_column = int(rng() % 10), .caret_row = int(rng() % 4)};
    t.run(flushed(g, how, &state));
    expect_shown(g, t, frame);
  }
}

// --- the painter -------------------------------------------------------------------------

std::u32string row_text(const Grid& g, int y) {
  std::u32string s;
  for (int x = 0; x < g.width; x++) {
    const Cell& c = g.at(x, y);
    if (c.attr & COVERED) s += U'+';
    else s += c.ch ? char32_t(c.ch) : U'.';
  }
  return s;
}

std::vector<std::u32string> painted(const std::u32string& text, int x, int y, Clip clip, Style style,
                                    int w = 6, int h = 3) {
  Grid g;
  g.resize(w, h);
  paint(g, text, x, y, clip, style);
  std::vector<std::u32string> rows;
  for (int r = 0; r < h; r++) rows.push_back(row_text(g, r));
  return rows;
}

TEST(ViewScreen, PainterWrapsClipsAndKeepsWideCharactersWhole) {
  using Rows = std::vector<std::u32string>;
  Clip c04{0, 0, 4, 3};
  EXPECT_EQ(painted(U"abcdef", 0, 0, c04, {.wrap = true}), (Rows{U"abcd..", U"ef....", U"......"}));
  EXPECT_EQ(painted(U"abcdef\ngh", 0, 0, c04, {}), (Rows{U"abcd..", U"gh....", U"......"}));
  EXPECT_EQ(painted(U"abcdef", -2, 0, {0, 0, 6, 3}, {}), (Rows{U"cdef..", U"......", U"......"}));
  EXPECT_EQ(painted(U"a\nb\nc\nd", 1, 0, {0, 1, 6, 3}, {}), (Rows{U"......", U".b....", U".c...."}));
  EXPECT_EQ(painted(U"a中b", 0, 0, c04, {}), (Rows{U"a中+b..", U"......", U"......"}));
  // A wide character never straddles the clip's right or left edge.
  EXPECT_EQ(painted(U"abc中", 0, 0, c04, {}), (Rows{U"abc...", U"......", U"......"}));
  EXPECT_EQ(painted(U"abc中", 0, 0, c04, {.wrap = true}), (Rows{U"abc...", U"中+....", U"......"}));
  EXPECT_EQ(painted(U"中ab", -1, 0, c04, {}), (Rows{U".ab...", U"......", U"......"}));
  // Painting stops at the clip's bottom; zero-width characters take no cell.
  EXPECT_EQ(painted(U"abcdefghijklm", 0, 0, {0, 0, 4, 2}, {.wrap = true}),
            (Rows{U"abcd..", U"efgh..", U"......"}));
  EXPECT_EQ(painted(U"e\u0301x", 0, 0, c04, {}), (Rows{U"ex....", U"......", U"......"}));
}

TEST(ViewScreen, PainterReadsStyleSequences) {
  Grid g;
  g.resize(8, 1);
  Style s{.bg = 5, .fg = 6, .escapes = true};
  paint(g, U"\x1B[7mX\x1B[27mY\x1B[38;5;196mZ\x1B[31;1mQ\x1B[2JW\x1B[0mV\x1B[22;94;103mU", 0, 0,
        {0, 0, 8, 1}, s);
  EXPECT_EQ(row_text(g, 0), U"XYZQWVU.");
  EXPECT_EQ(g.at(0, 0), (Cell{'X', 5, 6, REVERSE}));
  EXPECT_EQ(g.at(1, 0), (Cell{'Y', 5, 6, 0}));
  EXPECT_EQ(g.at(2, 0), (Cell{'Z', 5, make(colors::INDEXED, 196), 0}));
  EXPECT_EQ(g.at(3, 0), (Cell{'Q', 5, make(colors::PALETTE, 1), BOLD}));
  EXPECT_EQ(g.at(4, 0), (Cell{'W', 5, make(colors::PALETTE, 1), BOLD}));
  EXPECT_EQ(g.at(5, 0), (Cell{'V', 0, 0, 0}));
  EXPECT_EQ(g.at(6, 0), (Cell{'U', make(colors::PALETTE, 13), make(colors::PALETTE, 14), 0}));
  // Without escape interpretation the sequence's characters are painted.
  Grid plain;
  plain.resize(4, 1);
  paint(plain, U"\x1B[7m", 0, 0, {0, 0, 4, 1}, {});
  EXPECT_EQ(row_text(plain, 0), U"\x1B[7m");
}

}  // namespace
}  // namespace zol::view::screen
