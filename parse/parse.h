// The parse dialect: matches a rule block against a string, binary or block input.
//
// The engine (engine.cpp) walks the rules, the matchers (match.cpp) decide whether
// one rule value matches at the input's position, and the `parse` native
// (native.cpp) checks the arguments and shapes the result. The engine holds its
// series as cells in C++ locals, which the collector's stack scan sees, and reads
// every buffer again after anything that may run Zol code or grow a series.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::parse {

// The rule stack holds frames of three cells; a run that would need 10001 cells or
// more ends with "PARSE - stack limit reached" instead of exhausting memory or the
// native stack.
constexpr int32_t FRAME_CELLS = 3;
constexpr int32_t STACK_LIMIT_CELLS = 10001;

struct Options {
  bool case_sensitive = false;
  // Absolute input index at which the input counts as ended; negative: no limit.
  int32_t limit = -1;
  // The trace callback (a function!), or null.
  const Cell* callback = nullptr;
};

// Runs the rules over the input from its position: true or false, or the block a
// top-level `collect` gathered.
Cell run(const Cell& input, const Cell& rules, const Options& options);

}  // namespace zol::parse
