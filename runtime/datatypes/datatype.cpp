// datatype!: values that denote a datatype (word 1 holds the id they denote).
#include <cstring>

#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/values.h"

namespace zol::datatype {
namespace {

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  const TypeInfo& t = info(static_cast<uint8_t>(value->w1));
  const char* name = t.name ? t.name : "?";
  uint32_t len = t.name ? t.name_length : 1;
  string::concatenate_literal_part(buffer, name, len);
  return limit - static_cast<int>(len);
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  const char* name = datatype::name(static_cast<uint8_t>(value->w1));
  if (how.all) string::concatenate_literal(buffer, "#(");
  string::concatenate_literal(buffer, name);
  if (how.all) string::concatenate_literal(buffer, ")");
  return limit - static_cast<int>(std::strlen(name)) - (how.all ? 3 : 0);
}

int compare(const Cell* a, const Cell* b, int op) {
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL: case C_STRICT_EQUAL: case C_SAME: case C_FIND:
      return b->is(T_DATATYPE) && b->w1 == a->w1 ? 0 : 1;
    default:
      return COMPARE_NOT_COMPARABLE;
  }
}

}  // namespace

void init() {
  register_type(T_DATATYPE, 0, "datatype!",
                make_row(nullptr, {slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_COMPARE>(compare)}));
}

void make_in(NodeRef block, uint8_t id) { *memory::alloc_tail_cell(block) = values::of_datatype(id); }

void init_words() {
  for (int id = 1; id <= highest_id(); id++) {
    if (!info(uint8_t(id)).registered) continue;
    Cell name = word::load(info(uint8_t(id)).name);
    set_word_symbol(uint8_t(id), word_cell::symbol(&name));
  }
}

Cell* push(uint8_t id) {
  Cell c = values::of_datatype(id);
  return stack::push(&c);
}

}  // namespace zol::datatype
