// The memory manager: nodes, series buffers, series frames and big series.
//
// Every series (block, string, binary, context values, hash-table arrays, raw
// arrays) is a SeriesBuffer reached through a node. Cells hold a 32-bit NodeRef,
// never a buffer address, so the collector can slide buffers down when it compacts
// and only the node changes.
//
// Nodes. All node slots live in one reserved virtual region, indexed directly by
// NodeRef: node_slot(ref) is one load. The region is cut into node frames of
// NODE_FRAME_STRIDE slots, of which the first NODE_FRAME_CAPACITY are used; frame
// number f owns refs [f * stride, f * stride + capacity). Frames 0 and 1 are never
// made: ref 0 means "no node", and every ref is at least 32768, above the upper
// half of any user-space address (the stack scan reads each half of an 8-byte word
// as a possible ref, and a heap pointer's upper half, 0x55xx or 0x56xx under
// address randomisation, would otherwise name a live node of frame 1). Slot 0 of
// a frame is never used either: its ref is a multiple of 16384, as round sizes are. A used slot holds its buffer's address (8-aligned); a free
// slot holds (next free slot index << 1) | 1, index 0 ending the list.
//
// Series frames. Buffers are carved one after another from frames of 1 MB growing
// to 2 MB, kept in ascending address order. A buffer takes 24 header bytes plus its
// data, whose size is a multiple of 16, so the walk from one buffer to the next adds
// the data size plus 24. Space is only reclaimed by the collector's compaction.
// Neither allocation nor compaction fills a frame to its last byte (frame_room):
// the address just past a frame's last buffer then lies inside the frame's own
// pages and never names the mapping that follows it (a big series' header, another
// frame), which code holds all the time and the stack scan would take for a
// pointer to the end of that buffer, pinning it and with it its whole frame.
//
// Big series. A buffer of 2 MB or more lives alone in its own page allocation,
// linked into the big-series list; the collector never moves it. Expansion grows it
// in its mapping (the kernel may move the pages, never copying them), so the series
// keeps the pages already written.
//
// Filling the frames is what runs the collector for small series; big series lie
// outside them, so a big allocation runs it once the big series made or grown since
// the last cycle would pass the memory held after that cycle (at least
// MIN_BIG_BUDGET): dead big series then never hold much more than the rest of the
// heap, without a cycle (a mark of everything live) before every big allocation.
//
// A buffer whose unit is 16 bytes holds value cells between its offset and tail:
// the collector reads them as cells (and rewrites their node words when it moves
// nodes). Raw data therefore never uses a unit of 16.
//
// The walk over a series frame also meets headers that belong to no series:
// abandoned buffers (expansion left them behind) and the dead fillers the
// collector writes into a gap it cannot close. Both have FLAG_IN_USE clear.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol {

// Header of a series buffer; the data follows directly.
//
// `link` names what the interpreter derived from the buffer's cells while they stay
// as they are (a block's prepared form): 0 nothing, LINK_RAN_ONCE "ran once, nothing
// built yet", 2 or more an entry of the interpreter's registry. The barrier keeps it
// true: every mutable accessor below clears it, so whoever may write the cells
// drops what was derived from them, and readers that must keep it use the const
// accessors. A new buffer, and the one expansion or copying makes, starts at 0.
struct SeriesBuffer {
  uint32_t flags;     // unit size in bits 0-4, plus the FLAG_* bits below
  NodeRef node;       // node that points here; 0 once the buffer is abandoned
  uint32_t size;      // data size in bytes, a multiple of 16
  uint32_t offset;    // byte offset of the first used unit from the data start
  uint32_t tail;      // byte offset just past the last used unit
  uint32_t link;      // see above; also keeps the data 8-byte aligned

