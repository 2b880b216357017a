// Rich text in the terminal: the style run a rich-text face's text is painted from,
// the style dialect that fills it from the face's `data` block, and the text-box
// metrics (caret position, index at a point, size, line count) measured in cells.
//
// Style run: one record per character of the face's text, in the screen cell's
// layout (view/screen.h): code point, background colour, foreground colour (both
// terminal colour values, view/colors.h), and the style flags below. A record per
// character (not per UTF-16 unit), so the dialect's ranges count characters
// whatever their code points. The rich-text widget paints its run cell by cell.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/cell.h"
#include "view/screen.h"

namespace zol::view::text_box {

// Style flags, the screen's attribute bits; TEXT_FLAG marks text drawn by the Draw
// dialect's `text` command.
enum StyleFlag : uint32_t {
  BOLD = screen::BOLD, UNDERLINE = screen::UNDERLINE, STRIKE = screen::STRIKE,
  ITALIC = screen::ITALIC, TEXT_FLAG = 0x1000,
};

using StyleRun = std::vector<screen::Cell>;

// A run of the text's characters in the given colours, no flags.
StyleRun make_run(const std::u32string& text, uint32_t bg, uint32_t fg);

// What a setter changes over the records [start, start + length); a range past the
// run's end is cut there. Border, font name and font size change nothing here.
enum class Setter { FOREGROUND, BACKGROUND, BOLD, ITALIC, UNDERLINE, STRIKE, BORDER, FONT_NAME, FONT_SIZE };
struct Range {
  int32_t start = 0, length = 0;   // 0-based characters
};
void apply(StyleRun& run, Range range, Setter setter, uint32_t colour = 0);

// Walks a rich-text face's data block (ranges, colours, style words, `backdrop`,
// font names and sizes) over the run, colours converted at the given support level.
// A value the dialect does not know raises draw-invalid at its position.
void apply_styles(StyleRun& run, const Cell* data, int colour_level);

// A rich-text face's run: its text in its colour and its font's, styled by its
// data block when that is a block. This is what the rich-text widget paints.
StyleRun face_run(const Cell* face, int colour_level);

// A font object's backend font: its state slot's handle value (the slot holds the
// handle!, or a block whose first value is one), else 0. Freeing it answers the
// value and sets the slot to none. The terminal keeps no font records.
uint32_t font_handle(const Cell* font);
uint32_t free_font(Cell* font);
// A font's colour slot as a terminal colour value; the default colour (0) when it
// is no tuple.
uint32_t font_colour(const Cell* font, int colour_level);

// The metric walk: a line feed starts a line; other characters take their display
// width, and one that would end past `width` columns starts a new line.
struct Caret {
  int column = 0, line = 0;
};
constexpr int UNLIMITED = 1 << 30;
// Where the character at a 0-based index is placed (past the end: after the text).
Caret caret_before(const std::u32string& text, int32_t index, int width);
// The 0-based index of the character covering a cell, the line end's when the
// column lies past it, or the text's length when the cell lies past the text
// (`past_end` says which).
int32_t index_at(const std::u32string& text, Caret cell, int width, bool* past_end);
// The widest line's columns and the number of lines.
Caret extent(const std::u32string& text, int width);

// `text-box-metrics` face argument type: the point, index or number the type asks
// for, on the value stack. A face that is not rich-text raises face-type.
const Cell* metrics(const Cell* face, const Cell* argument, int32_t type);

}  // namespace zol::view::text_box
