// binary!: its literals and molded text, conversions, the editing and bitwise
// actions, and poke's byte checks, as Zol source with the expected molded result.
#include <gtest/gtest.h>

#include <string>

#include "interpreter/lexer/load.h"
#include "runtime/core/error.h"
#include "support.h"

namespace zol {
namespace {

std::string error(err::Id id) { return test::eval_error_text(id); }

// The molded text of n bytes 0x30, 0x31, ... as mold writes a long binary: the
// digits on lines of 32 bytes indented one level, the brace on a line of its own.
std::string long_mold(int n) {
  std::string mold = "{#{\n    ";
  for (int i = 0; i < n; i++) {
    static const char hex[] = "0123456789ABCDEF";
    int byte = 0x30 + i % 10;
    mold += hex[byte >> 4];
    mold += hex[byte & 15];
    if ((i + 1) % 32 == 0) mold += i + 1 < n ? "\n    " : "\n";
  }
  if (n % 32 != 0) mold += "\n";
  return mold + "}}";
}

std::string digits_text(int n) {
  std::string text;
  for (int i = 0; i < n; i++) text += char('0' + i % 10);
  return text;
}

TEST(Binary, LiteralsInEveryBase) {
  test::check({
      {"#{}", "#{}"},
      {"#{0a ff}", "#{0AFF}"},
      {"#{61 ; a comment\n 62}", "#{6162}"},
      {"2#{01100001 01100010}", "#{6162}"},
      {"16#{6162}", "#{6162}"},
      {"64#{YWJj}", "#{616263}"},
      {"64#{YW==}", "#{61}"},
      {"58#{112}", "#{000001}"},
      {"type? #{01}", "binary!"},
  });
}

// A literal whose text does not decode in its base is an invalid binary!.
TEST(Binary, InvalidLiteralsAreSyntaxErrors) {
  for (std::string src : {"#{0G}", "#{\xC3\xA9}", "2#{0101}", "3#{01}", "64#{Y=}", "99#{00}",
                          "-16#{00}", "-214748364800000#{00}"}) {
    Cell out;
    EXPECT_EQ(test::raised([&] {
                lexer::load_utf8(reinterpret_cast<const uint8_t*>(src.data()),
                                 uint32_t(src.size()), &out);
              }),
              test::error_name(err::syntax::INVALID))
        << src;
    EXPECT_EQ(test::mold(error::last_args[1]), "binary!") << src;
  }
}

TEST(Binary, MoldBreaksLongBinariesIntoLines) {
  test::check({
      {"mold #{0102}", "\"#{0102}\""},
      {"form #{0102}", "\"#{0102}\""},
  });
  std::string flat = "mold/flat to binary! \"" + digits_text(40) + "\"";
  std::string flat_digits;
  for (int i = 0; i < 40; i++) flat_digits += "3" + std::to_string(i % 10);
  test::check({{flat.c_str(), "{#{" + flat_digits + "}}"}});
  for (int n : {31, 32, 33, 64, 70}) {
    std::string src = "mold to binary! \"" + digits_text(n) + "\"";
    test::check({{src.c_str(), long_mold(n)}});
  }
  test::check({{"mold to binary! \"012345678901234567890123456789\"",
                "{#{303132333435363738393031323334353637383930313233343536373839}}"}});
}

TEST(Binary, ConversionsToBinary) {
  test::check({
      {"to binary! 1", "#{00000001}"},
      {"to binary! 1.2.255", "#{0102FF}"},
      {"to binary! [1.2.3 #{04}]", "#{01020304}"},
      {"to binary! -1", "#{FFFFFFFF}"},
      {"to binary! 1.5", "#{3FF8000000000000}"},
      {"to binary! 50%", "#{3FE0000000000000}"},
      {"to binary! #\"a\"", "#{61}"},
      {"to binary! #\"^(e9)\"", "#{C3A9}"},
      {"to binary! \"a^(e9)^(20ac)\"", "#{61C3A9E282AC}"},
      {"to binary! next \"abc\"", "#{6263}"},
      {"to binary! %a.txt", "#{612E747874}"},
      {"to binary! #6162", "#{6162}"},
      {"to binary! [1 \"a\" #\"b\" #{02} 2.5]", "#{01616202322E35}"},
      {"to binary! #{0102}", "#{0102}"},
      {"x: #{0102} same? x to binary! x", "false"},
      {"make binary! 10", "#{}"},
      {"make binary! \"a\"", "#{61}"},
      {"to binary! none", error(err::script::BAD_TO_ARG)},
      {"to binary! #6G", error(err::script::INVALID_ARG)},
      {"to string! #{61C3A9}", "\"a\xC3\xA9\""},
  });
}

TEST(Binary, AppendInsertAndChangeWriteBytes) {
  test::check({
      {"append #{01} 255", "#{01FF}"},
      {"append #{01} 10.20.30", "#{010A141E}"},
      {"append #{01} -1", "#{01FF}"},
      {"append #{01} #\"^(e9)\"", "#{01C3A9}"},
      {"append #{01} [2 #\"a\" \"bc\" #{03}]", "#{010261626303}"},
      {"append/part #{} \"abc\" 2", "#{6162}"},
      {"append/dup #{} #{0102} 3", "#{010201020102}"},
      {"head insert next #{0104} #{0203}", "#{01020304}"},
      {"insert #{01} 2", "#{01}"},
      {"head change next #{010203} #{FFFF}", "#{01FFFF}"},
      {"head change/part #{010203} #{FF} 2", "#{FF03}"},
      {"x: #{0102} append x x", "#{01020102}"},
      // Growing a full buffer keeps its bytes.
      {"append copy #{000102030405060708090A0B0C0D0E0F} #{AA}",
       "#{000102030405060708090A0B0C0D0E0FAA}"},
      {"x: make binary! 1 loop 20 [append x #{AB}] x",
       "#{ABABABABABABABABABABABABABABABABABABABAB}"},
      {"append #{} 256", error(err::script::OUT_OF_RANGE)},
      {"append #{} -129", error(err::script::OUT_OF_RANGE)},
      {"append #{} 1.5", error(err::script::INVALID_ARG)},
  });
}

TEST(Binary, InheritedSeriesActionsSeeBytes) {
  test::check({
      {"length? #{010203}", "3"},
      {"find #{010203} #{0203}", "#{0203}"},
      {"find #{410203} #{61}", "none"},
      {"find #{010203} 3", "#{03}"},
      {"select #{010203} 2", "3"},
      {"pick #{01FF} 2", "255"},
      {"pick next #{0102} 1", "2"},
      {"copy/part next #{010203} 1", "#{02}"},
      {"take/last #{0102}", "2"},
      {"reverse #{010203}", "#{030201}"},
      {"sort #{030102}", "#{010203}"},
      {"remove #{0102}", "#{02}"},
      {"#{01} = #{01}", "true"},
      {"#{01} = #{0102}", "false"},
      {"#{01} < #{02}", "true"},
      {"#{01} < #{0100}", "true"},
      {"#{61} = \"a\"", "false"},
  });
}

TEST(Binary, PokeAndPathSetStoreOnlyBytes) {
  test::check({
      {"x: #{0102} x/1: 255 x", "#{FF02}"},
      {"x: #{0102} x/2: #\"a\" x", "#{0161}"},
      {"x: #{0102} poke x 1 0 x", "#{0002}"},
      {"x: #{0102} x/1: 256", error(err::script::OUT_OF_RANGE)},
      {"x: #{0102} poke x 1 -1", error(err::script::OUT_OF_RANGE)},
      {"x: #{0102} poke x 1 #\"^(100)\"", error(err::script::OUT_OF_RANGE)},
      {"x: #{0102} poke x 1 \"a\"", error(err::script::INVALID_ARG)},
      {"x: #{0102} x/1: 1.0", error(err::script::INVALID_ARG)},
  });
}

TEST(Binary, BitwiseActionsOnUnequalLengths) {
  test::check({
      {"and~ #{FF00} #{0F}", "#{0F00}"},
      {"or~ #{FF00} #{0F}", "#{FF00}"},
      {"xor~ #{FF00} #{0F0F}", "#{F00F}"},
      {"and~ #{0F} #{FF00}", "#{0F00}"},
      {"or~ #{0F} #{F0F0}", "#{FFF0}"},
      {"xor~ #{} #{01}", "#{01}"},
      {"complement #{00FF5A}", "#{FF00A5}"},
      {"complement #{}", "#{}"},
      {"and~ #{FF} 1", error(err::script::INVALID_ARG)},
  });
}

TEST(Binary, TrimRemovesZeroBytes) {
  test::check({
      {"trim #{0000610000}", "#{61}"},
      {"trim/head #{000100}", "#{0100}"},
      {"trim/tail #{000100}", "#{0001}"},
      {"trim/all #{00010002}", "#{0102}"},
      {"trim/with #{0102030201} #{02}", "#{010301}"},
      {"trim/with #{0102030201} 1", "#{020302}"},
      {"head trim next #{00000100}", "#{0001}"},
      {"trim #{0000}", "#{}"},
      {"trim/lines #{00}", error(err::internal::NOT_DONE)},
  });
}

}  // namespace
}  // namespace zol
