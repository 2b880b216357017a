// Widget records: the face flags, construction under a parent, facet updates,
// destroy, and drawing the current window's tree with the default painter.
#include <algorithm>
#include <deque>
#include <string>
#include <unordered_map>

#include "runtime/collector/collector.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/text/char_width.h"
#include "view/backend.h"
#include "view/colors.h"
#include "view/draw/terminal.h"

namespace zol::view::backend {
namespace {

constexpr uint32_t SLOT_BITS = 12;
constexpr uint32_t SLOT_MASK = (1u << SLOT_BITS) - 1;

std::deque<Widget> table;

// Face cells and text overrides live in C++: marked by value, so also pinned.
void mark_widgets() {
  for (const Widget& w : table)
    if (w.live) {
      collector::mark_values(&w.face, &w.face + 1);
      collector::mark_values(&w.text_override, &w.text_override + 1);
    }
}

// --- face flags ----------------------------------------------------------------------------

struct FlagWord {
  const char* word;
  uint32_t bit;
};
constexpr FlagWord FACE_FLAGS[] = {
    {"all-over", F_ALL_OVER},     {"focusable", F_FOCUSABLE}, {"resize", F_RESIZE},
    {"no-title", F_NO_TITLE},     {"no-border", F_NO_BORDER}, {"no-min", F_NO_MIN},
    {"no-max", F_NO_MAX},         {"no-buttons", F_NO_BUTTONS}, {"modal", F_MODAL},
    {"popup", F_POPUP},           {"tri-state", F_TRI_STATE}, {"scrollable", F_SCROLLABLE},
    {"password", F_PASSWORD},     {"no-sync", F_NO_SYNC},     {"fullscreen", F_FULLSCREEN},
};

// The widget bits the face flags give.
struct FlagMap {
  uint32_t face;
  uint32_t widget;
};
constexpr FlagMap FLAG_MAP[] = {
    {F_FOCUSABLE, FOCUSABLE}, {F_ALL_OVER, ALL_OVER}, {F_PASSWORD, PASSWORD},
    {F_FULLSCREEN, FULL_SCREEN},
};

uint32_t flag_bit(const Cell* word) {
  uint32_t sym = symbol::resolve(word_cell::symbol(word));
  for (const FlagWord& f : FACE_FLAGS)
    if (symbol::resolve(facet(f.word)) == sym) return f.bit;
  Cell w = *word;
  fire(err::script::INVALID_ARG, &w);
}

uint32_t widget_bits(uint32_t face_bits) {
  uint32_t bits = 0;
  for (const FlagMap& m : FLAG_MAP)
    if (face_bits & m.face) bits |= m.widget;
  return bits;
}

// --- facets --------------------------------------------------------------------------------

bool is_true(const Cell* c) { return c && c->is(T_LOGIC) && c->w1 != 0; }

// The x and y of a pair! or point2D!; 0 for anything else.
void coordinates(const Cell* c, float* x, float* y) {
  *x = *y = 0;
  if (!c) return;
  if (c->is(T_PAIR)) {
    *x = float(pair::x_of(c));
    *y = float(pair::y_of(c));
  } else if (c->is(T_POINT2D)) {
    *x = point::coordinate(c, 0);
    *y = point::coordinate(c, 1);
  }
}

Widget* parent_of(const Widget& w) { return w.parent >= 0 ? widget(w.parent) : nullptr; }

bool is_window(const Widget& w) { return is_type(w, "window"); }

int32_t allocate() {
  for (size_t i = 0; i < table.size(); i++)
    if (!table[i].live) return int32_t(i);
  if (table.size() > SLOT_MASK) fire(err::internal::LIMIT_HIT);
  table.emplace_back();
  return int32_t(table.size() - 1);
}

void release(Widget& w) {
  uint32_t generation = (w.generation + 1) & ((1u << (32 - SLOT_BITS)) - 1);
  w = Widget{};
  w.generation = generation ? generation : 1;
}

}  // namespace

// --- painting ------------------------------------------------------------------------------

// Lines and the widest line's columns, for alignment.
void measure(const std::u32string& text, int* columns, int* lines) {
  *columns = 0;
  *lines = 1;
  int col = 0;
  for (char32_t c : text) {
    if (c == U'\n') {
      (*lines)++;
      col = 0;
      continue;
    }
    col += unicode::char_width(uint32_t(c));
    if (col > *columns) *columns = col;
  }
}

// Para alignment bits: right 1, center 2, middle 4, bottom 8, wrap 32.
uint32_t alignment_of(const Cell* face) {
  const Cell* para = facet_of(face, "para");
  if (!para || !para->is(T_OBJECT)) return 0;
  uint32_t bits = 0;
  const Cell* align = object::value_of(para, facet("align"));
  const Cell* v_align = object::value_of(para, facet("v-align"));
  if (align && word_cell::is_word(align)) {
    uint32_t s = symbol::resolve(word_cell::symbol(align));
    if (s == symbol::resolve(facet("center"))) bits |= 2;
    else if (s == symbol::resolve(facet("right"))) bits |= 1;
  }
  if (v_align && word_cell::is_word(v_align)) {
    uint32_t s = symbol::resolve(word_cell::symbol(v_align));
    if (s == symbol::resolve(facet("middle"))) bits |= 4;
    else if (s == symbol::resolve(facet("bottom"))) bits |= 8;
  }
  if (is_true(object::value_of(para, facet("wrap?")))) bits |= 32;
  return bits;
}

namespace {

// Image cells over the face's rectangle, from its top-left.
void paint_image_cells(const Widget& w, int x, int y, const screen::Clip& visible) {
  if (w.image_cells.empty() || w.image_columns <= 0) return;
  screen::Grid& grid = state().grid;
  int rows = int(w.image_cells.size()) / w.image_columns;
  for (int r = 0; r < rows; r++)
    for (int c = 0; c < w.image_columns; c++) {
      int col = x + c, row = y + r;
      if (col < visible.left || col >= visible.right || row < visible.top || row >= visible.bottom)
        continue;
      if (col < 0 || row < 0 || col >= grid.width || row >= grid.height) continue;
      const screen::Cell& cell = w.image_cells[size_t(r * w.image_columns + c)];
      grid.at(col, row) = cell;
    }
}


screen::Clip intersect(const screen::Clip& a, const screen::Clip& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

// The face's `draw` block, over what its widget painted, within the visible part.
void run_draw_facet(Widget& w, int x, int y, const screen::Clip& visible) {
  const Cell* commands = facet_of(&w.face, "draw");
  if (!commands || !commands->is(T_BLOCK) || block::length(commands) == 0) return;
  Cell held = *commands;
  draw::TerminalBackend out(&state().grid, x, y, visible, state().colour_level);
  draw::run(out, &held, {.silent = draw::silent_mode()});
}

void draw_widget(Widget& w, int x, int y, const screen::Clip& parent_visible) {
  if (w.flags & HIDDEN) return;
  screen::Clip mine{x, y, x + int(w.right - w.left), y + int(w.bottom - w.top)};
  screen::Clip visible = intersect(mine, parent_visible);
  if (visible.right > visible.left && visible.bottom > visible.top) w.ops->draw(w, x, y, visible);
  else return;
  int32_t slot = slot_of(w);
  run_draw_facet(w, x, y, visible);
  if (!widget(slot)) return;   // the drawing ran code that destroyed the face
  const Cell* pane = facet_of(&widget(slot)->face, "pane");
  if (!pane || !pane->is(T_BLOCK)) return;
  for (int32_t i = 0; i < block::length(pane); i++) {
    Cell child_face = *block::cell_at(pane, i);
    Widget* child = face_widget(&child_face);
    if (!child || child->parent != slot) continue;
    draw_widget(*child, x + int(child->left), y + int(child->top), visible);
    pane = facet_of(&widget(slot)->face, "pane");   // a draw may run Zol code
    if (!pane || !pane->is(T_BLOCK)) return;
  }
}

void remove_from_parent_list(const Cell* face, const char* owner_facet) {
  const Cell* owner = facet_of(face, owner_facet);
  if (!owner || !owner->is(T_OBJECT)) return;
  Cell* list = object::value_of(owner, facet("parent"));
  if (list && list->is(T_BLOCK)) block::remove_compare(list, face, true);
}

}  // namespace

uint32_t tuple_colour(const Cell* c, int level) {
  if (!c || !c->is(T_TUPLE)) return colors::make(colors::DEFAULT, 0);
  colors::Rgb rgb{tuple::element(c, 0), tuple::element(c, 1), tuple::element(c, 2)};
  uint8_t alpha = tuple::count(c) > 3 ? tuple::element(c, 3) : 0;
  return colors::from_rgba(rgb, alpha, level);
}

uint32_t colour_of(const Cell* c) { return tuple_colour(c, state().colour_level); }

std::u32string text_of(const Cell* c) {
  std::u32string s;
  if (!c || !c->is(T_STRING)) return s;
  int32_t n = string::length(c);
  s.reserve(size_t(n));
  for (int32_t i = 0; i < n; i++) s += char32_t(string::char_at(c, i));
  return s;
}

// The default draw: the face's colour, its text (or its hint, dimmed), aligned in
// the widget's size.
void paint_face(Widget& w, int x, int y, const screen::Clip& visible, uint32_t paint_flags) {
  State& s = state();
  const Cell* face = &w.face;
  uint32_t bg = colour_of(facet_of(face, "color"));
  uint32_t fg = colors::make(colors::DEFAULT, 0);
  const Cell* font = facet_of(face, "font");
  if (font && font->is(T_OBJECT)) fg = colour_of(object::value_of(font, facet("color")));
  uint32_t align = alignment_of(face);
  s.grid.fill(visible.left, visible.top, visible.right - visible.left, visible.bottom - visible.top, bg);
  paint_image_cells(w, x, y, visible);
  screen::Style style{.bg = bg, .fg = fg, .attr = paint_flags & 0xFFF, .wrap = (align & 32) != 0,
                      .escapes = (paint_flags & PAINT_ESCAPES) != 0};
  if (w.text_override.is(T_STRING))
    screen::paint(s.grid, text_of(&w.text_override), x, y, visible, style);
  if (paint_flags & PAINT_NO_TEXT) return;
  if (is_type(w, "rich-text")) {
    screen::paint_runs(s.grid, w.runs, x, y, visible, style.wrap);
    return;
  }
  std::u32string text = text_of(facet_of(face, "text"));
  if (text.empty()) {
    const Cell* options = facet_of(face, "options");
    if (options && options->is(T_BLOCK)) {
      Cell hint_word{T_WORD, 0, facet("hint"), 0xFFFFFFFFu};
      const Cell* hint = block::select_word(options, &hint_word, false);
      if (hint && hint->is(T_STRING)) {
        text = text_of(hint);
        style.attr |= screen::DIM;
      }
    }
  }
  if (text.empty()) return;
  int columns, lines;
  measure(text, &columns, &lines);
  int width = int(w.right - w.left), height = int(w.bottom - w.top);
  int dx = align & 2 ? (width - columns) / 2 : align & 1 ? width - columns : 0;
  int dy = align & 4 ? (height - lines) / 2 : align & 8 ? height - lines : 0;
  screen::paint(s.grid, text, x + (dx > 0 ? dx : 0), y + (dy > 0 ? dy : 0), visible, style);
}

Widget* widget(int32_t slot) {
  if (slot < 0 || size_t(slot) >= table.size() || !table[size_t(slot)].live) return nullptr;
  return &table[size_t(slot)];
}

int32_t slot_of(const Widget& w) {
  for (size_t i = 0; i < table.size(); i++)
    if (&table[i] == &w) return int32_t(i);
  return -1;
}

uint32_t handle_value(const Widget& w) { return w.generation << SLOT_BITS | uint32_t(slot_of(w)); }

Widget* widget_of_handle(const Cell* handle) {
  if (!handle || !handle->is(T_HANDLE)) return nullptr;
  uint32_t id = handle->w2;
  Widget* w = widget(int32_t(id & SLOT_MASK));
  return w && w->generation == id >> SLOT_BITS ? w : nullptr;
}

Widget* face_widget(const Cell* face) {
  if (!face || !face->is(T_OBJECT)) return nullptr;
  const Cell* st = facet_of(face, "state");
  if (!st || !st->is(T_BLOCK) || block::length(st) < 1) return nullptr;
  return widget_of_handle(block::cell_at(st, 0));
}

uint32_t facet(const char* name) {
  static std::unordered_map<std::string, uint32_t> symbols;
  auto found = symbols.find(name);
  if (found != symbols.end()) return found->second;
  uint32_t sym = symbol::make(name);
  symbols.emplace(name, sym);
  return sym;
}

Cell* facet_of(const Cell* face, const char* name) {
  if (!face || !face->is(T_OBJECT)) return nullptr;
  return object::value_of(face, facet(name));
}

bool is_type(const Widget& w, const char* type_word) {
  return w.type && symbol::resolve(w.type) == symbol::resolve(facet(type_word));
}

uint32_t face_flags(const Cell* face) {
  const Cell* flags = facet_of(face, "flags");
  if (!flags) return 0;
  if (word_cell::is_word(flags)) return flag_bit(flags);
  if (!flags->is(T_BLOCK)) return 0;
  uint32_t bits = 0;
  for (int32_t i = 0; i < block::length(flags); i++) {
    const Cell* v = block::cell_at(flags, i);
    if (word_cell::is_word(v)) bits |= flag_bit(v);
  }
  return bits;
}

Widget* window_of(Widget& w) {
  Widget* at = &w;
  while (at && !is_window(*at)) at = parent_of(*at);
  return at;
}

void absolute(const Widget& w, float* x, float* y) {
  *x = *y = 0;
  for (const Widget* at = &w; at && !is_window(*at); at = parent_of(*at)) {
    *x += at->left;
    *y += at->top;
  }
}

Cell make_view(Cell* face, const Cell* parent_handle) {
  Widget* parent = widget_of_handle(parent_handle);
  int32_t parent_slot = parent ? slot_of(*parent) : -1;
  uint32_t face_bits = face_flags(face);
  Cell* offset = facet_of(face, "offset");
  if (offset && offset->is(T_PAIR)) {
    float xy[2] = {float(pair::x_of(offset)), float(pair::y_of(offset))};
    point::make_at(offset, 2, xy);
  }
  uint32_t flags = widget_bits(face_bits);
  const Cell* size = facet_of(face, "size");
  if (size && size->is(T_PAIR)) flags |= SIZE_PAIR;
  if (!is_true(facet_of(face, "visible?"))) flags |= HIDDEN;
  if (!is_true(facet_of(face, "enabled?"))) flags |= DISABLED;
  const Cell* type = facet_of(face, "type");
  // Every check that may raise comes before the record exists.
  const Cell* rate = facet_of(face, "rate");
  if (rate && !rate->is(T_NONE)) rate_interval(rate);
  int32_t slot = allocate();
  Widget& w = table[size_t(slot)];
  w.live = true;
  w.type = type && word_cell::is_word(type) ? word_cell::symbol(type) : 0;
  w.flags = flags;
  w.parent = parent_slot;
  w.face = *face;
  w.text_override = values::none;
  float width, height;
  coordinates(size, &width, &height);
  w.ops = ops_for_type(w);
  if (is_window(w)) {
    w.parent = -1;
    if (offset) pair::make_at(offset, 0, 0);
    w.left = w.top = 0;
    w.focused = slot;
    state().windows.push_back(slot);
    if (flags & FULL_SCREEN) state().full_screen = true;
  } else {
    coordinates(offset, &w.left, &w.top);
  }
  w.right = w.left + width;
  w.bottom = w.top + height;
  // The set-up may run Zol code (the helpers that make a widget's text); records
  // live in a deque, which never moves them as it grows, so `w` stays valid.
  set_up_type(w);
  if (parent) {
    if (Widget* win = window_of(w)) {
      float x, y;
      absolute(w, &x, &y);
      win->extent_left = std::min(win->extent_left, x);
      win->extent_top = std::min(win->extent_top, y);
      win->extent_right = std::max(win->extent_right, x + width);
      win->extent_bottom = std::max(win->extent_bottom, y + height);
      if (w.flags & SHOWS_CARET) win->caret_count++;
      if ((win->focused < 0 || win->focused == slot_of(*win)) && (w.flags & FOCUSABLE))
        win->focused = slot;
    }
    build_image_cells(w);
  } else {
    w.extent_right = width;
    w.extent_bottom = height;
  }
  rate = facet_of(face, "rate");
  if (rate && !rate->is(T_NONE)) add_timer(slot, rate);
  Cell h;
  handle::make_at(&h, handle_value(table[size_t(slot)]), handle::WINDOW);
  return h;
}

void destroy(const Cell* face_cell) {
  Cell face = *face_cell;
  Widget* w = face_widget(&face);
  // A pane may hold the face itself, or an ancestor: each widget goes once.
  if (!w || (w->flags & DESTROYING)) return;
  w->flags |= DESTROYING;
  int32_t slot = slot_of(*w);
  const Cell* rate = facet_of(&face, "rate");
  if (rate && !rate->is(T_NONE)) remove_timer(slot);
  remove_from_parent_list(&face, "font");
  remove_from_parent_list(&face, "para");
  Cell* pane = facet_of(&face, "pane");
  if (pane && pane->is(T_BLOCK)) {
    Cell children = *pane;
    for (int32_t i = 0; i < block::length(&children); i++) {
      Cell child = *block::cell_at(&children, i);
      destroy(&child);
    }
  }
  w = widget(slot);
  if (!w) return;
  State& s = state();
  if (is_window(*w)) {
    std::erase(s.windows, slot);
    if (s.current_window == slot) {
      s.current_window = -1;
      if (!s.windows.empty()) make_current(s.windows.back());
    }
  }
  if (s.hover == slot) s.hover = -1;
  if (s.capture == slot) s.capture = -1;
  std::erase(s.pressed, slot);
  release(*w);
  if (Cell* st = facet_of(&face, "state")) *st = values::none;
}

void destroy_all() {
  for (Widget& w : table)
    if (w.live) release(w);
  state().windows.clear();
}

void update_face(const Cell* face_cell) {
  Cell face = *face_cell;
  Widget* w = face_widget(&face);
  if (!w) return;
  int32_t slot = slot_of(*w);
  Cell* st = facet_of(&face, "state");
  const Cell* mask_cell = block::length(st) > 1 ? block::cell_at(st, 1) : nullptr;
  uint32_t mask = mask_cell && mask_cell->is(T_INTEGER) ? uint32_t(cell::get_int(mask_cell)) : 0;
  // Taken before any handler runs: a handler that shows its face again (a frame
  // recolouring itself on focus) must not find the same changes still pending, or
  // a focus change would be applied again from inside its own focus event, without end.
  if (mask) *block::cell_at(st, 1) = values::integer(0);
  if (mask & (1u << 16)) {
    remove_timer(slot);
    const Cell* rate = facet_of(&face, "rate");
    if (rate && !rate->is(T_NONE)) add_timer(slot, rate);
  }
  w = widget(slot);
  if (!w) return;
  float width = w->right - w->left, height = w->bottom - w->top;
  if (mask & (1u << 1)) {
    coordinates(facet_of(&face, "offset"), &w->left, &w->top);
    if (is_window(*w)) w->left = w->top = 0;
    w->right = w->left + width;
    w->bottom = w->top + height;
  }
  if (mask & (1u << 2)) {
    coordinates(facet_of(&face, "size"), &width, &height);
    w->right = w->left + width;
    w->bottom = w->top + height;
  }
  auto set_bit = [&](uint32_t bit, bool on) { w->flags = on ? w->flags | bit : w->flags & ~bit; };
  if (mask & (1u << 8)) set_bit(DISABLED, !is_true(facet_of(&face, "enabled?")));
  if (mask & (1u << 9)) set_bit(HIDDEN, !is_true(facet_of(&face, "visible?")));
  if ((mask & (1u << 10)) && is_window(*w)) {
    Cell selected = *facet_of(&face, "selected");
    if (Widget* target = face_widget(&selected)) set_focus(*target, *w);
  }
  w = widget(slot);
  if (!w) return;
  if (mask & (1u << 11)) {
    uint32_t bits = face_flags(&face);
    set_bit(ALL_OVER, bits & F_ALL_OVER);
    set_bit(PASSWORD, bits & F_PASSWORD);
  }
  if (mask & ((1u << 4) | (1u << 2))) build_image_cells(*w);
  w->ops->update(*w);
  w = widget(slot);
  if (w) mark_dirty(w);
  st = facet_of(&face, "state");
  if (st && st->is(T_BLOCK) && block::length(st) > 1) *block::cell_at(st, 1) = values::integer(0);
}

void draw_tree(Widget& window) {
  State& s = state();
  screen::Clip all{0, 0, s.grid.width, s.grid.height};
  draw_widget(window, 0, 0, all);
}

void init_widgets() { collector::keep(mark_widgets); }

}  // namespace zol::view::backend
