// unset!: the absence of a value. It forms as nothing and compares only with
// itself, and only for equality and sorting.
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/values.h"

namespace zol {

namespace values {
const Cell unset{T_UNSET, 0, 0, 0};
const Cell none{T_NONE, 0, 0, 0};
const Cell true_value{T_LOGIC, 1, 0, 0};
const Cell false_value{T_LOGIC, 0, 0, 0};
}  // namespace values

namespace unset {
namespace {

Cell* make(Cell*, Cell*, int) { return const_cast<Cell*>(&values::unset); }
int form(const Cell*, Cell*, const Cell*, int limit) { return limit; }

int mold(const Cell*, Cell* buffer, const MoldOptions& how, int limit) {
  string::concatenate_literal(buffer, how.all ? "#(unset)" : "unset");
  return limit - (how.all ? 8 : 5);
}

}  // namespace

// Shared by unset! and none!: equal to a value of the same type under the
// equality and sort codes, not comparable otherwise.
int compare_same_type_only(const Cell* a, const Cell* b, int op) {
  if (b->type() != a->type()) return COMPARE_NOT_COMPARABLE;
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL: case C_STRICT_EQUAL: case C_SORT: case C_CASE_SORT:
    case C_SAME: case C_FIND:
      return 0;
    default:
      return COMPARE_NOT_COMPARABLE;
  }
}

void init() {
  datatype::register_type(
      T_UNSET, 0, "unset!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_TO>(make),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_COMPARE>(compare_same_type_only)}));
}

Cell* push_last() { return stack::set_last(&values::unset); }
void make_in(NodeRef block) { *memory::alloc_tail_cell(block) = values::unset; }
Cell* push() { return stack::push(&values::unset); }

}  // namespace unset
}  // namespace zol
