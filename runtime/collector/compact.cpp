// Compaction: moving nodes out of sparse node frames, and sliding live buffers down
// inside the series frames.
//
// Node moves. A node frame whose in-use count has not changed over the last
// NODE_HISTORY_DEPTH + 1 collections, that is less than half full, is not the
// current frame and holds no pinned node is emptied while more than a frame's worth
// of nodes is free elsewhere: each live node is copied into a free node of another
// frame and the buffer's back-reference follows. A forward table per emptied frame
// then rewrites the node words of every live cell (and of the root cells and the
// cycle-detection stack); the old nodes are freed and the frame is released when
// the node frames are trimmed.
//
// Series frames. Each frame is walked in address order. Dead buffers leave a gap;
// consecutive live buffers form a run that moves with one memmove, either to the
// top of the previous frame while that frame has at least MIN_MOVE_ROOM bytes free,
// or down to the start of the gap. A pinned buffer never moves: a run ends before
// it, and the gap left in front of it becomes a dead filler header so that the
// frame stays walkable. A frame left empty is released unless it is the highest.
//
// In stress mode every movable node goes to fresh node frames and every movable
// buffer to fresh series frames, so that nothing stays where it was.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "runtime/base/asan.h"
#include "runtime/collector/collector_internal.h"
#include "runtime/base/system.h"

namespace zol::collector::detail {
namespace {

constexpr uint32_t NODE_HISTORY_DEPTH = 5;
constexpr uint32_t SPARSE_FRAME_USE = NODE_FRAME_CAPACITY / 2;
constexpr uint64_t MIN_FREE_NODES_ELSEWHERE = NODE_FRAME_CAPACITY;
// 5% of a default series frame, rounded up.
constexpr size_t MIN_MOVE_ROOM = (DEFAULT_FRAME_SIZE + 19) / 20;

// --- node moves -----------------------------------------------------------------------

NodeRef* forward_tables[MAX_NODE_FRAMES];   // per source frame: new ref by slot, 0 = kept
std::vector<std::vector<NodeRef>> forward_storage;
std::vector<NodeFrame*> sources;

NodeRef ref_of(const NodeFrame* f, uint32_t slot) { return (f->number << NODE_FRAME_SHIFT) | slot; }

NodeRef forward(NodeRef ref) {
  uint32_t number = ref >> NODE_FRAME_SHIFT;
  if (number >= MAX_NODE_FRAMES || !forward_tables[number]) return ref;
  NodeRef moved = forward_tables[number][ref & (NODE_FRAME_STRIDE - 1)];
  return moved ? moved : ref;
}

// A node that was taken but not yet given a buffer holds 0: its holder expects it
// to stay, so the frame cannot be emptied.
bool has_unset_node(const NodeFrame* f) {
  const uintptr_t* slots = memory::node_frame_slots(f);
  for (uint32_t i = 0; i < f->capacity; i++)
    if (slots[i] == 0) return true;
  return false;
}

bool stable(const NodeFrame* f) {
  uint32_t mask = (1u << (NODE_HISTORY_DEPTH + 1)) - 1;
  return (f->history & mask) == mask;
}

void choose_sparse_frames() {
  uint64_t free_nodes = 0;
  for (NodeFrame* f = memory::root.node_head; f; f = f->next)
    if (!f->release && f->free_head) free_nodes += f->capacity - f->in_use;
  for (NodeFrame* f = memory::root.node_tail; f && free_nodes > MIN_FREE_NODES_ELSEWHERE; f = f->prev) {
    if (f == memory::root.node_current || f->release || f->in_use >= SPARSE_FRAME_USE) continue;
    if (!stable(f) || frame_pinned(f->number) || has_unset_node(f)) continue;
    f->release = 1;
    sources.push_back(f);
    free_nodes -= std::min<uint64_t>(free_nodes, NODE_FRAME_CAPACITY);
  }
}

// Where moved nodes go: fresh frames in stress mode, else any frame with a free
// node that is not being emptied.
struct Destination {
  bool fresh_frames;
  NodeFrame* frame = nullptr;

