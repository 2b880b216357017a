// Case mapping (see casefold.h).
#include "runtime/text/casefold.h"

#include <algorithm>

#include "runtime/core/error.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"

namespace zol::case_folding {

namespace {

constexpr uint32_t BASIC_PLANE = 0x10000;
uint32_t upper_table[BASIC_PLANE];
uint32_t lower_table[BASIC_PLANE];

void fill(uint32_t* table, const CaseList& list) {
  std::fill(table, table + BASIC_PLANE, 0u);
  for (uint32_t i = 0; i < list.count; i++) table[list.pairs[i].code_point] = list.pairs[i].mapped;
}

uint32_t search(const CaseList& list, uint32_t cp) {
  const CasePair* end = list.pairs + list.count;
  const CasePair* at = std::lower_bound(list.pairs, end, cp,
                                        [](const CasePair& p, uint32_t key) { return p.code_point < key; });
  return at != end && at->code_point == cp ? at->mapped : cp;
}

// Characters to change from the head: the rest of the string, cut by `part`.
int32_t part_length(const Cell* value, const Cell* part, int32_t rest) {
  if (!part || part->is(T_NONE)) return rest;
  if (part->is(T_INTEGER)) return std::clamp(cell::get_int(part), 0, rest);
  if (part->type() == value->type() && series_cell::node(part) == series_cell::node(value))
    return std::clamp(string::head_index(part) - string::head_index(value), 0, rest);
  series::fire_refine_arg(words::part, part);
}

}  // namespace

void init() {
  fill(upper_table, to_upper_basic);
  fill(lower_table, to_lower_basic);
}

uint32_t change_char(uint32_t cp, bool upper) {
  if (cp >= BASIC_PLANE) return search(upper ? to_upper_supplementary : to_lower_supplementary, cp);
  uint32_t mapped = (upper ? upper_table : lower_table)[cp];
  return mapped ? mapped : cp;
}

uint32_t to_upper_char(uint32_t cp) { return change_char(cp, true); }

uint32_t other_case(uint32_t cp) {
  uint32_t upper = change_char(cp, true);
  return upper != cp ? upper : change_char(cp, false);
}

Cell* change(Cell* value, const Cell* part, bool upper) {
  if (value->is(T_CHAR)) {
    value->w2 = change_char(value->w2, upper);
    return value;
  }
  int32_t count = part_length(value, part, string::clip_length(value));
  uint32_t head = uint32_t(string::head_index(value));
  SeriesBuffer* b = memory::buffer_of(series_cell::node(value));
  for (uint32_t i = head; i < head + uint32_t(count); i++) {
    uint8_t* at = b->head() + i * b->unit();
    uint32_t cp = string::get_char(at, b->unit());
    uint32_t mapped = change_char(cp, upper);
    if (mapped != cp) b = string::poke_char(b, at, mapped);
  }
  return value;
}

}  // namespace zol::case_folding
