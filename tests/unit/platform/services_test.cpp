// The platform's services: the zone that `now` reads under fixed POSIX zones, and
// the cache folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"
#include "runtime/datatypes/date/date.h"
#include "support.h"

namespace zol {
namespace {

// Runs `now/zone` and reads the zone bits of `now` in a child whose TZ is the
// given POSIX zone, so that the parent's zone is untouched.
std::string zone_under(const char* tz) {
  test::boot();
  test::ChildResult r = test::run_in_child([tz] {
    setenv("TZ", tz, 1);
    tzset();
    Cell now = test::eval_value("now");
    std::printf("%s %02X", test::eval("now/zone").c_str(), date::zone(date::packed(&now)));
    std::fflush(stdout);
    std::_Exit(0);
  });
  EXPECT_EQ(r.status, 0) << tz;
  return r.out;
}

TEST(PlatformClock, TheLocalZoneKeepsItsSignAndQuarters) {
  const struct {
    const char* tz;
    const char* expected;
  } cases[] = {
      {"IST-5:30", "5:30:00 16"},                       // east, two quarters
      {"NST3:30", "-3:30:00 4E"},                       // west, in standard time
      {"CET-1CEST-2,J1/0,J365/25", "2:00:00 08"},       // daylight time the whole year
      {"XHH0:30", "-0:30:00 42"},                       // west by less than an hour
      {"UTC0", "0:00:00 00"},
  };
  for (const auto& c : cases) EXPECT_EQ(zone_under(c.tz), c.expected) << c.tz;
}

TEST(PlatformCache, TheFolderFollowsXdgCacheHomeOrHome) {
  test::ChildResult r = test::run_in_child([] {
    setenv("HOME", "/home/someone", 1);
    setenv("XDG_CACHE_HOME", "/tmp/cache-here", 1);
    std::printf("%s|", platform::cache_directory().c_str());
    setenv("XDG_CACHE_HOME", "/tmp/slash/", 1);
    std::printf("%s|", platform::cache_directory().c_str());
    unsetenv("XDG_CACHE_HOME");
    std::printf("%s|", platform::cache_directory().c_str());
    setenv("XDG_CACHE_HOME", "", 1);
    std::printf("%s|", platform::cache_directory().c_str());
    unsetenv("XDG_CACHE_HOME");
    unsetenv("HOME");
    std::printf("%s|", platform::cache_directory().c_str());
    std::fflush(stdout);
    std::_Exit(0);
  });
  EXPECT_EQ(r.out,
            "/tmp/cache-here/zol/|/tmp/slash/zol/|/home/someone/.cache/zol/|"
            "/home/someone/.cache/zol/||");
}

TEST(PlatformEnvironment, SetGetAndRemove) {
  std::string value;
  ASSERT_TRUE(platform::set_env("ZOL_PLATFORM_TEST", "a=b"));
  ASSERT_TRUE(platform::get_env("ZOL_PLATFORM_TEST", &value));
  EXPECT_EQ(value, "a=b");
  ASSERT_TRUE(platform::set_env("ZOL_PLATFORM_TEST", nullptr));
  EXPECT_FALSE(platform::get_env("ZOL_PLATFORM_TEST", &value));
}

}  // namespace
}  // namespace zol
