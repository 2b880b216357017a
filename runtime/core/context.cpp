// Contexts (see context.h) and the context! datatype.
#include "runtime/core/context.h"

#include "runtime/core/stack.h"
#include "runtime/collector/collector.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/text/mold.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol::context {

NodeRef global = 0;
void (*on_change)(NodeRef, const Cell*, const Cell*, Cell*) = nullptr;

namespace {

// The global context holds every word ever interned, so it is sized like the
// symbol table (symbol.cpp) and grows with it.
constexpr int32_t GLOBAL_SIZE = 4000;

bool is_binding_word(uint8_t t) {
  return t == T_WORD || t == T_SET_WORD || t == T_LIT_WORD || t == T_GET_WORD || t == T_REFINEMENT;
}

bool is_block_like(uint8_t t) {
  return t == T_BLOCK || t == T_PAREN || t == T_PATH || t == T_LIT_PATH || t == T_SET_PATH ||
         t == T_GET_PATH || t == T_HASH;
}

// The value slot that the word-list entry at `position` names.
int32_t slot_of(NodeRef ctx, int32_t position) { return word_cell::index(get_word(ctx, position)); }

void append_value(NodeRef ctx, const Cell* value) {
  const Cell* rec = record_of(ctx);
  if (rec->header & STACK_VALUES || rec->w2 == 0) return;
  Cell copy = *value;
  *memory::alloc_tail_cell(rec->w2) = copy;
}

void bind_series(NodeRef series, int32_t head, NodeRef ctx, bool self) {
  if (!series || cycles::find(series)) return;
  cycles::push(series);
  for (int32_t i = head < 0 ? 0 : head; i < int32_t(memory::buffer_of(series)->length()); i++) {
    Cell* c = memory::buffer_of(series)->cells() + i;
    uint8_t t = c->type();
    if (self && t == T_WORD && word_cell::symbol(c) == words::self) {
      c->w1 = ctx;
      c->w3 = uint32_t(-1);
    } else if (is_binding_word(t)) {
      bind_word(ctx, c);
    } else if (is_block_like(t)) {
      bind_series(series_cell::node(c), series_cell::head(c), ctx, self);
    }
  }
  cycles::pop();
}

void mark_global() { collector::mark_context(global); }

}  // namespace

Cell* values_base(NodeRef ctx) {
  const Cell* rec = record_of(ctx);
  if (rec->w2 == 0) return nullptr;
  if (rec->header & STACK_VALUES) return stack::bottom + (rec->w2 - 1);
  return memory::buffer_of(rec->w2)->cells();
}

void init() {
  datatype::register_type(T_CONTEXT, 0, "context!", datatype::make_row(nullptr, {}));
}

void init_global() {
  global = create(GLOBAL_SIZE, false, false, 0, 0);
  collector::keep(mark_global);
}

NodeRef word_table(NodeRef ctx) { return record_of(ctx)->w1; }

NodeRef create(int32_t size, bool on_stack, bool renewed_flag, NodeRef source, int kind) {
  if (size <= 0) size = 1;
  NodeRef ctx = memory::alloc_unset_cells(2);
  memory::buffer_of(ctx)->tail = 2 * sizeof(Cell);
  NodeRef values = on_stack ? 0 : memory::alloc_unset_cells(size);
  NodeRef table;
  if (source) {
    NodeRef words = memory::copy_series(get_words(source));
    table = hashtable::copy(word_table(source), words);
  } else {
    table = hashtable::init(size, 0, hashtable::K_SYMBOL);
  }
  uint32_t header = T_CONTEXT | uint32_t(kind & 3) << KIND_SHIFT;
  if (on_stack) header |= STACK_VALUES;
  if (renewed_flag) header |= RENEWED;
  cell::set(memory::buffer_of(ctx)->cells(), header, table, values, 0);   // the new record
  return ctx;
}

