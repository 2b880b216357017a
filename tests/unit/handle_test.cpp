// handle! and triple!: the values the runtime makes and the language can only hold,
// print and compare.
#include <gtest/gtest.h>

#include <climits>

#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/handle.h"
#include "support.h"
#include "zol_text.h"

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
