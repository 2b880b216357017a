// The path family and paren! (see path.h): their making, conversion and text.
// Everything else they do is block!'s.
#include "runtime/datatypes/path.h"

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/text/mold.h"
#include "runtime/core/values.h"

namespace zol::path {
namespace {

Cell* make(Cell* proto, Cell* spec, int type) {
  uint8_t t = uint8_t(type);
  Cell made;
  switch (spec->type()) {
    case T_INTEGER: case T_FLOAT: case T_PERCENT:
      block::make_at(&made, block::capacity_of(spec, t), t);
      break;
    default:
      if (!block::is_any_block(spec->type())) {
        Cell target = values::of_datatype(t);
        fire(err::script::BAD_MAKE_ARG, &target, spec);
      }
      block::to(&made, spec, t);
  }
  *proto = made;
  return proto;
}

Cell* to(Cell* proto, Cell* spec, int type) {
  uint8_t t = uint8_t(type);
  Cell made;
  if (spec->is(T_MAP) || spec->is(T_OBJECT) || spec->is(T_TYPESET)) {
    block::make_at(&made, 1, t);
    block::append(&made, spec);
  } else {
    block::to(&made, spec, t);
  }
  *proto = made;
  return proto;
}

// The elements from the head, formed or molded (when `molded` is given), joined by "/".
int write_elements(const Cell* path, Cell* buffer, const Cell* part_arg, int limit,
                   const MoldOptions* molded) {
  if (cycles::detect(path, buffer, &limit, molded != nullptr)) return limit;
  Cell source = *path;
  cycles::push(source.w2);
  int32_t head = series_cell::head(&source);
  for (int32_t i = 0; i < block::length(&source); i++) {
    if (part_arg && limit <= 0) break;
    if (i > 0) limit = string::append_text(buffer, "/", limit);
    Cell v = *block::cell_at(&source, head + i);
    limit = molded ? actions::mold_typed(&v, buffer, molded->element(), limit)
                   : actions::form_typed(&v, buffer, part_arg, limit);
  }
  cycles::pop();
  return limit;
}

int form(const Cell* path, Cell* buffer, const Cell* part_arg, int limit) {
  return write_elements(path, buffer, part_arg, limit, nullptr);
}

// What each path type writes around its elements.
struct Decoration {
  uint8_t type;
  const char* before;
  const char* after;
};
constexpr Decoration DECORATIONS[] = {
    {T_PATH, "", ""}, {T_LIT_PATH, "'", ""}, {T_SET_PATH, "", ":"}, {T_GET_PATH, ":", ""},
};

const Decoration& decoration_of(uint8_t type) {
  for (const Decoration& d : DECORATIONS)
    if (d.type == type) return d;
  return DECORATIONS[0];
}

int mold(const Cell* path, Cell* buffer, const MoldOptions& how, int limit) {
  const Decoration& d = decoration_of(path->type());
  limit = string::append_text(buffer, d.before, limit);
  limit = write_elements(path, buffer, how.part, limit, &how);
  return string::append_text(buffer, d.after, limit);
}

}  // namespace

Cell* push(Cell* cell, uint8_t type) {
  cell::set_type(cell, type);
  return stack::push(cell);
}

Cell* make_at(Cell* cell, int32_t size) { return block::make_at(cell, size, T_PATH); }

void init() {
  using datatype::make_row;
  datatype::register_type(T_PATH, T_BLOCK, "path!",
                          make_row(INHERIT, {slot_entry<A_MAKE>(make),
                                             slot_entry<A_TO>(to),
                                             slot_entry<A_FORM>(form),
                                             slot_entry<A_MOLD>(mold),
                                             slot_entry<A_COPY>(block::copy),
                                             {A_RANDOM, nullptr},
                                             {A_SORT, nullptr},
                                             {A_TRIM, nullptr}}));
  const datatype::ActionRow decorated = make_row(INHERIT, {slot_entry<A_MOLD>(mold)});
  datatype::register_type(T_LIT_PATH, T_PATH, "lit-path!", decorated);
  datatype::register_type(T_SET_PATH, T_PATH, "set-path!", decorated);
  datatype::register_type(T_GET_PATH, T_PATH, "get-path!", decorated);
}

}  // namespace zol::path

namespace zol::paren {
namespace {

int mold(const Cell* paren, Cell* buffer, const MoldOptions& how, int limit) {
  return block::mold_between(paren, buffer, "(", ")", how, limit);
}

}  // namespace

void init() {
  datatype::register_type(T_PAREN, T_BLOCK, "paren!",
                          datatype::make_row(INHERIT, {slot_entry<A_MOLD>(mold)}));
}

}  // namespace zol::paren
