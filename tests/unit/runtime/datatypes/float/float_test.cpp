// float! and percent!: their texts, arithmetic and the mixed types it takes,
// tolerant and exact comparison, rounding, make and to, and random values, all
// through the action entries.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/float/percent.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/core/number.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

Cell num(uint8_t type, double d) {
  Cell c;
  return *float_::make_at(&c, d, type);
}
Cell F(double d) { return num(T_FLOAT, d); }
Cell P(double d) { return num(T_PERCENT, d); }
Cell T(double d) { return num(T_TIME, d); }
Cell I(int32_t v) { return values::integer(v); }
Cell C(uint32_t cp) { return Cell{T_CHAR, 0, cp, 0}; }

std::string err_name(err::Id id) { return test::error_name(id); }
const std::string INVALID_TYPE = err_name(err::script::INVALID_TYPE);
const std::string BAD_TO_ARG = err_name(err::script::BAD_TO_ARG);
const std::string OVERFLOW_ = err_name(err::math::OVERFLOW);

// What a computation gave: the type and number of its result, or its error.
struct Outcome {
  uint8_t type;
  double value;
  std::string error;
};
Outcome R(uint8_t type, double value) { return {type, value, ""}; }
Outcome E(const std::string& error) { return {0, 0, error}; }

Outcome outcome_of(const std::function<Cell()>& compute) {
  Cell r{};
  std::string e = test::raised([&] { r = compute(); });
  if (!e.empty()) return E(e);
  return R(r.type(), number::get_double_from(&r));
}

// Results are compared bit for bit, so that NaN meets NaN and -0.0 differs from 0.0.
void expect_outcome(const Outcome& got, const Outcome& want, const std::string& what) {
  EXPECT_EQ(got.error, want.error) << what;
  EXPECT_EQ(int(got.type), int(want.type)) << what;
  bool same = std::memcmp(&got.value, &want.value, sizeof(double)) == 0 ||
              (std::isnan(got.value) && std::isnan(want.value));
  EXPECT_TRUE(same) << what << ": got " << got.value << ", want " << want.value;
}

Outcome on_frame(std::initializer_list<Cell> args, const std::function<void()>& entry) {
  return outcome_of([&] { return test::call_on_frame(args, entry); });
}

// A value for failure messages (time! has no text of its own yet).
std::string describe(const Cell& c) {
  return std::string(datatype::name(c.type())) + " " + std::to_string(number::get_double_from(&c));
}

struct PrettyPrint {
  explicit PrettyPrint(bool on) : saved(float_::pretty_print) { float_::pretty_print = on; }
  ~PrettyPrint() { float_::pretty_print = saved; }
  bool saved;
};

TEST(FloatText, MoldAndFormLayouts) {
  struct Case { Cell value; bool pretty; const char* mold; const char* form; };
  const Case cases[] = {
      {F(1.0), true, "1.0", "1.0"},
      {F(-2.5), true, "-2.5", "-2.5"},
      {F(123.456), true, "123.456", "123.456"},
      {F(0.1 + 0.2), true, "0.30000000000000004", "0.3"},
      {F(0.1 + 0.7), true, "0.7999999999999999", "0.8"},
      {F(0.1 + 0.7), false, "0.7999999999999999", "0.7999999999999999"},
      {F(1e15), true, "1000000000000000.0", "1000000000000000.0"},
      {F(1e16), true, "10000000000000000.0", "1.0e16"},
      {F(1e17), true, "1.0e17", "1.0e17"},
      {F(123456789012345680000.0), true, "1.2345678901234568e20", "1.234567890123457e20"},
      {F(0.00001), true, "0.00001", "1.0e-5"},
      {F(1e-7), true, "0.0000001", "1.0e-7"},
      {F(1.5e-8), true, "1.5e-8", "1.5e-8"},
      {F(1e-20), true, "1.0e-20", "0.0"},
      {F(1e-20), false, "1.0e-20", "9.999999999999999e-21"},
      {F(0.0), true, "0.0", "0.0"},
      {F(-0.0), true, "-0.0", "0.0"},
      {F(-0.0), false, "-0.0", "-0.0"},
      {F(DBL_MAX), true, "1.7976931348623157e308", "1.797693134862316e308"},
      {F(5e-324), false, "5.0e-324", "4.940656458412465e-324"},
      {F(INF), true, "1.#INF", "1.#INF"},
      {F(-INF), true, "-1.#INF", "-1.#INF"},
      {F(NaN), true, "1.#NaN", "1.#NaN"},
      {F(-NaN), false, "1.#NaN", "1.#NaN"},
      {P(0.5), true, "50%", "50%"},
      {P(0.125), true, "12.5%", "12.5%"},
      {P(1.0), true, "100%", "100%"},
      {P(-0.015), true, "-1.5%", "-1.5%"},
      {P(1.0 / 3), true, "33.33333333333%", "33.33333333333%"},
      {P(1e16), true, "1e18%", "1e18%"},
      {P(1e-19), true, "0%", "0%"},
      {P(1e-19), false, "1e-17%", "1e-17%"},
      {P(INF), true, "1.#INF", "1.#INF"},
      {P(NaN), true, "1.#NaN", "1.#NaN"},
  };
  for (const Case& c : cases) {
    PrettyPrint pretty(c.pretty);
    std::string what = describe(c.value) + (c.pretty ? " pretty" : " plain");
    EXPECT_EQ(test::mold(c.value), c.mold) << what;
    EXPECT_EQ(test::mold(c.value, true), c.mold) << what;
    EXPECT_EQ(test::form(c.value), c.form) << what;
  }
}

