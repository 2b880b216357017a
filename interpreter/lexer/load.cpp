// The lexer's load layer (see load.h): the cell stack, the scan loop that
// drives the scanner and the loaders, folding, tracing, and the load entries and
// conversions built on them.
#include "interpreter/lexer/load.h"

#include <algorithm>
#include <cstring>

#include "interpreter/lexer/loaders.h"
#include "interpreter/lexer/scan.h"
#include "runtime/collector/collector.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/core/root.h"
#include "runtime/base/system.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"

namespace zol::lexer {
namespace {

// --- the cell stack ------------------------------------------------------------------------
//
// The series' tail is the stack's top, so the collector walks exactly the cells in
// use. Its buffer moves when it doubles (and may move in a collection while a
// tracer runs): every access re-reads it from the node. A marker cell (triple!,
// which holds no reference):
//   word 1  the cells of the enclosing frame before the marker (its start is the
//           marker's index minus this)
//   word 2  the type of the value being built
//   word 3  the byte offset of the opening text

constexpr int32_t STACK_CELLS = 1000;
NodeRef stack_node = 0;

SeriesBuffer* stack_buffer() { return memory::buffer_of(stack_node); }
uint32_t stack_top() { return stack_buffer()->length(); }
Cell* stack_at(uint32_t index) { return stack_buffer()->cells() + index; }

void stack_push(const Cell& c) {
  SeriesBuffer* b = stack_buffer();
  if (b->tail + sizeof(Cell) > b->size) b = memory::expand_series_copy(b, 0);
  std::memcpy(b->tail_ptr(), &c, sizeof(Cell));
  b->tail += sizeof(Cell);
}

void stack_cut(uint32_t top) { stack_buffer()->tail = stack_buffer()->offset + top * sizeof(Cell); }

// A new series of cells holding a copy of stack cells [first, first + count).
NodeRef copy_cells(uint32_t first, uint32_t count) {
  NodeRef node = memory::alloc_cells(count < 1 ? 1 : count);   // may collect
  SeriesBuffer* b = memory::buffer_of(node);
  std::memcpy(b->head(), stack_at(first), size_t(count) * sizeof(Cell));
  b->tail = b->offset + count * uint32_t(sizeof(Cell));
  return node;
}

// --- the UTF-8 scratch area ----------------------------------------------------------------
//
// Scans of a string! take their UTF-8 text from here, as a stack: a scan started
// during another takes the room above it. Text that does not fit gets a buffer of
// its own for the call.

constexpr uint32_t SCRATCH_BYTES = 100000;
uint8_t* scratch = nullptr;
uint32_t scratch_top = 0;

class Utf8Text {
 public:
  explicit Utf8Text(const Cell* text) : saved_top_(scratch_top) {
    uint32_t unit = memory::buffer_of(series_cell::node(text))->unit();
    uint64_t need = uint64_t(string::length(text)) * (unit == 4 ? 4 : unit + 1) + 1;
    own_ = need > SCRATCH_BYTES - scratch_top;
    bytes_ = own_ ? static_cast<uint8_t*>(system::allocate(size_t(need))) : scratch + scratch_top;
    length_ = unicode::to_utf8_buffer(text, bytes_, -1, true);
    if (!own_) scratch_top += length_ + 1;
  }
  ~Utf8Text() {
    if (own_) system::free(bytes_);
    scratch_top = saved_top_;
  }
  Utf8Text(const Utf8Text&) = delete;
  Utf8Text& operator=(const Utf8Text&) = delete;

  const uint8_t* bytes() const { return bytes_; }
  uint32_t length() const { return length_; }

