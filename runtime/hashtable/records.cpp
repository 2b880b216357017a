// Tables of records keyed by a 32-bit integer or node (kinds 3 and 4).
//
// A record is (value cells + 1) consecutive cells in the table's own block: the key
// cell (header unset! while the record is in use, 0 once freed; word 1 the key)
// followed by the value cells. Buckets hold the byte offset of their record. A
// deleted bucket keeps naming its record, which the next insertion there reuses.
#include "runtime/collector/collector.h"
#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable_internal.h"

namespace zol::hashtable {

using namespace detail;

namespace {

Cell* record_at(const Table* t, int32_t offset) {
  return reinterpret_cast<Cell*>(block_of(t)->head() + offset);
}
int32_t record_cells(const Table* t) { return int32_t(t->aux / sizeof(Cell)); }
bool in_use(const Cell* key_cell) { return key_cell->header == T_UNSET; }

// Where `key` is stored, or the bucket an insertion takes.
Slot find_slot(const Table* t, uint32_t key) {
  const BucketKey* keys = keys_of(t);
  return probe_slot(flags_of(t), t->buckets, hash_int(key),
                    [&](int32_t i) { return record_at(t, keys[i].key)->w1 == key; });
}

int32_t append_record(NodeRef table) {
  NodeRef block = record(table)->block;
  int32_t offset = int32_t(memory::buffer_of(block)->used_bytes());
  for (int32_t i = 0; i < record_cells(record(table)); i++) memory::alloc_tail_cell(block);
  return offset;
}

// Places the record at `offset` of the current block into the first empty bucket.
void place_record(Table* t, int32_t offset) {
  uint32_t* flags = flags_of(t);
  Probe p(hash_int(record_at(t, offset)->w1), t->buckets);
  while (state(flags, p.i) != B_EMPTY)
    if (!p.next()) fire(err::internal::LIMIT_HIT);
  set_occupied(flags, p.i);
  keys_of(t)[p.i].key = offset;
  t->size++;
  t->occupied++;
}

}  // namespace

namespace detail {

void rebuild_records(NodeRef table, int32_t request) {
  without_collector([&] {
    int32_t buckets = request < 4 ? 4 : round_up_pow2(request);
    int32_t live = record(table)->size;
    int32_t cells = record_cells(record(table));
    NodeRef fresh = memory::alloc_cells(int64_t(live < 1 ? 1 : live) * cells);
    NodeRef flags = new_flags(buckets);
    NodeRef keys = new_keys(buckets);
    Table old = *record(table);
    Table* t = record(table);
    t->flags = flags;
    t->keys = keys;
    t->block = fresh;
    t->buckets = buckets;
    t->upper = rounded_upper_for(buckets);
    t->size = t->occupied = 0;
    for (int32_t b = 0; b < old.buckets; b++) {
      if (state(flags_of(&old), b) != B_OCCUPIED) continue;
      int32_t offset = append_record(table);
      std::memcpy(record_at(record(table), offset), record_at(&old, keys_of(&old)[b].key),
                  size_t(cells) * sizeof(Cell));
      place_record(record(table), offset);
    }
    record(table)->stamp = current_stamp();
  });
}

void rehash_records(NodeRef table) {
  without_collector([&] {
    Table* t = record(table);
    SeriesBuffer* f = memory::buffer_of(t->flags);
    std::memset(f->data(), 0xAA, f->size);
    t->size = t->occupied = 0;
    int32_t stride = record_cells(t) * int32_t(sizeof(Cell));
    int32_t used = int32_t(block_of(t)->used_bytes());
    for (int32_t offset = 0; offset + stride <= used; offset += stride)
      if (in_use(record_at(t, offset))) place_record(t, offset);
    t->stamp = current_stamp();
  });
}

void mark_records(Table* t) {
  if (t->kind == K_WEAK) {
    // Weak: the records name their nodes without keeping them alive (see sweep).
    collector::mark_node(t->block);
    return;
  }
  for (int32_t b = 0; b < t->buckets; b++) {
    if (state(flags_of(t), b) != B_OCCUPIED) continue;
    Cell* key = record_at(t, keys_of(t)[b].key);
    if (!memory::is_live_node(key->w1)) continue;
    if (memory::buffer_of(key->w1)->unit() == sizeof(Cell)) collector::mark_block(key->w1);
    else collector::mark_node(key->w1);
  }
  collector::mark_block(t->block);
}

}  // namespace detail

Cell* put_int(NodeRef table, uint32_t key) {
  refresh(table);
  if (record(table)->occupied >= record(table)->upper)
    rebuild_records(table, growth_request(record(table)));
  Slot slot = find_slot(record(table), key);
  if (slot.bucket < 0) fire(err::internal::LIMIT_HIT);
  if (!slot.found) {
    if (slot.fresh) {
      int32_t offset = append_record(table);
      keys_of(record(table))[slot.bucket].key = offset;
      record(table)->occupied++;
    }
    set_occupied(flags_of(record(table)), slot.bucket);
    record(table)->size++;
  }
  Table* t = record(table);
  Cell* rec = record_at(t, keys_of(t)[slot.bucket].key);
  for (int32_t i = 0; i < record_cells(t); i++) cell::set(rec + i, T_UNSET);
  rec->w1 = key;
  return rec + 1;
}

Cell* get_int(NodeRef table, uint32_t key) {
  refresh(table);
  Table* t = record(table);
  Slot slot = find_slot(t, key);
  return slot.found ? record_at(t, keys_of(t)[slot.bucket].key) + 1 : nullptr;
}

Cell* delete_int(NodeRef table, uint32_t key) {
  refresh(table);
  Table* t = record(table);
  Slot slot = find_slot(t, key);
  if (!slot.found) return nullptr;
  set_deleted(flags_of(t), slot.bucket);
  t->size--;
  Cell* rec = record_at(t, keys_of(t)[slot.bucket].key);
  rec->header = 0;
  return rec + 1;
}

void sweep(NodeRef table) {
  Table* t = record(table);
  if (t->kind != K_WEAK) return;
  bool weak_owner = record_cells(t) > 2;
  for (int32_t b = 0; b < t->buckets; b++) {
    if (state(flags_of(t), b) != B_OCCUPIED) continue;
    Cell* rec = record_at(t, keys_of(t)[b].key);
    // A surviving key is pinned by the collector: the record holds its NodeRef
    // outside any cell the collector could rewrite.
    bool dead = !collector::survives(rec->w1) ||
                (weak_owner && rec[2].w1 && !collector::survives(rec[2].w1));
    if (!dead) continue;
    set_deleted(flags_of(t), b);
    t->size--;
    rec->header = 0;
    rec->w1 = 0;
  }
}

}  // namespace zol::hashtable
