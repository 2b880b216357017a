// char!: arithmetic kept inside the Unicode range, the actions it takes from
// integer!, comparison, make and to, and the form and mold texts with their
// caret escapes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell C(uint32_t cp) { return char_::value(cp); }
Cell I(int32_t v) { return values::integer(v); }
Cell F(double d, uint8_t type = T_FLOAT) {
  Cell c;
  return *float_::make_at(&c, d, type);
}

const std::string OVERFLOW_ = test::error_name(err::math::OVERFLOW);
const std::string ZERO_DIVIDE = test::error_name(err::math::ZERO_DIVIDE);
const std::string INVALID_TYPE = test::error_name(err::script::INVALID_TYPE);
const std::string OUT_OF_RANGE = test::error_name(err::script::OUT_OF_RANGE);
const std::string BAD_TO_ARG = test::error_name(err::script::BAD_TO_ARG);

// A char! result's code point, or the error raised ("category/id").
struct Outcome {
  uint32_t cp;
  std::string error;
};
Outcome R(uint32_t cp) { return {cp, ""}; }
Outcome E(const std::string& e) { return {0, e}; }

Outcome outcome_of(const std::function<Cell()>& compute) {
  Cell r{};
  std::string e = test::raised([&] { r = compute(); });
  if (!e.empty()) return E(e);
  EXPECT_TRUE(r.is(T_CHAR)) << "result type " << int(r.type());
  return R(r.w2);
}

void expect_outcome(const Outcome& got, const Outcome& want, const std::string& what) {
  EXPECT_EQ(got.error, want.error) << what;
  EXPECT_EQ(got.cp, want.cp) << what;
}

TEST(Char, ArithmeticStaysInsideTheUnicodeRange) {
  struct Case { void (*entry)(); const char* op; Cell a, b; Outcome want; };
  const Case cases[] = {
      {actions::add, "+", C('a'), I(1), R('b')},
      {actions::add, "+", C('a'), C(1), R('b')},
      {actions::subtract, "-", C('a'), I(97), R(0)},
      {actions::subtract, "-", C('a'), I(98), E(OVERFLOW_)},
      {actions::add, "+", C(0x10FFFF), I(1), E(OVERFLOW_)},
      {actions::add, "+", C(0x10FFFE), I(1), R(0x10FFFF)},
      {actions::multiply, "*", C(0x10FFFF), I(0x10FFFF), E(OVERFLOW_)},  // past the integers
      {actions::add, "+", C('a'), I(2147483647), E(OVERFLOW_)},
      {actions::multiply, "*", C('a'), F(2.9), R(194)},   // 2.9 truncates to 2
      {actions::subtract, "-", C('a'), F(-1.5), R('b')},
      {actions::divide, "/", C('a'), I(2), R(48)},        // a truncated quotient
      {actions::divide, "/", C('a'), I(0), E(ZERO_DIVIDE)},
      {actions::divide, "/", C('a'), I(-1), E(OVERFLOW_)},
      {actions::remainder, "rem", C('a'), I(10), R(7)},
      {actions::remainder, "rem", C('a'), I(0), E(ZERO_DIVIDE)},
      {actions::or_t, "or", C('A'), I(32), R('a')},
      {actions::and_t, "and", C('a'), I(95), R('A')},
      {actions::xor_t, "xor", C('a'), C(' '), R('A')},
      {actions::add, "+", C('a'), F(1e10), E(OUT_OF_RANGE)},
      {actions::add, "+", C('a'), F(0.5, T_PERCENT), E(INVALID_TYPE)},
      {actions::add, "+", C('a'), values::none, E(INVALID_TYPE)},
  };
  for (const Case& c : cases)
    expect_outcome(outcome_of([&] { return test::call_on_frame({c.a, c.b}, c.entry); }), c.want,
                   std::to_string(c.a.w2) + " " + c.op + " " + test::mold(c.b));
}

TEST(Char, ActionsTakenFromIntegerAndRefused) {
  Cell abs = test::call_on_frame({C('a')}, actions::absolute);
  EXPECT_TRUE(abs.is(T_CHAR));
  EXPECT_EQ(abs.w2, uint32_t('a'));
  for (uint32_t cp : {uint32_t('a'), uint32_t('b')}) {
    Cell even = test::call_on_frame({C(cp)}, actions::even_q);
    EXPECT_EQ(logic::get(&even), cp % 2 == 0) << cp;
  }
  for (int i = 0; i < 50; i++) {
    Cell r = test::call_on_frame({C('z')}, [] { actions::random(-1, -1, -1); });
    EXPECT_TRUE(r.is(T_CHAR));
    EXPECT_TRUE(r.w2 >= 1 && r.w2 <= 'z') << r.w2;
  }
  const std::string expect_arg = test::error_name(err::script::EXPECT_ARG);
  // reflect's second argument is a word (the field asked for); the others ignore it.
  const Cell field{T_WORD, 0, symbol::make("spec"), uint32_t(-1)};
  for (void (*entry)() : {actions::negate, actions::complement, actions::reflect})
    EXPECT_EQ(test::raised([&] { test::call_on_frame({C('a'), field}, entry); }), expect_arg);
  EXPECT_EQ(test::raised([] { test::call_on_frame({C('a'), I(2)}, actions::power); }),
            expect_arg);
  EXPECT_EQ(datatype::info(T_CHAR).parent, T_INTEGER);
}

