// bitset!: a set of non-negative integers, usually code points.
//
// The cell's word 2 is the node of a byte buffer; bit n lies in byte n >> 3 under
// the mask 128 >> (n & 7), so the first byte holds bits 0-7 from its top bit down.
// The buffer's length in bytes times 8 is the bitset's length. Buffer flag
// FLAG_COMPLEMENTED marks a complemented bitset: every bit past the buffer's end
// reads as a member, and growth fills new bytes with 0xFF rather than 0. A stored
// 1 bit always means "member"; a bitset made from [not ...] starts all ones and
// has the spec's bits cleared.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::bitset {

// The highest bit a bitset may hold: specs naming a larger index raise
// out-of-range instead of allocating a buffer of that size.
constexpr int64_t MAX_BIT = (int64_t(1) << 27) - 1;

// Registers bitset!.
void init();

bool complemented(const Cell* bits);
// The set operation `op` (OP_UNION, OP_INTERSECT, OP_EXCLUDE, OP_DIFFERENCE or
// OP_UNIQUE) on the frame's two bitsets; the result replaces the first argument.
void do_set_op(int op);
// Membership of one index (past the buffer: the complement flag answers).
bool has(const Cell* bits, uint32_t index);

}  // namespace zol::bitset
