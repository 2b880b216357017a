// block! actions: making and converting blocks, their text, comparison, path
// steps, searching, and the edits that insert, change, take, swap and trim cells.
// Sorting and the set operations live in sort.cpp.
//
// Every edit announces itself to an owned series' owner first; the owner's
// handler may edit the block, so positions and buffers are read again after it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/text/mold.h"

namespace zol::block {

Cell* (*load_text)(const Cell* text, Cell* out) = nullptr;

namespace {

Cell* none_result() { return const_cast<Cell*>(&values::none); }
int32_t whole(const Cell* blk) { return int32_t(buffer(blk)->cell_count()); }

// Moves a head past the tail back to the tail; answers the head.
int32_t clip_head(Cell* blk) {
  int32_t head = series::head_index(blk);
  series_cell::set_head(blk, head);
  return head;
}

[[noreturn]] void bad_make_arg(uint8_t type, const Cell* spec) {
  Cell t = values::of_datatype(type);
  fire(err::script::BAD_MAKE_ARG, &t, spec);
}

// A shallow copy of a block from its head, typed `type`.
Cell shallow_copy(const Cell* blk, uint8_t type) {
  Cell made = *clone(blk, false, false);
  stack::pop(1);
  cell::set_type(&made, type);
  return made;
}

// The body of an object! or map!, through its reflect action.
Cell body_of(const Cell* value) {
  Cell v = *value;
  return *actions::reflect_typed(&v, words::body);
}

// The elements of a vector!, picked one by one.
Cell elements_of(const Cell* vector) {
  int32_t n = actions::length_q_typed(vector);
  Cell out;
  make_at(&out, n);
  for (int32_t i = 1; i <= n; i++) {
    Cell v = *vector;
    Cell index = values::integer(i);
    append(&out, actions::pick_typed(&v, i, &index));
  }
  return out;
}

Cell one_value_block(const Cell* value) {
  Cell out;
  make_at(&out, 1);
  append(&out, value);
  return out;
}

// A new block of the values a spec converts to.
Cell converted(const Cell* spec, uint8_t type) {
  switch (spec->type()) {
    case T_OBJECT: case T_MAP: return body_of(spec);
    case T_VECTOR: return elements_of(spec);
    case T_TYPESET: {
      Cell out;
      typeset::to_block(spec, &out);
      return out;
    }
    case T_STRING: {
      if (!load_text) fire(err::internal::FEATURE_NA);
      Cell out;
      return *load_text(spec, &out);
    }
    default:
      return is_any_block(spec->type()) ? shallow_copy(spec, type) : one_value_block(spec);
  }
}

}  // namespace

int32_t capacity_of(const Cell* spec, uint8_t type) {
  int64_t n;
  if (spec->is(T_INTEGER)) {
    n = cell::get_int(spec);
  } else {
    double d = cell::get_double(spec);
    if (std::isnan(d)) bad_make_arg(type, spec);
    n = d >= 2147483648.0 ? INT64_MAX : d <= 0 ? 0 : int64_t(d);
  }
  if (n < 1) return 1;
  if (n > int64_t(MAX_DATA_SIZE / sizeof(Cell))) fire(err::internal::NO_MEMORY);
  return int32_t(n);
}

namespace {

Cell* make(Cell* proto, Cell* spec, int type) {
  uint8_t t = uint8_t(type);
  Cell made;
  switch (spec->type()) {
    case T_INTEGER: case T_FLOAT: make_at(&made, capacity_of(spec, t), t); break;
    case T_OBJECT: case T_MAP: case T_VECTOR: made = converted(spec, t); break;
    default:
      if (!is_any_block(spec->type())) bad_make_arg(t, spec);
      made = shallow_copy(spec, t);
  }
  cell::set_type(&made, t);
  made.w3 = 0;
  *proto = made;
  return proto;
}

}  // namespace

Cell* to(Cell* proto, Cell* spec, int type) {
  Cell made = converted(spec, uint8_t(type));
  cell::set_type(&made, uint8_t(type));
  made.w3 = 0;
  *proto = made;
  return proto;
}

// --- text -----------------------------------------------------------------------------

namespace {

bool ends_with_break(const Cell* text) {
  int32_t n = string::buffer_length(text);
  if (n == 0) return false;
  uint32_t c = string::char_at(text, n - 1);
  return c == '\t' || c == '\n' || c == '\r';
}

int form(const Cell* blk, Cell* buffer, const Cell* part_arg, int limit) {
  if (cycles::detect(blk, buffer, &limit, false)) return limit;
  Cell source = *blk;
  cycles::push(source.w2);
  for (int32_t i = 0; i < length(&source); i++) {
    if (part_arg && limit < 1) break;
    if (i > 0 && !ends_with_break(buffer)) {
      string::concatenate_literal(buffer, " ");
      limit--;
    }
    Cell v = *cell_at(&source, series::head_index(&source) + i);
    limit = actions::form_typed(&v, buffer, part_arg, limit);
  }
  cycles::pop();
  return limit;
}

}  // namespace

int mold_between(const Cell* blk, Cell* buffer, const char* open, const char* close,
                 const MoldOptions& how, int limit) {
  if (cycles::detect(blk, buffer, &limit, true)) return limit;
  if (!how.only) {
    string::concatenate_literal(buffer, open);
    limit--;
  }
  limit = mold_each(blk, buffer, how, limit);
  if (!how.only) {
    string::concatenate_literal(buffer, close);
    limit--;
  }
  return limit;
}

int mold(const Cell* blk, Cell* buffer, const MoldOptions& how, int limit) {
  return mold_between(blk, buffer, "[", "]", how, limit);
}

namespace {

int compare(const Cell* a, const Cell* b, int op) {
  if (a->type() != b->type()) {
    auto plain_path = [](const Cell* c) { return c->is(T_PATH) || c->is(T_LIT_PATH); };
    bool word_equality = op == C_WORD_CASE || op == C_WORD;
    if (!(word_equality && plain_path(a) && plain_path(b))) return COMPARE_NOT_COMPARABLE;
  }
  return compare_each(a, b, op);
}

// --- searching ----------------------------------------------------------------------------

enum class Mode { VALUE, TYPE, TYPESET, SEQUENCE };

Mode mode_of(const Search& how) {
  if (how.only) return Mode::VALUE;
  if (how.value->is(T_DATATYPE)) return Mode::TYPE;
  if (how.value->is(T_TYPESET)) return Mode::TYPESET;
  return is_any_block(how.value->type()) ? Mode::SEQUENCE : Mode::VALUE;
}

// find/same of an object is the search reactive code makes on every field change,
// over tables of thousands of records: an object cell is the same as another
// exactly when both name one context (no other type is ever the same as an
// object), which needs no action dispatch.
bool matches_cell(const Cell* x, const Cell* y, int op) {
  if (op == C_SAME && y->is(T_OBJECT))
    return x->is(T_OBJECT) && object::context_of(x) == object::context_of(y);
  return compare_cells(x, y, op) == 0;
}

bool matches_at(const Cell* blk, int32_t pos, const Cell* value, Mode mode, int32_t span, int op) {
  switch (mode) {
    case Mode::TYPE: return cell_at(blk, pos)->type() == value->w1;
    case Mode::TYPESET: return typeset::has(value, cell_at(blk, pos)->type());
    case Mode::VALUE: return matches_cell(cell_at(blk, pos), value, op);
    case Mode::SEQUENCE: break;
  }
  for (int32_t k = 0; k < span; k++) {
    if (pos + k >= whole(blk)) return false;
    Cell x = *cell_at(blk, pos + k);
    Cell y = *cell_at(value, series::head_index(value) + k);
    if (!matches_cell(&x, &y, op)) return false;
  }
  return true;
}

// The hash! path: a probe for the nearest equal key in the search's direction.
int32_t hashed_search(const Cell* blk, const Search& how, const series::Walk& w, int op) {
  int32_t start = !w.backwards ? w.head : how.part ? w.limit + 1 : how.last ? whole(blk) : w.head;
  Cell key = *how.value;
  Cell* found = hashtable::get(hash_table(blk), &key, start, w.step, op, w.backwards, w.backwards);
  if (!found) return -1;
  int32_t pos = int32_t(found - buffer(blk)->cells());
  return !w.backwards && pos > w.limit ? -1 : pos;
}

}  // namespace

int32_t search(const Cell* blk, const Search& how, int32_t* span) {
  *span = 1;
  Mode mode = mode_of(how);
  if (mode == Mode::SEQUENCE) {
    *span = length(how.value);
    if (*span == 0) return -1;
  }
  series::Walk w;
  if (!series::plan_search(blk, how.part, how.skip, how.last, how.reverse, *span, false, &w))
    return -1;
  int op = how.same ? C_SAME : how.case_ ? C_STRICT_EQUAL : C_FIND;
  bool hashed = hash_table(blk) && mode == Mode::VALUE && !how.match &&
                !(how.value->is(T_OBJECT) && !how.same);
  if (hashed) return hashed_search(blk, how, w, op);
  return series::walk_search(w, how.match, [&](int32_t pos) {
    return matches_at(blk, pos, how.value, mode, *span, op);
  });
}

namespace {

Cell* find(Cell* blk, const Cell* value, const FindOptions& options) {
  Search how{value,         options.part, options.skip,    options.only, options.case_,
             options.same,  options.last, options.reverse, options.match};
  int32_t span;
  int32_t pos = search(blk, how, &span);
  if (pos < 0) return none_result();
  series_cell::set_head(blk, options.tail ? pos + span : pos);
  return blk;
}

Cell* select(Cell* blk, const Cell* value, const FindOptions& options) {
  Search how{value,        options.part, options.skip,    options.only, options.case_,
             options.same, options.last, options.reverse, false};
  int32_t span;
  int32_t pos = search(blk, how, &span);
  if (pos < 0 || pos + span >= whole(blk)) return none_result();
  *blk = *cell_at(blk, pos + span);
  return blk;
}

// Replaces the cell at `index`, keeping a hash! table in step.
void replace_cell(const Cell* blk, int32_t index, const Cell* value) {
  NodeRef table = hash_table(blk);
  Cell* slot = cell_at(blk, index);
  if (table) hashtable::remove(table, slot);
  *slot = *value;
  if (table) hashtable::put(table, slot);
}

Cell* put(Cell* blk, Cell* key, Cell* value, bool case_) {
  Search how{key};
  how.case_ = case_;
  Cell k = *key, v = *value;
  int32_t span;
  bool told = series::editing(blk, series::E_PUT, &v, series::head_index(blk), 1);
  int32_t pos = search(blk, how, &span);
  if (pos < 0) {
    append_value(blk, &k);
    append_value(blk, &v);
  } else if (pos + span >= whole(blk)) {
    append_value(blk, &v);
  } else if (compare_cells(cell_at(blk, pos + span), &v, C_FIND) != 0) {
    replace_cell(blk, pos + span, &v);
  }
  if (told) series::edited(blk, series::E_PUT, &v, pos, 1);
  return value;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  if (element->is(T_INTEGER)) return series::index_step(parent, element, value);
  if (!value) {
    if (element->is(T_WORD) && !parent->is(T_HASH)) {
      *parent = *select_word(parent, element, false);
      return parent;
    }
    return actions::select_typed(parent, element, {.only = true});
  }
  int32_t span;
  int32_t pos = search(parent, Search{element}, &span);
  if (pos < 0) {
    Cell where = path ? *path : values::none;
    fire(err::script::BAD_PATH_SET, &where, element);
  }
  Cell from_start = *parent;
  series_cell::set_head(&from_start, 0);
  Cell index = values::integer(pos + span + 1);
  actions::poke_typed(&from_start, pos + span + 1, value, &index);
  return value;
}

// --- inserting and changing -----------------------------------------------------------------

// The cells an insert or change writes: the value's cells from its head when it
// spreads (an any-block without /only), else the value itself.
struct Source {
  Cell value;
  bool spread;
  int32_t count;
};

Source source_of(const Cell* value, bool only) {
  bool spread = is_any_block(value->type()) && !only;
  return {*value, spread, spread ? length(value) : 1};
}

// Called once the owner has heard of the edit (its handler may have shortened the
// source) and before the gap opens: a source in the edited block's own buffer is
// copied aside, so that opening the gap does not move it.
void set_aside(Source& s, const Cell* target) {
  if (!s.spread) return;
  s.count = std::min(s.count, length(&s.value));
  if (series_cell::node(&s.value) != series_cell::node(target)) return;
  Cell count = values::integer(s.count);
  s.value = series::copy_units(&s.value, &count);
}

// Writes `count` source cells at `at`, then repeats them `dup` times in all.
void fill(Cell* blk, int32_t at, const Source& s, int32_t count, int64_t dup) {
  const Cell* from = s.spread ? cell_at(&s.value, series::head_index(&s.value)) : &s.value;
  uint8_t* gap = reinterpret_cast<uint8_t*>(cell_at(blk, at));
  std::memcpy(gap, from, size_t(count) * sizeof(Cell));
  runtime::fill_repeat(gap, size_t(count) * sizeof(Cell), size_t(dup));
}

// Enters `count` new cells from `at` in a hash!'s table (or rebuilds it).
void enter(const Cell* blk, int32_t at, int32_t count, bool rebuild) {
  NodeRef table = hash_table(blk);
  if (!table) return;
  if (rebuild) return hashtable::rebuild(table, whole(blk));
  for (int32_t i = at; i < at + count; i++)
    if (hashtable::put_key(table, cell_at(blk, i))) return;
}

// The cells an edit adds, checked against the largest buffer.
int32_t checked_total(const Cell* blk, int64_t count, int64_t dup) {
  int64_t total = count * dup;   // both at most 2^31: no overflow
  int64_t room = (int64_t(MAX_DATA_SIZE) - buffer(blk)->used_bytes()) / int64_t(sizeof(Cell));
  if (total > room) fire(err::internal::NO_MEMORY);
  return int32_t(total);
}

// append_one when the block must grow or has an owner to tell: out of line, so that
// the short path saves no registers for it.
[[gnu::noinline]] Cell* append_one_growing(Cell* blk, const Cell* value) {
  Cell v;   // the value may sit in the buffer that grows
  std::memcpy(&v, value, sizeof v);   // one move: a member-wise copy costs four
  checked_total(blk, 1, 1);
  int32_t at = whole(blk);
  bool told = series::editing(blk, series::E_APPEND, &v, at, 1);
  if (told) at = whole(blk);   // the owner may have changed the block
  std::memcpy(series::open_tail(blk, 1), &v, sizeof(Cell));
  if (told) series::edited(blk, series::E_APPEND, &v, at, 1);
  series_cell::set_head(blk, 0);
  return blk;
}

// Appending one value to a block with no table to index it: the commonest edit,
// without the spreading, repetition and indexing of the general path.
Cell* append_one(Cell* blk, const Cell* value) {
  // Mostly the block has room and no owner to tell: one reading of its buffer then
  // serves the whole edit. Room at the tail also means the length is below the
  // largest buffer's, so no size check is needed.
  SeriesBuffer* b = buffer(blk);
  if (!(b->flags & FLAG_OWNED) && b->size - b->tail >= sizeof(Cell)) {
    std::memcpy(b->tail_ptr(), value, sizeof(Cell));   // the writer's access drops the link
    b->tail += sizeof(Cell);
    series_cell::set_head(blk, 0);
    return blk;
  }
  return append_one_growing(blk, value);
}

Cell* insert(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup, bool append) {
  Source s = source_of(value, only);
  int32_t dups = std::max(dup, 0);
  auto count_of = [&] { return part >= 0 && part <= s.count ? part : s.count; };
  if (checked_total(blk, count_of(), dups) == 0) return blk;
  series::Edit edit = append ? series::E_APPEND : series::E_INSERT;
  // The owner hears where the values will go: the tail for append.
  bool told = series::editing(blk, edit, &s.value, append ? whole(blk) : clip_head(blk),
                              count_of() * dups);
  set_aside(s, blk);
  int32_t count = count_of();
  int32_t total = checked_total(blk, count, dups);
  int32_t at = append ? whole(blk) : clip_head(blk);
  bool rebuild = false;
  series::open_gap(blk, at, total, dups < 5, &rebuild);
  fill(blk, at, s, count, dups);
  enter(blk, at, total, rebuild);
  if (told) series::edited(blk, edit, &s.value, at, total);
  series_cell::set_head(blk, append ? 0 : std::min(at + total, whole(blk)));
  return blk;
}

// append has its own entry so that one value reaches append_one with no call between.
Cell* append_action(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup, bool) {
  if (dup == 1 && part != 0 && !hash_table(blk) && (only || !is_any_block(value->type())))
    return append_one(blk, value);
  return insert(blk, value, part, only, dup, true);
}

Cell* change(Cell* blk, Cell* value, int32_t part, bool only, int32_t dup) {
  Source s = source_of(value, only);
  // -1 means no /part; other negative counts and a negative /dup change nothing.
  if (part < -1) part = 0;
  int32_t dups = std::max(dup, 0);
  auto replaced_by = [&](int32_t head, int32_t inserted) {
    return std::min(part >= 0 ? part : inserted, whole(blk) - head);
  };
  int32_t inserted = checked_total(blk, s.count, dups);
  bool told = series::editing(blk, series::E_CHANGE, &s.value, clip_head(blk),
                              replaced_by(clip_head(blk), inserted));
  set_aside(s, blk);
  inserted = checked_total(blk, s.count, dups);
  int32_t head = clip_head(blk);
  int32_t replaced = replaced_by(head, inserted);
  bool rebuild = false;
  if (inserted > replaced)
    series::open_gap(blk, head + replaced, inserted - replaced, false, &rebuild);
  if (inserted < replaced) series::cut(blk, head + inserted, replaced - inserted);
  if (inserted > 0) fill(blk, head, s, s.count, dups);
  if (NodeRef table = hash_table(blk)) hashtable::rebuild(table, whole(blk));
  if (told) series::edited(blk, series::E_CHANGE, &s.value, head, replaced);
  series_cell::set_head(blk, std::min(head + inserted, whole(blk)));
  return blk;
}

// --- take, swap ---------------------------------------------------------------------------

Cell* take(Cell* blk, const Cell* part, bool deep, bool last) {
  Cell* taken = series::take_units(blk, part, last);
  if (!deep || taken->is(T_NONE)) return taken;
  if (part) {
    copy_nested(taken, 0, whole(taken), 1, true, nullptr);
  } else if (series::is_series(taken->type())) {
    Cell copied;
    *taken = *actions::copy_typed(taken, &copied, nullptr, true, nullptr);
  }
  return taken;
}

Cell* swap(Cell* first, Cell* second) {
  if (!is_any_block(second->type())) fire(err::script::INVALID_ARG, second);
  if (series::at_tail(first) || series::at_tail(second)) return first;
  bool told_first = series::editing(first, series::E_SWAP, second, series::head_index(first), 1);
  bool told_second = series::editing(second, series::E_SWAP, first, series::head_index(second), 1);
  if (!series::at_tail(first) && !series::at_tail(second)) {
    Cell a = *clip_head_cell(first), b = *clip_head_cell(second);
    replace_cell(first, series::head_index(first), &b);
    replace_cell(second, series::head_index(second), &a);
  }
  if (told_first) series::edited(first, series::E_SWAP, second, series::head_index(first), 1);
  if (told_second) series::edited(second, series::E_SWAP, first, series::head_index(second), 1);
  return first;
}

Cell* trim(Cell* blk, const TrimOptions&) {
  bool told = series::editing(blk, series::E_TRIM, &values::none, series::head_index(blk), 0);
  int32_t head = series::head_index(blk), length = whole(blk);
  NodeRef table = hash_table(blk);
  if (table) hashtable::remove_range(table, head, length - head);
  Cell* cells = buffer(blk)->cells();
  int32_t kept = head;
  for (int32_t i = head; i < length; i++)
    if (!cells[i].is(T_NONE)) cells[kept++] = cells[i];
  SeriesBuffer* b = buffer(blk);
  b->tail = b->offset + uint32_t(kept) * sizeof(Cell);
  if (table) hashtable::put_all(table, head, 1);
  if (told) series::edited(blk, series::E_TRIM, &values::none, head, length - kept);
  return blk;
}

}  // namespace

Cell* copy(Cell* blk, Cell* destination, const Cell* part, bool deep, const Cell* types) {
  Cell source = *blk;
  bool nested = deep || types;
  if (nested) {
    if (cycles::find(source.w2)) {
      cycles::reset();
      fire(err::internal::NO_CYCLE);
    }
    cycles::push(source.w2);
  }
  Cell made = series::copy_units(&source, part);
  // Library functions often run a copy of their own code: it stays library code.
  if (buffer(&source)->flags & FLAG_LIBRARY) buffer(&made)->flags |= FLAG_LIBRARY;
  if (nested && made.is(T_HASH)) cell::set_type(&made, T_BLOCK);
  *destination = made;
  if (nested) {
    copy_nested(&made, 0, whole(&made), 1, deep, types);
    cycles::pop();
  }
  return destination;
}

void init() {
  datatype::register_type(T_BLOCK, T_SERIES, "block!",
                          datatype::make_row(INHERIT, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_TO>(to),
                                                       slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_EVAL_PATH>(eval_path),
                                                       slot_entry<A_COMPARE>(compare),
                                                       slot_entry<A_APPEND>(append_action),
                                                       slot_entry<A_INSERT>(insert),
                                                       slot_entry<A_CHANGE>(change),
                                                       slot_entry<A_COPY>(copy),
                                                       slot_entry<A_FIND>(find),
                                                       slot_entry<A_PUT>(put),
                                                       slot_entry<A_SELECT>(select),
                                                       slot_entry<A_SORT>(sort),
                                                       slot_entry<A_SWAP>(swap),
                                                       slot_entry<A_TAKE>(take),
                                                       slot_entry<A_TRIM>(trim)}));
}

}  // namespace zol::block