 private:
  uint32_t saved_top_;
  bool own_;
  uint8_t* bytes_;
  uint32_t length_;
};

// --- one scan ------------------------------------------------------------------------------

// Holds the collector off while a scan runs: what a scan allocates stays reachable
// from its cell stack until it ends (the stack's own abandoned buffers aside). A
// tracer runs with the collector as it was before the scan.
using CollectorPause = collector::Pause;

bool folds_quietly(uint8_t type) { return type == T_BLOCK || type == T_PAREN; }

uint8_t opened_type(const Token& t) {
  switch (t.kind) {
    case K_BLOCK_OPEN: return T_BLOCK;
    case K_PAREN_OPEN: return T_PAREN;
    case K_MAP_OPEN: return T_MAP;
    case K_PATH_OPEN: return t.type;
    default: return T_STRING;   // a braced or raw string
  }
}

class Scan {
 public:
  Scan(const uint8_t* text, uint32_t length, const Request& request)
      : scanner_(text, length, Options{!request.load}),
        text_(text),
        request_(request),
        strict_(request.strict && request.load && request.wrap),
        keep_(request.wrap && request.load),
        head_(stack_top()),
        frame_(head_) {}
  // The scan's cells go, however it ends (a raised error included).
  ~Scan() { stack_cut(head_); }
  Scan(const Scan&) = delete;
  Scan& operator=(const Scan&) = delete;

  // Runs the scan; answers whether the result is to be built (not ended by a tracer).
  bool run();
  void deliver(Cell* destination) const;
  int type() const { return type_; }
  uint32_t consumed() const { return consumed_; }

 private:
  enum class Step { GO_ON, STOP, END };

  Step step(const Token& t);
  Step value(const Token& t);
  Step error(const Token& e);
  Reply report(Event event, uint8_t type, uint32_t line, uint32_t start, uint32_t end,
               const Cell* value = nullptr) const;
  void open(const Token& t, uint8_t type);
  void close(const Token& t);
  void fold(uint8_t type);
  void fold_map();
  void drop_innermost();
  void push(const Token& t, Cell v);
  bool at_top_level() const { return scanner_.depth() == 0 && !scanner_.in_path(); }

