// native!, action! and op! (see native.h): making, reflection and text.
#include "runtime/datatypes/native.h"

#include <string>

#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"

namespace zol::native {
namespace {

bool is_symbol(const Cell* c, uint32_t known) {
  return symbol::resolve(word_cell::symbol(c)) == symbol::resolve(known);
}

int32_t table_size(uint8_t type) { return type == T_NATIVE ? TABLE_SIZE : ACTION_SLOTS; }

// The refinements of a spec, up to /local.
int32_t refinement_count(const Cell* spec) {
  int32_t n = 0;
  SeriesBuffer* b = block::buffer(spec);
  for (int32_t i = series_cell::head(spec); i < int32_t(b->length()); i++) {
    const Cell* c = b->cells() + i;
    if (!c->is(T_REFINEMENT)) continue;
    if (is_symbol(c, words::local)) break;
    n++;
  }
  return n;
}

// make native! [spec index] and make action! [spec index].
Cell* make_callable(Cell* proto, Cell* spec, int type) {
  auto refuse = [&] {
    Cell make_word = context::add_global(words::make);
    Cell kind = values::of_datatype(uint8_t(type));
    fire(err::script::EXPECT_ARG, &make_word, &kind, spec);
  };
  if (!spec->is(T_BLOCK) || block::length(spec) != 2) refuse();
  Cell s = *spec;
  Cell fn_spec = *block::cell_at(&s, series_cell::head(&s));
  Cell index = *block::cell_at(&s, series_cell::head(&s) + 1);
  if (!fn_spec.is(T_BLOCK) || !index.is(T_INTEGER) || cell::get_int(&index) < 1 ||
      cell::get_int(&index) > table_size(uint8_t(type)) ||
      refinement_count(&fn_spec) > MAX_REFINEMENTS)
    refuse();
  *proto = make(uint8_t(type), &fn_spec, cell::get_int(&index));
  return proto;
}

template <const char* Text>
int form_as(const Cell*, Cell* buffer, const Cell*, int limit) {
  return string::append_text(buffer, Text, limit);
}
constexpr char NATIVE_TEXT[] = "?native?";
constexpr char ACTION_TEXT[] = "?action?";
constexpr char OP_TEXT[] = "?op?";

int mold_spec(const Cell* c, Cell* buffer, const MoldOptions& how, int limit) {
  Cell spec = function::spec_of(c);
  return block::mold(&spec, buffer, how.element(), limit);
}

int mold_native(const Cell* c, Cell* buffer, const MoldOptions& how, int limit) {
  limit = string::append_text(buffer, c->is(T_NATIVE) ? "make native! [" : "make action! [", limit);
  limit = mold_spec(c, buffer, how, limit);
  return string::append_text(buffer, "]", limit);
}

int mold_op(const Cell* c, Cell* buffer, const MoldOptions& how, int limit) {
  bool from_function = op_kind(c) == T_FUNCTION;
  limit = string::append_text(buffer, "make op! ", limit);
  limit = string::append_text(buffer, from_function ? "func " : "[", limit);
  limit = mold_spec(c, buffer, how, limit);
  if (!from_function) return string::append_text(buffer, "]", limit);
  Cell body = *function::more(c, function::MORE_BODY);
  if (!body.is(T_BLOCK)) return limit;
  limit = string::append_text(buffer, " ", limit);
  return block::mold(&body, buffer, how.element(), limit);
}

Cell* make_op(Cell* proto, Cell* value, int) {
  uint8_t kind = value->type();
  if (kind != T_NATIVE && kind != T_ACTION && kind != T_FUNCTION && kind != T_ROUTINE) {
    Cell t = values::of_datatype(kind);
    fire(err::script::INVALID_TYPE, &t);
  }
  Cell spec = function::spec_of(value);
  if (!op_spec_ok(&spec)) fire(err::script::BAD_OP_SPEC);
  Cell op = *value;
  op.header = T_OP | uint32_t(kind) << OP_KIND_SHIFT;
  set_op_operation(&op);
  if (kind == T_FUNCTION || kind == T_ROUTINE) *function::more(value, function::MORE_SOURCE) = *value;
  *proto = op;
  return proto;
}

}  // namespace

void init() {
  using datatype::make_row;
  datatype::register_type(T_NATIVE, 0, "native!",
                          make_row(nullptr, {slot_entry<A_MAKE>(make_callable),
                                             slot_entry<A_REFLECT>(function::reflect),
                                             slot_entry<A_FORM>(form_as<NATIVE_TEXT>),
                                             slot_entry<A_MOLD>(mold_native),
                                             slot_entry<A_COMPARE>(function::compare_callables)}));
  datatype::register_type(T_ACTION, T_NATIVE, "action!",
                          make_row(INHERIT, {slot_entry<A_FORM>(form_as<ACTION_TEXT>)}));
  datatype::register_type(T_OP, T_NATIVE, "op!",
                          make_row(INHERIT, {slot_entry<A_MAKE>(make_op),
                                             slot_entry<A_FORM>(form_as<OP_TEXT>),
                                             slot_entry<A_MOLD>(mold_op)}));
}

Cell make(uint8_t type, const Cell* spec_in, int32_t index) {
  Cell spec = *spec_in;
  NodeRef more = memory::alloc_unset_cells(2);
  memory::buffer_of(more)->tail = 2 * sizeof(Cell);
  NodeRef ctx = context::make_from_spec(&spec, false, false, 0, 0);
  SeriesBuffer* b = memory::buffer_of(more);
  b->cells()[0] = *context::record_of(ctx);
  b->cells()[1] = values::none;
  return Cell{type, uint32_t(index - 1), series_cell::node(&spec), more};
}

uint32_t (*operation_of)(uint8_t kind, uint32_t index) = nullptr;

void set_op_operation(Cell* op) {
  uint32_t operation = operation_of ? operation_of(op_kind(op), op->w1) : NO_OPERATION;
  op->header = (op->header & ~(NO_OPERATION << OP_OPERATION_SHIFT)) |
               operation << OP_OPERATION_SHIFT;
}

bool op_spec_ok(const Cell* spec) {
  int args = 0;
  SeriesBuffer* b = block::buffer(spec);
  for (int32_t i = series_cell::head(spec); i < int32_t(b->length()); i++) {
    const Cell* c = b->cells() + i;
    if (c->is(T_WORD)) {
      args++;
    } else if (c->is(T_LIT_WORD) || c->is(T_GET_WORD)) {
      if (args == 0) return false;
      args++;
    } else if (c->is(T_REFINEMENT)) {
      if (is_symbol(c, words::local) || is_symbol(c, words::extern_)) break;
      return false;
    }
  }
  return args == 2;
}

}  // namespace zol::native
