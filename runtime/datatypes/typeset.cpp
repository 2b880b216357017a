// typeset!: making, combining, testing and molding sets of datatypes (see
// typeset.h for the bit layout).
#include "runtime/datatypes/typeset.h"

#include <cstddef>

#include "runtime/base/system.h"
#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"

namespace zol::typeset {
namespace {

constexpr uint32_t UNSET_BIT_IN_W1 = 0x20u;   // id 2: bit 0x20 of byte 0, the low byte of word 1

uint8_t* bytes(Cell* c) { return reinterpret_cast<uint8_t*>(c) + offsetof(Cell, w1); }
const uint8_t* bytes(const Cell* c) { return reinterpret_cast<const uint8_t*>(c) + offsetof(Cell, w1); }
uint8_t bit_of(int id) { return static_cast<uint8_t>(0x80u >> (id & 7)); }

void set_bit(Cell* c, int id) { bytes(c)[id >> 3] |= bit_of(id); }

[[noreturn]] void invalid_arg(const Cell* value) {
  fire(err::script::INVALID_ARG, value);
}

Cell* logic_constant(bool v) {
  return const_cast<Cell*>(v ? &values::true_value : &values::false_value);
}

Cell* make(Cell* proto, Cell* spec, int) {
  if (spec->is(T_TYPESET)) return spec;
  if (!spec->is(T_BLOCK)) {
    Cell type = values::of_datatype(T_TYPESET);
    fire(err::script::BAD_TO_ARG, &type, spec);
  }
  Cell result;
  clear(&result);
  SeriesBuffer* b = memory::buffer_of(series_cell::node(spec));
  for (Cell* v = b->cells() + series_cell::head(spec); v < b->cell_tail(); v++)
    add_type(&result, v);
  return cell::copy(&result, proto);
}

// Appends the names of the set's types, each followed by a space, while the part
// budget (when one is in force) lasts. Answers the budget and whether any name was
// written.
int write_names(const Cell* value, Cell* buffer, bool part, int limit, bool* wrote) {
  for (int id = 1; id <= datatype::highest_id(); id++) {
    if (!has(value, id)) continue;
    if (part && limit < 0) return limit;
    string::concatenate_literal(buffer, datatype::name(static_cast<uint8_t>(id)));
    string::concatenate_literal(buffer, " ");
    limit -= static_cast<int>(datatype::info(static_cast<uint8_t>(id)).name_length) + 2;
    *wrote = true;
  }
  return limit;
}

// Replaces the last character of a string (or drops it when `replacement` is 0).
void replace_last_char(Cell* buffer, uint32_t replacement) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(buffer));
  b->tail -= b->unit();
  if (replacement) b = string::append_char(b, replacement);
}

int write_text(const Cell* value, Cell* buffer, bool only, bool part, int limit) {
  if (!only) {
    string::concatenate_literal(buffer, "make typeset! [");
    limit -= 15;
  }
  bool wrote = false;
  limit = write_names(value, buffer, part, limit, &wrote);
  if (part && limit < 0) return limit;
  if (only) {
    if (wrote) {
      replace_last_char(buffer, 0);
      limit++;
    }
  } else if (wrote) {
    replace_last_char(buffer, ']');
  } else {
    string::concatenate_literal(buffer, "]");
  }
  return limit;
}

int form(const Cell* value, Cell* buffer, const Cell* part, int limit) {
  return write_text(value, buffer, false, part != nullptr, limit);
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return write_text(value, buffer, how.only, how.part != nullptr, limit);
}

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_TYPESET)) return COMPARE_NOT_COMPARABLE;
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL: case C_STRICT_EQUAL: case C_SAME: case C_FIND:
      return a->w1 == b->w1 && a->w2 == b->w2 && a->w3 == b->w3 ? 0 : 1;
    case C_SORT: case C_CASE_SORT: {
      int ca = count(a), cb = count(b);
      return (ca > cb) - (ca < cb);
    }
    default:
      return COMPARE_NOT_COMPARABLE;
  }
}

Cell* complement(Cell* value) {
  Cell* copy = push(value);
  copy->w1 = ~copy->w1;
  copy->w2 = ~copy->w2;
  copy->w3 = ~copy->w3;
  return copy;
}

