// The formed and molded text of string!.
//
// A molded string is written between double quotes, with every control
// character, double quote and caret escaped, unless it is long (50 characters or
// more), holds a double quote or more than two line feeds: then it goes between
// braces, where quotes and line feeds stay plain and braces stay plain as long as
// they balance. One counting pass picks the style; in brace style each "{" is
// checked for its "}" with one forward scan, until the first "{" without one, from
// which on every "{" is escaped.
#include <algorithm>

#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/text/mold.h"

namespace zol::string {

namespace {

constexpr int32_t LONG_TEXT = 50;     // from this many characters braces are used
constexpr int32_t MANY_LINES = 3;     // and from this many line feeds

void put(Cell* out, uint32_t cp) { append_char(memory::buffer_of(series_cell::node(out)), cp); }

bool wants_braces(const Text& t, int32_t n) {
  int32_t quotes = 0, lines = 0;
  for (int32_t i = 0; i < n; i++) {
    uint32_t c = t[i];
    quotes += c == '"';
    lines += c == '\n';
  }
  return lines >= MANY_LINES || quotes > 0 || t.length >= LONG_TEXT;
}

// The "{" at `from` has its "}" before `end`.
bool brace_closes(const Text& t, int32_t from, int32_t end) {
  int32_t depth = 0;
  for (int32_t i = from; i < end; i++) {
    uint32_t c = t[i];
    if (c == '{') depth++;
    if (c == '}' && --depth == 0) return true;
  }
  return false;
}

void mold_in_quotes(const Text& t, int32_t n, Cell* out, bool all) {
  put(out, '"');
  for (int32_t i = 0; i < n; i++) mold::append_escaped_char(out, t[i], mold::ESCAPE_MOLD, all);
  put(out, '"');
}

void mold_in_braces(const Text& t, int32_t n, Cell* out, bool all) {
  put(out, '{');
  int32_t open = 0;
  bool balanced = true;
  for (int32_t i = 0; i < n; i++) {
    uint32_t c = t[i];
    switch (c) {
      case '{':
        balanced = balanced && brace_closes(t, i, n);
        if (balanced) open++;
        else concatenate_literal(out, "^");
        put(out, c);
        break;
      case '}':
        if (open > 0) open--;
        else concatenate_literal(out, "^");
        put(out, c);
        break;
      case '"': case '\n': put(out, c); break;
      case '^': concatenate_literal(out, "^^"); break;
      default: mold::append_escaped_char(out, c, mold::ESCAPE_MOLD, all);
    }
  }
  put(out, '}');
}

}  // namespace

int form(const Cell* s, Cell* out, const Cell* part_arg, int limit) {
  int32_t n = length(s);
  if (part_arg) n = std::clamp(limit, 0, n);
  concatenate(out, s, n, 0, true, CONCAT_APPEND);
  return limit - n;
}

int mold(const Cell* s, Cell* out, const MoldOptions& how, int limit) {
  Text t = view(s);
  int32_t n = how.part && limit >= 0 ? std::min(limit, t.length) : t.length;
  if (wants_braces(t, n)) mold_in_braces(t, n, out, how.all);
  else mold_in_quotes(t, n, out, how.all);
  return limit - n - 2;
}

}  // namespace zol::string
