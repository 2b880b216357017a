// Strings between cells and code points, for the routine bodies that scan or
// write text one character at a time (the JSON and CSV codecs).
#pragma once
#include <cstdint>
#include <string>

#include "runtime/core/cell.h"

namespace zol::library::text {

// A new string! holding the code points, in the narrowest unit that fits them.
Cell make_string(const std::u32string& text);
// A new string! holding `count` characters of another buffer's unit, copied as
// they are from `at`.
Cell copy_units(const uint8_t* at, uint32_t unit, int32_t count);
// The code points of a string from its head to its tail.
std::u32string code_points(Cell* s);
// Appends the UTF-8 bytes of a code point.
void append_utf8(std::string& out, uint32_t c);

}  // namespace zol::library::text
