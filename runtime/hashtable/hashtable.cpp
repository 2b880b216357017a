// The hash-table engine (see hashtable.h): hash functions, sizing, and the tables
// over cells (kinds 0-2). Records tables (kinds 3-4), the symbol-keyed lookups and
// the address map live in the other hashtable_*.cpp sources.
#include "runtime/hashtable/hashtable.h"

#include <vector>

#include "runtime/core/action_types.h"
#include "runtime/memory/array.h"
#include "runtime/text/casefold.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable_internal.h"
#include "runtime/core/symbol.h"
#include "runtime/base/system.h"

namespace zol::hashtable {

using namespace detail;

uint32_t seed = 0;
void (*prepare_map_key)(Cell*) = nullptr;

// --- hashing -----------------------------------------------------------------------

namespace {

constexpr uint32_t C1 = 0xCC9E2D51u, C2 = 0x1B873593u;

inline uint32_t rotl(uint32_t x, int r) { return (x << r) | (x >> (32 - r)); }
inline uint32_t scramble(uint32_t k) { return rotl(k * C1, 15) * C2; }
inline uint32_t mix_block(uint32_t h, uint32_t k) { return rotl(h ^ scramble(k), 13) * 5 + 0xE6546B64u; }

inline uint8_t same_byte(uint8_t b) { return b; }
inline uint8_t lower_ascii(uint8_t b) { return b >= 'A' && b <= 'Z' ? uint8_t(b | 0x20) : b; }

// MurmurHash3 x86 32-bit over bytes passed through `map` (the symbol hash lowers
// ASCII letters on the way instead of copying the name).
template <uint8_t (*Map)(uint8_t)>
uint32_t murmur_mapped(const uint8_t* p, size_t length, uint32_t h) {
  size_t blocks = length / 4;
  for (size_t i = 0; i < blocks; i++, p += 4)
    h = mix_block(h, uint32_t(Map(p[0])) | uint32_t(Map(p[1])) << 8 | uint32_t(Map(p[2])) << 16 |
                         uint32_t(Map(p[3])) << 24);
  uint32_t k = 0;
  switch (length & 3) {
    case 3: k ^= uint32_t(Map(p[2])) << 16; [[fallthrough]];
    case 2: k ^= uint32_t(Map(p[1])) << 8; [[fallthrough]];
    case 1: k ^= Map(p[0]); h ^= scramble(k);
  }
  return fmix32(h ^ uint32_t(length));
}

uint32_t hash_bytes_of_series(const Cell* v) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(v));
  int32_t head = series_cell::head(v);
  uint32_t used = b->used_bytes();
  uint32_t skip = head <= 0 ? 0 : (uint32_t(head) > used ? used : uint32_t(head));
  return murmur3(b->head() + skip, used - skip);
}

uint32_t hash_money(const Cell* v) {
  constexpr uint32_t MONEY_SIGN = 0x4000;
  Cell bare = *v;
  bare.header = T_MONEY | (v->header & MONEY_SIGN);
  return murmur3(&bare, sizeof bare);
}

uint32_t hash_tuple(const Cell* v) {
  uint32_t count = (v->header >> 19) & 0xF;
  return murmur3(&v->w1, count > 12 ? 12 : count);
}

uint32_t hash_symbol_record(const Cell* v) {
  SeriesBuffer* name = memory::buffer_of(v->w3);
  return hash_symbol(name->head(), name->used_bytes());
}

}  // namespace

uint32_t fmix32(uint32_t h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  return h ^ (h >> 16);
}

uint32_t murmur3(const void* data, size_t length, uint32_t with_seed) {
  return murmur_mapped<same_byte>(static_cast<const uint8_t*>(data), length, with_seed);
}

uint32_t murmur3(const void* data, size_t length) { return murmur3(data, length, seed); }

uint32_t hash_symbol(const uint8_t* utf8, size_t length) {
  return murmur_mapped<lower_ascii>(utf8, length, seed);
}

