// The lexer's errors: an error token of the scanner becomes the `syntax` error of
// the catalogue with its three arguments, and a literal whose datatype is not built
// yet the internal not-done. Kept apart from the scanner so that the scanner itself
// needs nothing of the runtime but the datatype names and the UTF-8 decoder.
#include <string>

#include "interpreter/lexer/scan.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"

namespace zol::lexer {
namespace {

Cell string_of_ascii(const std::string& text) {
  Cell s;
  string::make_at(&s, uint32_t(text.size()));
  string::concatenate_literal_part(&s, text.data(), uint32_t(text.size()));
  return s;
}

// The source text of a report; a byte that is not valid UTF-8 stands for itself.
Cell string_of_source(const uint8_t* p, const uint8_t* end) {
  Cell s;
  string::make_at(&s, uint32_t(end - p));
  SeriesBuffer* b = memory::buffer_of(series_cell::node(&s));
  while (p < end) {
    uint32_t cp;
    const uint8_t* next = unicode::decode_utf8_char(p, end, &cp);
    if (cp == unicode::INVALID) {
      cp = *p;
      next = p + 1;
    }
    p = next;
    b = string::append_char(b, cp);
  }
  return s;
}

err::syntax syntax_id(int problem) {
  switch (problem) {
    case P_BAD_CHAR: return err::syntax::BAD_CHAR;
    case P_BAD_CONSTRUCT: return err::syntax::MALCONSTRUCT;
    case P_MISSING: case P_MISSING_AT_END: return err::syntax::MISSING;
    default: return err::syntax::INVALID;
  }
}

// The second argument: the bracket that is missing, else the datatype at fault.
Cell subject_of(const Token& error) {
  if (error.problem == P_MISSING || error.problem == P_MISSING_AT_END)
    return string_of_ascii(std::string(1, error.bracket));
  return values::of_datatype(error.problem > 0 ? uint8_t(error.problem) : uint8_t(T_ERROR));
}

// The name of a literal form's datatype. The registry names only the datatypes
// that are built, so the forms whose loaders are still missing are named here; each
// leaves this list when its datatype lands.
const char* datatype_name(uint8_t type) {
  switch (type) {
    case T_BINARY: return "binary!";
    case T_TUPLE: return "tuple!";
    case T_DATE: return "date!";
    case T_PAIR: return "pair!";
    case T_POINT2D: return "point2D!";
    case T_POINT3D: return "point3D!";
    case T_TIME: return "time!";
    case T_MONEY: return "money!";
    case T_MAP: return "map!";
    default: return datatype::name(type);
  }
}

Cell line_of(uint32_t line) { return string_of_ascii("(line " + std::to_string(line) + ")"); }

}  // namespace

void Scanner::raise(const Token& error) const {
  Cell line = line_of(error.line);
  Cell subject = subject_of(error);
  Cell text = string_of_source(text_ + error.body_start, text_ + error.body_end);
  fire(syntax_id(error.problem), &line, &subject, &text);
}

void Scanner::raise_not_built(const Token& token, uint8_t type) const {
  Cell datatype = word::load(datatype_name(type));
  Cell text = string_of_source(text_ + token.start, text_ + report_end(token.start));
  Cell line = line_of(token.line);
  fire(err::internal::NOT_DONE, &datatype, &text, &line);
}

}  // namespace zol::lexer
