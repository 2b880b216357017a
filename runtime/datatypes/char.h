// char!: one Unicode code point, a child of integer!.
//
// Cell: word 2 the code point, 0 to 0x10FFFF; words 1 and 3 are 0. Arithmetic
// runs through integer!'s checked core and must stay inside that range.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::char_ {

constexpr uint32_t MAX_CODE_POINT = 0x10FFFF;

void init();

inline Cell value(uint32_t cp) { return Cell{T_CHAR, 0, cp, 0}; }
Cell* push(uint32_t cp);
void make_in(NodeRef block, uint32_t cp);

// The math actions on the frame's two arguments, the left a char!: the right
// operand (char!, integer!, or a float! truncated towards zero) is combined with
// integer!'s core; a result outside 0 to 0x10FFFF raises math overflow. The left
// cell keeps its type and takes the result.
void do_math(int op);

}  // namespace zol::char_
