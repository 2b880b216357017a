// Series ownership and the slot table (see ownership.h).
#include "runtime/core/ownership.h"

#include "runtime/collector/collector.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/memory/memory.h"
#include "runtime/text/mold.h"
#include "runtime/core/values.h"

namespace zol {
namespace ownership {

NodeRef table = 0;
void (*on_deep_change)(Cell*, Cell*, Cell*, const Cell*, const Cell*, int32_t, int32_t) = nullptr;

namespace {

// The owned-series table starts with room for a thousand series: ownership is set
// by the library's reactive objects and faces, a few hundred in a large interface;
// the table grows past that like any other.
constexpr int32_t TABLE_SIZE = 1000;
constexpr int32_t RECORD_CELLS = 3;
constexpr uint32_t IMAGE_OWNED = 0x10000;

// How a value takes part in ownership.
enum class Role { NONE, LEAF, NESTED, IMAGE, OBJECT };

Role role_of(uint8_t type) {
  switch (type) {
    case T_BLOCK: case T_PAREN: case T_HASH: case T_PATH: case T_LIT_PATH: case T_SET_PATH:
    case T_GET_PATH:
      return Role::NESTED;
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF: case T_BINARY:
    case T_VECTOR: case T_BITSET:
      return Role::LEAF;
    case T_IMAGE: return Role::IMAGE;
    case T_OBJECT: return Role::OBJECT;
    default: return Role::NONE;
  }
}

NodeRef node_of(const Cell* v) { return v->is(T_OBJECT) ? v->w1 : v->w2; }

bool is_marked(const Cell* v) {
  if (v->is(T_IMAGE)) return (v->header & IMAGE_OWNED) != 0;
  return (memory::buffer_of(v->w2)->flags & FLAG_OWNED) != 0;
}

void set_mark(Cell* v, bool on) {
  uint32_t& bits = v->is(T_IMAGE) ? v->header : memory::buffer_of(v->w2)->flags;
  uint32_t flag = v->is(T_IMAGE) ? IMAGE_OWNED : FLAG_OWNED;
  bits = on ? bits | flag : bits & ~flag;
}

// Runs fn on each cell of a series from `head` while the series is on the cycle
// stack; a series already being walked is skipped.
template <class Fn>
void walk(NodeRef series, int32_t head, Fn fn) {
  if (!series || cycles::find(series)) return;
  cycles::push(series);
  for (int32_t i = head < 0 ? 0 : head; i < int32_t(memory::buffer_of(series)->length()); i++)
    fn(memory::buffer_of(series)->cells() + i);
  cycles::pop();
}

// The fields of an object, walked on the cycle stack under its context node.
template <class Fn>
void walk_fields(NodeRef ctx, Fn fn) {
  if (cycles::find(ctx)) return;
  NodeRef values = context::record_of(ctx)->w2;
  if (!values || context::values_on_stack(ctx)) return;
  cycles::push(ctx);
  for (int32_t i = 0; i < int32_t(memory::buffer_of(values)->length()); i++)
    fn(memory::buffer_of(values)->cells() + i);
  cycles::pop();
}

bool fields_owned(NodeRef ctx) { return (context::record_of(ctx)->header & context::FIELDS_OWNED) != 0; }

void mark_roots() { hashtable::mark(table); }
void sweep_table() { hashtable::sweep(table); }

}  // namespace

void init() {
  table = hashtable::init(TABLE_SIZE, 0, hashtable::K_WEAK, RECORD_CELLS);
  collector::keep(mark_roots);
  collector::add_sweeper(sweep_table);
}

void set_owner_deep(Cell* value, const Cell* owner, const Cell* word) {
  Role role = role_of(value->type());
  if (role == Role::NONE) return;
  if (role == Role::OBJECT) {
    if (fields_owned(value->w1)) return;
    walk_fields(value->w1, [&](Cell* field) {
      if (!(field->is(T_OBJECT) && field->w1 == owner->w1)) set_owner_deep(field, owner, word);
    });
    return;
  }
  if (!node_of(value) || is_marked(value)) return;
  set_mark(value, true);
  Cell owned = *value, by = *owner, field = *word;
  Cell* rec = hashtable::put_int(table, node_of(&owned));
  rec[0] = owned;
  rec[1] = by;
  rec[2] = field;
  if (role == Role::NESTED)
    walk(owned.w2, series_cell::head(&owned), [&](Cell* c) { set_owner_deep(c, &by, &field); });
}

void set_owner(Cell* value, const Cell* owner, const Cell* word) {
  NodeRef owner_ctx = owner->w1;
  set_owner_deep(value, owner, word);
  context::record_of(owner_ctx)->header |= context::FIELDS_OWNED;
}

void unbind(Cell* value) {
  Role role = role_of(value->type());
  if (role == Role::NONE) return;
  if (role == Role::OBJECT) {
    if (!fields_owned(value->w1)) walk_fields(value->w1, [](Cell* field) { unbind(field); });
    return;
  }
  NodeRef node = node_of(value);
  if (!node) return;
  set_mark(value, false);
  if (Cell* rec = hashtable::delete_int(table, node))
    for (int i = 0; i < RECORD_CELLS; i++) cell::set(rec + i, T_UNSET);
  if (role == Role::NESTED) walk(node, series_cell::head(value), [](Cell* c) { unbind(c); });
}

void unbind_range(const Cell* block, int32_t index, int32_t count) {
  NodeRef series = series_cell::node(block);
  int32_t end = int32_t(memory::buffer_of(series)->length());
  if (count < end - index) end = index + count;
  for (int32_t i = index < 0 ? 0 : index; i < end; i++) unbind(memory::buffer_of(series)->cells() + i);
}

Cell* owner_of(NodeRef node) {
  Cell* rec = hashtable::get_int(table, node);
  return rec ? rec + 1 : nullptr;
}

bool check(Cell* value, const Cell* action, const Cell* new_value, int32_t index, int32_t part) {
  Role role = role_of(value->type());
  if (role == Role::NONE || !node_of(value)) return false;
  if (role != Role::OBJECT && !is_marked(value)) return false;
  Cell* rec = hashtable::get_int(table, node_of(value));
  if (!rec || !on_deep_change) return false;
  // The handler runs language code that may edit the table: it gets copies.
  Cell owner = rec[1], word = rec[2];
  if (owner.w3 == 0) return false;
  on_deep_change(&owner, &word, value, action, new_value, index, part);
  return true;
}

}  // namespace ownership

namespace slots {
namespace {

constexpr int32_t INITIAL_CAPACITY = 100;
NodeRef block = 0;
int32_t first_free = -1;

Cell* cells() { return memory::buffer_of(block)->cells(); }

// Threads cells [from, to) into a free list ending the list at -1.
void thread(int32_t from, int32_t to) {
  for (int32_t i = from; i < to; i++) cells()[i] = values::integer(i + 1 < to ? i + 1 : -1);
}

void grow() {
  int32_t old = capacity();
  SeriesBuffer* b = memory::expand_series_copy(memory::buffer_of(block), int64_t(old) * 2 * sizeof(Cell));
  b->tail = b->offset + uint32_t(old) * 2 * sizeof(Cell);
  thread(old, old * 2);
  first_free = old;
}

void check_index(int32_t index) {
  if (index < 1 || index > capacity()) fire(err::internal::LIMIT_HIT);
}

void mark_roots() { collector::mark_block(block); }

}  // namespace

void init() {
  block = memory::alloc_cells(INITIAL_CAPACITY);
  memory::buffer_of(block)->tail = INITIAL_CAPACITY * sizeof(Cell);
  thread(0, INITIAL_CAPACITY);
  first_free = 0;
  collector::keep(mark_roots);
}

int32_t capacity() { return int32_t(memory::buffer_of(block)->length()); }

int32_t alloc(const Cell* value) {
  Cell copy = *value;
  if (first_free < 0) grow();
  int32_t i = first_free;
  first_free = cell::get_int(cells() + i);
  cells()[i] = copy;
  return i + 1;
}

void free(int32_t index) {
  if (index == 0) return;
  check_index(index);
  cells()[index - 1] = values::integer(first_free);
  first_free = index - 1;
}

Cell* at(int32_t index) {
  check_index(index);
  return cells() + index - 1;
}

}  // namespace slots
}  // namespace zol
