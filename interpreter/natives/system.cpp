// The natives on the running system: stats (memory in use and the memory
// report), recycle (the collector's switch, or a cycle now), wait (a sleep), and
// those over the platform's services: get-env, set-env and size?.
#include <climits>
#include <string>

#include "interpreter/interpreter.h"
#include "interpreter/natives/natives.h"
#include "interpreter/natives/natives_internal.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "runtime/collector/collector.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/simple_io.h"
#include "runtime/datatypes/string/string.h"
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


// A variable's name: the text of a string or the spelling of a word.
std::string name_of(const Cell* var) {
  if (!word::any_word(var->type())) return string::to_utf8(var);
  Cell* spelling = word::to_string(var);
  std::string name = string::to_utf8(spelling);
  stack::pop(1);
  return name;
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

bool (*wait_pump)() = nullptr;

void wait(int, int) {
  Cell* value = stack::arg(0);
  double seconds = value->is(T_INTEGER)                     ? double(cell::get_int(value))
                   : value->is(T_FLOAT) || value->is(T_TIME) ? cell::get_double(value)
                                                             : -1.0;
  int64_t ms = platform::sleep_milliseconds(seconds);
  if (ms < 0) fire(err::script::INVALID_ARG, value);
  int64_t deadline = platform::monotonic_ms() + ms;
  for (int64_t left = ms; left > 0; left = deadline - platform::monotonic_ms()) {
    if (!wait_pump || !wait_pump()) {
      platform::sleep_for(left);
      break;
    }
    if (exits::pending) return;
    platform::sleep_for(left < WAIT_ROUND_MS ? left : WAIT_ROUND_MS);
  }
  *stack::arg(0) = values::unset;
}

// A variable that is not set gives none.
void get_env(int) {
  std::string value;
  if (!platform::get_env(name_of(stack::arg(0)).c_str(), &value)) {
    stack::set_last(&values::none);
    return;
  }
  Cell text;
  string::load(reinterpret_cast<const uint8_t*>(value.data()), uint32_t(value.size()), &text,
               string::ENCODING_UTF8);
  stack::set_last(&text);
}

// none removes the variable.
void set_env(int) {
  const Cell* value = stack::arg(1);
  std::string name = name_of(stack::arg(0));
  std::string text = value->is(T_NONE) ? std::string() : string::to_utf8(value);
  platform::set_env(name.c_str(), value->is(T_NONE) ? nullptr : text.c_str());
  stack::set_last(value);
}

void size_q(int) {
  Cell size = simple_io::size_of(stack::arg(0));
  stack::set_last(&size);
}

}  // namespace zol::natives