namespace {

// The case folding of the hash: ASCII letters here, the rest through the tables.
inline uint32_t upper_char(uint32_t cp) {
  if (cp < 0x80) return cp - 'a' < 26u ? cp - 0x20 : cp;
  return case_folding::to_upper_char(cp);
}

// The character loop of hash_string, one instance per character width so that
// reading a character is a plain load.
template <uint32_t Unit>
uint32_t mix_characters(const uint8_t* p, const uint8_t* end, bool case_sensitive, uint32_t* count) {
  uint32_t h = seed, n = 0;
  for (; p < end; p += Unit, n++) {
    uint32_t cp = string::get_char(p, Unit);
    h = mix_block(h, case_sensitive ? cp : upper_char(cp));
  }
  *count = n;
  return h;
}

}  // namespace

uint32_t hash_string(const Cell* s, bool case_sensitive) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(s));
  uint32_t unit = b->unit();
  int32_t head = series_cell::head(s);
  const uint8_t* p = b->head() + (head > 0 ? size_t(head) * unit : 0);
  const uint8_t* end = b->tail_ptr();
  uint32_t h = 0, count = 0;
  switch (unit) {
    case 1: h = mix_characters<1>(p, end, case_sensitive, &count); break;
    case 2: h = mix_characters<2>(p, end, case_sensitive, &count); break;
    case 4: h = mix_characters<4>(p, end, case_sensitive, &count); break;
    default:
      system::runtime_error(system::FATAL_NO_SWITCH, reinterpret_cast<uintptr_t>(&hash_string));
  }
  return fmix32(h ^ (4 * count));
}

uint32_t hash_value(const Cell* v) {
  switch (v->type()) {
    case T_UNSET: return uint32_t(-2);
    case T_NONE: return uint32_t(-1);
    case T_DATATYPE: case T_LOGIC: case T_OBJECT: case T_ERROR: case T_PORT:
      return hash_int(v->w1);
    case T_CHAR: case T_INTEGER: case T_MAP: case T_HANDLE: case T_EVENT:
      return hash_int(v->w2);
    case T_NATIVE: case T_ACTION:
      return hash_int(v->w3);
    case T_WORD: case T_SET_WORD: case T_LIT_WORD: case T_GET_WORD: case T_REFINEMENT: case T_ISSUE:
      return hash_int(symbol::resolve(word_cell::symbol(v)));
    case T_SYMBOL:
      return hash_symbol_record(v);
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF:
      return hash_string(v, false);
    case T_BLOCK: case T_PAREN: case T_PATH: case T_LIT_PATH: case T_SET_PATH: case T_GET_PATH:
    case T_HASH: case T_POINT2D: case T_IMAGE:
      return murmur3(&v->w1, 8);
    case T_FLOAT: case T_PAIR: case T_PERCENT: case T_TIME:
      return murmur3(&v->w2, 8);
    case T_OP: case T_FUNCTION: case T_TRIPLE: case T_TYPESET: case T_DATE: case T_POINT3D:
      return murmur3(&v->w1, 12);
    case T_TUPLE: return hash_tuple(v);
    case T_BINARY: return hash_bytes_of_series(v);
    case T_MONEY: return hash_money(v);
    default: return 0;
  }
}

bool identity_hashed(uint8_t type) {
  switch (type) {
    case T_BLOCK: case T_PAREN: case T_NATIVE: case T_ACTION: case T_OP: case T_FUNCTION:
    case T_PATH: case T_LIT_PATH: case T_SET_PATH: case T_GET_PATH: case T_OBJECT: case T_ERROR:
    case T_HASH: case T_MAP: case T_PORT: case T_IMAGE: case T_EVENT:
      return true;
    default:
      return false;
  }
}

int32_t round_up_pow2(int32_t n) {
  uint32_t v = uint32_t(n) - 1;
  for (int shift : {1, 2, 4, 8, 16}) v |= v >> shift;
  return int32_t(v + 1);
}