  NodeRef take() {
    if (!frame || frame->free_head == 0) frame = fresh_frames ? nullptr : find();
    if (!frame) frame = memory::new_node_frame(NODE_FRAME_CAPACITY);
    return memory::alloc_node_in(frame);
  }
  static NodeFrame* find() {
    NodeFrame* f = memory::root.node_current;
    if (f && f->free_head && !f->release) return f;
    for (f = memory::root.node_head; f; f = f->next)
      if (f->free_head && !f->release) return f;
    return nullptr;
  }
};

// Copies every live, unpinned node of the source frames; answers how many moved.
size_t copy_live_nodes(Destination& to) {
  size_t moved = 0;
  for (NodeFrame* f : sources) {
    forward_storage.emplace_back(NODE_FRAME_STRIDE, 0);
    NodeRef* table = forward_storage.back().data();
    forward_tables[f->number] = table;
    uintptr_t* slots = memory::node_frame_slots(f);
    for (uint32_t i = 0; i < f->capacity; i++) {
      uintptr_t v = slots[i];
      if (v == 0 || memory::node_is_free_slot(v)) continue;
      auto* b = reinterpret_cast<SeriesBuffer*>(v);
      if (!(b->flags & FLAG_MARK) || (b->flags & FLAG_NODE_PINNED)) continue;
      NodeRef to_ref = to.take();
      memory::node_slot(to_ref) = v;
      b->node = to_ref;
      table[i] = to_ref;
      moved++;
    }
  }
  return moved;
}

// Rewrites the node words of a live block's cells; a block whose cells changed loses
// its link (what was derived from them named the old words).
void rewrite_buffer_cells(SeriesBuffer* b) {
  const uint32_t live = FLAG_IN_USE | FLAG_MARK;
  if ((b->flags & live) != live || b->unit() != sizeof(Cell)) return;
  uint32_t tail = b->tail <= b->size ? b->tail : b->size;
  auto* end = reinterpret_cast<Cell*>(b->raw_data() + tail);
  bool changed = false;
  for (Cell* c = reinterpret_cast<Cell*>(b->raw_data() + b->offset); c < end; c++)
    for_each_reference(c, b->flags, [&changed](uint32_t& word, Follow how) {
      if (how == Follow::EXTREF || !word) return;
      NodeRef moved = forward(word);
      if (moved != word) {
        word = moved;
        changed = true;
      }
    });
  if (changed) memory::drop_link(b);
}

void rewrite_all_cells() {
  for (SeriesFrame* f = memory::root.series_head; f; f = f->next) {
    for (uint8_t* p = f->data(); p < f->top;) {
      auto* b = reinterpret_cast<SeriesBuffer*>(p);
      p += BUFFER_OVERHEAD + b->size;
      rewrite_buffer_cells(b);
    }
  }
  for (BigSeries* big = memory::root.big_head; big; big = big->next) rewrite_buffer_cells(big->buffer());
  rewrite_root_cells(forward);
}

void free_moved_nodes() {
  for (NodeFrame* f : sources) {
    NodeRef* table = forward_tables[f->number];
    for (uint32_t i = 0; i < f->capacity; i++)
      if (table[i]) memory::free_node(ref_of(f, i));
    forward_tables[f->number] = nullptr;
  }
  forward_storage.clear();
  sources.clear();
}

// --- series frames ----------------------------------------------------------------------

// Where runs go when they leave their frame: the previous frame's top, or in
// stress mode a chain of fresh frames.
struct Below {
  bool fresh_frames;
  SeriesFrame* frame = nullptr;

  size_t room() const { return frame ? memory::frame_room(frame) : 0; }
  void open_fresh_frame() { frame = memory::new_series_frame_of(MAX_FRAME_SIZE); }
  uint8_t* take(size_t len) {
    uint8_t* at = frame->top;
    frame->top += len;
    ZOL_UNPOISON(at, len);
    if (!fresh_frames && room() < MIN_MOVE_ROOM) frame = nullptr;
    return at;
  }
};

struct Run {
  uint8_t* start = nullptr;
  uint8_t* end = nullptr;
  size_t length() const { return size_t(end - start); }
};

void point_nodes_at(uint8_t* from, size_t len) {
  for (uint8_t* p = from; p < from + len;) {
    auto* b = reinterpret_cast<SeriesBuffer*>(p);
    if (b->node) memory::set_buffer(b->node, b);
    p += BUFFER_OVERHEAD + b->size;
  }
}

struct FrameCompactor {
  SeriesFrame* frame;
  Below& below;
  uint8_t* gap;        // next byte live buffers slide down to
  Run run;

