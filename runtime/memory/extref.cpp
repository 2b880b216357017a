// The external-reference table (see extref.h).
#include "runtime/memory/extref.h"

#include "runtime/core/error.h"
#include "runtime/base/system.h"

namespace zol::extref {
namespace {

struct Handler {
  uint32_t code;       // stored for the owner; nothing here reads it
  ReleaseFn release;
};

Slot* slots = nullptr;
int32_t slot_count = 0;
int32_t free_head = -1;
int32_t in_use_head = -1;
Handler handlers[MAX_HANDLERS];
int handler_count = 0;

void thread_free_slots(int32_t from, int32_t to) {
  for (int32_t i = from; i < to; i++) slots[i] = Slot{EXTREF_FREE, i + 1 < to ? i + 1 : -1, 0};
}

// Called when slot `last` is the only free slot left: doubles the table and links
// the new half after it, so that indexes handed out so far stay valid.
void grow(int32_t last) {
  int32_t old_count = slot_count;
  slots = static_cast<Slot*>(system::resize(slots, sizeof(Slot) * size_t(old_count) * 2));
  slot_count = old_count * 2;
  thread_free_slots(old_count, slot_count);
  slots[last].next = old_count;
}

bool in_use(int32_t index) {
  return index >= 0 && index < slot_count && !(slots[index].flags & EXTREF_FREE);
}

void release(const Slot& s) {
  int h = static_cast<int>(s.flags & EXTREF_HANDLER_MASK);
  if (h == 0 || h > handler_count || !handlers[h - 1].release) return;
  handlers[h - 1].release(s.value);
}

void return_to_free_list(int32_t index) {
  slots[index] = Slot{EXTREF_FREE, free_head, 0};
  free_head = index;
}

}  // namespace

void init() {
  slots = static_cast<Slot*>(system::allocate(sizeof(Slot) * INITIAL_SLOTS));
  slot_count = INITIAL_SLOTS;
  thread_free_slots(0, slot_count);
  free_head = 0;
  in_use_head = -1;
  handler_count = 0;
}

int32_t capacity() { return slot_count; }

int register_handler(uint32_t code, ReleaseFn fn) {
  if (handler_count == MAX_HANDLERS) fire(err::internal::LIMIT_HIT);
  handlers[handler_count++] = Handler{code, fn};
  return handler_count;
}

int32_t alloc(uintptr_t value, uint32_t flags) {
  int32_t index = free_head;
  if (slots[index].next == -1) grow(index);
  free_head = slots[index].next;
  slots[index] = Slot{flags & ~(EXTREF_FREE | EXTREF_MARK), in_use_head, value};
  in_use_head = index;
  return index;
}

uintptr_t value(int32_t index) { return in_use(index) ? slots[index].value : 0; }

void set(int32_t index, uintptr_t v) {
  if (!in_use(index)) return;
  Slot& s = slots[index];
  if (s.value != v) release(s);
  s.value = v;
}

void free(int32_t index, bool release_value) {
  if (!in_use(index)) return;
  if (release_value) release(slots[index]);
  int32_t* link = &in_use_head;
  while (*link != index) link = &slots[*link].next;
  *link = slots[index].next;
  return_to_free_list(index);
}

bool mark(int32_t index, uintptr_t v) {
  if (!in_use(index)) return false;
  Slot& s = slots[index];
  if (v) s.value = v;
  if (s.flags & EXTREF_MARK) return false;
  s.flags |= EXTREF_MARK;
  return true;
}

void for_each(int handler, void (*fn)(uintptr_t)) {
  for (int32_t i = in_use_head; i != -1; i = slots[i].next)
    if (int(slots[i].flags & EXTREF_HANDLER_MASK) == handler) fn(slots[i].value);
}

// The walk keeps indexes, not addresses: a release handler may take new slots,
// which can move the table.
void sweep() {
  int32_t prev = -1;
  int32_t index = in_use_head;
  while (index != -1) {
    int32_t next = slots[index].next;
    if (slots[index].flags & EXTREF_MARK) {
      slots[index].flags &= ~EXTREF_MARK;
      prev = index;
    } else {
      Slot dead = slots[index];
      if (prev == -1) in_use_head = next; else slots[prev].next = next;
      return_to_free_list(index);
      release(dead);
    }
    index = next;
  }
}

}  // namespace zol::extref
