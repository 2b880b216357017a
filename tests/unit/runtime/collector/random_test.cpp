// A randomized heap of blocks, strings, big strings and handles, edited at random
// with collections at random points and checked against a model of what it holds:
// every reachable series keeps its exact content, every unreachable one is freed,
// and every handle's release runs exactly once, when it becomes unreachable.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "runtime/collector/collector.h"
#include "runtime/memory/extref.h"
#include "runtime/memory/memory.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

SeriesBuffer* buf(NodeRef n) { return memory::buffer_of(n); }

// The heap hangs off this block; the collector knows it through a callback.
NodeRef heap_root = 0;
void mark_heap_root() { collector::mark_block(heap_root); }

std::vector<int> releases;   // per handle id
void count_release(uintptr_t handle) { releases[handle]++; }

struct Item {
  uint8_t type;     // T_INTEGER, T_BLOCK, T_STRING or T_HANDLE
  uint32_t value;   // the integer, the series id or the handle id
};

// What a series should hold. Blocks start with an integer cell holding their id,
// strings with their id in 4 bytes; the model keeps what follows.
struct Expected {
  bool block;
  std::vector<Item> items;
  std::string text;
};

uint64_t checksum(const std::string& bytes) { return std::hash<std::string_view>{}(bytes); }

std::string canonical(bool block, const std::vector<Item>& items, const std::string& text) {
  std::string s(1, block ? 'B' : 'S');
  for (const Item& i : items) {
    s += char(i.type);
    s.append(reinterpret_cast<const char*>(&i.value), sizeof i.value);
  }
  return s + text;
}

using Sums = std::map<uint32_t, uint64_t>;   // series id -> checksum

class RandomHeap {
 public:
  explicit RandomHeap(uint32_t seed) : rng_(seed) {
    expected_.push_back({true, {}, {}});
    node_of_.push_back(heap_root);
    reachable_ = {0};
  }

  // One random edit. Every NodeRef an edit needs is read before it allocates: an
  // allocation may collect, and the locals are what keeps those nodes in place.
  void step() {
    refresh_if_stale();
    Parent parent{pick_block(), 0};
    parent.node = node_of_[parent.id];
    int roll = int(rng_() % 100);
    int drop_weight = reachable_.size() > 400 ? 45 : 22;
    if (roll < drop_weight) return drop_item(parent);
    roll = int(rng_() % 100);
    if (roll < 28) return add_string(parent);
    if (roll < 46) return add_block(parent);
    if (roll < 60) return link(parent, reachable_[rng_() % reachable_.size()]);
    if (roll < 67) return add_handle(parent);
    if (roll < 75) return add_integer(parent);
    if (roll < 97) return grow_string();
    collect_checking_content();
  }

  // Checksums of every series reachable in the heap itself.
  Sums heap_sums() {
    Sums sums;
    std::vector<NodeRef> todo{heap_root};
    while (!todo.empty()) {
      NodeRef n = todo.back();
      todo.pop_back();
      uint32_t id = id_of(n);
      if (sums.count(id)) continue;
      std::vector<Item> items;
      std::string text;
      if (buf(n)->unit() == sizeof(Cell)) items = items_of(n, &todo); else text = text_of(n);
      sums[id] = checksum(canonical(buf(n)->unit() == sizeof(Cell), items, text));
    }
    return sums;
  }

  // Checksums of every series the model says is reachable.
  Sums model_sums() const {
    Sums sums;
    std::vector<uint32_t> todo{0};
    while (!todo.empty()) {
      uint32_t id = todo.back();
      todo.pop_back();
      if (sums.count(id)) continue;
      const Expected& e = expected_[id];
      sums[id] = checksum(canonical(e.block, e.items, e.text));
      for (const Item& i : e.items)
        if (i.type == T_BLOCK || i.type == T_STRING) todo.push_back(i.value);
    }
    return sums;
  }

  std::vector<bool> reachable_handles() const {
    std::vector<bool> live(releases.size(), false);
    for (const auto& [id, sum] : model_sums())
      for (const Item& i : expected_[id].items)
        if (i.type == T_HANDLE) live[i.value] = true;
    return live;
  }

  // Bytes in use and nodes the reachable series take beyond the root block.
  void reachable_footprint(double* bytes, size_t* nodes) {
    *bytes = 0;
    *nodes = 0;
    std::vector<NodeRef> todo{heap_root};
    std::map<NodeRef, bool> seen;
    while (!todo.empty()) {
      NodeRef n = todo.back();
      todo.pop_back();
      if (seen[n]) continue;
      seen[n] = true;
      if (n != heap_root) {
        *bytes += BUFFER_OVERHEAD + buf(n)->size + sizeof(uintptr_t);
        ++*nodes;
      }
      if (buf(n)->unit() == sizeof(Cell)) items_of(n, &todo);
    }
  }

