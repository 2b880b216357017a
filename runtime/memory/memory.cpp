// The memory manager (layout and rules in memory.h).
#include "runtime/memory/memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <bitset>
#include <cstring>
#include <utility>

#include "platform/platform.h"
#include "runtime/base/asan.h"
#include "runtime/collector/collector.h"
#include "runtime/core/error.h"
#include "runtime/base/system.h"

namespace zol::memory {

MemoryRoot root;
uintptr_t* node_base = nullptr;
void (*link_dropped)(uint32_t id) = nullptr;

namespace {

NodeFrame* frames_by_number[MAX_NODE_FRAMES];
// Which numbers have a frame. The stack scan asks about every word it reads; this
// small table answers most of them without touching the pages of frames_by_number.
std::bitset<MAX_NODE_FRAMES> frame_numbers_in_use;
uint32_t last_frame_number = 0;   // numbers are handed out round-robin
uint64_t series_allocations = 0;

[[noreturn]] void no_memory() { fire(err::internal::NO_MEMORY); }

uint32_t checked_data_size(int64_t units, uint32_t unit) {
  if (units < 0 || unit == 0) no_memory();
  if (units > int64_t(MAX_DATA_SIZE) / unit) no_memory();
  uint64_t bytes = uint64_t(units) * unit;
  return static_cast<uint32_t>(system::align(bytes, 16));
}

uint32_t free_slot_word(uint32_t next_index) { return (next_index << 1) | 1u; }

// Frame numbers are taken round-robin rather than lowest first, so that a NodeRef
// kept past the release of its frame does not soon name a node of a new frame.
uint32_t next_frame_number() {
  for (uint32_t tries = 1; tries < MAX_NODE_FRAMES; tries++) {
    uint32_t number = (last_frame_number + tries) % MAX_NODE_FRAMES;
    if (number >= FIRST_NODE_FRAME && !frames_by_number[number]) return last_frame_number = number;
  }
  no_memory();
}

void link_series_frame(SeriesFrame* f) {
  // Keep the list in ascending address order.
  SeriesFrame* after = nullptr;
  for (SeriesFrame* p = root.series_head; p && p < f; p = p->next) after = p;
  f->prev = after;
  f->next = after ? after->next : root.series_head;
  if (f->next) f->next->prev = f; else root.series_tail = f;
  if (after) after->next = f; else root.series_head = f;
}

SeriesFrame* carve_frame_for(uint32_t needed) {
  SeriesFrame* f = root.series_current;
  if (f && needed <= frame_room(f)) return f;
  f = find_series_frame(needed);
  if (!f) {
    collector::collect();
    f = find_series_frame(needed);
  }
  if (!f || size_t(f->end - f->top) < MIN_REUSABLE_ROOM) {
    if (needed >= root.current_frame_size) root.current_frame_size = root.max_frame_size;
    f = new_series_frame();
  }
  root.series_current = f;
  return f;
}

// The abandoned buffer's data may not be read again; its header stays readable for
// the collector's frame walk.
void abandon(SeriesBuffer* b) {
  drop_link(b);   // what was derived from this buffer's cells dies with it
  b->node = 0;
  b->flags &= ~FLAG_IN_USE;
  if (b->flags & FLAG_BIG) free_big_series(b);
  else ZOL_POISON(b->data(), b->size);
}

// The data size an expansion asks for (0 doubles it), refused when no buffer can
// have it.
int64_t expansion_size(const SeriesBuffer* buffer, int64_t new_size) {
  if (new_size == 0) new_size = int64_t(buffer->size) * 2;
  if (new_size <= 0 || new_size > int64_t(MAX_DATA_SIZE)) no_memory();
  return new_size;
}

// Points the node of `buffer` at a new buffer of `new_size` bytes with the same
// unit and flags; returns the new buffer. The old one is still intact.
SeriesBuffer* replace_buffer(SeriesBuffer*& buffer, int64_t new_size) {
  new_size = expansion_size(buffer, new_size);
  NodeRef node = buffer->node;
  uint32_t unit = buffer->unit();
  SeriesBuffer* nb = alloc_series_buffer(new_size / unit, unit, 0);
  if (node) buffer = buffer_of(node);   // a collection may have run
  nb->flags = (buffer->flags & ~(FLAG_BIG | FLAG_COLLECTOR_BITS)) | (nb->flags & FLAG_BIG);
  nb->node = node;
  nb->tail = nb->offset + (buffer->tail - buffer->offset);
  if (node) set_buffer(node, nb);
  return nb;
}

// --- big series in their own mappings ------------------------------------------------

BigSeries* big_series_of(SeriesBuffer* b) { return reinterpret_cast<BigSeries*>(b) - 1; }

// The pages a big series of `bytes` (header and data) takes: 8 bytes more than
// asked, for the reason frames are never filled to their last byte: a pointer just
// past the data must not name the next mapping.
size_t big_mapping_bytes(size_t bytes) { return sizeof(BigSeries) + bytes + sizeof(uintptr_t); }

// The list's link that names `big`, nullptr when it is not listed.
BigSeries** big_link_to(const BigSeries* big) {
  for (BigSeries** link = &root.big_head; *link; link = &(*link)->next)
    if (*link == big) return link;
  return nullptr;
}

// Grows a big series with a node in its own mapping and answers it, or nullptr when
// the pages cannot be resized (the caller copies instead). The kernel extends the
// mapping or moves its pages elsewhere without copying them, so the pages already
// written stay in memory: copying a doubling block into fresh pages instead cost a
// page fault per 4 KB written. The series keeps its node, unit, flags and length;
// its content moves to the data start as after a copying expansion. In stress mode
// the pages always move, so that a pointer kept into the old place faults as it
// would after a copy.
SeriesBuffer* grow_big_series(SeriesBuffer* buffer, uint32_t size) {
  NodeRef node = buffer->node;
  // Growing is an allocation point like any other: the test modes may collect here.
  collector::before_allocation(++series_allocations);
  buffer = buffer_of(node);
  BigSeries* big = big_series_of(buffer);
  BigSeries** link = big_link_to(big);
  if (!link) return nullptr;
  size_t rounded = system::align(big_mapping_bytes(BUFFER_OVERHEAD + size), platform::PAGE_SIZE);
  size_t old_rounded = big->alloc_size;
  auto* moved = static_cast<BigSeries*>(
      platform::resize_pages(big, old_rounded, rounded, collector::stress_every != 0));
  if (!moved) return nullptr;
  ZOL_UNPOISON(moved, rounded);   // the sanitizer sees no remap: the new place may read as freed
  root.total += rounded - old_rounded;
  root.big_since_cycle += rounded - old_rounded;
  *link = moved;
  moved->alloc_size = rounded;
  moved->size = BUFFER_OVERHEAD + size;
  SeriesBuffer* b = moved->buffer();
  drop_link(b);   // as for the buffer an expansion abandons: the form goes
  b->flags &= ~FLAG_COLLECTOR_BITS;
  if (b->offset) {
    std::memmove(b->raw_data(), b->raw_data() + b->offset, b->size - b->offset);
    b->tail -= b->offset;
    b->offset = 0;
  }
  b->size = size;
  set_buffer(node, b);
  return b;
}

// Whether an expansion of `buffer` to `size` data bytes may grow it in place.
bool grows_in_place(const SeriesBuffer* buffer, uint32_t size) {
  return (buffer->flags & FLAG_BIG) && buffer->node && size > buffer->size;
}

}  // namespace

// --- nodes -----------------------------------------------------------------------

NodeFrame* node_frame_of(NodeRef ref) {
  uint32_t number = ref >> NODE_FRAME_SHIFT;
  if (number < FIRST_NODE_FRAME || number >= MAX_NODE_FRAMES || !frame_numbers_in_use.test(number)) return nullptr;
  NodeFrame* f = frames_by_number[number];
  if (!f || (ref & (NODE_FRAME_STRIDE - 1)) >= f->capacity) return nullptr;
  return f;
}

bool is_live_node(NodeRef ref) {
  return node_frame_of(ref) && node_base[ref] != 0 && !node_is_free_slot(node_base[ref]);
}

void init() {
  root = MemoryRoot{};
  if (!node_base) {
    void* p = mmap(nullptr, NODE_REGION_BYTES, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) system::runtime_error(system::FATAL_OUT_OF_MEMORY, 0);
    node_base = static_cast<uintptr_t*>(p);
  }
}

bool initialized() { return node_base != nullptr; }

void* alloc_frame(size_t bytes, size_t* rounded) {
  size_t size = system::align(bytes, platform::PAGE_SIZE);
  void* p = platform::allocate_pages(size);
  if (!p) no_memory();
  root.total += size;
  *rounded = size;
  return p;
}

void free_frame(void* address, size_t rounded) {
  if (!platform::free_pages(address, rounded)) fire(err::internal::WRONG_MEM);
  root.total -= rounded;
}

NodeFrame* new_node_frame(uint32_t capacity) {
  if (capacity == 0 || capacity > NODE_FRAME_STRIDE) capacity = NODE_FRAME_CAPACITY;
  uint32_t number = next_frame_number();
  auto* f = static_cast<NodeFrame*>(system::allocate_zeroed(sizeof(NodeFrame)));
  f->number = number;
  f->capacity = capacity;
  f->cycle = static_cast<uint32_t>(collector::cycles());
  // Slot 0 stays free and off the list: its ref, the frame number times 16384, is
  // also every round size (64 KB, 1 MB, 8 MB...) that C++ code keeps on the stack,
  // which the stack scan would otherwise take for a live node.
  uintptr_t* slots = node_frame_slots(f);
  slots[0] = free_slot_word(0);
  for (uint32_t i = 1; i < capacity; i++)
    slots[i] = free_slot_word(i + 1 < capacity ? i + 2 : 0);
  f->free_head = 2;
  frames_by_number[number] = f;
  frame_numbers_in_use.set(number);
  root.total += size_t(capacity) * sizeof(uintptr_t);
  f->prev = root.node_tail;
  if (root.node_tail) root.node_tail->next = f; else root.node_head = root.node_current = f;
  root.node_tail = f;
  return f;
}

NodeRef alloc_node() {
  NodeFrame* f = root.node_current;
  if (!f || f->free_head == 0 || f->release) {
    f = root.node_head;
    while (f && (f->free_head == 0 || f->release)) f = f->next;
    if (!f) f = new_node_frame(NODE_FRAME_CAPACITY);
    root.node_current = f;
  }
  return alloc_node_in(f);
}

NodeRef alloc_node_in(NodeFrame* f) {
  NodeRef ref = (f->number << NODE_FRAME_SHIFT) | (f->free_head - 1);
  f->free_head = static_cast<uint32_t>(node_base[ref] >> 1);
  node_base[ref] = 0;
  f->in_use++;
  return ref;
}

void free_node(NodeRef ref) {
  NodeFrame* f = node_frame_of(ref);
  if (!f || node_is_free_slot(node_base[ref])) return;
  f->in_use--;
  if (collector::stress_every && collector::active()) {
    node_base[ref] = POISONED_SLOT;   // never reused: see memory.h
    return;
  }
  node_base[ref] = free_slot_word(f->free_head);
  f->free_head = (ref & (NODE_FRAME_STRIDE - 1)) + 1;
}

namespace {

// Gives a frame's number up and its slot pages back to the system: the slots read
// as 0 from now on, so a stale NodeRef never looks live, and the pages of numbers
// no frame holds stay out of memory.
void retire_node_frame(NodeFrame* f) {
  size_t bytes = system::align(size_t(f->capacity) * sizeof(uintptr_t), platform::PAGE_SIZE);
  platform::discard_pages(node_frame_slots(f), bytes);
  frames_by_number[f->number] = nullptr;
  frame_numbers_in_use.reset(f->number);
  system::free(f);
}

}  // namespace

void free_node_frame(NodeFrame* f) {
  if (f->prev) f->prev->next = f->next; else root.node_head = f->next;
  if (f->next) f->next->prev = f->prev; else root.node_tail = f->prev;
  if (root.node_current == f) root.node_current = root.node_head;
  root.total -= size_t(f->capacity) * sizeof(uintptr_t);
  retire_node_frame(f);
}

void trim_node_frames() {
  for (NodeFrame* f = root.node_head; f;) {
    NodeFrame* next = f->next;
    bool only_frame = f == root.node_head && !f->next;
    if (f->release || (f->in_use == 0 && !only_frame)) {
      free_node_frame(f);
    } else {
      f->history = (f->history << 1) | (f->in_use == f->previous_in_use ? 1u : 0u);
      f->previous_in_use = f->in_use;
    }
    f = next;
  }
  NodeFrame* current = root.node_head;
  while (current && current->free_head == 0) current = current->next;
  root.node_current = current ? current : root.node_head;
}

// --- series frames -----------------------------------------------------------------

SeriesFrame* new_series_frame_of(uint32_t data_size) {
  size_t rounded = 0;
  auto* f = static_cast<SeriesFrame*>(alloc_frame(sizeof(SeriesFrame) + data_size, &rounded));
  f->size = rounded;
  f->top = f->data();
  f->end = reinterpret_cast<uint8_t*>(f) + rounded;
  ZOL_POISON(f->top, size_t(f->end - f->top));
  link_series_frame(f);
  return f;
}

SeriesFrame* new_series_frame() {
  SeriesFrame* f = new_series_frame_of(root.current_frame_size);
  if (root.current_frame_size < root.max_frame_size) {
    root.current_frame_size *= 2;
    if (root.current_frame_size > root.max_frame_size) root.current_frame_size = root.max_frame_size;
  }
  return f;
}

SeriesFrame* find_series_frame(uint32_t bytes) {
  for (SeriesFrame* f = root.series_head; f; f = f->next)
    if (bytes <= frame_room(f)) return f;
  return nullptr;
}

void free_series_frame(SeriesFrame* f) {
  if (f->prev) f->prev->next = f->next; else root.series_head = f->next;
  if (f->next) f->next->prev = f->prev; else root.series_tail = f->prev;
  if (root.series_current == f) root.series_current = root.series_head;
  ZOL_UNPOISON(f, f->size);
  free_frame(f, f->size);
}

// --- buffers -----------------------------------------------------------------------

SeriesBuffer* alloc_series_buffer(int64_t units, uint32_t unit, int32_t offset) {
  uint32_t size = checked_data_size(units, unit);
  uint64_t needed = uint64_t(size) + BUFFER_OVERHEAD;
  collector::before_allocation(++series_allocations);
  SeriesBuffer* b;
  uint32_t big = 0;
  if (needed >= root.max_frame_size) {
    if (root.big_since_cycle + needed > root.big_budget) collector::collect();
    root.big_since_cycle += needed;
    b = alloc_big_series(needed);
    big = FLAG_BIG;
  } else {
    SeriesFrame* f = carve_frame_for(static_cast<uint32_t>(needed));
    b = reinterpret_cast<SeriesBuffer*>(f->top);
    ZOL_UNPOISON(b, needed);
    f->top += needed;
  }
  b->size = size;
  b->node = 0;
  b->link = LINK_NONE;
  b->flags = unit | FLAG_IN_USE | FLAG_ALLOCATED | big;
  uint32_t first;
  if (offset < 0) {
    first = (size / 2) / unit * unit;
    b->flags |= FLAG_MIDDLE;
  } else {
    first = static_cast<uint32_t>(offset) <= size ? static_cast<uint32_t>(offset) : size;
  }
  b->offset = b->tail = first;
  return b;
}

NodeRef alloc_series(int64_t units, uint32_t unit, int32_t offset) {
  SeriesBuffer* b = alloc_series_buffer(units, unit, offset);
  NodeRef ref = alloc_node();
  set_buffer(ref, b);
  b->node = ref;
  return ref;
}

NodeRef alloc_cells(int64_t n) { return alloc_series(n, sizeof(Cell), 0); }

NodeRef alloc_unset_cells(int64_t n) {
  NodeRef ref = alloc_cells(n);
  SeriesBuffer* b = buffer_of(ref);
  auto* c = reinterpret_cast<Cell*>(b->data());
  for (uint32_t i = 0; i < b->size / sizeof(Cell); i++) cell::set(c + i, T_UNSET);
  return ref;
}

NodeRef alloc_bytes(int64_t n) { return alloc_series(n == 0 ? 16 : n, 1, 0); }

NodeRef alloc_bytes_filled(int64_t n, uint8_t byte) {
  NodeRef ref = alloc_bytes(n);
  SeriesBuffer* b = buffer_of(ref);
  std::memset(b->data(), byte, b->size);
  return ref;
}

NodeRef alloc_codepoints(int64_t n, uint32_t unit) {
  if (unit != 1 && unit != 2 && unit != 4) unit = 1;
  return alloc_series(n == 0 ? 16 / unit : n, unit, 0);
}

NodeRef alloc_fixed_cells(int64_t n) {
  uint32_t size = checked_data_size(n, sizeof(Cell));
  SeriesBuffer* b = alloc_big_series(uint64_t(size) + BUFFER_OVERHEAD);
  b->size = size;
  b->link = LINK_NONE;
  b->flags = sizeof(Cell) | FLAG_IN_USE | FLAG_ALLOCATED | FLAG_BIG;
  b->offset = b->tail = 0;
  NodeRef ref = alloc_node();
  set_buffer(ref, b);
  b->node = ref;
  return ref;
}

void set_series_flag(NodeRef ref, uint32_t bits) { buffer_of(ref)->flags |= bits; }

SeriesBuffer* expand_series(SeriesBuffer* buffer, int64_t new_size) {
  SeriesBuffer* nb = replace_buffer(buffer, new_size);
  abandon(buffer);
  return nb;
}

SeriesBuffer* expand_series_copy(SeriesBuffer* buffer, int64_t new_size) {
  new_size = expansion_size(buffer, new_size);
  uint32_t unit = buffer->unit();
  uint32_t size = checked_data_size(new_size / unit, unit);
  if (grows_in_place(buffer, size))
    if (SeriesBuffer* grown = grow_big_series(buffer, size)) return grown;
  SeriesBuffer* nb = replace_buffer(buffer, new_size);
  uint32_t bytes = buffer->size - buffer->offset;
  if (bytes > nb->size) bytes = nb->size;
  std::memcpy(nb->data(), std::as_const(*buffer).head(), bytes);
  abandon(buffer);
  return nb;
}

SeriesBuffer* expand_series_filled(SeriesBuffer* buffer, int64_t new_size, uint8_t byte) {
  uint32_t old_size = buffer->size;
  SeriesBuffer* nb = expand_series_copy(buffer, new_size);
  if (nb->size > old_size) std::memset(nb->data() + old_size, byte, nb->size - old_size);
  return nb;
}

NodeRef copy_series(SeriesBuffer* buffer) {
  NodeRef source = buffer->node;
  NodeRef ref = alloc_series(buffer->size, 1, 0);
  if (source) buffer = buffer_of(source);   // a collection may have run
  SeriesBuffer* nb = buffer_of(ref);
  nb->flags = (buffer->flags & ~(FLAG_BIG | FLAG_COLLECTOR_BITS)) | (nb->flags & FLAG_BIG);
  nb->offset = 0;
  nb->tail = buffer->tail - buffer->offset;
  std::memcpy(nb->data(), std::as_const(*buffer).head(), buffer->size - buffer->offset);
  return ref;
}

void fill(uint8_t* from, uint8_t* to, uint8_t byte) {
  if (to > from) std::memset(from, byte, size_t(to - from));
}

void zero_words(uint32_t* from, uint32_t* to) {
  if (to > from) std::memset(from, 0, size_t(to - from) * sizeof(uint32_t));
}

// --- big series ----------------------------------------------------------------------

SeriesBuffer* alloc_big_series(size_t bytes) {
  size_t rounded = 0;
  auto* big = static_cast<BigSeries*>(alloc_frame(big_mapping_bytes(bytes), &rounded));
  big->next = nullptr;
  big->alloc_size = rounded;
  big->size = bytes;
  BigSeries** link = &root.big_head;
  while (*link) link = &(*link)->next;
  *link = big;
  return big->buffer();
}

void free_big_series(SeriesBuffer* buffer) {
  for (BigSeries** link = &root.big_head; *link; link = &(*link)->next) {
    if ((*link)->buffer() == buffer) {
      BigSeries* big = *link;
      *link = big->next;
      free_frame(big, big->alloc_size);
      return;
    }
  }
}

bool is_big(const SeriesBuffer* b) { return (b->flags & FLAG_BIG) != 0; }

void sweep_big_series() {
  for (BigSeries** link = &root.big_head; *link;) {
    BigSeries* big = *link;
    SeriesBuffer* b = big->buffer();
    if (b->flags & FLAG_MARK) {
      b->flags &= ~FLAG_COLLECTOR_BITS;
      link = &big->next;
      continue;
    }
    drop_link(b);
    if (holds_its_node(b)) free_node(b->node);
    *link = big->next;
    free_frame(big, big->alloc_size);
  }
}

void reset_big_budget() {
  root.big_since_cycle = 0;
  root.big_budget = std::max(root.total, MIN_BIG_BUDGET);
}

namespace {

// Every link still set is dropped first, so that the registry frees what it holds.
void drop_all_links() {
  for (SeriesFrame* f = root.series_head; f; f = f->next)
    for (uint8_t* p = f->data(); p < f->top;) {
      auto* b = reinterpret_cast<SeriesBuffer*>(p);
      p += BUFFER_OVERHEAD + b->size;
      drop_link(b);
    }
  for (BigSeries* big = root.big_head; big; big = big->next) drop_link(big->buffer());
}

}  // namespace

void free_all_frames() {
  drop_all_links();
  while (root.big_head) {
    BigSeries* big = root.big_head;
    root.big_head = big->next;
    platform::free_pages(big, big->alloc_size);
  }
  for (SeriesFrame* f = root.series_head; f;) {
    SeriesFrame* next = f->next;
    ZOL_UNPOISON(f, f->size);
    platform::free_pages(f, f->size);
    f = next;
  }
  for (NodeFrame* f = root.node_head; f;) {
    NodeFrame* next = f->next;
    retire_node_frame(f);
    f = next;
  }
  root = MemoryRoot{};
}

// --- tail reservation --------------------------------------------------------------

Cell* alloc_tail_cell(NodeRef ref) {
  SeriesBuffer* b = buffer_of(ref);
  if (b->tail + sizeof(Cell) > b->size) b = expand_series_copy(b, 0);
  auto* c = reinterpret_cast<Cell*>(b->tail_ptr());
  cell::set(c, T_UNSET);
  b->tail += sizeof(Cell);
  return c;
}

uint8_t* alloc_tail_bytes(NodeRef ref, uint32_t n) {
  SeriesBuffer* b = buffer_of(ref);
  if (uint64_t(b->tail) + n > b->size) {
    int64_t grown = b->size < n ? int64_t(n) * 2 : int64_t(b->size) * 2;
    b = expand_series_copy(b, grown);
  }
  uint8_t* at = b->tail_ptr();
  b->tail += n;
  return at;
}

uint64_t allocation_count() { return series_allocations; }

}  // namespace zol::memory

namespace zol {

void SeriesBuffer::clear_link() {
  uint32_t id = link;
  link = LINK_NONE;
  if (id >= LINK_FIRST_ID && memory::link_dropped) memory::link_dropped(id);
}

}  // namespace zol
