// hash!: a block whose cells are indexed by a hash table (kind 0), so that find and
// select cost a probe instead of a scan. Word 3 of the cell holds the table's node;
// the block actions keep the table in step with every edit.
#pragma once
#include "runtime/core/cell.h"

namespace zol::hash {

void init();   // registers hash!

// Makes `out` a hash! over the block of `blk` (its buffer, from index 0), with a
// new table indexing every cell.
Cell* index_block(Cell* out, const Cell* blk);

}  // namespace zol::hash
