// The terminal UI engine's backend: the widget records behind shown faces, the
// terminal mode and event loop, input dispatch, and the screen frames. The routines
// of the platform object (routines.cpp) reach it through these functions.
//
// No cell holds an address: a face's handle! names its widget by slot index (bits
// 0-11) and generation (bits 12-31), so a handle kept past its widget's destroy
// finds nothing. Widget records keep their face cells (and text overrides) in C++;
// a registered marking callback marks them by value, which also pins them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/cell.h"
#include "view/screen.h"

namespace zol::view::backend {

// Widget flag bits.
enum WidgetFlag : uint32_t {
  SIZE_PAIR = 0x10000, HIDDEN = 0x20000, DISABLED = 0x40000, ALL_OVER = 0x100000,
  SHOWS_CARET = 0x200000, FOCUSABLE = 0x400000, POINTER_AWAY = 0x1000000,
  FOCUSED = 0x2000000, PASSWORD = 0x10000000, FULL_SCREEN = 0x40000000,
  CARET_CHILD = 0x80000000,
  DESTROYING = 0x8000,   // set while its tree is being destroyed
};

// Face flag bits (gui/get-flags).
enum FaceFlag : uint32_t {
  F_ALL_OVER = 0x1, F_FOCUSABLE = 0x2, F_TRI_STATE = 0x20000, F_SCROLLABLE = 0x40000,
  F_PASSWORD = 0x80000, F_NO_SYNC = 0x100000, F_FULLSCREEN = 0x200000, F_POPUP = 0x1000000,
  F_MODAL = 0x2000000, F_RESIZE = 0x4000000, F_NO_BUTTONS = 0x8000000, F_NO_MAX = 0x10000000,
  F_NO_MIN = 0x20000000, F_NO_TITLE = 0x40000000, F_NO_BORDER = 0x80000000,
};

struct Widget;

// A point relative to a widget, with the key field and wheel step of an event.
struct DispatchPoint {
  float x = 0, y = 0;
  int32_t key = 0;
  float wheel = 0;
};

// What a widget does, chosen by its face's type.
struct Ops {
  void (*update)(Widget& w);
  void (*draw)(Widget& w, int x, int y, const screen::Clip& visible);
  int (*handle)(Widget& w, uint32_t type, const DispatchPoint& at);
};

struct Widget {
  uint32_t generation = 1;
  bool live = false;
  uint32_t type = 0;            // symbol of the face's type word
  uint32_t flags = 0;
  float left = 0, top = 0, right = 0, bottom = 0;   // cells, relative to the parent
  int32_t parent = -1;          // slot of the parent widget; -1 for a window
  int32_t data = 0;             // type data: a text list's first visible entry
  // A field's edit state: the cursor as a character index and as a column, and
  // the width of the whole text in columns (a field never scrolls, so the text
  // must fit its width).
  struct FieldState {
    int32_t cursor = 0;
    int cursor_column = 0, text_width = 0;
  } field;
  // An image face's picture, resampled to one screen cell per two pixel rows:
  // row-major, image_columns cells a row (empty without an image!).
  std::vector<screen::Cell> image_cells;
  int image_columns = 0;
  // A rich-text face's styled run array: one screen cell per character of its
  // text from the head, in order. A cell's `ch` is the code point (a newline
  // starts the next row), `bg` and `fg` are terminal colour values (colors.h; 0
  // is the terminal's own colour) and `attr` the screen attribute bits
  // (screen::Attr). Styles are applied by rewriting the cells of a range.
  std::vector<screen::Cell> runs;
  Cell text_override{};         // a string drawn instead of the face's text, or empty
  Cell face{};                  // the face's object cell; empty without a face
  const Ops* ops = nullptr;
  // Windows only: the content extent, the focused widget and the caret count.
  float extent_left = 0, extent_top = 0, extent_right = 0, extent_bottom = 0;
  int32_t focused = -1;
  int caret_count = 0;
};

// --- widgets (widgets.cpp) ---------------------------------------------------------------

void init_widgets();             // registers the marking of widget cells
Widget* widget(int32_t slot);
int32_t slot_of(const Widget& w);
uint32_t handle_value(const Widget& w);
// The widget a face's state names, or nullptr.
Widget* face_widget(const Cell* face);
Widget* widget_of_handle(const Cell* handle);
uint32_t face_flags(const Cell* face);   // raises invalid-arg for an unknown word
Cell make_view(Cell* face, const Cell* parent_handle);
void destroy(const Cell* face);
void update_face(const Cell* face);
Widget* window_of(Widget& w);
// Absolute position of a widget within its window.
void absolute(const Widget& w, float* x, float* y);
void draw_tree(Widget& window);
void destroy_all();
// Facet symbols, interned on first use.
uint32_t facet(const char* name);
Cell* facet_of(const Cell* face, const char* name);
bool is_type(const Widget& w, const char* type_word);
uint32_t colour_of(const Cell* tuple);          // none or a non-tuple: the default
std::u32string text_of(const Cell* string);      // from the head; empty for a non-string
// A tuple as a terminal colour at a colour support level (three components are
// opaque); the default colour for anything else.
uint32_t tuple_colour(const Cell* c, int level);
// The widest line's columns and the number of lines, for alignment.
void measure(const std::u32string& text, int* columns, int* lines);
// The face's para as bits: right 1, center 2, middle 4, bottom 8, wrap 32.
uint32_t alignment_of(const Cell* face);

// Paint flags: screen attribute bits, plus these.
enum PaintFlag : uint32_t { PAINT_ESCAPES = 0x1000, PAINT_NO_TEXT = 0x2000 };
// The default painting of a face at (x, y): its colour, image cells, text
// override, and its text (or dimmed hint) placed by its para.
void paint_face(Widget& w, int x, int y, const screen::Clip& visible, uint32_t paint_flags);

// --- widget types (widget_types.cpp) -------------------------------------------------------

// The operations of a face type, and its set-up (run once the record holds its
// face, before the parent's window counts it).
const Ops* ops_for_type(const Widget& w);
void set_up_type(Widget& w);
// Rebuilds an image face's cells from its `image` facet at the colour level.
void build_image_cells(Widget& w);

// --- the loop (loop.cpp) ------------------------------------------------------------------

struct State {
  bool active = false;          // the terminal is set up for the UI
  bool full_screen = false;
  bool alternate_entered = false;
  bool cursor_hidden = false;
  bool mouse_tracking = false;
  int loop_level = 0;
  int screen_width = 0, screen_height = 0;
  int origin_column = 0, origin_row = 0;
  bool dirty = false;
  bool cursor_report_pending = false;
  int colour_level = 1;
  int32_t current_window = -1;
  int32_t hover = -1, capture = -1;
  float hover_x = 0, hover_y = 0;
  std::vector<int32_t> pressed;
  std::vector<int32_t> windows;  // window widgets in creation order
  int click_state = 0;           // 0 none, 2 one click seen, 10 double click sent
  int64_t click_ms = 0;          // monotonic time of the last release
  bool last_released = true;     // the mouse's last report was a release
  screen::Grid grid;
  screen::FrameState frame;
  int caret_column = -1, caret_row = -1;
  std::string out;               // the frame's bytes
};
State& state();

void init();                     // gui/init
bool do_events(bool no_wait);    // gui/do-events
void post_quit();                // gui/post-quit-msg
void mark_dirty(const Widget* in_window = nullptr);
int64_t now_ms();
// A rate's interval in milliseconds; raises invalid-facet-type for a bad rate.
int64_t rate_interval(const Cell* rate);
void add_timer(int32_t slot, const Cell* rate);
void remove_timer(int32_t slot);
void make_current(int32_t window_slot);

// --- dispatch (dispatch.cpp) ---------------------------------------------------------------

// Hands an event to a widget: its own handler, then the faces through awake.
// Answers 1 when an actor answered `done`.
int send_to_widget(Widget& w, uint32_t type, const DispatchPoint& at, uint32_t flags);
int awake(Widget& w, uint32_t type, const DispatchPoint& at, uint32_t flags);
void set_focus(Widget& w, Widget& window);
void process_input(const uint8_t* bytes, size_t n, bool resized);
void process_pending(int64_t now);
// Decodes input only for cursor position reports; anything else is dropped.
void take_cursor_reports(const uint8_t* bytes, size_t n);
bool escape_waiting();
void clear_input();
void resize();

}  // namespace zol::view::backend
