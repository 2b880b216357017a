// The terminal UI's hold on the terminal and its event loop: set-up and restore
// (raw mode, private modes, the cursor, mouse reporting), the output brackets that
// keep printed text above the UI, the frame redraw, face timers on measured time,
// and the loop with its nesting level and no-wait pump.
#include <algorithm>
#include <cstdio>
#include <exception>

#include "interpreter/natives/natives.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/terminal.h"
#include "runtime/base/output.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "view/backend.h"
#include "view/colors.h"
#include "view/event.h"

namespace zol::view::backend {
namespace {

namespace term = platform::terminal;

State the_state;

// The longest wait of a round: timers and redraws are served about 30 times a
// second.
constexpr int ROUND_MS = 33;
// How long the end of the loop waits for the answer to a cursor position request
// still out, so that it never reaches the line editor as typing.
constexpr int REPORT_WAIT_MS = 100;

constexpr const char* MOUSE_ON = "\033[?1000h\033[?1003h\033[?1015h\033[?1006h";
constexpr const char* MOUSE_OFF = "\033[?1000l\033[?1003l\033[?1015l\033[?1006l";

struct Timer {
  int32_t slot;
  uint32_t generation;   // a slot reused by a later widget is not this timer's
  int64_t interval_ms;
  int64_t elapsed_ms = 0;
  bool stopped = false;
};
std::vector<Timer> timers;

void write_raw(const std::string& bytes) {
  if (!bytes.empty()) output::put_raw(bytes.data(), bytes.size());
}

// What undoes the modes switched on now, for every way the process may end.
void update_screen_restore() {
  const State& s = the_state;
  std::string bytes = "\033[0m";
  if (s.mouse_tracking) bytes += MOUSE_OFF;
  if (s.alternate_entered) bytes += "\033[?1049l";
  if (s.cursor_hidden) bytes += "\033[?25h";
  term::set_screen_restore(bytes.data(), s.active ? bytes.size() : 0);
}

// system/view, or nullptr before the View engine made it.
Cell* view_object() {
  Cell* system = context::global_value(symbol::make("system"));
  if (!system || !system->is(T_OBJECT)) return nullptr;
  Cell* view = object::value_of(system, facet("view"));
  return view && view->is(T_OBJECT) ? view : nullptr;
}

void set_screen_size_facet() {
  Cell* view = view_object();
  if (!view) return;
  Cell* screens = object::value_of(view, facet("screens"));
  if (!screens || !screens->is(T_BLOCK) || block::length(screens) < 1) return;
  Cell screen = *block::cell_at(screens, 0);
  if (Cell* size = facet_of(&screen, "size"))
    pair::make_at(size, the_state.screen_width, the_state.screen_height);
}

void query_size() {
  term::WindowSize size = term::window_size();
  the_state.screen_width = size.columns;
  the_state.screen_height = size.rows;
}

bool mouse_wanted() {
  Cell* view = view_object();
  if (!view) return true;
  Cell* platform = object::value_of(view, facet("platform"));
  if (!platform || !platform->is(T_OBJECT)) return true;
  const Cell* on = object::value_of(platform, facet("mouse-event?"));
  return !on || !on->is(T_LOGIC) || on->w1 != 0;
}

void set_mouse(bool on) {
  if (on == the_state.mouse_tracking) return;
  the_state.mouse_tracking = on;
  write_raw(on ? MOUSE_ON : MOUSE_OFF);
  update_screen_restore();
}

void request_cursor_report() {
  write_raw("\033[6n");
  the_state.cursor_report_pending = true;
}

// --- output brackets -----------------------------------------------------------------------

void before_output() {
  State& s = the_state;
  if (!s.active) return;
  std::string bytes;
  screen::close_frame(s.frame, bytes);
  write_raw(bytes);
}

void after_output() {
  State& s = the_state;
  if (!s.active) return;
  s.dirty = true;
  if (!s.full_screen) request_cursor_report();
}

void setup() {
  State& s = the_state;
  if (!s.active && term::input_is_terminal()) {
    term::enter_raw_mode({.no_wait = true});
    query_size();
    set_screen_size_facet();
    s.active = true;
    output::set_brackets({before_output, after_output});
    update_screen_restore();
  }
  if (!s.full_screen) request_cursor_report();
}

void restore() {
  State& s = the_state;
  term::set_screen_restore(nullptr, 0);
  term::restore_mode();
  output::set_brackets({});
  s.active = false;
}

// Drops what input is pending; a cursor position report still out is waited for a
// little, so that it never reaches the line editor as typing.
void drop_pending_input() {
  uint8_t bytes[512];
  bool resized;
  int64_t until = now_ms() + (the_state.cursor_report_pending ? REPORT_WAIT_MS : 0);
  do {
    size_t n = term::wait_input(bytes, sizeof bytes, 0, &resized);
    if (n) take_cursor_reports(bytes, n);
    if (!the_state.cursor_report_pending) break;
    if (!n) platform::sleep_for(5);
  } while (now_ms() < until);
  for (size_t n; (n = term::wait_input(bytes, sizeof bytes, 0, &resized)) > 0;) {
  }
  clear_input();
}

void leave_screen() {
  State& s = the_state;
  std::string bytes;
  if (s.frame.on_screen && !s.full_screen) {
    int below = s.grid.height - 1 - s.frame.cursor_line;
    if (below > 0) {
      char text[24];
      std::snprintf(text, sizeof text, "\033[%dB", below);
      bytes += text;
    }
    bytes += "\r\n";
  }
  write_raw(bytes);
}

void teardown() {
  State& s = the_state;
  if (s.active) {
    leave_screen();
    set_mouse(false);
    if (s.alternate_entered) write_raw("\033[?1049l");
    if (s.cursor_hidden) write_raw("\033[?25h");
    s.alternate_entered = s.cursor_hidden = false;
    drop_pending_input();
    restore();
  }
  destroy_all();
  timers.clear();
  int level = s.colour_level;
  s = State{};
  s.colour_level = level;
}

// --- the frame ----------------------------------------------------------------------------

void adjust_origin() {
  State& s = the_state;
  if (s.full_screen) {
    s.origin_column = s.origin_row = 0;
  } else if (s.origin_row + s.grid.height > s.screen_height) {
    s.origin_row = std::max(0, s.screen_height - s.grid.height);
  }
}

void resize_grid(Widget& window) {
  State& s = the_state;
  int width = std::min(s.screen_width, int(window.extent_right - window.extent_left));
  int height = std::min(s.screen_height, int(window.extent_bottom - window.extent_top));
  if (width != s.grid.width || height != s.grid.height) s.grid.resize(width, height);
}

void set_cursor_hidden(bool hidden) {
  State& s = the_state;
  if (hidden == s.cursor_hidden || !s.active) return;
  s.cursor_hidden = hidden;
  write_raw(hidden ? "\033[?25l" : "\033[?25h");
  update_screen_restore();
}

void redraw() {
  State& s = the_state;
  Widget* window = widget(s.current_window);
  if (!s.dirty || !window || !s.active) return;
  if (s.screen_width <= 0) query_size();
  resize_grid(*window);
  adjust_origin();
  s.grid.clear();
  s.caret_column = s.caret_row = -1;
  draw_tree(*window);
  Widget* focused = widget(window->focused);
  bool caret = focused && (focused->flags & SHOWS_CARET) && (focused->flags & FOCUSED);
  set_cursor_hidden(!caret);
  screen::FlushOptions how{.full_screen = s.full_screen, .caret = caret,
                           .caret_column = s.caret_column, .caret_row = s.caret_row};
  s.out.clear();
  screen::flush(s.grid, how, s.frame, s.out);
  write_raw(s.out);
  s.out.clear();
  s.dirty = false;
}

// --- timers -------------------------------------------------------------------------------

void send_time(int32_t slot, uint32_t generation) {
  Widget* w = widget(slot);
  if (!w || w->generation != generation) return;
  w->ops->handle(*w, event::T_TIME, DispatchPoint{});
  w = widget(slot);
  if (w && w->generation == generation && !(w->flags & DISABLED)) awake(*w, event::T_TIME, {}, 0);
}

void advance_timers(int64_t elapsed) {
  // A callback may add or remove timers: walk by index over a copy of the slots.
  for (size_t i = 0; i < timers.size(); i++) {
    Timer& t = timers[i];
    t.elapsed_ms += elapsed;
    if (t.stopped || t.elapsed_ms < t.interval_ms) continue;
    int32_t slot = t.slot;
    uint32_t generation = t.generation;
    t.elapsed_ms = 0;
    send_time(slot, generation);
  }
}

// How long until the next timer is due, at most a round.
int wait_ms() {
  int64_t wait = ROUND_MS;
  for (const Timer& t : timers)
    if (!t.stopped) wait = std::min(wait, std::max<int64_t>(0, t.interval_ms - t.elapsed_ms));
  if (escape_waiting()) wait = std::min<int64_t>(wait, 10);
  return int(wait);
}

bool is_time(const Cell* c) { return c->is(T_TIME); }

}  // namespace

State& state() { return the_state; }

int64_t now_ms() { return platform::monotonic_ms(); }

void init() {
  std::string colorterm, term_name;
  platform::get_env("COLORTERM", &colorterm);
  platform::get_env("TERM", &term_name);
  the_state.colour_level = colors::support_level(colorterm, term_name);
  init_widgets();
  natives::wait_pump = [] {
    if (!the_state.active) return false;
    do_events(true);
    return true;
  };
}

void mark_dirty(const Widget* in_window) {
  if (!in_window) {
    the_state.dirty = true;
    return;
  }
  Widget* w = const_cast<Widget*>(in_window);
  Widget* window = window_of(*w);
  if (window && slot_of(*window) == the_state.current_window) the_state.dirty = true;
}

int64_t rate_interval(const Cell* rate) {
  if (rate->is(T_INTEGER) && cell::get_int(rate) > 0) return 1000 / cell::get_int(rate);
  if (is_time(rate) && cell::get_double(rate) > 0.0) return int64_t(cell::get_double(rate) * 1000.0);
  Cell value = *rate;
  fire(err::script::INVALID_FACET_TYPE, &value);
}

void add_timer(int32_t slot, const Cell* rate) {
  if (rate->is(T_NONE)) {
    remove_timer(slot);
    return;
  }
  int64_t interval = rate_interval(rate);
  Widget* w = widget(slot);
  timers.push_back(Timer{slot, w ? w->generation : 0, interval});
}

void remove_timer(int32_t slot) {
  for (size_t i = timers.size(); i-- > 0;)
    if (timers[i].slot == slot) {
      timers.erase(timers.begin() + ptrdiff_t(i));
      return;
    }
}

void make_current(int32_t window_slot) {
  State& s = the_state;
  Widget* window = widget(window_slot);
  if (!window) return;
  s.current_window = window_slot;
  Widget* focus = widget(window->focused);
  set_focus(focus ? *focus : *window, *window);
  window = widget(window_slot);
  if (window && window->caret_count == 0) set_cursor_hidden(true);
  s.hover = s.capture = -1;
  s.pressed.clear();
  s.dirty = true;
}

// Never below 0: a window destroyed while no loop runs ends no later loop.
void post_quit() {
  if (the_state.loop_level > 0) the_state.loop_level--;
}

void resize() {
  State& s = the_state;
  query_size();
  set_screen_size_facet();
  if (!s.active) return;
  std::vector<int32_t> windows = s.windows;
  for (int32_t slot : windows) {
    Widget* w = widget(slot);
    if (!w) continue;
    uint32_t generation = w->generation;
    w->ops->handle(*w, event::T_RESIZE, {});
    w = widget(slot);
    if (w && w->generation == generation) awake(*w, event::T_RESIZE, {}, 0);
  }
  s.dirty = true;
  if (s.full_screen) redraw();
}

// An error leaving the loop (a bad rate, a failed widget update) still leaves the
// terminal as it found it.
struct LoopScope {
  bool outermost;
  int level;
  int exceptions = std::uncaught_exceptions();
  ~LoopScope() {
    if (std::uncaught_exceptions() == exceptions) return;
    the_state.loop_level = level;
    if (outermost) teardown();
  }
};

bool do_events(bool no_wait) {
  State& s = the_state;
  // A loop inside a running one (an actor's, or the pump's) is nested; the
  // outermost loop sets the terminal up however many windows it starts with.
  bool nested = no_wait || s.loop_level > 0;
  int level = s.loop_level;
  LoopScope scope{!nested, level};
  if (!no_wait) s.loop_level++;
  if (!nested) {
    setup();
    if (s.active && s.full_screen && !s.alternate_entered) {
      write_raw("\033[?1049h\033[2J");
      s.alternate_entered = true;
      update_screen_restore();
    }
    if (s.active) set_mouse(mouse_wanted());
  } else if (!no_wait) {
    clear_input();
  }
  if (s.current_window < 0 && !s.windows.empty()) make_current(s.windows.back());
  bool any = false;
  int64_t last = now_ms();
  for (;;) {
    uint8_t bytes[4096];
    bool resized = false;
    size_t n = 0;
    int timeout = no_wait ? 0 : wait_ms();
    if (s.active) n = term::wait_input(bytes, sizeof bytes, timeout, &resized);
    else if (timeout > 0) platform::sleep_for(timeout);
    any = n > 0 || resized;
    if (any) process_input(bytes, n, resized);
    if (!any) process_pending(now_ms());
    if (no_wait && !any) break;
    int64_t now = now_ms();
    advance_timers(now - last);
    last = now;
    redraw();
    if (exits::pending) {
      exits::pending = 0;
      s.loop_level--;
    }
    if (no_wait || s.loop_level <= level) break;
  }
  if (!nested) teardown();
  return any;
}

}  // namespace zol::view::backend
