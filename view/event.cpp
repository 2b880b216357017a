// event!: make from a spec, fields by path and pick, the type setter, comparison,
// and the dispatch records behind backend events (see event.h).
#include "view/event.h"

#include <vector>

#include "runtime/collector/collector.h"
#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"

namespace zol::view::event {
namespace {

// The type words by number (index 0 unused).
const char* const TYPE_NAMES[TYPE_COUNT + 1] = {
    "",          "down",     "up",      "mid-down", "mid-up",    "alt-down", "alt-up",
    "aux-down",  "aux-up",   "click",   "dbl-click", "wheel",    "over",     "key",
    "key-down",  "key-up",   "ime",     "focus",    "unfocus",   "enter",    "zoom",
    "pan",       "rotate",   "two-tap", "press-tap", "select",   "change",   "menu",
    "close",     "move",     "resize",  "moving",   "resizing",  "time",     "drawing",
    "scroll",    "minimize", "maximize", "restore",
};

enum Field : int {
  F_TYPE = 1, F_FACE, F_WINDOW, F_OFFSET, F_KEY, F_PICKED, F_FLAGS, F_AWAY_Q, F_DOWN_Q,
  F_MID_DOWN_Q, F_ALT_DOWN_Q, F_AUX_DOWN_Q, F_CTRL_Q, F_SHIFT_Q, F_ORIENTATION,
};
constexpr int FIELD_COUNT = 15;
const char* const FIELD_NAMES[FIELD_COUNT + 1] = {
    "",           "type",      "face",       "window",     "offset", "key",
    "picked",     "flags",     "away?",      "down?",      "mid-down?", "alt-down?",
    "aux-down?",  "ctrl?",     "shift?",     "orientation",
};

// The flag bit each logic field tests.
constexpr uint32_t FIELD_FLAG[FIELD_COUNT + 1] = {
    0, 0, 0, 0, 0, 0, 0, 0, AWAY, DOWN, MID_DOWN, ALT_DOWN, AUX_DOWN, CONTROL, SHIFT, 0,
};

// Flag words in the order `flags` lists them; `command` is accepted by make only.
struct FlagName {
  const char* name;
  uint32_t bit;
  bool reported;
};
constexpr FlagName FLAG_NAMES[] = {
    {"away", AWAY, true},         {"down", DOWN, true},       {"mid-down", MID_DOWN, true},
    {"alt-down", ALT_DOWN, true}, {"aux-down", AUX_DOWN, true}, {"control", CONTROL, true},
    {"shift", SHIFT, true},       {"alt", ALT, true},         {"command", COMMAND, false},
};

// Special key words, from code -20 down to -42; -30 has none.
const char* const KEY_NAMES[] = {
    "up",  "down", "right", "left", "end", "home", "insert", "delete", "page-up", "page-down",
    nullptr, "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
};
constexpr int32_t KEY_FIRST = -20;

// The spec words `make` reads (the four block cells come first, in block order).
enum SpecWord { S_FACE, S_WINDOW, S_OFFSET, S_PICKED, S_TYPE, S_KEY, S_FLAGS, S_COUNT };
const char* const SPEC_NAMES[S_COUNT] = {"face", "window", "offset", "picked", "type", "key",
                                         "flags"};

struct Symbols {
  uint32_t types[TYPE_COUNT + 1];
  uint32_t fields[FIELD_COUNT + 1];
  uint32_t flags[std::size(FLAG_NAMES)];
  uint32_t keys[std::size(KEY_NAMES)];
  uint32_t spec[S_COUNT];
};
Symbols sym;
bool symbols_ready = false;

// Symbols are interned on first use: the registry runs before the symbol table.
const Symbols& symbols() {
  if (symbols_ready) return sym;
  for (uint32_t i = 1; i <= TYPE_COUNT; i++) sym.types[i] = symbol::make(TYPE_NAMES[i]);
  for (int i = 1; i <= FIELD_COUNT; i++) sym.fields[i] = symbol::make(FIELD_NAMES[i]);
  for (size_t i = 0; i < std::size(FLAG_NAMES); i++) sym.flags[i] = symbol::make(FLAG_NAMES[i].name);
  for (size_t i = 0; i < std::size(KEY_NAMES); i++)
    sym.keys[i] = KEY_NAMES[i] ? symbol::make(KEY_NAMES[i]) : 0;
  for (int i = 0; i < S_COUNT; i++) sym.spec[i] = symbol::make(SPEC_NAMES[i]);
  symbols_ready = true;
  return sym;
}

bool same_symbol(uint32_t a, uint32_t b) { return symbol::resolve(a) == symbol::resolve(b); }

template <size_t N>
int index_in(const uint32_t (&table)[N], uint32_t symbol, int first) {
  for (int i = first; i < int(N); i++)
    if (table[i] && same_symbol(table[i], symbol)) return i;
  return -1;
}

Cell word_of(uint32_t symbol) { return Cell{T_WORD, 0, symbol, 0xFFFFFFFFu}; }

// --- dispatch records --------------------------------------------------------------------

constexpr uint32_t SLOT_BITS = 12;
constexpr uint32_t SLOT_MASK = (1u << SLOT_BITS) - 1;

struct Slot {
  uint32_t generation = 1;
  bool open = false;
  Record record;
};
std::vector<Slot> slots;

// The flags block, kept and refilled by every read of `flags`.
NodeRef flags_block = 0;

// Face cells in open records, and the flags block, live outside the cells the
// collector walks: marked (and so pinned) by value.
void mark_roots() {
  for (const Slot& s : slots)
    if (s.open) collector::mark_values(&s.record.face, &s.record.face + 1);
  if (flags_block) collector::mark_block(flags_block);
}

bool is_script_made(const Cell* e) { return (e->header & SCRIPT_MADE) != 0; }

const Record* record_of(const Cell* e) { return is_script_made(e) ? nullptr : find_record(e->w2); }

// Cell i of a script-made event's block, or nullptr without one.
const Cell* block_cell(const Cell* e, int i) {
  if (!e->w2) return nullptr;
  Cell blk{T_BLOCK, 0, e->w2, 0};
  return block::cell_at(&blk, i);
}

Cell* push_none() { return stack::push(&values::none); }

Cell* push_type(const Cell* e) {
  uint32_t symbol = type_word(e->w1);
  if (!symbol) return push_none();
  Cell w = word_of(symbol);
  return stack::push(&w);
}

Cell* push_flags(const Cell* e) {
  Cell blk;
  if (!flags_block) {
    block::make_at(&blk, 8);
    flags_block = blk.w2;
  } else {
    blk = Cell{T_BLOCK, 0, flags_block, 0};
    block::truncate_at(&blk, 0);
  }
  const Symbols& s = symbols();
  for (size_t i = 0; i < std::size(FLAG_NAMES); i++)
    if (FLAG_NAMES[i].reported && (e->w3 & FLAG_NAMES[i].bit)) {
      Cell w = word_of(s.flags[i]);
      block::append(&blk, &w);
    }
  return stack::push(&blk);
}

Cell* push_key(const Cell* e) {
  if (is_script_made(e)) {
    uint32_t cp = e->w3 & 0xFFFFu;
    return cp ? char_::push(cp) : push_none();
  }
  const Record* r = record_of(e);
  if (!r) return push_none();
  if (!(e->w3 & SPECIAL_KEY)) return char_::push(uint32_t(r->key));
  int i = KEY_FIRST - r->key;
  if (i < 0 || i >= int(std::size(KEY_NAMES)) || !KEY_NAMES[i]) return push_none();
  Cell w = word_of(symbols().keys[i]);
  return stack::push(&w);
}

// face, window, offset or picked.
Cell* push_record_field(const Cell* e, int field) {
  if (is_script_made(e)) {
    if (const Cell* c = block_cell(e, field == F_PICKED ? 3 : field - F_FACE)) return stack::push(c);
    if (field == F_OFFSET) return pair::push(0, 0);
    if (field == F_PICKED) return integer::push(0);
    return push_none();
  }
  const Record* r = record_of(e);
  if (!r || field == F_WINDOW) return push_none();
  switch (field) {
    case F_FACE: return stack::push(&r->face);
    case F_OFFSET: return pair::push(int32_t(r->x), int32_t(r->y));
    default:
      if (e->w1 == T_WHEEL) return float_::push(double(r->wheel));
      return integer::push(r->key);
  }
}

Cell* push_field(const Cell* e, int field) {
  switch (field) {
    case F_TYPE: return push_type(e);
    case F_FACE: case F_WINDOW: case F_OFFSET: case F_PICKED: return push_record_field(e, field);
    case F_KEY: return push_key(e);
    case F_FLAGS: return push_flags(e);
    case F_ORIENTATION: return push_none();
    default: {
      Cell flag = values::logic((e->w3 & FIELD_FLAG[field]) != 0);
      return stack::push(&flag);
    }
  }
}

int field_of(const Cell* element) {
  if (!word::any_word(element->type())) return 0;
  int i = index_in(symbols().fields, word_cell::symbol(element), 1);
  return i > 0 ? i : 0;
}

// --- make -------------------------------------------------------------------------------

// A word or get-word bound to a context stands for its value; one without a value
// stays a word, so `type: down` names the type even where `down` is unset.
const Cell* resolved(const Cell* value) {
  if ((value->is(T_WORD) || value->is(T_GET_WORD)) && word_cell::context(value)) {
    const Cell* v = context::get(value);
    if (v && !v->is(T_UNSET)) return v;
  }
  return value;
}

uint32_t type_number(const Cell* word) {
  uint32_t n = type_of_word(word_cell::symbol(word));
  if (!n) {
    Cell w = *word;
    cell::set_type(&w, T_WORD);
    fire(err::script::NOT_EVENT_TYPE, &w);
  }
  return n;
}

uint32_t flag_bits(const Cell* blk) {
  uint32_t bits = 0;
  const Symbols& s = symbols();
  for (int32_t i = 0, n = block::length(blk); i < n; i++) {
    const Cell* v = block::cell_at(blk, i);
    if (!v->is(T_WORD)) continue;
    int f = index_in(s.flags, word_cell::symbol(v), 0);
    if (f >= 0) bits |= FLAG_NAMES[f].bit;
  }
  return bits;
}

bool accepts(int which, const Cell* v) {
  switch (which) {
    case S_FACE: case S_WINDOW: return v->is(T_OBJECT);
    case S_OFFSET: return v->is(T_PAIR) || v->is(T_POINT2D);
    case S_PICKED: return v->is(T_INTEGER);
    case S_TYPE: return v->is(T_WORD) || v->is(T_LIT_WORD);
    case S_KEY: return v->is(T_CHAR);
    default: return v->is(T_BLOCK);
  }
}

Cell* make(Cell* proto, Cell* spec, int) {
  cell::set(proto, T_EVENT | SCRIPT_MADE);
  if (!spec->is(T_BLOCK)) return proto;
  Cell given[4] = {values::none, values::none, {}, values::integer(0)};
  pair::make_at(&given[2], 0, 0);
  bool any_given = false;
  const Symbols& s = symbols();
  for (int32_t i = 0, n = block::length(spec); i + 1 < n; i++) {
    const Cell* key = block::cell_at(spec, i);
    if (!key->is(T_SET_WORD)) continue;
    const Cell* v = resolved(block::cell_at(spec, i + 1));
    int which = index_in(s.spec, word_cell::symbol(key), 0);
    if (which < 0 || !accepts(which, v)) continue;
    i++;
    if (which == S_TYPE) proto->w1 = type_number(v);
    else if (which == S_KEY) proto->w3 = (proto->w3 & ~0xFFFFu) | (v->w2 & 0xFFFFu);
    else if (which == S_FLAGS) proto->w3 |= flag_bits(v);
    else {
      given[which] = *v;
      any_given = true;
    }
  }
  if (!any_given) return proto;
  Cell blk;
  block::make_at(&blk, 4);
  for (const Cell& c : given) block::append(&blk, &c);
  proto->w2 = blk.w2;
  return proto;
}

// --- the other actions ------------------------------------------------------------------

int form(const Cell*, Cell* buffer, const Cell*, int limit) {
  string::concatenate_literal_part(buffer, "event", 5);
  return limit - 5;
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form(value, buffer, how.part, limit);
}

// Any two events are equal; they have no order.
int compare(const Cell*, const Cell* b, int op) {
  if (!b->is(T_EVENT)) return COMPARE_NOT_COMPARABLE;
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL: case C_STRICT_EQUAL: case C_SORT: case C_CASE_SORT:
    case C_SAME: case C_FIND: return 0;
    default: return COMPARE_NOT_COMPARABLE;
  }
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  int field = field_of(element);
  Cell p = path ? *path : values::none;
  if (!field) fire(err::script::INVALID_PATH, &p, element);
  if (!value) return push_field(parent, field);
  if (field != F_TYPE) fire(err::script::BAD_PATH_SET, &p, element);
  if (!value->is(T_WORD)) fire(err::script::BAD_PATH_SET, &p, value);
  parent->w1 = type_number(value);
  return value;
}

Cell* pick(Cell* value, int32_t index, Cell* index_cell) {
  int field = index;
  if (word::any_word(index_cell->type())) {
    field = field_of(index_cell);
    if (!field) fire(err::script::CANNOT_USE, index_cell, value);
  } else if (index < 1 || index > FIELD_COUNT) {
    fire(err::script::OUT_OF_RANGE, index_cell);
  }
  return push_field(value, field);
}

}  // namespace

