// Test helpers for blocks: values written as source text (loaded by the lexer) and
// results shown as text.
#pragma once
#include <string>

#include "runtime/core/cell.h"

namespace zol::test {

// A block! holding the values of the text, at head 0.
Cell load(const std::string& text);
// The single value the text holds.
Cell value(const std::string& text);
// `value` at a position: the head moved to the 0-based index.
Cell at(const std::string& text, int32_t index);

// The mold of a value; a series is preceded by its index? ("@2 [b c]").
std::string show(const Cell& value);

}  // namespace zol::test