// --- shared pieces ---------------------------------------------------------------------

namespace detail {

int32_t buckets_for(int32_t size) {
  if (size < 4) size = 4;
  return round_up_pow2(int32_t(size / LOAD));
}

int32_t growth_request(const Table* t) {
  if (t->kind != K_MAP && t->size * 2 < t->buckets) return t->buckets - 1;
  return t->buckets + 1;
}

NodeRef new_flags(int32_t buckets) { return memory::alloc_bytes_filled(int64_t(flag_bytes(buckets)), 0xAA); }
NodeRef new_keys(int32_t buckets) {
  return memory::alloc_bytes_filled(int64_t(buckets) * int64_t(sizeof(BucketKey)), 0);
}

bool keys_match(const Cell* stored, const Cell* key, int op) {
  ActionFn fn = datatype::action(stored->type(), A_COMPARE);
  if (!fn) return stored->type() == key->type() && std::memcmp(&stored->w1, &key->w1, 12) == 0;
  return action_as<CompareFn>(fn)(stored, key, op) == 0;
}

int32_t* index_entries(const Table* t) {
  return reinterpret_cast<int32_t*>(memory::buffer_of(t->aux)->data());
}
int32_t index_capacity(const Table* t) { return int32_t(memory::buffer_of(t->aux)->size / 4); }

void ensure_index_room(Table* t, int32_t cells) {
  SeriesBuffer* b = memory::buffer_of(t->aux);
  if (int64_t(b->size) >= int64_t(cells) * 4) return;
  int64_t wanted = int64_t(cells) * 8;
  memory::expand_series_filled(b, wanted, 0xFF);
}

NodeRef group_node(const Table* t, int32_t group) { return NodeRef(array::pick_int(t->groups, group)); }

void forget_cell(Table* t, int32_t index) {
  if (index < 0 || index >= index_capacity(t)) return;
  int32_t* entries = index_entries(t);
  int32_t bucket = entries[index] - 1;
  if (bucket < 0) return;
  entries[index] = -1;
  t->size--;
  int32_t key = keys_of(t)[bucket].key;
  if (key < 0) {
    NodeRef group = group_node(t, -key);
    array::remove_int(group, index);
    if (array::length(group) > 0) return;
    array::poke_int(t->groups, -key, 0);
  }
  set_deleted(flags_of(t), bucket);
}

void reset_hash_table(Table* t) {
  t->size = t->occupied = 0;
  SeriesBuffer* f = memory::buffer_of(t->flags);
  std::memset(f->data(), 0xAA, f->size);
  SeriesBuffer* ix = memory::buffer_of(t->aux);
  std::memset(ix->data(), 0xFF, ix->size);
  array::clear(t->groups);
}

}  // namespace detail

// --- tables over cells -----------------------------------------------------------------