  void flush() {
    size_t len = run.length();
    if (len == 0) return;
    uint8_t* to;
    if (below.frame && len <= below.room()) {
      to = below.take(len);
    } else {
      to = gap;
      gap += len;
    }
    if (to != run.start) {
      std::memmove(to, run.start, len);
      point_nodes_at(to, len);
    }
    run = Run{};
  }

  void add_live(uint8_t* p, uint8_t* after) {
    size_t len = size_t(after - p);
    if (below.frame && run.length() + len > below.room()) flush();
    if (below.fresh_frames && len > below.room()) below.open_fresh_frame();
    if (!run.start) run.start = p;
    run.end = after;
  }

  // The gap in front of a pinned buffer cannot close: it becomes a dead filler.
  void keep_pinned(uint8_t* p, uint8_t* after) {
    flush();
    if (gap < p) {
      auto* filler = reinterpret_cast<SeriesBuffer*>(gap);
      *filler = SeriesBuffer{0, 0, uint32_t(p - gap) - BUFFER_OVERHEAD, 0, 0, 0};
      ZOL_POISON(filler->data(), filler->size);
    }
    gap = after;
  }

  void release_dead(SeriesBuffer* b) {
    flush();
    memory::drop_link(b);
    if ((b->flags & FLAG_IN_USE) && memory::holds_its_node(b))
      memory::free_node(b->node);
  }

  void run_over_buffers() {
    for (uint8_t* p = frame->data(); p < frame->top;) {
      auto* b = reinterpret_cast<SeriesBuffer*>(p);
      uint8_t* after = p + BUFFER_OVERHEAD + b->size;
      uint32_t flags = b->flags;
      if (!(flags & FLAG_MARK)) {
        release_dead(b);
      } else {
        b->flags &= ~FLAG_COLLECTOR_BITS;
        if (flags & FLAG_PINNED) keep_pinned(p, after); else add_live(p, after);
      }
      p = after;
    }
    flush();
  }
};

// Frees the pages wholly inside the space the frame no longer uses.
void discard_freed_space(uint8_t* from, uint8_t* to) {
  uintptr_t low = system::align(reinterpret_cast<uintptr_t>(from), platform::PAGE_SIZE);
  uintptr_t high = reinterpret_cast<uintptr_t>(to) & ~uintptr_t(platform::PAGE_SIZE - 1);
  if (high > low) platform::discard_pages(reinterpret_cast<void*>(low), high - low);
}

void compact_frame(SeriesFrame* f, Below& below) {
  uint8_t* old_top = f->top;
  ZOL_UNPOISON(f->data(), size_t(old_top - f->data()));
  FrameCompactor c{f, below, f->data(), Run{}};
  c.run_over_buffers();
  f->top = c.gap;
  ZOL_POISON(f->top, size_t(old_top - f->top));
  discard_freed_space(f->top, old_top);
}

SeriesFrame* frame_with_room() {
  for (SeriesFrame* f = memory::root.series_head; f; f = f->next)
    if (size_t(f->end - f->top) >= MIN_REUSABLE_ROOM) return f;
  return memory::root.series_tail;
}

}  // namespace

bool move_nodes(bool all) {
  if (all) {
    for (NodeFrame* f = memory::root.node_head; f; f = f->next) sources.push_back(f);
  } else {
    choose_sparse_frames();
  }
  Destination to{all};
  size_t moved = copy_live_nodes(to);
  if (moved) rewrite_all_cells();
  free_moved_nodes();
  return moved > 0;
}

void compact_series_frames(bool all) {
  std::vector<SeriesFrame*> frames;
  for (SeriesFrame* f = memory::root.series_head; f; f = f->next) frames.push_back(f);
  Below below{all};
  SeriesFrame* kept = nullptr;
  for (SeriesFrame* f : frames) {
    if (!all) below.frame = kept && size_t(kept->end - kept->top) >= MIN_MOVE_ROOM ? kept : nullptr;
    compact_frame(f, below);
    if (f->top == f->data() && f->next) memory::free_series_frame(f);
    else kept = f;
  }
  memory::root.series_current = frame_with_room();
}

}  // namespace zol::collector::detail
