// Sorting text: records of /skip characters ordered by one character (the first,
// or the /compare field), by all of them (/all), or by a Zol function.
//
// The characters are compared in place with a comparator made for the buffer's
// unit. Ignoring case, Latin-1 text folds only the ASCII letters (to lower case,
// without the case tables); wider text folds every character through the case
// tables (to upper case). A Zol comparator works on a private copy, as for blocks.
#include <algorithm>
#include <climits>

#include "runtime/core/action_types.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/vector.h"
#include "runtime/numeric/sort.h"
#include "runtime/core/values.h"

namespace zol::string {

namespace {

// One sort's view of a record comparison (the comparator's first argument).
struct Order {
  bool exact;
  bool reverse;
  series::SortRecords records;
  uint32_t unit;
  uint8_t vector_type = 0;   // a vector!'s element type: its units are numbers
};

template <uint32_t Unit>
uint32_t sort_fold(uint32_t c, bool exact) {
  if (Unit == 1) return !exact && c >= 'A' && c <= 'Z' ? c + 32 : c;
  return fold(c, exact);
}

// Compares two records field by field through `key` (a field's sort key), the
// order turned round with /reverse.
template <class Key>
int32_t compare_by(const void* a, const void* b, const Order& o, Key key) {
  auto* x = static_cast<const uint8_t*>(a);
  auto* y = static_cast<const uint8_t*>(b);
  if (o.reverse) std::swap(x, y);
  int32_t first = o.records.all ? 0 : o.records.offset;
  int32_t end = o.records.all ? o.records.size : first + 1;
  for (int32_t i = first; i < end; i++) {
    auto kx = key(x + size_t(i) * o.unit), ky = key(y + size_t(i) * o.unit);
    if (kx != ky) return kx < ky ? -1 : 1;
  }
  return 0;
}

template <uint32_t Unit>
int32_t compare_chars(const void* a, const void* b, intptr_t order, intptr_t) {
  const Order& o = *reinterpret_cast<const Order*>(order);
  return compare_by(a, b, o, [&](const uint8_t* at) {
    return sort_fold<Unit>(get_char(at, Unit), o.exact);
  });
}

// vector! elements order as the numbers they hold, signed, not as code units.
int32_t compare_numbers(const void* a, const void* b, intptr_t order, intptr_t) {
  const Order& o = *reinterpret_cast<const Order*>(order);
  return compare_by(a, b, o, [&](const uint8_t* at) {
    return vector::number_at(at, o.unit, o.vector_type);
  });
}

// What a Zol comparator answers, as an order: true 1, false -1; a number the
// opposite of its sign; none -1; anything else 1.
int32_t order_of_answer(const Cell* r) {
  switch (r->type()) {
    case T_LOGIC: return logic::get(r) ? 1 : -1;
    case T_INTEGER: {
      int32_t n = cell::get_int(r);
      return n == INT32_MIN ? INT32_MAX : -n;
    }
    case T_FLOAT: {
      double d = cell::get_double(r);
      return d > 0 ? -1 : d < 0 ? 1 : 0;
    }
    case T_NONE: return -1;
    default: return 1;
  }
}

// The record at `at` as a value for a Zol comparator: the compared character, or
// with /all a new string holding the whole record.
Cell record_value(const uint8_t* at, const Order& o) {
  if (!o.records.all)
    return Cell{T_CHAR, 0, get_char(at + size_t(o.records.offset) * o.unit, o.unit), 0};
  Cell record;
  make_at_units(&record, uint32_t(o.records.size), o.unit);
  SeriesBuffer* b = memory::buffer_of(series_cell::node(&record));
  std::copy(at, at + size_t(o.records.size) * o.unit, b->head());
  b->tail = b->offset + uint32_t(o.records.size) * o.unit;
  return record;
}

// The comparator hears the two records in order, the other way round with /reverse.
int32_t call_records(const void* a, const void* b, intptr_t order, intptr_t) {
  const Order& o = *reinterpret_cast<const Order*>(order);
  Cell first = record_value(static_cast<const uint8_t*>(a), o);
  Cell second = record_value(static_cast<const uint8_t*>(b), o);
  Cell answer = o.reverse ? series::call_comparator(o.records, &second, &first)
                          : series::call_comparator(o.records, &first, &second);
  return order_of_answer(&answer);
}

zol::sort::Comparator comparator_for(const Order& o) {
  if (o.records.function) return call_records;
  if (o.vector_type) return compare_numbers;
  switch (o.unit) {
    case 1: return compare_chars<1>;
    case 2: return compare_chars<2>;
    case 4: return compare_chars<4>;
    default: bad_unit();
  }
}

void sort_units(Cell* s, series::Range range, const series::SortRecords& records,
                const SortOptions& how) {
  Order o{how.case_, how.reverse, records, series::buffer(s)->unit()};
  if (s->is(T_VECTOR)) o.vector_type = uint8_t(s->w3);
  series::run_sort(s, range, {range.count / o.records.size, size_t(o.records.size) * o.unit,
                              how.stable, comparator_for(o), &o},
                   o.records.function != nullptr);
}

}  // namespace

Cell* sort(Cell* s, const SortOptions& how) { return series::sort_series(s, how, sort_units); }

}  // namespace zol::string
