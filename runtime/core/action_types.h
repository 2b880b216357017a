// Signatures of the action implementations, one per slot family. The registry
// stores them type-erased (ActionFn); callers that know the slot cast back with
// action_as<Signature>().
#pragma once
#include "runtime/core/cell.h"
#include "runtime/core/datatype.h"

namespace zol {

using MakeFn = Cell* (*)(Cell* proto, Cell* spec, int type);          // make, to
using RandomFn = Cell* (*)(Cell* value, bool seed, bool secure, bool only);
using FormFn = int (*)(const Cell* value, Cell* buffer, const Cell* part_arg, int limit);
using MoldFn = int (*)(const Cell* value, Cell* buffer, bool only, bool all, bool flat,
                       const Cell* part_arg, int limit, int indent);
using CompareFn = int (*)(const Cell* a, const Cell* b, int op);
using UnaryFn = Cell* (*)(Cell* value);                                 // complement ...
using MinimalFn = void (*)();                                           // reads the frame
using LengthFn = int32_t (*)(const Cell* series);                     // -1: no length
using ClearFn = Cell* (*)(Cell* series);
using FindFn = Cell* (*)(Cell* series, const Cell* value, const Cell* part, bool only,
                         bool case_, bool same, bool any, const Cell* with, const Cell* skip,
                         bool last, bool reverse, bool tail, bool match);
using SelectFn = Cell* (*)(Cell* series, const Cell* value, const Cell* part, bool only,
                           bool case_, bool same, bool any, const Cell* with, const Cell* skip,
                           bool last, bool reverse);
using RemoveFn = Cell* (*)(Cell* series, const Cell* part, const Cell* key);
using TakeFn = Cell* (*)(Cell* series, const Cell* part, bool deep, bool last);
using ReflectFn = Cell* (*)(Cell* value, uint32_t field_symbol);
// Path steps: parent, element, value to set (null to get), the path, the
// grandparent, the previous element, the element's position, two reserved cells,
// a last-element flag and an ownership flag (see path evaluation).
using EvalPathFn = Cell* (*)(Cell* parent, Cell* element, Cell* value, Cell* path,
                             Cell* grandparent, Cell* previous, int position,
                             const Cell* reserved1, const Cell* reserved2, bool last,
                             bool owned);
using RoundFn = Cell* (*)(Cell* value, const Cell* scale, bool even, bool down, bool half_down,
                          bool floor, bool ceiling, bool half_ceiling);
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
using SortFn = Cell* (*)(Cell* series, bool case_, const Cell* skip, const Cell* compare,
                         const Cell* part, bool all, bool reverse, bool stable);
using TwoCellFn = Cell* (*)(Cell* first, Cell* second);                // swap, rename
using TrimFn = Cell* (*)(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all,
                         const Cell* with);
using ModifyFn = Cell* (*)(Cell* target, Cell* field, Cell* value, bool case_);
using OpenFn = Cell* (*)(Cell* port, bool new_, bool read, bool write, bool seek,
                         const Cell* allow);
using ReadFn = Cell* (*)(Cell* source, const Cell* part, const Cell* seek, bool binary,
                         bool lines, bool info, const Cell* as);
using WriteFn = Cell* (*)(Cell* destination, Cell* data, bool binary, bool lines, bool info,
                          bool append, const Cell* part, const Cell* seek, const Cell* allow,
                          const Cell* as);

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
