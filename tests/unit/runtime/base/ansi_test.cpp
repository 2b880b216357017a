// The ANSI emulation: for each input, the bytes consumed, the virtual attribute
// afterwards and the standard sequence written in its place, starting from a given
// attribute. Each input is copied into a buffer of its exact size, so that reading
// past the end of a cut-off sequence is caught by AddressSanitizer.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/base/ansi.h"

namespace zol {
namespace {

struct Case {
  std::string input;
  uint16_t before;
  size_t consumed;
  uint16_t after;
  std::string emitted;
};

const std::string E = "\x1b";
// The whole input is one sequence.
constexpr size_t ALL = std::string::npos;

TEST(AnsiEmulation, SequencesTable) {
  const Case cases[] = {
      // colours
      {E + "[31m", 0x07, ALL, 0x04, E + "[0;31m"},
      {E + "[1;31m", 0x07, ALL, 0x0C, E + "[0;91m"},
      {E + "[0m", 0x1C, ALL, 0x07, E + "[0m"},
      {E + "[1;31;44m", 0x07, ALL, 0x1C, E + "[0;91;44m"},
      {E + "[1;31;m", 0x07, ALL, 0x07, ""},          // ends in state 1: nothing set
      {E + "[7m", 0x8017, ALL, 0x71, E + "[0;34;47m"},  // swap drops the underscore
      {E + "[4m", 0x07, ALL, 0x8007, E + "[0;4m"},
      {E + "[32;4m", 0x07, ALL, 0x8002, E + "[0;4;32m"},
      {E + "[44m", 0x8007, ALL, 0x17, E + "[0;44m"},   // 40-47 drop the underscore
      // the mended codes: 1 brightens only the foreground, 22 undoes it, 39 and 49
      // restore the defaults, 90-97 and 100-107 are the bright colours, others nothing
      {E + "[1m", 0x17, ALL, 0x1F, E + "[0;97;44m"},
      {E + "[22m", 0x1F, ALL, 0x17, E + "[0;44m"},
      {E + "[22m", 0x07, ALL, 0x07, E + "[0m"},
      {E + "[39m", 0x1C, ALL, 0x17, E + "[0;44m"},
      {E + "[49m", 0x9C, ALL, 0x0C, E + "[0;91m"},
      {E + "[92m", 0x07, ALL, 0x0A, E + "[0;92m"},
      {E + "[101m", 0x07, ALL, 0xC7, E + "[0;101m"},
      {E + "[5m", 0x1C, ALL, 0x1C, E + "[0;91;44m"},
      {E + "[65535m", 0x1C, ALL, 0x07, E + "[0m"},      // numbers wrap at 65,535
      // cursor
      {E + "[5;10H", 0x07, ALL, 0x07, E + "[11;6H"},    // column first, 0-based
      {E + "[5;10f", 0x07, ALL, 0x07, E + "[11;6H"},
      {E + "[5H", 0x07, ALL, 0x07, ""},
      {E + "[H", 0x07, ALL, 0x07, E + "[H"},
      {E + "[3A", 0x07, ALL, 0x07, E + "[3A"},
      {E + "[1000D", 0x07, ALL, 0x07, E + "[1000D"},
      {E + "[0C", 0x07, ALL, 0x07, ""},
      {E + "[B", 0x07, ALL, 0x07, ""},
      {E + "[s", 0x07, ALL, 0x07, E + "[s"},
      {E + "[u", 0x07, ALL, 0x07, E + "[u"},
      // erasing
      {E + "[J", 0x07, ALL, 0x07, E + "[2K" + E + "[J"},
      {E + "[1J", 0x07, ALL, 0x07, E + "[1J"},
      {E + "[2J", 0x07, ALL, 0x07, E + "[2J" + E + "[H"},
      {E + "[0J", 0x07, ALL, 0x07, ""},
      {E + "[K", 0x07, ALL, 0x07, E + "[K"},
      {E + "[1K", 0x07, ALL, 0x07, E + "[1K" + E + "[G"},
      {E + "[2K", 0x07, ALL, 0x07, E + "[2K" + E + "[G"},
      {E + "[0K", 0x07, ALL, 0x07, ""},
      // what is not taken
      {E + "(B", 0x07, 0, 0x07, ""},
      {E + "[31x", 0x07, ALL, 0x07, ""},
      {E + "[1;2;3x", 0x07, ALL, 0x07, ""},
      {E + "[?25l", 0x07, ALL, 0x07, E + "[?25l"},      // terminal modes pass through
      {E + "[?1049h", 0x07, ALL, 0x07, E + "[?1049h"},
      {E + "[?x", 0x07, 3, 0x07, ""},                  // no report; "x" is text
      // text cut inside a sequence: consumed whole, nothing done
      {E, 0x1C, ALL, 0x1C, ""},
      {E + "[", 0x1C, ALL, 0x1C, ""},
      {E + "[3", 0x1C, ALL, 0x1C, ""},
      {E + "[31;4", 0x1C, ALL, 0x1C, ""},
      {E + "[1;31;", 0x1C, ALL, 0x1C, ""},
      {E + "[?25", 0x1C, ALL, 0x1C, ""},
  };
  for (const Case& c : cases) {
    std::unique_ptr<char[]> exact(new char[c.input.size()]);
    c.input.copy(exact.get(), c.input.size());
    ansi::State state{c.before};
    std::string out;
    size_t consumed = ansi::parse_escape(exact.get(), c.input.size(), state, out);
    std::string shown = c.input.substr(1);
    EXPECT_EQ(consumed, c.consumed == ALL ? c.input.size() : c.consumed) << shown;
    EXPECT_EQ(state.attribute, c.after) << shown;
    EXPECT_EQ(out, c.emitted) << shown;
  }
}

TEST(AnsiEmulation, OnlyTheFinalSgrIsWrittenAndTheTextAfterIsLeft) {
  std::string text = E + "[1;31;44mabc";
  ansi::State state;
  std::string out;
  EXPECT_EQ(ansi::parse_escape(text.data(), text.size(), state, out), text.size() - 3);
  EXPECT_EQ(out, E + "[0;91;44m");
}

}  // namespace
}  // namespace zol
