// The set natives (union, intersect, unique, difference, exclude): one worker that
// checks the two sets are of one class and hands the frame to the engine of their
// type: blocks and hashes, strings, bitsets, typesets, or dates (the days between
// two dates).
#include "interpreter/natives/natives.h"
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/typeset.h"

namespace zol::natives {
namespace {

bool is_block_class(const Cell* v) { return v->is(T_BLOCK) || v->is(T_HASH); }

void check_same_class(const Cell* first, const Cell* second) {
  bool same = is_block_class(first) ? is_block_class(second) : second->type() == first->type();
  if (!same) {
    Cell expected = values::of_datatype(first->type());
    Cell given = values::of_datatype(second->type());
    fire(err::script::EXPECT_VAL, &given, &expected);
  }
}

void set_operation(int op, int case_, int skip) {
  Cell* first = stack::arg(0);
  if (op != OP_UNIQUE) check_same_class(first, stack::arg(1));
  const Cell* skip_size = skip >= 0 ? stack::arg(skip) : nullptr;
  if (is_block_class(first)) return block::do_set_op(case_ >= 0, skip_size, op);
  if (first->is(T_STRING)) return string::do_set_op(case_ >= 0, skip_size, op);
  if (first->is(T_BITSET)) return bitset::do_set_op(op);
  if (first->is(T_DATE)) {
    date::difference(first, stack::arg(1));
    return;
  }
  if (first->is(T_TYPESET)) return typeset::do_bitwise(op);
  actions::fire_expect_arg(first->type());
}

}  // namespace

void union_(int, int case_, int skip) { set_operation(OP_UNION, case_, skip); }
void intersect(int, int case_, int skip) { set_operation(OP_INTERSECT, case_, skip); }
void unique(int, int case_, int skip) { set_operation(OP_UNIQUE, case_, skip); }
void difference(int, int case_, int skip) { set_operation(OP_DIFFERENCE, case_, skip); }
void exclude(int, int case_, int skip) { set_operation(OP_EXCLUDE, case_, skip); }

}  // namespace zol::natives
