// integer!: 32-bit signed integers whose arithmetic never wraps.
//
// Cell: word 2 holds the value; words 1 and 3 are 0. char! shares the layout and
// the arithmetic core below.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::integer {

void init();

inline int32_t get(const Cell* c) { return cell::get_int(c); }
int32_t get_arg();                       // value of the frame's first argument
int32_t get_arg_checked();               // the same when it is an integer!, else 0
Cell* box(int32_t value);                // the frame's result becomes the integer
Cell* make_at(Cell* c, int32_t value);
void make_in(NodeRef block, int32_t value);
Cell* push(int32_t value);
inline int sign(int32_t v) { return (v > 0) - (v < 0); }
int32_t abs(int32_t value);              // -2147483648 raises math overflow
// True when a float! lies outside the integer range, or is NaN or infinite.
bool float_overflow(const Cell* float_cell);

// Decimal text of a value written into buf (12 bytes suffice); returns its length.
int form_signed(int32_t value, char* buf);

// The arithmetic core on two values for the math op codes 0-7 (action_types.h).
// With a result cell, a sum, difference or product outside the integers, or an
// inexact quotient, is written there as a float! and 0 is returned; otherwise the
// value goes to word 2 of the result cell (its header stays, so a char! stays a
// char!). Without one, such a result raises math overflow and a quotient is
// truncated. Division and remainder by 0 raise zero-divide, and of -2147483648 by
// -1 overflow.
int32_t do_math_op(int32_t left, int32_t right, int op, Cell* result);
// The math actions on the frame's two arguments; the result replaces the first.
void do_math(int op);

// An issue's spelling read as at most 8 hexadecimal digits (anything else raises
// invalid-data with the issue).
int32_t from_hex_spelling(const char* spelling, size_t length, const Cell* issue);

}  // namespace zol::integer
