// Symbol-keyed lookups (kind 2): interning names in a table over symbol records,
// and finding or adding a symbol in a context's word list.
#include <utility>

#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable_internal.h"
#include "runtime/core/symbol.h"

namespace zol::hashtable {

using namespace detail;

namespace {

// Symbol-keyed tables grow by a factor of 16 or 32 at once.
void make_room_for_symbol(NodeRef table) {
  Table* t = record(table);
  if (t->occupied < t->upper) return;
  int64_t request = int64_t(growth_request(t)) * 16;
  if (request > (int64_t(1) << 30)) fire(err::internal::NO_MEMORY);
  resize(table, int32_t(request));
}

bool same_name(const Cell* rec, const uint8_t* utf8, uint32_t length, bool ignore_case) {
  SeriesBuffer* name = memory::buffer_of(rec->w3);
  if (name->used_bytes() != length) return false;
  const uint8_t* stored = name->head();
  if (!ignore_case) return std::memcmp(stored, utf8, length) == 0;
  for (uint32_t i = 0; i < length; i++)
    if (symbol::fold_ascii(stored[i]) != symbol::fold_ascii(utf8[i])) return false;
  return true;
}

// Every key of a symbol-keyed table is hashed one way (a name by hash_symbol, a
// word by its resolved symbol), and names or words that match always hash alike, so
// a bucket whose stored hash differs is passed without reading its key.
bool same_hash(const BucketKey& stored, uint32_t tag) { return ((stored.tag ^ tag) & ~3u) == 0; }

// Index of the record whose name matches, or -1; *empty receives the empty bucket
// that ended the probe (-1 when the probe went round the whole table).
int32_t probe_name(const Table* t, uint32_t hash, const uint8_t* utf8, uint32_t length,
                   bool ignore_case, int32_t* empty) {
  const uint32_t* flags = flags_of(t);
  const BucketKey* keys = keys_of(t);
  const Cell* records = cells_of(t);
  *empty = -1;
  Probe p(hash, t->buckets);
  do {
    uint32_t s = state(flags, p.i);
    if (s == B_EMPTY) {
      *empty = p.i;
      return -1;
    }
    if (s == B_OCCUPIED && same_hash(keys[p.i], hash) &&
        same_name(records + keys[p.i].key, utf8, length, ignore_case))
      return keys[p.i].key;
  } while (p.next());
  return -1;
}

NodeRef new_name_series(const uint8_t* utf8, uint32_t length) {
  NodeRef name = memory::alloc_bytes(int64_t(length) + 1);
  SeriesBuffer* b = memory::buffer_of(name);
  if (length) std::memcpy(b->data(), utf8, length);
  b->data()[length] = 0;
  b->tail = length;
  return name;
}

}  // namespace

int32_t intern(NodeRef table, const uint8_t* utf8, uint32_t length, bool cased) {
  make_room_for_symbol(table);
  uint32_t hash = hash_symbol(utf8, length);
  int32_t empty = -1;
  int32_t found = probe_name(record(table), hash, utf8, length, cased, &empty);
  if (found >= 0) return found + 1;
  uint32_t alias = uint32_t(-1);
  if (!cased) {
    int32_t ignored = -1;
    int32_t variant = probe_name(record(table), hash, utf8, length, true, &ignored);
    // A variant may itself be an alias (tables re-order on growth): keep the target,
    // so that resolving stays one step.
    if (variant >= 0) {
      int32_t target = int32_t(cells_of(record(table))[variant].w1);
      alias = uint32_t(target > 0 ? target : variant + 1);
    }
  }
  if (empty < 0) fire(err::internal::LIMIT_HIT);
  NodeRef name = new_name_series(utf8, length);
  Cell* rec = memory::alloc_tail_cell(record(table)->block);
  cell::set(rec, T_UNSET, alias, 0, name);
  cell::set_type(rec, T_SYMBOL);
  Table* t = record(table);
  int32_t index = block_length(t) - 1;
  set_occupied(flags_of(t), empty);
  keys_of(t)[empty] = {index, tag_of(hash, T_SYMBOL)};
  t->size++;
  t->occupied++;
  return index + 1;
}

int32_t find_symbol(NodeRef table, uint32_t symbol_id, bool ignore_case, int32_t* out,
                    NodeRef context) {
  if (context) make_room_for_symbol(table);
  uint32_t key = symbol::resolve(symbol_id);
  Table* t = record(table);
  const uint32_t* flags = flags_of(t);
  const BucketKey* keys = keys_of(t);
  const Cell* words = std::as_const(*block_of(t)).cells();   // a lookup keeps the link
  int32_t empty = -1;
  uint32_t hash = hash_int(key);
  Probe p(hash, t->buckets);
  do {
    uint32_t s = state(flags, p.i);
    if (s == B_EMPTY) {
      empty = p.i;
      break;
    }
    if (s != B_OCCUPIED || !same_hash(keys[p.i], hash)) continue;
    uint32_t stored = word_cell::symbol(words + keys[p.i].key);
    if (ignore_case ? symbol::resolve(stored) == key : stored == symbol_id) {
      if (out) *out = keys[p.i].key;
      return keys[p.i].key;
    }
  } while (p.next());
  if (!context) return -1;
  if (empty < 0) fire(err::internal::LIMIT_HIT);
  Cell* word = memory::alloc_tail_cell(t->block);
  t = record(table);
  int32_t index = block_length(t) - 1;
  cell::set(word, T_UNSET, context, symbol_id, uint32_t(index));
  cell::set_type(word, T_WORD);
  set_occupied(flags_of(t), empty);
  keys_of(t)[empty] = {index, tag_of(hash, T_WORD)};
  t->size++;
  t->occupied++;
  if (out) *out = index;
  return -1;
}

}  // namespace zol::hashtable
