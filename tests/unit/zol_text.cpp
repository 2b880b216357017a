// Zol-level test support (see zol_text.h).
#include "zol_text.h"

#include <gtest/gtest.h>

#include "block_text.h"
#include "boot/boot.h"
#include "interpreter/interpreter.h"
#include "runtime/core/stack.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "support.h"

namespace zol::test {

void boot() {
  if (boot::done()) return;
  boot::init();
}

Cell source(const std::string& text) {
  boot();
  return load(text);
}

std::string eval(const std::string& text) {
  Cell code = source(text);
  Cell result;
  std::string e = raised([&] { result = interpreter::do_block(&code); });
  if (!e.empty()) return "error " + std::to_string(error::category_of(&exits::value)) + " " +
                        std::to_string(error::id_of(&exits::value));
  // error! values cannot be molded until error! objects exist: their category and id
  // stand for them.
  if (result.is(T_ERROR))
    return "error! " + std::to_string(error::category_of(&result)) + " " +
           std::to_string(error::id_of(&result));
  return mold(result);
}

Cell eval_value(const std::string& text) {
  Cell code = source(text);
  return interpreter::do_block(&code);
}

std::string eval_error_text(err::Id id) {
  return "error " + std::to_string(id.category) + " " + std::to_string(id.id);
}

void check(std::initializer_list<SourceCase> cases) {
  for (const SourceCase& c : cases) {
    Cell* top = stack::top;
    EXPECT_EQ(eval(c.source), c.expected) << c.source;
    EXPECT_EQ(stack::top, top) << "the stack is back where it was: " << c.source;
  }
}

}  // namespace zol::test