Cell* find(Cell* typeset, const Cell* value, const FindOptions&) {
  if (!value->is(T_DATATYPE)) invalid_arg(value);
  return logic_constant(has(typeset, static_cast<int>(value->w1)));
}

template <int Op>
void bitwise() { do_bitwise(Op); }

}  // namespace

Cell* make_at(Cell* slot, uint32_t w1, uint32_t w2, uint32_t w3) {
  return cell::set(slot, T_TYPESET, w1, w2, w3);
}

Cell* make_all(Cell* slot) {
  return make_at(slot, ~UNSET_BIT_IN_W1, 0xFFFFFFFFu, 0xFFFFFFFFu);
}

Cell* clear(Cell* typeset) { return make_at(typeset, 0, 0, 0); }
Cell* push(const Cell* typeset) { return stack::push(typeset); }

bool has(const Cell* typeset, int id) {
  return id >= 0 && id < BITS && (bytes(typeset)[id >> 3] & bit_of(id)) != 0;
}

void add_type(Cell* typeset, const Cell* value) {
  // A word stands for the type or typeset it holds, as in a spec's type block.
  if (value->is(T_WORD)) {
    const Cell* held = context::get(value);
    if (held->is(T_UNSET)) fire(err::script::NO_VALUE, value);
    value = held;
  }
  switch (value->type()) {
    case T_DATATYPE:
      if (value->w1 < BITS) set_bit(typeset, static_cast<int>(value->w1));
      return;
    case T_TYPESET:
      typeset->w1 |= value->w1;
      typeset->w2 |= value->w2;
      typeset->w3 |= value->w3;
      return;
    default:
      invalid_arg(value);
  }
}

Cell* to_block(const Cell* typeset, Cell* slot) {
  Cell set = *typeset;
  NodeRef block = memory::alloc_cells(4);
  for (int id = 1; id <= datatype::highest_id(); id++)
    if (has(&set, id)) *memory::alloc_tail_cell(block) = values::of_datatype(static_cast<uint8_t>(id));
  return cell::set(slot, T_BLOCK, 0, block, 0);
}

int count(const Cell* typeset) {
  int n = 0;
  for (int id = 1; id <= datatype::highest_id(); id++) n += has(typeset, id);
  return n;
}

void do_bitwise(int op) {
  Cell* a = stack::arg(0);
  Cell b = *stack::arg(1);
  if (b.is(T_DATATYPE)) {
    Cell one;
    add_type(clear(&one), &b);
    b = one;
  } else if (!b.is(T_TYPESET)) {
    invalid_arg(&b);
  }
  uint32_t (*combine)(uint32_t, uint32_t);
  switch (op) {
    case OP_UNIQUE: return;
    case OP_OR: case OP_UNION: combine = [](uint32_t x, uint32_t y) { return x | y; }; break;
    case OP_AND: case OP_INTERSECT: combine = [](uint32_t x, uint32_t y) { return x & y; }; break;
    case OP_XOR: case OP_DIFFERENCE: combine = [](uint32_t x, uint32_t y) { return x ^ y; }; break;
    case OP_EXCLUDE: combine = [](uint32_t x, uint32_t y) { return x & ~y; }; break;
    default:
      system::runtime_error(system::FATAL_NO_SWITCH, reinterpret_cast<uintptr_t>(&do_bitwise));
  }
  make_at(a, combine(a->w1, b.w1), combine(a->w2, b.w2), combine(a->w3, b.w3));
}

const Cell* type_check(const Cell* typeset, const Cell* value, int argument) {
  if (!has(typeset, value->type())) actions::fire_expect_arg(value->type(), argument);
  return value;
}

void type_check_arg(const Cell* typeset, int offset) {
  if (offset >= 0) type_check(typeset, stack::arg(offset), offset);
}

void init() {
  datatype::register_type(T_TYPESET, 0, "typeset!",
                          datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_TO>(make),
                                                       slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_COMPARE>(compare),
                                                       slot_entry<A_AND_T>(bitwise<OP_AND>),
                                                       slot_entry<A_COMPLEMENT>(complement),
                                                       slot_entry<A_OR_T>(bitwise<OP_OR>),
                                                       slot_entry<A_XOR_T>(bitwise<OP_XOR>),
                                                       slot_entry<A_FIND>(find)}));
}

}  // namespace zol::typeset
