// The registry of prepared forms (see prepared.h).
//
// Entries live in one vector indexed by id - LINK_FIRST_ID; the ids of freed
// entries go to a free list and are handed out again first. An entry is freed when
// its link is dropped and it is not pinned, or at its last unpin after a drop.
#include "interpreter/prepared.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zol::interpreter::prepared {

bool verify = false;

namespace {

// One registry entry. `snapshot` (verify mode only) is the block's cells from its
// head to its tail at attach; `head` the buffer's offset then.
struct Entry {
  void* form = nullptr;
  uint32_t pins = 0;
  bool in_use = false;
  bool dropped = false;
  uint32_t head = 0;
  std::vector<Cell> snapshot;
};

FreeFn free_form = nullptr;
std::vector<Entry> entries;
std::vector<uint32_t> free_ids;

Entry& entry(uint32_t id) { return entries[id - LINK_FIRST_ID]; }

bool names_entry(uint32_t id) {
  return id >= LINK_FIRST_ID && id - LINK_FIRST_ID < entries.size() && entry(id).in_use;
}

void release(uint32_t id) {
  Entry& e = entry(id);
  if (e.form && free_form) free_form(e.form);
  e = Entry{};
  free_ids.push_back(id);
}

void dropped(uint32_t id) {
  if (!names_entry(id)) return;
  Entry& e = entry(id);
  e.dropped = true;
  if (e.pins == 0) release(id);
}

uint32_t new_id() {
  if (!free_ids.empty()) {
    uint32_t id = free_ids.back();
    free_ids.pop_back();
    return id;
  }
  entries.emplace_back();
  return uint32_t(entries.size() - 1) + LINK_FIRST_ID;
}

void take_snapshot(Entry& e, const SeriesBuffer* b) {
  e.head = b->offset;
  e.snapshot.assign(b->cells(), b->cell_tail());
}

[[noreturn]] void missed_barrier(const SeriesBuffer* b, const Entry& e, const char* what, size_t at) {
  std::fprintf(stderr, "prepared forms: missed barrier on block node %u (%s)\n", b->node, what);
  std::fprintf(stderr, "  head offset %u -> %u, length %zu -> %u\n", e.head, b->offset,
               e.snapshot.size(), b->length());
  if (at < e.snapshot.size() && at < b->length()) {
    const Cell& was = e.snapshot[at];
    const Cell& now = b->cells()[at];
    std::fprintf(stderr, "  position %zu: %08x %08x %08x %08x -> %08x %08x %08x %08x\n", at + 1,
                 was.header, was.w1, was.w2, was.w3, now.header, now.w1, now.w2, now.w3);
  }
  std::abort();
}

}  // namespace

void init(FreeFn free_fn) {
  free_form = free_fn;
  memory::link_dropped = dropped;
  const char* v = std::getenv("ZOL_VERIFY_FORMS");
  verify = v && std::strcmp(v, "1") == 0;
}

uint32_t attach(SeriesBuffer* b, void* form) {
  memory::drop_link(b);   // a form already there would be lost: it goes first
  uint32_t id = new_id();
  Entry& e = entry(id);
  e.form = form;
  e.in_use = true;
  if (verify) take_snapshot(e, b);
  b->link = id;
  return id;
}

void* form_of(uint32_t link) {
  if (!names_entry(link) || entry(link).dropped) return nullptr;
  return entry(link).form;
}

void pin(uint32_t id) {
  if (names_entry(id)) entry(id).pins++;
}

void unpin(uint32_t id) {
  if (!names_entry(id)) return;
  Entry& e = entry(id);
  if (e.pins > 0 && --e.pins == 0 && e.dropped) release(id);
}

void check(const SeriesBuffer* b) {
  if (!names_entry(b->link)) return;
  const Entry& e = entry(b->link);
  if (e.head != b->offset) missed_barrier(b, e, "head moved", 0);
  const Cell* now = b->cells();
  size_t n = b->length();
  for (size_t i = 0; i < e.snapshot.size() && i < n; i++)
    if (std::memcmp(&e.snapshot[i], now + i, sizeof(Cell)) != 0) missed_barrier(b, e, "cell changed", i);
  if (n != e.snapshot.size()) missed_barrier(b, e, "length changed", std::min(n, e.snapshot.size()));
}

size_t live_forms() { return entries.size() - free_ids.size(); }

}  // namespace zol::interpreter::prepared
