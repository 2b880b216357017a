// bitset! (see bitset.h for the layout): making bitsets from specs, their text,
// comparison, the bitwise actions and the series-like actions that test, set and
// clear bits.
//
// One walker reads every spec (a char!, integer!, float!, string! or block!, where
// `lo - hi` is a range) in one of four modes: finding the highest index named,
// setting, clearing, or testing that every index is a member.
#include "runtime/datatypes/bitset.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"

namespace zol::bitset {

namespace {

using series::buffer;
uint32_t byte_length(const Cell* bits) { return buffer(bits)->used_bytes(); }
uint8_t fill_of(bool complement) { return complement ? 0xFF : 0x00; }

// Makes `cell` a bitset! of `bytes` bytes, every one `fill`.
Cell* make_filled(Cell* cell, uint32_t bytes, bool complement) {
  NodeRef node = memory::alloc_bytes_filled(std::max<uint32_t>(bytes, 1), fill_of(complement));
  SeriesBuffer* b = memory::buffer_of(node);
  b->tail = b->offset + bytes;
  if (complement) memory::set_series_flag(node, FLAG_COMPLEMENTED);
  *cell = Cell{T_BITSET, 0, node, 0};
  return cell;
}

// Grows the buffer to hold bit `index`, filling new bytes as the flag says.
SeriesBuffer* reach(const Cell* bits, uint32_t index) {
  SeriesBuffer* b = buffer(bits);
  uint32_t needed = (index >> 3) + 1;
  if (needed <= b->used_bytes()) return b;
  uint8_t fill = fill_of(complemented(bits));
  if (b->offset + needed > b->size)
    b = memory::expand_series(b, std::max<int64_t>(int64_t(b->size) * 2, b->offset + needed));
  std::memset(b->tail_ptr(), fill, b->offset + needed - b->tail);
  b->tail = b->offset + needed;
  return b;
}

void put_bit(const Cell* bits, uint32_t index, bool member) {
  SeriesBuffer* b = reach(bits, index);
  uint8_t mask = uint8_t(128 >> (index & 7));
  uint8_t& byte = b->head()[index >> 3];
  byte = member ? byte | mask : byte & ~mask;
}

// --- the spec walker --------------------------------------------------------------------------

enum Mode { SIZE, SET, TEST, CLEAR };

struct Walk {
  Mode mode;
  Cell* bits;          // null when sizing
  int64_t highest = -1;
};

// Visits one index; false when testing finds it missing.
bool visit(Walk& w, int64_t index, const Cell* named) {
  if (index < 0) {
    if (w.mode == TEST) return false;
    fire(err::script::OUT_OF_RANGE, named);
  }
  if (index > MAX_BIT) fire(err::script::OUT_OF_RANGE, named);
  w.highest = std::max(w.highest, index);
  switch (w.mode) {
    case SIZE: return true;
    case SET: put_bit(w.bits, uint32_t(index), true); return true;
    case CLEAR: put_bit(w.bits, uint32_t(index), false); return true;
    case TEST: return has(w.bits, uint32_t(index));
  }
  return true;
}

bool is_index(const Cell* v) { return v->is(T_CHAR) || v->is(T_INTEGER) || v->is(T_FLOAT); }

int64_t index_of(const Cell* v) {
  if (v->is(T_CHAR)) return v->w2;
  if (v->is(T_INTEGER)) return cell::get_int(v);
  double d = cell::get_double(v);
  return d < 0 ? -1 : d > double(MAX_BIT) + 2 ? MAX_BIT + 2 : int64_t(d);   // any too large
}

bool is_dash(const Cell* v) {
  if (!v->is(T_WORD)) return false;
  string::Text t = string::view(v);
  return t.length == 1 && t[0] == '-';
}

bool walk(Walk& w, const Cell* spec);

// lo - hi: both of one type, hi not below lo.
bool walk_range(Walk& w, const Cell* lo, const Cell* hi) {
  if (hi->type() != lo->type()) fire(err::script::INVALID_ARG, hi);
  int64_t from = index_of(lo), to = index_of(hi);
  if (to < from) fire(err::script::OUT_OF_RANGE, hi);
  if (!visit(w, to, hi)) return false;
  for (int64_t i = from; i < to; i++)
    if (!visit(w, i, lo)) return false;
  return true;
}

bool walk_block(Walk& w, const Cell* blk) {
  int32_t n = block::length(blk), head = series::head_index(blk);
  for (int32_t i = 0; i < n; i++) {
    Cell element = *block::cell_at(blk, head + i);
    bool ranged = (element.is(T_CHAR) || element.is(T_INTEGER)) && i + 2 < n &&
                  is_dash(block::cell_at(blk, head + i + 1));
    if (ranged) {
      Cell hi = *block::cell_at(blk, head + i + 2);
      if (!walk_range(w, &element, &hi)) return false;
      i += 2;
    } else if (!walk(w, &element)) {
      return false;
    }
  }
  return true;
}

bool walk_text(Walk& w, const Cell* text) {
  string::Text t = string::view(text);
  for (int32_t i = 0; i < t.length; i++)
    if (!visit(w, t[i], text)) return false;
  return true;
}

bool walk(Walk& w, const Cell* spec) {
  if (is_index(spec)) return visit(w, index_of(spec), spec);
  if (spec->is(T_BLOCK)) return walk_block(w, spec);
  if (series::is_any_string(spec->type())) return walk_text(w, spec);
  fire(err::script::INVALID_ARG, spec);
}

// Sets or clears the bits a spec names.
void apply(Cell* bits, const Cell* spec, Mode mode) {
  Walk w{mode, bits};
  walk(w, spec);
}

bool contains(Cell* bits, const Cell* spec) {
  Walk w{TEST, bits};
  return walk(w, spec);
}

// --- make and to ------------------------------------------------------------------------------

bool headed_by_not(const Cell* spec) {
  if (!spec->is(T_BLOCK) || block::length(spec) == 0) return false;
  const Cell* first = block::cell_at(spec, series::head_index(spec));
  if (!first->is(T_WORD)) return false;
  string::Text t = string::view(first);
  return t.length == 3 && t[0] == 'n' && t[1] == 'o' && t[2] == 't';
}

Cell* from_bytes(Cell* out, const Cell* bin, bool complement) {
  std::string bytes(reinterpret_cast<const char*>(binary::head_bytes(bin)),
                    size_t(binary::length(bin)));
  make_filled(out, uint32_t(bytes.size()), complement);
  uint8_t* at = buffer(out)->head();
  for (size_t i = 0; i < bytes.size(); i++)
    at[i] = complement ? uint8_t(~uint8_t(bytes[i])) : uint8_t(bytes[i]);
  return out;
}

Cell* from_spec(Cell* out, const Cell* spec, bool complement) {
  Walk size{SIZE, nullptr};
  walk(size, spec);
  make_filled(out, uint32_t((size.highest + 8) >> 3), complement);
  apply(out, spec, complement ? CLEAR : SET);   // [not ...] leaves the spec's bits out
  return out;
}

Cell made_from(const Cell* spec, bool may_size) {
  Cell made;
  if (spec->is(T_BITSET)) {
    made = *spec;
    made.w2 = memory::copy_series(buffer(spec));
    return made;
  }
  if (spec->is(T_BINARY)) return *from_bytes(&made, spec, false);
  if (spec->is(T_INTEGER) || spec->is(T_FLOAT)) {
    if (!may_size) {
      Cell target = values::of_datatype(T_BITSET);
      fire(err::script::BAD_TO_ARG, &target, spec);
    }
    int64_t bits = index_of(spec);
    if (bits < 0 || bits > MAX_BIT + 1) fire(err::script::OUT_OF_RANGE, spec);
    return *make_filled(&made, uint32_t((bits + 7) >> 3), false);
  }
  if (headed_by_not(spec)) {
    Cell rest = *spec;
    series_cell::set_head(&rest, series::head_index(spec) + 1);
    const Cell* after = block::length(&rest) > 0 ? block::cell_at(&rest, series::head_index(&rest)) : nullptr;
    if (after && after->is(T_BINARY)) return *from_bytes(&made, after, true);
    return *from_spec(&made, &rest, true);
  }
  if (!spec->is(T_BLOCK) && !is_index(spec) && !series::is_any_string(spec->type())) {
    Cell target = values::of_datatype(T_BITSET);
    fire(err::script::BAD_MAKE_ARG, &target, spec);
  }
  return *from_spec(&made, spec, false);
}

Cell* make(Cell* proto, Cell* spec, int) {
  *proto = made_from(spec, true);
  return proto;
}

Cell* to(Cell* proto, Cell* spec, int) {
  *proto = made_from(spec, false);
  return proto;
}

// --- text ---------------------------------------------------------------------------------------

// make bitset! #{...}, or make bitset! [not #{...}] showing the spec's bits.
int mold(const Cell* bits, Cell* out, const MoldOptions& how, int limit) {
  bool complement = complemented(bits);
  string::concatenate_literal(out, complement ? "make bitset! [not #{" : "make bitset! #{");
  uint32_t n = byte_length(bits);
  for (uint32_t i = 0; i < n && !(how.part && limit <= 0); i++) {
    uint8_t byte = buffer(bits)->head()[i];
    string::concatenate_literal(out, string::byte_to_hex(complement ? uint8_t(~byte) : byte));
    limit -= 2;
  }
  string::concatenate_literal(out, complement ? "}]" : "}");
  return limit;
}

int form(const Cell* bits, Cell* out, const Cell* part_arg, int limit) {
  return mold(bits, out, {.part = part_arg}, limit);
}

// --- comparison ---------------------------------------------------------------------------------

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_BITSET)) return COMPARE_NOT_COMPARABLE;
  if (op == C_SAME) return series_cell::node(a) == series_cell::node(b) ? 0 : -1;
  uint32_t na = byte_length(a), nb = byte_length(b);
  if (na != nb) return na < nb ? -1 : 1;
  bool ca = complemented(a), cb = complemented(b);
  if (ca != cb) return ca ? 1 : -1;
  for (uint32_t i = na; i-- > 0;) {
    uint8_t x = buffer(a)->head()[i], y = buffer(b)->head()[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// --- bitwise ------------------------------------------------------------------------------------

std::string bytes_of(const Cell* bits) {
  return std::string(reinterpret_cast<const char*>(buffer(bits)->head()), byte_length(bits));
}

// The longer operand's bytes past the shorter one are copied, except by and~,
// which stops at the shorter length. The result is complemented when exactly one
// operand is.
template <uint8_t (*Op)(uint8_t, uint8_t), bool StopAtShorter>
void bitwise() {
  Cell* a = stack::arg(0);
  Cell* b = stack::arg(1);
  if (!b->is(T_BITSET)) fire(err::script::INVALID_ARG, b);
  std::string x = bytes_of(a), y = bytes_of(b);
  bool complement = complemented(a) != complemented(b);
  if (x.size() < y.size()) std::swap(x, y);
  if (StopAtShorter) x.resize(y.size());
  for (size_t i = 0; i < y.size(); i++) x[i] = char(Op(uint8_t(x[i]), uint8_t(y[i])));
  Cell made;
  make_filled(&made, uint32_t(x.size()), complement);
  if (!x.empty()) std::memcpy(buffer(&made)->head(), x.data(), x.size());
  *stack::arg(0) = made;
}
uint8_t byte_and(uint8_t a, uint8_t b) { return a & b; }
uint8_t byte_or(uint8_t a, uint8_t b) { return a | b; }
uint8_t byte_xor(uint8_t a, uint8_t b) { return a ^ b; }

// The set operations by their byte rule past the shorter operand: union and
// difference copy the longer one's bytes, intersect keeps zeros, exclude copies
// the first operand's bytes when it is the longer one.
uint8_t byte_and_not(uint8_t a, uint8_t b) { return a & uint8_t(~b); }

void set_bytes(int op) {
  Cell* a = stack::arg(0);
  std::string x = bytes_of(a), y = bytes_of(stack::arg(1));
  bool complement = complemented(a) != complemented(stack::arg(1));
  size_t longer = std::max(x.size(), y.size()), common = std::min(x.size(), y.size());
  std::string out(longer, '\0');
  for (size_t i = 0; i < longer; i++) {
    uint8_t p = i < x.size() ? uint8_t(x[i]) : 0, q = i < y.size() ? uint8_t(y[i]) : 0;
    switch (op) {
      case OP_UNION: out[i] = char(byte_or(p, q)); break;
      case OP_DIFFERENCE: out[i] = char(byte_xor(p, q)); break;
      case OP_INTERSECT: out[i] = i < common ? char(byte_and(p, q)) : '\0'; break;
      default: out[i] = char(byte_and_not(p, q)); break;   // exclude
    }
  }
  Cell made;
  make_filled(&made, uint32_t(out.size()), complement);
  if (!out.empty()) std::memcpy(buffer(&made)->head(), out.data(), out.size());
  *a = made;
}

Cell* complement(Cell* bits) {
  std::string x = bytes_of(bits);
  bool flag = !complemented(bits);
  make_filled(bits, uint32_t(x.size()), flag);
  uint8_t* at = buffer(bits)->head();
  for (size_t i = 0; i < x.size(); i++) at[i] = uint8_t(~uint8_t(x[i]));
  return bits;
}

// --- series-like actions ------------------------------------------------------------------------

// Every change is announced to an owning object before and after.
template <class Change>
void edit(Cell* bits, series::Edit kind, const Cell* value, Change change) {
  bool told = series::editing(bits, kind, value, 0, 0);
  change();
  if (told) series::edited(bits, kind, value, 0, 0);
}

Cell* insert(Cell* bits, Cell* value, int32_t, bool, int32_t, bool append) {
  edit(bits, append ? series::E_APPEND : series::E_INSERT, value, [&] { apply(bits, value, SET); });
  return bits;
}

Cell* pick(Cell* bits, int32_t, Cell* index) {
  static Cell answer;
  answer = values::logic(contains(bits, index));
  return &answer;
}

bool clears(const Cell* v) {
  return v->is(T_NONE) || (v->is(T_LOGIC) && v->w1 == 0) || (v->is(T_INTEGER) && cell::get_int(v) == 0) ||
         (v->is(T_FLOAT) && cell::get_double(v) == 0.0);
}

Cell* poke(Cell* bits, int32_t, Cell* value, Cell* index) {
  edit(bits, series::E_POKE, value, [&] { apply(bits, index, clears(value) ? CLEAR : SET); });
  return value;
}

Cell* find(Cell* bits, const Cell* value, const FindOptions&) {
  static Cell answer;
  answer = contains(bits, value) ? values::logic(true) : values::none;
  return &answer;
}

Cell* remove(Cell* bits, const Cell* part, const Cell*) {
  if (!part) fire(err::script::MISSING_ARG);
  // A complemented bitset's spec lists the non-members: removing from it sets bits.
  edit(bits, series::E_REMOVE, part, [&] { apply(bits, part, complemented(bits) ? SET : CLEAR); });
  return bits;
}

Cell* clear(Cell* bits) {
  edit(bits, series::E_CLEAR, &values::none, [&] {
    SeriesBuffer* b = buffer(bits);
    std::memset(b->head(), fill_of(complemented(bits)), b->used_bytes());
  });
  return bits;
}

Cell* copy(Cell* bits, Cell* destination, const Cell*, bool, const Cell*) {
  *destination = made_from(bits, false);
  return destination;
}

int32_t length_q(const Cell* bits) { return int32_t(byte_length(bits) * 8); }

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell*) {
  if (value) return poke(parent, 0, value, element);
  return pick(parent, 0, element);
}

}  // namespace

