// The word family and issue!: molding, comparison across types and cases,
// conversions, index?, the text of a word, and the compiled-code steps.
#include <gtest/gtest.h>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell w(const char* name, uint8_t type = T_WORD) { return word::load(name, type); }
std::string error(err::Id id) { return test::error_name(id); }

TEST(Words, MoldAndForm) {
  struct Case { uint8_t type; const char* mold; };
  const Case cases[] = {{T_WORD, "x"}, {T_SET_WORD, "x:"}, {T_GET_WORD, ":x"},
                        {T_LIT_WORD, "'x"}, {T_REFINEMENT, "/x"}, {T_ISSUE, "#x"}};
  for (const Case& c : cases) {
    Cell v = w("x", c.type);
    EXPECT_EQ(test::mold(v), c.mold);
    EXPECT_EQ(test::mold(v, true), c.mold);
    EXPECT_EQ(test::form(v), "x") << c.mold;
    Cell out;
    string::make_at(&out, 4);
    EXPECT_EQ(actions::mold_typed(&v, &out, MoldOptions{}, 10), 10 - int(std::strlen(c.mold)));
  }
  EXPECT_EQ(test::mold(w("gr\xC3\xBC\xC3\x9F", T_SET_WORD)), "gr\xC3\xBC\xC3\x9F:");
}

