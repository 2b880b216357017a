// The terminal UI's screen (see screen.h): the cell grid, the frame flush with its
// attribute and colour changes, and the text painter.
#include "view/screen.h"

#include <cstdio>
#include <string_view>

#include "runtime/text/char_width.h"
#include "view/colors.h"

namespace zol::view::screen {
namespace {

void append_format(std::string& out, const char* format, int n) {
  char text[24];
  int length = std::snprintf(text, sizeof text, format, n);
  out.append(text, size_t(length));
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | cp >> 6);
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | cp >> 12);
    out += char(0x80 | (cp >> 6 & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | cp >> 18);
    out += char(0x80 | (cp >> 12 & 0x3F));
    out += char(0x80 | (cp >> 6 & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// The attributes a frame writes, in the order their changes are written, with the
// sequences that turn each on and off.
struct AttrCode {
  uint32_t bit;
  std::string_view on;
  std::string_view off;
};
constexpr AttrCode ATTR_CODES[] = {
    {DIM, "\033[2m", "\033[22m"},     {REVERSE, "\033[7m", "\033[27m"},
    {BOLD, "\033[1m", "\033[22m"},    {ITALIC, "\033[3m", "\033[23m"},
    {STRIKE, "\033[9m", "\033[29m"},  {UNDERLINE, "\033[4m", "\033[24m"},
};

// What one written sequence turns off beyond its own attribute: "22" ends bold and
// dim together.
uint32_t also_cleared(uint32_t bit) { return bit == DIM || bit == BOLD ? (DIM | BOLD) : bit; }

// Brings the terminal's state `t` (attributes and colours in effect) to the cell
// `n`, writing the changes. `t` always says what the terminal really shows, so a
// sequence that turns more off is followed by what must come back on.
void transition(Cell& t, const Cell& n, std::string& out) {
  for (const AttrCode& a : ATTR_CODES) {
    bool want = (n.attr & a.bit) != 0, have = (t.attr & a.bit) != 0;
    if (want == have) continue;
    out += want ? a.on : a.off;
    if (want) t.attr |= a.bit;
    else t.attr &= ~also_cleared(a.bit);
  }
  // Dim goes first; a later "22" for bold may have taken it away again.
  if ((n.attr & DIM) && !(t.attr & DIM)) {
    out += "\033[2m";
    t.attr |= DIM;
  }
  for (bool background : {false, true}) {
    uint32_t want = background ? n.bg : n.fg;
    uint32_t& have = background ? t.bg : t.fg;
    if (want == have) continue;
    colors::append_sgr(out, want, background);
    if (!colors::resets_all(want)) {
      have = want;
      continue;
    }
    // A full reset: nothing is on any more but colours that are themselves resets.
    t.attr = 0;
    t.fg = colors::resets_all(n.fg) ? n.fg : 0;
    t.bg = colors::resets_all(n.bg) ? n.bg : 0;
    transition(t, n, out);
    return;
  }
}

uint32_t written(uint32_t attr) {
  uint32_t mask = 0;
  for (const AttrCode& a : ATTR_CODES) mask |= a.bit;
  return attr & mask;
}

}  // namespace

void Grid::resize(int w, int h) {
  width = w > 0 ? w : 0;
  height = h > 0 ? h : 0;
  cells.assign(size_t(width) * size_t(height), Cell{});
}

void Grid::clear() { cells.assign(cells.size(), Cell{}); }

void Grid::fill(int left, int top, int columns, int rows, uint32_t background) {
  for (int y = top < 0 ? 0 : top; y < top + rows && y < height; y++)
    for (int x = left < 0 ? 0 : left; x < left + columns && x < width; x++)
      at(x, y) = Cell{' ', background, 0, 0};
}

void close_frame(FrameState& state, std::string& out) {
  if (!state.on_screen) return;
  out += '\r';
  if (state.cursor_line > 0) append_format(out, "\033[%dA", state.cursor_line);
  out += "\033[0J";
  state.cursor_line = 0;
  state.on_screen = false;
}

void flush(const Grid& grid, const FlushOptions& how, FrameState& state, std::string& out) {
  if (grid.width < 1 || grid.height < 1) return;
  if (how.full_screen) {
    out += "\033[H";
  } else {
    out += '\r';
    if (state.cursor_line > 0) append_format(out, "\033[%dA", state.cursor_line);
    out += "\033[0J";
  }
  Cell t;
  for (int y = 0; y < grid.height; y++) {
    for (int x = 0; x < grid.width; x++) {
      const Cell& c = grid.at(x, y);
      // A wide character's second column is left to the character, but a masked
      // one is a single "*": its second column gets a "*" too, or the rest of the
      // row would land one column to the left.
      if ((c.attr & COVERED) && !(c.attr & MASKED)) continue;
      Cell n = c;
      n.attr = written(c.attr);
      transition(t, n, out);
      if (c.attr & MASKED) out += '*';
      else if (c.ch == 0) out += ' ';
      else append_utf8(out, c.ch);
    }
    if (y < grid.height - 1) {
      out += "\033[49m\r\n";
      t.bg = colors::make(colors::DEFAULT, 0);
    }
  }
  transition(t, Cell{}, out);
  if (how.caret && how.caret_column >= 0 && how.caret_row >= 0) {
    out += '\r';
    int up = grid.height - (how.caret_row + 1);
    if (up > 0) append_format(out, "\033[%dA", up);
    if (how.caret_column > 0) append_format(out, "\033[%dC", how.caret_column);
    state.cursor_line = how.caret_row;
  } else {
    state.cursor_line = grid.height - 1;
  }
  state.on_screen = true;
}

// --- painting -----------------------------------------------------------------------------

namespace {

uint32_t palette(int index) { return colors::make(colors::PALETTE, uint32_t(index)); }

// The attribute bit of SGR parameters 1 to 9 (6 has none).
constexpr uint32_t SGR_ATTR[10] = {0, BOLD, DIM, ITALIC, UNDERLINE, BLINK, 0, REVERSE, CONCEAL,
                                   STRIKE};

void apply_parameter(Style& s, int p) {
  if (p == 0) {
    s.fg = s.bg = s.attr = 0;
  } else if (p >= 1 && p <= 9) {
    s.attr |= SGR_ATTR[p];
  } else if (p >= 21 && p <= 29) {
    s.attr &= ~SGR_ATTR[p - 20];
  } else if ((p >= 30 && p <= 37) || p == 39) {
    s.fg = palette(p - 30);
  } else if ((p >= 40 && p <= 47) || p == 49) {
    s.bg = palette(p - 40);
  } else if (p >= 90 && p <= 97) {
    s.fg = palette(p - 80);
  } else if (p >= 100 && p <= 107) {
    s.bg = palette(p - 90);
  }
}

// Reads an escape sequence starting at text[i] (an ESC), applying an SGR one to the
// style; answers the index after it. No sequence is painted.
size_t style_sequence(const std::u32string& text, size_t i, Style& s) {
  if (i + 1 >= text.size() || text[i + 1] != U'[') return i + 1;
  int params[8] = {};
  int count = 0;
  bool any = false;
  size_t j = i + 2;
  for (; j < text.size(); j++) {
    char32_t c = text[j];
    if (c >= U'0' && c <= U'9') {
      any = true;
      if (count < 8) params[count] = params[count] * 10 + int(c - U'0');
      if (count < 8 && params[count] > 9999) params[count] = 9999;
    } else if (c == U';') {
      any = true;
      count++;
    } else if (c >= 0x40 && c <= 0x7E) {
      break;
    } else {
      return j;   // not a sequence after all: the rest is painted
    }
  }
  if (j >= text.size()) return j;
  int total = any ? count + 1 : 1;
  if (text[j] == U'm') {
    if (total == 3 && (params[0] == 38 || params[0] == 48) && params[1] == 5) {
      uint32_t colour = colors::make(colors::INDEXED, uint32_t(params[2] & 0xFF));
      (params[0] == 38 ? s.fg : s.bg) = colour;
    } else {
      for (int k = 0; k < total && k < 8; k++) apply_parameter(s, params[k]);
    }
  }
  return j + 1;
}

}  // namespace

namespace {

// Lays characters out from (x, y): newlines start the next row at x, wide
// characters take two cells (the second marked covered) and are never split at
// the clip's edge, a row past the right edge wraps or is skipped. `next` hands
// out each character with the style it is painted in, false at the end.
template <class Next>
void lay_out(Grid& grid, int x, int y, const Clip& clip, bool wrap, Next next) {
  int col = x, row = y;
  bool skipping_line = false;   // past the clip's right edge without wrapping
  char32_t cp;
  const Style* style;
  while (next(cp, style)) {
    if (cp == U'\n') {
      row++;
      col = x;
      skipping_line = false;
      continue;
    }
    if (row >= clip.bottom) return;
    if (skipping_line) continue;
    int w = unicode::char_width(uint32_t(cp));
    if (w == 0) continue;
    if (col + w > clip.right) {
      if (!wrap) {
        skipping_line = true;
        continue;
      }
      row++;
      col = x;
      if (row >= clip.bottom) return;
      if (col + w > clip.right) continue;   // wider than the whole clip
    }
    bool visible = row >= clip.top && col >= clip.left && row >= 0 && row < grid.height &&
                   col >= 0 && col + w <= grid.width;
    if (visible) {
      uint32_t bg = style->keep_background ? grid.at(col, row).bg : style->bg;
      grid.at(col, row) = Cell{uint32_t(cp), bg, style->fg, style->attr};
      if (w == 2) {
        uint32_t next_bg = style->keep_background ? grid.at(col + 1, row).bg : style->bg;
        grid.at(col + 1, row) = Cell{0, next_bg, style->fg, style->attr | COVERED};
      }
    }
    col += w;
  }
}

}  // namespace

void paint(Grid& grid, const std::u32string& text, int x, int y, const Clip& clip, Style style) {
  size_t i = 0;
  lay_out(grid, x, y, clip, style.wrap, [&](char32_t& cp, const Style*& at) {
    while (i < text.size() && style.escapes && text[i] == 27) i = style_sequence(text, i, style);
    if (i >= text.size()) return false;
    cp = text[i++];
    at = &style;
    return true;
  });
}

void paint_runs(Grid& grid, const std::vector<Cell>& runs, int x, int y, const Clip& clip, bool wrap) {
  size_t i = 0;
  Style style;
  lay_out(grid, x, y, clip, wrap, [&](char32_t& cp, const Style*& at) {
    if (i >= runs.size()) return false;
    const Cell& run = runs[i++];
    cp = char32_t(run.ch);
    style = Style{.bg = run.bg, .fg = run.fg, .attr = run.attr};
    at = &style;
    return true;
  });
}

}  // namespace zol::view::screen
