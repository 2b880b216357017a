// The external-reference table: values that stand for resources outside the
// memory manager (OS image objects of image! and handle! values) hold an index into
// this table. The collector marks the slots that live values reach and, after
// marking, releases every other in-use slot through the release handler its owner
// registered, so that a resource dies with the last value that holds it.
//
// Slots are linked by index into a free list and an in-use list (-1 ends a list).
// A slot's flags carry its release-handler index in the low byte (1-based, 0 for
// none), EXTREF_FREE on a free slot and EXTREF_MARK while the collector has
// marked it.
#pragma once
#include <cstdint>

namespace zol::extref {

constexpr uint32_t EXTREF_HANDLER_MASK = 0xFFu;
constexpr uint32_t EXTREF_FREE = 0x40000000u;
constexpr uint32_t EXTREF_MARK = 0x80000000u;
constexpr int32_t INITIAL_SLOTS = 1000;
constexpr int MAX_HANDLERS = 20;

struct Slot {
  uint32_t flags;
  int32_t next;        // next slot of the list this slot is on
  uintptr_t value;     // the referenced resource (pointer or handle)
};

// A release handler may run inside a collection: it must not allocate series.
using ReleaseFn = void (*)(uintptr_t value);

void init();
int32_t capacity();

// Appends a release handler and answers its 1-based index; past MAX_HANDLERS the
// internal limit-hit error is raised.
int register_handler(uint32_t code, ReleaseFn release);

// Takes a free slot for `value`; `flags` holds the handler index in its low byte.
// Only cells keep a slot alive: store the index in its cell before anything else
// allocates, or the next collection releases it.
int32_t alloc(uintptr_t value, uint32_t flags);
uintptr_t value(int32_t index);
// Replaces the value; a different old value is released through the handler.
void set(int32_t index, uintptr_t value);
// Returns the slot to the free list, first releasing its value when asked to.
void free(int32_t index, bool release);

// Marks the slot (true when it was not marked yet); a non-zero value replaces the
// slot's value. Indexes that name no in-use slot are ignored.
bool mark(int32_t index, uintptr_t value = 0);
// Calls fn with the value of every in-use slot whose handler is `handler`.
void for_each(int handler, void (*fn)(uintptr_t value));
// After marking: marked slots lose their mark, the others are released and freed.
void sweep();

}  // namespace zol::extref
