// Series ownership: an object whose fields must report changes deep inside their
// values takes ownership of the series its fields hold (and of those nested in
// them). Every modifying action asks check() first; for an owned series the
// owner's deep-change handler hears what is being done.
//
// Ownership lives in one weak records table keyed by the series node (an object by
// its context node). A record holds three cells: the owned value, the owner
// object! cell and the word of the owner's field that holds it. Owned series carry
// FLAG_OWNED in their buffer (an image! value bit 16 of its header); an owner's
// context record carries context::FIELDS_OWNED once its fields are owned.
//
// The slot table at the end is a block of reusable integer! cells threaded as a
// free list (word 2 of a free cell: the next free index, -1 ends the list).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::ownership {

extern NodeRef table;

void init();

void set_owner(Cell* value, const Cell* owner, const Cell* word);
void set_owner_deep(Cell* value, const Cell* owner, const Cell* word);
void unbind(Cell* value);
void unbind_range(const Cell* block, int32_t index, int32_t count);
// The owner cell of the record of a node, or nullptr.
Cell* owner_of(NodeRef node);
// Called before and after every in-place change: true when a handler was called.
bool check(Cell* value, const Cell* action, const Cell* new_value, int32_t index, int32_t part);

// The owner's deep-change handler (the object datatype installs it): owner, field
// word, target, action word, new value, index, part.
extern void (*on_deep_change)(Cell* owner, Cell* word, Cell* target, const Cell* action,
                              const Cell* new_value, int32_t index, int32_t part);

}  // namespace zol::ownership

namespace zol::slots {

void init();
int32_t alloc(const Cell* value);   // 1-based index
void free(int32_t index);           // 0 does nothing
Cell* at(int32_t index);
int32_t capacity();

}  // namespace zol::slots
