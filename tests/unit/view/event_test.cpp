// Backend events: fields read from the dispatch record while it is open, none for
// them once the dispatch has ended (also when its slot serves a later dispatch),
// and the record's face kept alive by the collector meanwhile.
#include <gtest/gtest.h>

#include "runtime/core/context.h"
#include "runtime/core/symbol.h"
#include "support.h"
#include "view/event.h"

namespace zol::view::event {
namespace {

using test::check;

void set_global(const char* name, const Cell& value) {
  test::eval(std::string(name) + ": none");
  *context::global_value(symbol::make(name)) = value;
}

TEST(ViewEvent, BackendFieldsComeFromTheOpenRecord) {
  test::boot();
  Record r;
  r.face = test::eval_value("make object! [n: 5]");
  r.x = 3.7f;
  r.y = 2.2f;
  r.key = 0xE9;
  uint32_t id = open_record(r);
  set_global("be", backend_event(T_KEY, id, SHIFT));
  check({
      {"recycle be/face/n", "5"},
      {"reduce [be/type be/key be/offset be/picked be/window be/shift? be/flags]",
       "[key #\"é\" 3x2 233 none true [shift]]"},
      {"same? be/face be/face", "true"},
  });
  close_record(id);
  check({
      {"reduce [be/type be/face be/offset be/key be/picked be/shift?]",
       "[key none none none none true]"},
  });
  // The slot serves the next dispatch under a new generation.
  Record next;
  next.face = test::eval_value("make object! [n: 6]");
  uint32_t id2 = open_record(next);
  EXPECT_NE(id2, id);
  check({{"be/face", "none"}});
  close_record(id2);
}

TEST(ViewEvent, SpecialKeysAndWheelSteps) {
  test::boot();
  struct Case {
    uint32_t type;
    uint32_t flags;
    int32_t key;
    float wheel;
    const char* source;
    const char* expected;
  };
  const Case cases[] = {
      {T_KEY_DOWN, SPECIAL_KEY, K_UP, 0, "be/key", "up"},
      {T_KEY, SPECIAL_KEY, K_PAGE_DOWN, 0, "be/key", "page-down"},
      {T_KEY, SPECIAL_KEY, -42, 0, "be/key", "F12"},
      {T_KEY, SPECIAL_KEY, -30, 0, "be/key", "none"},
      {T_KEY, SPECIAL_KEY, -99, 0, "be/key", "none"},
      {T_KEY, SHIFT, 9, 0, "reduce [be/key be/shift?]", "[#\"^-\" true]"},
      {T_WHEEL, 0, 0, -1.0f, "be/picked", "-1.0"},
      {T_WHEEL, CONTROL, 0, 1.0f, "reduce [be/picked be/ctrl?]", "[1.0 true]"},
      {T_CLICK, DOWN | AWAY, 4, 0, "reduce [be/picked be/down? be/away? be/flags]",
       "[4 true true [away down]]"},
  };
  for (const Case& c : cases) {
    Record r;
    r.face = Cell{T_NONE, 0, 0, 0};
    r.key = c.key;
    r.wheel = c.wheel;
    uint32_t id = open_record(r);
    set_global("be", backend_event(c.type, id, c.flags));
    EXPECT_EQ(test::eval(c.source), c.expected) << c.source;
    close_record(id);
  }
}

TEST(ViewEvent, NestedRecordsStayApartAndStaleIdsFindNothing) {
  Record a, b;
  a.key = 1;
  b.key = 2;
  uint32_t ia = open_record(a);
  uint32_t ib = open_record(b);
  ASSERT_NE(find_record(ia), nullptr);
  ASSERT_NE(find_record(ib), nullptr);
  EXPECT_EQ(find_record(ia)->key, 1);
  EXPECT_EQ(find_record(ib)->key, 2);
  close_record(ib);
  EXPECT_EQ(find_record(ib), nullptr);
  EXPECT_EQ(find_record(ia)->key, 1);
  close_record(ib);   // closing twice leaves the other alone
  EXPECT_NE(find_record(ia), nullptr);
  close_record(ia);
  EXPECT_EQ(find_record(ia), nullptr);
  EXPECT_EQ(find_record(0), nullptr);
}

}  // namespace
}  // namespace zol::view::event
