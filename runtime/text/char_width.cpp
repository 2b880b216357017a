// The display-width lookup over the generated range tables.
#include "runtime/text/char_width.h"

#include <algorithm>

namespace zol::unicode {

bool range_search(uint32_t cp, const CodeRange* ranges, size_t count) {
  if (count == 0 || cp < ranges[0].first || cp > ranges[count - 1].last) return false;
  // The last range starting at or before cp is the only one that can hold it.
  const CodeRange* after = std::upper_bound(
      ranges, ranges + count, cp, [](uint32_t c, const CodeRange& r) { return c < r.first; });
  return after != ranges && cp <= after[-1].last;
}

int char_width(uint32_t cp) {
  if (cp == 0) return 0;
  if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return 1;
  if (range_search(cp, zero_width_ranges, zero_width_ranges_count)) return 0;
  if (range_search(cp, wide_ranges, wide_ranges_count)) return 2;
  return 1;
}

}  // namespace zol::unicode
