// Rich text in the terminal: the style run, its setters, the style dialect over a
// face's data block, and the text-box metrics walk (see text_box.h).
#include "view/text_box.h"

#include <algorithm>

#include "library/routines.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/text/char_width.h"
#include "view/backend.h"
#include "view/colors.h"

namespace zol::view::text_box {
namespace {

// Which record word a setter writes, or the flag it ORs in (0 for none).
struct SetterEffect {
  Setter setter;
  uint32_t screen::Cell::*colour;
  uint32_t flag;
};
constexpr SetterEffect SETTER_EFFECTS[] = {
    {Setter::FOREGROUND, &screen::Cell::fg, 0}, {Setter::BACKGROUND, &screen::Cell::bg, 0},
    {Setter::BOLD, nullptr, BOLD},              {Setter::ITALIC, nullptr, ITALIC},
    {Setter::UNDERLINE, nullptr, UNDERLINE},    {Setter::STRIKE, nullptr, STRIKE},
    {Setter::BORDER, nullptr, 0},               {Setter::FONT_NAME, nullptr, 0},
    {Setter::FONT_SIZE, nullptr, 0},
};

// The dialect's style words. Those that take options may be followed by a colour
// and then a lit-word (underline 255.0.0 'dashed), which are read and ignored.
struct StyleWord {
  const char* spelling;
  Setter setter;
  bool takes_options;
};
constexpr StyleWord STYLE_WORDS[] = {
    {"bold", Setter::BOLD, false},          {"italic", Setter::ITALIC, false},
    {"underline", Setter::UNDERLINE, true}, {"strike", Setter::STRIKE, true},
    {"border", Setter::BORDER, true},
};

bool spelled(const Cell* word, const char* spelling) {
  return symbol::resolve(word_cell::symbol(word)) == symbol::resolve(backend::facet(spelling));
}

[[noreturn]] void invalid_at(const Cell* data, int32_t index) {
  Cell at = *data;
  series_cell::set_head(&at, index);
  fire(err::script::DRAW_INVALID, &at);
}

// A tuple, or a word whose value is one; nullptr for anything else.
const Cell* colour_value(const Cell* v) {
  if (v->is(T_TUPLE)) return v;
  if (!v->is(T_WORD) || word_cell::index(v) < 0 || !word_cell::context(v)) return nullptr;
  const Cell* value = context::get(v);
  return value->is(T_TUPLE) ? value : nullptr;
}

// The walk's step: a line feed ends the line; any other character that would end
// past the width goes to the start of the next one, unless it starts the line.
struct Walk {
  int width;
  Caret at;
  // Moves to where c is placed and answers its width (0 for a line feed).
  int place(char32_t c) {
    if (c == U'\n') return 0;
    int w = unicode::char_width(uint32_t(c));
    if (at.column > 0 && at.column + w > width) {
      at.line++;
      at.column = 0;
    }
    return w;
  }
  void pass(char32_t c) {
    if (c == U'\n') {
      at.line++;
      at.column = 0;
      return;
    }
    at.column += place(c);
  }
};

// A size facet's columns, or unlimited without a size.
int wrap_width(const Cell* face) {
  const Cell* size = backend::facet_of(face, "size");
  if (!size) return UNLIMITED;
  if (size->is(T_PAIR)) return pair::x_of(size);
  if (size->is(T_POINT2D)) return int(point::coordinate(size, 0));   // truncated toward zero
  return UNLIMITED;
}

Caret cell_of(const Cell* point) {
  if (point->is(T_PAIR)) return {pair::x_of(point), pair::y_of(point)};
  if (point->is(T_POINT2D)) return {int(point::coordinate(point, 0)), int(point::coordinate(point, 1))};
  fire(err::script::INVALID_ARG, point);
}

const Cell* answer_point(Caret c) {
  float xy[2] = {float(c.column), float(c.line)};
  Cell p{};   // make_at keeps the target's new-line mark: start from none
  return library::answer(*point::make_at(&p, 2, xy));
}

bool is_rich_text(const Cell* face) {
  const Cell* type = backend::facet_of(face, "type");
  return type && word_cell::is_word(type) && spelled(type, "rich-text");
}

}  // namespace

StyleRun make_run(const std::u32string& text, uint32_t bg, uint32_t fg) {
  StyleRun run(text.size());
  for (size_t i = 0; i < text.size(); i++) run[i] = {uint32_t(text[i]), bg, fg, 0};
  return run;
}

void apply(StyleRun& run, Range range, Setter setter, uint32_t colour) {
  int64_t begin = std::max<int64_t>(range.start, 0);
  int64_t end = std::min<int64_t>(int64_t(range.start) + range.length, int64_t(run.size()));
  const SetterEffect& effect = SETTER_EFFECTS[size_t(setter)];
  for (int64_t i = begin; i < end; i++) {
    if (effect.colour) run[size_t(i)].*effect.colour = colour;
    run[size_t(i)].attr |= effect.flag;
  }
}

void apply_styles(StyleRun& run, const Cell* data, int colour_level) {
  Range range;
  int32_t tail = block::length(data) + series_cell::head(data);
  for (int32_t i = series_cell::head(data); i < tail; i++) {
    const Cell* v = block::cell_at(data, i);
    if (v->is(T_PAIR)) {
      range = {pair::x_of(v) - 1, pair::y_of(v)};
    } else if (v->is(T_TUPLE)) {
      apply(run, range, Setter::FOREGROUND, backend::tuple_colour(v, colour_level));
    } else if (v->is(T_STRING) || v->is(T_INTEGER) || v->is(T_FLOAT)) {
      // A font name or size: one font for every cell.
    } else if (v->is(T_WORD) && spelled(v, "backdrop")) {
      const Cell* colour = i + 1 < tail ? colour_value(block::cell_at(data, i + 1)) : nullptr;
      if (!colour) invalid_at(data, i + 1 < tail ? i + 1 : i);
      apply(run, range, Setter::BACKGROUND, backend::tuple_colour(colour, colour_level));
      i++;
    } else {
      const StyleWord* style = nullptr;
      if (v->is(T_WORD))
        for (const StyleWord& s : STYLE_WORDS)
          if (spelled(v, s.spelling)) style = &s;
      if (!style) invalid_at(data, i);
      apply(run, range, style->setter);
      if (!style->takes_options) continue;
      if (i + 1 < tail && block::cell_at(data, i + 1)->is(T_TUPLE)) i++;
      if (i + 1 < tail && block::cell_at(data, i + 1)->is(T_LIT_WORD)) i++;
    }
  }
}

uint32_t font_handle(const Cell* font) {
  const Cell* state = backend::facet_of(font, "state");
  if (state && state->is(T_BLOCK) && block::length(state) > 0)
    state = block::cell_at(state, series_cell::head(state));
  return state && state->is(T_HANDLE) ? uint32_t(handle::resource(state)) : 0;
}

uint32_t free_font(Cell* font) {
  uint32_t value = font_handle(font);
  if (Cell* state = backend::facet_of(font, "state")) *state = values::none;
  return value;
}

uint32_t font_colour(const Cell* font, int colour_level) {
  return backend::tuple_colour(backend::facet_of(font, "color"), colour_level);
}

StyleRun face_run(const Cell* face, int colour_level) {
  StyleRun run = make_run(backend::text_of(backend::facet_of(face, "text")),
                          backend::tuple_colour(backend::facet_of(face, "color"), colour_level),
                          font_colour(backend::facet_of(face, "font"), colour_level));
  const Cell* data = backend::facet_of(face, "data");
  if (data && data->is(T_BLOCK)) apply_styles(run, data, colour_level);
  return run;
}

Caret caret_before(const std::u32string& text, int32_t index, int width) {
  Walk walk{width, {}};
  size_t stop = size_t(std::clamp<int64_t>(index, 0, int64_t(text.size())));
  for (size_t k = 0; k < stop; k++) walk.pass(text[k]);
  if (stop < text.size()) walk.place(text[stop]);
  return walk.at;
}

int32_t index_at(const std::u32string& text, Caret cell, int width, bool* past_end) {
  cell.column = std::max(cell.column, 0);
  cell.line = std::max(cell.line, 0);
  *past_end = false;
  Walk walk{width, {}};
  for (size_t k = 0; k < text.size(); k++) {
    char32_t c = text[k];
    int w = walk.place(c);
    if (walk.at.line > cell.line) return int32_t(k);
    if (walk.at.line == cell.line && (c == U'\n' || cell.column < walk.at.column + w))
      return int32_t(k);
    walk.pass(c);
  }
  *past_end = true;
  return int32_t(text.size());
}

Caret extent(const std::u32string& text, int width) {
  Walk walk{width, {}};
  int widest = 0;
  for (char32_t c : text) {
    walk.pass(c);
    widest = std::max(widest, walk.at.column);
  }
  return {widest, walk.at.line + 1};
}

const Cell* metrics(const Cell* face, const Cell* argument, int32_t type) {
  if (!is_rich_text(face)) {
    const Cell* type_facet = backend::facet_of(face, "type");
    Cell t = type_facet ? *type_facet : values::none;
    fire(err::script::FACE_TYPE, &t);
  }
  std::u32string text = backend::text_of(backend::facet_of(face, "text"));
  int width = wrap_width(face);
  switch (type) {
    case 0:
    case 6: {
      if (!argument->is(T_INTEGER)) fire(err::script::INVALID_ARG, argument);
      Caret at = caret_before(text, cell::get_int(argument) - 1, width);
      if (type == 6) at.line++;
      return answer_point(at);
    }
    case 1:
    case 5: {
      bool past_end = false;
      int32_t index = index_at(text, cell_of(argument), width, &past_end);
      return library::answer(values::integer(index + 1 - (type == 5 && past_end ? 1 : 0)));
    }
    case 2: {
      Cell height;
      return library::answer(*float_::make_at(&height, 1.0));
    }
    case 3:
      return answer_point(extent(text, width));
    case 4:
      return library::answer(values::integer(extent(text, width).line));
    default: {
      Cell t = values::integer(type);
      fire(err::script::INVALID_ARG, &t);
    }
  }
}

}  // namespace zol::view::text_box
