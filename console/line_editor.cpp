// The line editor's key loop, history, completion and display.
//
// The display is drawn with relative cursor moves from the row where the prompt
// starts: positions are counted in cells from column 0 of that row (the prompt
// starts at the column the terminal reports), so a character at position p stands
// on row p / columns and in column p % columns. A wide character that would start
// in the last column goes to the next row, leaving that column empty, as the
// terminal itself places it. `shown_row` is the row, counted from the prompt's, on
// which the terminal's cursor stands between writes.
#include "console/line_editor.h"

#include <string>

#include "interpreter/interpreter.h"
#include "platform/terminal.h"
#include "runtime/base/output.h"
#include "runtime/core/context.h"
#include "runtime/core/exits.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/memory.h"
#include "runtime/text/char_width.h"
#include "runtime/text/unicode.h"

namespace zol::console::editor {
namespace term = platform::terminal;

namespace {

// Key codes: characters are their code points; keys without one are negative.
enum Key : int32_t {
  KEY_FAILED = -1,   // standard input ended or failed
  KEY_NONE = 0,      // a key without a code here
  KEY_CTRL_A = 1, KEY_CTRL_B = 2, KEY_CTRL_C = 3, KEY_CTRL_D = 4, KEY_CTRL_E = 5,
  KEY_CTRL_F = 6, KEY_BACKSPACE_CTRL = 8, KEY_TAB = 9, KEY_CTRL_K = 11, KEY_ENTER = 13,
  KEY_CTRL_N = 14, KEY_CTRL_P = 16, KEY_ESCAPE = 27, KEY_BACKSPACE = 127,
  KEY_UP = -20, KEY_DOWN = -21, KEY_RIGHT = -22, KEY_LEFT = -23, KEY_END = -24,
  KEY_HOME = -25, KEY_INSERT = -26, KEY_DELETE = -27, KEY_PAGE_UP = -28, KEY_PAGE_DOWN = -29,
};

constexpr uint32_t REPLACEMENT = 0xFFFD;
// How long an escape byte waits for the rest of its sequence.
constexpr int SEQUENCE_WAIT_MS = 50;
constexpr int TAB_COLUMNS = 4;

// --- keys --------------------------------------------------------------------------

// The character whose first byte is `lead`: a byte that begins no sequence, or a
// sequence cut short or malformed, is U+FFFD (a byte that does not continue the
// sequence is left for the next character).
uint32_t utf8_char(int lead, int wait_ms) {
  int size = unicode::utf8_char_size(uint8_t(lead));
  if (lead < 0x80) return uint32_t(lead);
  if (size == 0) return REPLACEMENT;
  uint8_t bytes[4] = {uint8_t(lead)};
  for (int i = 1; i < size; i++) {
    int b = term::next_byte(wait_ms);
    if (b < 0) return REPLACEMENT;
    if ((b & 0xC0) != 0x80) {
      term::unread(uint8_t(b));
      return REPLACEMENT;
    }
    bytes[i] = uint8_t(b);
  }
  uint32_t cp = unicode::INVALID;
  unicode::decode_utf8_char(bytes, bytes + size, &cp);
  return cp == unicode::INVALID ? REPLACEMENT : cp;
}

int32_t final_key(int final, uint32_t number) {
  switch (final) {
    case 'A': return KEY_UP;
    case 'B': return KEY_DOWN;
    case 'C': return KEY_RIGHT;
    case 'D': return KEY_LEFT;
    case 'H': return KEY_HOME;
    case 'F': return KEY_END;
    case '~':
      switch (number) {
        case 1: case 7: return KEY_HOME;
        case 4: case 8: return KEY_END;
        case 2: return KEY_INSERT;
        case 3: return KEY_DELETE;
        case 5: return KEY_PAGE_UP;
        case 6: return KEY_PAGE_DOWN;
        default: return KEY_NONE;
      }
    default: return KEY_NONE;
  }
}

// After "ESC[": parameters and intermediates up to the final byte. A sequence not
// named here is swallowed.
int32_t csi_key() {
  uint32_t number = 0;
  bool first = true;
  for (;;) {
    int b = term::next_byte(SEQUENCE_WAIT_MS);
    if (b < 0) return KEY_NONE;
    if (b >= '0' && b <= '9' && first) number = number * 10 + uint32_t(b - '0');
    else if (b == ';') first = false;
    else if (b >= 0x40 && b <= 0x7E) return final_key(b, number);
    else if (b < 0x20 || b > 0x3F) return KEY_NONE;
  }
}

int32_t escape_key() {
  int b = term::next_byte(SEQUENCE_WAIT_MS);
  if (b == '[') return csi_key();
  if (b == 'O') {
    int f = term::next_byte(SEQUENCE_WAIT_MS);
    return f < 0 ? KEY_NONE : final_key(f, 0);
  }
  if (b >= 0) term::unread(uint8_t(b));
  return KEY_ESCAPE;
}

int32_t read_key() {
  int b = term::next_byte(-1);
  if (b < 0) return KEY_FAILED;
  if (b == '\r' || b == '\n') return KEY_ENTER;
  if (b == KEY_ESCAPE) return escape_key();
  return int32_t(utf8_char(b, SEQUENCE_WAIT_MS));
}

// --- the editor's cells ------------------------------------------------------------

// Root block slots: the caller's line and history, and the pending line that a
// completion with several candidates leaves for the next edit.
enum Slot { LINE, HISTORY, PENDING, SLOTS };
int32_t root_slot = -1;

Cell* slot(Slot s) { return memory::buffer_of(runtime::root_block)->cells() + root_slot + s; }

std::u32string text_of(const Cell* s, int32_t from) {
  std::u32string text;
  int32_t end = string::buffer_length(s);
  for (int32_t i = from; i < end; i++) text += char32_t(string::char_at(s, i));
  return text;
}

// Replaces the string's whole text and sets its index.
void set_text(Slot s, const std::u32string& text, size_t index) {
  string::reset(slot(s));
  for (char32_t c : text) string::append_char(memory::buffer_of(series_cell::node(slot(s))), c);
  series_cell::set_head(slot(s), int32_t(index));
}

// --- display -----------------------------------------------------------------------

struct Edit {
  std::u32string line;
  size_t cursor = 0;
  std::string prompt;    // UTF-8, escape sequences included
  bool hidden = false;
  int history_position = -1;
  int history_count = 0;