namespace {

bool is_stale(const Table* t) {
  return t->stamp != 0 && t->stamp != current_stamp() && !collector::active();
}

const Cell* first_cell_of(const Table* t, int32_t key) {
  if (key < 0) key = array::pick_int(group_node(t, -key), 1);
  return cells_of(t) + key;
}

// The key a lookup uses: map! keys of the word types are stored as set-words.
Cell lookup_key(const Table* t, const Cell* key) {
  Cell k = *key;
  if (t->kind == K_MAP && (k.is(T_WORD) || k.is(T_LIT_WORD) || k.is(T_GET_WORD)))
    cell::set_type(&k, T_SET_WORD);
  return k;
}

void record_index(NodeRef table, int32_t index, int32_t bucket) {
  ensure_index_room(record(table), index + 1);
  index_entries(record(table))[index] = bucket + 1;
}

// Cell `index` joins the duplicate group of `bucket` (made on the first duplicate).
void join_group(NodeRef table, int32_t bucket, int32_t index) {
  int32_t key = keys_of(record(table))[bucket].key;
  if (key >= 0) {
    NodeRef group = array::make(4, 4);
    array::append_int(group, key);
    array::append_int(record(table)->groups, int32_t(group));
    keys_of(record(table))[bucket].key = -array::length(record(table)->groups);
    key = keys_of(record(table))[bucket].key;
  }
  array::append_int(group_node(record(table), -key), index);
  record(table)->size++;
  record_index(table, index, bucket);
}

// Places cell `index` of the block; the table has room. Answers without change
// when a strictly equal key is already stored (kinds 1-2).
void insert_cell(NodeRef table, int32_t index) {
  Table* t = record(table);
  const Cell* key = cells_of(t) + index;
  if (t->stamp == 0 && t->kind != K_SYMBOL && identity_hashed(key->type())) t->stamp = current_stamp();
  const BucketKey* keys = keys_of(t);
  int op = t->kind == K_HASH ? C_EQUAL : C_STRICT_EQUAL;
  uint32_t hash = hash_value(key);
  uint32_t tag = tag_of(hash, key->type());
  Slot slot = probe_slot(flags_of(t), t->buckets, hash, [&](int32_t i) {
    if (!may_match(keys[i].tag, tag)) return false;
    const Cell* stored = first_cell_of(t, keys[i].key);
    return stored->type() == key->type() && keys_match(stored, key, op);
  });
  if (slot.found) {
    if (t->kind == K_HASH) join_group(table, slot.bucket, index);
    return;
  }
  int32_t bucket = slot.bucket;
  if (bucket < 0) fire(err::internal::LIMIT_HIT);
  if (slot.fresh) t->occupied++;
  set_occupied(flags_of(t), bucket);
  keys_of(t)[bucket] = {index, tag};
  t->size++;
  if (t->kind == K_HASH) record_index(table, index, bucket);
}

// Re-places every occupied bucket into `buckets` fresh buckets by the current hash
// of its key; deleted buckets are dropped.
void replace_buckets(NodeRef table, int32_t buckets, int32_t upper);

}  // namespace

// The record is raw bytes, never cells: no link to clear.
Table* record(NodeRef table) { return reinterpret_cast<Table*>(memory::buffer_of(table)->raw_data()); }

NodeRef init(int32_t size, NodeRef block, int32_t kind, int32_t value_cells) {
  NodeRef table = memory::alloc_bytes_filled(sizeof(Table), 0);
  memory::set_series_flag(table, FLAG_TABLE_RECORD);
  if (kind == K_SYMBOL && size > 3999) size *= 2;
  if (size < 4) size = 4;
  int32_t buckets = buckets_for(size);
  NodeRef flags = new_flags(buckets);
  NodeRef keys = new_keys(buckets);
  Table* t = record(table);
  t->kind = kind;
  t->buckets = buckets;
  t->upper = upper_for(buckets);
  t->flags = flags;
  t->keys = keys;
  if (kind >= K_INTEGER) {
    t->aux = NodeRef(value_cells + 1) * sizeof(Cell);
    t->stamp = current_stamp();
  }
  if (kind == K_HASH) {
    NodeRef index = memory::alloc_bytes_filled(int64_t(size) * 4, 0xFF);
    NodeRef groups = array::make(0, 4);
    record(table)->aux = index;
    record(table)->groups = groups;
  }
  if (kind >= K_INTEGER || block == 0) {
    int64_t cells = kind >= K_INTEGER ? int64_t(size) * (value_cells + 1) : size;
    NodeRef own = memory::alloc_cells(cells);
    record(table)->block = own;
    return table;
  }
  record(table)->block = block;
  put_all(table, 0, kind == K_MAP ? 2 : 1);
  return table;
}

bool put_key(NodeRef table, const Cell* key) {
  Table* t = record(table);
  int32_t index = int32_t(key - cells_of(t));
  if (t->kind == K_HASH && is_stale(t)) {
    rebuild(table, block_length(t));
    return true;
  }
  if (t->kind == K_MAP) refresh(table);
  if (record(table)->occupied >= record(table)->upper) {
    int32_t request = growth_request(record(table));
    if (t->kind == K_HASH) {
      rebuild(table, request);
      return true;
    }
    resize(table, t->kind == K_SYMBOL ? request * 16 : request);
  }
  insert_cell(table, index);
  return false;
}

