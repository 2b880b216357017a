// Pieces shared by the sources of the hash-table engine: bucket flags, the probe
// sequence, sizing and the accessors of a table's series. Not for other modules.
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/collector/collector.h"
#include "runtime/core/exits.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/memory/memory.h"

namespace zol::hashtable::detail {

constexpr double LOAD = 0.77;

inline uint32_t state(const uint32_t* flags, int32_t i) {
  return (flags[i >> 4] >> ((i & 15) * 2)) & 3u;
}
inline void set_occupied(uint32_t* flags, int32_t i) { flags[i >> 4] &= ~(3u << ((i & 15) * 2)); }
inline void set_deleted(uint32_t* flags, int32_t i) { flags[i >> 4] |= 1u << ((i & 15) * 2); }
inline size_t flag_bytes(int32_t buckets) { return buckets < 16 ? 4 : size_t(buckets) / 4; }

// Triangular probing. next() answers false once every bucket has been visited.
struct Probe {
  int32_t i;
  int32_t step = 0;
  int32_t buckets;
  Probe(uint32_t hash, int32_t n) : i(int32_t(hash & uint32_t(n - 1))), buckets(n) {}
  bool next() {
    if (++step >= buckets) return false;
    i = (i + step) & (buckets - 1);
    return true;
  }
};

// Where a key is stored (`found`), or else the bucket an insertion takes: the
// first deleted bucket on the probe path, or the empty one that ended it
// (`fresh`); bucket -1 when the probe went round a full table. `holds(i)` tells
// whether occupied bucket i holds the key. Every kind of table probes this way.
struct Slot {
  int32_t bucket;
  bool found;
  bool fresh;
};
template <class Holds>
Slot probe_slot(const uint32_t* flags, int32_t buckets, uint32_t hash, Holds holds) {
  int32_t deleted = -1;
  Probe p(hash, buckets);
  do {
    uint32_t s = state(flags, p.i);
    if (s == B_EMPTY) return deleted >= 0 ? Slot{deleted, false, false} : Slot{p.i, false, true};
    if (s == B_DELETED) {
      if (deleted < 0) deleted = p.i;
      continue;
    }
    if (holds(p.i)) return {p.i, true, false};
  } while (p.next());
  return {deleted, false, false};
}

// One bucket's entry in the keys series (8 bytes per bucket). `key` says where the
// key is (see hashtable.h). `tag` (kinds 0-2; records tables leave it 0) is the
// key's hash when it was placed, its two low bits replaced by the key's hash family
// (see tag_of): a probe compares a stored key only when the tag allows a match, so
// most occupied buckets it meets cost one load beside the index it reads anyway.
// Rehashing recomputes the tags from the keys, as it recomputes their places.
struct BucketKey {
  int32_t key;
  uint32_t tag;
};
static_assert(sizeof(BucketKey) == 8);

// Families of key types within which equal keys (under every comparison a lookup
// uses) always hash alike: the texts (hashed by their case-folded characters, and
// compared folded the same way), the words (hashed by their resolved symbol), the
// integers. Family 0 holds every other type: a value of it may equal one of another
// type or hash differently from an equal value of its own (floats, chars, blocks by
// node), so its buckets are always compared, as a table without tags would.
enum HashFamily : uint32_t { F_NONE = 0, F_TEXT = 1, F_WORD = 2, F_INTEGER = 3 };
inline uint32_t family_of(uint8_t type) {
  switch (type) {
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF:
      return F_TEXT;
    case T_WORD: case T_SET_WORD: case T_LIT_WORD: case T_GET_WORD: case T_REFINEMENT:
    case T_ISSUE:
      return F_WORD;
    case T_INTEGER:
      return F_INTEGER;
    default:
      return F_NONE;
  }
}
inline uint32_t tag_of(uint32_t hash, uint8_t type) { return (hash & ~3u) | family_of(type); }
// Whether a stored key tagged `stored` may equal a key tagged `tag`: a different tag
// rules a match out only when both keys belong to the same family.
inline bool may_match(uint32_t stored, uint32_t tag) {
  return stored == tag || (tag & 3u) == F_NONE || (stored & 3u) != (tag & 3u);
}

// The bucket arrays are raw bytes, never cells, so no link is ever set on them:
// their hot lookups skip the barrier.
inline uint32_t* flags_of(const Table* t) {
  return reinterpret_cast<uint32_t*>(memory::buffer_of(t->flags)->raw_data());
}
inline BucketKey* keys_of(const Table* t) {
  return reinterpret_cast<BucketKey*>(memory::buffer_of(t->keys)->raw_data());
}
inline SeriesBuffer* block_of(const Table* t) { return memory::buffer_of(t->block); }
inline Cell* cells_of(const Table* t) { return block_of(t)->cells(); }
inline int32_t block_length(const Table* t) { return int32_t(block_of(t)->length()); }

// Buckets for a requested size, and the bound at which a table of n buckets grows.
int32_t buckets_for(int32_t size);
inline int32_t upper_for(int32_t buckets) { return int32_t(buckets * LOAD); }
inline int32_t rounded_upper_for(int32_t buckets) { return int32_t(0.5 + LOAD * buckets); }
// The request of the growth rule (before an insertion, when occupied >= upper).
int32_t growth_request(const Table* t);

// A new flags series with every bucket empty, and a zeroed keys series (BucketKey each).
NodeRef new_flags(int32_t buckets);
NodeRef new_keys(int32_t buckets);

// True when a stored key matches `key` under comparison op. Types without a
// compare action match only an identical cell.
bool keys_match(const Cell* stored, const Cell* key, int op);

// Kind 0 helpers shared with the editing operations.
int32_t* index_entries(const Table* t);
int32_t index_capacity(const Table* t);
void ensure_index_room(Table* t, int32_t cells);
NodeRef group_node(const Table* t, int32_t group);
// Forgets cell `index` from its bucket (group member or single index).
void forget_cell(Table* t, int32_t index);
void reset_hash_table(Table* t);

// Records tables (records.cpp).
void rebuild_records(NodeRef table, int32_t request);
void rehash_records(NodeRef table);
void mark_records(Table* t);
inline uint32_t current_stamp() { return uint32_t(collector::cycles() + 1); }

// Runs fn with the collector switched off (a rebuild hashes node addresses, which
// must not change half-way), restoring it even when fn raises.
template <class Fn>
void without_collector(Fn&& fn) {
  int saved = collector::enabled;
  collector::enabled = 0;
  exits::guard(
      0xFFFFFFFFu,
      [&] {
        fn();
        return 0;
      },
      [&](uint32_t code) -> int {
        collector::enabled = saved;
        exits::raise(code);
      });
  collector::enabled = saved;
}

}  // namespace zol::hashtable::detail
