// The lexer's token loaders: the text of one value token, already delimited and
// classified by the scanner, into a cell.
//
// One loader per token kind, in a table indexed by `kind - FIRST_FINAL` (nullptr
// for the structural kinds, which the load layer handles itself). A loader checks
// the token's form and, when it is well formed, writes the value into *out and
// answers 0; otherwise it answers the datatype id of the error the token raises,
// which the load layer turns into the scanner's error token. A loader may answer a
// value of another type than the token's (an integer too large becomes a float!).
//
// Literal forms whose datatypes are not built yet answer NOT_BUILT with only the
// type written in *out (no payload): the load layer raises not-done for them when
// the value is to be kept, and lets them pass when the text is only checked.
#pragma once
#include <cstdint>

#include "interpreter/lexer/scan.h"
#include "runtime/core/cell.h"

namespace zol::lexer {

using Loader = int (*)(const uint8_t* text, const Token& token, Cell* out);

constexpr int NOT_BUILT = -100;
constexpr int TOKEN_KINDS = K_PATH_CLOSE - FIRST_FINAL + 1;
extern const Loader loaders[TOKEN_KINDS];

inline Loader loader_of(Kind kind) { return loaders[kind - FIRST_FINAL]; }

// The word! a path opener's head names (the path's own type is the token's).
void load_path_head(const uint8_t* text, const Token& token, Cell* out);

// Whether bytes read as a decimal number: an optional sign, digits with "'" group
// marks, an optional "." with digits, an optional exponent; at most 312 bytes. The
// float! text conversion uses it too.
bool check_number_form(const char* start, const char* end);

}  // namespace zol::lexer
