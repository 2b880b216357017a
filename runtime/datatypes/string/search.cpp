// Searching text: find and select, and the set operations, which compare whole
// records of /skip characters.
//
// A search looks for a needle: one character (a char!), a class of characters (a
// bitset!), or a text: a string-family value or a word by its spelling, and any
// other value by its formed text. It walks the positions that /skip, /part, /last
// and /reverse give; a text must fit inside the /part range.
#include <algorithm>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"

namespace zol::string {

namespace {

enum class Needle { CHAR, BITSET, TEXT };

struct Search {
  const Cell* value;
  const Cell* part = nullptr;
  const Cell* skip = nullptr;
  bool case_ = false, last = false, reverse = false, match = false;
};

Cell* none_result() { return const_cast<Cell*>(&values::none); }

// The text of a needle that is neither a character, a bitset nor text already: its
// form, in a new string.
Cell formed(const Cell* value) {
  if (value->is(T_BINARY)) fire(err::script::INVALID_ARG, value);
  return actions::form_to_string(value);
}

// A vector! holds numbers, not text: the needle is one element, compared as a value.
int32_t search_elements(const Cell* s, const Search& how, int32_t* span) {
  *span = 1;
  series::Walk w;
  if (!series::plan_search(s, how.part, how.skip, how.last, how.reverse, 1, true, &w)) return -1;
  SeriesBuffer* b = series::buffer(s);
  return series::walk_search(w, how.match, [&](int32_t pos) {
    Cell element = series::element_at(s, b->head() + size_t(pos) * b->unit());
    return actions::compare_typed(&element, how.value, C_EQUAL) == 0;
  });
}

// The position of the needle from the buffer start, or -1; *span receives the
// characters it covers.
int32_t search(const Cell* s, const Search& how, int32_t* span) {
  if (s->is(T_VECTOR)) return search_elements(s, how, span);
  Cell text = *how.value;
  Needle kind = Needle::TEXT;
  if (how.value->is(T_CHAR) || (s->is(T_BINARY) && how.value->is(T_INTEGER)))   // a byte
    kind = Needle::CHAR;
  else if (how.value->is(T_BITSET)) kind = Needle::BITSET;
  else if (!series::is_any_string(text.type()) && !word::any_word(text.type()) &&
           !(s->is(T_BINARY) && text.is(T_BINARY)))   // bytes among bytes
    text = formed(&text);
  *span = kind == Needle::TEXT ? view(&text).length : 1;
  if (*span == 0) return -1;
  series::Walk w;
  if (!series::plan_search(s, how.part, how.skip, how.last, how.reverse, *span, true, &w))
    return -1;
  Cell whole = *s;
  series_cell::set_head(&whole, 0);
  Text hay = view(&whole);
  bool exact = how.case_ || s->is(T_BINARY);   // bytes have no case
  switch (kind) {
    case Needle::CHAR: {
      uint32_t cp = fold(how.value->w2, exact);
      return series::walk_search(w, how.match,
                                 [&](int32_t pos) { return fold(hay[pos], exact) == cp; });
    }
    case Needle::BITSET:
      return series::walk_search(w, how.match,
                                 [&](int32_t pos) { return bitset_has(how.value, hay[pos]); });
    case Needle::TEXT: break;
  }
  Text needle = view(&text);
  return series::walk_search(w, how.match, [&](int32_t pos) {
    for (int32_t k = 0; k < needle.length; k++)
      if (fold(hay[pos + k], exact) != fold(needle[k], exact)) return false;
    return true;
  });
}

void refuse_unimplemented(bool same, bool any) {
  if (same || any) fire(err::internal::NOT_DONE);
}

}  // namespace

Cell* select(Cell* s, const Cell* value, const FindOptions& how) {
  refuse_unimplemented(how.same, how.any);
  int32_t span;
  int32_t pos = search(s, Search{value, how.part, how.skip, how.case_, how.last, how.reverse, false},
                       &span);
  if (pos < 0 || pos + span >= series::buffer_length(s)) return none_result();
  Cell whole = *s;
  series_cell::set_head(&whole, 0);
  Text t = view(&whole);
  *s = series::element_at(s, t.at + size_t(pos + span) * t.unit);
  return s;
}

Cell* find(Cell* s, const Cell* value, const FindOptions& how) {
  refuse_unimplemented(how.same, how.any);
  int32_t span;
  int32_t pos = search(
      s, Search{value, how.part, how.skip, how.case_, how.last, how.reverse, how.match}, &span);
  if (pos < 0) return none_result();
  series_cell::set_head(s, how.tail ? pos + span : pos);
  return s;
}

// --- set operations ----------------------------------------------------------------------------

namespace {

// A record of a text: `length` characters (the last record may be short).
struct Record {
  const Text& text;
  int32_t start, length;
};

Record record_at(const Text& t, int32_t start, int32_t step) {
  return {t, start, std::min(step, t.length - start)};
}

bool same_record(const Record& a, const Record& b, bool exact) {
  if (a.length != b.length) return false;
  for (int32_t i = 0; i < a.length; i++)
    if (fold(a.text[a.start + i], exact) != fold(b.text[b.start + i], exact)) return false;
  return true;
}

// One of the records of `in` (from its head, `step` characters apart) equals `r`.
bool has_record(const Cell* in, const Record& r, int32_t step, bool exact) {
  Text t = view(in);
  for (int32_t i = 0; i < t.length; i += step)
    if (same_record(record_at(t, i, step), r, exact)) return true;
  return false;
}

// One pass over `from`: each record that passes the membership test against
// `other` and is not in the result yet is appended to it.
void collect_records(Cell* result, const Cell* from, const Cell* other, int op, int32_t step,
                     bool exact) {
  bool tests_other = op == OP_INTERSECT || op == OP_EXCLUDE || op == OP_DIFFERENCE;
  for (int32_t i = 0; i < length(from); i += step) {
    Text t = view(from);
    Record r = record_at(t, i, step);
    if (tests_other && has_record(other, r, step, exact) != (op == OP_INTERSECT)) continue;
    if (has_record(result, r, step, exact)) continue;
    Cell piece = *from;
    series_cell::set_head(&piece, series_cell::head(from) + i);
    concatenate(result, &piece, r.length, 0, true, CONCAT_APPEND);
  }
}

}  // namespace

void do_set_op(bool case_, const Cell* skip, int op) {
  auto [first, second, step] = series::set_operands(skip, op);
  int32_t room = length(&first) + (op == OP_UNION ? length(&second) : 0);
  Cell* result = stack::push_unset();
  make_at_units(result, uint32_t(std::max(room, 1)), 1);
  collect_records(result, &first, &second, op, step, case_);
  if (op == OP_UNION || op == OP_DIFFERENCE)
    collect_records(result, &second, &first, op, step, case_);
  stack::set_result(result);
}

}  // namespace zol::string
