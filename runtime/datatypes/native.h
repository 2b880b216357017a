// native!, action! and op!: the built-in callables and the infix operators.
//
// native! and action! cell (types 21 and 22):
//   word 1  the code entry: index - 1 in the natives table (native!) or the slot
//           - 1 of the generic action table (action!)
//   word 2  the node of the spec block
//   word 3  the node of a 2-cell "more" block: cell 0 the record of the context
//           made from the spec, cell 1 the arguments cache (none until first call)
// op! cell (type 23): a copy of the callable it was made from (native!, action!,
// function! or routine!) with the type byte 23, the source's type id in header
// bits 16-23 and the operation of its numeric short cut in bits 24-29. An op! made
// from a function! or routine! shares its "more" block, whose cell 3 then holds a
// copy of the source.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/function.h"

namespace zol::native {

constexpr int32_t TABLE_SIZE = 120;   // natives table entries (index 1 to 120)
// The most refinements a built-in's C++ entry takes, one int each: the widest
// built-in, `now`, takes 10. Calls are dispatched through a table of entry shapes
// of every width up to this one, and a made native! or action! may not name more.
constexpr int MAX_REFINEMENTS = 11;
constexpr int OP_KIND_SHIFT = 16;
constexpr int OP_OPERATION_SHIFT = 24;
// The operation field of an op! whose source has no numeric short cut.
constexpr uint32_t NO_OPERATION = 63;

void init();   // registers native!, action! and op!

// A native! (index 1..120) or action! (slot 1..62) with its spec block.
Cell make(uint8_t type, const Cell* spec, int32_t index);

// The callable type an op! wraps.
inline uint8_t op_kind(const Cell* op) { return uint8_t(op->header >> OP_KIND_SHIFT); }
// The op! cell turned back into the callable it wraps. A routine's header carries
// its argument count, which the op's header has no room for: its copy in the
// shared "more" block serves.
inline Cell op_source(const Cell* op) {
  if (op_kind(op) == T_ROUTINE) return *function::more(op, function::MORE_SOURCE);
  Cell c = *op;
  c.header = op_kind(op);
  return c;
}

// The operation the numeric short cut of a native! or action! computes, by its
// type and word 1 (NO_OPERATION for the others): the evaluator's, installed at
// its start-up, before any op! is made.
extern uint32_t (*operation_of)(uint8_t kind, uint32_t index);

// An op!'s operation, kept in its cell so that an operator step finds it without
// a lookup; every maker of op! cells sets it with set_op_operation once the
// header holds the op's kind.
inline uint32_t op_operation(const Cell* op) { return op->header >> OP_OPERATION_SHIFT & NO_OPERATION; }
void set_op_operation(Cell* op);

// An op!'s spec: exactly two arguments, the first not literal or get.
bool op_spec_ok(const Cell* spec);

}  // namespace zol::native
