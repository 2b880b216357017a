// series!: the abstract parent datatype of every series type. No value has this
// type; its row holds the position, navigation and editing actions that the
// concrete series inherit. They work on raw units, so one implementation serves
// cells, text of every width and bytes.
#include "runtime/datatypes/series/series.h"

#include <algorithm>
#include <cstring>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/hash.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/ownership.h"
#include "runtime/core/random.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/vector.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/numeric/sort.h"

namespace zol::series {

// --- helpers ---------------------------------------------------------------------------

bool is_series(uint8_t t) {
  return block::is_any_block(t) || is_any_string(t) || t == T_BINARY || t == T_VECTOR ||
         t == T_IMAGE;
}

int32_t buffer_length(const Cell* s) { return int32_t(buffer(s)->length()); }

int32_t head_index(const Cell* s) {
  return std::clamp(series_cell::head(s), 0, buffer_length(s));
}

bool at_tail(const Cell* s) { return series_cell::head(s) >= buffer_length(s); }

bool get_position(Cell* s, int32_t n) {
  int64_t moved = int64_t(series_cell::head(s)) + n;
  if (moved <= buffer_length(s)) series_cell::set_head(s, int32_t(moved));
  return at_tail(s);
}

int32_t get_offset(const Cell* s, const Cell* index, bool at) {
  if (!index->is(T_INTEGER)) fire(err::script::INVALID_ARG, index);
  int64_t i = cell::get_int(index);
  int64_t moved = int64_t(series_cell::head(s)) + i - (at && i >= 1 ? 1 : 0);
  return int32_t(std::clamp<int64_t>(moved, 0, buffer_length(s)));
}

int32_t get_length(Cell* s, bool from_start) {
  int32_t length = buffer_length(s);
  if (from_start) return length;
  int32_t head = series_cell::head(s);
  if (head > length) {
    series_cell::set_head(s, length);
    return 0;
  }
  return length - (head < 0 ? 0 : head);
}

void fire_refine_arg(uint32_t refinement, const Cell* value) {
  // Named by the plain word, as the message reads "invalid part argument".
  Cell name = word::make_global(refinement);
  fire(err::script::INVALID_REFINE_ARG, &name, value);
}

Range counted_at(int32_t head, int32_t count, int32_t available) {
  if (count >= 0) return {head, std::min(count, available)};
  // Widened: the most negative count has no 32-bit negation.
  int32_t before = int32_t(std::min<int64_t>(-int64_t(count), head));
  return {head - before, before};
}

int32_t part_count(const Cell* s, const Cell* part, uint32_t refinement) {
  if (part->is(T_INTEGER)) return cell::get_int(part);
  if (part->type() != s->type() || series_cell::node(part) != series_cell::node(s))
    fire_refine_arg(refinement, part);
  return head_index(part) - series_cell::head(s);
}

NodeRef new_like(const Cell* source, int32_t units) {
  uint32_t unit = buffer(source)->unit();
  return memory::alloc_series(units < 1 ? 1 : units, unit, 0);
}

Cell element_at(const Cell* s, const uint8_t* at) {
  if (block::is_any_block(s->type())) {
    Cell c;
    std::memcpy(&c, at, sizeof c);
    return c;
  }
  if (s->is(T_BINARY)) return values::integer(*at);
  if (s->is(T_VECTOR)) return vector::get_value(at, buffer(s)->unit(), uint8_t(s->w3));
  if (s->is(T_IMAGE)) {
    uint32_t pixel;
    std::memcpy(&pixel, at, 4);
    return image::tuple_of_pixel(pixel);
  }
  return Cell{T_CHAR, 0, string::get_char(at, buffer(s)->unit()), 0};
}

Cell* index_step(Cell* parent, Cell* element, Cell* value) {
  int32_t index = cell::get_int(element);
  if (value) return actions::poke_typed(parent, index, value, element);
  return actions::pick_typed(parent, index, element);
}

// --- change notification ------------------------------------------------------------------

namespace {

// The action word pairs an owner hears, before and after each kind of edit.
const uint32_t* const EDIT_WORDS[][2] = {
    {&words::append, &words::appended}, {&words::insert, &words::inserted},
    {&words::change, &words::changed},  {&words::clear, &words::cleared},
    {&words::poke, &words::poked},      {&words::remove, &words::removed},
    {&words::reverse, &words::reversed}, {&words::take, &words::taken},
    {&words::move, &words::moved},      {&words::put, &words::put_ed},
    {&words::sort_, &words::sorted},    {&words::swap, &words::swaped},
    {&words::trim, &words::trimmed},    {&words::random_, &words::randomized},
};

bool tell_owner(Cell* s, uint32_t action, const Cell* value, int32_t index, int32_t part) {
  Cell word = word::make_global(action);
  Cell new_value = *value;   // the handler may move what value points into
  return ownership::check(s, &word, &new_value, index, part);
}

}  // namespace

bool tell_editing(Cell* s, Edit edit, const Cell* value, int32_t index, int32_t part) {
  return tell_owner(s, *EDIT_WORDS[edit][0], value, index, part);
}

void edited(Cell* s, Edit edit, const Cell* value, int32_t index, int32_t part) {
  tell_owner(s, *EDIT_WORDS[edit][1], value, index, part);
}

void cut(const Cell* s, int32_t index, int32_t count) {
  int32_t length = buffer_length(s);
  int32_t rest = length - index - count;
  NodeRef table = block::hash_table(s);
  bool rebuild = table && hashtable::shift_indexes(table, -count, index + count, rest, true);
  SeriesBuffer* b = buffer(s);
  uint32_t unit = b->unit();
  std::memmove(b->head() + size_t(index) * unit, b->head() + size_t(index + count) * unit,
               size_t(rest) * unit);
  b->tail -= uint32_t(count) * unit;
  if (rebuild) hashtable::rebuild(table, length - count);
}

namespace {

// Grows the buffer, when it lacks room for `count` more units after its head, to
// the size needed (twice that with double_room).
void make_room(const Cell* s, int32_t count, bool double_room) {
  SeriesBuffer* b = buffer(s);
  uint64_t needed = uint64_t(b->used_bytes()) + uint64_t(count) * b->unit();
  if (b->size - b->offset < needed)
    memory::expand_series_copy(b, int64_t(needed) * (double_room ? 2 : 1));
}

}  // namespace

SeriesBuffer* grow_tail(const Cell* s, int32_t count) {
  make_room(s, count, true);
  return buffer(s);
}

uint8_t* open_gap(Cell* s, int32_t index, int32_t count, bool double_room, bool* rebuild) {
  make_room(s, count, double_room);
  uint32_t unit = buffer(s)->unit();
  NodeRef table = block::hash_table(s);
  int32_t length = buffer_length(s);
  *rebuild = table && hashtable::shift_indexes(table, count, index, length - index, true);
  SeriesBuffer* b = buffer(s);   // re-read: the table's bookkeeping allocates
  uint8_t* at = b->head() + size_t(index) * unit;
  std::memmove(at + size_t(count) * unit, at, size_t(length - index) * unit);
  b->tail += uint32_t(count) * unit;
  return at;
}

namespace {

Cell* none_result() { return const_cast<Cell*>(&values::none); }
uint8_t* unit_at(const Cell* s, int32_t index) {
  SeriesBuffer* b = buffer(s);
  return b->head() + size_t(index) * b->unit();
}

// Stores a value as the element at `index` (inside the buffer).
void store(Cell* s, int32_t index, const Cell* value) {
  if (block::is_any_block(s->type())) {
    NodeRef table = block::hash_table(s);
    Cell* at = reinterpret_cast<Cell*>(unit_at(s, index));
    if (table) hashtable::remove(table, at);
    *at = *value;
    if (table) hashtable::put(table, at);
  } else if (s->is(T_BINARY)) {
    *unit_at(s, index) = uint8_t(value->w2);
  } else if (s->is(T_VECTOR)) {
    vector::convert_value(unit_at(s, index), value, buffer(s)->unit());
  } else {
    string::poke_char(buffer(s), unit_at(s, index), value->w2);
  }
}

// What a poke may store: any value in a block, an integer! or char! from 0 to 255
// in a binary! (a byte, never a truncated wider value), a value of the element type
// in a vector!, a char! in text.
void check_storable(const Cell* s, const Cell* value) {
  if (block::is_any_block(s->type())) return;
  if (s->is(T_VECTOR) && value->type() != s->w3) fire(err::script::INVALID_ARG, value);
  if (s->is(T_VECTOR)) return;
  bool fits = s->is(T_BINARY) ? value->is(T_INTEGER) || value->is(T_CHAR) : value->is(T_CHAR);
  if (!fits) fire(err::script::INVALID_ARG, value);
  if (s->is(T_BINARY) && value->w2 > 255) fire(err::script::OUT_OF_RANGE, value);
}

}  // namespace

int32_t element_position(const Cell* s, int32_t index) {
  if (index == 0) return -1;
  int64_t pos = int64_t(series_cell::head(s)) + index - (index > 0 ? 1 : 0);
  return pos < 0 || pos >= buffer_length(s) ? -1 : int32_t(pos);
}

namespace {

[[noreturn]] void out_of_range(int32_t index) {
  Cell i = values::integer(index);
  fire(err::script::OUT_OF_RANGE, &i);
}

// Exchanges two records of `width` bytes.
void exchange(uint8_t* a, uint8_t* b, size_t width) {
  zol::sort::swap(a, b, width, width % 4 != 0);
}

// --- navigation (minimal entries: they read and rewrite the frame) ------------------------

using stack::arg;

void at() { series_cell::set_head(arg(0), get_offset(arg(0), arg(1), true)); }
void skip() { series_cell::set_head(arg(0), get_offset(arg(0), arg(1), false)); }

void back() {
  int32_t head = series_cell::head(arg(0));
  if (head > 0) series_cell::set_head(arg(0), head - 1);
}

void next() { get_position(arg(0), 1); }
void head() { series_cell::set_head(arg(0), 0); }
void head_q() { logic::box(series_cell::head(arg(0)) == 0); }
void index_q() { integer::box(series_cell::head(arg(0)) + 1); }
void tail() { series_cell::set_head(arg(0), buffer_length(arg(0))); }
void tail_q() { logic::box(at_tail(arg(0))); }

int32_t length_q(const Cell* s) {
  Cell position = *s;
  return get_length(&position, false);
}

// --- elements ---------------------------------------------------------------------------

Cell* pick(Cell* s, int32_t index, Cell*) {
  int32_t pos = element_position(s, index);
  if (pos < 0) return none_result();
  *s = element_at(s, unit_at(s, pos));
  return s;
}

Cell* poke(Cell* s, int32_t index, Cell* value, Cell*) {
  if (element_position(s, index) < 0) out_of_range(index);
  check_storable(s, value);
  bool told = editing(s, E_POKE, value, index, 1);
  int32_t pos = element_position(s, index);   // the owner may have shortened it
  if (pos < 0) out_of_range(index);
  store(s, pos, value);
  if (told) edited(s, E_POKE, value, index, 1);
  return value;
}

Cell* clear(Cell* s) {
  if (head_index(s) >= buffer_length(s)) return s;
  bool told = editing(s, E_CLEAR, &values::none, head_index(s), 0);
  int32_t head = head_index(s), length = buffer_length(s);
  if (NodeRef table = block::hash_table(s)) hashtable::remove_range(table, head, length - head);
  SeriesBuffer* b = buffer(s);
  b->set_tail(b->offset + uint32_t(head) * b->unit());
  if (told) edited(s, E_CLEAR, &values::none, head, 0);
  return s;
}

Cell* remove(Cell* s, const Cell* part, const Cell* key) {
  int32_t count = 1;
  if (part) {
    count = part_count(s, part);
    if (count < 1) return s;
  }
  int32_t pos = head_index(s);
  if (key) {
    Cell found = *s;
    Cell k = *key;
    if (actions::find_typed(&found, &k)->is(T_NONE)) {
      *s = values::none;   // remove's entry leaves the result to the implementation
      return s;
    }
    pos = series_cell::head(&found);
    count++;   // the key and its value
  }
  if (pos >= buffer_length(s)) return s;
  bool told = editing(s, E_REMOVE, &values::none, pos, count);
  int32_t length = buffer_length(s);
  if (pos < length) cut(s, pos, std::min(count, length - pos));
  if (told) edited(s, E_REMOVE, &values::none, pos, count);
  return s;
}

// --- reverse ----------------------------------------------------------------------------

// The record width of reverse/skip: 1 without it; a size equal to the count gives 0
// (nothing to do).
int32_t reverse_record(const Cell* skip, int32_t count) {
  if (!skip) return 1;
  if (!skip->is(T_INTEGER)) fire_refine_arg(words::skip, skip);
  int32_t size = cell::get_int(skip);
  if (size == count) return 0;
  if (size < 1) fire(err::script::OUT_OF_RANGE, skip);
  if (count < size || count % size != 0) fire_refine_arg(words::skip, skip);
  return size;
}

Cell* reverse(Cell* s, const Cell* part, const Cell* skip) {
  int32_t count = buffer_length(s) - head_index(s);
  if (part) {
    int32_t n = part_count(s, part);
    if (n < 1) return s;
    count = std::min(n, count);
  }
  int32_t size = reverse_record(skip, count);
  if (size == 0) return s;
  bool told = editing(s, E_REVERSE, &values::none, head_index(s), count);
  int32_t head = head_index(s);
  count = std::min(count, buffer_length(s) - head) / size * size;
  size_t width = size_t(size) * buffer(s)->unit();
  for (int32_t lo = 0, hi = count / size - 1; lo < hi; lo++, hi--)
    exchange(unit_at(s, head + lo * size), unit_at(s, head + hi * size), width);
  if (block::hash_table(s)) block::reindex(s, head);
  if (told) edited(s, E_REVERSE, &values::none, head, count);
  return s;
}

// --- take -------------------------------------------------------------------------------

// The units of the span as a new series of the source's type and new-line marker
// (a vector! keeps its element type).
Cell units_as_series(const Cell* s, Range span) {
  NodeRef node = new_like(s, span.count);
  SeriesBuffer* b = memory::buffer_of(node);
  uint32_t unit = b->unit();
  std::memcpy(b->head(), unit_at(s, span.start), size_t(span.count) * unit);
  b->tail = b->offset + uint32_t(span.count) * unit;
  uint32_t header = s->header & (HEADER_TYPE_MASK | HEADER_NEW_LINE);
  return Cell{header, 0, node, s->is(T_VECTOR) ? s->w3 : 0};
}

Range take_span(const Cell* s, const Cell* part, bool last) {
  int32_t head = head_index(s), length = buffer_length(s);
  int32_t available = length - head;
  int32_t count = 1;
  if (part) {
    if (part->is(T_INTEGER)) {
      count = cell::get_int(part);
    } else {
      int32_t at = head_index(part);
      part_count(s, part);   // the same series, or invalid-refine-arg
      count = last ? length - at : std::max(at - head, 0);
    }
  }
  if (!last) return counted_at(head, count, available);
  count = std::clamp(count, 0, available);   // /last takes nothing for a negative count
  return {length - count, count};
}

}  // namespace

Cell* take_units(Cell* s, const Cell* part, bool last) {
  if (buffer_length(s) - head_index(s) < 1) return none_result();
  Range span = take_span(s, part, last);
  bool told = editing(s, E_TAKE, &values::none, span.start, span.count);
  Range now = take_span(s, part, last);   // the owner may have edited the series
  if (now.count < 1 && !part) return none_result();
  Cell taken = now.count > 0 ? element_at(s, unit_at(s, now.start)) : values::none;
  if (part) {
    taken = units_as_series(s, now);
    if (s->is(T_HASH)) hash::index_block(&taken, &taken);
  }
  if (now.count > 0) cut(s, now.start, now.count);
  if (told) edited(s, E_TAKE, &values::none, now.start, now.count);
  *s = taken;
  return s;
}

namespace {

Cell* take(Cell* s, const Cell* part, bool, bool last) { return take_units(s, part, last); }

// --- copy -------------------------------------------------------------------------------

Range copy_span(const Cell* s, const Cell* part) {
  int32_t head = head_index(s), length = buffer_length(s);
  if (series_cell::head(s) > length) return {length, 0};
  int32_t count = length - head;
  if (!part) return {head, count};
  if (!part->is(T_PAIR)) return counted_at(head, part_count(s, part), count);
  int64_t x = int32_t(part->w2), y = int32_t(part->w3);
  int64_t start = std::min<int64_t>(std::max<int64_t>(head + x - (x >= 1 ? 1 : 0), 0), length);
  int64_t n = y < x ? 0 : y - x;
  return {int32_t(start), int32_t(std::min<int64_t>(n, length - start))};
}

}  // namespace

Cell copy_units(const Cell* s, const Cell* part) { return units_as_series(s, copy_span(s, part)); }

namespace {

Cell* copy(Cell* s, Cell* destination, const Cell* part, bool, const Cell*) {
  *destination = copy_units(s, part);
  return destination;
}

// --- move -------------------------------------------------------------------------------

[[noreturn]] void move_bad(const Cell* origin, const Cell* target) {
  Cell from = values::of_datatype(origin->type()), to = values::of_datatype(target->type());
  fire(err::script::MOVE_BAD, &from, &to);
}

// Opens `count` units at `at` in the target and copies `units` into them.
void open_and_fill(Cell* target, int32_t at, const uint8_t* units, int32_t count) {
  bool rebuild = false;
  uint8_t* gap = open_gap(target, at, count, true, &rebuild);
  std::memcpy(gap, units, size_t(count) * buffer(target)->unit());
  if (NodeRef table = block::hash_table(target)) {
    if (rebuild) hashtable::rebuild(table, buffer_length(target));
    else
      for (int32_t i = 0; i < count; i++) hashtable::put(table, reinterpret_cast<Cell*>(gap) + i);
  }
}

// Moves units between two buffers of the same unit (the origin's units stay put
// while the target grows: a pointer held here pins them).
void move_across(Cell* origin, Cell* target, int32_t count) {
  int32_t from = head_index(origin);
  open_and_fill(target, head_index(target), unit_at(origin, from), count);
  cut(origin, from, count);
}

// Moves units inside one buffer: the run [from, from + count) goes before unit `to`
// (counted in the buffer as it was).
void move_within(Cell* s, int32_t from, int32_t to, int32_t count) {
  uint32_t unit = buffer(s)->unit();
  NodeRef scratch = new_like(s, count);
  uint8_t* saved = memory::buffer_of(scratch)->head();
  std::memcpy(saved, unit_at(s, from), size_t(count) * unit);
  if (to > from) {
    std::memmove(unit_at(s, from), unit_at(s, from + count), size_t(to - from - count) * unit);
    std::memcpy(unit_at(s, to - count), saved, size_t(count) * unit);
  } else {
    std::memmove(unit_at(s, to + count), unit_at(s, to), size_t(from - to) * unit);
    std::memcpy(unit_at(s, to), saved, size_t(count) * unit);
  }
  if (NodeRef table = block::hash_table(s)) hashtable::move(table, from, to, count);
}

// Only series reach move (the action layer refuses other origins with expect-arg).
Cell* move(Cell* origin, Cell* target, const Cell* part) {
  if (at_tail(origin)) return target;
  int32_t count = 1;
  if (part) {
    if (!part->is(T_INTEGER)) fire_refine_arg(words::part, part);
    count = cell::get_int(part);
    if (count < 1) return target;
  }
  count = std::min(count, buffer_length(origin) - head_index(origin));
  bool same = series_cell::node(origin) == series_cell::node(target);
  if (!same) {
    bool blocks = block::is_any_block(origin->type());
    bool other_blocks = block::is_any_block(target->type());
    bool raw = origin->is(T_BINARY) || origin->is(T_VECTOR) || target->is(T_BINARY) ||
               target->is(T_VECTOR);
    if (blocks != other_blocks || (raw && buffer(origin)->unit() != buffer(target)->unit()))
      move_bad(origin, target);
    if (!is_series(target->type())) move_bad(origin, target);
    if (buffer(origin)->unit() != buffer(target)->unit()) {
      string::move_char(origin, target, uint32_t(count));
      return target;
    }
  }
  int32_t from = head_index(origin);
  int32_t to = std::min(series_cell::head(target), buffer_length(target));
  if (same) {
    if (to == from) return target;
    int32_t length = buffer_length(origin);
    if (to > from && to < length && length - to < count) return origin;
  }
  bool told = editing(origin, E_MOVE, target, from, count);
  count = std::min(count, buffer_length(origin) - head_index(origin));
  if (count > 0) {
    if (!same) {
      move_across(origin, target, count);
    } else {
      from = head_index(origin);
      to = std::min(series_cell::head(target), buffer_length(target));
      // A later target takes the run after its own unit; the tail takes it at the end.
      int32_t before = to > from ? std::min(to + 1, buffer_length(origin)) : to;
      if (before < from || before > from + count) move_within(origin, from, before, count);
    }
  }
  if (told) edited(origin, E_MOVE, target, from, count);
  return target;
}

// --- random -----------------------------------------------------------------------------

Cell* random(Cell* s, bool seed, bool secure, bool only) {
  if (seed) {
    int32_t head = head_index(s);
    SeriesBuffer* b = buffer(s);
    uint32_t bytes = b->used_bytes() - uint32_t(head) * b->unit();
    random::seed(hashtable::murmur3(unit_at(s, head), bytes));
    *s = values::unset;
    return s;
  }
  if (only) {
    int32_t count = buffer_length(s) - head_index(s);
    if (count < 1) {
      *s = values::none;
      return s;
    }
    int32_t r = random::integer(secure, count);
    *s = element_at(s, unit_at(s, head_index(s) + r - 1));
    return s;
  }
  bool told = editing(s, E_RANDOM, &values::none, head_index(s), 0);
  size_t width = buffer(s)->unit();
  for (int32_t pos = head_index(s); pos < buffer_length(s); pos++) {
    int32_t r = random::integer(secure, buffer_length(s) - pos);
    if (r != 1) exchange(unit_at(s, pos), unit_at(s, pos + r - 1), width);
  }
  if (told) edited(s, E_RANDOM, &values::none, head_index(s), 0);
  return s;
}

// --- reflect and modify: ownership -----------------------------------------------------------

bool is_owned_field(uint32_t field_symbol) {
  return symbol::resolve(field_symbol) == symbol::resolve(words::owned);
}

// owned: a block of the owner object and its field word, or none.
Cell* reflect(Cell* s, uint32_t field_symbol) {
  if (!is_owned_field(field_symbol)) fire(err::internal::NOT_DONE);
  Cell* owner = ownership::owner_of(series_cell::node(s));
  if (!owner) {
    *s = values::none;
    return s;
  }
  Cell pair[2] = {owner[0], owner[1]};
  Cell result;
  block::make_at(&result, 2);
  block::append(&result, &pair[0]);
  block::append(&result, &pair[1]);
  *s = result;
  return s;
}

Cell* modify(Cell* s, Cell* field, Cell* value, bool) {
  if (!is_owned_field(word_cell::symbol(field))) return value;
  if (value->is(T_NONE)) {
    ownership::unbind(s);
  } else if (value->is(T_BLOCK) && block::length(value) >= 2) {
    Cell owner = *block::cell_at(value, series_cell::head(value));
    Cell word = *block::cell_at(value, series_cell::head(value) + 1);
    ownership::set_owner(s, &owner, &word);
  }
  return value;
}

}  // namespace

void init() {
  datatype::register_type(
      T_SERIES, 0, "series!",
      datatype::make_row(nullptr, {slot_entry<A_RANDOM>(random),
                                   slot_entry<A_REFLECT>(reflect),
                                   slot_entry<A_AT>(at),
                                   slot_entry<A_BACK>(back),
                                   slot_entry<A_CLEAR>(clear),
                                   slot_entry<A_COPY>(copy),
                                   slot_entry<A_HEAD>(head),
                                   slot_entry<A_HEAD_Q>(head_q),
                                   slot_entry<A_INDEX_Q>(index_q),
                                   slot_entry<A_LENGTH_Q>(length_q),
                                   slot_entry<A_MOVE>(move),
                                   slot_entry<A_NEXT>(next),
                                   slot_entry<A_PICK>(pick),
                                   slot_entry<A_POKE>(poke),
                                   slot_entry<A_REMOVE>(remove),
                                   slot_entry<A_REVERSE>(reverse),
                                   slot_entry<A_SKIP>(skip),
                                   slot_entry<A_TAIL>(tail),
                                   slot_entry<A_TAIL_Q>(tail_q),
                                   slot_entry<A_TAKE>(take),
                                   slot_entry<A_MODIFY>(modify)}));
}

}  // namespace zol::series
