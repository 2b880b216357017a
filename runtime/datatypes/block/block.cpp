// block! storage, builders and cell-sequence engines (see block.h).
#include "runtime/datatypes/block/block.h"

#include <cstring>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/text/mold.h"
#include "runtime/core/root.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"

namespace zol::block {
namespace {

int32_t whole_length(const Cell* blk) { return static_cast<int32_t>(buffer(blk)->length()); }
int32_t head_of(const Cell* blk) {
  int32_t h = series_cell::head(blk);
  return h < 0 ? 0 : h;
}

bool comparable(uint8_t a, uint8_t b) {
  if (a == b) return true;
  if (is_any_word(a) && is_any_word(b)) return true;
  auto numeric = [](uint8_t t) { return t == T_INTEGER || t == T_FLOAT || t == T_PERCENT; };
  return numeric(a) && numeric(b);
}

int length_order(int32_t na, int32_t nb) { return na < nb ? -1 : na > nb ? 1 : 0; }

}  // namespace

int32_t length(const Cell* blk) {
  int32_t n = whole_length(blk) - head_of(blk);
  return n < 0 ? 0 : n;
}

bool advance(Cell* blk) {
  int32_t h = head_of(blk);
  if (h + 1 <= whole_length(blk)) series_cell::set_head(blk, h + 1);
  return series_cell::head(blk) >= whole_length(blk);
}

Cell* clip_head_cell(Cell* blk) {
  int32_t len = whole_length(blk);
  if (series_cell::head(blk) > len) series_cell::set_head(blk, len);
  return cell_at(blk, head_of(blk));
}

Cell* tail_cell(const Cell* blk) { return buffer(blk)->cell_tail(); }
bool at_tail(const Cell* blk) { return head_of(blk) >= whole_length(blk); }


void truncate_at_head(Cell* blk) {
  SeriesBuffer* b = buffer(blk);
  int32_t h = head_of(blk);
  if (h < whole_length(blk)) b->set_tail(b->offset + uint32_t(h) * sizeof(Cell));
}

void truncate_at(Cell* blk, int32_t index) {
  SeriesBuffer* b = buffer(blk);
  uint32_t t = b->offset + uint32_t(index < 0 ? 0 : index) * sizeof(Cell);
  if (t < b->tail) b->set_tail(t);
}

Cell* append(Cell* blk, const Cell* value) {
  Cell copy = *value;   // the value may live in the block being grown
  Cell* c = memory::alloc_tail_cell(blk->w2);
  *c = copy;
  return c;
}

void remove_last(Cell* blk) {
  SeriesBuffer* b = buffer(blk);
  if (b->tail == b->offset) return;
  b->set_tail(b->tail - sizeof(Cell));
  if (series_cell::head(blk) > whole_length(blk)) series_cell::set_head(blk, whole_length(blk));
}

void append_all(Cell* blk, const Cell* source) {
  Cell src = *source;
  int32_t n = length(&src);
  for (int32_t i = 0; i < n; i++) {
    Cell v = *cell_at(&src, head_of(&src) + i);   // re-read: blk may be src
    append(blk, &v);
  }
}

Cell* make_at(Cell* cell, int32_t capacity, uint8_t type) {
  cell::set(cell, T_UNSET);
  NodeRef node = memory::alloc_cells(capacity < 1 ? 1 : capacity);
  cell->w1 = 0;
  cell->w2 = node;
  cell::set_type(cell, type);
  return cell;
}

Cell* make_fixed(Cell* cell, int32_t capacity, bool plain) {
  cell::set(cell, T_UNSET);
  NodeRef node = plain ? memory::alloc_cells(capacity < 1 ? 1 : capacity)
                       : memory::alloc_unset_cells(capacity < 1 ? 1 : capacity);
  cell->w1 = 0;
  cell->w2 = node;
  cell::set_type(cell, T_BLOCK);
  return cell;
}

Cell* make_in(Cell* parent, int32_t capacity) {
  Cell made;
  make_at(&made, capacity);
  if (parent) return append(parent, &made);
  Cell root{T_BLOCK, 0, runtime::root_block, 0};
  return append(&root, &made);
}

Cell* push(const Cell* blk) { return stack::push(blk); }

Cell* push_empty(int32_t capacity) {
  Cell* c = stack::push_unset();
  return make_at(c, capacity == 0 ? 1 : capacity);
}

void insert_value(Cell* blk, const Cell* value, bool advance, bool at_start) {
  Cell v = *value;
  SeriesBuffer* b = buffer(blk);
  uint32_t needed = b->used_bytes() + sizeof(Cell);
  if (b->size - b->offset < needed) b = memory::expand_series_copy(b, int64_t(needed) * 2);
  uint32_t index = at_start ? 0 : uint32_t(head_of(blk));
  if (index > b->length()) index = b->length();
  NodeRef table = hash_table(blk);
  bool rebuild = table && hashtable::shift_indexes(table, 1, int32_t(index),
                                                   int32_t(b->length() - index), true);
  b = buffer(blk);   // the table's bookkeeping may have allocated
  uint8_t* at = b->head() + index * sizeof(Cell);
  std::memmove(at + sizeof(Cell), at, size_t(b->tail_ptr() - at));
  b->tail += sizeof(Cell);
  std::memcpy(at, &v, sizeof(Cell));
  if (rebuild) hashtable::rebuild(table, int32_t(b->length()));
  else if (table) hashtable::put(table, reinterpret_cast<Cell*>(at));
  if (advance) series_cell::set_head(blk, int32_t(index) + 1);
}

void insert_each(Cell* blk, const Cell* source) {
  Cell src = *source;
  int32_t n = length(&src);
  for (int32_t i = 0; i < n; i++) {
    Cell v = *cell_at(&src, head_of(&src) + i);
    insert_value(blk, &v, true, false);
  }
}

Cell* append_value(Cell* blk, const Cell* value) {
  Cell* c = append(blk, value);
  if (NodeRef table = hash_table(blk)) hashtable::put(table, c);
  return blk;
}

Cell* append_arg() { return append_value(stack::arguments - 1, stack::arguments); }
Cell* append_top() { return append_value(stack::top - 2, stack::top - 1); }

uint8_t append_stack() {
  const Cell* value = stack::top - 1;
  append_value(stack::arguments, value);
  return value->type();
}

Cell* clone(const Cell* blk, bool deep, bool deep_any) {
  Cell src = *blk;
  int32_t count = length(&src);
  Cell* result = push_empty(count < 1 ? 1 : count);
  Cell copy = *result;
  for (int32_t i = 0; i < count; i++) {
    Cell v = *cell_at(&src, head_of(&src) + i);
    uint8_t t = v.type();
    bool nested = t == T_BLOCK || (deep_any && (t == T_PAREN || (t >= T_PATH && t <= T_GET_PATH)));
    if (deep && nested) {
      Cell* inner = clone(&v, deep, deep_any);
      uint32_t header = v.header;
      v = *inner;
      v.header = header;
      v.w1 = 0;
      stack::top--;   // drop the inner clone's stack cell; it lives on in the copy
    }
    append(&copy, &v);
  }
  result->header = src.type();
  return result;
}

namespace {

// What copy_nested replaces: with a types filter, nested series, bitsets, objects,
// errors and maps of those types; without one, every nested series.
bool nested_copy_wanted(const Cell* v, const Cell* types) {
  uint8_t t = v->type();
  if (!types) return series::is_series(t);
  bool copyable = series::is_series(t) || t == T_BITSET || t == T_OBJECT || t == T_ERROR ||
                  t == T_MAP;
  if (!copyable) return false;
  if (types->is(T_DATATYPE)) return types->w1 == t;
  return typeset::has(types, t);
}

}  // namespace

void copy_nested(const Cell* blk, int32_t from, int32_t to, int32_t step, bool deep,
                 const Cell* types) {
  Cell series = *blk;
  Cell kinds = types ? *types : values::none;
  for (int32_t i = from; i < to && i < whole_length(&series); i += step) {
    Cell v = *cell_at(&series, i);
    if (!nested_copy_wanted(&v, types ? &kinds : nullptr)) continue;
    Cell copied;
    actions::copy_typed(&v, &copied, nullptr, deep, deep && types ? &kinds : nullptr);
    *cell_at(&series, i) = copied;   // re-read: copying allocates
  }
}

const Cell* select_word(const Cell* blk, const Cell* word, bool case_) {
  auto spelling = [case_](const Cell* w) {
    uint32_t s = word_cell::symbol(w);
    return case_ ? s : symbol::resolve(s);
  };
  uint32_t wanted = spelling(word);
  int32_t n = length(blk);
  for (int32_t i = 0; i < n; i++) {
    const Cell* c = cell_at(blk, head_of(blk) + i);
    bool plain_word = c->is(T_WORD) || c->is(T_SET_WORD) || c->is(T_LIT_WORD) || c->is(T_GET_WORD);
    if (plain_word && spelling(c) == wanted)
      return i + 1 < n ? cell_at(blk, head_of(blk) + i + 1) : &values::none;
  }
  return &values::none;
}

const Cell* select_compare(const Cell* blk, const Cell* value) {
  int32_t n = length(blk);
  for (int32_t i = 0; i < n; i++) {
    Cell* c = cell_at(blk, head_of(blk) + i);
    if (actions::compare_typed(c, value, C_FIND) == 0)
      return i + 1 < n ? cell_at(blk, head_of(blk) + i + 1) : &values::none;
  }
  return &values::none;
}

bool remove_compare(Cell* blk, const Cell* value, bool from_start) {
  SeriesBuffer* b = buffer(blk);
  int32_t start = from_start ? 0 : head_of(blk);
  int32_t len = whole_length(blk);
  for (int32_t i = start; i < len; i++) {
    Cell* c = cell_at(blk, i);
    if (actions::compare_typed(c, value, C_FIND) != 0) continue;
    b = buffer(blk);   // the comparison may have run Zol code
    uint8_t* at = b->head() + size_t(i) * sizeof(Cell);
    std::memmove(at, at + sizeof(Cell), size_t(b->tail_ptr() - at) - sizeof(Cell));
    b->tail -= sizeof(Cell);
    return i <= head_of(blk);
  }
  return false;
}

int compare_cells(const Cell* a, const Cell* b, int op) {
  if (datatype::action(a->type(), A_COMPARE)) return actions::compare_typed(a, b, op);
  if (a->type() != b->type()) return a->type() < b->type() ? -1 : 1;
  int r = std::memcmp(&a->w1, &b->w1, 3 * sizeof(uint32_t));
  return (r > 0) - (r < 0);
}

void reindex(const Cell* blk, int32_t index) {
  NodeRef table = hash_table(blk);
  if (!table) return;
  hashtable::remove_range(table, index, whole_length(blk) - index);
  hashtable::put_all(table, index, 1);
}

int compare_each(const Cell* a, const Cell* b, int op) {
  if (a->w2 == b->w2 && series_cell::head(a) == series_cell::head(b)) return 0;
  if (op == C_SAME) return -1;
  if (cycles::find(a->w2)) return cycles::find(b->w2) ? 0 : -1;
  int32_t na = length(a), nb = length(b);
  bool equality = op == C_EQUAL || op == C_NOT_EQUAL || op == C_STRICT_EQUAL ||
                  op == C_WORD_CASE || op == C_WORD || op == C_FIND;
  if (na != nb && equality) return 1;
  if (na == 0 || nb == 0) return length_order(na, nb);
  cycles::push(a->w2);
  cycles::push(b->w2);
  int32_t n = na < nb ? na : nb;
  int result = 0;
  for (int32_t i = 0; i < n && result == 0; i++) {
    Cell x = *cell_at(a, head_of(a) + i);
    Cell y = *cell_at(b, head_of(b) + i);
    if (!comparable(x.type(), y.type())) {
      result = x.type() < y.type() ? -1 : 1;
      break;
    }
    result = compare_cells(&x, &y, op);
  }
  cycles::pop();   // once for each push, whichever way the walk ended
  cycles::pop();
  return result != 0 ? result : length_order(na, nb);
}

int mold_each(const Cell* blk, Cell* buffer, const MoldOptions& how, int limit) {
  bool part_given = how.part != nullptr;
  MoldOptions element = how.element();
  Cell src = *blk;
  cycles::push(src.w2);
  int32_t n = length(&src);
  bool broken = false;
  for (int32_t i = 0; i < n; i++) {
    if (part_given && limit < 1) break;
    Cell v = *cell_at(&src, head_of(&src) + i);
    if (!how.flat && cell::new_line(&v)) {
      if (i == 0 && !how.only) {
        element.indent++;
        broken = true;
      }
      if (!(i == 0 && how.only)) {
        string::concatenate_literal(buffer, "\n");
        limit--;
      }
      limit = mold::indent(buffer, element.indent, limit);
    } else if (i > 0) {
      string::concatenate_literal(buffer, " ");
      limit--;
    }
    limit = actions::mold_typed(&v, buffer, element, limit);
  }
  cycles::pop();
  if (broken && !(part_given && limit < 1)) {
    string::concatenate_literal(buffer, "\n");
    limit = mold::indent(buffer, element.indent - 1, limit - 1);
  }
  return limit;
}

}  // namespace zol::block
