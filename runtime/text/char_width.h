// Character display widths: how many terminal cells a code point takes. None for
// the combining marks (and the Hangul medial and final jamo, which join the
// syllable before them), two for the East Asian wide and full-width classes, one
// for everything else, control characters included.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zol::unicode {

// An inclusive range of code points.
struct CodeRange {
  uint32_t first;
  uint32_t last;
};

// 0, 1 or 2.
int char_width(uint32_t cp);

// True when cp lies in one of the sorted, non-overlapping ranges.
bool range_search(uint32_t cp, const CodeRange* ranges, size_t count);

// The generated tables (char_width_tables.cpp).
extern const CodeRange zero_width_ranges[];
extern const size_t zero_width_ranges_count;
extern const CodeRange wide_ranges[];
extern const size_t wide_ranges_count;

}  // namespace zol::unicode
