// Input dispatch of the terminal UI: decoded keys go to the focused widget, mouse
// reports to the widget under the pointer (with over and away, click and
// double-click, wheel steps), cursor reports re-anchor the inline UI; every event
// reaches the faces through system/view/awake.
#include <algorithm>

#include "interpreter/interpreter.h"
#include "runtime/collector/collector.h"
#include "runtime/core/callback.h"
#include "runtime/core/context.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/object.h"
#include "view/backend.h"
#include "view/event.h"
#include "view/input.h"

namespace zol::view::backend {
namespace {

input::Decoder decoder;

// Two releases closer than this make a double click.
constexpr int64_t DOUBLE_CLICK_MS = 500;

Cell* awake_function() {
  Cell* system = context::global_value(symbol::make("system"));
  if (!system || !system->is(T_OBJECT)) return nullptr;
  Cell* view = object::value_of(system, facet("view"));
  if (!view || !view->is(T_OBJECT)) return nullptr;
  Cell* fn = object::value_of(view, facet("awake"));
  return fn && (fn->is(T_FUNCTION) || fn->is(T_ROUTINE) || fn->is(T_NATIVE)) ? fn : nullptr;
}

// [awake event false none], evaluated: the function value itself heads the block.
bool is_done(const Cell& result) {
  return result.is(T_WORD) &&
         symbol::resolve(word_cell::symbol(&result)) == symbol::resolve(facet("done"));
}

// --- hit testing ---------------------------------------------------------------------------

struct Hit {
  int32_t slot;
  float x, y;   // relative to the widget
};

bool contains(const Widget& w, float x, float y) {
  return x >= w.left && x < w.right && y >= w.top && y < w.bottom;
}

// The path from `root` down to the deepest widget under (x, y), root first; x, y
// relative to root.
std::vector<Hit> hit_path(int32_t root, float x, float y) {
  std::vector<Hit> path;
  Widget* at = widget(root);
  if (!at) return path;
  path.push_back({root, x, y});
  for (;;) {
    const Cell* pane = facet_of(&at->face, "pane");
    if (!pane || !pane->is(T_BLOCK)) break;
    Widget* found = nullptr;
    for (int32_t i = block::length(pane); i-- > 0;) {
      Cell face = *block::cell_at(pane, i);
      Widget* child = face_widget(&face);
      if (child && child->parent == slot_of(*at) && !(child->flags & HIDDEN) && contains(*child, x, y)) {
        found = child;
        break;
      }
    }
    if (!found) break;
    x -= found->left;
    y -= found->top;
    path.push_back({slot_of(*found), x, y});
    at = found;
  }
  return path;
}

bool is_ancestor(int32_t ancestor, int32_t of) {
  for (Widget* w = widget(of); w; w = widget(w->parent))
    if (w->parent == ancestor) return true;
  return false;
}

bool is_sibling(int32_t a, int32_t b) {
  Widget* wa = widget(a);
  Widget* wb = widget(b);
  return wa && wb && wa->parent == wb->parent;
}

// Calls the widget's own handler, then, unless an actor destroyed the widget
// meanwhile, the faces.
int handler_then_awake(int32_t slot, uint32_t type, const DispatchPoint& at, uint32_t flags,
                       bool to_faces) {
  Widget* w = widget(slot);
  if (!w || (w->flags & DISABLED)) return 0;
  uint32_t generation = w->generation;
  w->ops->handle(*w, type, at);
  w = widget(slot);
  if (!to_faces || !w || w->generation != generation) return 0;
  return awake(*w, type, at, flags);
}

DispatchPoint point(float x, float y) {
  DispatchPoint p;
  p.x = x;
  p.y = y;
  return p;
}

// --- keys -----------------------------------------------------------------------------------

void send_key(const input::Item& item) {
  State& s = state();
  Widget* window = widget(s.current_window);
  if (!window || item.key == 0) return;
  int32_t slot = window->focused >= 0 ? window->focused : s.current_window;
  Widget* target = widget(slot);
  if (!target || (target->flags & DISABLED)) return;
  uint32_t generation = target->generation;
  DispatchPoint at;
  at.key = item.key;
  if (awake(*target, event::T_KEY_DOWN, at, item.flags)) return;
  target = widget(slot);
  if (!target || target->generation != generation) return;
  if (awake(*target, event::T_KEY, at, item.flags)) return;
  target = widget(slot);
  if (!target || target->generation != generation) return;
  target->ops->handle(*target, event::T_KEY, at);
}

// --- the mouse -------------------------------------------------------------------------------

// The deepest enabled widget of the path that has a face: the one widget whose
// faces hear a button or wheel event (awake bubbles to the parents' actors itself).
int32_t face_target(const std::vector<Hit>& path) {
  for (size_t i = path.size(); i-- > 0;) {
    Widget* w = widget(path[i].slot);
    if (w && w->face.is(T_OBJECT) && !(w->flags & DISABLED)) return int32_t(i);
  }
  return -1;
}

void capture_up(uint32_t type, uint32_t flags, float x, float y) {
  State& s = state();
  Widget* capture = widget(s.capture);
  if (!capture || !(capture->flags & POINTER_AWAY)) return;
  float cx, cy;
  absolute(*capture, &cx, &cy);
  handler_then_awake(s.capture, type, point(x - cx, y - cy), flags, true);
}

// `read_ms` is when the event's bytes were read, not when it is handled: a slow
// handler of the first click must not turn a quick second click into a single one.
void button(uint32_t type, float x, float y, uint32_t flags, int64_t read_ms) {
  State& s = state();
  bool press = type == event::T_DOWN || type == event::T_MID_DOWN || type == event::T_ALT_DOWN;
  if (press) s.capture = s.hover;
  std::vector<Hit> path = hit_path(s.current_window, x, y);
  if (path.empty()) return;
  int target = face_target(path);
  // Widget handlers, deepest first.
  for (size_t i = path.size(); i-- > 0;) {
    handler_then_awake(path[i].slot, type, point(path[i].x, path[i].y), flags, false);
    if (type == event::T_DOWN) s.pressed.push_back(path[i].slot);
  }
  if (target >= 0) {
    Widget* w = widget(path[size_t(target)].slot);
    if (w) awake(*w, type, point(path[size_t(target)].x, path[size_t(target)].y), flags);
  }
  if (type != event::T_UP) return;
  bool double_click = s.click_state == 2 && read_ms - s.click_ms < DOUBLE_CLICK_MS;
  for (size_t i = path.size(); i-- > 0;) {
    int32_t slot = path[i].slot;
    if (std::find(s.pressed.begin(), s.pressed.end(), slot) == s.pressed.end()) continue;
    DispatchPoint at = point(path[i].x, path[i].y);
    bool faces = int(i) == target;
    handler_then_awake(slot, event::T_CLICK, at, flags, faces);
    if (double_click) handler_then_awake(slot, event::T_DBL_CLICK, at, flags, faces);
  }
  if (double_click) s.click_state = 10;
  Widget* deepest = widget(path.back().slot);
  Widget* window = widget(s.current_window);
  if (deepest && window && (deepest->flags & FOCUSABLE) && !(deepest->flags & FOCUSED))
    set_focus(*deepest, *window);
  capture_up(type, flags, x, y);
  s.capture = -1;
  s.pressed.clear();
  s.click_state = s.click_state == 10 ? 0 : 2;
  s.click_ms = read_ms;
}

void over(float x, float y, uint32_t flags) {
  State& s = state();
  std::vector<Hit> path = hit_path(s.current_window, x, y);
  if (path.empty()) return;
  int32_t deepest = path.back().slot;
  if (s.hover < 0) {
    for (const Hit& h : path) handler_then_awake(h.slot, event::T_OVER, point(h.x, h.y), flags, true);
  } else if (deepest != s.hover) {
    int32_t old = s.hover;
    if (is_ancestor(deepest, old) || is_sibling(deepest, old)) {
      if (Widget* w = widget(old)) {
        float ax, ay;
        absolute(*w, &ax, &ay);
        if (old == s.capture) w->flags |= POINTER_AWAY;
        handler_then_awake(old, event::T_OVER, point(s.hover_x - ax, s.hover_y - ay),
                           flags | event::AWAY, true);
      }
    }
    if (is_ancestor(old, deepest) || is_sibling(deepest, old)) {
      if (Widget* w = widget(deepest)) {
        w->flags &= ~POINTER_AWAY;
        handler_then_awake(deepest, event::T_OVER, point(path.back().x, path.back().y), flags, true);
      }
    }
  } else if (Widget* w = widget(deepest); w && (w->flags & ALL_OVER)) {
    handler_then_awake(deepest, event::T_OVER, point(path.back().x, path.back().y), flags, true);
  }
  if (flags & event::DOWN) {
    Widget* capture = widget(s.capture);
    if (capture && capture->flags & POINTER_AWAY && capture->flags & ALL_OVER) {
      float cx, cy;
      absolute(*capture, &cx, &cy);
      handler_then_awake(s.capture, event::T_OVER, point(x - cx, y - cy), flags, true);
    }
  }
  s.hover = deepest;
  s.hover_x = x;
  s.hover_y = y;
}

void wheel(float step, float x, float y, uint32_t flags) {
  std::vector<Hit> path = hit_path(state().current_window, x, y);
  int target = face_target(path);
  if (target < 0) return;
  DispatchPoint at = point(path[size_t(target)].x, path[size_t(target)].y);
  at.wheel = step;
  if (Widget* w = widget(path[size_t(target)].slot)) awake(*w, event::T_WHEEL, at, flags);
}

void mouse(const input::Item& item, int64_t read_ms) {
  State& s = state();
  input::Mouse m = input::mouse_of(item.code);
  float x = float(item.column - 1);
  float y = float(item.row - (s.full_screen ? 0 : s.origin_row) - 1);
  if (m.base <= 2) {
    if (s.last_released != item.release) {
      s.last_released = item.release;
      uint32_t type = uint32_t(m.base * 2) + (item.release ? 2u : 1u);
      button(type, x, y, m.modifiers, read_ms);
    } else {
      over(x, y, m.modifiers | event::DOWN);
    }
  } else if (m.base == 3) {
    over(x, y, m.modifiers);
  } else if (m.base == 4 || m.base == 5) {
    wheel(m.base == 4 ? 1.0f : -1.0f, x, y, m.modifiers);
  }
}

void dispatch(const std::vector<input::Item>& items, int64_t read_ms) {
  State& s = state();
  for (const input::Item& item : items) {
    switch (item.kind) {
      case input::Kind::KEY: send_key(item); break;
      case input::Kind::MOUSE: mouse(item, read_ms); break;
      case input::Kind::CURSOR:
        s.origin_row = item.row - 1;
        s.origin_column = item.column - 1;
        s.cursor_report_pending = false;
        break;
    }
  }
}

}  // namespace

int awake(Widget& w, uint32_t type, const DispatchPoint& at, uint32_t flags) {
  if (!w.face.is(T_OBJECT)) return 0;
  Cell* fn = awake_function();
  if (!fn) return 0;
  event::Record r;
  r.face = w.face;
  r.x = at.x;
  r.y = at.y;
  r.key = at.key;
  r.wheel = at.wheel;
  uint32_t id = event::open_record(r);
  Cell code;
  block::make_at(&code, 4);
  Cell ev = event::backend_event(type, id, flags);
  block::append(&code, fn);
  block::append(&code, &ev);
  block::append(&code, &values::false_value);
  block::append(&code, &values::none);
  Cell result = values::none;
  Cell* saved_top = stack::top;
  stack::try_run([&] { result = interpreter::do_block_hook(&code); });
  stack::top = saved_top;
  exits::pending = 0;
  event::close_record(id);
  return is_done(result) ? 1 : 0;
}

int send_to_widget(Widget& w, uint32_t type, const DispatchPoint& at, uint32_t flags) {
  return handler_then_awake(slot_of(w), type, at, flags, true);
}

void set_focus(Widget& w, Widget& window) {
  int32_t slot = slot_of(w), window_slot = slot_of(window);
  // Focus events tell of a change: a widget that holds the focus already hears
  // none, so a focus actor that shows its window again does not call itself.
  if (window.focused == slot && (w.flags & FOCUSED)) return;
  if (Widget* old = widget(window.focused); old && window.focused != slot) {
    int32_t old_slot = window.focused;
    old->flags &= ~FOCUSED;
    handler_then_awake(old_slot, event::T_UNFOCUS, {}, 0, true);
  }
  Widget* win = widget(window_slot);
  Widget* target = widget(slot);
  if (!win || !target) return;
  win->focused = slot;
  target->flags |= FOCUSED;
  // Focus changes a widget's look (reverse video, the caret, a list's highlight).
  mark_dirty(target);
  handler_then_awake(slot, event::T_FOCUS, {}, 0, true);
}

void process_input(const uint8_t* bytes, size_t n, bool resized) {
  if (resized) resize();
  decoder.feed(bytes, n);
  process_pending(now_ms());
}

void process_pending(int64_t now) {
  std::vector<input::Item> items;
  decoder.process(now, items);
  dispatch(items, now);
}

void take_cursor_reports(const uint8_t* bytes, size_t n) {
  decoder.feed(bytes, n);
  std::vector<input::Item> items;
  int64_t now = now_ms();
  decoder.process(now, items);
  std::erase_if(items, [](const input::Item& i) { return i.kind != input::Kind::CURSOR; });
  dispatch(items, now);
}

bool escape_waiting() { return decoder.escape_waiting(); }

void clear_input() { decoder.clear(); }

}  // namespace zol::view::backend