void put(NodeRef table, const Cell* key) { put_key(table, key); }

namespace {

// Map blocks merge a repeated key: the later value wins and the pair is cut out.
void put_map_pairs(NodeRef table, int32_t from) {
  for (int32_t i = from; i + 1 < block_length(record(table));) {
    Cell* key = cells_of(record(table)) + i;
    Cell* present = get(table, key, 0, 1, C_STRICT_EQUAL);
    if (present && present != key) {
      present[1] = key[1];
      SeriesBuffer* b = block_of(record(table));
      std::memmove(key, key + 2, size_t(b->cell_tail() - (key + 2)) * sizeof(Cell));
      b->set_tail(b->tail - 2 * sizeof(Cell));
      continue;
    }
    put_key(table, key);
    if (prepare_map_key) prepare_map_key(cells_of(record(table)) + i);
    i += 2;
  }
}

}  // namespace

void put_all(NodeRef table, int32_t from, int32_t step) {
  if (record(table)->kind == K_MAP) return put_map_pairs(table, from);
  for (int32_t i = from; i < block_length(record(table)); i += step)
    if (put_key(table, cells_of(record(table)) + i)) return;
}

namespace {

// Whether cell `index` of a hash! bucket is a better find result than `best`.
struct FindRule {
  int32_t start, skip;
  bool reverse, last;
  bool on_skip(int32_t index) const {
    int32_t distance = reverse ? (start - 1) - index : index - start;
    return distance % skip == 0;
  }
  bool better(int32_t index, int32_t best) const {
    if (!reverse) return index >= start && index < best;
    if (last) return index < start && index > best;
    return index >= start && index > best;
  }
};

Cell* get_in_hash(NodeRef table, const Cell* key, const FindRule& rule, int op) {
  Table* t = record(table);
  int32_t best = rule.reverse ? -1 : block_length(t);
  bool found = false;
  uint32_t hash = hash_value(key);
  uint32_t tag = tag_of(hash, key->type());
  Probe p(hash, t->buckets);
  do {
    uint32_t s = state(flags_of(t), p.i);
    if (s == B_EMPTY) break;
    if (s == B_DELETED) continue;
    if (!may_match(keys_of(t)[p.i].tag, tag)) continue;
    int32_t stored = keys_of(t)[p.i].key;
    if (!keys_match(first_cell_of(t, stored), key, C_EQUAL)) continue;
    NodeRef group = stored < 0 ? group_node(t, -stored) : 0;
    int32_t members = group ? array::length(group) : 1;
    for (int32_t m = 1; m <= members; m++) {
      int32_t index = group ? array::pick_int(group, m) : stored;
      if (!rule.on_skip(index) || !rule.better(index, best)) continue;
      if (!keys_match(cells_of(t) + index, key, op)) continue;
      best = index;
      found = true;
    }
    // Equal values of different types (a word and a lit-word) keep buckets of their
    // own along one probe path, so the best match may lie in a later bucket.
  } while (p.next());
  return found ? cells_of(t) + best : nullptr;
}

Cell* get_in_keys(NodeRef table, const Cell* key, int op) {
  Table* t = record(table);
  uint32_t hash = hash_value(key);
  uint32_t tag = tag_of(hash, key->type());
  const uint32_t* flags = flags_of(t);
  const BucketKey* keys = keys_of(t);
  Probe p(hash, t->buckets);
  do {
    uint32_t s = state(flags, p.i);
    if (s == B_EMPTY) return nullptr;
    if (s == B_DELETED || !may_match(keys[p.i].tag, tag)) continue;
    Cell* stored = cells_of(t) + keys[p.i].key;
    if (stored->type() == key->type() && keys_match(stored, key, op)) return stored;
  } while (p.next());
  return nullptr;
}

}  // namespace

