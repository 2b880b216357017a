// typeset!: a set of datatypes held entirely inside the cell.
//
// Words 1-3 are read as a 12-byte array starting at word 1: datatype id i is bit
// (0x80 >> (i mod 8)) of byte (i div 8), most significant bit first, so id 0 is the
// top bit of the first byte. Operations that walk the set look at ids 1 to the
// highest registered datatype id only.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::typeset {

constexpr int BITS = 96;

void init();

Cell* make_at(Cell* slot, uint32_t w1, uint32_t w2, uint32_t w3);
Cell* make_all(Cell* slot);              // every type but unset!
Cell* clear(Cell* typeset);              // no type
Cell* push(const Cell* typeset);

bool has(const Cell* typeset, int id);
// Adds a datatype! (its bit) or a typeset! (all its bits); anything else raises
// invalid-arg. A word! is replaced by its value first (no-value when it has none).
void add_type(Cell* typeset, const Cell* value);
// A new block of the datatype! values of the set, in id order.
Cell* to_block(const Cell* typeset, Cell* slot);
int count(const Cell* typeset);
// and~, or~, xor~ and the set natives on the frame's two arguments (a typeset! and
// a typeset! or datatype!), by math/set op code; the result replaces the first.
void do_bitwise(int op);

// The argument check of compiled library code: a value whose type is not in the
// typeset raises expect-arg for the function being called, naming its argument-th
// spec word. Answers the value.
const Cell* type_check(const Cell* typeset, const Cell* value, int argument);
// The same on the argument at `offset` in the current frame; a negative offset (an
// unused refinement's argument) checks nothing.
void type_check_arg(const Cell* typeset, int offset);

}  // namespace zol::typeset
