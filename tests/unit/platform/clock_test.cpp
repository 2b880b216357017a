// How long a sleep of some seconds lasts: no negative, NaN or wrapped sleeps.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/clock.h"

namespace zol {
namespace {

TEST(Sleep, MillisecondsAreTruncatedAndBounded) {
  struct Case { double seconds; int64_t ms; };
  const double inf = std::numeric_limits<double>::infinity();
  for (const Case& c : {Case{0.0, 1}, Case{0.0004, 1}, Case{0.0019, 1}, Case{0.002, 2},
                        Case{1.5, 1500}, Case{2147483.647, 2147483647},
                        Case{2147483.648, platform::MAX_SLEEP_MS},
                        Case{1e300, platform::MAX_SLEEP_MS}, Case{inf, platform::MAX_SLEEP_MS},
                        Case{-0.0, 1}, Case{-0.001, -1}, Case{-inf, -1}, Case{std::nan(""), -1}})
    EXPECT_EQ(platform::sleep_milliseconds(c.seconds), c.ms) << c.seconds;
}

}  // namespace
}  // namespace zol
