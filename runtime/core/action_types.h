// Signatures of the action implementations, one per slot family. The registry
// stores them type-erased (ActionFn); callers that know the slot cast back with
// action_as<Signature>().
#pragma once
#include "runtime/core/cell.h"
#include "runtime/core/datatype.h"
#include "runtime/numeric/rounding.h"
#include <initializer_list>

namespace zol {

using MakeFn = Cell* (*)(Cell* proto, Cell* spec, int type);          // make, to
using RandomFn = Cell* (*)(Cell* value, bool seed, bool secure, bool only);
using FormFn = int (*)(const Cell* value, Cell* buffer, const Cell* part_arg, int limit);
// The refinements of mold, the /part argument cell (for its error; nullptr without
// /part) and the nesting depth that indents new lines. The text limit is threaded
// apart: each mold returns what is left of it, or -1 once it is used up.
struct MoldOptions {
  bool only = false;  // a block's values without its brackets
  bool all = false;   // the construction form of values with no literal
  bool flat = false;  // no new lines and no indenting
  const Cell* part = nullptr;
  int indent = 0;

  // How a value inside this one is molded: never without its own brackets.
  MoldOptions element() const { return {.all = all, .flat = flat, .part = part, .indent = indent}; }
  // One level deeper, for the fields of an object or map on lines of their own.
  MoldOptions deeper() const {
    MoldOptions o = *this;
    o.indent++;
    return o;
  }
};
using MoldFn = int (*)(const Cell* value, Cell* buffer, const MoldOptions& how, int limit);
using CompareFn = int (*)(const Cell* a, const Cell* b, int op);
using UnaryFn = Cell* (*)(Cell* value);                                 // complement ...
using MinimalFn = void (*)();                                           // reads the frame
using LengthFn = int32_t (*)(const Cell* series);                     // -1: no length
using ClearFn = Cell* (*)(Cell* series);
// The refinements of find and select, filled with designated initialisers; select
// reads neither tail nor match. /with names the wildcards of /any, which no
// datatype matches yet, so its argument goes no further than the action entry.
struct FindOptions {
  const Cell* part = nullptr;   // the refinements' argument cells, nullptr when unused
  const Cell* skip = nullptr;
  bool only = false, case_ = false, same = false, any = false;
  bool last = false, reverse = false, tail = false, match = false;
};
using FindFn = Cell* (*)(Cell* series, const Cell* value, const FindOptions& how);
using SelectFn = FindFn;
using RemoveFn = Cell* (*)(Cell* series, const Cell* part, const Cell* key);
using TakeFn = Cell* (*)(Cell* series, const Cell* part, bool deep, bool last);
using ReflectFn = Cell* (*)(Cell* value, uint32_t field_symbol);
// Path steps: parent, element, value to set (null to get) and the path (null
// outside a path, for errors; see path evaluation).
using EvalPathFn = Cell* (*)(Cell* parent, Cell* element, Cell* value, Cell* path);
// round gets its refinements as one mode (rounding::mode_of) and the /to scale
// (nullptr without it).
using RoundFn = Cell* (*)(Cell* value, const Cell* scale, rounding::Mode mode);
using PredicateFn = bool (*)(const Cell* value);                        // even?, odd?
using InsertFn = Cell* (*)(Cell* series, Cell* value, int32_t part, bool only, int32_t dup,
                           bool append);                              // append, insert
using ChangeFn = Cell* (*)(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
using CopyFn = Cell* (*)(Cell* value, Cell* destination, const Cell* part, bool deep,
                         const Cell* types);
using MoveFn = Cell* (*)(Cell* origin, Cell* target, const Cell* part);
using PickFn = Cell* (*)(Cell* series, int32_t index, Cell* index_cell);
using PokeFn = Cell* (*)(Cell* series, int32_t index, Cell* value, Cell* index_cell);
using PutFn = Cell* (*)(Cell* series, Cell* key, Cell* value, bool case_);
using ReverseFn = Cell* (*)(Cell* series, const Cell* part, const Cell* skip);
// The refinements of sort: argument cells (nullptr when unused), then flags.
struct SortOptions {
  const Cell* skip = nullptr;
  const Cell* compare = nullptr;
  const Cell* part = nullptr;
  bool case_ = false, all = false, reverse = false, stable = false;
};
using SortFn = Cell* (*)(Cell* series, const SortOptions& how);
using TwoCellFn = Cell* (*)(Cell* first, Cell* second);                // swap, rename
// The refinements of trim: flags, then the /with argument (nullptr when unused).
struct TrimOptions {
  bool head = false, tail = false, auto_ = false, lines = false, all = false;
  const Cell* with = nullptr;
};
using TrimFn = Cell* (*)(Cell* series, const TrimOptions& how);
using ModifyFn = Cell* (*)(Cell* target, Cell* field, Cell* value, bool case_);
using OpenFn = Cell* (*)(Cell* port, bool new_, bool read, bool write, bool seek,
                         const Cell* allow);
using ReadFn = Cell* (*)(Cell* source, const Cell* part, const Cell* seek, bool binary,
                         bool lines, bool info, const Cell* as);
using WriteFn = Cell* (*)(Cell* destination, Cell* data, bool binary, bool lines, bool info,
                          bool append, const Cell* part, const Cell* seek, const Cell* allow,
                          const Cell* as);

// The signature of each slot's implementations.
template <int Slot>
constexpr auto slot_signature() {
  constexpr auto among = [](std::initializer_list<int> slots) {
    for (int s : slots)
      if (s == Slot) return true;
    return false;
  };
  if constexpr (among({A_MAKE, A_TO})) return MakeFn{};
  else if constexpr (among({A_RANDOM})) return RandomFn{};
  else if constexpr (among({A_REFLECT})) return ReflectFn{};
  else if constexpr (among({A_FORM})) return FormFn{};
  else if constexpr (among({A_MOLD})) return MoldFn{};
  else if constexpr (among({A_EVAL_PATH, A_SET_PATH})) return EvalPathFn{};
  else if constexpr (among({A_COMPARE})) return CompareFn{};
  else if constexpr (among({A_ROUND})) return RoundFn{};
  else if constexpr (among({A_EVEN_Q, A_ODD_Q})) return PredicateFn{};
  else if constexpr (among({A_NEGATE, A_COMPLEMENT, A_CREATE, A_CLOSE, A_DELETE, A_OPEN_Q,
                             A_QUERY, A_UPDATE}))
    return UnaryFn{};
  else if constexpr (among({A_APPEND, A_INSERT})) return InsertFn{};
  else if constexpr (among({A_CHANGE})) return ChangeFn{};
  else if constexpr (among({A_CLEAR})) return ClearFn{};
  else if constexpr (among({A_COPY})) return CopyFn{};
  else if constexpr (among({A_FIND})) return FindFn{};
  else if constexpr (among({A_LENGTH_Q})) return LengthFn{};
  else if constexpr (among({A_MOVE})) return MoveFn{};
  else if constexpr (among({A_PICK})) return PickFn{};
  else if constexpr (among({A_POKE})) return PokeFn{};
  else if constexpr (among({A_PUT})) return PutFn{};
  else if constexpr (among({A_REMOVE})) return RemoveFn{};
  else if constexpr (among({A_REVERSE})) return ReverseFn{};
  else if constexpr (among({A_SELECT})) return SelectFn{};
  else if constexpr (among({A_SORT})) return SortFn{};
  else if constexpr (among({A_SWAP, A_RENAME})) return TwoCellFn{};
  else if constexpr (among({A_TAKE})) return TakeFn{};
  else if constexpr (among({A_TRIM})) return TrimFn{};
  else if constexpr (among({A_MODIFY})) return ModifyFn{};
  else if constexpr (among({A_OPEN})) return OpenFn{};
  else if constexpr (among({A_READ})) return ReadFn{};
  else if constexpr (among({A_WRITE})) return WriteFn{};
  else return MinimalFn{};   // the math, bitwise and navigation slots read the frame
}
template <int Slot>
using SlotFn = decltype(slot_signature<Slot>());

// A row entry for a slot. Callers cast a slot's implementation back to the slot's
// signature, so one registered with another signature would be called with the
// wrong arguments: taking it as SlotFn<Slot> makes that a build error.
template <int Slot>
ActionEntry slot_entry(SlotFn<Slot> fn) { return {Slot, action_fn(fn)}; }

// Refinements reach implementations as a flag (no argument) or as the address of
// their argument cell, nullptr when the refinement is not used.

template <class F>
F action_as(ActionFn fn) { return reinterpret_cast<F>(fn); }

// Comparison operation codes passed to every compare implementation.
enum CompareOp : int {
  C_EQUAL = 0, C_NOT_EQUAL = 1, C_STRICT_EQUAL = 2, C_LESSER = 3, C_LESSER_EQUAL = 4,
  C_GREATER = 5, C_GREATER_EQUAL = 6, C_SORT = 7, C_CASE_SORT = 8, C_SAME = 9,
  C_WORD_CASE = 10, C_WORD = 11, C_FIND = 12,
};
constexpr int COMPARE_NOT_COMPARABLE = -2;

// Math and set operation codes shared by the math cores and the set natives.
enum MathOp : int {
  OP_ADD = 0, OP_SUBTRACT, OP_MULTIPLY, OP_DIVIDE, OP_REMAINDER, OP_OR, OP_AND, OP_XOR,
  OP_UNIQUE, OP_UNION, OP_INTERSECT, OP_EXCLUDE, OP_DIFFERENCE,
};

}  // namespace zol