  // Mutable access: the caller may write, so the link goes.
  uint8_t* data() {
    if (link) clear_link();
    return raw_data();
  }
  uint8_t* head() { return data() + offset; }
  uint8_t* tail_ptr() { return data() + tail; }
  uint8_t* end() { return data() + size; }
  Cell* cells() { return reinterpret_cast<Cell*>(head()); }
  Cell* cell_tail() { return reinterpret_cast<Cell*>(tail_ptr()); }
  // Read-only access keeps the link.
  const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this + 1); }
  const uint8_t* head() const { return data() + offset; }
  const uint8_t* tail_ptr() const { return data() + tail; }
  const Cell* cells() const { return reinterpret_cast<const Cell*>(head()); }
  const Cell* cell_tail() const { return reinterpret_cast<const Cell*>(tail_ptr()); }
  // Moves the tail of a series in use: its length changes, so the link goes too.
  void set_tail(uint32_t t) {
    if (link) clear_link();
    tail = t;
  }
  uint32_t unit() const { return flags & 0x1Fu; }
  uint32_t used_bytes() const { return tail - offset; }
  uint32_t length() const { return (tail - offset) / unit(); }
  // The length of a buffer known to hold cells: a shift where length() divides.
  uint32_t cell_count() const { return used_bytes() / sizeof(Cell); }
  // Sets the link to 0, telling the registry when it named an entry. Out of line
  // and cold: the accessors above only test the word.
  [[gnu::cold]] void clear_link();
  // The data address without touching the link: for the memory manager and the
  // collector, which move or free bytes without changing what they mean.
  uint8_t* raw_data() { return reinterpret_cast<uint8_t*>(this + 1); }
};
static_assert(sizeof(SeriesBuffer) == 24);

// Buffer flag bits.
constexpr uint32_t FLAG_UNIT_MASK = 0x1Fu;
constexpr uint32_t FLAG_IN_USE = 0x80000000u;
constexpr uint32_t FLAG_ALLOCATED = 0x20000000u;
constexpr uint32_t FLAG_MIDDLE = 0x10000000u;      // made with its first unit mid-area
constexpr uint32_t FLAG_MARK = 0x08000000u;        // collector's mark
constexpr uint32_t FLAG_NODE_PINNED = 0x04000000u; // collector: the node may not move
constexpr uint32_t FLAG_PINNED = 0x02000000u;      // collector: the buffer may not move
constexpr uint32_t FLAG_BIG = 0x01000000u;         // big series, outside the frames
constexpr uint32_t FLAG_TABLE_RECORD = 0x00800000u; // a hash table's record: marks its parts
constexpr uint32_t FLAG_STACK_CONTEXT = 0x00400000u;
constexpr uint32_t FLAG_COMPLEMENTED = 0x00080000u;
// A block of the library's source, set once at start-up: the interpreter's trace
// events from it are not delivered, as library code counts as compiled. Copies
// carry it, as library functions often run a copy of their own code.
constexpr uint32_t FLAG_LIBRARY = 0x00040000u;
constexpr uint32_t FLAG_OWNED = 0x00020000u;
constexpr uint32_t FLAG_FIELDS_OWNED = 0x00010000u;
// Bits that live only during a collection and are never copied to a new buffer.
constexpr uint32_t FLAG_COLLECTOR_BITS = FLAG_MARK | FLAG_NODE_PINNED | FLAG_PINNED;

constexpr uint32_t BUFFER_OVERHEAD = sizeof(SeriesBuffer);
// Link values below the first registry id.
constexpr uint32_t LINK_NONE = 0;
constexpr uint32_t LINK_RAN_ONCE = 1;
constexpr uint32_t LINK_FIRST_ID = 2;
constexpr uint32_t MAX_FRAME_SIZE = 0x200000;      // also the big-series threshold
constexpr uint32_t DEFAULT_FRAME_SIZE = 0x100000;
// A frame with less free than 5% of a default frame (rounded down) is not reused.
constexpr uint32_t MIN_REUSABLE_ROOM = DEFAULT_FRAME_SIZE / 20;
constexpr uint32_t MAX_DATA_SIZE = 0x7FFFFFF0u;    // largest buffer data size
constexpr size_t MIN_BIG_BUDGET = size_t(4) * MAX_FRAME_SIZE;

constexpr uint32_t NODE_FRAME_CAPACITY = 10000;
constexpr uint32_t NODE_FRAME_SHIFT = 14;
constexpr uint32_t NODE_FRAME_STRIDE = 1u << NODE_FRAME_SHIFT;
constexpr uint32_t MAX_NODE_FRAMES = 1u << 15;
constexpr uint32_t FIRST_NODE_FRAME = 2;   // see above: refs start at 32768

