// The Draw dialect's walk: keywords, the command table with each command's
// argument slots, the pen and fill values, the shape sub-dialect, set-words,
// nested blocks and the trailing blocks that save and restore the backend's state.
//
// Argument slots are taken by type alone: a slot takes values while the next one
// matches its kind, up to its maximum, and fails at the first value (or the end)
// when it took fewer than its minimum. An optional slot whose kind does not match
// takes nothing, and the value is left for the next slot or command.
#include "view/draw/dialect.h"

#include <unordered_map>
#include <vector>

#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/symbol.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/text/mold.h"

namespace zol::view::draw {
namespace {

// --- keywords ------------------------------------------------------------------------------

#define ZOL_DRAW_KEYWORDS(X)                                                                 \
  X(LINE, "line") X(LINE_WIDTH, "line-width") X(BOX, "box") X(TRIANGLE, "triangle")          \
  X(PEN, "pen") X(FILL_PEN, "fill-pen") X(POLYGON, "polygon") X(CIRCLE, "circle")            \
  X(ANTI_ALIAS, "anti-alias") X(FONT, "font") X(TEXT, "text") X(ELLIPSE, "ellipse")          \
  X(ARC, "arc") X(CURVE, "curve") X(SPLINE, "spline") X(LINE_JOIN, "line-join")              \
  X(LINE_CAP, "line-cap") X(LINE_PATTERN, "line-pattern") X(MATRIX, "matrix")                \
  X(APPEND, "append") X(PREPEND, "prepend") X(INVERT_MATRIX, "invert-matrix")                \
  X(RESET_MATRIX, "reset-matrix") X(PUSH, "push") X(CLIP, "clip") X(CROP, "crop")            \
  X(REPLACE, "replace") X(INTERSECT, "intersect") X(UNION, "union") X(XOR, "xor")            \
  X(EXCLUDE, "exclude") X(COMPLEMENT, "complement") X(ROTATE, "rotate") X(SCALE, "scale")    \
  X(TRANSLATE, "translate") X(SKEW, "skew") X(TRANSFORM, "transform") X(SHAPE, "shape")      \
  X(CURV, "curv") X(HLINE, "hline") X(VLINE, "vline") X(MOVE, "move") X(QCURV, "qcurv")      \
  X(QCURVE, "qcurve") X(SWEEP, "sweep") X(LARGE, "large") X(CLOSE, "close") X(OFF, "off")    \
  X(CLOSED, "closed") X(MITER, "miter") X(MITER_BEVEL, "miter-bevel") X(ROUND, "round")      \
  X(BEVEL, "bevel") X(SQUARE, "square") X(FLAT, "flat") X(BORDER, "border")                  \
  X(REPEAT, "repeat") X(REFLECT, "reflect") X(LINEAR, "linear") X(RADIAL, "radial")          \
  X(DIAMOND, "diamond") X(PATTERN, "pattern") X(BITMAP, "bitmap") X(PAD, "pad")              \
  X(TILE, "tile") X(FLIP_X, "flip-x") X(FLIP_Y, "flip-y") X(FLIP_XY, "flip-xy")              \
  X(CLAMP, "clamp") X(SHADOW, "shadow") X(INSET, "inset") X(IMAGE, "image")

#define ZOL_DRAW_KEY(id, spelling) id,
enum Key : uint8_t { ZOL_DRAW_KEYWORDS(ZOL_DRAW_KEY) KEY_COUNT, NO_KEY = 255 };
#undef ZOL_DRAW_KEY

// Resolved symbol (case folded through its alias) to keyword, interned once.
const std::unordered_map<uint32_t, Key>& keywords() {
  static const std::unordered_map<uint32_t, Key> table = [] {
    std::unordered_map<uint32_t, Key> t;
    const char* spellings[] = {
#define ZOL_DRAW_SPELLING(id, spelling) spelling,
        ZOL_DRAW_KEYWORDS(ZOL_DRAW_SPELLING)
#undef ZOL_DRAW_SPELLING
    };
    for (int k = 0; k < KEY_COUNT; k++) t[symbol::resolve(symbol::make(spellings[k]))] = Key(k);
    return t;
  }();
  return table;
}

Key key_of(const Cell* v) {
  if (!v || !word_cell::is_word(v)) return NO_KEY;
  auto found = keywords().find(symbol::resolve(word_cell::symbol(v)));
  return found == keywords().end() ? NO_KEY : found->second;
}

bool is_key(const Cell* v, uint8_t type, Key k) { return v && v->is(type) && key_of(v) == k; }

// --- values --------------------------------------------------------------------------------

// A word's value when it is bound and set; nullptr otherwise (the word then does
// not name what the slot wants, which is the slot's error, not an unset one).
const Cell* value_of_word(const Cell* w) {
  if (!w->is(T_WORD) || word_cell::context(w) == 0 || word_cell::index(w) < 0) return nullptr;
  const Cell* v = context::get(w);
  return v->is(T_UNSET) ? nullptr : v;
}

// The value itself when it has the type, or a word's value of that type.
const Cell* direct_or_word(const Cell* v, uint8_t type) {
  if (!v) return nullptr;
  if (v->is(type)) return v;
  const Cell* held = value_of_word(v);
  return held && held->is(type) ? held : nullptr;
}

bool is_point(const Cell* v) { return v && (v->is(T_PAIR) || v->is(T_POINT2D)); }
bool is_number(const Cell* v) { return v && (v->is(T_INTEGER) || v->is(T_FLOAT)); }
bool is_factor(const Cell* v) { return is_number(v) || (v && v->is(T_PERCENT)); }

Point point_of(const Cell* v) {
  if (v->is(T_PAIR)) return {double(pair::x_of(v)), double(pair::y_of(v))};
  return {double(point::coordinate(v, 0)), double(point::coordinate(v, 1))};
}

double number_of(const Cell* v) {
  return v->is(T_INTEGER) ? double(cell::get_int(v)) : cell::get_double(v);
}

// --- argument slots ------------------------------------------------------------------------

enum class Arg : uint8_t {
  POINT, NUMBER, FACTOR, INTEGER, FLOAT, WORD, BLOCK,
  CLOSED,        // the word closed
  ARC_FLAG,      // sweep or large, in a shape's arc
  PEN_OR_FILL,   // the lit-word pen or fill-pen
};

bool matches(Arg kind, const Cell* v) {
  if (!v) return false;
  switch (kind) {
    case Arg::POINT: return is_point(v);
    case Arg::NUMBER: return is_number(v);
    case Arg::FACTOR: return is_factor(v);
    case Arg::INTEGER: return v->is(T_INTEGER);
    case Arg::FLOAT: return v->is(T_FLOAT);
    case Arg::WORD: return v->is(T_WORD);
    case Arg::BLOCK: return v->is(T_BLOCK);
    case Arg::CLOSED: return is_key(v, T_WORD, CLOSED);
    case Arg::ARC_FLAG: return v->is(T_WORD) && (key_of(v) == SWEEP || key_of(v) == LARGE);
    case Arg::PEN_OR_FILL:
      return v->is(T_LIT_WORD) && (key_of(v) == PEN || key_of(v) == FILL_PEN);
  }
  return false;
}

constexpr uint8_t MANY = 255;
struct Slot {
  Arg kind;
  uint8_t min = 1, max = 1;
};

// What a command's slots took: its points and numbers in order, and where its
// block (a trailing block, a matrix, a shape) stands in the command block.
struct Taken {
  std::vector<Point> points;
  std::vector<double> numbers;
  int32_t block_at = -1;
};

// How a command is taken and what it does once its arguments are checked.
enum class Form : uint8_t {
  SLOTS,      // only its slots
  TRAILING,   // its slots, the last an optional block drawn with the state saved
  PEN, FILL_PEN, FONT, TEXT, IMAGE, SHADOW, CLIP, SHAPE, PUSH, MATRIX,
};

struct Command {
  Key key;
  Form form;
  Slot slots[7];
  int slot_count;
};

constexpr Slot OPT_PEN_OR_FILL{Arg::PEN_OR_FILL, 0, 1};
constexpr Slot OPT_BLOCK{Arg::BLOCK, 0, 1};
constexpr Slot OPT_POINT{Arg::POINT, 0, 1};

const Command COMMANDS[] = {
    {LINE, Form::SLOTS, {{Arg::POINT, 2, MANY}}, 1},
    {BOX, Form::SLOTS, {{Arg::POINT}, {Arg::POINT}, {Arg::NUMBER, 0, 1}}, 3},
    {TRIANGLE, Form::SLOTS, {{Arg::POINT}, {Arg::POINT}, {Arg::POINT}}, 3},
    {POLYGON, Form::SLOTS, {{Arg::POINT, 3, MANY}}, 1},
    {CIRCLE, Form::SLOTS, {{Arg::POINT}, {Arg::NUMBER}, {Arg::NUMBER, 0, 1}}, 3},
    {ELLIPSE, Form::SLOTS, {{Arg::POINT}, {Arg::POINT}}, 2},
    {ARC, Form::SLOTS,
     {{Arg::POINT}, {Arg::POINT}, {Arg::NUMBER}, {Arg::NUMBER}, {Arg::CLOSED, 0, 1}}, 5},
    {CURVE, Form::SLOTS, {{Arg::POINT}, {Arg::POINT}, {Arg::POINT}, OPT_POINT}, 4},
    {SPLINE, Form::SLOTS, {{Arg::POINT, 2, MANY}, {Arg::CLOSED, 0, 1}}, 2},
    {LINE_WIDTH, Form::SLOTS, {{Arg::NUMBER}}, 1},
    {LINE_JOIN, Form::SLOTS, {{Arg::WORD}}, 1},
    {LINE_CAP, Form::SLOTS, {{Arg::WORD}}, 1},
    {LINE_PATTERN, Form::SLOTS, {{Arg::INTEGER, 0, MANY}}, 1},
    {ANTI_ALIAS, Form::SLOTS, {{Arg::WORD}}, 1},
    {RESET_MATRIX, Form::SLOTS, {OPT_PEN_OR_FILL}, 1},
    {INVERT_MATRIX, Form::SLOTS, {OPT_PEN_OR_FILL}, 1},
    {ROTATE, Form::TRAILING, {OPT_PEN_OR_FILL, {Arg::NUMBER}, OPT_POINT, OPT_BLOCK}, 4},
    {SCALE, Form::TRAILING,
     {OPT_PEN_OR_FILL, {Arg::FACTOR}, {Arg::FACTOR}, OPT_POINT, OPT_BLOCK}, 5},
    {TRANSLATE, Form::TRAILING, {OPT_PEN_OR_FILL, {Arg::POINT}, OPT_BLOCK}, 3},
    {SKEW, Form::TRAILING,
     {OPT_PEN_OR_FILL, {Arg::NUMBER}, {Arg::NUMBER, 0, 1}, OPT_POINT, OPT_BLOCK}, 5},
    {TRANSFORM, Form::TRAILING,
     {OPT_PEN_OR_FILL, OPT_POINT, {Arg::NUMBER}, {Arg::FACTOR}, {Arg::FACTOR}, {Arg::POINT},
      OPT_BLOCK},
     7},
    {MATRIX, Form::MATRIX, {OPT_PEN_OR_FILL, {Arg::BLOCK}}, 2},
    {PUSH, Form::PUSH, {{Arg::BLOCK}}, 1},
    {SHAPE, Form::SHAPE, {{Arg::BLOCK}}, 1},
    {TEXT, Form::TEXT, {{Arg::POINT}}, 1},
    {PEN, Form::PEN, {}, 0},
    {FILL_PEN, Form::FILL_PEN, {}, 0},
    {FONT, Form::FONT, {}, 0},
    {IMAGE, Form::IMAGE, {}, 0},
    {SHADOW, Form::SHADOW, {}, 0},
    {CLIP, Form::CLIP, {}, 0},
};

// The shape sub-dialect's commands: a word takes absolute coordinates, a lit-word
// relative ones; both are checked alike, and no backend acts on them.
const Command SHAPE_COMMANDS[] = {
    {MOVE, Form::SLOTS, {{Arg::POINT}}, 1},
    {LINE, Form::SLOTS, {{Arg::POINT, 1, MANY}}, 1},
    {HLINE, Form::SLOTS, {{Arg::NUMBER}}, 1},
    {VLINE, Form::SLOTS, {{Arg::NUMBER}}, 1},
    {ARC, Form::SLOTS,
     {{Arg::POINT}, {Arg::NUMBER}, {Arg::NUMBER}, {Arg::NUMBER}, {Arg::ARC_FLAG, 0, 2}}, 5},
    {CURVE, Form::SLOTS, {{Arg::POINT, 3, MANY}}, 1},
    {CURV, Form::SLOTS, {{Arg::POINT, 2, MANY}}, 1},
    {QCURVE, Form::SLOTS, {{Arg::POINT, 2, MANY}}, 1},
    {QCURV, Form::SLOTS, {{Arg::POINT, 1, MANY}}, 1},
    {CLOSE, Form::SLOTS, {}, 0},
};

template <size_t N>
const Command* command_in(const Command (&table)[N], Key k) {
  for (const Command& c : table)
    if (c.key == k) return &c;
  return nullptr;
}

// Unwinds a silent walk to run().
struct SilentStop {};

// Keeps a block on the list of blocks being drawn while its walk lasts.
struct InProgress {
  explicit InProgress(NodeRef node) { cycles::push(node); }
  ~InProgress() { cycles::pop(); }
  InProgress(const InProgress&) = delete;
  InProgress& operator=(const InProgress&) = delete;
};

// Restores the backend's state however the nested block's walk ends.
struct SavedState {
  explicit SavedState(Backend& b) : backend(b) { backend.push_state(); }
  ~SavedState() { backend.pop_state(); }
  SavedState(const SavedState&) = delete;
  SavedState& operator=(const SavedState&) = delete;
  Backend& backend;
};

// One block's walk position. The block is a local cell (its node stays pinned) and
// every value is read again from the buffer, since a set-word's handler may run
// code that grows the block.
struct Cursor {
  Cell blk;
  int32_t pos;
  explicit Cursor(const Cell* b) : blk(*b), pos(series_cell::head(b)) {}
  int32_t tail() const { return series_cell::head(&blk) + block::length(&blk); }
  const Cell* peek() const { return pos < tail() ? block::cell_at(&blk, pos) : nullptr; }
  Cell at(int32_t index) const {
    Cell c = blk;
    series_cell::set_head(&c, index);
    return c;
  }
};

class Walk {
 public:
  Walk(Backend& out, bool silent) : out_(out), silent_(silent) {}