  CollectorPause pause_;
  Scanner scanner_;
  const uint8_t* text_;
  const Request& request_;
  const bool strict_;
  const bool keep_;       // the values are kept: forms not built yet raise
  const uint32_t head_;   // the first stack cell of this scan
  uint32_t frame_;        // the first cell after the innermost open marker
  int type_ = 0;
  uint32_t consumed_ = 0;
  bool missing_at_end_ = false;
};

bool Scan::run() {
  for (;;) {
    Token t = scanner_.next();
    Step s = step(t);
    if (s == Step::END) return false;
    if (t.kind != K_ERROR) consumed_ = t.end;
    if (s == Step::STOP || t.kind == K_END) return true;
    if (request_.one && t.type > 0 && at_top_level()) return true;
  }
}

Scan::Step Scan::step(const Token& t) {
  type_ = t.type;
  switch (t.kind) {
    case K_END: case K_COMMENT: case K_COMMA:
      return Step::GO_ON;
    case K_ERROR:
      return error(t);
    case K_BLOCK_OPEN: case K_PAREN_OPEN: case K_MAP_OPEN: case K_PATH_OPEN:
      if (report(EV_OPEN, opened_type(t), t.line, t.start, t.end) == Reply::END) return Step::END;
      open(t, opened_type(t));
      return Step::GO_ON;
    case K_BLOCK_CLOSE: case K_PAREN_CLOSE: case K_PATH_CLOSE: {
      uint8_t closed = t.type == T_POINT3D ? uint8_t(T_POINT2D) : t.type;
      if (report(EV_CLOSE, closed, t.line, t.start, t.end) == Reply::END) return Step::END;
      close(t);
      return Step::GO_ON;
    }
    case K_BRACED_STRING: case K_RAW_STRING: {
      if (report(EV_OPEN, T_STRING, t.line, t.start, t.body_start) == Reply::END) return Step::END;
      Step s = value(t);
      if (s == Step::GO_ON && report(EV_CLOSE, T_STRING, t.line, t.body_end, t.end) == Reply::END)
        return Step::END;
      return s;
    }
    default:
      return value(t);
  }
}

// A tracer may skip the token before it is loaded, or drop the value after.
Scan::Step Scan::value(const Token& t) {
  Reply delimited = report(EV_PRESCAN, t.type, t.line, t.start, t.end);
  if (delimited == Reply::END) return Step::END;
  if (!request_.load || delimited == Reply::NO) return Step::GO_ON;
  Reply loading = report(EV_SCAN, t.type, t.line, t.start, t.end);
  if (loading == Reply::END) return Step::END;
  if (loading == Reply::NO) return Step::GO_ON;
  Cell v{};
  int problem = loader_of(t.kind)(text_, t, &v);
  if (problem == NOT_BUILT && keep_) scanner_.raise_not_built(t, v.type());
  if (problem > 0) return error(scanner_.error_in(t, problem));
  type_ = v.type();
  push(t, v);
  Reply loaded = report(EV_LOAD, v.type(), t.line, t.start, t.end, &v);
  if (loaded == Reply::END) return Step::END;
  if (loaded == Reply::NO) stack_cut(stack_top() - 1);
  return Step::GO_ON;
}

void Scan::push(const Token& t, Cell v) {
  cell::set_new_line(&v, (t.flags & TOKEN_NEW_LINE) != 0);
  stack_push(v);
}

Reply Scan::report(Event event, uint8_t type, uint32_t line, uint32_t start, uint32_t end,
                   const Cell* value) const {
  const Tracer* tracer = request_.tracer;
  if (!tracer || !(tracer->mask & event)) return Reply::YES;
  int paused = collector::enabled;
  collector::enabled = pause_.before();
  Reply reply = tracer->call(tracer->context, TraceEvent{event, type, line, start, end, value});
  collector::enabled = paused;
  return reply;
}

// An opener pushes its marker; a path's head word follows it at once.
void Scan::open(const Token& t, uint8_t type) {
  if (!request_.load) return;
  uint32_t top = stack_top();
  push(t, Cell{T_TRIPLE, top - frame_, type, t.start});
  frame_ = top + 1;
  if (t.kind == K_PATH_OPEN) {
    Cell head;
    load_path_head(text_, t, &head);
    stack_push(head);
  }
}

void Scan::close(const Token& t) {
  if (!request_.load) return;
  uint8_t type = t.type;
  if (type == T_MAP && keep_) return fold_map();
  if (type == T_MAP || type == T_POINT2D || type == T_POINT3D) {
    if (keep_) scanner_.raise_not_built(t, type);
    type = T_BLOCK;   // checked only: the value goes with the scan
  }
  fold(type);
}

// The cells of the innermost frame become a value of `type` in its marker's place.
void Scan::fold(uint8_t type) {
  uint32_t marker = frame_ - 1;
  uint32_t count = stack_top() - frame_;
  NodeRef node = copy_cells(frame_, count);
  Cell* m = stack_at(marker);
  frame_ = marker - m->w1;
  cell::set(m, (m->header & HEADER_NEW_LINE) | type, 0, node, 0);
  stack_cut(marker + 1);
}

// A map literal's pairs (the scanner checked their count and key types) are folded
// into a block that the map then indexes.
void Scan::fold_map() {
  uint32_t marker = frame_ - 1;
  fold(T_BLOCK);
  Cell pairs = *stack_at(marker);
  map::make_over(stack_at(marker), &pairs);
}

// A quiet error abandons what is open: blocks and parens are closed as they stand,
// paths, maps and points are dropped with what they hold.
void Scan::drop_innermost() {
  uint32_t marker = frame_ - 1;
  frame_ = marker - stack_at(marker)->w1;
  stack_cut(marker);
}

Scan::Step Scan::error(const Token& e) {
  uint8_t type = e.problem > 0 ? uint8_t(e.problem) : e.aux ? uint8_t(e.aux) : uint8_t(T_ERROR);
  // An unclosed braced string was an open one until the end of the input showed it.
  if (e.problem == T_STRING && text_[e.start] == '{') {
    uint32_t line = e.line - uint32_t(std::count(text_ + e.start, text_ + e.end, '\n'));
    if (report(EV_OPEN, T_STRING, line, e.start, e.start + 1) == Reply::END) return Step::END;
  }
  uint32_t end = e.problem == P_MISSING ? e.start : e.end;
  Reply reply = report(EV_ERROR, type, e.line, e.start, end);
  if (reply == Reply::END) return Step::END;
  if (strict_ && reply == Reply::YES) scanner_.raise(e);
  type_ = T_ERROR;
  consumed_ = e.end;
  missing_at_end_ = e.problem == P_MISSING_AT_END;
  while (frame_ > head_) {
    uint8_t open_type = uint8_t(stack_at(frame_ - 1)->w2);
    if (folds_quietly(open_type)) fold(open_type); else drop_innermost();
  }
  return request_.one ? Step::STOP : Step::GO_ON;
}

// The result: the one value, or a block of all of them (none after a quiet error at
// the end of the input).
void Scan::deliver(Cell* destination) const {
  if (!request_.wrap || !request_.load) return;
  if (missing_at_end_) {
    if (destination) *destination = values::none;
    return;
  }
  uint32_t count = stack_top() - head_;
  bool one_value = request_.one && !request_.only && count > 0;
  if (one_value) count = 1;
  if (Cell* into = request_.into) {
    for (uint32_t i = 0; i < count; i++) {
      Cell v = *stack_at(head_ + i);
      block::append(into, &v);
    }
  } else if (destination && one_value) {
    *destination = *stack_at(head_);
  } else if (destination) {
    NodeRef node = copy_cells(head_, count);
    cell::set(destination, T_BLOCK, 0, node, 0);
  }
}

// --- conversions for the word, block and float! modules -----------------------------------

// The type of the one value a spelling loads as; 0 when it holds more than that.
int word_scan_type(const uint8_t* utf8, uint32_t length) {
  Request r;
  r.one = true;
  r.wrap = false;
  uint32_t consumed = 0;
  int type = scan(nullptr, utf8, length, r, &consumed);
  return consumed == length ? type : 0;
}

// The first value of a string, checked without being kept: its type, and whether
// it fills the whole text.
struct FirstValue {
  int type;
  bool whole;
};

FirstValue check_first_value(const Cell* text) {
  Request r;
  r.one = true;
  r.wrap = false;
  uint32_t consumed = 0;
  int type = scan_string(nullptr, text, r, &consumed);
  return {type, consumed == uint32_t(string::length(text))};
}

void load_first_value(const Cell* text, Cell* out) {
  Request r;
  r.one = true;
  scan_string(out, text, r);
}

// Text to a word type: the text must load, in full, as one word of any kind.
Cell* word_from_text(Cell* spec, int type) {
  Cell text = *spec;
  if (spec->is(T_CHAR)) {
    string::make_at(&text, 4);
    string::append_char(memory::buffer_of(series_cell::node(&text)), uint32_t(cell::get_int(spec)));
  }
  FirstValue first = check_first_value(&text);
  if (!word::any_word(uint8_t(first.type)) || !first.whole)
    fire(err::script::INVALID_CHARS, spec);
  Cell value;
  load_first_value(&text, &value);
  cell::clear_new_line(&value);
  cell::set_type(&value, uint8_t(type));
  *spec = value;
  return spec;
}

// A string's one value for percent! conversion: unset when nothing loads, none when
// text follows the value.
Cell* float_load_string(const Cell* text, Cell* result) {
  FirstValue first = check_first_value(text);
  if (first.type == 0 || first.type == T_ERROR) *result = values::unset;
  else if (!first.whole) *result = values::none;
  else load_first_value(text, result);
  return result;
}

}  // namespace

void init() {
  stack_node = memory::alloc_cells(STACK_CELLS);
  Cell rooted{T_BLOCK, 0, stack_node, 0};
  *memory::alloc_tail_cell(runtime::root_block) = rooted;
  scratch = static_cast<uint8_t*>(system::allocate(SCRATCH_BYTES));
  scratch_top = 0;
  word::scan_type = word_scan_type;
  word::from_text = word_from_text;
  block::load_text = load_string;
  float_::token_check = check_number_form;
  float_::load_string = float_load_string;
}

int scan(Cell* destination, const uint8_t* text, uint32_t length, const Request& request,
         uint32_t* consumed) {
  Scan s(text, length, request);
  if (s.run()) s.deliver(destination);
  if (consumed) *consumed = s.consumed();
  return s.type();
}

int scan_string(Cell* destination, const Cell* text, const Request& request, uint32_t* consumed) {
  Utf8Text utf8(text);
  uint32_t bytes = 0;
  int type = scan(destination, utf8.bytes(), utf8.length(), request, &bytes);
  if (consumed) *consumed = uint32_t(unicode::count_utf8_chars(utf8.bytes(), utf8.bytes() + bytes));
  return type;
}

Cell* load_string(const Cell* text, Cell* out) {
  scan_string(out, text, Request{});
  return out;
}

Cell* load_utf8(const uint8_t* text, uint32_t length, Cell* out) {
  scan(out, text, length, Request{});
  return out;
}

}  // namespace zol::lexer
