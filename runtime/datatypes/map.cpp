// map! (see map.h): making, the keyed actions over the pair block and its table,
// printing, comparison and the foreach and extend steps.
#include "runtime/datatypes/map.h"

#include <cmath>

#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/memory/memory.h"
#include "runtime/text/mold.h"

namespace zol::map {

namespace {

NodeRef table_of(const Cell* map) { return map->w3; }
Cell pairs_block(const Cell* map) { return Cell{T_BLOCK, 0, map->w2, 0}; }
SeriesBuffer* pairs_buffer(const Cell* map) { return memory::buffer_of(map->w2); }
int32_t cell_count(const Cell* map) { return int32_t(pairs_buffer(map)->length()); }
Cell* pair_at(const Cell* map, int32_t index) { return pairs_buffer(map)->cells() + index; }
bool is_hole(const Cell* key) { return key[1].header == 0; }
Cell* none_result() { return const_cast<Cell*>(&values::none); }

bool is_string_like(uint8_t t) {
  return t == T_STRING || t == T_FILE || t == T_URL || t == T_TAG || t == T_EMAIL ||
         t == T_REF || t == T_BINARY;
}

[[noreturn]] void bad_key(const Cell* key) {
  Cell type = values::of_datatype(key->type());
  fire(err::script::INVALID_PATH, &type, key);
}

// A key as it is stored: word types as set-words, string-like keys copied from
// their head (the copy is what the table will compare from then on). Key types are
// checked before a key reaches the table (check_keys, set_pair), so the engine's
// hook only converts.
void prepare_key(Cell* key) {
  uint8_t t = key->type();
  if (t == T_WORD || t == T_LIT_WORD || t == T_GET_WORD) return cell::set_type(key, T_SET_WORD);
  if (!is_string_like(t)) return;
  Cell source = *key;
  Cell copied;
  actions::copy_typed(&source, &copied, nullptr, false, nullptr);
  *key = copied;
}

// The comparison a lookup uses: equal? (string keys ignore case) unless asked.
int lookup_op(bool case_, bool same = false) {
  return same ? C_SAME : case_ ? C_STRICT_EQUAL : C_EQUAL;
}

// The stored key cell of a live pair, or null.
Cell* live_key(const Cell* map, const Cell* key, int op) {
  Cell* found = hashtable::get(table_of(map), key, 0, 1, op);
  return found && !is_hole(found) ? found : nullptr;
}

// Adds or sets a pair; answers its value cell (valid until the map grows).
Cell* set_pair(const Cell* map_in, const Cell* key_in, const Cell* value_in, int op) {
  Cell map = *map_in, key = *key_in, value = *value_in;
  NodeRef table = table_of(&map);
  Cell* found = hashtable::get(table, &key, 0, 1, op);
  if (!found) {
    // A key taken from a body keeps no line break of its own.
    key.header &= ~HEADER_NEW_LINE;
    if (!valid_key_type(key.type())) bad_key(&key);
    prepare_key(&key);
    Cell blk = pairs_block(&map);
    block::append(&blk, &key);
    block::append(&blk, &values::unset);
    hashtable::put(table, pairs_buffer(&map)->cell_tail() - 2);
    found = pairs_buffer(&map)->cell_tail() - 2;
  } else if (is_hole(found)) {
    hashtable::record(table)->size++;
  }
  found[1] = value;
  return found + 1;
}

// A stored key as readers see it: set-words read as words.
Cell key_as_word(const Cell* key) {
  Cell k = *key;
  if (k.is(T_SET_WORD)) cell::set_type(&k, T_WORD);
  return k;
}

// The cell count of a map spec: size pairs, at least one.
int32_t cells_for(const Cell* spec) {
  double n = spec->is(T_INTEGER) ? double(cell::get_int(spec)) : cell::get_double(spec);
  if (std::isnan(n)) {
    Cell type = values::of_datatype(T_MAP);
    fire(err::script::BAD_MAKE_ARG, &type, spec);
  }
  if (n < 0) fire(err::script::OUT_OF_RANGE, spec);
  double cells = std::trunc(n) * 2;
  if (cells > double(MAX_DATA_SIZE / sizeof(Cell))) fire(err::internal::NO_MEMORY);
  return cells < 2 ? 2 : int32_t(cells);
}

void check_even(const Cell* pairs) {
  if (block::length(pairs) % 2 != 0) fire(err::script::INVALID_ARG, pairs);
}

// The keys are checked before any is indexed, so a bad one leaves no half-made map.
void check_keys(const Cell* pairs) {
  SeriesBuffer* b = block::buffer(pairs);
  int32_t n = int32_t(b->length());
  for (int32_t i = 0; i < n; i += 2)
    if (!valid_key_type(b->cells()[i].type())) bad_key(&b->cells()[i]);
}

// A shallow copy of a block spec's cells from its head, new-line marks cleared.
Cell cloned_pairs(const Cell* spec) {
  Cell blk = *spec;
  cell::set_type(&blk, T_BLOCK);
  Cell made = *block::clone(&blk, false, false);
  stack::pop(1);
  SeriesBuffer* b = block::buffer(&made);
  for (Cell* c = b->cells(); c < b->cell_tail(); c++) c->header &= ~HEADER_NEW_LINE;
  return made;
}

Cell* copy(Cell* map, Cell* destination, const Cell* part, bool deep, const Cell* types);

Cell* to(Cell* proto, Cell* spec, int) {
  switch (spec->type()) {
    case T_BLOCK: case T_PAREN: case T_HASH: {
      check_even(spec);
      Cell pairs = cloned_pairs(spec);
      return make_over(proto, &pairs);
    }
    case T_MAP: return copy(spec, proto, nullptr, false, nullptr);
    default: {
      Cell type = values::of_datatype(T_MAP);
      fire(err::script::BAD_TO_ARG, &type, spec);
    }
  }
}

Cell* make(Cell* proto, Cell* spec, int type) {
  if (!spec->is(T_INTEGER) && !spec->is(T_FLOAT)) return to(proto, spec, type);
  Cell pairs;
  block::make_at(&pairs, cells_for(spec));
  return make_over(proto, &pairs);
}

Cell* copy(Cell* map_in, Cell* destination, const Cell*, bool deep, const Cell* types) {
  Cell map = *map_in;
  if (deep && cycles::find(map.w2)) fire(err::internal::NO_CYCLE);
  Cell source = pairs_block(&map);
  Cell pairs = *block::clone(&source, false, false);
  stack::pop(1);
  NodeRef table = hashtable::copy(table_of(&map), series_cell::node(&pairs));
  *destination = Cell{T_MAP, 0, series_cell::node(&pairs), table};
  if (!deep) return destination;
  cycles::push(map.w2);
  Cell copied = *destination;
  block::copy_nested(&pairs, 1, cell_count(&copied), 2, true, types);
  cycles::pop();
  return destination;
}

// --- the keyed actions ------------------------------------------------------------------

Cell* put(Cell* map, Cell* key, Cell* value, bool case_) {
  Cell v = *value;
  set_pair(map, key, &v, lookup_op(case_));
  *value = v;
  return value;
}

Cell* select(Cell* map, const Cell* key, const FindOptions& how) {
  Cell* found = live_key(map, key, lookup_op(how.case_, how.same));
  return found ? found + 1 : none_result();
}

Cell* find(Cell* map, const Cell* key, const FindOptions& how) {
  Cell* found = live_key(map, key, lookup_op(how.case_, how.same));
  if (!found) return none_result();
  *map = key_as_word(found);
  return map;
}

// The key follows the lookup rule of select: a case variant removes the pair.
Cell* remove(Cell* map, const Cell*, const Cell* key) {
  if (!key) fire(err::script::MISSING_ARG);
  Cell* found = live_key(map, key, C_EQUAL);
  if (found) hashtable::remove(table_of(map), found);
  return map;
}

Cell* clear(Cell* map) {
  hashtable::clear(table_of(map));
  return map;
}

int32_t length(const Cell* map) { return count(map); }

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell*) {
  if (value) return set_pair(parent, element, value, C_EQUAL);
  Cell* found = live_key(parent, element, C_EQUAL);
  return found ? found + 1 : none_result();
}

// --- reflection ------------------------------------------------------------------------------

enum class Field { WORDS, VALUES, BODY };

Cell* reflect(Cell* value, uint32_t field_symbol) {
  Cell map = *value;
  uint32_t f = symbol::resolve(field_symbol);
  Field field;
  if (f == symbol::resolve(words::words_)) field = Field::WORDS;
  else if (f == symbol::resolve(words::values_)) field = Field::VALUES;
  else if (f == symbol::resolve(words::body)) field = Field::BODY;
  else fire(err::internal::NOT_DONE);
  Cell out;
  int32_t live = count(&map);
  block::make_at(&out, field == Field::BODY ? live * 2 + 1 : live + 1);
  for (int32_t i = 0; i + 1 < cell_count(&map); i += 2) {
    Cell key = *pair_at(&map, i), v = pair_at(&map, i)[1];
    if (v.header == 0) continue;
    if (field == Field::WORDS) key = key_as_word(&key);
    if (field == Field::BODY) key.header |= HEADER_NEW_LINE;
    if (field != Field::VALUES) block::append(&out, &key);
    if (field != Field::WORDS) block::append(&out, &v);
  }
  *value = out;
  return value;
}

// --- printing ----------------------------------------------------------------------------------

int text(Cell* buffer, const char* s, int limit, int cost) {
  string::concatenate_literal(buffer, s);
  return limit - cost;
}

bool has_live_pair_after(const Cell* map, int32_t index) {
  for (int32_t i = index + 2; i + 1 < cell_count(map); i += 2)
    if (!is_hole(pair_at(map, i))) return true;
  return false;
}

// The live pairs, key and value molded; in mold mode one pair a line, indented to
// how.indent, unless flat. Stops once a part limit is used up.
int form_pairs(const Cell* map_in, Cell* buffer, const MoldOptions& how, int limit,
               bool mold_mode) {
  Cell map = *map_in;
  if (count(&map) == 0) return limit;
  bool indent = mold_mode && !how.flat && !how.only;
  const char* separator = how.flat ? " " : "\n";
  if (indent) limit = text(buffer, "\n", limit, 1);
  cycles::push(map.w2);
  for (int32_t i = 0; i + 1 < cell_count(&map); i += 2) {
    if (how.part && limit < 1) break;
    Cell key = *pair_at(&map, i), v = pair_at(&map, i)[1];
    if (v.header == 0) continue;
    if (indent) limit = mold::indent(buffer, how.indent, limit);
    limit = actions::mold_typed(&key, buffer, how.element(), limit);
    limit = text(buffer, " ", limit, 1);
    limit = actions::mold_typed(&v, buffer, how.element(), limit);
    if (indent || has_live_pair_after(&map, i)) limit = text(buffer, separator, limit, 1);
  }
  cycles::pop();
  return limit;
}

int form(const Cell* map, Cell* buffer, const Cell* part, int limit) {
  if (cycles::find(map->w2)) return limit;
  return form_pairs(map, buffer, {.part = part}, limit, false);
}

int mold(const Cell* map, Cell* buffer, const MoldOptions& how, int limit) {
  if (cycles::detect(map, buffer, &limit, true)) return limit;
  if (!how.only) limit = text(buffer, "#[", limit, 2);
  bool wrote = count(map) > 0;
  limit = form_pairs(map, buffer, how.deeper(), limit, true);
  if (wrote && !how.flat && how.indent > 0) limit = mold::indent(buffer, how.indent, limit);
  if (!how.only) limit = text(buffer, "]", limit, 1);
  return limit;
}

// --- comparison -----------------------------------------------------------------------------

// Whether the pair's key has a match in `other` whose value compares equal.
bool pair_matches(const Cell* other, const Cell* key, const Cell* value, int op) {
  if (op == C_STRICT_EQUAL) {
    Cell* found = live_key(other, key, C_STRICT_EQUAL);
    return found && actions::compare_typed(value, found + 1, C_STRICT_EQUAL) == 0;
  }
  hashtable::Cursor cursor;
  while (Cell* found = hashtable::find_next(table_of(other), key, cursor)) {
    if (is_hole(found)) continue;
    Cell v = found[1];
    if (actions::compare_typed(value, &v, C_EQUAL) == 0) return true;
  }
  return false;
}

int compare_pairs(const Cell* a, const Cell* b, int op) {
  cycles::push(a->w2);
  cycles::push(b->w2);
  int answer = 0;
  for (int32_t i = 0; i + 1 < cell_count(a) && answer == 0; i += 2) {
    Cell key = *pair_at(a, i), v = pair_at(a, i)[1];
    if (v.header == 0) continue;
    if (!pair_matches(b, &key, &v, op)) answer = 1;
  }
  cycles::pop_n(2);
  return answer;
}

int compare(const Cell* a_in, const Cell* b_in, int op) {
  if (!b_in->is(T_MAP)) return COMPARE_NOT_COMPARABLE;
  Cell a = *a_in, b = *b_in;
  if (op == C_SORT || op == C_CASE_SORT) return a.w2 < b.w2 ? -1 : a.w2 > b.w2 ? 1 : 0;
  if (a.w2 == b.w2 && a.w1 == b.w1) return 0;
  if (op == C_SAME) return -1;
  if (cycles::find(a.w2)) return cycles::find(b.w2) ? 0 : -1;
  if (count(&a) != count(&b)) return 1;
  if (count(&a) == 0) return 0;
  return compare_pairs(&a, &b, op);
}

}  // namespace