 private:
  struct Parent {
    uint32_t id;
    NodeRef node;
  };

  uint32_t id_of(NodeRef n) {
    SeriesBuffer* b = buf(n);
    if (b->unit() == sizeof(Cell)) return b->cells()[0].w2;
    uint32_t id;
    std::memcpy(&id, b->head(), sizeof id);
    return id;
  }

  std::vector<Item> items_of(NodeRef n, std::vector<NodeRef>* children) {
    std::vector<Item> items;
    SeriesBuffer* b = buf(n);
    for (Cell* c = b->cells() + 1; c < b->cell_tail(); c++) {
      if (c->is(T_INTEGER)) {
        items.push_back({T_INTEGER, c->w2});
      } else if (c->is(T_HANDLE)) {
        items.push_back({T_HANDLE, uint32_t(extref::value(int32_t(c->w3)))});
      } else {
        items.push_back({c->type(), id_of(c->w2)});
        children->push_back(c->w2);
      }
    }
    return items;
  }

  std::string text_of(NodeRef n) {
    SeriesBuffer* b = buf(n);
    return std::string(reinterpret_cast<char*>(b->head()) + 4, b->used_bytes() - 4);
  }

  // Ids name nodes only until a collection may have moved them, or a drop may
  // have made them unreachable: then the heap is walked again.
  void refresh_if_stale() {
    if (!stale_ && refreshed_at_ == collector::cycles()) return;
    std::vector<NodeRef> todo{heap_root};
    std::vector<bool> seen(expected_.size(), false);
    reachable_.clear();
    while (!todo.empty()) {
      NodeRef n = todo.back();
      todo.pop_back();
      uint32_t id = id_of(n);
      if (seen[id]) continue;
      seen[id] = true;
      node_of_[id] = n;
      reachable_.push_back(id);
      if (buf(n)->unit() == sizeof(Cell)) items_of(n, &todo);
    }
    stale_ = false;
    refreshed_at_ = collector::cycles();
  }

  uint32_t pick_block() {
    for (;;) {
      uint32_t id = reachable_[rng_() % reachable_.size()];
      if (expected_[id].block) return id;
    }
  }

  uint32_t new_id(bool block) {
    expected_.push_back({block, {}, {}});
    node_of_.push_back(0);
    return uint32_t(expected_.size() - 1);
  }

  void append(Parent parent, const Cell& value, Item item) {
    *memory::alloc_tail_cell(parent.node) = value;
    expected_[parent.id].items.push_back(item);
  }

  std::string random_text(size_t n) {
    std::string s(n, ' ');
    for (char& c : s) c = char('a' + rng_() % 26);
    return s;
  }

  void add_string(Parent parent) {
    size_t length = rng_() % 8 == 0 ? 200 + rng_() % 2000 : rng_() % 64;
    bool big = ++strings_made_ % 200 == 0 && bigs_ < 3;
    std::string text = random_text(big ? MAX_FRAME_SIZE + rng_() % 4096 : length);
    uint32_t id = new_id(false);
    NodeRef s = memory::alloc_bytes(int64_t(4 + text.size()));
    SeriesBuffer* b = buf(s);
    std::memcpy(b->data(), &id, 4);
    std::memcpy(b->data() + 4, text.data(), text.size());
    b->tail = uint32_t(4 + text.size());
    expected_[id].text = text;
    node_of_[id] = s;
    bigs_ += big;
    append(parent, Cell{T_STRING, 0, s, 0}, {T_STRING, id});
    reachable_.push_back(id);
  }

  void add_block(Parent parent) {
    uint32_t id = new_id(true);
    NodeRef b = memory::alloc_cells(1 + rng_() % 6);
    *memory::alloc_tail_cell(b) = values::integer(int32_t(id));
    node_of_[id] = b;
    append(parent, Cell{T_BLOCK, 0, b, 0}, {T_BLOCK, id});
    reachable_.push_back(id);
  }

  void link(Parent parent, uint32_t child) {
    uint8_t type = expected_[child].block ? T_BLOCK : T_STRING;
    append(parent, Cell{type, 0, node_of_[child], 0}, {type, child});
  }

  void add_handle(Parent parent) {
    static int handler = extref::register_handler(0, count_release);
    uint32_t handle = uint32_t(releases.size());
    releases.push_back(0);
    Cell* c = memory::alloc_tail_cell(parent.node);   // the cell first: no allocation
    *c = Cell{T_HANDLE, 0, 0, uint32_t(extref::alloc(handle, uint32_t(handler)))};
    expected_[parent.id].items.push_back({T_HANDLE, handle});
  }

