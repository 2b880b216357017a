// The address map (see hashtable.h): the engine's sizing, flags and probing over
// arrays in tracked memory, mapping one 32-bit word to another. Entries are
// (key, value) pairs, one per bucket.
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable_internal.h"
#include "runtime/base/system.h"

namespace zol::address_map {

using namespace hashtable::detail;

namespace {

uint32_t* new_flag_array(int32_t buckets) {
  auto* flags = static_cast<uint32_t*>(system::allocate(flag_bytes(buckets)));
  std::memset(flags, 0xAA, flag_bytes(buckets));
  return flags;
}

uint32_t* new_entry_array(int32_t buckets) {
  return static_cast<uint32_t*>(system::allocate_zeroed(size_t(buckets) * 8));
}

// The bucket holding `key`, or (when absent) the bucket an insertion would take
// with *fresh telling whether it is empty rather than deleted; -1 when full.
int32_t probe(const Map* m, uint32_t key, bool* found, bool* fresh) {
  Slot slot = probe_slot(m->flags, m->buckets, hashtable::hash_int(key),
                         [&](int32_t i) { return m->entries[2 * i] == key; });
  *found = slot.found;
  *fresh = slot.fresh;
  return slot.bucket;
}

}  // namespace

Map* init(int32_t size) {
  auto* m = static_cast<Map*>(system::allocate_zeroed(sizeof(Map)));
  m->buckets = buckets_for(size);
  m->upper = upper_for(m->buckets);
  m->flags = new_flag_array(m->buckets);
  m->entries = new_entry_array(m->buckets);
  return m;
}

bool put(Map* m, uint32_t key, uint32_t value) {
  if (m->occupied >= m->upper)
    resize(m, m->size * 2 < m->buckets ? m->buckets - 1 : m->buckets + 1);
  bool found = false, fresh = false;
  int32_t b = probe(m, key, &found, &fresh);
  if (b < 0) fire(err::internal::LIMIT_HIT);
  m->entries[2 * b + 1] = value;
  if (found) return true;
  m->entries[2 * b] = key;
  set_occupied(m->flags, b);
  m->size++;
  if (fresh) m->occupied++;
  return false;
}

int32_t find(Map* m, uint32_t key) {
  bool found = false, fresh = false;
  int32_t b = probe(m, key, &found, &fresh);
  return found ? b : -1;
}

uint32_t* get(Map* m, uint32_t key) {
  int32_t b = find(m, key);
  return b < 0 ? nullptr : &m->entries[2 * b + 1];
}

void remove(Map* m, uint32_t key) {
  int32_t b = find(m, key);
  if (b < 0) return;
  set_deleted(m->flags, b);
  m->size--;
}

void resize(Map* m, int32_t request) {
  int32_t buckets = request < 4 ? 4 : hashtable::round_up_pow2(request);
  if (buckets <= 0) fire(err::internal::NO_MEMORY);
  int32_t upper = rounded_upper_for(buckets);
  if (m->size >= upper) return;
  Map old = *m;
  m->flags = new_flag_array(buckets);
  m->entries = new_entry_array(buckets);
  m->buckets = buckets;
  m->upper = upper;
  m->size = m->occupied = 0;
  for (int32_t b = 0; b < old.buckets; b++)
    if (state(old.flags, b) == hashtable::B_OCCUPIED) put(m, old.entries[2 * b], old.entries[2 * b + 1]);
  system::free(old.flags);
  system::free(old.entries);
}

uint32_t* next(Map* m, uint32_t* entry) {
  int32_t b = entry ? int32_t((entry - m->entries) / 2) + 1 : 0;
  for (; b < m->buckets; b++)
    if (state(m->flags, b) == hashtable::B_OCCUPIED) return &m->entries[2 * b];
  return nullptr;
}

void clear(Map* m) {
  std::memset(m->flags, 0xAA, flag_bytes(m->buckets));
  m->size = m->occupied = 0;
}

void destroy(Map* m) {
  if (!m) return;
  system::free(m->flags);
  system::free(m->entries);
  system::free(m);
}

}  // namespace zol::address_map