struct NodeFrame {
  NodeFrame* next;
  NodeFrame* prev;
  uint32_t number;         // frame number: refs are number << NODE_FRAME_SHIFT | slot
  uint32_t capacity;
  uint32_t free_head;      // 1-based slot index of the first free node, 0 when none
  uint32_t in_use;
  uint32_t cycle;          // collector cycle when the frame was made
  uint32_t previous_in_use;
  uint32_t history;        // one bit per collection: in-use count unchanged
  uint32_t release;        // set when the collector emptied the frame into others
};

struct SeriesFrame {
  SeriesFrame* next;       // next frame, higher address
  SeriesFrame* prev;
  size_t size;             // bytes of the frame allocation
  uint8_t* top;            // next free byte
  uint8_t* end;            // just past the data area
  uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
};

struct BigSeries {
  BigSeries* next;
  size_t alloc_size;       // bytes of the page allocation
  size_t size;             // bytes asked for (header + data)
  SeriesBuffer* buffer() { return reinterpret_cast<SeriesBuffer*>(this + 1); }
};

// The memory root: every frame list and the sizes that drive frame creation.
struct MemoryRoot {
  size_t total = 0;                     // bytes of frames taken from the OS
  NodeFrame* node_head = nullptr;
  NodeFrame* node_tail = nullptr;
  NodeFrame* node_current = nullptr;
  SeriesFrame* series_head = nullptr;
  SeriesFrame* series_current = nullptr;
  SeriesFrame* series_tail = nullptr;
  uint32_t default_frame_size = DEFAULT_FRAME_SIZE;
  uint32_t current_frame_size = DEFAULT_FRAME_SIZE;
  uint32_t max_frame_size = MAX_FRAME_SIZE;
  BigSeries* big_head = nullptr;
  size_t big_since_cycle = 0;           // bytes of big series made or grown since the last cycle
  size_t big_budget = MIN_BIG_BUDGET;   // what they may reach before a big allocation collects
};

