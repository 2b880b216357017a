// What each face type's widget does: its set-up, drawing and event handling.
// Windows, fields, buttons, bases with a caret child, progress bars, group boxes,
// check boxes, radio buttons, text lists and rich text each have a row in one
// table; any other type paints its face by default. Texts that are easiest to say
// in the language (progress bars, list rows, check and radio labels) come from
// TUI-helpers, called with the face.
#include <algorithm>
#include <initializer_list>

#include "runtime/core/callback.h"
#include "runtime/core/context.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/text/char_width.h"
#include "view/backend.h"
#include "view/colors.h"
#include "view/event.h"

namespace zol::view::backend {
namespace {

constexpr int32_t KEY_SPACE = 32;

// --- the language side -------------------------------------------------------------------

bool is_callable(const Cell* c) {
  return c && (c->is(T_FUNCTION) || c->is(T_ROUTINE) || c->is(T_NATIVE) || c->is(T_ACTION));
}

// Evaluates [function args...]: the function value itself heads the block.
Cell call(const Cell* fn, std::initializer_list<Cell> args) {
  Cell code;
  block::make_at(&code, int32_t(args.size()) + 1);
  block::append(&code, fn);
  for (const Cell& a : args) block::append(&code, &a);
  return interpreter::do_block_hook(&code);
}

Cell call_global(const char* name, std::initializer_list<Cell> args) {
  Cell* fn = context::global_value(facet(name));
  if (!is_callable(fn)) return values::none;
  Cell f = *fn;
  return call(&f, args);
}

// TUI-helpers/<name> face; none when the helper is missing.
Cell run_helper(const char* name, const Cell& face) {
  Cell* helpers = context::global_value(facet("TUI-helpers"));
  if (!helpers || !helpers->is(T_OBJECT)) return values::none;
  Cell* fn = object::value_of(helpers, facet(name));
  if (!is_callable(fn)) return values::none;
  Cell f = *fn;
  return call(&f, {face});
}

// Sets a facet the way a script's assignment does, so the face's change handler
// (and whatever reacts to the facet) hears of it.
void set_facet(const Cell& face, const char* name, const Cell& value) {
  Cell* slot = facet_of(&face, name);
  if (!slot) return;
  Cell old = *slot;
  *slot = value;
  Cell word = word::make_global(facet(name));
  object::notify_owner(&face, &word, &old, &value);
}

// The widget again after Zol code ran: the same record, unless it was destroyed.
Widget* again(int32_t slot, uint32_t generation) {
  Widget* w = widget(slot);
  return w && w->generation == generation ? w : nullptr;
}

bool has_focus(const Widget& w) { return (w.flags & FOCUSED) != 0; }

int width_of(const Widget& w) { return int(w.right - w.left); }
int rows_of(const Widget& w) { return int(w.bottom - w.top); }

// --- defaults ------------------------------------------------------------------------------

void no_update(Widget&) {}
int no_handler(Widget&, uint32_t, const DispatchPoint&) { return 0; }
void draw_nothing(Widget&, int, int, const screen::Clip&) {}

void default_draw(Widget& w, int x, int y, const screen::Clip& visible) {
  if (w.face.is(T_OBJECT)) paint_face(w, x, y, visible, PAINT_ESCAPES);
}

// The type's update operation run at once, as its set-up.
void update_at_once(Widget& w) { w.ops->update(w); }

// --- field -----------------------------------------------------------------------------------

int char_columns(char32_t c) { return unicode::char_width(uint32_t(c)); }

int columns_of(const std::u32string& text, size_t count) {
  int columns = 0;
  for (size_t i = 0; i < count && i < text.size(); i++) columns += char_columns(text[i]);
  return columns;
}

// The number of leading characters whose columns fit in `columns`.
int32_t characters_within(const std::u32string& text, int columns) {
  int used = 0;
  int32_t n = 0;
  for (char32_t c : text) {
    if (used + char_columns(c) > columns) break;
    used += char_columns(c);
    n++;
  }
  return n;
}

// Re-derives the edit state from the text, which a script may have changed: the
// cursor stays where it was unless the text got shorter.
void field_sync(Widget& w) {
  std::u32string text = text_of(facet_of(&w.face, "text"));
  w.field.cursor = std::clamp(w.field.cursor, 0, int32_t(text.size()));
  w.field.cursor_column = columns_of(text, size_t(w.field.cursor));
  w.field.text_width = columns_of(text, text.size());
}

void field_set_up(Widget& w) {
  w.flags |= SHOWS_CARET;
  w.field.cursor = characters_within(text_of(facet_of(&w.face, "text")), width_of(w));
  field_sync(w);
}

void field_update(Widget& w) { field_sync(w); }

void field_draw(Widget& w, int x, int y, const screen::Clip& visible) {
  screen::Clip one_line = visible;
  one_line.bottom = std::min(visible.bottom, y + 1);
  if (one_line.bottom <= one_line.top) return;
  paint_face(w, x, y, one_line, PAINT_ESCAPES | ((w.flags & PASSWORD) ? uint32_t(screen::MASKED) : 0u));
  if (has_focus(w)) {
    state().caret_column = x + w.field.cursor_column;
    state().caret_row = y;
  }
}

// The face's text at the cursor (plus `offset`), made a string first when it is
// not one, so the edit goes through the string actions and the owner hears.
bool text_at(Widget& w, int32_t offset, Cell* out) {
  Cell* text = facet_of(&w.face, "text");
  if (!text) return false;
  if (!text->is(T_STRING)) {
    Cell face = w.face;   // the handler may destroy the widget
    Cell fresh;
    string::make_at(&fresh, 16);
    set_facet(face, "text", fresh);
    text = facet_of(&face, "text");
    if (!text || !text->is(T_STRING)) return false;
  }
  *out = *text;
  series_cell::set_head(out, int32_t(out->w1) + w.field.cursor + offset);
  return true;
}

// Inserts or removes one character through the language's own actions.
void field_edit(Widget& w, int32_t key) {
  int32_t slot = slot_of(w);
  uint32_t generation = w.generation;
  Cell at;
  if (key == 8 || key == 127) {
    if (!text_at(w, -1, &at)) return;
    call_global("remove", {at});
    if (Widget* now = again(slot, generation)) {
      now->field.cursor--;
      field_sync(*now);
    }
    return;
  }
  if (w.field.text_width + char_columns(char32_t(key)) > width_of(w)) return;
  if (!text_at(w, 0, &at)) return;
  call_global("insert", {at, Cell{T_CHAR, 0, uint32_t(key), 0}});
  if (Widget* now = again(slot, generation)) {
    now->field.cursor++;
    field_sync(*now);
  }
}

int field_handle(Widget& w, uint32_t type, const DispatchPoint& at) {
  field_sync(w);
  std::u32string text = text_of(facet_of(&w.face, "text"));
  if (type == event::T_CLICK) {
    w.field.cursor = characters_within(text, int(at.x));
    field_sync(w);
    mark_dirty(&w);
    return 0;
  }
  if (type != event::T_KEY) return 0;
  int32_t key = at.key;
  if (key == 0 || key == 9 || key == 13) return 0;
  int32_t slot = slot_of(w);
  uint32_t generation = w.generation;
  if (key == 2 || key == event::K_LEFT) {
    if (w.field.cursor > 0) w.field.cursor--;
    field_sync(w);
  } else if (key == 6 || key == event::K_RIGHT) {
    if (w.field.cursor < int32_t(text.size())) w.field.cursor++;
    field_sync(w);
  } else if (key == 8 || key == 127) {
    if (w.field.cursor > 0) field_edit(w, key);
  } else if (key >= 32) {
    field_edit(w, key);
  }
  if (Widget* now = again(slot, generation)) mark_dirty(now);
  return 0;
}

// --- button ----------------------------------------------------------------------------------

void button_draw(Widget& w, int x, int y, const screen::Clip& visible) {
  paint_face(w, x, y, visible, PAINT_ESCAPES | (has_focus(w) ? uint32_t(screen::REVERSE) : 0u));
}

int button_handle(Widget& w, uint32_t type, const DispatchPoint& at) {
  if (type != event::T_KEY) return 0;
  int32_t slot = slot_of(w);
  uint32_t generation = w.generation;
  if (at.key == KEY_SPACE) send_to_widget(w, event::T_CLICK, at, 0);
  if (Widget* now = again(slot, generation)) mark_dirty(now);
  return 0;
}

// --- base with a caret child -------------------------------------------------------------------

// The face under `caret` in the options, when they are pairs of keys and values.
Cell caret_face(const Widget& w) {
  const Cell* options = facet_of(&w.face, "options");
  if (!options || !options->is(T_BLOCK) || block::length(options) % 2 != 0) return values::none;
  Cell caret_word{T_WORD, 0, facet("caret"), 0xFFFFFFFFu};
  const Cell* face = block::select_word(options, &caret_word, false);
  return face && face->is(T_OBJECT) ? *face : values::none;
}

void base_set_up(Widget& w) {
  Cell face = caret_face(w);
  if (!face.is(T_OBJECT)) return;
  w.flags |= CARET_CHILD;
  if (Widget* child = face_widget(&face)) child->flags |= SHOWS_CARET;
}

// With a caret child nothing is painted: the child's caret stands where this
// widget is drawn while the child has the focus. The child's widget may be made
// after this one, so it is looked up here.
void base_draw(Widget& w, int x, int y, const screen::Clip& visible) {
  if (!(w.flags & CARET_CHILD)) return default_draw(w, x, y, visible);
  Cell face = caret_face(w);
  Widget* child = face_widget(&face);
  if (!child) return;
  child->flags |= SHOWS_CARET;
  if (has_focus(*child)) {
    state().caret_column = x;
    state().caret_row = y;
  }
}

// --- progress ----------------------------------------------------------------------------------

void progress_update(Widget& w) { run_helper("make-progress-ui", w.face); }

void plain_draw(Widget& w, int x, int y, const screen::Clip& visible) {
  paint_face(w, x, y, visible, 0);
}

// --- group box ---------------------------------------------------------------------------------

struct Corners {
  char32_t top_left, top_right, bottom_left, bottom_right;
};
constexpr Corners SQUARE{U'\u250C', U'\u2510', U'\u2514', U'\u2518'};
constexpr Corners ROUND{U'\u256D', U'\u256E', U'\u2570', U'\u256F'};
constexpr char32_t VERTICAL = U'\u2502', HORIZONTAL = U'\u2500';

const Cell* option(const Widget& w, const char* key) {
  const Cell* options = facet_of(&w.face, "options");
  if (!options || !options->is(T_BLOCK)) return nullptr;
  Cell word{T_WORD, 0, facet(key), 0xFFFFFFFFu};
  return block::select_word(options, &word, false);
}

bool is_word_named(const Cell* c, const char* name) {
  return c && word_cell::is_word(c) &&
         symbol::resolve(word_cell::symbol(c)) == symbol::resolve(facet(name));
}

uint32_t font_colour(const Widget& w) {
  const Cell* font = facet_of(&w.face, "font");
  if (!font || !font->is(T_OBJECT)) return colors::make(colors::DEFAULT, 0);
  return colour_of(object::value_of(font, facet("color")));
}

// The border runs along the outer cells of what is visible; a tuple border colour
// is the cells' foreground, anything else leaves the cells' colours alone.
void group_box_draw(Widget& w, int x, int y, const screen::Clip& v) {
  paint_face(w, x, y, v, PAINT_NO_TEXT);
  screen::Grid& grid = state().grid;
  const Corners& corners = is_word_named(option(w, "border-corners"), "round") ? ROUND : SQUARE;
  const Cell* colour = option(w, "border-color");
  bool recolour = colour && colour->is(T_TUPLE);
  uint32_t fg = recolour ? colour_of(colour) : 0;
  int right = v.right - 1, bottom = v.bottom - 1;
  auto put = [&](int cx, int cy, char32_t ch) {
    if (cx < 0 || cy < 0 || cx >= grid.width || cy >= grid.height) return;
    screen::Cell& cell = grid.at(cx, cy);
    cell.ch = uint32_t(ch);
    cell.attr &= ~screen::COVERED;
    if (recolour) cell.fg = fg;
  };
  for (int cx = v.left + 1; cx < right; cx++) {
    put(cx, v.top, HORIZONTAL);
    put(cx, bottom, HORIZONTAL);
  }
  for (int cy = v.top + 1; cy < bottom; cy++) {
    put(v.left, cy, VERTICAL);
    put(right, cy, VERTICAL);
  }
  put(v.left, v.top, corners.top_left);
  put(right, v.top, corners.top_right);
  put(v.left, bottom, corners.bottom_left);
  put(right, bottom, corners.bottom_right);
  const Cell* title = facet_of(&w.face, "text");
  if (!title || !title->is(T_STRING)) return;
  screen::Clip on_border{v.left + 1, v.top, right, v.top + 1};
  screen::Style style{.bg = grid.at(std::max(v.left, 0), std::max(v.top, 0)).bg,
                      .fg = font_colour(w), .escapes = true};
  screen::paint(grid, text_of(title), x + 1, v.top, on_border, style);
}

// --- check and radio ---------------------------------------------------------------------------

void set_override(Widget& w, const char* helper) {
  int32_t slot = slot_of(w);
  uint32_t generation = w.generation;
  Cell ui = run_helper(helper, w.face);
  if (Widget* now = again(slot, generation)) now->text_override = ui.is(T_STRING) ? ui : values::none;
}

void check_update(Widget& w) { set_override(w, "make-checkbox-ui"); }
void radio_update(Widget& w) { set_override(w, "make-radio-ui"); }

void toggle_draw(Widget& w, int x, int y, const screen::Clip& visible) {
  paint_face(w, x, y, visible,
             PAINT_ESCAPES | PAINT_NO_TEXT | (has_focus(w) ? uint32_t(screen::REVERSE) : 0u));
}

// How a click or space changes the data, whether the widget itself sends
// `change` after a click, and what it sends the faces for space.
struct ToggleRule {
  Cell (*next)(const Cell& data);
  bool change_on_click;
  uint32_t space_sends;
};

// none becomes true, a logic! flips, anything else becomes false.
Cell check_next(const Cell& data) {
  if (data.is(T_NONE)) return values::logic(true);
  if (data.is(T_LOGIC)) return values::logic(data.w1 == 0);
  return values::logic(false);
}
// A radio is only ever switched on.
Cell radio_next(const Cell&) { return values::logic(true); }

// A click on a radio reaches the faces as `change` through the radio event
// function, which also switches the sibling radios off. Space goes the same way
// as a click, so it too clears the siblings and gives exactly one `change`.
constexpr ToggleRule CHECK_RULE{check_next, true, event::T_CHANGE};
constexpr ToggleRule RADIO_RULE{radio_next, false, event::T_CLICK};

int toggle_handle(Widget& w, uint32_t type, const DispatchPoint& at, const ToggleRule& rule) {
  if (type == event::T_FOCUS || type == event::T_UNFOCUS) {
    mark_dirty(&w);
    return 0;
  }
  bool by_key = type == event::T_KEY && at.key == KEY_SPACE;
  if (!by_key && type != event::T_CLICK) return 0;
  int32_t slot = slot_of(w);
  uint32_t generation = w.generation;
  Cell face = w.face;
  const Cell* data = facet_of(&face, "data");
  set_facet(face, "data", rule.next(data ? *data : values::none));
  Widget* now = again(slot, generation);
  if (!now) return 0;
  now->ops->update(*now);
  if (!(now = again(slot, generation))) return 0;
  mark_dirty(now);
  if (by_key) awake(*now, rule.space_sends, at, 0);
  else if (rule.change_on_click) awake(*now, event::T_CHANGE, at, 0);
  return 0;
}

int check_handle(Widget& w, uint32_t type, const DispatchPoint& at) {
  return toggle_handle(w, type, at, CHECK_RULE);
}
int radio_handle(Widget& w, uint32_t type, const DispatchPoint& at) {
  return toggle_handle(w, type, at, RADIO_RULE);
}

// --- text list ---------------------------------------------------------------------------------

void text_list_update(Widget& w) { run_helper("make-text-list-ui", w.face); }

void text_list_set_up(Widget& w) {
  w.data = 0;
  update_at_once(w);
}

int32_t entry_count(const Cell* data) {
  if (!data) return 0;
  if (data->is(T_BLOCK) || data->is(T_HASH)) return block::length(data);
  if (data->is(T_MAP)) return map::count(data);
  return 0;
}

bool same_value(const Cell& a, const Cell& b) {
  return a.type() == b.type() && a.w1 == b.w1 && a.w2 == b.w2 && a.w3 == b.w3;
}

// The selection moved from `old` (the face's selected as it was) to `picked`.
void selection_changed(Widget& w, const Cell& old, int32_t picked) {
  int32_t slot = slot_of(w);
  uint32_t generation = w.generation;
  Cell face = w.face;
  DispatchPoint at;
  at.key = picked;
  int done = awake(w, event::T_SELECT, at, 0);
  Widget* now = again(slot, generation);
  if (!now) return;
  const Cell* selected = facet_of(&face, "selected");
  const Cell* st = facet_of(&face, "state");
  if (selected && same_value(*selected, old) && st && st->is(T_BLOCK))
    set_facet(face, "selected", values::integer(picked));
  if (!(now = again(slot, generation))) return;
  now->ops->update(*now);
  if (!(now = again(slot, generation))) return;
  mark_dirty(now);
  if (!done) awake(*now, event::T_CHANGE, at, 0);
}

// Up and down keep the selection within the rows shown: the first visible entry
// follows the selection as it is after the move.
int text_list_handle(Widget& w, uint32_t type, const DispatchPoint& at) {
  if (type == event::T_FOCUS || type == event::T_UNFOCUS) {
    int32_t slot = slot_of(w);
    uint32_t generation = w.generation;
    w.ops->update(w);
    if (Widget* now = again(slot, generation)) mark_dirty(now);
    return 0;
  }
  const Cell* selected_cell = facet_of(&w.face, "selected");
  Cell old = selected_cell ? *selected_cell : values::none;
  int32_t selected = old.is(T_INTEGER) ? cell::get_int(&old) : 0;
  int32_t count = entry_count(facet_of(&w.face, "data"));
  int32_t picked = selected;
  if (type == event::T_KEY && at.key == event::K_UP) {
    if (selected > 1) picked = selected - 1;
    if (picked - 1 < w.data && w.data > 0) w.data--;
  } else if (type == event::T_KEY && at.key == event::K_DOWN) {
    if (selected < count) picked = selected + 1;
    if (w.data < picked - rows_of(w)) w.data++;
  } else if (type == event::T_CLICK) {
    int32_t row = int32_t(at.y);
    // A click below the last entry names no entry.
    if (row < 0 || w.data + row + 1 > count) return 0;
    picked = w.data + row + 1;
  } else {
    return 0;
  }
  if (picked != selected)
    selection_changed(w, old, picked);
  else
    mark_dirty(&w);
  return 0;
}

// --- rich text ---------------------------------------------------------------------------------

void rich_text_update(Widget& w) {
  uint32_t background = colour_of(facet_of(&w.face, "color"));
  w.runs.clear();
  for (char32_t c : text_of(facet_of(&w.face, "text")))
    w.runs.push_back(screen::Cell{uint32_t(c), background, 0, 0});
}

// --- the table ---------------------------------------------------------------------------------

struct TypeRow {
  const char* type;
  Ops ops;
  void (*set_up)(Widget&);
};

const TypeRow TYPES[] = {
    {"window", {no_update, draw_nothing, no_handler}, nullptr},
    {"field", {field_update, field_draw, field_handle}, field_set_up},
    {"button", {no_update, button_draw, button_handle}, nullptr},
    {"base", {no_update, base_draw, no_handler}, base_set_up},
    {"progress", {progress_update, plain_draw, no_handler}, update_at_once},
    {"group-box", {no_update, group_box_draw, no_handler}, nullptr},
    {"check", {check_update, toggle_draw, check_handle}, update_at_once},
    {"radio", {radio_update, toggle_draw, radio_handle}, update_at_once},
    {"text-list", {text_list_update, default_draw, text_list_handle}, text_list_set_up},
    {"rich-text", {rich_text_update, default_draw, no_handler}, update_at_once},
};

const Ops DEFAULT_OPS{no_update, default_draw, no_handler};

const TypeRow* row_of(const Widget& w) {
  for (const TypeRow& row : TYPES)
    if (is_type(w, row.type)) return &row;
  return nullptr;
}

// --- image cells -------------------------------------------------------------------------------

uint32_t pixel_colour(uint32_t pixel, int level) {
  colors::Rgb rgb{uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)};
  uint8_t transparency = uint8_t(255 - (pixel >> 24));
  return colors::from_rgba(rgb, transparency, level, true);
}

}  // namespace