bool complemented(const Cell* bits) { return (buffer(bits)->flags & FLAG_COMPLEMENTED) != 0; }

bool has(const Cell* bits, uint32_t index) {
  if (index >= byte_length(bits) * uint64_t(8)) return complemented(bits);
  return (buffer(bits)->head()[index >> 3] & (128 >> (index & 7))) != 0;
}

void do_set_op(int op) {
  if (op == OP_UNIQUE) return;   // a bitset holds each member once already
  if (!stack::arg(1)->is(T_BITSET)) fire(err::script::INVALID_ARG, stack::arg(1));
  set_bytes(op);
}

void init() {
  datatype::register_type(
      T_BITSET, 0, "bitset!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_TO>(to),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_EVAL_PATH>(eval_path),
                                   slot_entry<A_COMPARE>(compare),
                                   slot_entry<A_AND_T>(bitwise<byte_and, true>),
                                   slot_entry<A_COMPLEMENT>(complement),
                                   slot_entry<A_NEGATE>(complement),
                                   slot_entry<A_OR_T>(bitwise<byte_or, false>),
                                   slot_entry<A_XOR_T>(bitwise<byte_xor, false>),
                                   slot_entry<A_APPEND>(insert),
                                   slot_entry<A_CLEAR>(clear),
                                   slot_entry<A_COPY>(copy),
                                   slot_entry<A_FIND>(find),
                                   slot_entry<A_INSERT>(insert),
                                   slot_entry<A_LENGTH_Q>(length_q),
                                   slot_entry<A_PICK>(pick),
                                   slot_entry<A_POKE>(poke),
                                   slot_entry<A_REMOVE>(remove)}));
}

}  // namespace zol::bitset
