// block!: storage routines, builders and the cell-sequence engines (compare-each,
// mold-each, clone) shared by block!, paren!, the path family and hash!.
//
// A block cell holds the head index (cells) in word 1 and the node of a buffer of
// 16-byte units in word 2. Every routine that can grow a block re-reads the buffer
// from the node afterwards; none keeps a cell address across an append.
#pragma once
#include <cstdint>

#include "runtime/cell.h"
#include "runtime/memory.h"

namespace zol::block {

inline SeriesBuffer* buffer(const Cell* blk) { return memory::buffer_of(blk->w2); }

// Accessors.
int32_t zs_length(const Cell* blk);
bool zs_next(Cell* blk);
Cell* zs_head(Cell* blk);                 // clips a head past the tail
Cell* zs_tail(const Cell* blk);
bool zs_tail_q(const Cell* blk);
Cell* zs_abs_at(const Cell* blk, int32_t index);
void zs_clear(Cell* blk);
void zs_clear_at(Cell* blk, int32_t index);
Cell* zs_append(Cell* blk, const Cell* value);
void zs_remove_last(Cell* blk);
void zs_append_block(Cell* blk, const Cell* source);

// Builders.
Cell* make_at(Cell* cell, int32_t capacity, uint8_t type = T_BLOCK);
Cell* make_fixed(Cell* cell, int32_t capacity, bool plain);
// A new empty block at the tail of `parent` (a block), or of the root block when
// parent is null. Returns the new cell (valid until the parent grows again).
Cell* make_in(Cell* parent, int32_t capacity);
Cell* push(const Cell* blk);
Cell* push_empty(int32_t capacity);
// Inserts one cell at the head (or at the buffer start); advances the head past it
// when asked.
void insert_value(Cell* blk, const Cell* value, bool advance, bool at_start);
void insert_each(Cell* blk, const Cell* source);

// Copies from the head into a new block pushed on the value stack; deep copies
// nested blocks (and parens and paths with deep_any).
Cell* clone(const Cell* blk, bool deep, bool deep_any);

// Finds a value with the compare action (find equality) and answers the cell
// after it, or none.
const Cell* select_compare(const Cell* blk, const Cell* value);
// Removes the first match; answers whether its index was at most the head index.
bool remove_compare(Cell* blk, const Cell* value, bool from_start);

// Compares two blocks cell by cell under a comparison code.
int compare_each(const Cell* a, const Cell* b, int op);
// Molds the cells of a block into `buffer`; returns the part budget left.
// `part_arg` is the /part argument cell, null when no limit was given.
int mold_each(const Cell* blk, Cell* buffer, bool only, bool all, bool flat,
              const Cell* part_arg, int limit, int indent);

inline bool is_any_block(uint8_t t) {
  return t == T_BLOCK || t == T_PAREN || t == T_HASH || (t >= T_PATH && t <= T_GET_PATH);
}
inline bool is_any_word(uint8_t t) { return t >= T_WORD && t <= T_ISSUE; }

}  // namespace zol::block
