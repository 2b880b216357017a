// The C++ bodies of the terminal UI engine's routines, registered by the names the
// routines' body blocks in library/view-backend.zol give: the event predicates, the
// widget readers of TUI-helpers, and the backend operations the platform object
// calls.
#include "view/routines.h"

#include "platform/platform.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "view/colors.h"

namespace zol::view {
namespace {

using Args = Cell* const*;

// The result of the body that ran last; the caller copies it at once.
Cell result;

const Cell* answer(const Cell& value) {
  result = value;
  return &result;
}

const Cell* logic(bool v) { return v ? &values::true_value : &values::false_value; }

const Cell* event_q(Args a) { return logic(a[0]->is(T_EVENT)); }

bool same_word(const Cell* a, const Cell* b) {
  return symbol::resolve(word_cell::symbol(a)) == symbol::resolve(word_cell::symbol(b));
}

// A facet is one flag word or a block of them.
const Cell* find_flag_q(Args a) {
  const Cell* facet = a[0];
  const Cell* flag = a[1];
  if (!word_cell::is_word(flag)) return logic(false);
  if (facet->is(T_WORD)) return logic(same_word(facet, flag));
  if (!facet->is(T_BLOCK)) return logic(false);
  for (int32_t i = 0, n = block::length(facet); i < n; i++) {
    const Cell* v = block::cell_at(facet, i);
    if ((v->is(T_WORD) || v->is(T_LIT_WORD)) && same_word(v, flag)) return logic(true);
  }
  return logic(false);
}

// The terminal has no event queue of its own to post to: nothing is delivered.
const Cell* send_event_os(Args) { return logic(false); }

const Cell* check_color_support(Args) {
  std::string colorterm, term;
  platform::get_env("COLORTERM", &colorterm);
  platform::get_env("TERM", &term);
  return answer(values::integer(colors::support_level(colorterm, term)));
}

struct Body {
  const char* name;
  routine::Entry fn;
  int arg_count;
};

const Body BODIES[] = {
    {"event?", event_q, 1},
    {"find-flag?", find_flag_q, 2},
    {"send-event-os", send_event_os, 2},
    {"check-color-support", check_color_support, 0},
};

}  // namespace

void register_routines() {
  static bool done = false;
  if (done) return;
  done = true;
  for (const Body& b : BODIES) routine::add_entry(b.name, b.fn, b.arg_count);
}

}  // namespace zol::view
