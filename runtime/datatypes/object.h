// object!: a context of words and values with a class identity and optional change
// handlers. error! and port! are built on it.
//
// object! cell (type object!):
//   word 1  the node of the object's context (kind OBJECT, its values in a block);
//           the context keeps a copy of this cell as its owner value (`self`)
//   word 2  the class id: objects made from a prototype without new words share
//           the prototype's id, any new word takes a fresh one
//   word 3  the node of the handler record, 0 when the object has no word
//           `on-change*` nor `on-deep-change*`
//
// Handler record: a block of two integer! cells, the first for `on-change*`, the
// second for `on-deep-change*`; word 2 of each holds the handler's slot in the
// context, or -1 when the object has no such word.
#pragma once
#include <cstdint>

#include "runtime/core/action_types.h"
#include "runtime/core/cell.h"

namespace zol::object {

void init();   // registers object!

// A new object with an empty context of the given capacity and a new class id.
Cell make_empty(int32_t capacity);
// The context of an object (its record's second cell is the object itself, `self`).
inline NodeRef context_of(const Cell* obj) { return obj->w1; }
// Objects made from one spec share a class id; the change-handler record is 0 when
// the object has no handlers.
inline uint32_t class_of(const Cell* obj) { return obj->w2; }
inline NodeRef handlers_of(const Cell* obj) { return obj->w3; }
// The value of a word of the object (symbols compared ignoring case), or null.
Cell* value_of(const Cell* obj, uint32_t symbol);
Cell* value_at(const Cell* obj, int32_t index);
int32_t word_count(const Cell* obj);
// Copies the object cell into its context (after word 3 changed).
void refresh(const Cell* obj);
uint32_t new_class_id();

// Builds (or drops) the handler record from the words the object holds now.
void build_handlers(Cell* obj);
bool has_deep_handler(const Cell* obj);

// Calls `on-change*` with (word old new) when the object has one.
void notify_owner(const Cell* obj, const Cell* word, const Cell* old_value,
                  const Cell* new_value);

// The object's context copy, deep (series copied) or not; keep_handlers keeps the
// handler record instead of rebuilding it.
Cell copy(const Cell* obj, bool deep, const Cell* types, bool keep_handlers);

// make object! / make prototype spec, shared by error!.
Cell* make(Cell* proto, Cell* spec, int type);
// Builds an object from a block without evaluating it (the construct native).
Cell construct(const Cell* spec, const Cell* proto, bool only);
// `set` on an object.
void set_many(Cell* obj, const Cell* value, bool any, bool only, bool some);

// form and mold of an object's words and values (also used by error!). Mold mode
// puts each field on a line of its own, indented to how.indent, unless flat.
int serialize(const Cell* obj, Cell* buffer, const MoldOptions& how, int limit, bool mold_mode);

// Answers the reflection of a field (words, values, body, class, changed, owner,
// events?).
Cell* reflect(Cell* value, uint32_t field);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path);
int compare(const Cell* a, const Cell* b, int op);

}  // namespace zol::object
