// The sort engine: two in-place sorts over raw memory, shared by the sort actions
// of blocks and strings. Both see the data only as n elements of a fixed byte
// width, ordered by a comparator, so callers decide what an element is (a cell, a
// /skip group of cells, a character unit) and how two elements compare.
//
// A comparator may call back into Zol code, which may raise an error (the sort then
// unwinds, leaving the data permuted but intact) or run the collector (the data
// does not move: `base` is on the native stack and pins its buffer). Callers whose
// comparator can modify the series being sorted sort a private copy.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zol::sort {

// Negative when a sorts before b, 0 when equal, positive when after; the two
// arguments are passed through unchanged.
using Comparator = int32_t (*)(const void* a, const void* b, intptr_t arg1, intptr_t arg2);

// What a sort answers: the data sorted, or why the merge sort could not start (its
// buffer would pass the 32-bit byte size every buffer of the runtime has, or could
// not be had); the data is then untouched. The engine knows nothing of errors:
// callers raise them (series::check_sort).
enum class Outcome { SORTED, TOO_LARGE, NO_MEMORY };

// Unstable quick sort; allocates nothing, so it always sorts.
Outcome qsort(void* base, size_t n, size_t width, intptr_t arg1, intptr_t arg2, Comparator cmp);
// Stable merge sort (powersort over natural runs); allocates (n / 2) * width bytes.
Outcome mergesort(void* base, size_t n, size_t width, intptr_t arg1, intptr_t arg2,
                  Comparator cmp);
// Exchanges two elements, 32 bits at a time when the width allows.
void swap(void* a, void* b, size_t width, bool bytewise);

}  // namespace zol::sort
