// The control-flow, loop, exit and function-making natives through Zol source.
#include <gtest/gtest.h>

#include "runtime/core/stack.h"
#include "platform/platform.h"
#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
using test::eval_error_text;
TEST(Control, TryGivesTheErrorAndRestoresTheStacks) {
  Cell e = test::eval_value("try [1 + no-such-word]");
  EXPECT_EQ(e.type(), T_ERROR);
  constexpr err::Id no_value = err::script::NO_VALUE;
  EXPECT_EQ(error::category_of(&e), no_value.category);
  EXPECT_EQ(error::id_of(&e), no_value.id);
  Cell t = test::eval_value("f: func [x] [x + unknown-word] try [loop 3 [f 1]]");
  EXPECT_EQ(error::code_of(&t), no_value.code());
  check({
      {"try [1 + 2]", "3"},
      {"f: func [x] [loop 2 [x: x + try [1 / 0]]] 1", "1"},
      {"n: 0 loop 3 [try [n: n + 1 n / 0]] n", "3"},
      {"f: func [] [try [return 4] 5] f", "4"},
      {"f: func [] [try/all [return 4] 5] f", "5"},
      {"f: func [] [try/all [return 4]] f", "error! 0 3"},
  });
}

// 12000 nested calls work; deeper recursion raises stack-overflow, after which
// everything still works. Deep recursion needs the runtime's large native stack.
TEST(Control, DeepRecursion) {
  int status = platform::run_on_large_stack(
      [](void*) {
        check({{"f: func [n] [either n > 0 [1 + f n - 1] [0]] f 12000", "12000"}});
#if !defined(ZOL_SANITIZE)
        // AddressSanitizer cannot clean the shadow of a stack this deep when the
        // error leaves it (its own limit); the small-stack test covers it there.
        check({{"g: func [n] [g n + 1] g 1",
                eval_error_text(err::internal::STACK_OVERFLOW)}});
#endif
        check({{"r: copy [] loop 2 [append r f 12000] r", "[12000 12000]"}});
        check({{"f 10", "10"}});
        return 0;
      },
      nullptr, platform::RUNTIME_STACK_BYTES);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace zol