TEST(FloatText, TextActionsAnswerTheBudgetLeft) {
  Cell out = actions::form_to_string(&values::unset);
  Cell v = F(0.1 + 0.2);
  EXPECT_EQ(actions::mold_typed(&v, &out, MoldOptions{}, 30), 11);
  EXPECT_EQ(actions::form_typed(&v, &out, nullptr, 30), 27);
  Cell p = P(0.125);
  EXPECT_EQ(actions::form_typed(&p, &out, nullptr, 30), 25);
  EXPECT_EQ(string::to_utf8(&out), "0.300000000000000040.312.5%");
}

// time! reaches float arithmetic through its own actions, which do not exist yet.
void time_add() { float_::do_math(OP_ADD); }
void time_subtract() { float_::do_math(OP_SUBTRACT); }

TEST(FloatMath, OperandTypesAndResults) {
  const std::string not_related = err_name(err::script::NOT_RELATED);
  struct Case { void (*entry)(); Cell a, b; Outcome want; };
  const Case cases[] = {
      {actions::add, F(0.1), F(0.2), R(T_FLOAT, 0.1 + 0.2)},
      {actions::subtract, F(1.0), I(3), R(T_FLOAT, -2.0)},
      {actions::multiply, F(1.5), C('a'), R(T_FLOAT, 145.5)},
      {actions::divide, F(1.0), F(0.0), R(T_FLOAT, INF)},
      {actions::divide, F(-1.0), I(0), R(T_FLOAT, -INF)},
      {actions::divide, F(0.0), F(0.0), R(T_FLOAT, NaN)},
      // percent * float is percent!, float * percent float!; a time! on one side wins.
      {actions::multiply, P(0.02), F(3.0), R(T_PERCENT, 0.06)},
      {actions::multiply, F(3.0), P(0.02), R(T_FLOAT, 0.06)},
      {actions::add, P(0.1), F(1.0), R(T_PERCENT, 1.1)},
      {actions::add, F(1.0), P(0.1), R(T_FLOAT, 1.1)},
      {actions::multiply, P(0.5), P(0.5), R(T_PERCENT, 0.25)},
      {actions::add, F(1.5), T(60.0), R(T_TIME, 61.5)},
      {time_add, T(60.0), F(1.5), R(T_TIME, 61.5)},
      {actions::add, P(0.5), T(60.0), R(T_TIME, 60.5)},
      {time_add, T(60.0), T(1.0), R(T_TIME, 61.0)},
      // Remainder: fmod for a finite divisor, the dividend for an infinite one.
      {actions::remainder, F(-7.5), F(2.0), R(T_FLOAT, -1.5)},
      {actions::remainder, F(5.0), F(0.0), R(T_FLOAT, std::fmod(5.0, 0.0))},
      {actions::remainder, F(5.0), F(INF), R(T_FLOAT, 5.0)},
      {actions::remainder, F(5.0), F(-INF), R(T_FLOAT, 5.0)},
      {actions::remainder, F(INF), F(INF), R(T_FLOAT, NaN)},
      {actions::remainder, F(NaN), F(INF), R(T_FLOAT, NaN)},
      {actions::remainder, F(5.0), F(NaN), R(T_FLOAT, NaN)},
      {actions::remainder, P(0.5), F(0.3), R(T_PERCENT, std::fmod(0.5, 0.3))},
      // Refused operands.
      {actions::add, P(0.5), C('a'), E(INVALID_TYPE)},
      {time_add, T(1.0), C('a'), E(INVALID_TYPE)},
      {actions::add, F(1.0), values::none, E(INVALID_TYPE)},
      {actions::subtract, F(10.0), Cell{T_PAIR, 0, 2, 3}, E(not_related)},
      {actions::divide, F(10.0), Cell{T_POINT2D, 0, 0, 0}, E(not_related)},
      {time_subtract, T(10.0), Cell{T_PAIR, 0, 2, 3}, E(INVALID_TYPE)},
  };
  for (const Case& c : cases)
    expect_outcome(on_frame({c.a, c.b}, c.entry), c.want,
                   describe(c.a) + " with " + describe(c.b));
  EXPECT_EQ(test::raised([] { float_::math_op(1.0, 2.0, OP_AND); }),
            err_name(err::script::CANNOT_USE));
  EXPECT_EQ(test::raised([] { test::call_on_frame({F(1.0), F(2.0)}, actions::and_t); }),
            err_name(err::script::EXPECT_ARG))
      << "float! has no and~";
}

