// tuple!: 3 to 12 unsigned bytes held inside the cell (version numbers, colours),
// with byte-wise arithmetic that saturates at 0 and 255.
//
// Cell: the header's bits 19-22 hold the element count n (3 to 12); payload words
// 1-3 hold the elements as bytes, element 1 at byte 4 of the cell (the low byte of
// word 1); bytes past n are 0.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::tuple {

constexpr int MIN_COUNT = 3;
constexpr int MAX_COUNT = 12;

void init();

int count(const Cell* c);
uint8_t element(const Cell* c, int index);   // 0-based; 0 past the count
// A tuple of `count` bytes (raised to 3 with zeros).
Cell* make_at(Cell* c, const uint8_t* bytes, int count);
Cell* push(const uint8_t* bytes, int count);

// The math actions when a tuple! is either operand (a number on the left is moved
// to the right; subtract and divide then raise not-related).
void do_math(int op);
bool zero_q(const Cell* c);

}  // namespace zol::tuple
