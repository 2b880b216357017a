// string! actions: making and converting text, path steps, and the edits that
// insert, change and swap characters; the registration of string!. Comparison,
// searching, molding, sorting and trimming live in the other string_*.cpp files.
//
// An insert or change first turns its value into the text it writes once (a
// string-family value as it is, anything else formed into a new string), then
// writes that text, repeated for /dup, with the joining primitive of string.h,
// which widens the target and grows it as needed.
#include <algorithm>
#include <climits>
#include <cmath>

#include "runtime/core/actions.h"
#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/core/error.h"
#include "runtime/text/mold.h"
#include "runtime/core/values.h"

namespace zol::string {

namespace {


// A head past the tail moves back to it; answers the head.
int32_t clip_head(Cell* s) {
  int32_t head = series::head_index(s);
  series_cell::set_head(s, head);
  return head;
}

// --- make and to --------------------------------------------------------------------------

Cell* typed(Cell* proto, NodeRef node, int type) {
  *proto = Cell{uint32_t(type), 0, node, 0};
  return proto;
}

// The elements of a block, each formed, one after the other.
void form_each(Cell* out, const Cell* blk, int32_t count) {
  for (int32_t i = 0; i < count; i++) {
    Cell element = *block::cell_at(blk, series::head_index(blk) + i);
    actions::form_typed(&element, out, nullptr, INT_MAX);
  }
}

Cell converted(const Cell* spec, int type) {
  Cell made;
  switch (spec->type()) {
    case T_NONE: {
      Cell target = values::of_datatype(uint8_t(type));
      fire(err::script::BAD_TO_ARG, &target, spec);
    }
    case T_BLOCK: case T_PAREN: case T_HASH:
      make_at(&made, 16);
      form_each(&made, spec, block::length(spec));
      return made;
    case T_REFINEMENT: return actions::mold_to_string(spec);
    case T_BINARY: {
      Text bytes = view(spec);
      return *load(bytes.at, uint32_t(bytes.length), &made, ENCODING_UTF8);
    }
    default:
      if (series::is_any_string(spec->type())) return series::copy_units(spec, nullptr);
      return actions::form_to_string(spec);
  }
}

// The capacity a number asks make for: NaN and sizes below 0 are refused.
uint32_t capacity_of(const Cell* spec, int type) {
  double size = spec->is(T_INTEGER) ? double(cell::get_int(spec)) : cell::get_double(spec);
  if (std::isnan(size)) {
    Cell target = values::of_datatype(uint8_t(type));
    fire(err::script::BAD_MAKE_ARG, &target, spec);
  }
  if (size < 0) fire(err::script::OUT_OF_RANGE, spec);
  if (size > MAX_DATA_SIZE) fire(err::internal::NO_MEMORY);
  return uint32_t(size);
}

Cell* make(Cell* proto, Cell* spec, int type) {
  if (!spec->is(T_INTEGER) && !spec->is(T_FLOAT)) return to(proto, spec, type);
  Cell made;
  make_at(&made, capacity_of(spec, type));
  return typed(proto, series_cell::node(&made), type);
}

// --- inserting and changing ------------------------------------------------------------

// The text an edit writes once: `count` characters of `text` from its head.
struct Piece {
  Cell text;
  int32_t count;
};

// What a value writes into text: a string-family value its characters, a tag! its
// text between "<" and ">", a block! its elements formed (up to `part` of them),
// anything else its form. `part` (-1: none) cuts what is written.
Piece piece_of(const Cell* value, int32_t part) {
  Cell made;
  if (series::is_any_string(value->type()) && !value->is(T_TAG)) {
    made = *value;
  } else if (value->is(T_BLOCK) || value->is(T_PAREN) || value->is(T_HASH)) {
    make_at(&made, 16);
    int32_t count = block::length(value);
    form_each(&made, value, part >= 0 ? std::min(part, count) : count);
    return {made, length(&made)};
  } else {
    made = actions::form_to_string(value);   // a tag! forms with its brackets
  }
  int32_t count = length(&made);
  return {made, part >= 0 ? std::min(part, count) : count};
}

// The characters an edit writes in all, refused when the result would not fit a
// buffer.
int32_t written_total(const Cell* s, const Piece& p, int32_t dups) {
  uint32_t unit = std::max(series::buffer(s)->unit(), series::buffer(&p.text)->unit());
  uint64_t total = uint64_t(p.count) * uint64_t(dups);
  if ((total + series::buffer(s)->length()) * unit > MAX_DATA_SIZE)
    fire(err::internal::NO_MEMORY);
  return int32_t(total);
}

// The piece as a private text of its own, repeated `dups` times: what an edit
// writes when the value lies in the edited buffer or is repeated.
Piece private_copy(const Piece& p, int32_t dups) {
  Cell made;
  make_at_units(&made, uint32_t(p.count) * uint32_t(dups), series::buffer(&p.text)->unit());
  concatenate(&made, &p.text, p.count, 0, true, CONCAT_APPEND);
  SeriesBuffer* b = series::buffer(&made);
  runtime::fill_repeat(b->head(), b->used_bytes(), size_t(dups));
  b->tail = b->offset + b->used_bytes() * uint32_t(dups);
  return {made, p.count * dups};
}

// Writes the piece `dups` times at the head (inserting) or at the tail (appending).
void write_piece(Cell* s, Piece p, int32_t dups, ConcatMode mode) {
  p.count = std::min(p.count, length(&p.text));   // an owner may have shortened the value
  if (dups > 1 || series_cell::node(&p.text) == series_cell::node(s)) p = private_copy(p, dups);
  concatenate(s, &p.text, p.count, 0, true, mode);
}

// One character, written without a piece of text around it.
void write_char(Cell* s, uint32_t cp, int32_t at, bool append) {
  if (append) append_char(series::buffer(s), cp);
  else insert_char(series::buffer(s), uint32_t(at), cp);
}

Cell* insert(Cell* s, Cell* value, int32_t part, bool, int32_t dup, bool append) {
  bool one_char = value->is(T_CHAR) && dup == 1;
  Piece p = one_char ? Piece{*value, 1} : piece_of(value, part);
  int32_t dups = std::max(dup, 0);
  int32_t total = one_char ? 1 : written_total(s, p, dups);
  if (total == 0) return s;
  series::Edit edit = append ? series::E_APPEND : series::E_INSERT;
  bool told = series::editing(s, edit, value, clip_head(s), total);
  int32_t head = clip_head(s);
  int32_t at = append ? buffer_length(s) : head;
  if (one_char) write_char(s, value->w2, at, append);
  else write_piece(s, p, dups, append ? CONCAT_APPEND : CONCAT_INSERT);
  if (told) series::edited(s, edit, value, at, total);
  series_cell::set_head(s, append ? 0 : std::min(at + total, buffer_length(s)));
  return s;
}

// Writes the head character of a text (the head byte of a binary!).
void put_head(Cell* s, uint32_t cp) {
  if (s->is(T_BINARY)) *clip_head_bytes(s) = uint8_t(cp);
  else poke_char(series::buffer(s), clip_head_bytes(s), cp);
}

Cell* swap(Cell* first, Cell* second) {
  if (!series::is_any_string(second->type()) && !second->is(T_BINARY))
    fire(err::script::INVALID_ARG, second);
  if (at_tail(first) || at_tail(second)) return first;
  bool told_first = series::editing(first, series::E_SWAP, second, head_index(first), 1);
  bool told_second = series::editing(second, series::E_SWAP, first, head_index(second), 1);
  if (!at_tail(first) && !at_tail(second)) {
    uint32_t a = view(first)[0], b = view(second)[0];
    put_head(first, b);
    put_head(second, a);
  }
  if (told_first) series::edited(first, series::E_SWAP, second, head_index(first), 1);
  if (told_second) series::edited(second, series::E_SWAP, first, head_index(second), 1);
  return first;
}

}  // namespace

Cell* to(Cell* proto, Cell* spec, int type) {
  Cell made = converted(spec, type);
  return typed(proto, series_cell::node(&made), type);
}

Cell* change(Cell* s, Cell* value, int32_t part, bool, int32_t dup) {
  if (part < -1) part = 0;   // -1 means no /part
  Piece p = piece_of(value, -1);
  int32_t dups = std::max(dup, 0);
  int32_t written = written_total(s, p, dups);
  auto replaced_from = [&](int32_t head) {
    return std::min(part >= 0 ? part : written, buffer_length(s) - head);
  };
  int32_t at = clip_head(s);
  bool told = series::editing(s, series::E_CHANGE, value, at, replaced_from(at));
  p.count = std::min(p.count, length(&p.text));   // an owner may have shortened the value
  written = p.count * dups;
  int32_t head = clip_head(s);
  int32_t replaced = replaced_from(head);
  if (series_cell::node(&p.text) == series_cell::node(s)) p = private_copy(p, 1);
  remove_part(series::buffer(s), uint32_t(head), uint32_t(replaced));
  if (written > 0) write_piece(s, p, dups, CONCAT_INSERT);
  if (told) series::edited(s, series::E_CHANGE, value, head, replaced);
  series_cell::set_head(s, std::min(head + written, buffer_length(s)));
  return s;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  if (element->is(T_INTEGER)) return series::index_step(parent, element, value);
  if (!value) return select(parent, element, {});
  Cell after = *parent;
  if (find(&after, element, {.tail = true})->is(T_NONE)) {
    Cell where = path ? *path : values::none;
    fire(err::script::BAD_PATH_SET, &where, element);
  }
  Cell from_start = *parent;
  series_cell::set_head(&from_start, 0);
  Cell index = values::integer(series_cell::head(&after) + 1);
  actions::poke_typed(&from_start, series_cell::head(&after) + 1, value, &index);
  return value;
}

void register_type() {
  datatype::register_type(
      T_STRING, T_SERIES, "string!",
      datatype::make_row(INHERIT, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_TO>(to),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold),
                                   slot_entry<A_EVAL_PATH>(eval_path),
                                   slot_entry<A_COMPARE>(compare),
                                   slot_entry<A_APPEND>(insert),
                                   slot_entry<A_CHANGE>(change),
                                   slot_entry<A_FIND>(find),
                                   slot_entry<A_INSERT>(insert),
                                   slot_entry<A_SELECT>(select),
                                   slot_entry<A_SORT>(sort),
                                   slot_entry<A_SWAP>(swap),
                                   slot_entry<A_TRIM>(trim)}));
}

}  // namespace zol::string
