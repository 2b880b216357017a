// The arguments cache of a plain spec (arguments.cpp describes the cache) and the
// gathering of its arguments from the code, inline for the evaluator's call path:
// a function of plain spec named by a word gathers its arguments in the call
// itself, without a call into the general gathering. Also the untraced run of a
// paren, which the expression step and an operator's right operand share.
#pragma once
#include <cstdint>
#include <cstring>

#include "interpreter/eval.h"
#include "interpreter/interpreter.h"
#include "runtime/core/cell.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/typeset.h"

namespace zol::interpreter::args {

// Header bits of the cache's own cell: the spec is plain, and its number of
// arguments.
constexpr uint32_t PLAIN_SPEC = 0x10000;
constexpr int PLAIN_COUNT_SHIFT = 8;
constexpr int MAX_PLAIN_ARGUMENTS = 255;

const Cell& build_cache(const Cell& callable);

// The cache of a callable, built on its first call.
inline const Cell& cache_of(const Cell& callable) {
  const Cell* slot = function::read_more(&callable, function::MORE_CACHE);
  if (slot->is(T_BLOCK)) [[likely]] return *slot;
  return build_cache(callable);
}

inline int32_t plain_count(const Cell& cache) {
  return int32_t(cache.header >> PLAIN_COUNT_SHIFT) & MAX_PLAIN_ARGUMENTS;
}

// Whether a typeset allows a datatype: the bit test of typeset::has, inline since
// every argument passes through it. Every datatype's bit lies in the set's first
// eight bytes, most significant bit first: one load, reversed, puts type 0's bit on
// top.
inline bool allows(const Cell& types, uint8_t type) {
  static_assert(T_LAST < 64 && typeset::BITS >= 64);
  uint64_t bits;
  std::memcpy(&bits, &types.w1, sizeof bits);
  return type < 64 && (__builtin_bswap64(bits) << type) >> 63;
}

// The errors of a missing argument and of an argument of a type its spec does not
// allow (the argument on the stack top), for cache entry k.
[[noreturn]] void missing(const Cell& callable, const Cell& name, int32_t k);
[[noreturn]] void wrong_type(const Cell& callable, const Cell& name, int32_t k);

// The arguments of a plain spec from the code: each is the next expression, checked
// against its types. With first_in_place the first is on the stack top already.
// Answers the position after them (at once when an exit is pending).
[[gnu::always_inline]] inline int32_t gather_plain_arguments(const Cell& callable,
                                                             const Cell* entries,
                                                             int32_t arguments, const Code& code,
                                                             int32_t pos, const Cell* name,
                                                             bool infix, bool first_in_place) {
  for (int32_t k = 0; k < arguments; k++) {
    if (k > 0 || !first_in_place) {
      const Cell* at = code.peek(pos);
      if (!at) [[unlikely]] missing(callable, *name, k);
      pos = expression_at(code, pos, at, infix);
      if (exits::pending) return pos;
    }
    if (!allows(entries[k], (stack::top - 1)->type())) [[unlikely]]
      wrong_type(callable, *name, k);
  }
  return pos;
}

// A function's locals, the cache's entry past its arguments when it has any: made
// in its frame once the arguments are there.
inline void make_locals(const SeriesBuffer* cache, int32_t arguments) {
  if (int32_t(cache->cell_count()) <= arguments) return;
  int32_t locals = cell::get_int(&cache->cells()[arguments]);
  if (locals > 0) function::init_locals(locals);
}

// A paren run untraced on top of the current frame (eval_paren says why), its value
// left on the stack top: for the expression step and an operator's right operand.
inline void run_paren_on_top(const Cell& paren) {
  Cell* base = stack::top;
  run_block_at(&paren, base);
  if (exits::pending) return;
  stack::top = base + 1;
}

}  // namespace zol::interpreter::args