namespace memory {

extern MemoryRoot root;
// Told the id whenever a link of LINK_FIRST_ID or more is cleared or its buffer is
// freed or abandoned; the interpreter's registry installs it (null: nobody listens).
extern void (*link_dropped)(uint32_t id);
// Clears the link of a buffer that dies (freed, abandoned): same as clear_link, for
// the places that must say so even where nothing reads the data.
inline void drop_link(SeriesBuffer* b) {
  if (b->link) b->clear_link();
}
extern uintptr_t* node_base;   // the reserved node-slot region, indexed by NodeRef
constexpr size_t NODE_REGION_BYTES = size_t(MAX_NODE_FRAMES) * NODE_FRAME_STRIDE * sizeof(uintptr_t);

inline uintptr_t& node_slot(NodeRef ref) { return node_base[ref]; }
inline uintptr_t* node_frame_slots(const NodeFrame* f) {
  return node_base + (size_t(f->number) << NODE_FRAME_SHIFT);
}
inline bool node_is_free_slot(uintptr_t v) { return (v & 1) != 0; }

// What a slot freed by the collector holds in stress mode: such a slot is never
// handed out again, and the value is a non-canonical address, so the first use of a
// stale NodeRef faults in any build instead of reading whatever node took the slot.
// It is odd, so every test for a free slot sees it as free.
constexpr uintptr_t POISONED_SLOT = 0xDEAD0000DEAD0001u;

// Checked builds (the sanitizer builds, or ZOL_CHECKED) trap on a ref whose slot is
// free or not yet given a buffer. The trap takes no argument on purpose: handing
// the ref to a reporting call would make the compiler keep the ref itself alive
// across calls, which is the very form the native stack scan recognises, and so
// hide the fault being looked for.
inline SeriesBuffer* buffer_of(NodeRef ref) {
  uintptr_t v = node_base[ref];
#if defined(ZOL_CHECKED)
  if (v == 0 || node_is_free_slot(v)) __builtin_trap();
#endif
  return reinterpret_cast<SeriesBuffer*>(v);
}
// Whether b is still the buffer its node names (not abandoned, node not freed).
// Reads the slot unchecked: the collector asks this of dead buffers.
inline bool holds_its_node(const SeriesBuffer* b) {
  return b->node && node_base[b->node] == reinterpret_cast<uintptr_t>(b);
}
inline void set_buffer(NodeRef ref, SeriesBuffer* b) {
  node_base[ref] = reinterpret_cast<uintptr_t>(b);
}
NodeFrame* node_frame_of(NodeRef ref);   // nullptr for refs outside any frame
bool is_live_node(NodeRef ref);          // ref names a used node of a live frame

void init();
bool initialized();

// Page allocations for frames; the size is rounded up to whole pages. A refused
// request raises the internal no-memory error.
void* alloc_frame(size_t bytes, size_t* rounded);
void free_frame(void* address, size_t rounded);

NodeFrame* new_node_frame(uint32_t capacity);
NodeRef alloc_node();
NodeRef alloc_node_in(NodeFrame* f);     // f must have a free node
void free_node(NodeRef ref);
void free_node_frame(NodeFrame* f);
// After a collection: frees node frames left with no node in use (all but one) or
// emptied by the collector, records each frame's history and picks the current
// frame again.
void trim_node_frames();

// Bytes that may still be carved from the frame: all its free space but the last
// 8 bytes (see above). Buffer lengths and frame ends are multiples of 8.
inline size_t frame_room(const SeriesFrame* f) {
  size_t free = size_t(f->end - f->top);
  return free > sizeof(uintptr_t) ? free - sizeof(uintptr_t) : 0;
}

SeriesFrame* new_series_frame();
SeriesFrame* new_series_frame_of(uint32_t data_size);   // fixed size, no growth
SeriesFrame* find_series_frame(uint32_t bytes);
void free_series_frame(SeriesFrame* f);

// Buffers. `offset` is the byte offset of the first used unit, or -1 for the middle
// of the data area. Allocation may run the collector and never clears the data.
SeriesBuffer* alloc_series_buffer(int64_t units, uint32_t unit, int32_t offset);
NodeRef alloc_series(int64_t units, uint32_t unit, int32_t offset);
NodeRef alloc_cells(int64_t n);
NodeRef alloc_unset_cells(int64_t n);
NodeRef alloc_bytes(int64_t n);
NodeRef alloc_bytes_filled(int64_t n, uint8_t byte);
NodeRef alloc_codepoints(int64_t n, uint32_t unit);
// A buffer that never moves for the life of the run (the value and frame stacks).
NodeRef alloc_fixed_cells(int64_t n);

void set_series_flag(NodeRef ref, uint32_t bits);

// Expansion gives the node a new, larger buffer and abandons the old one. A size of
// 0 doubles the data size. The copying forms move the used data to the start of the
// new buffer. Callers continue with the returned buffer.
SeriesBuffer* expand_series(SeriesBuffer* buffer, int64_t new_size);
SeriesBuffer* expand_series_copy(SeriesBuffer* buffer, int64_t new_size);
SeriesBuffer* expand_series_filled(SeriesBuffer* buffer, int64_t new_size, uint8_t byte);

NodeRef copy_series(SeriesBuffer* buffer);

void fill(uint8_t* from, uint8_t* to, uint8_t byte);
void zero_words(uint32_t* from, uint32_t* to);

SeriesBuffer* alloc_big_series(size_t bytes);
void free_big_series(SeriesBuffer* buffer);
bool is_big(const SeriesBuffer* b);
// After marking: frees every unmarked big series with its node; the others lose
// the collector's bits.
void sweep_big_series();
// At the end of a cycle: big allocations start counting again, against the memory
// held now.
void reset_big_budget();

void free_all_frames();

// Per-series helpers used everywhere: reserve room at the tail.
Cell* alloc_tail_cell(NodeRef ref);
uint8_t* alloc_tail_bytes(NodeRef ref, uint32_t n);

// Number of series allocations so far (the collector's stress mode counts them).
uint64_t allocation_count();

// Memory statistics. Answers the bytes in use: 8 per used node, the used bytes of
// every series frame and the size of every big series. With mode 2 or more it also
// appends to `result` (a block): a block of [free used capacity] per node frame, a
// block of [free used size] bytes per series frame, a block of big-series sizes,
// then the bytes of all frames and the bytes of tracked allocations.
double stats(NodeRef result, int mode);

}  // namespace memory
}  // namespace zol
