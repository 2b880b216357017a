// The loaders of time! and date! literals (see loaders.h for the contract: 0 when
// the token is well formed and *out holds the value, else the datatype id of the
// error the token raises).
#pragma once
#include <cstdint>

#include "interpreter/lexer/scan.h"
#include "runtime/core/cell.h"

namespace zol::lexer {

int load_time(const uint8_t* text, const Token& token, Cell* out);
int load_date(const uint8_t* text, const Token& token, Cell* out);

}  // namespace zol::lexer