  void top(const Cell* commands) {
    Cursor top(commands);
    if (cycles::find(series_cell::node(commands))) fail(err::script::DRAW_INFINITE, top);
    draw_block(commands);
  }

 private:
  Backend& out_;
  bool silent_;
  Key clip_mode_ = REPLACE;   // kept for later clips of this walk

  [[noreturn]] void fail(err::Id id, const Cursor& at) {
    if (silent_) throw SilentStop{};
    Cell where = at.at(at.pos);
    fire(id, &where);
  }

  // The nested block met at the cursor's position, unless it is already being
  // walked.
  Cell nested(const Cursor& at) {
    Cell inner = *at.peek();
    if (cycles::find(series_cell::node(&inner))) fail(err::script::DRAW_INFINITE, at);
    return inner;
  }

  void set_word(const Cursor& at) {
    Cell word = *at.peek();
    Cell position = at.at(at.pos + 1);
    context::set(&word, &position);
    exits::settle();
  }

  enum class Dialect : uint8_t { DRAW, SHAPE };

  // The walk both dialects share: their commands, set-words and nested blocks.
  void walk(const Cell* blk, Dialect dialect) {
    InProgress mark(series_cell::node(blk));
    for (Cursor at(blk); const Cell* v = at.peek();) {
      if (v->is(T_WORD) || (dialect == Dialect::SHAPE && v->is(T_LIT_WORD))) {
        command(at, dialect);
      } else if (v->is(T_SET_WORD)) {
        set_word(at);
        at.pos++;
      } else if (v->is(T_BLOCK)) {
        Cell inner = nested(at);
        walk(&inner, dialect);
        at.pos++;
      } else {
        fail(err::script::DRAW_INVALID, at);
      }
    }
  }