NodeRef make_from_spec(const Cell* spec, bool on_stack, bool renewed_flag, NodeRef source, int kind) {
  NodeRef series = series_cell::node(spec);
  int32_t head = series_cell::head(spec) < 0 ? 0 : series_cell::head(spec);
  int32_t length = int32_t(memory::buffer_of(series)->length());
  NodeRef ctx = create(length - head, on_stack, renewed_flag, source, kind);
  for (int32_t i = head; i < length; i++) {
    const Cell* c = memory::buffer_of(series)->cells() + i;
    if (c->is(T_WORD) || c->is(T_GET_WORD) || c->is(T_LIT_WORD) || c->is(T_REFINEMENT))
      find_or_add(ctx, word_cell::symbol(c), true, nullptr);
  }
  // The values block was made with every cell unset and room for every word.
  if (!on_stack) memory::buffer_of(record_of(ctx)->w2)->tail = get_words(ctx)->length() * sizeof(Cell);
  return ctx;
}

NodeRef renew(Cell* object, int kind) {
  NodeRef old = object->w1;
  int32_t n = int32_t(get_words(old)->length());
  uint32_t header = record_of(old)->header;
  NodeRef ctx = create(n, header & STACK_VALUES, header & RENEWED, old, kind);
  SeriesBuffer* list = get_words(ctx);
  for (Cell* w = list->cells(); w < list->cell_tail(); w++) w->w1 = ctx;
  object->w1 = ctx;
  return ctx;
}

NodeRef create_sharing_words(NodeRef source) {
  NodeRef ctx = memory::alloc_unset_cells(2);
  memory::buffer_of(ctx)->tail = 2 * sizeof(Cell);
  NodeRef values = memory::copy_series(memory::buffer_of(record_of(source)->w2));
  Cell rec = *record_of(source);
  cell::set(memory::buffer_of(ctx)->cells(), rec.header, rec.w1, values, 0);   // the new record
  return ctx;
}

int32_t find_word(NodeRef ctx, uint32_t symbol, bool ignore_case) {
  return hashtable::find_symbol(word_table(ctx), symbol, ignore_case, nullptr, 0);
}

int32_t find_or_add(NodeRef ctx, uint32_t symbol, bool ignore_case, int32_t* out) {
  return hashtable::find_symbol(word_table(ctx), symbol, ignore_case, out, ctx);
}

int32_t add_word(NodeRef ctx, const Cell* word) {
  int32_t index = -1;
  if (find_or_add(ctx, word_cell::symbol(word), true, &index) >= 0) return slot_of(ctx, index);
  append_value(ctx, &values::unset);
  return index;
}

void put(NodeRef ctx, const Cell* word, const Cell* value) {
  int32_t index = -1;
  Cell copy = *value;
  if (find_or_add(ctx, word_cell::symbol(word), true, &index) < 0) return append_value(ctx, &copy);
  Cell* base = values_base(ctx);
  if (base) base[slot_of(ctx, index)] = copy;
}

Cell* put_new(NodeRef ctx, const Cell* word, const Cell* value) {
  int32_t index = -1;
  Cell copy = *value;
  if (find_or_add(ctx, word_cell::symbol(word), true, &index) >= 0) return nullptr;
  append_value(ctx, &copy);
  Cell* base = values_base(ctx);
  return base ? base + index : nullptr;
}

int32_t bind_word(NodeRef ctx, Cell* word) {
  int32_t found = find_word(ctx, word_cell::symbol(word), true);
  if (found < 0) return -1;
  word->w1 = ctx;
  word->w3 = uint32_t(slot_of(ctx, found));
  return int32_t(word->w3);
}

const Cell* bind(const Cell* block, NodeRef ctx, bool self) {
  bind_series(series_cell::node(block), series_cell::head(block), ctx, self);
  return block;
}

bool collect_set_words(NodeRef ctx, const Cell* block) {
  NodeRef series = series_cell::node(block);
  uint32_t before = get_words(ctx)->length();
  for (int32_t i = series_cell::head(block) < 0 ? 0 : series_cell::head(block);
       i < int32_t(memory::buffer_of(series)->length()); i++) {
    const Cell* c = memory::buffer_of(series)->cells() + i;
    if (c->is(T_SET_WORD)) add_word(ctx, c);
  }
  return get_words(ctx)->length() > before;
}