TEST(Char, CompareWithCharsAndIntegers) {
  struct Case { Cell a, b; int op; bool holds; };
  const Case cases[] = {
      {C('a'), I(97), C_EQUAL, true},
      {C('a'), I(97), C_STRICT_EQUAL, false},
      {C('a'), I(97), C_FIND, false},
      {C('a'), C('a'), C_STRICT_EQUAL, true},
      {C('a'), C('A'), C_EQUAL, false},
      {C('a'), C('b'), C_LESSER, true},
      {C(0x10FFFF), I(-1), C_GREATER, true},
      {C('a'), F(97.0), C_EQUAL, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(actions::compare(&c.a, &c.b, c.op), c.holds) << c.a.w2 << " op " << c.op;
  Cell a = C('a'), f = F(97.0);
  EXPECT_EQ(actions::compare_typed(&a, &f, C_EQUAL), COMPARE_NOT_COMPARABLE);
}

TEST(Char, MakeAndTo) {
  Cell wide = test::text(U"\u263A");
  Cell past_head = test::text(U"ab");
  series_cell::set_head(&past_head, 1);
  struct Case { const char* what; Cell spec; Outcome want; };
  const Case cases[] = {
      {"text", test::text(U"xyz"), R('x')},
      {"text from its head", past_head, R('b')},
      {"wide text", wide, R(0x263A)},
      {"empty text", test::text(U""), E(BAD_TO_ARG)},
      {"integer", I(65), R('A')},
      {"top of the range", I(0x10FFFF), R(0x10FFFF)},
      {"past the range", I(0x110000), E(OUT_OF_RANGE)},
      {"negative", I(-1), E(OUT_OF_RANGE)},
      {"char", C(0xE9), R(0xE9)},
      {"float", F(65.9), R('A')},
      {"percent", F(66.5, T_PERCENT), R('B')},
      {"float past the integers", F(1e20), E(OUT_OF_RANGE)},
      {"utf-8", test::binary({0xE2, 0x82, 0xAC}), R(0x20AC)},
      {"ascii byte", test::binary({'q', 0xFF}), R('q')},
      {"cut utf-8", test::binary({0xE2, 0x82}), E(BAD_TO_ARG)},
      {"empty binary", test::binary({}), E(BAD_TO_ARG)},
      {"bad utf-8", test::binary({0xFF}), E(test::error_name(err::access::INVALID_UTF8))},
      {"none", values::none, E(BAD_TO_ARG)},
  };
  for (const Case& c : cases) {
    Cell spec = c.spec;
    expect_outcome(outcome_of([&] {
                     Cell proto = values::of_datatype(T_CHAR);
                     return *actions::to_typed(&proto, &spec);
                   }),
                   c.want, c.what);
  }
  Cell proto = values::of_datatype(T_CHAR);
  Cell spec = I(66);
  EXPECT_EQ(actions::make_typed(&proto, &spec)->w2, uint32_t('B')) << "make is to";
}

TEST(Char, FormAndMoldEscapes) {
  struct Case { uint32_t cp; const char* mold; const char* mold_all; };
  const Case cases[] = {
      {'a', "#\"a\"", "#\"a\""},
      {' ', "#\" \"", "#\" \""},
      {0, "#\"^@\"", "#\"^@\""},
      {1, "#\"^A\"", "#\"^A\""},
      {9, "#\"^-\"", "#\"^-\""},
      {10, "#\"^/\"", "#\"^/\""},
      {13, "#\"^M\"", "#\"^M\""},
      {27, "#\"^[\"", "#\"^[\""},
      {28, "#\"^\\\"", "#\"^\\\""},
      {29, "#\"^]\"", "#\"^]\""},
      {0x1E, "#\"^(1E)\"", "#\"^(1E)\""},
      {0x1F, "#\"^_\"", "#\"^_\""},
      {'"', "#\"^\"\"", "#\"^\"\""},
      {'^', "#\"^^\"", "#\"^^\""},
      {'{', "#\"{\"", "#\"{\""},
      {0x7F, "#\"^~\"", "#\"^~\""},
      {0x80, "#\"^(80)\"", "#\"^(80)\""},
      {0x9F, "#\"^(9F)\"", "#\"^(9F)\""},
      {0xE9, "#\"\xC3\xA9\"", "#\"^(E9)\""},
      {0x263A, "#\"\xE2\x98\xBA\"", "#\"^(263A)\""},
      {0x10FFFF, "#\"\xF4\x8F\xBF\xBF\"", "#\"^(10FFFF)\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(test::mold(C(c.cp)), c.mold) << c.cp;
    EXPECT_EQ(test::mold(C(c.cp), true), c.mold_all) << c.cp;
  }
  EXPECT_EQ(test::form(C('a')), "a");
  EXPECT_EQ(test::form(C(10)), "\n");
  EXPECT_EQ(test::form(C(0x263A)), "\xE2\x98\xBA");
  Cell out = actions::form_to_string(&values::unset);
  Cell v = C(10);
  EXPECT_EQ(actions::mold_typed(&v, &out, MoldOptions{}, 10), 6);
  EXPECT_EQ(actions::form_typed(&v, &out, nullptr, 10), 9);
}

}  // namespace
}  // namespace zol