bool valid_key_type(uint8_t t) {
  switch (t) {
    case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL: case T_REF:
    case T_BINARY: case T_CHAR: case T_INTEGER: case T_FLOAT: case T_PERCENT: case T_MONEY:
    case T_PAIR: case T_TUPLE: case T_TIME: case T_DATE: case T_POINT2D: case T_POINT3D:
      return true;
    default:
      return word::any_word(t);
  }
}

Cell* make_over(Cell* out, const Cell* pairs_in) {
  Cell pairs = *pairs_in;
  check_keys(&pairs);
  int32_t cells = block::length(&pairs);
  NodeRef table =
      hashtable::init(cells < 2 ? 2 : cells, series_cell::node(&pairs), hashtable::K_MAP, 1);
  *out = Cell{T_MAP | (pairs.header & HEADER_NEW_LINE), 0, series_cell::node(&pairs), table};
  return out;
}

int32_t count(const Cell* map) { return hashtable::record(table_of(map))->size; }

Cell* extend(Cell* map_in, const Cell* pairs_in, bool case_) {
  Cell map = *map_in, source = *pairs_in;
  Cell pairs = source.is(T_MAP) ? *reflect(&source, words::body) : source;
  check_even(&pairs);
  int32_t n = block::length(&pairs);
  for (int32_t i = 0; i + 1 < n; i += 2) {
    Cell key = *block::cell_at(&pairs, series_cell::head(&pairs) + i);
    Cell value = *block::cell_at(&pairs, series_cell::head(&pairs) + i + 1);
    set_pair(&map, &key, &value, lookup_op(case_));
  }
  *map_in = map;
  return map_in;
}

