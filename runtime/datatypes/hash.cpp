// hash! (see hash.h): making, converting, copying and molding. The block actions
// keep the table in step with every edit, so the rest is block!'s.
#include "runtime/datatypes/hash.h"

#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/core/values.h"

namespace zol::hash {

Cell* index_block(Cell* out, const Cell* blk) {
  Cell b = *blk;
  int32_t length = int32_t(block::buffer(&b)->length());
  NodeRef table =
      hashtable::init(length < 1 ? 1 : length, series_cell::node(&b), hashtable::K_HASH);
  *out = Cell{T_HASH | (b.header & HEADER_NEW_LINE), b.w1, b.w2, table};
  return out;
}

namespace {

// A copy of the cells; a whole hash! copied from its head keeps a copy of its table,
// anything else is indexed afresh.
Cell* copy(Cell* source, Cell* destination, const Cell* part, bool deep, const Cell* types) {
  Cell from = *source;
  block::copy(&from, destination, part, deep, types);
  bool whole = !part && !deep && !types && series_cell::head(&from) == 0 && from.is(T_HASH);
  if (!whole) return index_block(destination, destination);
  cell::set_type(destination, T_HASH);
  destination->w3 = hashtable::copy(from.w3, series_cell::node(destination));
  return destination;
}

Cell* to(Cell* proto, Cell* spec, int) {
  if (spec->is(T_HASH)) return copy(spec, proto, nullptr, false, nullptr);
  block::to(proto, spec, T_BLOCK);
  return index_block(proto, proto);
}

Cell* make(Cell* proto, Cell* spec, int type) {
  switch (spec->type()) {
    case T_INTEGER: case T_FLOAT:
      block::make_at(proto, block::capacity_of(spec, uint8_t(type)), T_BLOCK);
      return index_block(proto, proto);
    case T_BLOCK: case T_HASH: return copy(spec, proto, nullptr, false, nullptr);
    default: return to(proto, spec, type);
  }
}

int mold(const Cell* hash, Cell* buffer, const MoldOptions& how, int limit) {
  if (!how.only) string::concatenate_literal(buffer, "make hash! ");
  return block::mold(hash, buffer, how, how.only ? limit : limit - 11);
}

}  // namespace

void init() {
  datatype::register_type(T_HASH, T_BLOCK, "hash!",
                          datatype::make_row(INHERIT, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_TO>(to),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_COPY>(copy),
                                                       {A_RANDOM, nullptr}}));
}

}  // namespace zol::hash