TEST(FloatMath, UnaryActionsPowerAndParity) {
  const std::string expect_arg = err_name(err::script::EXPECT_ARG);
  const std::string out_of_range = err_name(err::script::OUT_OF_RANGE);
  struct Case { void (*entry)(); std::initializer_list<Cell> args; Outcome want; };
  const Case cases[] = {
      {actions::negate, {F(1.5)}, R(T_FLOAT, -1.5)},
      {actions::negate, {F(0.0)}, R(T_FLOAT, 0.0)},   // 0.0 - 0.0 is +0.0
      {actions::negate, {F(-0.0)}, R(T_FLOAT, 0.0)},
      {actions::negate, {P(0.25)}, R(T_PERCENT, -0.25)},
      {actions::absolute, {F(-2.5)}, R(T_FLOAT, 2.5)},
      {actions::absolute, {F(-0.0)}, R(T_FLOAT, 0.0)},
      {actions::absolute, {F(-INF)}, R(T_FLOAT, INF)},
      {actions::absolute, {P(-0.5)}, R(T_PERCENT, 0.5)},
      {actions::power, {F(2.0), I(10)}, R(T_FLOAT, 1024.0)},
      {actions::power, {F(4.0), F(0.5)}, R(T_FLOAT, 2.0)},
      {actions::power, {F(2.0), I(-2)}, R(T_FLOAT, 0.25)},
      {actions::power, {P(0.5), I(2)}, R(T_PERCENT, 0.25)},
      {actions::power, {F(-8.0), F(1.0 / 3)}, R(T_FLOAT, NaN)},
      {actions::power, {F(2.0), P(0.5)}, E(expect_arg)},
      {actions::power, {F(2.0), values::none}, E(expect_arg)},
  };
  for (const Case& c : cases)
    expect_outcome(on_frame(c.args, c.entry), c.want, describe(*c.args.begin()));

  struct Parity { Cell value; bool even; };
  for (const Parity& p : {Parity{F(2.7), true}, Parity{F(3.2), false}, Parity{F(-3.9), false},
                          Parity{F(-0.5), true}, Parity{P(4.5), true}}) {
    Cell even = test::call_on_frame({p.value}, actions::even_q);
    Cell odd = test::call_on_frame({p.value}, actions::odd_q);
    EXPECT_EQ(logic::get(&even), p.even) << describe(p.value);
    EXPECT_EQ(logic::get(&odd), !p.even) << describe(p.value);
  }
  for (double d : {2147483648.0, -2147483649.0, NaN, INF})
    EXPECT_EQ(test::raised([&] { test::call_on_frame({F(d)}, actions::even_q); }), out_of_range)
        << d;
}

