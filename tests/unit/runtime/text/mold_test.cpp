// Mold support: indentation, repeat fill and the cycle-detection stack.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/text/mold.h"
#include "support.h"

namespace zol {
namespace {

TEST(MoldSupport, IndentAppendsFourSpacesPerLevel) {
  Cell out;
  string::make_at(&out, 0);
  EXPECT_EQ(mold::indent(&out, 2, 100), 92);
  EXPECT_EQ(string::to_utf8(&out), "        ");
  EXPECT_EQ(mold::indent(&out, 0, 5), 5);
}

TEST(MoldSupport, FillRepeatDoublesTheChunk) {
  struct Case { size_t chunk, count; };
  for (Case c : {Case{3, 5}, Case{1, 1}, Case{4, 8}, Case{7, 3}, Case{2, 0}}) {
    uint8_t buf[64] = {};
    for (size_t i = 0; i < c.chunk; i++) buf[i] = uint8_t('a' + i);
    uint8_t* end = runtime::fill_repeat(buf, c.chunk, c.count);
    EXPECT_EQ(end, buf + c.chunk * c.count);
    for (size_t i = 0; i < c.chunk * c.count; i++) ASSERT_EQ(buf[i], 'a' + i % c.chunk) << i;
    if (c.count) {
      EXPECT_EQ(buf[c.chunk * c.count], 0) << "nothing written past the area";
    }
  }
}

TEST(CycleStack, TooDeepEmptiesTheStack) {
  cycles::reset();
  const std::string too_deep = test::error_name(err::internal::TOO_DEEP);
  EXPECT_EQ(test::raised([] {
              for (NodeRef n = 1; n <= 999; n++) cycles::push(n);
            }), "");
  EXPECT_EQ(cycles::depth(), 999);
  EXPECT_EQ(test::raised([] { cycles::push(1000); }), too_deep);
  EXPECT_EQ(cycles::depth(), 0);
  cycles::pop();                                  // popping an empty stack is harmless
  EXPECT_EQ(cycles::depth(), 0);
}

TEST(CycleStack, FindPopAndRemap) {
  cycles::reset();
  cycles::push(5);
  cycles::push(6);
  EXPECT_TRUE(cycles::find(5));
  EXPECT_FALSE(cycles::find(7));
  cycles::remap([](NodeRef n) { return n + 100; });
  EXPECT_TRUE(cycles::find(106));
  EXPECT_FALSE(cycles::find(6));
  cycles::pop_n(5);
  EXPECT_EQ(cycles::depth(), 0);
}

TEST(CycleStack, PlaceholdersByTypeAndMode) {
  struct Case { uint8_t type; bool mold; const char* text; };
  const Case cases[] = {
      {T_BLOCK, true, "[...]"}, {T_HASH, true, "[...]"}, {T_PAREN, true, "(...)"},
      {T_MAP, true, "#[...]"}, {T_OBJECT, true, "make object! [...]"}, {T_PATH, true, "..."},
      {T_BLOCK, false, "..."}, {T_OBJECT, false, "..."},
  };
  NodeRef walked = memory::alloc_cells(1);
  for (const Case& c : cases) {
    cycles::reset();
    Cell v{c.type, 0, 0, 0};
    if (c.type == T_OBJECT) v.w1 = walked; else v.w2 = walked;
    Cell out;
    string::make_at(&out, 0);
    int part = 100;
    EXPECT_FALSE(cycles::detect(&v, &out, &part, c.mold));
    EXPECT_EQ(string::to_utf8(&out), "") << "not on the stack: nothing written";
    cycles::push(walked);
    EXPECT_TRUE(cycles::detect(&v, &out, &part, c.mold));
    EXPECT_EQ(string::to_utf8(&out), c.text);
    EXPECT_EQ(part, 100 - int(std::strlen(c.text)));
  }
  cycles::reset();
}

}  // namespace
}  // namespace zol