const Ops* ops_for_type(const Widget& w) {
  const TypeRow* row = row_of(w);
  return row ? &row->ops : &DEFAULT_OPS;
}

void set_up_type(Widget& w) {
  const TypeRow* row = row_of(w);
  if (row && row->set_up) row->set_up(w);
}

// Each cell shows two pixels, one above the other: a lower half block with the
// upper pixel as background and the lower as foreground. A fully transparent
// upper pixel leaves the cell blank.
void build_image_cells(Widget& w) {
  w.image_cells.clear();
  w.image_columns = 0;
  const Cell* picture = facet_of(&w.face, "image");
  if (!picture || !picture->is(T_IMAGE)) return;
  int columns = width_of(w), rows = rows_of(w);
  if (columns <= 0 || rows <= 0 || image::width(picture) == 0 || image::height(picture) == 0) return;
  Cell source = *picture;
  Cell scaled;
  image::resize(&source, columns, rows * 2, &scaled);
  const uint32_t* pixels = image::pixels(&scaled);
  if (!pixels) return;
  int level = state().colour_level;
  w.image_cells.reserve(size_t(columns) * size_t(rows));
  for (int r = 0; r < rows; r++)
    for (int c = 0; c < columns; c++) {
      uint32_t upper = pixels[size_t(2 * r) * size_t(columns) + size_t(c)];
      uint32_t lower = pixels[size_t(2 * r + 1) * size_t(columns) + size_t(c)];
      if ((upper >> 24) == 0)
        w.image_cells.push_back(screen::Cell{U' ', 0, 0, 0});
      else
        w.image_cells.push_back(
            screen::Cell{0x2584, pixel_colour(upper, level), pixel_colour(lower, level), 0});
    }
  w.image_columns = columns;
}

}  // namespace zol::view::backend