  int columns = term::DEFAULT_COLUMNS;
  int start_column = 0;
  int shown_row = 0;
  int shown_column = 0;
  int end = 0;           // position after the line's last character
};

Edit edit_state;

int width_of(char32_t c) { return c == '\t' ? TAB_COLUMNS : unicode::char_width(c); }

// Advances a position over one character of width w.
int advance(int pos, int w, int columns) {
  if (w == 2 && pos % columns == columns - 1) pos++;
  return pos + w;
}

// The prompt's position after it, skipping its escape sequences: an escape
// character followed by "[" or "(" takes that character and every one after it up
// to the first that is neither a digit nor ";".
int measure_prompt(const Edit& e) {
  int pos = e.start_column;
  const std::string& p = e.prompt;
  for (size_t i = 0; i < p.size();) {
    if (p[i] == 27 && i + 1 < p.size() && (p[i + 1] == '[' || p[i + 1] == '(')) {
      i += 2;
      while (i < p.size() && ((p[i] >= '0' && p[i] <= '9') || p[i] == ';')) i++;
      if (i < p.size()) i++;
      continue;
    }
    uint32_t cp = unicode::INVALID;
    const uint8_t* at = reinterpret_cast<const uint8_t*>(p.data()) + i;
    const uint8_t* next = unicode::decode_utf8_char(at, at + (p.size() - i), &cp);
    i += size_t(next - at);
    if (cp != unicode::INVALID) pos = advance(pos, width_of(char32_t(cp)), e.columns);
  }
  return pos;
}

void append_shown(std::string& out, char32_t c, bool hidden) {
  if (hidden) {
    out += '*';
    return;
  }
  if (c == '\t') {
    out.append(size_t(TAB_COLUMNS), ' ');
    return;
  }
  uint8_t bytes[4];
  int n = unicode::cp_to_utf8(c, bytes);
  out.append(reinterpret_cast<const char*>(bytes), size_t(n));
}

int shown_width(char32_t c, bool hidden) { return hidden ? 1 : width_of(c); }

// Position of the line's character at `index` (its start, as the terminal places it).
int position_of(const Edit& e, size_t index) {
  int pos = measure_prompt(e);
  for (size_t i = 0; i < index && i < e.line.size(); i++)
    pos = advance(pos, shown_width(e.line[i], e.hidden), e.columns);
  return pos;
}

// Where the cursor stands: before the character at the cursor, moved to the next
// row when that character is wide and would start in the last column.
int cursor_position(const Edit& e) {
  int pos = position_of(e, e.cursor);
  if (e.cursor < e.line.size() && shown_width(e.line[e.cursor], e.hidden) == 2 &&
      pos % e.columns == e.columns - 1)
    pos++;
  return pos;
}

void move_rows(std::string& out, int rows) {
  if (rows > 0) out += "\x1b[" + std::to_string(rows) + "B";
  if (rows < 0) out += "\x1b[" + std::to_string(-rows) + "A";
}

// Moves the terminal's cursor to a position.
void place(Edit& e, std::string& out, int pos) {
  int row = pos / e.columns;
  int column = pos % e.columns;
  if (row == e.shown_row && column == e.shown_column) return;
  move_rows(out, row - e.shown_row);
  out += '\r';
  if (column > 0) out += "\x1b[" + std::to_string(column) + "C";
  e.shown_row = row;
  e.shown_column = column;
}

// After text that ends at `end`: a line that fills its last row exactly leaves the
// terminal's cursor waiting in the last column, so a line feed takes it to the
// next row, where the cursor can stand.
void settle_after_write(Edit& e, std::string& out) {
  e.end = position_of(e, e.line.size());
  if (e.end > 0 && e.end % e.columns == 0) out += '\n';
  e.shown_row = e.end / e.columns;
  e.shown_column = e.end % e.columns;
}

void write_out(const std::string& out) { output::put_raw(out.data(), out.size()); }

// Redraws the prompt and the line from the prompt's start and places the cursor.
void refresh(Edit& e) {
  std::string out;
  move_rows(out, -e.shown_row);
  out += '\r';
  if (e.start_column > 0) out += "\x1b[" + std::to_string(e.start_column) + "C";
  out += "\x1b[J";
  e.shown_row = 0;
  output::translate(e.prompt.data(), e.prompt.size(), out);
  for (char32_t c : e.line) append_shown(out, c, e.hidden);
  settle_after_write(e, out);
  place(e, out, cursor_position(e));
  write_out(out);
}

// Only moves the cursor.
void place_cursor(Edit& e) {
  std::string out;
  place(e, out, cursor_position(e));
  write_out(out);
}

// A character typed at the end of the line is written alone.
void echo_at_end(Edit& e, char32_t c) {
  std::string out;
  append_shown(out, c, e.hidden);
  settle_after_write(e, out);
  place(e, out, cursor_position(e));
  write_out(out);
}

void erase_below(Edit& e) {
  place_cursor(e);
  write_out("\x1b[J");
}

// Puts the cursor at column 0 of the line's last row.
void goto_last_row(Edit& e) {
  std::string out;
  place(e, out, (e.end / e.columns) * e.columns);
  write_out(out);
}

// --- history -----------------------------------------------------------------------

std::u32string history_entry(int position) {
  Cell* entry = block::cell_at(slot(HISTORY), position);
  return entry->is(T_STRING) ? text_of(entry, string::head_index(entry)) : std::u32string();
}

void show_history(Edit& e, int position) {
  e.line = history_entry(position);
  e.cursor = e.line.size();
}

void history_back(Edit& e) {
  if (e.history_position < e.history_count - 1) show_history(e, ++e.history_position);
  else e.line.clear(), e.cursor = 0;
}

void history_forward(Edit& e) {
  if (e.history_position >= 0) show_history(e, e.history_position--);
  else e.line.clear(), e.cursor = 0;
}

// The line's string itself goes to the head of the history, unless the line is
// hidden, empty, or the same as the newest entry (letter case counting).
void add_history(const Edit& e) {
  series_cell::set_head(slot(LINE), 0);
  if (e.hidden || e.line.empty()) return;
  if (block::length(slot(HISTORY)) > 0 && history_entry(0) == e.line) return;
  Cell line = *slot(LINE);
  block::insert_value(slot(HISTORY), &line, false, false);
}

// --- completion --------------------------------------------------------------------

// The strings that `complete-input` offers for the line at the cursor, in a block;
// an empty block when that word holds no function or it fails.
Cell candidates(const Edit& e) {
  Cell result;
  block::make_at(&result, 0);
  Cell word = word::load("complete-input");
  if (!context::get(&word)->is(T_FUNCTION)) return result;
  Cell text;
  string::make_at(&text, uint32_t(e.line.size()) + 1);
  for (char32_t c : e.line) string::append_char(memory::buffer_of(series_cell::node(&text)), c);
  series_cell::set_head(&text, int32_t(e.cursor));
  Cell call;
  block::make_at(&call, 3);
  block::append(&call, &word);
  block::append(&call, &text);
  Cell yes = values::logic(true);
  block::append(&call, &yes);
  Cell answer = values::none;
  if (stack::try_run([&] { answer = interpreter::do_block(&call); }) && answer.is(T_BLOCK))
    result = answer;
  return result;
}

// Runs completion for a Tab; answers the number of candidates.
int complete(Edit& e) {
  Cell found = candidates(e);
  int n = block::length(&found);
  if (n == 0) return 0;
  set_text(PENDING, e.line, e.cursor);
  e.line.clear();
  e.cursor = 0;
  int32_t head = series_cell::head(&found);
  Cell first = *block::cell_at(&found, head);
  if (n == 1) {
    e.line = text_of(&first, 0);
    e.cursor = size_t(string::head_index(&first));
  } else {
    set_text(PENDING, text_of(&first, 0), size_t(string::head_index(&first)));
    for (int i = 1; i < n; i++) {
      e.line += text_of(block::cell_at(&found, head + i), 0);
      e.line += U' ';
    }
    e.cursor = e.line.size();
  }
  refresh(e);
  return n;
}

// --- the key loop ------------------------------------------------------------------

enum class Outcome { GO_ON, DONE };

void insert(Edit& e, char32_t c) {
  if (e.cursor == e.line.size()) {
    e.line += c;
    e.cursor++;
    echo_at_end(e, c);
    return;
  }
  e.line.insert(e.cursor++, 1, c);
  refresh(e);
}

Outcome backspace(Edit& e) {
  if (e.cursor == 0) return Outcome::GO_ON;
  e.line.erase(--e.cursor, 1);
  if (e.cursor == e.line.size()) {
    e.end = position_of(e, e.line.size());
    erase_below(e);
  } else {
    refresh(e);
  }
  return Outcome::GO_ON;
}

// The edit ends below the line, so that what follows does not write over it.
Outcome quit_line(Edit& e) {
  goto_last_row(e);
  e.line = U"q";
  e.cursor = 0;
  return Outcome::DONE;
}

Outcome act(Edit& e, int32_t key) {
  switch (key) {
    case KEY_ENTER:
      goto_last_row(e);
      add_history(e);
      set_text(PENDING, U"", 0);
      e.cursor = 0;
      return Outcome::DONE;
    case KEY_BACKSPACE: case KEY_BACKSPACE_CTRL:
      return backspace(e);
    case KEY_LEFT: case KEY_CTRL_B:
      if (e.cursor > 0) e.cursor--, place_cursor(e);
      return Outcome::GO_ON;
    case KEY_RIGHT: case KEY_CTRL_F:
      if (e.cursor < e.line.size()) e.cursor++, place_cursor(e);
      return Outcome::GO_ON;
    case KEY_DOWN: case KEY_CTRL_N:
      history_forward(e);
      break;
    case KEY_UP: case KEY_CTRL_P:
      history_back(e);
      break;
    case KEY_HOME: case KEY_CTRL_A:
      e.cursor = 0;
      break;
    case KEY_END: case KEY_CTRL_E:
      e.cursor = e.line.size();
      break;
    case KEY_DELETE:
      if (e.cursor == e.line.size()) return Outcome::GO_ON;
      e.line.erase(e.cursor, 1);
      break;
    case KEY_CTRL_K:
      if (e.cursor == e.line.size()) return Outcome::GO_ON;
      e.line.erase(e.cursor);
      break;
    case KEY_CTRL_D:
      if (e.line.empty()) return quit_line(e);
      if (e.cursor == e.line.size()) return Outcome::GO_ON;
      e.line.erase(e.cursor, 1);
      break;
    case KEY_CTRL_C:
    case KEY_FAILED:   // a terminal that is gone ends the console as Ctrl+C does
      return quit_line(e);
    case KEY_ESCAPE:
      goto_last_row(e);
      set_text(PENDING, U"", 0);
      e.line += char32_t(KEY_ESCAPE);
      return Outcome::DONE;
    default:
      if (key == KEY_TAB || key > 31) insert(e, char32_t(key));
      return Outcome::GO_ON;
  }
  refresh(e);
  return Outcome::GO_ON;
}

void start(Edit& e, const Cell* prompt, bool hidden) {
  e = Edit{};
  e.prompt = string::to_utf8(prompt);
  e.hidden = hidden;
  series_cell::set_head(slot(HISTORY), 0);
  e.history_count = block::length(slot(HISTORY));
  e.columns = term::columns();
  e.start_column = term::cursor_column() % e.columns;
  Cell* pending = slot(PENDING);
  if (string::buffer_length(pending) > 0) {
    e.line = text_of(pending, 0);
    e.cursor = size_t(string::head_index(pending));
  }
  refresh(e);
}

void edit_line(Edit& e) {
  for (;;) {
    int32_t key = read_key();
    int columns = term::columns();
    if (columns != e.columns) {
      e.columns = columns;
      refresh(e);
    }
    if (key == KEY_TAB) {
      int n = complete(e);
      if (n > 1) {
        e.line.clear();
        e.cursor = 0;
        return;
      }
      if (n == 1) continue;
    }
    if (act(e, key) == Outcome::DONE) return;
  }
}

// Raw mode ends however the edit ends.
struct RawModeScope {
  ~RawModeScope() { term::restore_mode(); }
};

// --- the routines ------------------------------------------------------------------

const Cell* set_buffer_history(Cell* const* args) {
  setup(args[0], args[1]);
  return nullptr;
}

const Cell* read_input(Cell* const* args) {
  edit(args[0], args[1]->is(T_LOGIC) && logic::get(args[1]));
  return nullptr;
}

const Cell* terminate_console(Cell* const*) { return nullptr; }

// A routine's result, copied into its frame as soon as the routine returns; what
// it names is held on the native stack until then.
Cell routine_result;

const Cell* input_stdin(Cell* const*) {
  Cell line;
  string::make_at(&line, 256);
  stdin_readline(&line);
  routine_result = line;
  return &routine_result;
}

const Cell* read_stdin(Cell* const* args) {
  Cell* buffer = args[0];
  int32_t size = cell::get_int(args[1]);
  if (!buffer->is(T_BINARY) || size <= 0) return nullptr;
  SeriesBuffer* b = memory::buffer_of(series_cell::node(buffer));
  uint32_t at = b->offset + uint32_t(string::head_index(buffer));
  if (b->size < at + uint32_t(size)) return nullptr;   // no room as promised
  size_t n = term::read_bytes(b->data() + at, size_t(size));
  b->tail = at + uint32_t(n);
  return nullptr;
}

// Sets the title and answers the console's size: the window's when both ends are
// a terminal, else 80x50, the size piped input works with.
const Cell* init_console(Cell* const* args) {
  term::set_title(string::to_utf8(args[0]).c_str());
  init();
  term::WindowSize size{80, 50};
  if (interactive()) size = term::window_size();
  pair::make_at(&(routine_result = Cell{}), size.columns, size.rows);
  return &routine_result;
}

const Cell* input_ended_routine(Cell* const*) {
  routine_result = values::logic(input_ended());
  return &routine_result;
}

}  // namespace

void init() {
  if (root_slot >= 0) return;
  root_slot = int32_t(memory::buffer_of(runtime::root_block)->length());
  Cell empty_line, empty_history, pending;
  string::make_at(&empty_line, 1);
  *memory::alloc_tail_cell(runtime::root_block) = empty_line;
  block::make_at(&empty_history, 1);
  *memory::alloc_tail_cell(runtime::root_block) = empty_history;
  string::make_at(&pending, 1);
  *memory::alloc_tail_cell(runtime::root_block) = pending;
}

bool interactive() { return term::input_is_terminal() && output::console_mode(); }

void setup(const Cell* line, const Cell* history) {
  init();
  *slot(LINE) = *line;
  *slot(HISTORY) = *history;
  if (interactive()) term::enter_raw_mode();
}

void edit(const Cell* prompt, bool hidden) {
  if (!interactive()) {
    stdin_readline(slot(LINE));
    return;
  }
  RawModeScope raw;
  Edit& e = edit_state;
  start(e, prompt, hidden);
  edit_line(e);
  set_text(LINE, e.line, e.cursor);
  term::restore_mode();
  output::put("", 0, true);
}

bool stdin_readline(Cell* line) {
  if (input_ended()) {
    string::concatenate_literal(line, "q");
    return false;
  }
  bool any = false;
  for (;;) {
    int b = term::next_byte(-1);
    if (b < 0) break;
    if (b == '\n') return true;
    any = true;
    uint32_t c = utf8_char(b, -1);
    string::append_char(memory::buffer_of(series_cell::node(line)), c);
  }
  if (!any) string::concatenate_literal(line, "q");
  return any;
}

bool input_ended() { return term::input_ended(); }

std::string read_line(const Cell* history, const std::string& prompt, bool hidden) {
  Cell line, shown;
  string::make_at(&line, 64);
  string::make_at(&shown, uint32_t(prompt.size()) + 1);
  string::concatenate_literal_part(&shown, prompt.data(), uint32_t(prompt.size()));
  setup(&line, history);
  edit(&shown, hidden);
  return string::to_utf8(&line);
}

void register_routines() {
  static bool done = false;
  if (done) return;
  done = true;
  routine::add_entry("_set-buffer-history", set_buffer_history, 2);
  routine::add_entry("_read-input", read_input, 2);
  routine::add_entry("_terminate-console", terminate_console, 0);
  routine::add_entry("input-stdin", input_stdin, 0);
  routine::add_entry("read-stdin", read_stdin, 2);
  routine::add_entry("console-init", init_console, 1);
  routine::add_entry("_input-ended?", input_ended_routine, 0);
}

}  // namespace zol::console::editor