  void draw_block(const Cell* blk) { walk(blk, Dialect::DRAW); }

  // Takes a slot's values; fails where fewer than its minimum were found.
  void take(Cursor& at, const Slot& slot, Taken& taken) {
    int n = 0;
    while (n < slot.max && matches(slot.kind, at.peek())) {
      const Cell* v = at.peek();
      if (slot.kind == Arg::POINT) taken.points.push_back(point_of(v));
      else if (slot.kind == Arg::BLOCK) taken.block_at = at.pos;
      else if (is_factor(v)) taken.numbers.push_back(number_of(v));
      at.pos++;
      n++;
    }
    if (n < slot.min) fail(err::script::DRAW_INVALID, at);
  }

  void take_all(Cursor& at, const Slot* slots, int count, Taken& taken) {
    for (int i = 0; i < count; i++) take(at, slots[i], taken);
  }

  void command(Cursor& at, Dialect dialect) {
    Key key = key_of(at.peek());
    const Command* c =
        dialect == Dialect::DRAW ? command_in(COMMANDS, key) : command_in(SHAPE_COMMANDS, key);
    if (!c) fail(err::script::DRAW_INVALID, at);
    at.pos++;
    Taken taken;
    take_all(at, c->slots, c->slot_count, taken);
    if (dialect == Dialect::DRAW) finish(at, *c, taken);
  }

