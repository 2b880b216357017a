// The C++ bodies of the terminal UI engine's routines, registered by the names the
// routines' body blocks in library/view-backend.zol give: the event predicates, the
// widget readers of TUI-helpers, and the backend operations the platform object
// calls.
#include "view/routines.h"

#include "interpreter/natives/natives.h"
#include "library/routines.h"
#include "platform/platform.h"
#include "platform/terminal.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/ownership.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/text/char_width.h"
#include "view/backend.h"
#include "view/colors.h"
#include "view/draw/terminal.h"
#include "view/text_box.h"

namespace zol::view {
namespace {

using library::Args;
using library::answer;
using library::logic;

const Cell* event_q(Args a) { return logic(a[0]->is(T_EVENT)); }

bool same_word(const Cell* a, const Cell* b) {
  return symbol::resolve(word_cell::symbol(a)) == symbol::resolve(word_cell::symbol(b));
}

// A facet is one flag word or a block of them.
const Cell* find_flag_q(Args a) {
  const Cell* facet = a[0];
  const Cell* flag = a[1];
  if (!word_cell::is_word(flag)) return logic(false);
  if (facet->is(T_WORD)) return logic(same_word(facet, flag));
  if (!facet->is(T_BLOCK)) return logic(false);
  for (int32_t i = 0, n = block::length(facet); i < n; i++) {
    const Cell* v = block::cell_at(facet, i);
    if ((v->is(T_WORD) || v->is(T_LIT_WORD)) && same_word(v, flag)) return logic(true);
  }
  return logic(false);
}

// The terminal has no event queue of its own to post to: nothing is delivered.
const Cell* send_event_os(Args) { return logic(false); }

const Cell* check_color_support(Args) {
  std::string colorterm, term;
  platform::get_env("COLORTERM", &colorterm);
  platform::get_env("TERM", &term);
  return answer(values::integer(colors::support_level(colorterm, term)));
}

// --- widgets through faces -------------------------------------------------------------------

const Cell* focused_q(Args a) {
  backend::Widget* w = backend::face_widget(a[0]);
  return logic(w && (w->flags & backend::FOCUSED));
}

const Cell* widget_data(Args a) {
  backend::Widget* w = backend::face_widget(a[0]);
  return answer(values::integer(w ? w->data : 0));
}

const Cell* set_face_ui(Args a) {
  if (backend::Widget* w = backend::face_widget(a[0])) w->text_override = *a[1];
  return &values::none;
}

// --- the backend operations of the platform object ------------------------------------------

const Cell* gui_init(Args) {
  backend::init();
  return &values::none;
}

const Cell* make_null_handle(Args) {
  Cell h;
  return answer(*handle::make_at(&h, 0, handle::NULL_));
}

const Cell* get_screen_size(Args) {
  platform::terminal::WindowSize size = platform::terminal::window_size();
  Cell p{};   // make_at keeps the target's new-line mark: start from none
  return answer(*pair::make_at(&p, size.columns, size.rows));
}

[[noreturn]] void invalid_type(const Cell* value) {
  Cell type = values::of_datatype(value->type());
  fire(err::script::INVALID_TYPE, &type);
}

// The widest line's columns and the number of lines.
const Cell* size_text(Args a) {
  const Cell* text = a[1];
  if (text->is(T_NONE)) text = backend::facet_of(a[0], "text");
  else if (!text->is(T_STRING)) invalid_type(text);
  if (!text || !text->is(T_STRING)) return &values::none;
  int widest = 0, column = 0, lines = 1;
  for (int32_t i = 0, n = string::length(text); i < n; i++) {
    uint32_t cp = string::char_at(text, i);
    if (cp == '\n') {
      lines++;
      column = 0;
      continue;
    }
    column += unicode::char_width(cp);
    widest = column > widest ? column : widest;
  }
  float xy[2] = {float(widest), float(lines)};
  Cell p{};
  return answer(*point::make_at(&p, 2, xy));
}

const Cell* get_flags(Args a) {
  return answer(values::integer(int32_t(backend::face_flags(a[0]))));
}

const Cell* face_handle_q(Args a) {
  const Cell* st = backend::facet_of(a[0], "state");
  if (!backend::face_widget(a[0])) return &values::none;
  return answer(*block::cell_at(st, 0));
}

const Cell* make_view(Args a) { return answer(backend::make_view(a[0], a[1])); }

// Destroying a window ends the innermost loop; a face within one only leaves the
// screen to redraw.
const Cell* destroy_view(Args a) {
  backend::Widget* w = backend::face_widget(a[0]);
  bool window = w && backend::is_type(*w, "window");
  backend::destroy(a[0]);
  if (window) backend::post_quit();
  if (!backend::state().windows.empty()) backend::mark_dirty();
  return &values::none;
}

// system/view/auto-sync? held false while a widget re-derives its look from its
// face, so the face changes it makes are not pushed back at once.
struct AutoSyncOff {
  Cell* slot = nullptr;
  Cell saved{};
  AutoSyncOff() {
    Cell* system = context::global_value(symbol::make("system"));
    Cell* view = system && system->is(T_OBJECT) ? object::value_of(system, symbol::make("view")) : nullptr;
    if (!view || !view->is(T_OBJECT)) return;
    slot = object::value_of(view, symbol::make("auto-sync?"));
    if (!slot) return;
    saved = *slot;
    *slot = values::false_value;
  }
  ~AutoSyncOff() {
    if (slot) *slot = saved;
  }
};

void update_one(const Cell* face) {
  const Cell* type = backend::facet_of(face, "type");
  if (type && word_cell::is_word(type) &&
      symbol::resolve(word_cell::symbol(type)) == symbol::resolve(symbol::make("screen")))
    return;
  AutoSyncOff hold;
  backend::update_face(face);
}

const Cell* update_view(Args a) {
  Cell target = *a[0];
  if (target.is(T_BLOCK)) {
    for (int32_t i = 0; i < block::length(&target); i++)
      if (!block::cell_at(&target, i)->is(T_OBJECT)) invalid_type(block::cell_at(&target, i));
    for (int32_t i = 0; i < block::length(&target); i++) {
      Cell face = *block::cell_at(&target, i);
      const Cell* st = backend::facet_of(&face, "state");
      if (!st || !st->is(T_BLOCK)) continue;
      AutoSyncOff hold;
      backend::update_face(&face);
    }
  } else if (target.is(T_OBJECT)) {
    update_one(&target);
  } else {
    invalid_type(&target);
  }
  return &values::none;
}

const Cell* refresh_window(Args a) {
  if (backend::Widget* w = backend::widget_of_handle(a[0])) backend::mark_dirty(w);
  return &values::none;
}

const Cell* redraw(Args a) {
  if (backend::Widget* w = backend::face_widget(a[0])) backend::mark_dirty(w);
  return &values::none;
}

const Cell* show_window(Args a) {
  if (backend::Widget* w = backend::widget_of_handle(a[0])) {
    backend::make_current(backend::slot_of(*w));
    backend::mark_dirty();
  }
  return &values::none;
}

const Cell* do_event_loop(Args a) {
  return logic(backend::do_events(a[0]->is(T_LOGIC) && a[0]->w1 != 0));
}

const Cell* exit_event_loop(Args) {
  backend::post_quit();
  return &values::none;
}

// A series facet changed: only a data change reaches a shown widget here.
const Cell* on_change_facet(Args a) {
  const Cell* word = a[1];
  if (!word_cell::is_word(word) ||
      symbol::resolve(word_cell::symbol(word)) != symbol::resolve(symbol::make("data")))
    return &values::none;
  if (backend::face_widget(a[0])) update_one(a[0]);
  return &values::none;
}

// The para bit of the face's change mask.
const Cell* update_para(Args a) {
  Cell* st = backend::facet_of(a[0], "state");
  if (st && st->is(T_BLOCK) && block::length(st) > 1) {
    Cell* mask = block::cell_at(st, 1);
    if (mask->is(T_INTEGER)) *mask = values::integer(cell::get_int(mask) | 0x40000);
  }
  return &values::none;
}

const Cell* draw_face(Args a) {
  backend::face_flags(a[0]);
  return &values::none;
}

// The Draw dialect for an image. No primitive writes into pixels: the context's
// area is empty and no grid is given, so nothing reaches the screen either, while
// every command is still checked. A silent stop always ends here: nothing above
// this call waits for one, whatever `catch?` says.
void draw_for_image(const Cell* commands) {
  if (!commands->is(T_BLOCK)) return;
  Cell held = *commands;
  draw::TerminalBackend out(nullptr, 0, 0, screen::Clip{}, backend::state().colour_level);
  draw::run(out, &held, {.silent = draw::silent_mode()});
}

const Cell* os_do_draw(Args a) {
  bool no_target = a[0]->is(T_NONE);
  if (no_target && !(a[1]->is(T_BLOCK) && block::length(a[1]) > 0)) return &values::none;
  draw_for_image(a[1]);
  return &values::none;
}

// Draws on an image (nothing for an empty one), then tells its owner it changed.
const Cell* draw_image(Args a) {
  Cell image = *a[0];
  if ((image.w3 & 0xFFFF) == 0 || (image.w3 >> 16) == 0) return &values::none;
  draw_for_image(a[1]);
  Cell poke{T_WORD, 0, symbol::make("poke"), 0xFFFFFFFFu};
  ownership::check(&image, &poke, &image, -1, -1);
  return &values::none;
}

const Cell* text_box_metrics(Args a) {
  return text_box::metrics(a[0], a[1], cell::get_int(a[2]));
}

// The terminal has no font requester: the font given is the font chosen.
const Cell* request_font(Args a) { return answer(*a[0]); }

const Cell* not_done(Args) { natives::not_done(); }

struct Body {
  const char* name;
  routine::Entry fn;
  int arg_count;
};

const Body BODIES[] = {
    {"event?", event_q, 1},
    {"find-flag?", find_flag_q, 2},
    {"send-event-os", send_event_os, 2},
    {"check-color-support", check_color_support, 0},
    {"focused?", focused_q, 1},
    {"widget-data", widget_data, 1},
    {"set-face-ui", set_face_ui, 2},
    {"gui-init", gui_init, 0},
    {"gui-make-null-handle", make_null_handle, 0},
    {"gui-get-screen-size", get_screen_size, 1},
    {"gui-size-text", size_text, 2},
    {"gui-get-flags", get_flags, 1},
    {"gui-face-handle?", face_handle_q, 1},
    {"gui-OS-make-view", make_view, 2},
    {"gui-destroy-view", destroy_view, 2},
    {"gui-update-view", update_view, 1},
    {"gui-refresh-window", refresh_window, 1},
    {"gui-redraw", redraw, 1},
    {"gui-show-window", show_window, 1},
    {"gui-do-events", do_event_loop, 1},
    {"gui-post-quit-msg", exit_event_loop, 0},
    {"gui-on-change-facet", on_change_facet, 7},
    {"gui-update-para", update_para, 2},
    {"gui-draw-face", draw_face, 2},
    {"gui-draw-image", draw_image, 2},
    {"gui-OS-do-draw", os_do_draw, 3},
    {"gui-text-box-metrics", text_box_metrics, 3},
    {"gui-request-font", request_font, 3},
};

}  // namespace

void register_routines() {
  static bool done = false;
  if (done) return;
  done = true;
  for (const Body& b : BODIES) routine::add_entry(b.name, b.fn, b.arg_count);
}

}  // namespace zol::view
