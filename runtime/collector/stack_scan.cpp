// The conservative scan of the runtime thread's native stack.
//
// C++ code may keep NodeRefs, cells and pointers into buffers in its locals across
// any allocation. The callee-saved registers are spilled, then every word from the
// current stack pointer to the thread's stack top is read:
//   - a 4-byte aligned word that names a live node marks its series and pins the
//     node (it keeps its ref);
//   - an 8-byte aligned word that points into a series frame's used area marks and
//     pins the buffer it falls in (the buffer keeps its address). A pointer just
//     past a buffer's end pins that buffer as well, since loops hold end pointers;
//   - an 8-byte aligned word that points into a big series marks it.
// Pointers into frames are gathered first, sorted, and resolved in one walk over
// each frame's buffers.
#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "runtime/base/asan.h"
#include "runtime/collector/collector_internal.h"

namespace zol::collector::detail {
namespace {

struct Extent {
  uintptr_t low;    // first byte a pointer may address
  uintptr_t high;   // last byte (a frame's top, a big series' data end)
};

std::vector<SeriesFrame*> frames;       // ascending addresses
std::vector<BigSeries*> bigs;           // ascending addresses
std::vector<uintptr_t> frame_pointers;  // stack words pointing into frames
Extent span;                            // covers every frame and big series
thread_local platform::StackBounds thread_stack;

Extent extent_of(SeriesFrame* f) {
  return {reinterpret_cast<uintptr_t>(f->data()), reinterpret_cast<uintptr_t>(f->top)};
}

Extent extent_of(BigSeries* big) {
  SeriesBuffer* b = big->buffer();
  return {reinterpret_cast<uintptr_t>(b), reinterpret_cast<uintptr_t>(b->end())};
}

// The last element whose extent starts at or below v, or nullptr.
template <class T>
T* containing(const std::vector<T*>& sorted, uintptr_t v) {
  auto it = std::upper_bound(sorted.begin(), sorted.end(), v,
                             [](uintptr_t x, T* e) { return x < extent_of(e).low; });
  if (it == sorted.begin()) return nullptr;
  T* e = *(it - 1);
  return v <= extent_of(e).high ? e : nullptr;
}

// Not inlined: it restores every callee-saved register it uses, so that none is
// left holding a frame's or a big series' address when the registers are spilled.
__attribute__((noinline)) void take_frame_lists() {
  frames.clear();
  for (SeriesFrame* f = memory::root.series_head; f; f = f->next) frames.push_back(f);
  bigs.clear();
  for (BigSeries* b = memory::root.big_head; b; b = b->next) bigs.push_back(b);
  std::sort(bigs.begin(), bigs.end());
  span = {UINTPTR_MAX, 0};
  for (SeriesFrame* f : frames) span = {std::min(span.low, extent_of(f).low), std::max(span.high, extent_of(f).high)};
  for (BigSeries* b : bigs) span = {std::min(span.low, extent_of(b).low), std::max(span.high, extent_of(b).high)};
}

void consider_ref(NodeRef ref) {
  if (memory::is_live_node(ref)) mark_ref(ref, true);
}

// A 4-byte word may hold a NodeRef itself or its slot offset.
static_assert(uint64_t(MAX_NODE_FRAMES) * NODE_FRAME_STRIDE * sizeof(uintptr_t) <= (uint64_t(1) << 32),
              "a slot offset must fit in a 4-byte word for the scan to see it there");
void consider_word(uint32_t w) {
  consider_ref(w);
  if ((w & 7) == 0) consider_ref(w >> 3);
}

// An 8-byte word may address a node slot, a series frame's data or a big series.
void consider_pointer(uintptr_t v) {
  uintptr_t slots = reinterpret_cast<uintptr_t>(memory::node_base);
  if (v - slots < memory::NODE_REGION_BYTES) {
    if ((v & 7) == 0) consider_ref(static_cast<NodeRef>((v - slots) >> 3));
    return;
  }
  if (v < span.low || v > span.high) return;
  if (containing(frames, v)) {
    frame_pointers.push_back(v);
  } else if (BigSeries* big = containing(bigs, v)) {
    mark_found_buffer(big->buffer(), false);
  }
}

void pin_if_live(SeriesBuffer* b) {
  if (b && (b->flags & FLAG_IN_USE)) mark_found_buffer(b, true);
}

// Walks the frame's buffers once, pinning each buffer that a gathered pointer
// falls in (or ends at). `next` indexes the sorted pointers; returns the index past
// those of this frame.
size_t pin_pointed_buffers(SeriesFrame* f, size_t next) {
  const size_t count = frame_pointers.size();
  auto address = [](uint8_t* p) { return reinterpret_cast<uintptr_t>(p); };
  SeriesBuffer* previous = nullptr;
  for (uint8_t* p = f->data(); p < f->top && next < count; ) {
    auto* b = reinterpret_cast<SeriesBuffer*>(p);
    uint8_t* after = p + BUFFER_OVERHEAD + b->size;
    for (; next < count && frame_pointers[next] < address(after); next++) {
      if (frame_pointers[next] == address(p)) pin_if_live(previous);
      pin_if_live(b);
    }
    previous = b;
    p = after;
  }
  for (; next < count && frame_pointers[next] <= address(f->top); next++) pin_if_live(previous);
  return next;
}

void resolve_frame_pointers() {
  std::sort(frame_pointers.begin(), frame_pointers.end());
  size_t next = 0;
  for (SeriesFrame* f : frames) {
    while (next < frame_pointers.size() && frame_pointers[next] < extent_of(f).low) next++;
    next = pin_pointed_buffers(f, next);
  }
  frame_pointers.clear();
}

// Reads the stack from this function's frame up to the top. Not instrumented: the
// stack holds the sanitizer's redzones between locals.
ZOL_NO_ASAN __attribute__((noinline)) void scan_words(uintptr_t top) {
  uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) & ~uintptr_t(7);
  for (uintptr_t p = here; p + sizeof(uintptr_t) <= top; p += sizeof(uintptr_t)) {
    uintptr_t v = *reinterpret_cast<const volatile uintptr_t*>(p);
    consider_word(static_cast<uint32_t>(v));
    consider_word(static_cast<uint32_t>(v >> 32));
    consider_pointer(v);
  }
}

// Spills the callee-saved registers into this frame, which lies between the scan's
// start and the stack top, so that values living only in registers are seen too.
// They are spilled before the collector does any work of its own: the frame lists
// are taken after, below this frame. Taken before, they left the addresses they are
// made of in those registers (a frame's top, the header of the big series mapped
// right after a frame), and the scan read its own bookkeeping as pointers to the end
// of a frame's last buffer and pinned it, with its whole frame, in every cycle.
ZOL_NO_ASAN __attribute__((noinline)) void spill_registers_and_scan(uintptr_t top) {
  __builtin_unwind_init();
  take_frame_lists();
  scan_words(top);
  asm volatile("" ::: "memory");   // no tail call: this frame must stay below the scan
}

}  // namespace

void scan_native_stack() {
  if (thread_stack.high == 0) thread_stack = platform::current_stack_bounds();
  if (thread_stack.high == 0) return;
  spill_registers_and_scan(thread_stack.high);
  resolve_frame_pointers();
}

}  // namespace zol::collector::detail
