// Runtime start-up and the report of an error nobody catches.
#include <gtest/gtest.h>

#include "interpreter/interpreter.h"
#include "runtime/datatype.h"
#include "runtime/symbol.h"
#include "support.h"
#include "zol_text.h"

namespace zol {
namespace {

TEST(Runtime, EveryDatatypeUpToImageHasItsNameWord) {
  for (int id = T_DATATYPE; id <= T_IMAGE; id++) {
    const datatype::TypeInfo& t = datatype::info(uint8_t(id));
    ASSERT_TRUE(t.registered) << id;
    ASSERT_NE(t.word_symbol, 0u) << id;
    EXPECT_STREQ(symbol::get_c_string(t.word_symbol), t.name);
  }
  EXPECT_EQ(test::eval("type? make error! 300"), "error!");
  EXPECT_EQ(test::eval("error!"), "error!");
  EXPECT_EQ(test::eval("image!"), "image!");
}

TEST(Runtime, AnUncaughtErrorPrintsItsReportAndEndsWithStatusMinus2) {
  Cell code = test::source("x: 1 x + never-set-word");
  test::ChildResult r = test::run_in_child([&] { interpreter::do_block(&code); });
  EXPECT_EQ(r.out,
            "*** Script Error: never-set-word has no value\n*** Where: +\n"
            "*** Near : x + never-set-word\n");
  EXPECT_EQ(r.status, 254);
}

}  // namespace
}  // namespace zol
