// trim on text: removing whitespace at the ends, inside lines, or every character
// of a set.
//
// Trimming only removes, so the kept characters are rewritten in place, from the
// head on, behind the reading position: the unit never changes and nothing is
// allocated.
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"

namespace zol::string {

namespace {

// The spaces beyond ASCII that trimming removes.
bool is_wide_space(uint32_t c) {
  switch (c) {
    case 0x85: case 0xA0: case 0x1680: case 0x180E: case 0x2028: case 0x2029: case 0x202F:
    case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

// Whitespace at the ends and between words: every control character and the space.
bool is_space(uint32_t c) { return (c >= 1 && c <= 32) || is_wide_space(c); }
// The blanks removed at the start and end of a line.
bool is_blank(uint32_t c) { return c == ' ' || c == '\t' || is_wide_space(c); }

// Writes the kept characters from the head on, over those already read.
struct Rewriter {
  uint8_t* at;
  uint32_t unit;
  int32_t written = 0;
  void put(uint32_t c) { put_char(at + size_t(written++) * unit, unit, c); }
};

struct Span {
  int32_t start, end;
};

Span without_space_ends(const Text& t, bool head, bool tail) {
  Span s{0, t.length};
  while (head && s.start < s.end && is_space(t[s.start])) s.start++;
  while (tail && s.end > s.start && is_space(t[s.end - 1])) s.end--;
  return s;
}

void keep_span(const Text& t, Span s, Rewriter& w) {
  for (int32_t i = s.start; i < s.end; i++) w.put(t[i]);
}

// Both ends, and the blanks at the start and end of every line in between; one line
// feed comes back when the removed end held one.
void trim_lines_ends(const Text& t, Rewriter& w) {
  Span s = without_space_ends(t, true, true);
  bool ended_line = false;
  for (int32_t i = s.end; i < t.length; i++) ended_line |= t[i] == '\n';
  bool line_start = true;
  int32_t blanks = -1;   // where the blanks waiting for a non-blank began
  for (int32_t i = s.start; i < s.end; i++) {
    uint32_t c = t[i];
    if (c == '\n') {
      blanks = -1;
      line_start = true;
      w.put(c);
    } else if (is_blank(c)) {
      if (!line_start && blanks < 0) blanks = i;
    } else {
      if (blanks >= 0) keep_span(t, {blanks, i}, w);
      blanks = -1;
      line_start = false;
      w.put(c);
    }
  }
  if (ended_line) w.put('\n');
}

// Every run of whitespace becomes one space; none at either end.
void trim_to_single_spaces(const Text& t, Rewriter& w) {
  bool gap = false;
  for (int32_t i = 0; i < t.length; i++) {
    uint32_t c = t[i];
    if (is_space(c)) {
      gap = w.written > 0;
    } else {
      if (gap) w.put(' ');
      gap = false;
      w.put(c);
    }
  }
}

// The characters trim/all and trim/with remove: tab, line feed, carriage return
// and space, or one code point, or the characters of a text.
struct Removed {
  enum Kind { DEFAULT, ONE, TEXT } kind = DEFAULT;
  uint32_t cp = 0;
  Text text{nullptr, 1, 0};
  bool contains(uint32_t c) const {
    switch (kind) {
      case DEFAULT: return c == '\t' || c == '\n' || c == '\r' || c == ' ';
      case ONE: return c == cp;
      case TEXT: break;
    }
    for (int32_t i = 0; i < text.length; i++)
      if (text[i] == c) return true;
    return false;
  }
};

bool is_text(const Cell* v) { return series::is_any_string(v->type()) || v->is(T_BINARY); }

// `held` keeps a private copy of a set taken from the trimmed text itself.
Removed removed_set(const Cell* s, const Cell* with, Cell* held) {
  Removed r;
  if (!with) return r;
  if (with->is(T_CHAR) || with->is(T_INTEGER)) {
    r.kind = Removed::ONE;
    r.cp = with->w2;
    return r;
  }
  bool own_text = series_cell::node(with) == series_cell::node(s);
  *held = own_text ? series::copy_units(with, nullptr) : *with;
  r.kind = Removed::TEXT;
  r.text = view(held);
  return r;
}

void remove_set(const Text& t, const Removed& set, Rewriter& w) {
  for (int32_t i = 0; i < t.length; i++)
    if (!set.contains(t[i])) w.put(t[i]);
}

}  // namespace

Cell* trim(Cell* s, const TrimOptions& how) {
  const Cell* with = how.with;
  if (how.auto_) fire(err::internal::NOT_DONE);
  if (with && !with->is(T_CHAR) && !with->is(T_INTEGER) && !is_text(with))
    fire(err::script::INVALID_ARG, with);
  bool told = series::editing(s, series::E_TRIM, &values::none, series::head_index(s), 0);
  Cell held = values::none;
  Removed set = removed_set(s, with, &held);
  int32_t start = series::head_index(s);
  Text t = view(s);
  SeriesBuffer* b = series::buffer(s);
  Rewriter w{b->head() + size_t(start) * b->unit(), b->unit()};
  if (how.all || with) remove_set(t, set, w);
  else if (how.lines) trim_to_single_spaces(t, w);
  else if (how.head || how.tail) keep_span(t, without_space_ends(t, how.head, how.tail), w);
  else trim_lines_ends(t, w);
  truncate(b, uint32_t(start + w.written));
  if (told) series::edited(s, series::E_TRIM, &values::none, start, t.length - w.written);
  return s;
}

}  // namespace zol::string
