// libFuzzer target: random bytes loaded as source text and, when they load,
// evaluated, their value molded and any error reported. Evaluation either gives a
// value or raises an error that the try frame receives; either way the stacks end
// where they started and no exit is left pending. The loop natives that can run
// without end, the words that end the process and the readers of standard input
// are taken away first, and a run may evaluate only so many expressions
// (recursion needs no loop native), so that a hang means a fault. A crash, a
// sanitizer report, a hang or a broken rule (abort) is a finding.
#include <cstdint>
#include <cstdlib>

#include "runtime/core/actions.h"
#include "interpreter/interpreter.h"
#include "interpreter/lexer/load.h"
#include "runtime/core/stack.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "support.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"

namespace {

using namespace zol;

// The runtime starts afresh every so many inputs, so that what one input defines
// reaches only a few after it.
constexpr int INPUTS_PER_RUNTIME = 100;

// Expressions one input may evaluate: far more than any input of a useful size
// needs without recursion, and well inside the fuzzer's time limit.
constexpr int64_t EXPRESSIONS_PER_INPUT = 200000;

using fuzz::run_checked;

// Words an input may not run: the loop natives that need not end; the ways out of
// the process (`quit`, the console's `q`, the routine under both), whose exit
// libFuzzer would report as a finding; and the readers of standard input, which
// wait for the fuzzer's own input.
constexpr const char* TAKEN_AWAY[] = {"forever", "while", "until", "loop", "repeat",
                                      "quit", "q", "quit-return",
                                      "ask", "input", "_read-input", "read-stdin", "input-stdin"};

void start_runtime() {
  if (!fuzz::start_runtime_every(INPUTS_PER_RUNTIME)) return;
  for (const char* taken : TAKEN_AWAY) *context::global_value(symbol::make(taken)) = values::none;
}

void show(const Cell& value) {
  run_checked([&] {
    Cell text;
    string::make_at(&text, 16);
    actions::mold_typed(&value, &text, MoldOptions{}, 0);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  start_runtime();
  if (size > (1u << 16)) return 0;
  Cell code = values::none;
  if (!run_checked([&] { lexer::load_utf8(data, uint32_t(size), &code); })) return 0;
  Cell result = values::unset;
  interpreter::eval_budget = EXPRESSIONS_PER_INPUT;
  bool done = run_checked([&] { result = interpreter::do_block(&code); });
  interpreter::eval_budget = -1;
  if (done) {
    show(result);
  } else {
    Cell error = exits::value;
    run_checked([&] { error::report(&error); });
  }
  return 0;
}
