// What the interpreter's files share: the code being evaluated, one expression,
// calling a callable with the arguments gathered from the code, and paths.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace zol::interpreter {

// The block being evaluated. Positions are 0-based indexes into the buffer (the
// block's head is one); the buffer is read again at every step, since the code may
// change (and move) the block it runs. The cells are read from `node`, which is the
// block's own node except in lone_expression: a code that ends early reads another
// buffer rather than testing a bound at every reading.
// Reading code keeps the block's link (runtime/memory/memory.h), so every access
// here is const: evaluating a block never counts as changing it.
struct Code {
  Cell block;   // what events and the code near errors name
  NodeRef node;

  const SeriesBuffer* buffer() const { return memory::buffer_of(node); }
  const Cell* at(int32_t i) const { return buffer()->cells() + i; }
  // The length as read from a buffer just looked up (b is buffer()).
  int32_t length_in(const SeriesBuffer* b) const { return int32_t(b->cell_count()); }
  int32_t length() const { return length_in(buffer()); }
  // The cell at i, or null at or past the end: one reading of the buffer.
  const Cell* peek(int32_t i) const {
    const SeriesBuffer* b = buffer();
    return i < length_in(b) ? b->cells() + i : nullptr;
  }
};

Code code_of(const Cell* block);

// The code near errors: the innermost expression being evaluated. Each evaluation
// that walks a block records where it stands and gives the place back when it ends,
// however it ends, so the code named here always belongs to a running evaluation.
struct Near {
  const Code* code = nullptr;
  int32_t pos = 0;
};

// A block that a loop runs again and again in its own frame, each run as
// run_block would run it. What a run derives from the block cell and the frame
// (the code, its first position, the result slot, the code near errors to give
// back) is the same for every run of the loop, so it is derived once here. Made
// in the loop's frame, after the frame is opened.
class LoopBlock {
 public:
  explicit LoopBlock(const Cell& block);
  void run();
  // The same for a condition (while's): an expression whose first value is plain
  // (a literal, or a word holding no callable) is pushed here and its operators
  // applied, without a step of its own. Conditions mostly start so (`i < n`);
  // for other blocks the test costs more than it saves.
  void test();

 private:
  template <bool TAKE_PLAIN, bool TAKE_SET>
  void run_as();

  Code code_;
  int32_t start_;
  Cell* first_;
  Near outside_;   // the code near errors between runs
};

// One expression at pos, its value pushed; answers the position after it. With
// prefix no infix operator is applied after the value.
// expression_at takes the cell at pos as the caller just read it (Code::peek),
// which saves a second reading of the buffer: it is copied before any code runs.
// expression_step answers the cell at the position after the expression too, as
// its last reading of the code found it (null at the end), when prefix is false
// and no exit is pending: a block run takes it as its next expression's cell,
// since no code runs between that reading and the return.
struct Step {
  int32_t pos;
  const Cell* next;
};
Step expression_step(const Code& code, int32_t pos, const Cell* at, bool prefix);
inline int32_t expression_at(const Code& code, int32_t pos, const Cell* at, bool prefix) {
  return expression_step(code, pos, at, prefix).pos;
}
inline int32_t expression(const Code& code, int32_t pos, bool prefix) {
  return expression_at(code, pos, code.at(pos), prefix);
}
// The value at pos alone, as one prefix expression with nothing after it: a
// callable there finds no arguments and a set-word no value, as at the block's
// tail, while events still name the block and pos. (apply/safer's arguments.)
int32_t lone_expression(const Code& code, int32_t pos);

// A native or action whose two arguments are in place at `arguments`: when it is a
// plain math operation or comparison of numbers, its result is computed straight
// into arguments[0] (as the action would) and the answer is true.
bool short_cut(const Cell& callable, Cell* arguments);

// A path whose elements from `next` on are refinements of the callable it reached.
struct PathRefinements {
  const Cell* path;
  int32_t next;   // index of the first refinement element (absolute)
};

// How the arguments are gathered. Ordinary calls take them from the code that
// follows. A call driven by an argument block (apply) sets BLOCK: arguments missing
// at the block's end are none, and the refinements come from the path, or else from
// the block: with IN_ORDER every refinement of the spec in turn takes a logic! from
// the block (its arguments follow, taken and dropped when it is off); without it,
// refinement! values after the fixed arguments, each followed by its truth and then
// its arguments. SINGLE makes every argument exactly one value of the block.
enum Gathering : int {
  GATHER_CODE = 0,
  GATHER_BLOCK = 1,
  GATHER_IN_ORDER = 2,
  GATHER_SINGLE = 4,
};

// Calls a callable: its arguments come from the code at pos (an infix call finds
// its left operand on the top of the stack). The result replaces the callable's
// pushed cell (the left operand for an infix call). Answers the position after the
// arguments.
int32_t eval_code(const Cell& callable, const Code& code, int32_t pos, const Cell* name,
                  const PathRefinements* refinements, bool infix, int gathering = GATHER_CODE);

// Gathers the arguments of a callable into the current frame (opened by eval_code)
// and, for natives and actions, calls them; answers the position after them.
int32_t fetch_arguments(const Cell& callable, const Code& code, int32_t pos, const Cell* name,
                        const PathRefinements* refinements, bool infix, int gathering);
// The same for the commonest call: prefix, named by a word of the code, no path
// refinements, arguments from the code.
int32_t gather_prefix(const Cell& callable, const Code& code, int32_t pos, const Cell* name);
// The same for an infix call: the left operand is the frame's first argument, in
// place; no path refinements, arguments from the code.
int32_t gather_infix(const Cell& callable, const Code& code, int32_t pos, const Cell* name);
// The rest of a prefix call of plain spec whose first argument the caller has
// evaluated onto the stack top: its type is checked, the other arguments come from
// the code at pos, then the native is called as gather_prefix calls it.
int32_t gather_prefix_after_first(const Cell& callable, const Code& code, int32_t pos,
                                  const Cell* name);
// The datatypes the first argument of a callable of plain spec allows, a bit each
// (bit n for the datatype of id n).
uint64_t first_argument_types(const Cell& callable);

// Evaluates a path, pushing its value (set: assigns `value` to its last element and
// pushes the value); answers the position after what it consumed.
int32_t eval_path(const Cell& path, const Code& code, int32_t pos, bool set, bool get,
                  const Cell* value);

// The value slot of a word, raising no-value / not-in-context as context::get does.
Cell* word_value(const Cell* word);

// A word naming frames that are no calls of a named function.
Cell body_word();
Cell anon_word();

constexpr bool is_callable(uint8_t type) {
  constexpr uint64_t CALLABLE = 1ull << T_NATIVE | 1ull << T_ACTION | 1ull << T_FUNCTION |
                                1ull << T_ROUTINE;
  return type <= T_LAST && (CALLABLE >> type & 1);
}

}  // namespace zol::interpreter
