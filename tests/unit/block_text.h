// Test helpers for blocks: values written as text, read by a small reader that
// knows the forms these tests need, and results shown as text.
//
// The reader takes integers, decimals (2.5, as float!), words (x x: :x 'x /x, and
// / // as words), paths (a/b/1, 'a/b, a/b:, :a/b), blocks [...], parens (...) and
// the constants #(none) #(true) #(false); it skips ; comments. A token that starts
// a line sets the new-line marker of its cell.
#pragma once
#include <string>

#include "runtime/cell.h"

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
