// The hash-table engine: one open-addressing engine behind every keyed lookup of
// the runtime, and the hash functions it uses.
//
// A table never stores values. Per bucket it stores the position of a key inside an
// indexed block it is attached to:
//   kind 0  hash!     the cells of a hash! block; equal cells share one bucket through
//                     a duplicate group, and an index buffer maps each cell back to its
//                     bucket so that the block actions can keep the table in step
//   kind 1  map!      the keys of a map's key/value block (every second cell)
//   kind 2  symbols   the symbol table, and the word list of every context
//   kind 3  integers  records keyed by a 32-bit integer or node, in the table's own
//   kind 4  weak         records block; kind 4 drops a record when its key node or
//                        the node of its second value cell dies
//
// The table is reached through its node; the node's buffer holds the Table record.
// Bucket flags take 2 bits per bucket (see bucket_state); the keys series holds one
// 8-byte entry per bucket (BucketKey, hashtable_internal.h): where the key is (kinds
// 0-2 the 0-based index of the key cell in the block, kind 0: -n for duplicate group
// n; kinds 3-4 the byte offset of the record) and, for kinds 0-2, a tag made of the
// key's hash, so that a probe reads a stored key only when its tag allows a match.
//
// Probing is triangular: from hash & (buckets - 1), the s-th move adds s + 1. With a
// power-of-two bucket count this visits every bucket once in `buckets` steps.
//
// Keys hashed through a node (blocks, objects, ...) change hash when the collector
// moves nodes, so such tables record the collection cycle they were built in and
// are rebuilt on their first use after a later collection (refresh).
//
// The address map at the end is a small variant in tracked memory that maps one
// 32-bit word to another (the collector's node remap table).
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::hashtable {

enum Kind : int32_t { K_HASH = 0, K_MAP = 1, K_SYMBOL = 2, K_INTEGER = 3, K_WEAK = 4 };

// The record of a table: the data of its node's byte series, zero at creation.
struct Table {
  int32_t size;        // live entries (kind 0: indexed cells)
  NodeRef aux;         // kind 0: index buffer node; kinds 3-4: record size in bytes
  NodeRef groups;      // kind 0: 4-byte array of duplicate-group nodes (0 = released)
  NodeRef flags;       // 2 bits per bucket
  NodeRef keys;        // 8 bytes per bucket: index or offset, and tag
  NodeRef block;       // the indexed block (kinds 3-4: the records block)
  int32_t occupied;    // buckets not empty (live + deleted)
  int32_t buckets;     // a power of two, at least 4
  int32_t upper;       // when occupied reaches it the table grows or is rebuilt
  int32_t kind;
  uint32_t stamp;      // 0, or the collector's cycle count + 1 at the last (re)build
};
static_assert(sizeof(Table) == 44);

// Bucket states, 2 bits each: bucket i lives in 32-bit word i >> 4 at shift (i & 15) * 2.
constexpr uint32_t B_OCCUPIED = 0, B_DELETED = 1, B_EMPTY = 2;

// Past this many cells a hash! edit asks for a rebuild instead of shifting indexes:
// shifting costs a bucket update per moved cell plus the group bookkeeping, which
// passes the cost of rebuilding from scratch at about thirty thousand cells.
constexpr int32_t SHIFT_LIMIT = 30001;

// --- hashing -----------------------------------------------------------------------

extern uint32_t seed;   // set once at start-up by the random generator

uint32_t murmur3(const void* data, size_t length, uint32_t seed);
uint32_t murmur3(const void* data, size_t length);   // with the global seed
uint32_t fmix32(uint32_t h);
inline uint32_t hash_int(uint32_t v) { return fmix32(v); }
// Code points of a string! from its head, upper-cased unless case_sensitive.
uint32_t hash_string(const Cell* string, bool case_sensitive);
// UTF-8 name with ASCII A-Z lowered, so ASCII case variants hash alike.
uint32_t hash_symbol(const uint8_t* utf8, size_t length);
uint32_t hash_value(const Cell* value);
// Types whose hash goes through a node (the collector can change it).
bool identity_hashed(uint8_t type);

int32_t round_up_pow2(int32_t n);

// --- series-based tables (kinds 0-4) ------------------------------------------------

Table* record(NodeRef table);

// `block` is the block to index (a node) or 0 for a new one with room for `size`
// cells; kinds 3-4 always make their own records block. `value_cells` is the
// number of value cells per record for kinds 3-4.
NodeRef init(int32_t size, NodeRef block, int32_t kind, int32_t value_cells = 0);

// Kinds 0-2. The key cell already lies in the indexed block. Answers true when the
// table was rebuilt instead (the rebuild indexed every cell of the block).
bool put_key(NodeRef table, const Cell* key);
void put(NodeRef table, const Cell* key);
void put_all(NodeRef table, int32_t from, int32_t step);

// Looks `key` up under comparison `op`. Kind 0 honours start, skip, reverse and
// last as find does; kinds 1-2 answer the first stored key that matches.
Cell* get(NodeRef table, const Cell* key, int32_t start = 0, int32_t skip = 1, int op = 0,
          bool reverse = false, bool last = false);

// Walks every stored key equal to `key`, one per call; start with a fresh cursor.
struct Cursor {
  int32_t position = -1;
  int32_t step = 0;
};
Cell* find_next(NodeRef table, const Cell* key, Cursor& cursor);

// Kinds 0-2: forgets the key cell (map and symbol-keyed tables mark the pair removed).
void remove(NodeRef table, const Cell* key);
// Kind 0 editing: forget `count` cells from `index`; shift stored indexes after an
// insertion or removal (true: too many cells, rebuild instead); follow a move.
void remove_range(NodeRef table, int32_t index, int32_t count);
bool shift_indexes(NodeRef table, int32_t offset, int32_t start, int32_t count, bool adjust);
void move(NodeRef table, int32_t from, int32_t to, int32_t count);

NodeRef copy(NodeRef table, NodeRef new_block);
void clear(NodeRef table);
void resize(NodeRef table, int32_t request);
void rebuild(NodeRef table, int32_t request);
// Rebuilds a table hashed through nodes when a collection ran since it was built.
void refresh(NodeRef table);

// Kinds 3-4: the value cells of the record for `key`.
Cell* put_int(NodeRef table, uint32_t key);
Cell* get_int(NodeRef table, uint32_t key);
Cell* delete_int(NodeRef table, uint32_t key);

// Collector support: marks every series of the table (the hook the collector
// calls), and drops the records of a weak table whose nodes died.
void mark(NodeRef table);
// Marks the parts of a table whose record was just marked (the collector calls it).
void mark_parts(NodeRef table);
void sweep(NodeRef table);

// Symbol-keyed tables. intern: the id of the UTF-8 name in a table over symbol
// records, made when new. find_symbol: the index of the symbol in a context's word
// list, or -1; with a context node given, an absent word is added (its index in
// *out). `ignore_case` compares alias targets.
int32_t intern(NodeRef table, const uint8_t* utf8, uint32_t length, bool cased);
int32_t find_symbol(NodeRef table, uint32_t symbol, bool ignore_case, int32_t* out,
                    NodeRef context);

// Installs the engine's marking hook in the collector.
void init_engine();

// Map keys are prepared before they are stored (the map! datatype installs it).
extern void (*prepare_map_key)(Cell* key);

}  // namespace zol::hashtable

namespace zol::address_map {

// A hash map from one 32-bit word to another in tracked memory.
struct Map {
  int32_t size;
  uint32_t* flags;
  uint32_t* entries;   // key, value per bucket
  int32_t occupied;
  int32_t buckets;
  int32_t upper;
};

Map* init(int32_t size);
bool put(Map* map, uint32_t key, uint32_t value);   // true when the key was present
uint32_t* get(Map* map, uint32_t key);
int32_t find(Map* map, uint32_t key);
void remove(Map* map, uint32_t key);
void resize(Map* map, int32_t request);
// The entry after `entry` (nullptr: the first), or nullptr at the end.
uint32_t* next(Map* map, uint32_t* entry);
void clear(Map* map);
void destroy(Map* map);

}  // namespace zol::address_map