Cell* get(NodeRef table, const Cell* key, int32_t start, int32_t skip, int op, bool reverse,
          bool last) {
  refresh(table);
  Cell k = lookup_key(record(table), key);
  if (record(table)->kind != K_HASH) return get_in_keys(table, &k, op);
  if (skip == 0) skip = 1;
  FindRule rule{start, skip < 0 ? -skip : skip, reverse || last, last};
  return get_in_hash(table, &k, rule, op);
}

Cell* find_next(NodeRef table, const Cell* key, Cursor& cursor) {
  // A walk keeps the layout it started on; only a fresh walk may rebuild.
  if (cursor.position < 0) refresh(table);
  Table* t = record(table);
  Cell k = lookup_key(t, key);
  uint32_t hash = hash_value(&k);
  uint32_t tag = tag_of(hash, k.type());
  Probe p(hash, t->buckets);
  if (cursor.position >= 0) {
    p.i = cursor.position & (t->buckets - 1);
    p.step = cursor.step;
    if (!p.next()) return nullptr;
  }
  do {
    uint32_t s = state(flags_of(t), p.i);
    if (s == B_EMPTY) break;
    if (s == B_DELETED || !may_match(keys_of(t)[p.i].tag, tag)) continue;
    Cell* stored = const_cast<Cell*>(first_cell_of(t, keys_of(t)[p.i].key));
    if (stored->type() == k.type() && keys_match(stored, &k, C_EQUAL)) {
      cursor.position = p.i;
      cursor.step = p.step;
      return stored;
    }
  } while (p.next());
  cursor.position = t->buckets;
  cursor.step = t->buckets;
  return nullptr;
}

void remove(NodeRef table, const Cell* key) {
  Table* t = record(table);
  int32_t index = int32_t(key - cells_of(t));
  if (t->kind == K_HASH) return forget_cell(t, index);
  if (index + 1 < block_length(t) && cells_of(t)[index + 1].header != 0) {
    cells_of(t)[index + 1].header = 0;
    t->size--;
  }
}

void clear(NodeRef table) {
  Table* t = record(table);
  SeriesBuffer* b = block_of(t);
  b->set_tail(b->offset);
  if (t->kind == K_HASH) return reset_hash_table(t);
  t->size = t->occupied = 0;
  SeriesBuffer* f = memory::buffer_of(t->flags);
  std::memset(f->data(), 0xAA, f->size);
}

NodeRef copy(NodeRef table, NodeRef new_block) {
  NodeRef copied = memory::copy_series(memory::buffer_of(table));
  NodeRef flags = memory::copy_series(memory::buffer_of(record(table)->flags));
  NodeRef keys = memory::copy_series(memory::buffer_of(record(table)->keys));
  Table* t = record(copied);
  t->flags = flags;
  t->keys = keys;
  t->block = new_block;
  if (t->kind != K_HASH) return copied;
  // Groups are copied too: a shared group would let an edit of one table reach the other.
  NodeRef index = memory::copy_series(memory::buffer_of(t->aux));
  NodeRef groups = array::copy(t->groups);
  record(copied)->aux = index;
  record(copied)->groups = groups;
  for (int32_t g = 1; g <= array::length(groups); g++) {
    NodeRef group = NodeRef(array::pick_int(groups, g));
    if (group) array::poke_int(record(copied)->groups, g, int32_t(array::copy(group)));
  }
  return copied;
}