  // What a Draw command does once its slots are taken.
  void finish(Cursor& at, const Command& c, const Taken& taken) {
    switch (c.form) {
      case Form::SLOTS: return act(c.key, taken);
      case Form::TRAILING:
        if (taken.block_at >= 0) draw_saved(at, taken.block_at);
        return;
      case Form::PEN: return out_.pen(paint(at));
      case Form::FILL_PEN: return out_.fill_pen(paint(at));
      case Form::FONT: return font(at);
      case Form::TEXT: return text(at, taken.points[0]);
      case Form::IMAGE: return image(at);
      case Form::SHADOW: return shadow(at);
      case Form::CLIP: return clip(at);
      case Form::SHAPE: return shape(at, taken.block_at);
      case Form::PUSH: return draw_saved(at, taken.block_at);
      case Form::MATRIX: return matrix(at, taken.block_at);
    }
  }

  void act(Key key, const Taken& t) {
    const Point* p = t.points.data();
    switch (key) {
      case LINE: return out_.line(p, t.points.size());
      case BOX: return out_.box(p[0], p[1]);
      case TRIANGLE: return out_.triangle(p[0], p[1], p[2]);
      case CIRCLE: return out_.circle(p[0], t.numbers[0]);
      case ELLIPSE: return out_.ellipse(p[0], p[1]);
      default: return;   // checked; no backend primitive acts on it
    }
  }

