// recycle: its switch decides whether a cycle runs.
#include <gtest/gtest.h>

#include "runtime/collector/collector.h"
#include "support.h"

namespace zol {
namespace {

TEST(SystemNatives, RecycleRunsACycleOnlyWhenSwitchedOn) {
  test::eval("recycle/off");
  EXPECT_EQ(collector::enabled, 0);
  uint64_t before = collector::cycles();
  EXPECT_EQ(test::eval("type? recycle"), "integer!");
  EXPECT_EQ(collector::cycles(), before);
  EXPECT_EQ(test::eval("recycle/on type? recycle"), "integer!");
  EXPECT_EQ(collector::enabled, 1);
  EXPECT_GT(collector::cycles(), before);
}

}  // namespace
}  // namespace zol
