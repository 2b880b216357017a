// block!: storage routines, builders, the cell-sequence engines (compare-each,
// mold-each, clone, copy-nested) and the block! actions, shared by block!, paren!,
// the path family and hash!.
//
// A block cell holds the head index (cells) in word 1 and the node of a buffer of
// 16-byte units in word 2; a hash! holds the node of its hash table in word 3 (0
// for the other block types). Every routine that can grow a block, or call Zol
// code, re-reads the buffer from the node afterwards; none keeps a cell address
// across an append or a callback.
//
// Action implementations answer in the cell of their first argument (the frame's
// result cell when an action entry calls them), or answer the shared none.
#pragma once
#include <cstdint>

#include "runtime/core/action_types.h"
#include "runtime/core/cell.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/memory/memory.h"

namespace zol::block {

using series::buffer;

// Accessors. advance moves the head one cell on (not past the tail) and answers
// whether it then stands at the tail.
int32_t length(const Cell* blk);
bool advance(Cell* blk);
Cell* clip_head_cell(Cell* blk);   // moves a head past the tail back to it
Cell* tail_cell(const Cell* blk);
bool at_tail(const Cell* blk);
// The cell at an absolute index of the block's buffer (no head, no bounds check):
// inline, as searches call it once per position.
inline Cell* cell_at(const Cell* blk, int32_t index) {
  return reinterpret_cast<Cell*>(buffer(blk)->head() + size_t(index) * sizeof(Cell));
}
void truncate_at_head(Cell* blk);
void truncate_at(Cell* blk, int32_t index);
Cell* append(Cell* blk, const Cell* value);
// append that also enters the new cell in a hash!'s table; answers blk.
Cell* append_value(Cell* blk, const Cell* value);
void remove_last(Cell* blk);
void append_all(Cell* blk, const Cell* source);

// Builders.
Cell* make_at(Cell* cell, int32_t capacity, uint8_t type = T_BLOCK);
Cell* make_fixed(Cell* cell, int32_t capacity, bool plain);
// A new empty block at the tail of `parent` (a block), or of the root block when
// parent is null. Returns the new cell (valid until the parent grows again).
Cell* make_in(Cell* parent, int32_t capacity);
Cell* push(const Cell* blk);
Cell* push_empty(int32_t capacity);
// Inserts one cell at the head (or at the buffer start); advances the head past it
// when asked. A hash! keeps its table in step.
void insert_value(Cell* blk, const Cell* value, bool advance, bool at_start);
void insert_each(Cell* blk, const Cell* source);
// Stack builders: append the current argument cell to the block just below it;
// the top value to the block just below it; the top value to the block in the
// frame's first cell (answering the value's type).
Cell* append_arg();
Cell* append_top();
uint8_t append_stack();

// Copies from the head into a new block pushed on the value stack; deep copies
// nested blocks (and parens and paths with deep_any).
Cell* clone(const Cell* blk, bool deep, bool deep_any);

// Replaces, in place, each selected cell of [from, to) (every `step`-th) by a copy
// made with the copy action: with `types` (a datatype! or typeset!), the nested
// series, bitsets, objects, errors and maps of those types; without, every nested
// series.
void copy_nested(const Cell* blk, int32_t from, int32_t to, int32_t step, bool deep,
                 const Cell* types);

// Finds a word by symbol (ignoring case unless case_) and answers the cell after
// it, or none when it is absent or the last cell.
const Cell* select_word(const Cell* blk, const Cell* word, bool case_);
// Finds a value with the compare action (find equality) and answers the cell
// after it, or none.
const Cell* select_compare(const Cell* blk, const Cell* value);
// Removes the first match; answers whether its index was at most the head index.
bool remove_compare(Cell* blk, const Cell* value, bool from_start);

// Compares two cells under a comparison code: the typed compare action, or, for a
// type without one, 0 for an identical cell and the order of the type ids
// otherwise.
int compare_cells(const Cell* a, const Cell* b, int op);
// Compares two blocks cell by cell under a comparison code.
int compare_each(const Cell* a, const Cell* b, int op);
// Molds the cells of a block into `buffer`; returns the part budget left.
// `part_arg` is the /part argument cell, null when no limit was given.
int mold_each(const Cell* blk, Cell* buffer, const MoldOptions& how, int limit);

// --- hash! tables ----------------------------------------------------------------------

// The hash table of a hash! cell, 0 for the other block types.
inline NodeRef hash_table(const Cell* blk) { return blk->is(T_HASH) ? blk->w3 : 0; }
// Re-indexes the cells of a hash! from `index` to the tail after they were
// rewritten in place (the whole table is reset when index is 0).
void reindex(const Cell* blk, int32_t index);

// --- the block! actions -------------------------------------------------------------

void init();   // registers block!

// make and to: the capacity a number spec asks for, at least 1; NaN raises
// bad-make-arg for `type`, a size beyond any buffer the internal no-memory.
int32_t capacity_of(const Cell* spec, uint8_t type);
Cell* to(Cell* proto, Cell* spec, int type);
int mold(const Cell* blk, Cell* buffer, const MoldOptions& how, int limit);
// mold with the one-character brackets of the type around the cells (left out
// with only); a block already being molded writes its cycle placeholder.
int mold_between(const Cell* blk, Cell* buffer, const char* open, const char* close,
                 const MoldOptions& how, int limit);
Cell* copy(Cell* blk, Cell* destination, const Cell* part, bool deep, const Cell* types);
Cell* sort(Cell* blk, const SortOptions& how);

// The refinements of find and select, and the search both run: the index of the
// matching cell from the buffer start, or -1; *span is the number of cells the
// value matched (its length for a block searched as a sequence, else 1).
struct Search {
  const Cell* value;
  const Cell* part = nullptr;
  const Cell* skip = nullptr;
  bool only = false, case_ = false, same = false, last = false, reverse = false,
       match = false;
};
int32_t search(const Cell* blk, const Search& how, int32_t* span);

// The set operations (union, unique, intersect, exclude, difference by op code) on
// the frame's two series (one for unique); the result replaces the first, at head
// 0: a hash! when either operand is one, else a block!.
void do_set_op(bool case_, const Cell* skip, int op);

// Installed by the lexer: the values loaded from a string!, as a new block.
extern Cell* (*load_text)(const Cell* text, Cell* out);

inline bool is_any_block(uint8_t t) {
  return t == T_BLOCK || t == T_PAREN || t == T_HASH || (t >= T_PATH && t <= T_GET_PATH);
}
inline bool is_any_word(uint8_t t) { return t >= T_WORD && t <= T_ISSUE; }

}  // namespace zol::block