  // The block a command took at `block_at`, drawn with the state saved.
  void draw_saved(const Cursor& at, int32_t block_at) {
    SavedState saved(out_);
    Cursor where = at;
    where.pos = block_at;
    Cell inner = nested(where);
    draw_block(&inner);
  }

  void matrix(Cursor& at, int32_t block_at) {
    Cell m = *block::cell_at(&at.blk, block_at);
    bool six_numbers = block::length(&m) == 6;
    for (int32_t i = 0; six_numbers && i < 6; i++)
      six_numbers = is_number(block::cell_at(&m, series_cell::head(&m) + i));
    if (six_numbers) return;
    at.pos = block_at;
    fail(err::script::DRAW_INVALID, at);
  }

  // --- pens, fills and the values they take --------------------------------------------

  const Cell* colour_at(const Cursor& at) { return direct_or_word(at.peek(), T_TUPLE); }

  Paint paint(Cursor& at) {
    const Cell* v = at.peek();
    Key k = v && v->is(T_WORD) ? key_of(v) : NO_KEY;
    if (k == OFF) {
      at.pos++;
      return Paint{};
    }
    if (k == LINEAR || k == RADIAL || k == DIAMOND) return gradient(at, k);
    if (k == PATTERN) return pattern(at);
    if (k == BITMAP) return bitmap(at);
    const Cell* colour = colour_at(at);
    if (!colour) fail(err::script::DRAW_INVALID, at);
    at.pos++;
    return Paint{PaintKind::COLOUR, colour_of_tuple(colour)};
  }

