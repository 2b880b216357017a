// Memory statistics behind the stats native: the bytes in use, and a report of
// every frame. The figures are taken before the report is built, and the collector
// stays off while it is, so the report describes one moment.
#include <climits>
#include <vector>

#include "runtime/collector/collector.h"
#include "runtime/memory/memory.h"
#include "runtime/base/system.h"
#include "runtime/core/values.h"

namespace zol::memory {
namespace {

struct FrameFigures {
  int64_t free, used, capacity;
};

// Totals past the 32-bit range are reported as float!.
Cell number_cell(uint64_t v) {
  if (v <= uint64_t(INT32_MAX)) return values::integer(static_cast<int32_t>(v));
  Cell c{T_FLOAT, 0, 0, 0};
  cell::put_double(&c, static_cast<double>(v));
  return c;
}

void append(NodeRef block, const Cell& value, bool new_line) {
  Cell* c = alloc_tail_cell(block);
  *c = value;
  cell::set_new_line(c, new_line);
}

// A block made of the given cells, each on a new line when asked.
Cell block_of(const std::vector<Cell>& items, bool new_lines) {
  NodeRef node = alloc_cells(int64_t(items.size()));
  SeriesBuffer* b = buffer_of(node);
  Cell* c = b->cells();
  for (const Cell& item : items) {
    *c = item;
    cell::set_new_line(c++, new_lines);
  }
  b->tail = b->offset + uint32_t(items.size() * sizeof(Cell));
  return Cell{T_BLOCK, 0, node, 0};
}

Cell block_of_figures(const std::vector<FrameFigures>& frames) {
  std::vector<Cell> items;
  for (const FrameFigures& f : frames)
    items.push_back(block_of({number_cell(uint64_t(f.free)), number_cell(uint64_t(f.used)),
                              number_cell(uint64_t(f.capacity))},
                             false));
  return block_of(items, true);
}

double bytes_in_use() {
  double bytes = 0;
  for (NodeFrame* f = root.node_head; f; f = f->next) bytes += double(f->in_use) * sizeof(uintptr_t);
  for (SeriesFrame* f = root.series_head; f; f = f->next) bytes += double(f->top - f->data());
  for (BigSeries* b = root.big_head; b; b = b->next) bytes += double(b->size);
  return bytes;
}

void append_report(NodeRef result) {
  std::vector<FrameFigures> node_frames, series_frames;
  std::vector<Cell> bigs;
  uint64_t frame_bytes = 0;
  for (NodeFrame* f = root.node_head; f; f = f->next) {
    node_frames.push_back({f->capacity - f->in_use, f->in_use, f->capacity});
    frame_bytes += uint64_t(f->capacity) * sizeof(uintptr_t) + sizeof(NodeFrame);
  }
  for (SeriesFrame* f = root.series_head; f; f = f->next) {
    series_frames.push_back({f->end - f->top, f->top - f->data(), f->end - f->data()});
    frame_bytes += f->size;
  }
  for (BigSeries* b = root.big_head; b; b = b->next) {
    bigs.push_back(number_cell(b->size));
    frame_bytes += b->alloc_size;
  }
  uint64_t tracked = system::tracked_bytes();
  append(result, block_of_figures(node_frames), false);
  append(result, block_of_figures(series_frames), false);
  append(result, block_of(bigs, true), false);
  append(result, number_cell(frame_bytes), false);
  append(result, number_cell(tracked), false);
}

}  // namespace

double stats(NodeRef result, int mode) {
  struct CollectorOff {
    int saved = collector::enabled;
    CollectorOff() { collector::enabled = 0; }
    ~CollectorOff() { collector::enabled = saved; }
  } off;
  double in_use = bytes_in_use();
  if (mode >= 2) append_report(result);
  return in_use;
}

}  // namespace zol::memory
