// time!: literals, make/to, the text form (carrying rounded seconds), fields by
// path and pick, and the arithmetic rules that differ from float!'s.
#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using namespace test::script_errors;


TEST(Time, LiteralsAndText) {
  test::boot();
  test::check({
      {"10:30", "10:30:00"},
      {"1:02:03.5", "1:02:03.5"},
      {"-1:30", "-1:30:00"},
      {"-0:00:01", "-0:00:01"},
      {"+2:00", "2:00:00"},
      {"1:30.5", "0:01:30.5"},          // minutes and seconds
      {"36:00", "36:00:00"},            // no day wrap
      {"1'000:00", "1000:00:00"},
      {"0:00:05", "0:00:05"},
      {"0:00:05.25", "0:00:05.25"},
      {"to time! 120.0000001", "0:02:00"},
      {"to time! 0.5", "0:00:00.5"},
  });
}

// Seconds that print as 60 after rounding to six digits belong to the next minute.
TEST(Time, RoundedSecondsCarryIntoTheMinutes) {
  test::boot();
  test::check({
      {"to time! 59.9999999", "0:01:00"},
      {"to time! 3599.9999999", "1:00:00"},
      {"to time! -59.9999999", "-0:01:00"},
      {"to time! 59.99", "0:00:59.99"},
  });
}

TEST(Time, MakeAndTo) {
  test::boot();
  test::check({
      {"make time! [1 2 3]", "1:02:03"},
      {"make time! [-1 30 0]", "-1:30:00"},
      {"make time! [0 0 1.5]", "0:00:01.5"},
      {"make time! []", "0:00:00"},
      {"make time! 90", "0:01:30"},
      {"to time! 50%", "0:00:00.5"},
      {"to time! \"1:30\"", "1:30:00"},
      {"make time! [1 -30 0]", BAD_TO_ARG},
      {"make time! [1 2 3 4]", BAD_TO_ARG},
      {"make time! [1.5 0 0]", BAD_TO_ARG},
      {"to time! \"abc\"", BAD_TO_ARG},
      {"to time! 'a", BAD_TO_ARG},
      {"to integer! 1:00:00.6", "3601"},
  });
}

TEST(Time, FieldsByPathAndPick) {
  test::boot();
  test::check({
      {"t: 1:59:30 t/hour", "1"},
      {"t: 1:59:30 t/minute", "59"},
      {"t: 1:59:30.5 t/second", "30.5"},
      {"t: -1:30:00 t/hour", "-1"},
      {"t: -1:30:00 t/minute", "30"},
      {"t: 1:59:30 t/minute: 0 t", "1:00:30"},
      {"t: 0:00:30 t/second: 90 t", "0:01:30"},
      {"t: 1:59:30 t/hour: 5 t", "5:59:30"},
      {"t: 1:00 t/HOUR", "1"},
      {"pick 1:02:03 2", "2"},
      {"pick 1:02:03 'second", "3.0"},
      {"b: reduce [1:00] b/1/minute: 5 b", "[1:05:00]"},
      {"t: 1:00 t/hour: 1.5", INVALID_ARG},
      {"t: 1:00 t/day", INVALID_PATH},
      {"t: 1:00 t/4", INVALID_PATH},
      {"pick 1:00 0", OUT_OF_RANGE},
  });
}

TEST(Time, Arithmetic) {
  test::boot();
  test::check({
      {"1:00 + 0:30", "1:30:00"},
      {"1:00 + 30", "1:00:30"},
      {"1:00 - 2:00", "-1:00:00"},
      {"0:30 * 3", "1:30:00"},
      {"2 * 1:00", "2:00:00"},
      {"1:00 * 50%", "0:30:00"},
      {"1:00 + 1.5", "1:00:01.5"},
      {"1.5 + 1:00", "1:00:01.5"},
      {"1:00:00 / 0:30:00", "2.0"},
      {"1:00 / 2", "0:30:00"},
      {"1:00:00 * 0:01:00", NOT_RELATED},
      {"1:00 - 1-Jan-2024", NOT_RELATED},
      {"negate 1:00", "-1:00:00"},
      {"absolute -1:00", "1:00:00"},
      {"1:00 = (60:00 / 60)", "true"},
      {"1:00 < 1:01", "true"},
      {"round 1:02:03.6", "1:02:04"},
      {"round/to 1:02:33 0:05", "1:05:00"},
      {"round/down 1:02:03.6", "1:02:03"},
      {"even? 0:00:02", "true"},
      {"odd? 0:00:03.5", "true"},
      {"odd? 0:01:02", "false"},
  });
}

}  // namespace
}  // namespace zol
