// function! and routine!: callables made from a spec block.
//
// function! cell (type 24):
//   header  type | flags: 0x400 the `trace` attribute, 0x200 `no-trace`
//   word 1  the node of the function's context: one word per argument, refinement
//           and local, in spec order; its values live on the value stack while the
//           function runs (the frame's cells, in the same order)
//   word 2  the node of the spec block
//   word 3  the node of the "more" block of 5 cells:
//             0 the body block (none without a body)
//             1 the arguments cache, unset until the first call
//             2 unset (no compiled entry in this system)
//             3 unset (an op! made from the function keeps the function here)
//             4 unset (no method context)
// The function cell is also copied into the second cell of its context.
//
// routine! cell (type 29): a C++ function bound by name to a spec. Header bit
// 0x8000 (every routine here is built in), bits 25-29 the argument count; words 1-3
// as function!, the "more" block holding: 0 a block naming the implementation,
// 2 an integer! with the entry's index in the routine table, 4 an integer! with
// the return datatype id (0: none).
#pragma once
#include <cstdint>
#include <utility>

#include "runtime/base/assert.h"
#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace zol::function {

constexpr uint32_t FLAG_TRACE = 0x400;
constexpr uint32_t FLAG_NO_TRACE = 0x200;

// Cells of the "more" block.
constexpr int MORE_BODY = 0;
constexpr int MORE_CACHE = 1;
constexpr int MORE_ENTRY = 2;
constexpr int MORE_SOURCE = 3;
constexpr int MORE_METHOD = 4;
constexpr int MORE_CELLS = 5;

void init();   // registers function!

// Typed reads of a callable cell (function!, routine!, native!, action!, op!): the
// layout above is defined here and nowhere else.
inline bool is_callable(const Cell* c) {
  return (c->type() >= T_NATIVE && c->type() <= T_FUNCTION) || c->is(T_ROUTINE);
}
// A function's or routine's own context (its arguments, refinements and locals).
inline NodeRef context_of(const Cell* fn) {
  ZOL_ASSERT(fn->is(T_FUNCTION) || fn->is(T_ROUTINE) || fn->is(T_OP));
  return fn->w1;
}
// The spec block, at its head.
inline Cell spec_of(const Cell* callable) {
  ZOL_ASSERT(is_callable(callable));
  return Cell{T_BLOCK, 0, callable->w2, 0};
}

// Makes a function from a spec and a body (null for none); a spec or body index
// past 0 uses a copy from that index. The context is made from the spec and the
// body bound to it. Checks the spec first.
Cell make(const Cell* spec, const Cell* body);
// The "more" block's cell i of a function!, routine!, native!, action! or op!.
inline Cell* more(const Cell* callable, int i) {
  ZOL_ASSERT(is_callable(callable));
  ZOL_ASSERT(i >= 0 && i < MORE_CELLS);
  return memory::buffer_of(callable->w3)->cells() + i;
}
// The same for reading: const access keeps the buffer's link.
inline const Cell* read_more(const Cell* callable, int i) {
  ZOL_ASSERT(is_callable(callable));
  ZOL_ASSERT(i >= 0 && i < MORE_CELLS);
  return std::as_const(*memory::buffer_of(callable->w3)).cells() + i;
}

// The compare action of every callable type: two values of one type order by
// their "more" blocks, so a callable equals only itself.
int compare_callables(const Cell* a, const Cell* b, int op);
// The reflect action of every callable type: spec; body (a function's or
// routine's block, a native's or action's table index from 1); words (a
// function's or routine's own, bound to its context; not through an op!).
Cell* reflect(Cell* value, uint32_t field);

// Raise bad-func-def, dup-vars or invalid-type-spec when the spec is malformed.
void validate_spec(const Cell* spec);
void check_duplicates(const Cell* spec);
void check_type_block(const Cell* types);
// The flags of an attributes block; -1 when it holds a non-word.
int attributes(const Cell* block);

// For `function`: adds the body's set-words and loop words to the spec (a block
// the caller owns) as locals.
void collect_words(Cell* spec, const Cell* body);

// Words after /local plus one for /local itself; -1 when must_exist and the spec
// has no /local (0 without must_exist).
int32_t count_locals(const Cell* spec, int32_t start, bool must_exist);
// Pushes false (the /local slot) and n - 1 none cells.
void init_locals(int32_t n);

}  // namespace zol::function

namespace zol::routine {

constexpr uint32_t BUILT_IN = 0x8000;

// A routine's implementation: the argument cells in spec order; answers the result
// cell (null: unset).
using Entry = const Cell* (*)(Cell* const* args);

void init();   // registers routine!

// Binds a C++ function taking `arg_count` arguments to a name; answers its index in
// the routine table.
int32_t add_entry(const char* name, Entry fn, int arg_count);
// Makes a routine from its spec, a body block whose first word names a registered
// implementation (the body is kept as the routine's body), and its return datatype
// id (0: none). A body without such a word, an unknown name, or a spec whose
// argument count differs from the implementation's raises bad-func-def.
Cell make(const Cell* spec, const Cell* body, uint8_t return_type);
// Set while start-up evaluates the library's source: only then may source make
// routines.
extern bool library_building;
int arg_count(const Cell* routine);
// Calls the implementation with the frame's arguments; the result goes to the
// frame's first cell.
void exec(const Cell* routine);

}  // namespace zol::routine
