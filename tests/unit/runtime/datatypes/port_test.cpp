// port! with a native actor: a handle! naming a table of implementations serves
// the port's actions from the action's own frame; an empty entry raises access
// no-port-action. (Object actors are tested in tests/zol/port.zol.)
#include <gtest/gtest.h>

#include "runtime/core/context.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/port/port.h"
#include "support.h"

namespace zol {
namespace {

// length? answers 7; pick answers its index argument plus 100.
void native_length() {
  Cell n = values::integer(7);
  stack::set_last(&n);
}
void native_pick() {
  Cell n = values::integer(cell::get_int(stack::arg(1)) + 100);
  stack::set_last(&n);
}

const port::ActorTable& table() {
  static const port::ActorTable t = [] {
    port::ActorTable made;
    made.entries[A_LENGTH_Q - A_APPEND] = native_length;
    made.entries[A_PICK - A_APPEND] = native_pick;
    return made;
  }();
  return t;
}

TEST(PortNativeActor, TheTableServesItsEntriesAndRefusesEmptyOnes) {
  test::boot();
  test::eval("native-actor: none");
  Cell* slot = context::global_value(symbol::make("native-actor"));
  ASSERT_NE(slot, nullptr);
  *slot = port::actor_handle(&table());
  test::check({
      {"append system/schemes reduce ['native make object! [name: 'native title: \"\" "
       "info: none actor: native-actor awake: none]] none",
       "none"},
      {"np: make port! [scheme: 'native] type? np", "port!"},
      {"length? np", "7"},
      {"pick np 5", "105"},
      {"copy np", test::eval_error_text(err::access::NO_PORT_ACTION)},
      {"read np", test::eval_error_text(err::access::NO_PORT_ACTION)},
      {"next np", test::eval_error_text(err::access::NO_PORT_ACTION)},
  });
  EXPECT_EQ(test::eval("e: try [copy np] e/arg1"), "copy") << "the error names the action";
}

}  // namespace
}  // namespace zol
