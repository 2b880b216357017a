// The lexer's syntax errors: an error token of the scanner becomes the `syntax`
// error of the catalogue with its three arguments. Kept apart from the scanner so
// that the scanner itself needs nothing of the runtime but the datatype names.
#include <string>

#include "interpreter/lexer_scan.h"
#include "runtime/datatypes/string.h"
#include "runtime/error.h"
#include "runtime/values.h"

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
    uint32_t cp = *p;
    int n = decode_utf8(p, end, &cp);
    p += n ? n : 1;
    b = string::append_char(b, cp);
  }
  return s;
}

int syntax_id(int problem) {
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

}  // namespace

void Scanner::raise(const Token& error) const {
  Cell line = string_of_ascii("(line " + std::to_string(error.line) + ")");
  Cell subject = subject_of(error);
  Cell text = string_of_source(text_ + error.body_start, text_ + error.body_end);
  fire(err::SYNTAX, syntax_id(error.problem), &line, &subject, &text);
}

}  // namespace zol::lexer