// The double `steps` units in the last place above d.
double ulps_above(double d, int steps) {
  for (int i = 0; i < steps; i++) d = std::nextafter(d, INF);
  return d;
}

TEST(FloatCompare, ToleranceExactnessAndNaN) {
  struct Case { Cell a, b; int op; bool holds; };
  const Case cases[] = {
      {F(0.1 + 0.2), F(0.3), C_EQUAL, true},
      {F(0.1 + 0.2), F(0.3), C_STRICT_EQUAL, false},
      {F(0.1 + 0.2), F(0.3), C_NOT_EQUAL, false},
      {F(1e300), F(ulps_above(1e300, 10)), C_EQUAL, true},
      {F(1e300), F(ulps_above(1e300, 11)), C_EQUAL, false},
      {F(1e-20), F(2e-20), C_EQUAL, true},     // closer than 2^-52
      {F(-1e-300), F(1e-300), C_EQUAL, true},
      {F(0.0), F(-0.0), C_EQUAL, true},
      {F(0.0), F(-0.0), C_STRICT_EQUAL, true},
      {F(0.0), F(-0.0), C_SAME, false},
      {F(1.5), F(1.5), C_SAME, true},
      {F(NaN), F(NaN), C_EQUAL, false},
      {F(NaN), F(NaN), C_NOT_EQUAL, true},
      {F(NaN), F(1.0), C_LESSER, false},
      {F(NaN), F(1.0), C_LESSER_EQUAL, false},
      {F(NaN), F(1.0), C_GREATER, false},
      {F(1.0), F(NaN), C_GREATER_EQUAL, false},
      {F(1.0), I(1), C_EQUAL, true},
      {F(1.0), I(1), C_STRICT_EQUAL, false},
      {F(1.5), I(2), C_LESSER, true},
      {F(0.5), P(0.5), C_EQUAL, true},
      {F(0.5), P(0.5), C_STRICT_EQUAL, false},
      {P(0.5), P(0.5), C_FIND, true},
      {P(0.5), F(0.5), C_FIND, false},
      {P(0.1), P(0.2), C_LESSER, true},
      {F(-INF), F(-DBL_MAX), C_LESSER, true},
      {F(2.0), T(3.0), C_LESSER, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(actions::compare(&c.a, &c.b, c.op), c.holds)
        << describe(c.a) << " op " << c.op << " " << describe(c.b);
  Cell f = F(1.0), s = values::none;
  EXPECT_EQ(actions::compare_typed(&f, &s, C_EQUAL), COMPARE_NOT_COMPARABLE);
  EXPECT_EQ(test::raised([&] { actions::compare(&f, &s, C_LESSER); }),
            err_name(err::script::INVALID_COMPARE));
  Cell nan = F(NaN), one = F(1.0);
  EXPECT_EQ(actions::compare_typed(&nan, &one, C_SORT), 0) << "NaN sorts with anything";
}

TEST(FloatCompare, UnitsInTheLastPlace) {
  // Ten units apart are equal, eleven are not, also across zero and at the top of
  // the range, where the largest double and infinity are one unit apart.
  struct Case { double a, b; bool equal; };
  const double tiny = std::numeric_limits<double>::denorm_min();
  const Case cases[] = {
      {1.0, ulps_above(1.0, 10), true},       {1.0, ulps_above(1.0, 11), false},
      {-1.0, -ulps_above(1.0, 10), true},     {-5 * tiny, 5 * tiny, true},
      {DBL_MAX, INF, true},                   {-DBL_MAX, INF, false},
      {NaN, NaN, false},                      {1.0, -1.0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(float_::almost_equal(c.a, c.b), c.equal) << c.a << " " << c.b;
    EXPECT_EQ(float_::almost_equal(c.b, c.a), c.equal) << c.b << " " << c.a;
  }
  struct Case32 { float a, b; bool equal; };
  auto up = [](float f, int steps) {
    for (int i = 0; i < steps; i++) f = std::nextafter(f, FLT_MAX);
    return f;
  };
  const float tiny32 = std::numeric_limits<float>::denorm_min();
  const float inf32 = std::numeric_limits<float>::infinity();
  const Case32 cases32[] = {
      {1.0f, up(1.0f, 10), true},     {1.0f, up(1.0f, 11), false},
      {-5 * tiny32, 5 * tiny32, true}, {-6 * tiny32, 5 * tiny32, false},
      {0.0f, -0.0f, true},            {FLT_MAX, inf32, true},
      {FLT_MAX, -inf32, false},       {std::nanf(""), 1.0f, false},
  };
  for (const Case32& c : cases32) {
    EXPECT_EQ(float_::float32_almost_equal(c.a, c.b), c.equal) << c.a << " " << c.b;
    EXPECT_EQ(float_::float32_almost_equal(c.b, c.a), c.equal) << c.b << " " << c.a;
  }
}

TEST(FloatRound, RefinementsUnitsAndResultTypes) {
  // Flags by letter: e even, d down, h half-down, f floor, c ceiling, H half-ceiling.
  struct Case { Cell value; Cell scale; const char* flags; Outcome want; };
  const Cell none = values::none;
  const double smallest = std::numeric_limits<double>::denorm_min();
  const Case cases[] = {
      {F(2.5), none, "", R(T_FLOAT, 3.0)},        {F(-2.5), none, "", R(T_FLOAT, -3.0)},
      {F(2.5), none, "e", R(T_FLOAT, 2.0)},       {F(3.5), none, "e", R(T_FLOAT, 4.0)},
      {F(-2.5), none, "e", R(T_FLOAT, -2.0)},     {F(2.5), none, "h", R(T_FLOAT, 2.0)},
      {F(-2.5), none, "H", R(T_FLOAT, -2.0)},     {F(2.5), none, "H", R(T_FLOAT, 3.0)},
      {F(-2.7), none, "d", R(T_FLOAT, -2.0)},     {F(-2.5), none, "f", R(T_FLOAT, -3.0)},
      {F(-2.5), none, "c", R(T_FLOAT, -2.0)},     {F(2.4), none, "c", R(T_FLOAT, 3.0)},
      {F(2.6), none, "h", R(T_FLOAT, 3.0)},       {F(-0.3), none, "", R(T_FLOAT, -0.0)},
      {F(2.5), none, "dc", R(T_FLOAT, 2.0)},      // /down is looked at first
      {F(1.2345), F(0.01), "", R(T_FLOAT, 1.23)}, {F(1.7), F(0.5), "", R(T_FLOAT, 1.5)},
      {F(7.0), I(2), "", R(T_INTEGER, 8)},        {F(-7.0), I(-2), "", R(T_INTEGER, -8)},
      {F(2.5), I(1), "", R(T_INTEGER, 3)},        {F(2.5), F(1.0), "", R(T_FLOAT, 3.0)},
      {F(2.5), P(0.5), "", R(T_PERCENT, 2.5)},    {F(1234.0), F(100.0), "", R(T_FLOAT, 1200.0)},
      // A percent rounds in hundredths; its scale is a percentage too, and the
      // scale's type is the result's.
      {P(0.12345), none, "", R(T_PERCENT, 0.12)}, {P(0.12345), F(0.5), "", R(T_FLOAT, 0.125)},
      {P(0.12345), P(0.5), "", R(T_PERCENT, 0.125)},
      // A unit below the value's precision leaves it as it is.
      {F(1e300), F(1e-300), "", R(T_FLOAT, 1e300)},
      // Subnormal units: 15 tiny steps to a multiple of 2 of them.
      {F(15 * smallest), F(2 * smallest), "", R(T_FLOAT, 16 * smallest)},
      {F(15 * smallest), F(2 * smallest), "h", R(T_FLOAT, 14 * smallest)},
      {F(13 * smallest), F(2 * smallest), "e", R(T_FLOAT, 12 * smallest)},
      // Errors.
      {F(1e10), I(1), "", E(OVERFLOW_)},
      {F(DBL_MAX), F(DBL_MAX), "", E(OVERFLOW_)},
      {F(2.5), Cell{T_MONEY, 0, 0, 0}, "", E(err_name(err::script::NOT_RELATED))},
  };
  for (const Case& c : cases) {
    std::string f = c.flags;
    auto flag = [&](char letter) { return f.find(letter) == std::string::npos ? -1 : 0; };
    int to = c.scale.is(T_NONE) ? -1 : 1;
    Outcome got = on_frame({c.value, c.scale}, [&] {
      actions::round(to, flag('e'), flag('d'), flag('h'), flag('f'), flag('c'), flag('H'));
    });
    expect_outcome(got, c.want, describe(c.value) + " /" + f + " " + describe(c.scale));
  }
}

Cell block_of(std::initializer_list<Cell> items, uint8_t type = T_BLOCK) {
  NodeRef node = memory::alloc_cells(static_cast<int32_t>(items.size()) + 1);
  for (const Cell& c : items) *memory::alloc_tail_cell(node) = c;
  return Cell{type, 0, node, 0};
}

Outcome convert(uint8_t target, Cell spec) {
  return outcome_of([&] {
    Cell proto = values::of_datatype(target);
    return *actions::to_typed(&proto, &spec);
  });
}

TEST(FloatMake, FromNumbersBinariesAndBlocks) {
  struct Case { uint8_t target; Cell spec; Outcome want; };
  const Case cases[] = {
      {T_FLOAT, I(5), R(T_FLOAT, 5.0)},
      {T_FLOAT, C('a'), R(T_FLOAT, 97.0)},
      {T_FLOAT, P(0.5), R(T_FLOAT, 0.5)},
      {T_PERCENT, F(0.5), R(T_PERCENT, 0.5)},
      {T_PERCENT, I(2), R(T_PERCENT, 2.0)},
      {T_FLOAT, T(90.5), R(T_FLOAT, 90.5)},
      {T_FLOAT, test::binary({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}), R(T_FLOAT, 1.0)},
      {T_FLOAT, test::binary({0x3F, 0xF0}), R(T_FLOAT, std::bit_cast<double>(uint64_t{0x3FF0}))},
      {T_FLOAT, test::binary({0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0xFF}), R(T_FLOAT, 1.0)},
      {T_FLOAT, test::binary({}), R(T_FLOAT, 0.0)},
      {T_FLOAT, block_of({I(5), I(2)}), R(T_FLOAT, 500.0)},
      {T_FLOAT, block_of({F(2.5), F(-1.9)}), R(T_FLOAT, 0.25)},
      {T_FLOAT, block_of({I(5), I(2)}, T_PAREN), R(T_FLOAT, 500.0)},
      {T_PERCENT, block_of({I(5), I(-1)}), R(T_PERCENT, 0.5)},
      {T_FLOAT, block_of({I(5), I(2), I(1)}), E(BAD_TO_ARG)},
      {T_FLOAT, block_of({I(5), values::none}), E(BAD_TO_ARG)},
      {T_FLOAT, block_of({I(5), F(1e10)}), E(err_name(err::script::OUT_OF_RANGE))},
      {T_FLOAT, values::none, E(BAD_TO_ARG)},
      {T_PERCENT, values::true_value, E(BAD_TO_ARG)},
  };
  for (const Case& c : cases)
    expect_outcome(convert(c.target, c.spec), c.want,
                   std::string(datatype::name(c.target)) + " of " + datatype::name(c.spec.type()));
  Cell proto = values::of_datatype(T_FLOAT);
  Cell spec = I(3);
  EXPECT_EQ(number::get_double_from(actions::make_typed(&proto, &spec)), 3.0) << "make is to";
}

// Stand-ins for what the lexer installs: a float token is digits, signs, points,
// exponents and group marks; loading a text answers a percent, an integer or a word
// by its first letter.
bool test_float_token(const char* start, const char* end) {
  for (const char* p = start; p < end; p++)
    if (!std::strchr("0123456789+-.eE'", *p)) return false;
  return start < end;
}

Cell* test_load(const Cell* string, Cell* result) {
  Cell s = *string;
  std::string t = string::to_utf8(&s);
  if (t[0] == 'p') return float_::make_at(result, 0.25, T_PERCENT);
  if (t[0] == 'i') return &(*result = values::integer(3));
  return &(*result = values::none);
}

TEST(FloatMake, FromTextThroughTheLexerHooks) {
  const std::string feature_na = err_name(err::internal::FEATURE_NA);
  const auto installed_check = float_::token_check;
  const auto installed_load = float_::load_string;
  float_::token_check = nullptr;
  float_::load_string = nullptr;
  EXPECT_EQ(convert(T_FLOAT, test::text(U"1.5")).error, feature_na) << "no lexer yet";
  EXPECT_EQ(convert(T_PERCENT, test::text(U"1.5")).error, feature_na) << "no lexer yet";
  float_::token_check = test_float_token;
  float_::load_string = test_load;
  struct Case { uint8_t target; std::u32string text; Outcome want; };
  const std::u32string long_text(313, U'1');
  const Case cases[] = {
      {T_FLOAT, U"1,5", R(T_FLOAT, 1.5)},
      {T_FLOAT, U"-1'000.25", R(T_FLOAT, -1000.25)},
      {T_FLOAT, U"1e400", R(T_FLOAT, INF)},
      {T_FLOAT, U"abc", E(BAD_TO_ARG)},
      {T_FLOAT, U"1.5.", E(BAD_TO_ARG)},   // passes the token check, not fully read
      {T_FLOAT, long_text, E(BAD_TO_ARG)},
      {T_PERCENT, U"p", R(T_PERCENT, 0.25)},
      {T_PERCENT, U"i", R(T_PERCENT, 3.0)},
      {T_PERCENT, U"w", E(BAD_TO_ARG)},
  };
  for (const Case& c : cases) {
    Cell spec = test::text(c.text);
    expect_outcome(convert(c.target, spec), c.want, string::to_utf8(&spec));
  }
  float_::token_check = installed_check;
  float_::load_string = installed_load;
}

TEST(FloatRandom, DrawsStayBetweenZeroAndTheValueAndRepeatAfterASeed) {
  auto draw = [](Cell v, int secure) {
    return test::call_on_frame({v}, [=] { actions::random(-1, secure, -1); });
  };
  Cell seeded = test::call_on_frame({F(2.5)}, [] { actions::random(0, -1, -1); });
  EXPECT_TRUE(seeded.is(T_UNSET));
  std::string first, second;
  for (std::string* run : {&first, &second}) {
    test::call_on_frame({F(2.5)}, [] { actions::random(0, -1, -1); });
    for (int i = 0; i < 100; i++) {
      Cell r = draw(F(-10.0), -1);
      EXPECT_TRUE(r.is(T_FLOAT));
      EXPECT_TRUE(float_::get(&r) <= 0.0 && float_::get(&r) >= -10.0) << float_::get(&r);
      *run += test::mold(r);
    }
  }
  EXPECT_EQ(first, second);
  for (int i = 0; i < 50; i++) {
    Cell p = draw(P(0.5), 0);
    EXPECT_TRUE(p.is(T_PERCENT));
    EXPECT_TRUE(float_::get(&p) >= 0.0 && float_::get(&p) <= 0.5) << float_::get(&p);
  }
}

TEST(FloatRegistry, PercentTakesFloatsActionsExceptItsTexts) {
  for (int slot : {A_MAKE, A_RANDOM, A_TO, A_COMPARE, A_ABSOLUTE, A_ADD, A_DIVIDE, A_MULTIPLY,
                   A_NEGATE, A_POWER, A_REMAINDER, A_ROUND, A_SUBTRACT, A_EVEN_Q, A_ODD_Q})
    EXPECT_EQ(datatype::action(T_PERCENT, slot), datatype::action(T_FLOAT, slot)) << slot;
  for (int slot : {A_FORM, A_MOLD}) {
    EXPECT_NE(datatype::action(T_PERCENT, slot), nullptr);
    EXPECT_NE(datatype::action(T_PERCENT, slot), datatype::action(T_FLOAT, slot)) << slot;
  }
  for (int slot : {A_REFLECT, A_EVAL_PATH, A_AND_T, A_COMPLEMENT, A_APPEND, A_WRITE}) {
    EXPECT_EQ(datatype::action(T_FLOAT, slot), nullptr) << slot;
    EXPECT_EQ(datatype::action(T_PERCENT, slot), nullptr) << slot;
  }
  EXPECT_EQ(datatype::info(T_PERCENT).parent, T_FLOAT);
}

}  // namespace
}  // namespace zol