uint32_t open_record(const Record& record) {
  uint32_t slot = 0;
  while (slot < slots.size() && slots[slot].open) slot++;
  if (slot > SLOT_MASK) return 0;   // deeper than any real nesting: fields read none
  if (slot == slots.size()) slots.emplace_back();
  Slot& s = slots[slot];
  s.open = true;
  s.record = record;
  return s.generation << SLOT_BITS | slot;
}

void close_record(uint32_t id) {
  uint32_t slot = id & SLOT_MASK;
  if (!id || slot >= slots.size() || slots[slot].generation != id >> SLOT_BITS) return;
  Slot& s = slots[slot];
  s.open = false;
  s.record = Record{};
  // Generation 0 never names a record, so a wrapped counter skips it.
  s.generation = (s.generation + 1) & ((1u << (32 - SLOT_BITS)) - 1);
  if (!s.generation) s.generation = 1;
}

const Record* find_record(uint32_t id) {
  uint32_t slot = id & SLOT_MASK;
  if (!id || slot >= slots.size()) return nullptr;
  const Slot& s = slots[slot];
  return s.open && s.generation == id >> SLOT_BITS ? &s.record : nullptr;
}

Cell backend_event(uint32_t type, uint32_t record_id, uint32_t flags) {
  return Cell{T_EVENT, type, record_id, flags};
}

uint32_t type_of_word(uint32_t symbol) {
  int i = index_in(symbols().types, symbol, 1);
  return i > 0 ? uint32_t(i) : 0;
}

uint32_t type_word(uint32_t type) {
  return type >= 1 && type <= TYPE_COUNT ? symbols().types[type] : 0;
}

void init() {
  symbols_ready = false;
  flags_block = 0;
  slots.clear();
  collector::keep(mark_roots);
  datatype::register_type(T_EVENT, 0, "event!",
                          datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_EVAL_PATH>(eval_path),
                                                       slot_entry<A_COMPARE>(compare),
                                                       slot_entry<A_PICK>(pick)}));
}

}  // namespace zol::view::event
