// Contexts: maps from words to value slots (the global context, objects, errors,
// function locals).
//
// A context is a node whose two-cell series holds:
//   cell 0, the record:
//     header  context!; bit 22 values on the value stack; bits 11-12 the kind
//             (2 = object: slot writes are tracked for change notification);
//             bit 24 a creation flag that renewal keeps; bit 16 the object's own
//             fields are owned (series ownership)
//     word 1  the word table: a symbol-keyed hash table whose indexed block is the
//             word list; word cell i is a word! bound here
//     word 2  the values block (value i belongs to word i); for values on the
//             stack, 0 while the function is not running, else 1 + the position
//             of the running frame's first argument cell from the stack bottom
//   cell 1, the owner value (the object itself, read by `self`), whose word 3 is
//   the object's change-handler state.
// A word-list cell normally carries its own position as index; in the global
// context a case variant of an existing word carries the index of that word's
// slot instead, so that both spellings share one value.
#pragma once
#include <cstdint>
#include <utility>

#include "runtime/base/assert.h"
#include "runtime/core/cell.h"
#include "runtime/core/stack.h"
#include "runtime/memory/memory.h"

namespace zol::context {

constexpr uint32_t STACK_VALUES = 0x400000;
constexpr uint32_t RENEWED = 0x1000000;
constexpr uint32_t FIELDS_OWNED = 0x10000;
constexpr uint32_t OWNED_SLOT = 0x2000;   // on a word of an object's word list
constexpr int KIND_SHIFT = 11;
constexpr int OBJECT = 2;

extern NodeRef global;

void init();          // registers context!
void init_global();   // makes the global context (rooted)

inline Cell* record_of(NodeRef ctx) {
  Cell* record = memory::buffer_of(ctx)->cells();
  ZOL_ASSERT(record->is(T_CONTEXT));
  return record;
}
// The same for lookups: const access keeps the buffer's link (runtime/memory/memory.h).
inline const Cell* read_record(NodeRef ctx) { return std::as_const(*memory::buffer_of(ctx)).cells(); }
// The values block, or while a stack-valued context runs, 1 + its frame position.
inline uint32_t values_word(NodeRef ctx) { return read_record(ctx)->w2; }
inline void set_values_word(NodeRef ctx, uint32_t values) { record_of(ctx)->w2 = values; }
inline int kind_in(const Cell* record) { return int(record->header >> KIND_SHIFT) & 3; }
inline int kind_of(NodeRef ctx) { return kind_in(read_record(ctx)); }
inline bool values_on_stack(NodeRef ctx) { return (read_record(ctx)->header & STACK_VALUES) != 0; }
NodeRef word_table(NodeRef ctx);

// `source`: 0, or a context whose word list the new one starts with.
NodeRef create(int32_t size, bool on_stack, bool renewed_flag, NodeRef source, int kind);
NodeRef make_from_spec(const Cell* spec, bool on_stack, bool renewed_flag, NodeRef source, int kind);
NodeRef renew(Cell* object, int kind);
// A context with its own copy of the source's values that shares the source's word
// table: for contexts that never gain words (error! values), made by the
// thousand, where two allocations instead of six matter.
NodeRef create_sharing_words(NodeRef source);

// Lookup and binding. ignore_case compares alias targets of symbols.
int32_t find_word(NodeRef ctx, uint32_t symbol, bool ignore_case);
// The existing index, or -1 after adding the word (its index in *out).
int32_t find_or_add(NodeRef ctx, uint32_t symbol, bool ignore_case, int32_t* out);
// Finds the word ignoring case or adds it (with an unset value); answers its slot.
int32_t add_word(NodeRef ctx, const Cell* word);
void put(NodeRef ctx, const Cell* word, const Cell* value);
Cell* put_new(NodeRef ctx, const Cell* word, const Cell* value);
int32_t bind_word(NodeRef ctx, Cell* word);
// Binds the words of a block (from its head, nested blocks too) to ctx.
const Cell* bind(const Cell* block, NodeRef ctx, bool self);
bool collect_set_words(NodeRef ctx, const Cell* block);

// Values.
Cell* get_in(const Cell* word, NodeRef ctx);
Cell* get(const Cell* word);
Cell* set_in(Cell* word, const Cell* value, NodeRef ctx, bool notify);
// Sets a word's value; the change handler of an object hears of it. Inline: the
// common set (a bound word of a context that tracks no slot writes) is a few loads
// and a store, which a call would double.
inline Cell* set(Cell* word, const Cell* value);
void set_integer(Cell* word, int32_t value);
Cell* value_of(uint32_t symbol, NodeRef ctx);
Cell* global_value(uint32_t symbol);
void copy_global_value(uint32_t symbol, Cell* out);
Cell* value_at(NodeRef ctx, int32_t index);
// The value slots of a context, in its node or on the stack for a running
// function's frame; null when it has none (a function not running).
Cell* values_base(NodeRef ctx);
// Points a context whose values live on the stack at the running frame (0: none).
void set_stack_frame(NodeRef ctx, const Cell* first_argument);

// The word of the global context for a symbol, added when absent.
Cell add_global(uint32_t symbol);

// The word list.
Cell* get_word(NodeRef ctx, int32_t index);
SeriesBuffer* get_words(NodeRef ctx);
NodeRef get_words_node(NodeRef ctx);

// Called after a tracked slot of an object changed (the object datatype installs
// it): the context, the word, the old value and the slot now holding the new one.
extern void (*on_change)(NodeRef ctx, const Cell* word, const Cell* old_value, Cell* slot);

// --- setting a word -------------------------------------------------------------------------

// The slot of a bound word of a context that has its values and tracks no slot
// writes (the common case of set), else null.
inline Cell* untracked_slot(const Cell* word) {
  NodeRef ctx = word_cell::context(word);
  int32_t index = word_cell::index(word);
  if (!ctx || index < 0) return nullptr;
  const Cell* rec = read_record(ctx);
  if (!rec->w2) return nullptr;
  if (rec->header & STACK_VALUES) return stack::bottom + (rec->w2 - 1) + index;
  if (kind_in(rec) == OBJECT) return nullptr;
  // The slot is written: values that carry a link take the tracked path, whose
  // mutable access clears it, so that this one stays short.
  const SeriesBuffer* values = memory::buffer_of(rec->w2);
  if (values->link) return nullptr;
  return const_cast<Cell*>(values->cells()) + index;
}

// Every other set: set_in with the change handler told.
Cell* set_tracked(Cell* word, const Cell* value);

inline Cell* set(Cell* word, const Cell* value) {
  Cell* slot = untracked_slot(word);
  if (!slot) [[unlikely]] return set_tracked(word, value);
  Cell copy = *value;   // a cell copied onto itself stays as it was
  *slot = copy;
  return slot;
}

}  // namespace zol::context