  void add_integer(Parent parent) {
    int32_t v = int32_t(rng_());
    append(parent, values::integer(v), {T_INTEGER, uint32_t(v)});
  }

  void drop_item(Parent parent) {
    std::vector<Item>& items = expected_[parent.id].items;
    if (items.empty()) return;
    size_t at = rng_() % items.size();
    items.erase(items.begin() + long(at));
    SeriesBuffer* b = buf(parent.node);
    Cell* c = b->cells() + 1 + at;
    std::memmove(c, c + 1, size_t(b->cell_tail() - (c + 1)) * sizeof(Cell));
    b->tail -= sizeof(Cell);
    stale_ = true;
  }

  void grow_string() {
    uint32_t id = reachable_[rng_() % reachable_.size()];
    NodeRef node = node_of_[id];
    Expected& e = expected_[id];
    if (e.block || e.text.size() > 4096) return;
    std::string more = random_text(1 + rng_() % 300);
    uint8_t* at = memory::alloc_tail_bytes(node, uint32_t(more.size()));
    std::memcpy(at, more.data(), more.size());
    e.text += more;
  }

  void collect_checking_content() {
    Sums before = heap_sums();
    if (rng_() % 2) collector::collect(); else collector::collect_moving_all();
    EXPECT_EQ(heap_sums(), before) << "a collection changed the content of a reachable series";
  }

  std::mt19937 rng_;
  std::vector<Expected> expected_;   // by series id; 0 is the root block
  std::vector<NodeRef> node_of_;     // by series id, valid after a refresh
  std::vector<uint32_t> reachable_;  // ids, as of the last refresh
  uint64_t refreshed_at_ = ~uint64_t(0);
  bool stale_ = true;
  int bigs_ = 0;
  int strings_made_ = 0;
};

// A cycle that moves every buffer, on a thread whose stack holds nothing: it
// leaves no freed buffer below a frame's fill mark, whatever an ordinary cycle's
// choice of frames to compact (which depends on how big the rest of the heap is),
// so the bytes in use can be compared exactly.
void collect_on_clean_stack() {
  std::thread([] { collector::collect_moving_all(); }).join();
}

double bytes_in_use() { return memory::stats(0, 1); }

size_t nodes_in_use() {
  size_t n = 0;
  for (NodeFrame* f = memory::root.node_head; f; f = f->next) n += f->in_use;
  return n;
}

TEST(CollectorRandomized, ReachableSeriesKeepTheirContentAndTheRestIsFreed) {
  heap_root = memory::alloc_cells(8);
  *memory::alloc_tail_cell(heap_root) = values::integer(0);
  collector::keep(mark_heap_root);
  // A fresh thread's stack is not empty: the start-up code of the thread (the C
  // library's, the sanitizer runtime's) leaves words in slots its callers never
  // write, and one may name a garbage node, which the clean cycle would then keep
  // in the baseline only. A cycle on this thread frees such garbage first.
  collector::collect();
  collect_on_clean_stack();
  double baseline_bytes = bytes_in_use() - (BUFFER_OVERHEAD + buf(heap_root)->size);
  size_t baseline_nodes = nodes_in_use();

  // Stress mode collects on every allocation: fewer steps cover as much.
  const int steps = collector::stress_every ? 1500 : 4000;
  auto heap = std::make_unique<RandomHeap>(20240611u);
  for (int i = 0; i < steps; i++) {
    heap->step();
    if (i % 500 == 0) {
      ASSERT_EQ(heap->heap_sums(), heap->model_sums()) << "after step " << i;
    }
  }
  ASSERT_EQ(heap->heap_sums(), heap->model_sums());

  collect_on_clean_stack();
  ASSERT_EQ(heap->heap_sums(), heap->model_sums()) << "the final collection kept every series intact";
  std::vector<bool> live = heap->reachable_handles();
  for (size_t h = 0; h < releases.size(); h++)
    ASSERT_EQ(releases[h], live[h] ? 0 : 1) << "handle " << h << " released once, when dropped";

  double reachable_bytes;
  size_t reachable_nodes;
  heap->reachable_footprint(&reachable_bytes, &reachable_nodes);
  EXPECT_EQ(bytes_in_use(),
            baseline_bytes + BUFFER_OVERHEAD + buf(heap_root)->size + reachable_bytes)
      << "the frames hold exactly the reachable series";
  EXPECT_EQ(nodes_in_use(), baseline_nodes + reachable_nodes);
  collector::unkeep(mark_heap_root);
}

}  // namespace
}  // namespace zol