namespace {

void replace_buckets(NodeRef table, int32_t buckets, int32_t upper) {
  NodeRef flags = new_flags(buckets);
  NodeRef keys = new_keys(buckets);
  Table* t = record(table);
  const uint32_t* old_flags = flags_of(t);
  const BucketKey* old_keys = keys_of(t);
  uint32_t* new_flag_words = reinterpret_cast<uint32_t*>(memory::buffer_of(flags)->data());
  BucketKey* new_key_words = reinterpret_cast<BucketKey*>(memory::buffer_of(keys)->data());
  int32_t placed = 0;
  for (int32_t b = 0; b < t->buckets; b++) {
    if (state(old_flags, b) != B_OCCUPIED) continue;
    int32_t key = old_keys[b].key;
    uint32_t h = 0, tag = 0;
    if (t->kind >= K_INTEGER) {
      h = hash_int(reinterpret_cast<const Cell*>(block_of(t)->head() + key)->w1);
    } else {
      // Recomputed rather than taken from the old tag: a key hashed through a node
      // has moved, and a key text edited in place is placed by its text of now.
      const Cell* cell = first_cell_of(t, key);
      h = hash_value(cell);
      tag = tag_of(h, cell->type());
    }
    Probe p(h, buckets);
    while (state(new_flag_words, p.i) != B_EMPTY)
      if (!p.next()) fire(err::internal::LIMIT_HIT);
    set_occupied(new_flag_words, p.i);
    new_key_words[p.i] = {key, tag};
    placed++;
  }
  t->flags = flags;
  t->keys = keys;
  t->buckets = buckets;
  t->upper = upper;
  t->occupied = placed;
}

}  // namespace

void resize(NodeRef table, int32_t request) {
  int32_t buckets = request < 4 ? 4 : round_up_pow2(request);
  if (buckets <= 0) fire(err::internal::NO_MEMORY);
  int32_t upper = rounded_upper_for(buckets);
  if (record(table)->size >= upper) return;
  without_collector([&] { replace_buckets(table, buckets, upper); });
}

void rebuild(NodeRef table, int32_t request) {
  int32_t kind = record(table)->kind;
  if (kind >= K_INTEGER) return rebuild_records(table, request);
  if (kind != K_HASH) return resize(table, request);
  without_collector([&] {
    int32_t buckets = round_up_pow2(int32_t(1.5 * request));
    if (buckets < 4) buckets = 4;
    NodeRef flags = new_flags(buckets);
    NodeRef keys = new_keys(buckets);
    Table* t = record(table);
    t->flags = flags;
    t->keys = keys;
    t->buckets = buckets;
    t->upper = upper_for(buckets);
    t->stamp = 0;
    int32_t length = block_length(t);
    ensure_index_room(t, length);
    reset_hash_table(record(table));
    for (int32_t i = 0; i < length; i++) insert_cell(table, i);
  });
}

void refresh(NodeRef table) {
  Table* t = record(table);
  if (!is_stale(t)) return;
  if (t->kind == K_HASH) return rebuild(table, block_length(t));
  if (t->kind >= K_INTEGER) return rehash_records(table);
  without_collector([&] { replace_buckets(table, t->buckets, t->upper); });
  record(table)->stamp = current_stamp();
}

// --- marking -------------------------------------------------------------------------------

// Marking a table marks its record; the collector then calls mark_parts for it
// (the record carries FLAG_TABLE_RECORD), however the record was reached.
void mark(NodeRef table) {
  if (table) collector::mark_node(table);
}

// A table being built may not have all its parts yet: absent parts are 0. The
// group arrays are walked whether or not the groups array was marked already (it
// may have been found on the native stack first).
void mark_parts(NodeRef table) {
  Table* t = record(table);
  collector::mark_node(t->flags);
  collector::mark_node(t->keys);
  if (t->kind == K_HASH) {
    collector::mark_node(t->aux);
    if (t->groups) {
      collector::mark_node(t->groups);
      int32_t* groups = reinterpret_cast<int32_t*>(array::head(t->groups));
      for (int32_t g = 0; g < array::length(t->groups); g++)
        if (groups[g]) collector::mark_node(reinterpret_cast<NodeRef&>(groups[g]));
    }
  }
  if (t->kind >= K_INTEGER) return mark_records(t);
  collector::mark_block(t->block);
}

void init_engine() {
  collector::mark_hashtable = mark;
  collector::mark_table_parts = mark_parts;
}

}  // namespace zol::hashtable