TEST(Words, Compare) {
  struct Case { Cell a, b; int op; int result; };
  const Case cases[] = {
      {w("x"), w("x", T_SET_WORD), C_EQUAL, 0},
      {w("x"), w("x", T_SET_WORD), C_STRICT_EQUAL, 1},
      {w("x"), w("X"), C_EQUAL, 0},
      {w("x"), w("X"), C_STRICT_EQUAL, 1},
      {w("x"), w("x"), C_STRICT_EQUAL, 0},
      {w("x"), w("y"), C_NOT_EQUAL, 1},
      {w("x"), w("x", T_ISSUE), C_EQUAL, -2},
      {w("x", T_ISSUE), w("x"), C_EQUAL, -2},
      {w("x", T_ISSUE), w("X", T_ISSUE), C_EQUAL, 0},
      {w("x"), values::integer(1), C_EQUAL, -2},
      {w("x"), w("x", T_LIT_WORD), C_WORD_CASE, 0},
      {w("x"), w("X", T_LIT_WORD), C_WORD_CASE, 1},
      {w("x"), w("X", T_LIT_WORD), C_WORD, 0},
      {w("x"), w("x", T_SET_WORD), C_WORD, 1},
      {w("x", T_GET_WORD), w("X", T_GET_WORD), C_WORD, 0},
      {w("abc"), w("abd"), C_LESSER, -1},
      {w("ABD"), w("abc"), C_SORT, 1},
      {w("B"), w("a"), C_CASE_SORT, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(actions::compare_typed(&c.a, &c.b, c.op), c.result)
        << test::mold(c.a) << " vs " << test::mold(c.b) << " op " << c.op;
  Cell a = w("x"), b = w("x");
  EXPECT_EQ(actions::compare_typed(&a, &b, C_SAME), 0);
  b.w1 = context::create(1, false, false, 0, 0);
  EXPECT_EQ(actions::compare_typed(&a, &b, C_SAME), 1) << "same? also needs the same context";
}

TEST(Words, IndexOfAFreshAndAnUnresolvedWord) {
  // Through the action entry, as index? is called: the word comes on the frame.
  auto index_of = [](const Cell& word) {
    return test::mold(test::call_on_frame({word}, actions::index_q));
  };
  Cell fresh = w("index-of-fresh");
  int32_t expected = int32_t(context::get_words(context::global)->length());
  EXPECT_EQ(index_of(fresh), std::to_string(expected));
  Cell unresolved{T_WORD, context::global, symbol::make("never-resolved"), uint32_t(-1)};
  EXPECT_EQ(index_of(unresolved), "none");
  EXPECT_EQ(datatype::action(T_REFINEMENT, A_INDEX_Q), nullptr);
  EXPECT_EQ(datatype::action(T_ISSUE, A_INDEX_Q), nullptr);
  EXPECT_EQ(datatype::action(T_SET_WORD, A_INDEX_Q), datatype::action(T_WORD, A_INDEX_Q));
}

TEST(Words, ToStringHandsOutACopy) {
  Cell spelled = w("spelled");
  Cell* text = word::to_string(&spelled);
  EXPECT_EQ(string::to_utf8(text), "spelled");
  string::concatenate_literal(text, "-changed");
  EXPECT_EQ(test::mold(spelled), "spelled") << "editing the text leaves the word alone";
  EXPECT_EQ(test::form(w("spelled")), "spelled");
  stack::top--;
}

TEST(Words, MakeAndTo) {
  struct Case { uint8_t target; Cell spec; const char* mold; };
  Cell text;
  string::make_at(&text, 8);
  string::concatenate_literal(&text, "a b");
  const Case cases[] = {
      {T_SET_WORD, w("x"), "x:"},
      {T_WORD, w("x", T_GET_WORD), "x"},
      {T_WORD, values::of_datatype(T_LOGIC), "logic!"},
      {T_LIT_WORD, values::true_value, "'true"},
      {T_ISSUE, text, "#a b"},
      {T_ISSUE, Cell{T_CHAR, 0, 0xE9, 0}, "#\xC3\xA9"},
      {T_ISSUE, w("y", T_REFINEMENT), "#y"},
  };
  for (const Case& c : cases) {
    Cell proto = values::of_datatype(c.target), spec = c.spec;
    Cell* made = actions::to_typed(&proto, &spec);
    EXPECT_EQ(made->type(), c.target);
    EXPECT_EQ(test::mold(*made), c.mold);
  }
  Cell proto = values::of_datatype(T_WORD), number = values::integer(3);
  EXPECT_EQ(test::raised([&] { actions::make_typed(&proto, &number); }),
            error(err::script::BAD_TO_ARG));
  Cell set_word = w("kept", T_SET_WORD);
  set_word.w1 = context::create(1, false, false, 0, 0);
  Cell* kept = actions::to_typed(&proto, &set_word);
  EXPECT_EQ(kept->w1, set_word.w1) << "the binding is kept";
  Cell issue_ctx{T_ISSUE, 0, symbol::make("1x"), uint32_t(-1)};
  Cell refinement = values::of_datatype(T_REFINEMENT);
  // The spelling check needs the lexer: without it the conversion says so.
  const auto installed_scan_type = word::scan_type;
  word::scan_type = nullptr;
  EXPECT_EQ(test::raised([&] { actions::to_typed(&refinement, &issue_ctx); }),
            error(err::internal::FEATURE_NA));
  word::scan_type = [](const uint8_t* s, uint32_t) { return s[0] >= '0' && s[0] <= '9' ? int(T_INTEGER) : int(T_WORD); };
  EXPECT_EQ(test::raised([&] { actions::to_typed(&refinement, &issue_ctx); }),
            error(err::script::BAD_TO_ARG));
  Cell fine = w("fine", T_ISSUE);
  fine.w1 = 0;
  Cell* r = actions::to_typed(&refinement, &fine);
  EXPECT_EQ(test::mold(*r), "/fine");
  EXPECT_EQ(r->w1, context::global) << "bound to the global context when the word is there";
  word::scan_type = installed_scan_type;
}

TEST(Words, CompiledCodeSteps) {
  Cell* saved = stack::arguments;
  stack::arguments = stack::top;
  Cell target = w("step-target", T_SET_WORD);
  stack::push(&target);
  stack::push(&values::unset);
  EXPECT_EQ(test::raised([] { word::set_arg(); }), error(err::script::NEED_VALUE));
  *stack::arg(1) = values::integer(9);
  EXPECT_EQ(cell::get_int(word::set_arg()), 9);
  Cell read = w("step-target");
  EXPECT_EQ(cell::get_int(word::get_checked(&read)), 9);
  Cell unset_word = w("step-unset");
  EXPECT_EQ(test::raised([&] { word::get_checked(&unset_word); }), error(err::script::NO_VALUE));
  EXPECT_TRUE(word::get_value(&unset_word)->is(T_UNSET));
  stack::top = stack::arguments;
  stack::arguments = saved;
}

TEST(Words, DatatypeNameWordsExist) {
  for (int id = 1; id <= T_LAST; id++) {
    if (!datatype::info(uint8_t(id)).registered) continue;
    uint32_t name = datatype::info(uint8_t(id)).word_symbol;
    ASSERT_NE(name, 0u) << id;
    EXPECT_STREQ(symbol::get_c_string(name), datatype::name(uint8_t(id)));
  }
}

}  // namespace
}  // namespace zol
