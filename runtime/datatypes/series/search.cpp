// The argument handling that find, select, sort and the set operations share
// across blocks and text: where a search walks, which units a sort covers and how
// its records are laid out, the call of a Zol comparator, and the operands of a
// set operation. What a match or an order means stays with each datatype.
#include <algorithm>
#include <cstring>

#include "runtime/core/callback.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/text/unicode.h"

namespace zol::series {

// --- searching -------------------------------------------------------------------------------

int32_t search_step(const Cell* skip) {
  if (!skip) return 1;
  if (!skip->is(T_INTEGER)) fire_refine_arg(words::skip, skip);
  if (cell::get_int(skip) < 1) fire(err::script::OUT_OF_RANGE, skip);
  return cell::get_int(skip);
}

namespace {

// The last unit a match may start at under /part, -1 for none.
int32_t search_limit(const Cell* s, const Cell* part, int32_t head) {
  int32_t last = buffer_length(s) - 1;
  if (!part) return last;
  if (part->is(T_INTEGER)) {
    int32_t n = cell::get_int(part);
    return n <= 0 ? -1 : int32_t(std::min<int64_t>(int64_t(head) + n - 1, last));
  }
  part_count(s, part);   // the same series, or invalid-refine-arg
  return std::min(head_index(part), last);
}

}  // namespace

bool plan_search(const Cell* s, const Cell* part, const Cell* skip, bool last, bool reverse,
                 int32_t span, bool fit_part, Walk* w) {
  int32_t length = buffer_length(s);
  if (length == 0) return false;
  if (series_cell::head(s) >= length && !reverse) return false;
  w->head = head_index(s);
  w->step = search_step(skip);
  w->limit = search_limit(s, part, w->head);
  if (w->limit >= 0 && fit_part) w->limit -= span - 1;
  if (w->limit < 0) return false;
  w->backwards = last || reverse;
  w->from = !w->backwards ? w->head : part ? w->limit : (last ? length : w->head) - span;
  return w->from >= 0;
}

// --- sorting ---------------------------------------------------------------------------------

Range sort_range(const Cell* s, const Cell* part) {
  int32_t head = head_index(s);
  int32_t count = buffer_length(s) - head;
  if (!part) return {head, count};
  return counted_at(head, part_count(s, part), count);
}

namespace {

int32_t record_size(const Cell* skip, int32_t count, bool all) {
  if (!skip) {
    if (all) fire(err::script::BAD_REFINES);
    return 1;
  }
  int32_t size = skip->is(T_INTEGER) ? cell::get_int(skip) : 0;
  if (size < 1 || size > count || count % size != 0) fire_refine_arg(words::skip, skip);
  return size;
}

}  // namespace

SortRecords sort_records(const Cell* skip, const Cell* compare, bool all, int32_t count) {
  SortRecords r;
  r.all = all;
  r.size = record_size(skip, count, all);
  r.name = values::none;
  if (!compare) return r;
  if (compare->is(T_FUNCTION)) {
    r.function = compare;
    r.name = word::make_global(words::compare_callback);
    return r;
  }
  if (!compare->is(T_INTEGER)) fire_refine_arg(words::compare, compare);
  if (!skip || all) fire(err::script::BAD_REFINES);
  int32_t field = cell::get_int(compare);
  if (field < 1 || field > r.size) fire(err::script::OUT_OF_RANGE, compare);
  r.offset = field - 1;
  return r;
}

void check_sort(zol::sort::Outcome outcome) {
  if (outcome == zol::sort::Outcome::TOO_LARGE) fire(err::script::SIZE_LIMIT);
  if (outcome == zol::sort::Outcome::NO_MEMORY) fire(err::internal::NO_MEMORY);
}

Cell call_comparator(const SortRecords& records, const Cell* first, const Cell* second) {
  if (!interpreter::call_function) fire(err::internal::FEATURE_NA);
  Cell* saved_top = stack::top;
  Cell function = *records.function;
  stack::mark_func(&records.name, function.w1);
  stack::push(first);
  stack::push(second);
  interpreter::call_function(&function, context::global, &records.name,
                             interpreter::CALLBACK_COMPARE);
  Cell answer = *stack::arguments;
  stack::unwind_last();
  stack::top = saved_top;
  return answer;
}

namespace {

void run_at(uint8_t* base, const SortRun& run) {
  auto sorter = run.stable ? zol::sort::mergesort : zol::sort::qsort;
  check_sort(sorter(base, size_t(run.records), run.record_bytes,
                    reinterpret_cast<intptr_t>(run.order), 0, run.compare));
}

// Sorts a private copy of the range and writes it back over what the series holds.
void sort_copy(Cell* s, Range range, const SortRun& run) {
  Cell part = values::integer(range.count);
  Cell from = *s;
  series_cell::set_head(&from, range.start);
  Cell copy = copy_units(&from, &part);
  run_at(buffer(&copy)->head(), run);
  int32_t room = std::max(buffer_length(s) - range.start, 0);
  int32_t n = std::min(range.count, room);
  uint32_t unit = buffer(s)->unit(), copy_unit = buffer(&copy)->unit();
  uint8_t* to = buffer(s)->head() + size_t(range.start) * unit;
  if (unit == copy_unit) std::memcpy(to, buffer(&copy)->head(), size_t(n) * unit);
  else unicode::widen_units(to, unit, buffer(&copy)->head(), copy_unit, uint32_t(n));   // widened
}

}  // namespace

void run_sort(Cell* s, Range range, const SortRun& run, bool on_copy) {
  if (on_copy) sort_copy(s, range, run);
  else run_at(buffer(s)->head() + size_t(range.start) * buffer(s)->unit(), run);
}

Cell* sort_series(Cell* s, const SortOptions& how, SortBody body) {
  Range range = sort_range(s, how.part);
  if (range.count == 0) return s;
  SortRecords records = sort_records(how.skip, how.compare, how.all, range.count);
  bool told = editing(s, E_SORT, &values::none, range.start, range.count);
  range = sort_range(s, how.part);   // the owner may have edited it
  range.count -= range.count % records.size;
  body(s, range, records, how);
  if (told) edited(s, E_SORT, &values::none, range.start, range.count);
  return s;
}

SetOperands set_operands(const Cell* skip, int op) {
  if (skip && (!skip->is(T_INTEGER) || cell::get_int(skip) < 1)) fire_refine_arg(words::skip, skip);
  SetOperands o{*stack::arg(0), op == OP_UNIQUE ? *stack::arg(0) : *stack::arg(1),
                skip ? cell::get_int(skip) : 1};
  series_cell::set_head(&o.first, head_index(&o.first));
  series_cell::set_head(&o.second, head_index(&o.second));
  return o;
}

}  // namespace zol::series