  // Colours, each optionally followed by a float! offset; at least two.
  void colour_stops(Cursor& at) {
    int colours = 0;
    while (colour_at(at)) {
      at.pos++;
      colours++;
      if (at.peek() && at.peek()->is(T_FLOAT)) at.pos++;
    }
    if (colours < 2) fail(err::script::DRAW_INVALID, at);
  }

  // An optional value of a kind; when taken, `then` must follow.
  bool optional_then(Cursor& at, Arg first, Arg then) {
    if (!matches(first, at.peek())) return false;
    at.pos++;
    Taken ignored;
    take(at, Slot{then}, ignored);
    return true;
  }

  bool optional(Cursor& at, Arg kind) {
    if (!matches(kind, at.peek())) return false;
    at.pos++;
    return true;
  }

  void optional_word(Cursor& at, std::initializer_list<Key> words) {
    const Cell* v = at.peek();
    if (!v || !v->is(T_WORD)) return;
    for (Key k : words)
      if (key_of(v) == k) {
        at.pos++;
        return;
      }
  }

  Paint gradient(Cursor& at, Key kind) {
    at.pos++;
    Taken ignored;
    if (is_point(at.peek())) {
      // The positional form: offset, start, stop, up to three numbers, then stops.
      const Slot slots[] = {{Arg::POINT}, {Arg::INTEGER}, {Arg::INTEGER}, {Arg::NUMBER, 0, 3}};
      take_all(at, slots, 4, ignored);
      colour_stops(at);
      return Paint{PaintKind::GRADIENT, {}};
    }
    colour_stops(at);
    if (kind == LINEAR) {
      optional_then(at, Arg::POINT, Arg::POINT);
    } else if (kind == RADIAL) {
      if (optional_then(at, Arg::POINT, Arg::NUMBER)) optional(at, Arg::POINT);
    } else if (optional_then(at, Arg::POINT, Arg::POINT)) {
      optional(at, Arg::POINT);
    }
    optional_word(at, {PAD, REPEAT, REFLECT});
    return Paint{PaintKind::GRADIENT, {}};
  }

  void tile_mode(Cursor& at) { optional_word(at, {TILE, FLIP_X, FLIP_Y, FLIP_XY, CLAMP}); }

  Paint pattern(Cursor& at) {
    at.pos++;
    Taken ignored;
    take(at, Slot{Arg::POINT}, ignored);
    optional_then(at, Arg::POINT, Arg::POINT);
    tile_mode(at);
    take(at, Slot{Arg::BLOCK}, ignored);
    return Paint{PaintKind::PATTERN, {}};
  }

  Paint bitmap(Cursor& at) {
    at.pos++;
    if (!direct_or_word(at.peek(), T_IMAGE)) fail(err::script::DRAW_INVALID, at);
    at.pos++;
    optional_then(at, Arg::POINT, Arg::POINT);
    tile_mode(at);
    return Paint{PaintKind::BITMAP, {}};
  }

  void font(Cursor& at) {
    const Cell* f = direct_or_word(at.peek(), T_OBJECT);
    if (!f) fail(err::script::DRAW_INVALID, at);
    Cell held = *f;
    at.pos++;
    out_.font(&held);
  }

