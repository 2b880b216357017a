// The natives of words and values, block building, output and comparison, through
// Zol source.
#include <gtest/gtest.h>

#include <string>

#include "runtime/text/printers.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/stack.h"
#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

using test::check;
// What print writes, caught by a value printer of the test's own.
std::string printed;
void catch_output(const Cell* text, bool newline) {
  printed += string::to_utf8(text);
  if (newline) printed += '\n';
}

std::string output_of(const char* source) {
  printed.clear();
  printers::add(catch_output);
  std::string result = test::eval(source);
  printers::remove(catch_output);
  EXPECT_EQ(result, "unset") << source;
  return printed;
}

TEST(WordNatives, PrintFormsAndSpaces) {
  struct Printed {
    const char* source;
    const char* output;
  } cases[] = {
      {"print [1 + 2 \"x\"]", "3 x\n"},
      {"print []", "\n"},
      {"print \"a\"", "a\n"},
      {"prin \"a\" prin [1 2]", "a1 2"},
      {"print [\"a^/\" \"b\"]", "a\nb\n"},
      {"print 1.5", "1.5\n"},
      {"f: does [print [\"in\"] 2] print [1 f 3]", "in\n1 2 3\n"},
  };
  for (const Printed& c : cases) EXPECT_EQ(output_of(c.source), c.output) << c.source;
}

TEST(WordNatives, AnErrorInsidePrintLeavesTheBufferClean) {
  check({{"try [print [1 1 / 0]] 0", "0"}});
  EXPECT_EQ(output_of("print [2]"), "2\n");
}

}  // namespace
}  // namespace zol
