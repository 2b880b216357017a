// integer!: arithmetic through the action entries, rounding, comparison,
// conversions, random draws, text, and the checked float-to-integer conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/core/actions.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/number.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"
#include "support.h"

namespace zol {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

Cell int_(int32_t v) { return values::integer(v); }
Cell float_(double d) {
  Cell c{T_FLOAT, 0, 0, 0};
  cell::put_double(&c, d);
  return c;
}
Cell double_cell(uint8_t type, double d) {
  Cell c = float_(d);
  cell::set_type(&c, type);
  return c;
}

// What a computation gave: an integer, a float, or an error ("category/id").
struct Outcome {
  uint8_t type;
  double value;
  std::string error;
};

Outcome outcome_of(const std::function<Cell()>& compute) {
  Cell r{};
  std::string e = test::raised([&] { r = compute(); });
  if (!e.empty()) return {0, 0, e};
  return {r.type(), number::get_double_from(&r), ""};
}

Outcome run_entry(void (*entry)(), Cell a, Cell b) {
  return outcome_of([&] { return test::call_on_frame({a, b}, entry); });
}

const std::string ZERO_DIVIDE = test::error_name(err::math::ZERO_DIVIDE);
const std::string OVERFLOW_ = test::error_name(err::math::OVERFLOW);
Outcome I(double v) { return {T_INTEGER, v, ""}; }
Outcome F(double v) { return {T_FLOAT, v, ""}; }
Outcome E(const std::string& e) { return {0, 0, e}; }

void expect_outcome(const Outcome& got, const Outcome& want, const std::string& what) {
  EXPECT_EQ(got.error, want.error) << what;
  EXPECT_EQ(got.type, want.type) << what;
  EXPECT_EQ(got.value, want.value) << what;
}

TEST(Integer, ArithmeticThroughTheActionEntriesNeverWraps) {
  struct Case { void (*entry)(); const char* op; Cell a, b; Outcome want; };
  const Case cases[] = {
      {actions::add, "+", int_(1), int_(2), I(3)},
      {actions::add, "+", int_(2147483647), int_(1), F(2147483648.0)},
      {actions::subtract, "-", int_(-2147483647 - 1), int_(1), F(-2147483649.0)},
      {actions::multiply, "*", int_(65536), int_(65536), F(4294967296.0)},
      {actions::multiply, "*", int_(-46341), int_(46341), F(-2147488281.0)},
      {actions::divide, "/", int_(7), int_(2), F(3.5)},
      {actions::divide, "/", int_(6), int_(2), I(3)},
      {actions::divide, "/", int_(-7), int_(2), F(-3.5)},
      {actions::divide, "/", int_(1), int_(0), E(ZERO_DIVIDE)},
      {actions::divide, "/", int_(-2147483647 - 1), int_(-1), E(OVERFLOW_)},
      {actions::divide, "/", int_(-2147483647 - 1), int_(2), I(-1073741824)},
      {actions::remainder, "rem", int_(-7), int_(2), I(-1)},
      {actions::remainder, "rem", int_(7), int_(-2), I(1)},
      {actions::remainder, "rem", int_(1), int_(0), E(ZERO_DIVIDE)},
      {actions::remainder, "rem", int_(-2147483647 - 1), int_(-1), E(OVERFLOW_)},
      {actions::and_t, "and", int_(12), int_(10), I(8)},
      {actions::or_t, "or", int_(12), int_(3), I(15)},
      {actions::xor_t, "xor", int_(12), int_(10), I(6)},
      // A float operand hands the operation to float!: IEEE results, no errors.
      {actions::add, "+", int_(1), float_(0.5), F(1.5)},
      {actions::divide, "/", int_(3), float_(0.0), F(INF)},
      {actions::add, "+", int_(1), double_cell(T_PERCENT, 0.1), F(1.1)},
      {actions::and_t, "and", int_(1), float_(1.0),
       E(test::error_name(err::script::CANNOT_USE))},
      {actions::add, "+", int_(1), values::none,
       E(test::error_name(err::script::INVALID_TYPE))},
  };
  for (const Case& c : cases)
    expect_outcome(run_entry(c.entry, c.a, c.b), c.want,
                   test::mold(c.a) + " " + c.op + " " + std::to_string(cell::get_int(&c.b)));
  // The left operand's type stays: char! plus integer! is a char!.
  Cell r = test::call_on_frame({Cell{T_CHAR, 0, 65, 0}, int_(1)},
                               [] { integer::do_math(OP_ADD); });
  EXPECT_TRUE(r.is(T_CHAR));
  EXPECT_EQ(integer::get(&r), 66);
}

TEST(Integer, TheCoreWithoutAResultCell) {
  EXPECT_EQ(integer::do_math_op(7, 2, OP_DIVIDE, nullptr), 3) << "a truncated quotient";
  EXPECT_EQ(test::raised([] { integer::do_math_op(2147483647, 1, OP_ADD, nullptr); }), OVERFLOW_);
  Cell result = int_(0);
  EXPECT_EQ(integer::do_math_op(2147483647, 2147483647, OP_MULTIPLY, &result), 0);
  EXPECT_TRUE(result.is(T_FLOAT));
}

TEST(Integer, Power) {
  const std::string expect_arg = test::error_name(err::script::EXPECT_ARG);
  struct Case { Cell base, exponent; Outcome want; };
  const Case cases[] = {
      {int_(3), int_(4), I(81)},
      {int_(0), int_(0), I(1)},
      {int_(-2), int_(31), I(-2147483647.0 - 1)},
      {int_(2), int_(31), F(2147483648.0)},
      {int_(2), int_(-1), F(0.5)},
      {int_(4), float_(0.5), F(2.0)},
      {int_(65536), int_(3), F(281474976710656.0)},
      {int_(2), values::none, E(expect_arg)},
  };
  for (const Case& c : cases)
    expect_outcome(run_entry(actions::power, c.base, c.exponent), c.want,
                   test::mold(c.base) + " ** " + std::to_string(cell::get_int(&c.exponent)));
}

TEST(Integer, UnaryActions) {
  struct Case { void (*entry)(); int32_t value; Outcome want; };
  const Case cases[] = {
      {actions::negate, 5, I(-5)},
      {actions::negate, -2147483647 - 1, E(OVERFLOW_)},
      {actions::absolute, -5, I(5)},
      {actions::absolute, -2147483647 - 1, E(OVERFLOW_)},
      {actions::complement, 0, I(-1)},
      {actions::complement, 5, I(-6)},
  };
  for (const Case& c : cases)
    expect_outcome(outcome_of([&] { return test::call_on_frame({int_(c.value)}, c.entry); }),
                   c.want, std::to_string(c.value));
  for (int32_t v : {-3, -2, 0, 7, -2147483647 - 1}) {
    Cell even = test::call_on_frame({int_(v)}, actions::even_q);
    Cell odd = test::call_on_frame({int_(v)}, actions::odd_q);
    EXPECT_EQ(logic::get(&even), v % 2 == 0) << v;
    EXPECT_EQ(logic::get(&odd), v % 2 != 0) << v;
  }
}

TEST(Integer, Rounding) {
  // Flags by letter: e even, d down, h half-down, f floor, c ceiling, H half-ceiling.
  struct Case { int32_t value; Cell scale; const char* flags; Outcome want; };
  const Cell none = values::none;
  const Case cases[] = {
      {15, int_(10), "", I(20)},       {-15, int_(10), "", I(-20)},
      {14, int_(10), "", I(10)},       {-16, int_(10), "", I(-20)},
      {15, int_(10), "h", I(10)},      {-15, int_(10), "h", I(-10)},
      {15, int_(10), "e", I(20)},      {25, int_(10), "e", I(20)},
      {-25, int_(10), "e", I(-20)},    {16, int_(10), "e", I(20)},
      {15, int_(10), "f", I(10)},      {-15, int_(10), "f", I(-20)},
      {15, int_(10), "c", I(20)},      {-15, int_(10), "c", I(-10)},
      {15, int_(10), "H", I(20)},      {-15, int_(10), "H", I(-10)},
      {-14, int_(10), "H", I(-10)},    {19, int_(10), "d", I(10)},
      {-19, int_(10), "d", I(-10)},    {15, int_(-10), "", I(20)},
      {7, none, "", I(7)},             {7, int_(0), "", I(7)},
      {20, int_(10), "c", I(20)},      {15, int_(10), "dc", I(10)},
      // -2147483648 has no magnitude to round: it stays, whatever the scale.
      {-2147483647 - 1, int_(10), "d", I(-2147483648.0)},
      {-2147483647 - 1, int_(10), "", I(-2147483648.0)},
      {-2147483647 - 1, int_(1), "", I(-2147483648.0)},
      {-2147483647 - 1, int_(256), "f", I(-2147483648.0)},
      {-2147483647 - 1, float_(2.5), "", I(-2147483648.0)},
      // Rounding away from zero beyond 2147483647 overflows on either side, even
      // where the negative result would fit.
      {-2147483647, int_(4), "", E(OVERFLOW_)},
      {-2147483647, int_(2), "f", E(OVERFLOW_)},
      {-2147483647, int_(2), "e", E(OVERFLOW_)},
      {-2147483647, int_(4), "d", I(-2147483644)},
      {-2147483647, int_(2), "c", I(-2147483646)},
      {2147483647, int_(10), "", E(OVERFLOW_)},
      {2147483647, int_(10), "f", I(2147483640)},
      {5, int_(-2147483647 - 1), "", E(OVERFLOW_)},
      // A scale that is not an integer rounds as a float.
      {7, float_(0.5), "", F(7.0)},    {7, float_(2.5), "", F(7.5)},
      {-7, float_(2.5), "d", F(-5.0)}, {7, float_(2.0), "e", F(8.0)},
      {7, double_cell(T_PERCENT, 2.0), "", {T_PERCENT, 8.0, ""}},
      {5, double_cell(T_MONEY, 1.0), "",
       E(test::error_name(err::script::NOT_RELATED))},
  };
  for (const Case& c : cases) {
    std::string f = c.flags;
    auto flag = [&](char letter) { return f.find(letter) == std::string::npos ? -1 : 0; };
    int to = c.scale.is(T_NONE) ? -1 : 1;
    Outcome got = outcome_of([&] {
      return test::call_on_frame({int_(c.value), c.scale}, [&] {
        actions::round(to, flag('e'), flag('d'), flag('h'), flag('f'), flag('c'), flag('H'));
      });
    });
    expect_outcome(got, c.want, std::to_string(c.value) + " /" + f);
  }
}

TEST(Integer, Compare) {
  struct Case { Cell a, b; int op; int result; };
  const Case cases[] = {
      {int_(1), int_(2), C_LESSER, -1},
      {int_(-1), int_(-2), C_SORT, 1},
      {int_(2147483647), int_(-2147483647 - 1), C_SORT, 1},
      {int_(3), Cell{T_CHAR, 0, 3, 0}, C_EQUAL, 0},
      {int_(2), float_(2.0), C_EQUAL, 0},
      {int_(2), float_(2.5), C_LESSER, -1},
      {int_(2), float_(NaN), C_EQUAL, 1},
      {int_(2), float_(NaN), C_LESSER, 1},
      {int_(2), float_(2.0000000000000004), C_EQUAL, 0},
      {int_(2), double_cell(T_PERCENT, 2.0), C_SAME, 1},
      {int_(2), float_(2.0), C_STRICT_EQUAL, 1},
      {int_(2), float_(2.0), C_FIND, 1},
      {int_(2), int_(2), C_STRICT_EQUAL, 0},
      {int_(2), values::none, C_EQUAL, COMPARE_NOT_COMPARABLE},
  };
  for (const Case& c : cases)
    EXPECT_EQ(actions::compare_typed(&c.a, &c.b, c.op), c.result)
        << test::mold(c.a) << " op " << c.op;
}

Cell text(const char* s) {
  Cell c;
  string::make_at(&c, 16);
  string::concatenate_literal(&c, s);
  return c;
}

TEST(Integer, ConversionsToInteger) {
  const std::string type_limit = test::error_name(err::script::TYPE_LIMIT);
  const std::string bad_to_arg = test::error_name(err::script::BAD_TO_ARG);
  const std::string invalid_data = test::error_name(err::script::INVALID_DATA);
  auto issue = [](const char* spelling) {
    return Cell{T_ISSUE, context::global, symbol::make(spelling), uint32_t(-1)};
  };
  Cell wide = text("-12");
  string::append_char(memory::buffer_of(wide.w2), 0x263A);   // a UCS-2 buffer
  memory::buffer_of(wide.w2)->tail -= 2;                     // holding "-12" again
  struct Case { const char* what; Cell spec; Outcome want; };
  const Case cases[] = {
      {"float", float_(3.7), I(3)},
      {"negative float", float_(-3.7), I(-3)},
      {"lowest float", float_(-2147483648.0), I(-2147483647.0 - 1)},
      {"float past the top", float_(2147483648.0), E(type_limit)},
      {"float between the top and the next", float_(2147483647.5), E(type_limit)},
      {"float below the bottom", float_(-2147483648.5), E(type_limit)},
      {"NaN", float_(NaN), E(type_limit)},
      {"infinity", float_(-INF), E(type_limit)},
      {"percent", double_cell(T_PERCENT, 12.9), I(12)},
      {"time rounds half up", double_cell(T_TIME, 1.5), I(2)},
      {"time", double_cell(T_TIME, 1.4), I(1)},
      {"char", Cell{T_CHAR, 0, 0x263A, 0}, I(0x263A)},
      {"binary", test::binary({1, 2, 3, 4, 5}), I(16909060)},
      {"binary of one byte", test::binary({1}), I(1)},
      {"binary from its head", test::binary({9, 1, 0}, 1), I(256)},
      {"empty binary", test::binary({}), I(0)},
      {"binary of all ones", test::binary({255, 255, 255, 255}), I(-1)},
      {"text", text("42"), I(42)},
      {"signed text", text("+7"), I(7)},
      {"grouped text", text("-1'000'000"), I(-1000000)},
      {"lowest text", text("-2147483648"), I(-2147483647.0 - 1)},
      {"wide text", wide, I(-12)},
      {"text past the top", text("2147483648"), E(bad_to_arg)},
      {"text with a letter", text("12a"), E(bad_to_arg)},
      {"empty text", text(""), E(bad_to_arg)},
      {"a sign alone", text("-"), E(bad_to_arg)},
      {"none", values::none, E(bad_to_arg)},
      {"issue read as hexadecimal", issue("FF"), I(255)},
      {"issue of eight digits", issue("FFFFFFFE"), I(-2)},
      {"issue of nine digits", issue("123456789"), E(invalid_data)},
      {"issue with a letter past F", issue("FG"), E(invalid_data)},
  };
  for (const Case& c : cases) {
    Cell spec = c.spec;
    expect_outcome(outcome_of([&] {
                     Cell proto = values::of_datatype(T_INTEGER);
                     return *actions::to_typed(&proto, &spec);
                   }),
                   c.want, c.what);
  }
  Cell proto = values::of_datatype(T_INTEGER);
  Cell yes = values::true_value, no = values::false_value;
  EXPECT_EQ(integer::get(actions::make_typed(&proto, &yes)), 1);
  EXPECT_EQ(integer::get(actions::make_typed(&proto, &no)), 0);
  EXPECT_EQ(test::raised([&] { actions::to_typed(&proto, &yes); }), bad_to_arg);
}

TEST(Integer, IssueSpellingsAreHexadecimal) {
  const std::string invalid_data = test::error_name(err::script::INVALID_DATA);
  Cell issue = values::none;
  struct Case { const char* spelling; Outcome want; };
  const Case cases[] = {
      {"FF", I(255)}, {"ff", I(255)}, {"7fffffff", I(2147483647)}, {"FFFFFFFF", I(-1)},
      {"", I(0)}, {"123456789", E(invalid_data)}, {"G1", E(invalid_data)},
      {"1\x1f", E(invalid_data)},
  };
  for (const Case& c : cases)
    expect_outcome(outcome_of([&] {
                     return int_(integer::from_hex_spelling(c.spelling, std::strlen(c.spelling),
                                                            &issue));
                   }),
                   c.want, c.spelling);
}

TEST(Integer, TheCheckedFloatConversion) {
  struct Case { double d; bool fits; int32_t value; };
  const Case cases[] = {
      {0.0, true, 0},           {-0.0, true, 0},           {2147483647.0, true, 2147483647},
      {-2147483648.0, true, -2147483647 - 1},               {-1.9, true, -1},
      {2147483647.5, false, 0}, {-2147483648.5, false, 0}, {4e9, false, 0},
      {NaN, false, 0},          {INF, false, 0},           {-INF, false, 0},
  };
  for (const Case& c : cases) {
    int32_t n = 12345;
    EXPECT_EQ(number::truncate_to_int32(c.d, &n), c.fits) << c.d;
    EXPECT_EQ(n, c.fits ? c.value : 12345) << c.d;
    Cell f = float_(c.d);
    EXPECT_EQ(integer::float_overflow(&f), !c.fits) << c.d;
    std::string e = test::raised([&] { n = number::get_int_from(&f); });
    EXPECT_EQ(e, c.fits ? "" : test::error_name(err::script::OUT_OF_RANGE)) << c.d;
  }
  Cell i = int_(-9);
  EXPECT_EQ(number::get_int_from(&i), -9);
}

TEST(Integer, FormAndMold) {
  for (int32_t v : {0, 7, -5, 100, 2147483647, -2147483647 - 1, -1000000}) {
    EXPECT_EQ(test::form(int_(v)), std::to_string(v));
    EXPECT_EQ(test::mold(int_(v), true), std::to_string(v));
  }
  Cell out = actions::form_to_string(&values::unset);
  Cell v = int_(-123);
  EXPECT_EQ(actions::mold_typed(&v, &out, MoldOptions{}, 10), 6);
}

TEST(Integer, RandomDrawsStayInRangeAndRepeatAfterASeed) {
  auto draw = [](int32_t n) {
    Cell r = test::call_on_frame({int_(n)}, [] { actions::random(-1, -1, -1); });
    return integer::get(&r);
  };
  Cell seeded = test::call_on_frame({int_(42)}, [] { actions::random(0, -1, -1); });
  EXPECT_TRUE(seeded.is(T_UNSET));
  std::string first, second;
  for (std::string* run : {&first, &second}) {
    test::call_on_frame({int_(42)}, [] { actions::random(0, -1, -1); });
    for (int i = 0; i < 200; i++) {
      int32_t up = draw(6), down = draw(-3);
      EXPECT_TRUE(up >= 1 && up <= 6) << up;
      EXPECT_TRUE(down >= -3 && down <= -1) << down;
      *run += std::to_string(up) + std::to_string(down);
    }
  }
  EXPECT_EQ(first, second);
  EXPECT_EQ(draw(0), 0);
  for (char face = '1'; face <= '6'; face++) EXPECT_NE(first.find(face), std::string::npos);
  Cell secure = test::call_on_frame({int_(1)}, [] { actions::random(-1, 0, -1); });
  EXPECT_EQ(integer::get(&secure), 1);
}

}  // namespace
}  // namespace zol
