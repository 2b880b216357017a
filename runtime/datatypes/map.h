// map!: an unordered dictionary. Its pairs live in a block of alternating key and
// value cells in insertion order, indexed by a hash table of the map kind.
//
// map! cell (type map!):
//   word 1  head index: 0 for every map made; foreach advances a private copy
//   word 2  the node of the key/value block
//   word 3  the node of the hash table; its size is the number of live pairs
//
// Removing a pair leaves it in the block with its value cell's header 0 (a hole),
// so positions stay stable: every reader skips holes, and a key that comes back
// takes its old place again. Keys of the word types are stored as set-words, and
// string-like keys as private copies, so that a caller's later edit cannot change a
// stored key under the table.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::map {

void init();   // registers map! and its key preparation

// Whether a value of the type may be a key (the lexer checks map literals with it).
bool valid_key_type(uint8_t type);

// Makes `out` a map over the pairs of the block cell `pairs` (used as it is: the
// caller hands over a block it owns), merging repeated keys; keys are checked and
// prepared. `pairs` may be `out`.
Cell* make_over(Cell* out, const Cell* pairs);

int32_t count(const Cell* map);

// Adds the pairs of a block (or the live pairs of a map) to a map, setting the
// values of keys already present: the extend native's work.
Cell* extend(Cell* map, const Cell* pairs, bool case_);

// One foreach step over a map: sets each of the `count` words (a word, or a block
// of words) from the cells at the map's head, skipping holes, and advances the
// head past the cells used. False when the map is exhausted.
bool foreach_step(Cell* map, const Cell* words, int32_t count);

}  // namespace zol::map
