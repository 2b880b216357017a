// The `parse` native: checks the input, the /part limit and the trace callback,
// and runs the engine.
#include "interpreter/natives/natives_internal.h"
#include "parse/parse.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/series/series.h"

namespace zol::natives {
namespace {

// The absolute index /part names: a count from the input's position, or a
// position in the input itself.
int32_t part_end(const Cell& input, const Cell& part) {
  int32_t head = series_cell::head(&input);
  if (part.is(T_INTEGER)) return head + cell::get_int(&part);
  if (part.is(T_FLOAT)) return head + int32_t(cell::get_double(&part));
  bool same = part.type() == input.type() && series_cell::node(&part) == series_cell::node(&input);
  if (!same) series::fire_refine_arg(words::part, &part);
  return series_cell::head(&part);
}

}  // namespace

void parse(int, int case_, int part, int trace) {
  Cell input = *stack::arg(0);
  Cell rules = *stack::arg(1);
  // vector! and image! are series the dialect has no units for.
  if (input.is(T_VECTOR) || input.is(T_IMAGE)) actions::fire_expect_arg(input.type());
  parse::Options options;
  options.case_sensitive = case_ >= 0;
  if (part >= 0) {
    options.limit = part_end(input, *stack::arg(part));
    if (options.limit < 1) {
      Cell empty = values::logic(series::get_length(&input, false) == 0);
      stack::set_last(&empty);
      return;
    }
  }
  Cell callback = trace >= 0 ? *stack::arg(trace) : values::none;
  if (trace >= 0) options.callback = &callback;
  Cell result = parse::run(input, rules, options);
  stack::set_last(&result);
}

}  // namespace zol::natives