bool foreach_step(Cell* map, const Cell* words, int32_t n) {
  int32_t position = series_cell::head(map);
  bool set_any = false;
  for (int32_t j = 0; j < n; j++) {
    Cell word = words->is(T_BLOCK)
                    ? *block::cell_at(words, series_cell::head(words) + j)
                    : *words;
    if (word.type() < T_WORD || word.type() > T_GET_WORD) fire(err::script::INVALID_ARG, &word);
    while (position % 2 == 0 && position + 1 < cell_count(map) && is_hole(pair_at(map, position)))
      position += 2;
    Cell value = values::none;
    if (position < cell_count(map)) {
      value = key_as_word(pair_at(map, position++));
      set_any = true;
    }
    context::set(&word, &value);
  }
  series_cell::set_head(map, position);
  return set_any;
}

void init() {
  hashtable::prepare_map_key = prepare_key;
  datatype::register_type(T_MAP, 0, "map!",
                          datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_TO>(to),
                                                       slot_entry<A_REFLECT>(reflect),
                                                       slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_EVAL_PATH>(eval_path),
                                                       slot_entry<A_COMPARE>(compare),
                                                       slot_entry<A_CLEAR>(clear),
                                                       slot_entry<A_COPY>(copy),
                                                       slot_entry<A_FIND>(find),
                                                       slot_entry<A_LENGTH_Q>(length),
                                                       slot_entry<A_PUT>(put),
                                                       slot_entry<A_REMOVE>(remove),
                                                       slot_entry<A_SELECT>(select)}));
}

}  // namespace zol::map
