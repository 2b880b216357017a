// Keeping a hash! table (kind 0) in step with edits of its block: cells removed,
// cells shifted by an insertion or removal before them, and runs moved.
//
// Every edit is expressed as a renumbering of the cells of one range: each bucket
// that holds a cell of the range gets that cell's stored index replaced by its new
// index (a duplicate group is visited once, its members inside the range
// renumbered), then the index buffer, which maps cells to buckets, is permuted the
// same way.
#include <algorithm>
#include <vector>

#include "runtime/memory/array.h"
#include "runtime/hashtable/hashtable_internal.h"

namespace zol::hashtable {

using namespace detail;

namespace {

template <class Map>
void renumber(Table* t, int32_t lo, int32_t hi, Map new_index) {
  ensure_index_room(t, hi);
  const int32_t* entries = index_entries(t);
  BucketKey* keys = keys_of(t);
  std::vector<bool> group_done(size_t(array::length(t->groups)) + 1);
  for (int32_t i = lo; i < hi; i++) {
    int32_t bucket = entries[i] - 1;
    if (bucket < 0) continue;
    int32_t key = keys[bucket].key;
    if (key >= 0) {
      keys[bucket].key = new_index(key);
      continue;
    }
    if (group_done[size_t(-key)]) continue;
    group_done[size_t(-key)] = true;
    NodeRef group = group_node(t, -key);
    for (int32_t m = 1; m <= array::length(group); m++) {
      int32_t member = array::pick_int(group, m);
      if (member >= lo && member < hi) array::poke_int(group, m, new_index(member));
    }
  }
}

// Moves the index-buffer entries of [lo, hi) to their new places.
template <class Map>
void permute_entries(Table* t, int32_t lo, int32_t hi, Map new_index) {
  int32_t* entries = index_entries(t);
  std::vector<int32_t> saved(entries + lo, entries + hi);
  for (int32_t i = lo; i < hi; i++) entries[new_index(i)] = saved[size_t(i - lo)];
}

}  // namespace

void remove_range(NodeRef table, int32_t index, int32_t count) {
  Table* t = record(table);
  int32_t length = block_length(t);
  if (index < 0 || index >= length || count <= 0) return;
  count = std::min(count, length - index);
  if (index == 0 && count == length) return reset_hash_table(t);
  for (int32_t i = index; i < index + count; i++) forget_cell(record(table), i);
}

bool shift_indexes(NodeRef table, int32_t offset, int32_t start, int32_t count, bool adjust) {
  if (count >= SHIFT_LIMIT) return true;
  Table* t = record(table);
  if (adjust && offset < 0)
    for (int32_t i = std::max(0, start + offset); i < start; i++) forget_cell(t, i);
  if (count <= 0 || offset == 0) return false;
  auto shifted = [offset](int32_t i) { return i + offset; };
  renumber(t, start, start + count, shifted);
  if (!adjust) return false;
  ensure_index_room(t, start + count + std::max(offset, 0));
  permute_entries(t, start, start + count, shifted);
  // Entries left behind: the inserted gap (offset > 0) or the vacated tail.
  int32_t from = offset > 0 ? start : start + count + offset;
  int32_t to = offset > 0 ? start + offset : start + count;
  int32_t* entries = index_entries(t);
  std::fill(entries + std::max(from, 0), entries + to, -1);
  return false;
}

void move(NodeRef table, int32_t from, int32_t to, int32_t count) {
  if (count <= 0 || (to >= from && to <= from + count)) return;
  // The run [from, from + count) is taken out and put back before cell `to`.
  int32_t lo = std::min(from, to), hi = std::max(from + count, to);
  int32_t run_shift = to > from ? to - count - from : to - from;
  int32_t passed_shift = to > from ? -count : count;
  auto new_index = [=](int32_t i) {
    return i >= from && i < from + count ? i + run_shift : i + passed_shift;
  };
  Table* t = record(table);
  renumber(t, lo, hi, new_index);
  permute_entries(t, lo, hi, new_index);
}

}  // namespace zol::hashtable
