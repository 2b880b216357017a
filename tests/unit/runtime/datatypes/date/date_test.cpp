// date!: literals in every form, the calendar (leap years, week numbers, day
// counts), fields by path and pick with their setters, arithmetic, comparison,
// make/to, the text form, `now`, and a randomized set checked against Python's
// datetime (tests/data/date_oracle.txt, written by tools/gen_date_oracle.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <fstream>
#include <string>

#include "runtime/core/error.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/date/date.h"
#include "support.h"

namespace zol {
namespace {

using namespace test::script_errors;

const std::string BAD_REFINES = test::eval_error_text(err::script::BAD_REFINES);
const std::string OVERFLOW_ = test::eval_error_text(err::math::OVERFLOW);
const std::string INVALID_DATE = test::error_name(err::syntax::INVALID);

// What a zol process prints for a script on its standard input.
std::string zol_output(const std::string& environment, const std::string& script) {
  std::string command = "echo '" + script + "' | " + environment + " " ZOL_BINARY;
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return test::without_banner(out);
}

TEST(Date, CalendarCore) {
  EXPECT_EQ(date::to_days(date::pack(1970, 1, 1, 0, false)), date::EPOCH_DAYS);
  EXPECT_EQ(date::weekday(date::EPOCH_DAYS), 4);
  EXPECT_EQ(date::weekday(date::to_days(date::pack(2024, 1, 1, 0, false))), 1);
  for (int32_t days : {0, 1, 59, 60, 365, date::EPOCH_DAYS, 3652424, -1, -366, -800000}) {
    uint32_t p = date::from_days(days, 0, false);
    EXPECT_EQ(date::to_days(p), days) << days;
  }
  EXPECT_TRUE(date::leap_year(2000));
  EXPECT_FALSE(date::leap_year(1900));
  EXPECT_TRUE(date::leap_year(2024));
  EXPECT_FALSE(date::leap_year(2023));
}

// File times and the clock arrive as universal calendar fields with nanoseconds.
TEST(Date, SystemTimes) {
  test::boot();
  Cell c;
  date::make_at_system(&c, 2024, 1, 2, 3, 4, 5, 500000000);
  EXPECT_EQ(test::mold(c), "2-Jan-2024/3:04:05.5");
  date::make_at(&c, 2024, 1, 2, 3600.0, date::zone_bits(0, 30, true), true);
  EXPECT_EQ(test::mold(c), "2-Jan-2024/1:00:00-00:30");
  EXPECT_EQ(date::stored_time(&c), 3600.0 + 1800.0) << "stored in universal time";
}

TEST(Date, LiteralForms) {
  test::boot();
  test::check({
      {"15-Jan-2024", "15-Jan-2024"},
      {"15-january-2024", "15-Jan-2024"},
      {"15/Jan/2024", "15-Jan-2024"},
      {"2024-01-15", "15-Jan-2024"},
      {"2024/1/15", "15-Jan-2024"},
      {"1/2/03", "1-Feb-2003"},
      {"1/2/75", "1-Feb-1975"},
      {"1-Jan-0050", "1-Jan-0050"},
      {"1-Jan-150", "1-Jan-150"},
      {"1-Jan--50", "1/Jan/-50"},
      {"29-Feb-2024", "29-Feb-2024"},
      {"15-Jan-2024/10:30", "15-Jan-2024/10:30:00"},
      {"15-Jan-2024/10:30:15.5", "15-Jan-2024/10:30:15.5"},
      {"15-Jan-2024/10:30+05:30", "15-Jan-2024/10:30:00+05:30"},
      {"15-Jan-2024/10:30+0530", "15-Jan-2024/10:30:00+05:30"},
      {"15-Jan-2024/10:30-8", "15-Jan-2024/10:30:00-08:00"},
      {"15-Jan-2024/10:30-0:30", "15-Jan-2024/10:30:00-00:30"},   // the sign stays
      {"15-Jan-2024/10:30Z", "15-Jan-2024/10:30:00"},
      {"2024-01-15T10:30:00Z", "15-Jan-2024/10:30:00"},
      {"20240115T1030", "15-Jan-2024/10:30:00"},
      {"20240115T103045+0100", "15-Jan-2024/10:30:45+01:00"},
      {"2024-W01-1", "1-Jan-2024"},
      {"2024-W01", "1-Jan-2024"},
      {"2021-W53-5", "7-Jan-2022"},
      {"2020-W53-7", "3-Jan-2021"},
      {"2024-032", "1-Feb-2024"},
      {"2024-366", "31-Dec-2024"},
  });
}

// A field out of range makes the literal invalid, never a different date.
TEST(Date, InvalidLiterals) {
  test::boot();
  for (const char* bad : {"29-Feb-2023", "31-Apr-2024", "0-Jan-2024", "32-Jan-2024",
                          "1-13-2024", "1-Foo-2024", "1-Jan-2024/24:00", "1-Jan-2024/10:60",
                          "1-Jan-2024/10:00:60", "1-Jan-2024/10:00+16", "2024-W54-1",
                          "2024-W01-8", "2023-366", "2024-000", "1-Jan-10000"})
    EXPECT_EQ(test::raised([&] { test::source(bad); }), INVALID_DATE) << bad;
}

TEST(Date, Fields) {
  test::boot();
  test::check({
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/date", "15-Mar-2024"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/year", "2024"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/month", "3"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/day", "15"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/zone", "5:30:00"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/timezone", "5:30:00"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/time", "10:20:30.5"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/hour", "10"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/minute", "20"},
      {"d: 15-Mar-2024/10:20:30.5+05:30 d/second", "30.5"},
      {"d: 15-Mar-2024 d/weekday", "5"},
      {"d: 15-Mar-2024 d/yearday", "75"},
      {"d: 15-Mar-2024 d/julian", "75"},
      {"d: 15-Mar-2024 d/Year", "2024"},
      {"d: 15-Mar-2024 d/zone", "none"},
      {"d: 15-Mar-2024 d/time", "none"},
      {"d: 1-Jan-2024 d/week", "1"},
      {"d: 7-Jan-2024 d/week", "2"},      // the first Sunday opens week 2
      {"d: 6-Jan-2024 d/week", "1"},
      {"d: 1-Jan-2021 d/isoweek", "53"},
      {"d: 1-Jan-2022 d/isoweek", "52"},
      {"d: 1-Jan-2023 d/isoweek", "52"},
      {"d: 31-Dec-2024 d/isoweek", "1"},
      {"d: 1-Jan-1970 d/weekday", "4"},
      {"pick 15-Mar-2024 2", "2024"},
      {"pick 15-Mar-2024 'month", "3"},
      {"pick 15-Mar-2024 15", OUT_OF_RANGE},
      {"d: 15-Mar-2024 d/fortnight", INVALID_PATH},
      {"d: 15-Mar-2024 d/15", INVALID_PATH},
  });
}

TEST(Date, SettingFields) {
  test::boot();
  test::check({
      {"d: 31-Jan-2023 d/month: 13 d", "31-Jan-2024"},
      {"d: 31-Jan-2023 d/month: 2 d", "3-Mar-2023"},
      {"d: 15-Jan-2023 d/month: 0 d", "15-Dec-2022"},
      {"d: 15-Jan-2023 d/month: -11 d", "15-Jan-2022"},
      {"d: 15-Mar-2024 d/day: 0 d", "29-Feb-2024"},
      {"d: 15-Jan-2024 d/day: 32 d", "1-Feb-2024"},
      {"d: 29-Feb-2024 d/year: 2023 d", "1-Mar-2023"},
      {"d: 15-Mar-2024/10:00 d/date: 1-Jan-2000 d", "1-Jan-2000"},
      {"d: 15-Mar-2024 d/weekday: 1 d", "11-Mar-2024"},
      {"d: 15-Mar-2024 d/weekday: 7 d", "17-Mar-2024"},
      {"d: 15-Mar-2024 d/yearday: 1 d", "1-Jan-2024"},
      {"d: 15-Mar-2024 d/yearday: 366 d", "31-Dec-2024"},
      {"d: 15-Mar-2024 d/isoweek: 1 d", "1-Jan-2024"},
      {"d: 15-Mar-2024 d/week: 2 d", "7-Jan-2024"},
      {"d: 15-Mar-2024 d/time: 10:30 d", "15-Mar-2024/10:30:00"},
      {"d: 15-Mar-2024/10:30 d/time: none d", "15-Mar-2024"},
      {"d: 15-Mar-2024/10:30 d/time: 25:00 d", "16-Mar-2024/1:00:00"},
      {"d: 15-Mar-2024/10:30+02:00 d/hour: 23 d", "15-Mar-2024/23:30:00+02:00"},
      {"d: 15-Mar-2024/10:30+05:30 d/minute: 15 d", "15-Mar-2024/10:15:00+05:30"},
      {"d: 15-Mar-2024/10:30 d/second: 75 d", "15-Mar-2024/10:31:15"},
      {"d: 15-Mar-2024/10:00+05:30 d/zone: -0:30 d", "15-Mar-2024/10:00:00-00:30"},
      {"d: 15-Mar-2024/10:00+05:30 d/zone: -2 d", "15-Mar-2024/10:00:00-02:00"},
      {"d: 15-Mar-2024/1:00+05:30 d/timezone: 0 d", "14-Mar-2024/19:30:00"},
      {"d: 15-Mar-2024/10:00 d/timezone: 1:00 d", "15-Mar-2024/11:00:00+01:00"},
      {"b: reduce [15-Mar-2024] b/1/day: 1 b", "[1-Mar-2024]"},
      {"o: make object! [d: 15-Mar-2024] o/d/year: 2000 o/d", "15-Mar-2000"},
      {"d: 15-Mar-2024 d/month: 1.5", INVALID_ARG},
      {"d: 15-Mar-2024 d/time: 5", INVALID_ARG},
      {"d: 15-Mar-2024 d/zone: \"x\"", INVALID_ARG},
      {"d: 15-Mar-2024 d/date: 5", INVALID_ARG},
  });
}

TEST(Date, Arithmetic) {
  test::boot();
  test::check({
      {"2-Jan-2024 - 1-Jan-2024", "1"},
      {"1-Mar-2024 - 1-Feb-2024", "29"},
      {"1-Mar-2023 - 1-Feb-2023", "28"},
      {"2-Jan-2024/1:00 - 1-Jan-2024/23:00", "0"},
      {"difference 2-Jan-2024/1:00 1-Jan-2024/23:00", "2:00:00"},
      {"difference 1-Jan-2024 2-Jan-2024", "-24:00:00"},
      {"28-Feb-2024 + 1", "29-Feb-2024"},
      {"28-Feb-2023 + 1", "1-Mar-2023"},
      {"1 + 31-Dec-2023", "1-Jan-2024"},
      {"1-Jan-2024 - 1", "31-Dec-2023"},
      {"1-Jan-2024 + 24:00", "2-Jan-2024/0:00:00"},
      {"1-Jan-2024/23:00 + 2:00", "2-Jan-2024/1:00:00"},
      {"1:00 + 1-Jan-2024/23:30", "2-Jan-2024/0:30:00"},
      {"1-Jan-2024/0:30+05:00 - 1:00", "31-Dec-2023/23:30:00+05:00"},
      {"1-Jan-2024 + 1-Jan-2024", NOT_RELATED},
      {"1-Jan-2024 + 1.5", INVALID_TYPE},
      {"1-Jan-2024 + \"a\"", INVALID_TYPE},
  });
}

// Month names come from system/locale/months at each mold; each case puts the
// list back.
TEST(Date, MonthNamesOfTheLocale) {
  test::boot();
  struct Case {
    const char* months;
    const char* then;
    std::string expected;
  };
  const Case cases[] = {
      {"[\"Januar\" \"Februar\" \"M\u00e4rz\"]", "mold 1-Mar-2024", "\"1-M\u00e4r-2024\""},
      {"[\"x\"]", "mold 1-Jan-2024", "\"1-x-2024\""},
      {"[\"x\"]", "type? try [mold 1-Mar-2024]", "error!"},
      {"[1 2 3]", "type? try [mold 1-Jan-2024]", "error!"},
      {"none", "type? try [mold 1-Jan-2024]", "error!"},
  };
  for (const Case& c : cases) {
    std::string source = std::string("m: system/locale/months system/locale/months: ") +
                         c.months + " r: " + c.then + " system/locale/months: m r";
    EXPECT_EQ(test::eval(source), c.expected) << source;
  }
  EXPECT_EQ(test::eval("mold 1-Mar-2024"), "\"1-Mar-2024\"");
}

TEST(Date, Comparison) {
  test::boot();
  test::check({
      {"1-Jan-2024 = 1-Jan-2024", "true"},
      {"1-Jan-2024 < 2-Jan-2024", "true"},
      {"31-Dec-2023 < 1-Jan-2024", "true"},
      {"1-Jan-2024/10:00 > 1-Jan-2024/9:00", "true"},
      {"1-Jan-2024 = 1-Jan-2024/0:00", "true"},
      {"1-Jan--50 < 1-Jan-50", "true"},
      {"1-Jan-2024 = 1", "false"},
  });
}

TEST(Date, MakeAndTo) {
  test::boot();
  test::check({
      {"make date! [2024 1 15]", "15-Jan-2024"},
      {"(make date! [2024 1 15]) = make date! [15 1 2024]", "true"},
      {"make date! [15 1 2024 10:30]", "15-Jan-2024/10:30:00"},
      {"make date! [15 1 2024 10:30 5:30]", "15-Jan-2024/10:30:00+05:30"},
      {"make date! [15 1 2024 10:30 -8]", "15-Jan-2024/10:30:00-08:00"},
      {"make date! [15 1 2024 10:30 5 30]", "15-Jan-2024/10:30:00+05:30"},
      {"make date! [15 1 2024 10 30 15]", "15-Jan-2024/10:30:15"},
      {"make date! [15 1 2024 10 30 15.5 2]", "15-Jan-2024/10:30:15.5+02:00"},
      {"make date! [15 1 2024 10:30 -0:30]", "15-Jan-2024/10:30:00-00:30"},
      {"make date! [15 1 2024 10:30 0 -30]", "15-Jan-2024/10:30:00-00:30"},
      {"make date! 1-Jan-2000", "1-Jan-2000"},
      {"make date! [31 2 2024]", BAD_TO_ARG},
      {"make date! [1 13 2024]", BAD_TO_ARG},
      {"make date! [1 1 2024 25 0 0]", BAD_TO_ARG},
      {"make date! [1 1]", BAD_TO_ARG},
      {"make date! [1 1 2024 \"x\"]", BAD_TO_ARG},
      {"make date! [1 1 2024 10:00 1 2 3]", BAD_TO_ARG},
      {"make date! 5", BAD_TO_ARG},
      {"to date! [31 2 2024]", "2-Mar-2024"},
      {"to date! [1 1 2024 25 0 0]", "2-Jan-2024/1:00:00"},
      {"to date! 0", "1-Jan-1970/0:00:00"},
      {"to date! -1", "31-Dec-1969/23:59:59"},
      {"to date! 86400", "2-Jan-1970/0:00:00"},
      {"to date! \"x\"", BAD_TO_ARG},
  });
}

TEST(Date, Random) {
  test::boot();
  test::check({
      {"d: random 1-Jan-2024 reduce [d < 1-Jan-2024 d/time]", "[true none]"},
      {"d: random 1-Jan-2024/10:00 reduce [d < 2-Jan-2024 type? d/time]", "[true time!]"},
      {"random/seed 5-May-2005 a: random 1-Jan-2024 random/seed 5-May-2005 a = random 1-Jan-2024",
       "true"},
      {"random/seed 1-Jan-2024", "unset"},
  });
}

// Seconds since 1970 in a 32-bit integer!: dates past 19-Jan-2038 overflow.
TEST(Date, EpochSeconds) {
  test::boot();
  test::check({
      {"to integer! 1-Jan-1970", "0"},
      {"to integer! 19-Jan-2038/3:14:07", "2147483647"},
      {"to integer! 19-Jan-2038/3:14:08", OVERFLOW_},
      {"to integer! 1-Jan-2040", OVERFLOW_},
      {"to integer! 13-Dec-1901/20:45:52", "-2147483648"},
      {"to integer! 1-Jan-1970/1:00+01:00", "0"},
  });
}

TEST(Date, Now) {
  test::boot();
  test::check({
      {"type? now", "date!"},
      {"type? now/year", "integer!"},
      {"now/year >= 2024", "true"},
      {"type? now/time", "time!"},
      {"type? now/time/precise", "time!"},
      {"d: now/date d/time", "none"},
      {"(now/utc/zone) = 0:00", "true"},
      {"now/weekday = pick now 10", "true"},
      {"now/yearday = pick now 11", "true"},
      {"now/month = pick now 3", "true"},
      {"now/year/month", BAD_REFINES},
      {"now/date/time", BAD_REFINES},
  });
}

// The zone comes from TZ, so a child process runs with a fixed one.
TEST(Date, NowReadsTheZoneOfTheEnvironment) {
  for (const auto& [tz, zone] : {std::pair{"Asia/Kolkata", "5:30:00"},
                                 std::pair{"America/St_Johns", "-"},
                                 std::pair{"UTC", "0:00:00"}}) {
    std::string out = zol_output(std::string("TZ=") + tz, "print now/zone print now/utc/zone");
    EXPECT_EQ(out.rfind(zone, 0), 0u) << tz << ": " << out;
    EXPECT_NE(out.find("\n0:00:00\n"), std::string::npos) << tz << ": " << out;
  }
}

TEST(Date, AgreesWithPythonDatetime) {
  test::boot();
  std::ifstream in(ZOL_TEST_DATA "/date_oracle.txt");
  ASSERT_TRUE(in) << "tests/data/date_oracle.txt";
  std::string line;
  int compared = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t first = line.find(" | "), second = line.find(" | ", first + 3);
    std::string expression = line.substr(first + 3, second - first - 3);
    std::string expected = line.substr(second + 3);
    EXPECT_EQ(test::eval(expression), expected) << line;
    compared++;
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace zol
