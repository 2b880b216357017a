// Comparing text: the ordering of two texts (folded or exact, whole or as a
// prefix), the compare action, and the tests at a string's head that the parse
// engine and find use (a value, a tag, a bitset).
#include <algorithm>

#include "runtime/core/action_types.h"
#include "runtime/text/casefold.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/memory.h"
#include "runtime/core/symbol.h"
#include "runtime/text/unicode.h"

namespace zol::string {

// --- reading text ----------------------------------------------------------------------

uint32_t Text::operator[](int32_t i) const { return get_char(at + size_t(i) * unit, unit); }

namespace {

Text whole_buffer(NodeRef node, int32_t head) {
  SeriesBuffer* b = memory::buffer_of(node);
  int32_t length = int32_t(b->length());
  head = std::clamp(head, 0, length);
  return {b->head() + size_t(head) * b->unit(), b->unit(), length - head};
}

// The spelling of a symbol record as a string buffer: its cached name, or one
// decoded from its UTF-8 name for a record whose name was never asked for.
NodeRef spelling(const Cell* record) {
  if (record->w2) return record->w2;
  SeriesBuffer* utf8 = memory::buffer_of(record->w3);
  return unicode::load_utf8(utf8->head(), utf8->used_bytes(), nullptr);
}

}  // namespace

Text view(const Cell* c) {
  if (c->is(T_SYMBOL)) return whole_buffer(spelling(c), 0);
  if (word::any_word(c->type())) return whole_buffer(symbol::get(word_cell::symbol(c))->w2, 0);
  return whole_buffer(series_cell::node(c), series_cell::head(c));
}

uint32_t fold(uint32_t cp, bool exact) { return exact ? cp : case_folding::change_char(cp, true); }

// --- ordering ------------------------------------------------------------------------------

namespace {

bool is_equality(int op) {
  return op == C_EQUAL || op == C_NOT_EQUAL || op == C_STRICT_EQUAL || op == C_FIND;
}

bool exact_op(int op) { return op == C_STRICT_EQUAL || op == C_CASE_SORT; }

bool same_position(const Cell* a, const Cell* b) {
  return series::is_any_string(a->type()) && series::is_any_string(b->type()) &&
         series_cell::node(a) == series_cell::node(b) &&
         series_cell::head(a) == series_cell::head(b);
}

// The order of the first n characters, 0 when they agree.
int order_of(const Text& x, const Text& y, int32_t n, bool exact) {
  for (int32_t i = 0; i < n; i++) {
    uint32_t cx = fold(x[i], exact), cy = fold(y[i], exact);
    if (cx != cy) return cx < cy ? -1 : 1;
  }
  return 0;
}

}  // namespace

int equal(const Cell* a, const Cell* b, int op, bool match) {
  if (op == C_SAME) return same_position(a, b) ? 0 : -1;
  if (is_equality(op) && same_position(a, b)) return 0;
  Text x = view(a);
  Text y = view(b);
  bool exact = exact_op(op);
  if (match) {
    if (y.length == 0) return op == C_FIND ? 1 : 0;
    if (y.length > x.length) return 1;
    return order_of(x, y, y.length, exact);
  }
  if (x.length != y.length && is_equality(op)) return 1;
  if (int r = order_of(x, y, std::min(x.length, y.length), exact)) return r;
  return (x.length > y.length) - (x.length < y.length);
}

int compare(const Cell* a, const Cell* b, int op) {
  bool across = series::is_any_string(b->type()) && (op == C_EQUAL || op == C_NOT_EQUAL);
  if (a->type() != b->type() && !across) return COMPARE_NOT_COMPARABLE;
  return equal(a, b, op, false);
}

// --- tests at the head -----------------------------------------------------------------------

bool tag_delimited(const Cell* s, const Cell* tag) {
  Text t = view(s);
  int32_t close = 1 + view(tag).length;
  return t.length > close && t[0] == '<' && t[close] == '>';
}

bool bitset_has(const Cell* bitset, uint32_t cp) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(bitset));
  uint32_t byte = cp >> 3;
  if (byte >= b->used_bytes()) return (b->flags & FLAG_COMPLEMENTED) != 0;
  return (b->head()[byte] & (0x80u >> (cp & 7))) != 0;
}

bool char_in_bitset(const Cell* s, const Cell* bitset) {
  Text t = view(s);
  return t.length > 0 && bitset_has(bitset, t[0]);
}

bool match_value(const Cell* s, const Cell* value, int op) {
  switch (value->type()) {
    case T_STRING: case T_FILE: case T_URL: case T_EMAIL: case T_REF:
      return equal(s, value, op, true) == 0;
    case T_CHAR: {
      Text t = view(s);
      bool exact = op == C_STRICT_EQUAL;
      return t.length > 0 && fold(t[0], exact) == fold(value->w2, exact);
    }
    case T_TAG: {
      if (!tag_delimited(s, value)) return false;
      Cell inside = *s;
      series_cell::set_head(&inside, series::head_index(s) + 1);
      return equal(&inside, value, op, true) == 0;
    }
    default:
      return false;
  }
}

}  // namespace zol::string
