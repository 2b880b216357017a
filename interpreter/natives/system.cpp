// The natives on the running system: stats (memory in use and the memory
// report), recycle (the collector's switch, or a cycle now) and wait (a sleep).
#include <climits>

#include "interpreter/interpreter.h"
#include "interpreter/natives/natives_internal.h"
#include "platform/clock.h"
#include "runtime/collector/collector.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/memory.h"

namespace zol::natives {
namespace {

constexpr int STATS_IN_USE = 0;
constexpr int STATS_REPORT = 2;

// A count of bytes as integer!, or as float! past the integer range.
void answer_bytes(double bytes) {
  if (bytes <= double(INT32_MAX)) *stack::arg(0) = values::integer(int32_t(bytes));
  else float_::make_at(stack::arg(0), bytes);
}

// The report of memory::stats as a new block in `out`.
void memory_report(Cell* out) {
  block::make_at(out, 5);
  memory::stats(series_cell::node(out), STATS_REPORT);
}

// Hands the report to the library's show-memory-stats, by evaluating a block that
// calls it.
void show_report() {
  Cell* call = stack::push_unset();
  block::make_at(call, 2);
  Cell name = word::load("show-memory-stats");
  block::append(call, &name);
  Cell* report = stack::push_unset();
  memory_report(report);
  block::append(call, report);
  interpreter::do_block(call);
  stack::pop(2);
}

}  // namespace

void stats(int, int show, int info) {
  if (show >= 0) {
    show_report();
    *stack::arg(0) = values::unset;
  } else if (info >= 0) {
    memory_report(stack::arg(0));
  } else {
    answer_bytes(memory::stats(0, STATS_IN_USE));
  }
}

void recycle(int, int on, int off) {
  if (on >= 0 || off >= 0) {
    collector::enabled = on >= 0 ? 1 : 0;
    *stack::arg(0) = values::unset;
    return;
  }
  collector::collect();
  answer_bytes(memory::stats(0, STATS_IN_USE));
}

void wait(int, int) {
  Cell* value = stack::arg(0);
  double seconds = value->is(T_INTEGER)                     ? double(cell::get_int(value))
                   : value->is(T_FLOAT) || value->is(T_TIME) ? cell::get_double(value)
                                                             : -1.0;
  int64_t ms = platform::sleep_milliseconds(seconds);
  if (ms < 0) fire(err::script::INVALID_ARG, value);
  platform::sleep_for(ms);
  *value = values::unset;
}

}  // namespace zol::natives
