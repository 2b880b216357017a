// handle! and triple!: the values the runtime makes and the language can only hold,
// print and compare.
#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "runtime/collector/collector.h"
#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/handle.h"
#include "runtime/memory/extref.h"
#include "runtime/memory/memory.h"
#include "support.h"

namespace zol {
namespace {

Cell handle_of(uint32_t value, handle::Kind kind) {
  Cell c;
  return *handle::make_at(&c, value, kind);
}

TEST(Handle, FormShowsTheValueMoldAllAddsTheKind) {
  test::boot();
  struct Case {
    uint32_t value;
    handle::Kind kind;
    const char* form;
    const char* mold_all;
  };
  const Case cases[] = {
      {0x1A2B, handle::WINDOW, "00001A2Bh", "#[handle! 00001A2Bh window]"},
      {0, handle::NONE, "00000000h", "#[handle! 00000000h]"},
      {0xFFFFFFFF, handle::RICH_TEXT, "FFFFFFFFh", "#[handle! FFFFFFFFh rich-text]"},
      {7, handle::NULL_, "00000007h", "#[handle! 00000007h null]"},
  };
  for (const Case& c : cases) {
    Cell h = handle_of(c.value, c.kind);
    EXPECT_EQ(test::form(h), c.form);
    EXPECT_EQ(test::mold(h), "handle!");
    EXPECT_EQ(test::mold(h, true), c.mold_all);
    EXPECT_EQ(h.w3, 0xFFFFFFFFu);
  }
}

TEST(Handle, ComparesByValueOnlyAndNeverEqualsAnotherType) {
  test::boot();
  Cell window = handle_of(5, handle::WINDOW), font = handle_of(5, handle::FONT);
  Cell larger = handle_of(6, handle::FONT), negative = handle_of(0xFFFFFFFF, handle::FD);
  Cell five = values::integer(5);
  EXPECT_EQ(actions::compare_typed(&window, &font, C_EQUAL), 0);
  EXPECT_EQ(actions::compare_typed(&window, &larger, C_LESSER), -1);
  EXPECT_EQ(actions::compare_typed(&negative, &window, C_LESSER), -1);   // signed
  EXPECT_EQ(actions::compare_typed(&window, &five, C_EQUAL), 1);
  EXPECT_TRUE(actions::compare(&window, &font, C_EQUAL));
  EXPECT_FALSE(actions::compare(&window, &five, C_EQUAL));
}

TEST(Handle, TheNullHandleAndTheLanguageView) {
  test::boot();
  Cell* top = stack::top;
  Cell* h = handle::push_null();
  EXPECT_EQ(test::mold(*h, true), "#[handle! 00000000h]");
  stack::top = top;
  test::check({
      {"make handle! 1", test::eval_error_text(err::script::EXPECT_ARG)},
      {"make triple! [1 2 3]", test::eval_error_text(err::script::EXPECT_ARG)},
  });
}

int released_count = 0;
uintptr_t released_value = 0;
void note_release(uintptr_t value) {
  released_count++;
  released_value = value;
}

TEST(Handle, AWideResourceLivesInItsSlotUntilNoCellHoldsIt) {
  test::boot();
  static const uint32_t handler = uint32_t(extref::register_handler(24, note_release));
  std::thread([] { collector::collect(); }).join();   // earlier tests' garbage goes first
  released_count = 0;
  const uintptr_t wide = uintptr_t(0x7F00DEADBEEFull);
  NodeRef holder = memory::alloc_cells(1);
  Cell* h = memory::alloc_tail_cell(holder);
  handle::make_at_resource(h, wide, handle::WINDOW, handler);
  Cell held = *h;
  EXPECT_EQ(handle::resource(&held), wide);
  EXPECT_EQ(test::form(held), "DEADBEEFh");
  Cell plain = handle_of(0x1234, handle::FD);
  EXPECT_EQ(handle::resource(&plain), 0x1234u);
  collector::collect();
  EXPECT_EQ(released_count, 0);
  memory::buffer_of(holder)->tail = 0;
  held = plain;   // no copy of the resource's cell is left on the native stack
  collector::collect();
  EXPECT_EQ(released_count, 1);
  EXPECT_EQ(released_value, wide);
}

TEST(Triple, FormAndMoldWriteTheMakeText) {
  test::boot();
  struct Case {
    int32_t a, b, c;
    const char* text;
  };
  const Case cases[] = {
      {1, -2, 3, "make triple! [1 -2 3]"},
      {INT32_MIN, 0, INT32_MAX, "make triple! [-2147483648 0 2147483647]"},
  };
  for (const Case& c : cases) {
    Cell t;
    triple::make_at(&t, c.a, c.b, c.c);
    EXPECT_EQ(test::form(t), c.text);
    EXPECT_EQ(test::mold(t), c.text);
  }
}

}  // namespace
}  // namespace zol
