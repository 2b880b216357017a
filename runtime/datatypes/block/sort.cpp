// Sorting blocks and the set operations on blocks.
//
// sort orders records of /skip cells with the sort engine: in place when the
// comparison is the typed compare action, or over a private copy when a Zol
// function compares (it may grow, move or empty the block meanwhile; the result is
// written back into whatever the block then holds).
//
// The set operations build their result in a new block indexed by its own hash
// table, looking membership up in the other operand's table.
#include <algorithm>

#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/collector/collector.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/numeric/sort.h"
#include "runtime/core/values.h"

namespace zol::block {
namespace {

// --- the comparator ------------------------------------------------------------------------

// One sort's view of a record comparison (the comparator's first argument).
struct Order {
  int op;                   // C_SORT, or C_CASE_SORT with /case
  bool reverse;
  series::SortRecords records;
};

int typed_order(const Cell* a, const Cell* b, int op) {
  int r = compare_cells(a, b, op);
  if (r == COMPARE_NOT_COMPARABLE) return a->type() < b->type() ? -1 : a->type() > b->type();
  return r;
}

int32_t compare_typed_records(const Cell* a, const Cell* b, const Order& o) {
  if (o.reverse) std::swap(a, b);
  if (!o.records.all) return typed_order(a + o.records.offset, b + o.records.offset, o.op);
  for (int32_t i = 0; i < o.records.size; i++)
    if (int r = typed_order(a + i, b + i, o.op)) return r;
  return 0;
}

// Two reusable blocks that hand whole records to a Zol comparator (/all with
// /skip). They are rooted here and shrunk again after a sort that grew them large.
NodeRef record_blocks[2] = {0, 0};
constexpr uint32_t LARGE_RECORD_BYTES = 0x1FFFFF;

void mark_record_blocks() {
  for (NodeRef b : record_blocks)
    if (b) collector::mark_block(b);
}

Cell record_block(int which, const Cell* record, int32_t size) {
  if (!record_blocks[which]) {
    if (!record_blocks[0] && !record_blocks[1]) collector::keep(mark_record_blocks);
    record_blocks[which] = memory::alloc_cells(size);
  }
  Cell blk{T_BLOCK, 0, record_blocks[which], 0};
  truncate_at(&blk, 0);
  for (int32_t i = 0; i < size; i++) append(&blk, record + i);
  return blk;
}

void shrink_record_blocks() {
  for (NodeRef& b : record_blocks)
    if (b && memory::buffer_of(b)->size > LARGE_RECORD_BYTES) b = 0;
}

// The truth a Zol comparator answers, as an order.
int32_t order_of_answer(const Cell* r) {
  switch (r->type()) {
    case T_LOGIC: return logic::get(r) ? 1 : -1;
    case T_INTEGER: return cell::get_int(r);
    case T_FLOAT: {
      double d = cell::get_double(r);
      return d > 0 ? 1 : d < 0 ? -1 : 0;
    }
    case T_NONE: return -1;
    default: return 1;
  }
}

// The comparator hears the second record first unless /reverse.
int32_t call_records(const Cell* a, const Cell* b, const Order& o) {
  const series::SortRecords& r = o.records;
  Cell first = r.all ? record_block(0, a, r.size) : a[r.offset];
  Cell second = r.all ? record_block(1, b, r.size) : b[r.offset];
  Cell answer = o.reverse ? series::call_comparator(r, &first, &second)
                          : series::call_comparator(r, &second, &first);
  return order_of_answer(&answer);
}

int32_t compare_records(const void* a, const void* b, intptr_t order, intptr_t) {
  const Order& o = *reinterpret_cast<const Order*>(order);
  auto* x = static_cast<const Cell*>(a);
  auto* y = static_cast<const Cell*>(b);
  return o.records.function ? call_records(x, y, o) : compare_typed_records(x, y, o);
}

void sort_cells(Cell* blk, series::Range range, const series::SortRecords& records,
                const SortOptions& how) {
  Order o{how.case_ ? C_CASE_SORT : C_SORT, how.reverse, records};
  series::run_sort(blk, range, {range.count / o.records.size, o.records.size * sizeof(Cell),
                                how.stable, compare_records, &o},
                   o.records.function != nullptr);
  if (o.records.function) shrink_record_blocks();
  reindex(blk, range.start);
}

}  // namespace

Cell* sort(Cell* blk, const SortOptions& how) { return series::sort_series(blk, how, sort_cells); }

// --- set operations -------------------------------------------------------------------------

namespace {

// Membership of a value in the other operand, from its head.
struct Members {
  Cell series;
  NodeRef table;   // the operand's own (hash!) or a temporary one
};

Members members_of(const Cell* operand) {
  NodeRef table = hash_table(operand);
  if (!table) table = hashtable::init(series::buffer_length(operand), series_cell::node(operand),
                                      hashtable::K_HASH);
  return {*operand, table};
}

bool is_member(const Members& m, const Cell* key, int op) {
  if (is_any_block(key->type())) {
    Search how{key};
    how.only = true;
    how.case_ = op == C_STRICT_EQUAL;
    int32_t span;
    return search(&m.series, how, &span) >= 0;
  }
  Cell k = *key;
  return hashtable::get(m.table, &k, series::head_index(&m.series), 1, op) != nullptr;
}

bool needs_members(int op) { return op == OP_INTERSECT || op == OP_EXCLUDE || op == OP_DIFFERENCE; }

// One pass over `from`: its records whose first cell passes the membership test
// and is not yet in the result are appended to it.
void collect_records(Cell* result, const Cell* from, const Cell* other, int set_op, int32_t step,
                     int op) {
  Members m = needs_members(set_op) ? members_of(other) : Members{values::none, 0};
  Cell source = *from;
  for (int32_t i = series::head_index(&source); i < series::buffer_length(&source); i += step) {
    Cell key = *cell_at(&source, i);
    if (m.table && is_member(m, &key, op) != (set_op == OP_INTERSECT)) continue;
    if (hashtable::get(result->w3, &key, 0, step, op)) continue;
    int32_t end = std::min(i + step, series::buffer_length(&source));
    for (int32_t k = i; k < end; k++) {
      Cell c = *cell_at(&source, k);
      append_value(result, &c);
    }
  }
}

}  // namespace

void do_set_op(bool case_, const Cell* skip, int op) {
  auto [first, second, step] = series::set_operands(skip, op);
  int32_t capacity = length(&first) + (op == OP_UNION ? length(&second) : 0);
  Cell* result = stack::push_unset();
  make_at(result, capacity, T_HASH);
  result->w3 = hashtable::init(capacity, series_cell::node(result), hashtable::K_HASH);
  int compare_op = case_ ? C_STRICT_EQUAL : C_EQUAL;
  collect_records(result, &first, &second, op, step, compare_op);
  if (op == OP_UNION || op == OP_DIFFERENCE)
    collect_records(result, &second, &first, op, step, compare_op);
  if (!first.is(T_HASH) && !second.is(T_HASH)) {
    cell::set_type(result, T_BLOCK);
    result->w3 = 0;
  }
  stack::set_result(result);
}

}  // namespace zol::block
