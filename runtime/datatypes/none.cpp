// none!: the value of nothing. Series actions that find nothing answer none, so
// none answers them too (clear, find, remove, select, take give none; length? has
// no length).
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/values.h"

namespace zol {
namespace unset {
int compare_same_type_only(const Cell* a, const Cell* b, int op);
}

namespace none {
namespace {

Cell* make(Cell*, Cell*, int) { return const_cast<Cell*>(&values::none); }

int form(const Cell*, Cell* buffer, const Cell*, int limit) {
  string::concatenate_literal(buffer, "none");
  return limit - 4;
}

int mold(const Cell*, Cell* buffer, const MoldOptions& how, int limit) {
  string::concatenate_literal(buffer, how.all ? "#(none)" : "none");
  return limit - (how.all ? 7 : 4);
}

// The series actions that look for something answer none.
Cell* none_value() { return const_cast<Cell*>(&values::none); }
Cell* clear(Cell*) { return none_value(); }
Cell* find(Cell*, const Cell*, const FindOptions&) { return none_value(); }
Cell* remove(Cell*, const Cell*, const Cell*) { return none_value(); }
Cell* take(Cell*, const Cell*, bool, bool) { return none_value(); }
int32_t no_length(const Cell*) { return -1; }

}  // namespace

void init() {
  datatype::register_type(
      T_NONE, 0, "none!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_TO>(make),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_COMPARE>(unset::compare_same_type_only),
                                   slot_entry<A_CLEAR>(clear),
                                   slot_entry<A_FIND>(find),
                                   slot_entry<A_REMOVE>(remove),
                                   slot_entry<A_SELECT>(find),
                                   slot_entry<A_TAKE>(take),
                                   slot_entry<A_LENGTH_Q>(no_length)}));
}

Cell* push_last() { return stack::set_last(&values::none); }
void make_in(NodeRef block) { *memory::alloc_tail_cell(block) = values::none; }
Cell* push() { return stack::push(&values::none); }

}  // namespace none
}  // namespace zol