  void text(Cursor& at, Point where) {
    const Cell* v = at.peek();
    if (!v || !(v->is(T_STRING) || v->is(T_OBJECT))) fail(err::script::DRAW_INVALID, at);
    Cell held = *v;
    if (!out_.text(where, &held)) fail(err::script::DRAW_INVALID, at);
    at.pos++;
  }

  void image(Cursor& at) {
    const Cell* img = direct_or_word(at.peek(), T_IMAGE);
    if (!img) fail(err::script::DRAW_INVALID, at);
    Cell held = *img;
    at.pos++;
    Taken ignored;
    take(at, Slot{Arg::POINT, 0, MANY}, ignored);
    if (colour_at(at)) at.pos++;
    const Cell* v = at.peek();
    if (is_key(v, T_WORD, BORDER)) {
      at.pos++;
    } else if (is_key(v, T_WORD, CROP)) {
      at.pos++;
      take(at, Slot{Arg::POINT, 2, 2}, ignored);
    }
    if (!out_.image(&held)) fire(err::internal::NO_MEMORY);
  }

  void shadow(Cursor& at) {
    const Cell* v = at.peek();
    if (is_key(v, T_WORD, OFF)) {
      at.pos++;
      return;
    }
    if (!v || !v->is(T_PAIR)) fail(err::script::DRAW_INVALID, at);
    at.pos++;
    if (optional(at, Arg::INTEGER)) optional(at, Arg::INTEGER);
    if (colour_at(at)) at.pos++;
    optional_word(at, {INSET});
  }

  void clip(Cursor& at) {
    const Cell* v = at.peek();
    if (is_point(v)) {
      at.pos++;
      Taken ignored;
      take(at, Slot{Arg::POINT}, ignored);
    } else if (v && v->is(T_BLOCK)) {
      Cell path = nested(at);
      shape_path(&path);
      at.pos++;
    } else {
      fail(err::script::DRAW_INVALID, at);
    }
    v = at.peek();
    Key mode = v && v->is(T_WORD) ? key_of(v) : NO_KEY;
    if (mode == REPLACE || mode == INTERSECT || mode == UNION || mode == XOR || mode == EXCLUDE) {
      clip_mode_ = mode;
      at.pos++;
    }
    if (at.peek() && at.peek()->is(T_BLOCK)) {
      draw_saved(at, at.pos);
      at.pos++;
    }
  }

  // --- shapes --------------------------------------------------------------------------

  void shape(const Cursor& at, int32_t block_at) {
    Cursor where = at;
    where.pos = block_at;
    Cell path = nested(where);
    shape_path(&path);
  }

  // A top-level shape path: its commands, then the backend's end of the shape.
  void shape_path(const Cell* blk) {
    walk(blk, Dialect::SHAPE);
    if (!out_.end_shape()) {
      Cursor end(blk);
      end.pos = end.tail();
      fail(err::script::DRAW_INVALID, end);
    }
  }
};

}  // namespace

Colour colour_of_tuple(const Cell* tuple) {
  Colour c{tuple::element(tuple, 0), tuple::element(tuple, 1), tuple::element(tuple, 2), 0};
  if (tuple::count(tuple) > 3) c.alpha = tuple::element(tuple, 3);
  return c;
}

bool run(Backend& backend, const Cell* commands, const RunOptions& how) {
  keywords();   // interned before any cell is held
  Walk walk(backend, how.silent);
  try {
    walk.top(commands);
  } catch (const SilentStop&) {
    return false;
  }
  return true;
}

bool silent_mode() {
  Cell* system = context::global_value(symbol::make("system"));
  if (!system || !system->is(T_OBJECT)) return false;
  Cell* view = object::value_of(system, symbol::make("view"));
  if (!view || !view->is(T_OBJECT)) return false;
  Cell* silent = object::value_of(view, symbol::make("silent?"));
  return silent && silent->is(T_LOGIC) && silent->w1 != 0;
}

}  // namespace zol::view::draw