Cell* get_in(const Cell* word, NodeRef ctx) {
  int32_t index = word_cell::index(word);
  if (index < 0) {
    if (word_cell::symbol(word) == words::self && word_cell::context(word))
      return record_of(word_cell::context(word)) + 1;
    fire(err::script::NO_VALUE, word);
  }
  Cell* base = values_base(ctx);
  if (!base) fire(err::script::NOT_IN_CONTEXT, word);
  return base + index;
}

Cell* get(const Cell* word) { return get_in(word, word_cell::context(word)); }

Cell* set_in(Cell* word, const Cell* value, NodeRef ctx, bool notify) {
  int32_t index = word_cell::index(word);
  if (index < 0) {
    int32_t found = find_word(ctx, word_cell::symbol(word), false);
    index = found >= 0 ? slot_of(ctx, found) : add_word(ctx, word);
    word->w3 = uint32_t(index);
  }
  Cell* base = values_base(ctx);
  if (!base) fire(err::script::NOT_DEFINED, word);
  Cell* slot = base + index;
  bool tracked = !values_on_stack(ctx) && kind_of(ctx) == OBJECT;
  if (!tracked) return cell::copy(value, slot);
  get_word(ctx, index)->header |= OWNED_SLOT;
  if (!notify || !on_change || record_of(ctx)[1].w3 == 0) return cell::copy(value, slot);
  Cell* saved_top = stack::top;
  Cell* old = stack::push(slot);
  cell::copy(value, slot);
  on_change(ctx, word, old, slot);
  stack::top = saved_top;
  return slot;
}

[[gnu::noinline]] Cell* set_tracked(Cell* word, const Cell* value) {
  return set_in(word, value, word_cell::context(word), true);
}

void set_integer(Cell* word, int32_t value) {
  NodeRef ctx = word_cell::context(word);
  int32_t index = word_cell::index(word);
  if (index < 0) index = slot_of(ctx, find_word(ctx, word_cell::symbol(word), false));
  Cell v = values::integer(value);
  cell::copy(&v, values_base(ctx) + index);
}

Cell* value_of(uint32_t symbol, NodeRef ctx) {
  if (values_on_stack(ctx)) ctx = global;
  return values_base(ctx) + slot_of(ctx, find_word(ctx, symbol, true));
}

Cell* global_value(uint32_t symbol) { return value_of(symbol, global); }

void copy_global_value(uint32_t symbol, Cell* out) {
  Cell word = add_global(symbol);
  cell::copy(values_base(global) + word_cell::index(&word), out);
}

Cell* value_at(NodeRef ctx, int32_t index) { return memory::buffer_of(record_of(ctx)->w2)->cells() + index; }

void set_stack_frame(NodeRef ctx, const Cell* first_argument) {
  record_of(ctx)->w2 = first_argument ? uint32_t(first_argument - stack::bottom) + 1 : 0;
}

Cell add_global(uint32_t symbol) {
  int32_t found = find_word(global, symbol, false);
  if (found >= 0) return *get_word(global, found);
  // A case variant shares the slot of the spelling already there.
  int32_t shared = symbol::get_alias(symbol) > 0 ? find_word(global, symbol, true) : -1;
  int32_t index = -1;
  find_or_add(global, symbol, false, &index);
  append_value(global, &values::unset);
  if (shared >= 0) get_word(global, index)->w3 = uint32_t(slot_of(global, shared));
  return *get_word(global, index);
}

Cell* get_word(NodeRef ctx, int32_t index) {
  ZOL_ASSERT(index >= 0 && index < int32_t(get_words(ctx)->length()));
  return get_words(ctx)->cells() + index;
}
SeriesBuffer* get_words(NodeRef ctx) { return memory::buffer_of(get_words_node(ctx)); }
NodeRef get_words_node(NodeRef ctx) { return hashtable::record(word_table(ctx))->block; }

}  // namespace zol::context
