// The lexer's scanner: every literal form with its kind, type and extent, the
// structure of blocks, maps, parens, points and paths, lines, the syntax errors
// with their line, and that no input makes it read out of bounds or stall.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interpreter/lexer/scan.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "support.h"

namespace zol {
namespace {

using lexer::Options;
using lexer::Scanner;
using lexer::Token;

std::string kind_label(const Token& t) {
  switch (t.kind) {
    case lexer::K_BLOCK_OPEN: case lexer::K_PAREN_OPEN: case lexer::K_MAP_OPEN:
    case lexer::K_PATH_OPEN:
      return std::string("open ") + test::type_name(t.type);
    case lexer::K_BLOCK_CLOSE: case lexer::K_PAREN_CLOSE: case lexer::K_PATH_CLOSE:
      return std::string("close ") + test::type_name(t.type);
    case lexer::K_COMMENT: return "comment";
    case lexer::K_COMMA: return "comma";
    default: return test::type_name(t.type);
  }
}

std::string text_of(const std::string& src, uint32_t from, uint32_t to) {
  return src.substr(from, to - from);
}

// "kind text" per token, up to the end or the first error.
std::vector<std::string> scan(const std::string& src, Options options = {}) {
  Scanner s(reinterpret_cast<const uint8_t*>(src.data()), uint32_t(src.size()), options);
  std::vector<std::string> out;
  for (Token t = s.next(); t.kind != lexer::K_END; t = s.next()) {
    if (t.kind == lexer::K_ERROR) {
      out.push_back("error " + text_of(src, t.body_start, t.body_end));
      break;
    }
    std::string text = text_of(src, t.start, t.end);
    out.push_back(kind_label(t) + (text.empty() ? "" : " " + text));
  }
  return out;
}

// The first token of a source.
Token first_token(const std::string& src) {
  Scanner s(reinterpret_cast<const uint8_t*>(src.data()), uint32_t(src.size()));
  return s.next();
}

using Tokens = std::vector<std::string>;

TEST(LexerScan, EveryLiteralFormHasItsTypeAndExtent) {
  struct Case { const char* src; Tokens tokens; };
  const Case cases[] = {
      {"a b-c? :d e: 'f", {"word! a", "word! b-c?", "get-word! :d", "set-word! e:",
                           "lit-word! 'f"}},
      {"+ - * / // < > <= >= <> = == % ^x",
       {"word! +", "word! -", "word! *", "word! /", "word! //", "word! <", "word! >",
        "word! <=", "word! >=", "word! <>", "word! =", "word! ==", "word! %", "word! ^x"}},
      {"/: :/ '/", {"set-word! /:", "get-word! :/", "lit-word! '/"}},
      {"/ref /a/b", {"refinement! /ref", "refinement! /a", "refinement! /b"}},
      {"#iss #1-2", {"issue! #iss", "issue! #1-2"}},
      {"0 12 -3 +4 1'000'000 2147483648",
       {"integer! 0", "integer! 12", "integer! -3", "integer! +4", "integer! 1'000'000",
        "integer! 2147483648"}},
      {"FFh 0FFh 12h", {"integer! FFh", "integer! 0FFh", "integer! 12h"}},
      {"1.5 -0.5 .5 1. 1e10 1.5E-3 1'000.25",
       {"float! 1.5", "float! -0.5", "float! .5", "float! 1.", "float! 1e10", "float! 1.5E-3",
        "float! 1'000.25"}},
      {"1.#INF -1.#inf 1.#NaN", {"float! 1.#INF", "float! -1.#inf", "float! 1.#NaN"}},
      {"50% 1.5% -2%", {"percent! 50%", "percent! 1.5%", "percent! -2%"}},
      {"1.2.3 255.255.255.0", {"tuple! 1.2.3", "tuple! 255.255.255.0"}},
      {"1x2 -3x4 1.5X2", {"pair! 1x2", "pair! -3x4", "pair! 1.5X2"}},
      {"10:30 1:02:03.5 -1:00", {"time! 10:30", "time! 1:02:03.5", "time! -1:00"}},
      {"1-Jan-2000 2024-01-31T10:00:00Z 1/2/03 2024-W01-1",
       {"date! 1-Jan-2000", "date! 2024-01-31T10:00:00Z", "date! 1/2/03", "date! 2024-W01-1"}},
      {"$1.50 -$2 USD$3.25 $1'000",
       {"money! $1.50", "money! -$2", "money! USD$3.25", "money! $1'000"}},
      {"#\"a\" #\"^/\" #\"^(tab)\" #\"^\"\"",
       {"char! #\"a\"", "char! #\"^/\"", "char! #\"^(tab)\"", "char! #\"^\"\""}},
      {"\"a b\" \"^\"q^\"\" \"\" \"é\"",
       {"string! \"a b\"", "string! \"^\"q^\"\"", "string! \"\"", "string! \"é\""}},
      {"{a {b} c} {x^}y} {}", {"string! {a {b} c}", "string! {x^}y}", "string! {}"}},
      {"%{a}b}% %%{x}%% %%{a}% b}%%",
       {"string! %{a}b}%", "string! %%{x}%%", "string! %%{a}% b}%%"}},
      {"%a/b.txt %\"my file\" %dir/", {"file! %a/b.txt", "file! %\"my file\"", "file! %dir/"}},
      {"http://x.com/a?b=1 mailto:a@b.c", {"url! http://x.com/a?b=1", "url! mailto:a@b.c"}},
      {"a@b.com john.doe@x.org", {"email! a@b.com", "email! john.doe@x.org"}},
      {"<a> <a href=\"x>y\"> </b>", {"tag! <a>", "tag! <a href=\"x>y\">", "tag! </b>"}},
      {"@ref @a-b", {"ref! @ref", "ref! @a-b"}},
      {"#{0A0B} 2#{00001111} 64#{QQ==} #{0A ;c\n 0B}",
       {"binary! #{0A0B}", "binary! 2#{00001111}", "binary! 64#{QQ==}",
        "binary! #{0A ;c\n 0B}"}},
      {"#(none) #(TRUE) #(false) #(unset) #(logic!) #(Data) #(unset!) #(n)",
       {"none! #(none)", "logic! #(TRUE)", "logic! #(false)", "unset! #(unset)",
        "datatype! #(logic!)", "datatype! #(Data)", "datatype! #(unset!)", "datatype! #(n)"}},
      {"a ; note\nb;x", {"word! a", "comment ; note", "word! b", "comment ;x"}},
      {"", {}},
      {" \t\r\n\x01\x1F ", {}},   // control characters count as blanks
      {"a\x01" "b", {"word! a", "word! b"}},
      {"(1, 2) (1.5, -2, 3e2)", {"point2D! (1, 2)", "point2D! (1.5, -2, 3e2)"}},
  };
  for (const Case& c : cases) EXPECT_EQ(scan(c.src), c.tokens) << c.src;
}

TEST(LexerScan, BlocksParensMapsAndPointsNest) {
  struct Case { const char* src; Tokens tokens; };
  const Case cases[] = {
      {"[a (b) #[k 1]]",
       {"open block! [", "word! a", "open paren! (", "word! b", "close paren! )",
        "open map! #[", "word! k", "integer! 1", "close map! ]", "close block! ]"}},
      {"(1 2)", {"open paren! (", "integer! 1", "integer! 2", "close paren! )"}},
      {"[[]]()", {"open block! [", "open block! [", "close block! ]", "close block! ]",
                  "open paren! (", "close paren! )"}},
      // A comma turns the paren it stands in into a point of that many parts.
      {"(10%, 2) (1%, 2, 3)",
       {"open paren! (", "percent! 10%", "comma ,", "integer! 2", "close point2D! )",
        "open paren! (", "percent! 1%", "comma ,", "integer! 2", "comma ,", "integer! 3",
        "close point3D! )"}},
      // Three bytes after "(" are too few for a point.
      {"(1,2", {"open paren! (", "integer! 1", "comma ,", "integer! 2", "error (1,2"}},
  };
  for (const Case& c : cases) EXPECT_EQ(scan(c.src), c.tokens) << c.src;
}

TEST(LexerScan, PathsOfEveryKind) {
  struct Case { const char* src; Tokens tokens; };
  const Case cases[] = {
      {"a/b/c", {"open path! a/", "word! b", "word! c", "close path!"}},
      {"a/b: 1", {"open path! a/", "word! b", "close set-path! :", "integer! 1"}},
      {":a/b 'a/b", {"open get-path! :a/", "word! b", "close get-path!", "open lit-path! 'a/",
                     "word! b", "close lit-path!"}},
      {"a/1/(b)/\"s\"/:c/'d",
       {"open path! a/", "integer! 1", "open paren! (", "word! b", "close paren! )",
        "string! \"s\"", "get-word! :c", "lit-word! 'd", "close path!"}},
      {"[a/b]", {"open block! [", "open path! a/", "word! b", "close path!", "close block! ]"}},
      {"obj/(1, 2)", {"open path! obj/", "point2D! (1, 2)", "close path!"}},
      {"a/(b/c)/d", {"open path! a/", "open paren! (", "open path! b/", "word! c", "close path!",
                     "close paren! )", "word! d", "close path!"}},
      // An element that opens a path of its own: both close where it ends.
      {"a/<=/b c", {"open path! a/", "open path! <=/", "word! b", "close path!", "close path!",
                    "word! c"}},
  };
  for (const Case& c : cases) EXPECT_EQ(scan(c.src), c.tokens) << c.src;
}

TEST(LexerScan, BodiesAreWhatTheLoadersConvert) {
  struct Case { const char* src; const char* body; };
  const Case cases[] = {
      {"\"a^\"b\"", "a^\"b"}, {"{a {b} c}", "a {b} c"}, {"%%{a}% b}%%", "a}% b"},
      {"%{a}b}%", "a}b"}, {"#\"x\"", "x"}, {"%\"my file\"", "my file"}, {"%a.txt", "a.txt"},
      {"64#{QQ==}", "QQ=="}, {"#{}", ""}, {"50%", "50"}, {"<a b>", "a b"}, {"@ref", "ref"},
      {"FFh", "FF"}, {"#iss", "iss"}, {"/ref", "ref"}, {"(1, 2)", "1, 2"}, {"#(none)", "none"},
      {"a:", "a"}, {":a", "a"}, {"'a", "a"}, {"a", "a"}, {":a/b", "a"}, {"'a/b", "a"},
      {"a/b", "a"},
  };
  for (const Case& c : cases) {
    Token t = first_token(c.src);
    EXPECT_EQ(text_of(c.src, t.body_start, t.body_end), c.body) << c.src;
  }
}

TEST(LexerScan, ConstructsCarryTheirValue) {
  struct Case { const char* src; uint8_t type; uint32_t value; };
  const Case cases[] = {
      {"#(true)", T_LOGIC, 1}, {"#(False)", T_LOGIC, 0}, {"#(logic!)", T_DATATYPE, T_LOGIC},
      {"#(lo)", T_DATATYPE, T_LOGIC}, {"#(datatype)", T_DATATYPE, T_DATATYPE},
      {"#(NONE!)", T_DATATYPE, T_NONE},
  };
  for (const Case& c : cases) {
    Token t = first_token(c.src);
    EXPECT_EQ(t.kind, lexer::K_CONSTRUCT) << c.src;
    EXPECT_EQ(t.type, c.type) << c.src;
    EXPECT_EQ(t.aux, c.value) << c.src;
  }
}

TEST(LexerScan, UnicodeBlanksSeparateWords) {
  // U+00A0 and U+3000 around and between words; a word of blanks alone vanishes.
  EXPECT_EQ(scan("\xC2\xA0" "a" "\xC2\xA0" "b" "\xE3\x80\x80"), (Tokens{"word! a", "word! b"}));
  EXPECT_EQ(scan("[\xC2\xA0]"), (Tokens{"open block! [", "close block! ]"}));
  EXPECT_EQ(scan("x\xC2\xA0'y\xC2\x85z"), (Tokens{"word! x", "lit-word! 'y", "word! z"}));
  EXPECT_EQ(scan("\xC3\xA9t\xC3\xA9"), (Tokens{"word! été"}));
}

TEST(LexerScan, LinesAndNewLineMarks) {
  const std::string src = "a [\n b] ; c\n\n d {x\ny} e";
  Scanner s(reinterpret_cast<const uint8_t*>(src.data()), uint32_t(src.size()));
  struct Expect { const char* text; uint32_t line; bool new_line; };
  const Expect expected[] = {{"a", 1, false}, {"[", 1, false}, {"b", 2, true}, {"]", 2, false},
                             {"; c", 2, false}, {"d", 4, true}, {"{x\ny}", 4, false},
                             {"e", 5, false}};
  for (const Expect& e : expected) {
    Token t = s.next();
    EXPECT_EQ(text_of(src, t.start, t.end), e.text);
    EXPECT_EQ(t.line, e.line) << e.text;
    EXPECT_EQ((t.flags & lexer::TOKEN_NEW_LINE) != 0, e.new_line) << e.text;
  }
  EXPECT_EQ(s.next().kind, lexer::K_END);
  EXPECT_EQ(s.line(), 5u);
}

TEST(LexerScan, FlagsTellTheUnitAndTheMarks) {
  EXPECT_EQ(lexer::unit_of_flags(first_token("\"abc\"").flags), 1u);
  EXPECT_EQ(lexer::unit_of_flags(first_token("\"é\"").flags), 2u);
  EXPECT_EQ(lexer::unit_of_flags(first_token("{\xF0\x9F\x98\x80 é}").flags), 4u);
  EXPECT_TRUE(first_token("1'000").flags & lexer::F_QUOTE);
  EXPECT_TRUE(first_token("\"a^/\"").flags & lexer::F_CARET);
  EXPECT_TRUE(first_token("a:").flags & lexer::F_COLON);
  EXPECT_FALSE(first_token("a :").flags & lexer::F_COLON) << "the delimiter is not the token's";
}

// Error cases: the syntax error id, its "(line N)", the datatype or bracket, and
// the text reported.
struct ErrorCase {
  const char* src;
  err::syntax id;
  int line;
  const char* subject;   // datatype name, or the bracket
  const char* text;
};

std::string raised_report(const std::string& src, Options options = {}) {
  Scanner s(reinterpret_cast<const uint8_t*>(src.data()), uint32_t(src.size()), options);
  return test::raised([&] {
    for (Token t = s.next(); t.kind != lexer::K_END; t = s.next())
      if (t.kind == lexer::K_ERROR) s.raise(t);
  });
}

std::string subject_text(const Cell& c) {
  if (c.is(T_DATATYPE)) return test::type_name(uint8_t(c.w1));
  return string::to_utf8(&c);
}

TEST(LexerScan, MalformedInputRaisesSyntaxErrorsWithTheirLine) {
  using enum err::syntax;
  const std::string many_x = "\"" + std::string(80, 'x');
  std::string accents = "\"";
  for (int i = 0; i < 20; i++) accents += "\xC3\xA9";
  const std::string accents_cut = accents.substr(0, 29);
  const ErrorCase cases[] = {
      {"}", BAD_CHAR, 1, "error!", "}"},
      {"a \\b", BAD_CHAR, 1, "error!", "\\b"},
      // Bytes that are not UTF-8 are reported as the characters of their values.
      {"\x80", BAD_CHAR, 1, "error!", "\xC2\x80"},
      {"a\n\"abc\nx", INVALID, 2, "string!", "\"abc"},
      {"a\n[b c", MISSING, 2, "]", "[b c"},
      {"a ]", MISSING, 1, "[", "]"},
      {"a )", MISSING, 1, "(", ")"},
      {"[a)", MISSING, 1, "]", "[a)"},
      {"(a]", MISSING, 1, ")", "(a]"},
      {"(a", MISSING, 1, ")", "(a"},
      {"#[a 1 b]", INVALID, 1, "map!", "#[a 1 b]"},
      {"#[a 1 [b] 2]", INVALID, 1, "map!", "#[a 1 [b] 2]"},
      {"#(foo)", MALCONSTRUCT, 1, "error!", "#(foo)"},
      {"#(none", MALCONSTRUCT, 1, "error!", "#(none"},
      {"#()", MALCONSTRUCT, 1, "error!", "#()"},
      {"x a/", INVALID, 1, "path!", "a/"},
      {"a/b:/c", INVALID, 1, "path!", "a/b:/c"},
      {"a/b} c", INVALID, 1, "path!", "a/b} c"},
      {"a/b, c", INVALID, 1, "word!", "b, c"},
      {"a/ b", INVALID, 1, "path!", "a/ b"},
      {"1,2", INVALID, 1, "point2D!", ",2"},
      {"[1, 2]", INVALID, 1, "point2D!", ", 2]"},
      {"(1%, 2, 3, 4)", INVALID, 1, "point3D!", ", 4)"},
      {"(1, 2", INVALID, 1, "point2D!", "(1, 2"},
      {"((1,  2), (3))", INVALID, 1, "point2D!", "((1,  2), (3))"},
      {":a:", INVALID, 1, "word!", ":a:"},
      {"'a:", INVALID, 1, "lit-word!", "'a:"},
      {"# a", INVALID, 1, "issue!", "# a"},
      {"\"a^(xyz)\"", INVALID, 1, "string!", "\"a^(xyz)\""},
      {"\"\xC3(\"", INVALID, 1, "string!", "\"\xC3\x83(\""},
      {"a\xC3", INVALID, 1, "word!", "a\xC3\x83"},
      {"a\xC3/b", INVALID, 1, "word!", "a\xC3\x83/b"},
      {"#a\xE2\x82", INVALID, 1, "issue!", "#a\xC3\xA2\xC2\x82"},
      {"/a\xF0", INVALID, 1, "refinement!", "/a\xC3\xB0"},
      {"{a\n{b}", INVALID, 2, "string!", "{a"},
      {"%{abc", INVALID, 1, "string!", "%{abc"},
      {"%%{a}%", INVALID, 1, "string!", "%%{a}%"},
      {"1..2", INVALID, 1, "float!", "1..2"},
      {"1\n2\n3x", INVALID, 3, "pair!", "3x"},
      {many_x.c_str(), INVALID, 1, "string!", "\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
      // Cut at 30 bytes without splitting a character: 1 + 14 * 2 bytes.
      {accents.c_str(), INVALID, 1, "string!", accents_cut.c_str()},
  };
  for (const ErrorCase& c : cases) {
    EXPECT_EQ(raised_report(c.src), test::error_name(c.id)) << c.src;
    EXPECT_EQ(string::to_utf8(&error::last_args[0]), "(line " + std::to_string(c.line) + ")")
        << c.src;
    EXPECT_EQ(subject_text(error::last_args[1]), c.subject) << c.src;
    EXPECT_EQ(string::to_utf8(&error::last_args[2]), c.text) << c.src;
  }
}

TEST(LexerScan, PrescanChecksStructureOnly) {
  Options prescan{true};
  EXPECT_EQ(scan(":a: #", prescan), (Tokens{"word! :a:", "issue! #"}));
  EXPECT_EQ(scan("#[a]", prescan), (Tokens{"open map! #[", "word! a", "close map! ]"}));
  EXPECT_EQ(raised_report("[a", prescan), test::error_name(err::syntax::MISSING));
  EXPECT_EQ(raised_report("\"a", prescan), test::error_name(err::syntax::INVALID));
}

TEST(LexerScan, LoadersRaiseThroughTheScanner) {
  // A loader finds 1''0 malformed: the error names its type, line and text.
  const std::string src = "x\n1''0 y";
  Scanner s(reinterpret_cast<const uint8_t*>(src.data()), uint32_t(src.size()));
  s.next();
  Token t = s.next();
  ASSERT_EQ(t.kind, lexer::K_INTEGER);
  Token e = s.error_in(t, T_INTEGER);
  EXPECT_EQ(test::raised([&] { s.raise(e); }), test::error_name(err::syntax::INVALID));
  EXPECT_EQ(string::to_utf8(&error::last_args[0]), "(line 2)");
  EXPECT_EQ(string::to_utf8(&error::last_args[2]), "1''0 y");
  // A path problem is reported from the path's start.
  const std::string path = "[a/b/c]";
  Scanner p(reinterpret_cast<const uint8_t*>(path.data()), uint32_t(path.size()));
  p.next();
  p.next();
  Token element = p.next();
  EXPECT_EQ(text_of(path, p.error_in(element, T_PATH).body_start, uint32_t(path.size())),
            "a/b/c]");
}

TEST(LexerScan, AfterAnErrorScanningGoesOnAtTheTop) {
  const std::string src = "[a } b] c";
  Scanner s(reinterpret_cast<const uint8_t*>(src.data()), uint32_t(src.size()));
  std::vector<std::string> seen;
  for (Token t = s.next(); t.kind != lexer::K_END; t = s.next())
    seen.push_back(t.kind == lexer::K_ERROR ? "error" : kind_label(t));
  // The block was abandoned with the error, so its "]" stands alone.
  EXPECT_EQ(seen, (Tokens{"open block!", "word!", "error", "word!", "error", "word!"}));
  EXPECT_EQ(s.depth(), 0u);
}

TEST(LexerScan, EscapesDecodeOrFail) {
  struct Case { const char* after_caret; int taken; uint32_t code_point; };
  const Case cases[] = {
      {"(tab)", 5, 9}, {"(TAB)", 5, 9}, {"(line)", 6, 10}, {"(null)", 6, 0}, {"(back)", 6, 8},
      {"(page)", 6, 12}, {"(esc)", 5, 27}, {"(del)", 5, 127}, {"(A)", 3, 10}, {"(0a)", 4, 10},
      {"(1F600)", 7, 0x1F600}, {"(10FFFF)", 8, 0x10FFFF}, {"/", 1, 10}, {"-", 1, 9},
      {"@", 1, 0}, {"\"", 1, 34}, {"{", 1, 123}, {"}", 1, 125}, {"^", 1, 94}, {"~", 1, 127},
      {"a", 1, 1}, {"z", 1, 26}, {"A", 1, 1}, {"[", 1, 27}, {"_", 1, 31}, {"1", 1, '1'},
      {"\xC3\xA9", 2, 0xE9},
      {"(110000)", -1, 0}, {"(1234567)", -1, 0}, {"()", -1, 0}, {"(xyz)", -1, 0},
      {"(tab", -1, 0}, {"\xC3", -1, 0}, {"", -1, 0},
  };
  for (const Case& c : cases) {
    const std::string text = c.after_caret;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
    uint32_t cp = 0xFFFFFFFF;
    EXPECT_EQ(lexer::decode_escape(p, p + text.size(), &cp), c.taken) << text;
    if (c.taken > 0) {
      EXPECT_EQ(cp, c.code_point) << text;
    }
  }
}

TEST(LexerScan, StringTextMustBeValidUtf8) {
  struct Case { const char* text; bool valid; };
  const Case cases[] = {
      {"plain", true}, {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true}, {"\x80", false},
      {"\xE0\x80\x80", false}, {"\xED\xA0\x80", false}, {"\xF4\x90\x80\x80", false},
      {"\xC3", false}, {"a^(tab)", true}, {"a^(nope)", false},
  };
  for (const Case& c : cases) {
    const std::string text = c.text;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
    EXPECT_EQ(lexer::valid_string_text(p, p + text.size(), true), c.valid) << text;
  }
}

// Every input ends in a bounded number of tokens that lie inside it. Checked on
// all one- and two-byte inputs and on the short inputs over the bytes that drive
// the structure.
void expect_well_behaved(const std::string& src) {
  Scanner s(reinterpret_cast<const uint8_t*>(src.data()), uint32_t(src.size()));
  const uint32_t n = uint32_t(src.size());
  size_t tokens = 0;
  for (Token t = s.next(); t.kind != lexer::K_END; t = s.next()) {
    ASSERT_LE(++tokens, 4 * src.size() + 4) << "no progress on " << src;
    ASSERT_LE(t.start, t.end) << src;
    ASSERT_LE(t.end, n) << src;
    ASSERT_LE(t.body_start, t.body_end) << src;
    ASSERT_LE(t.body_end, n) << src;
  }
}

TEST(LexerScan, NoInputStallsOrLeavesTheText) {
  for (int a = 0; a < 256; a++) {
    expect_well_behaved(std::string(1, char(a)));
    for (int b = 0; b < 256; b++) expect_well_behaved(std::string{char(a), char(b)});
  }
  const std::string alphabet = "[](){}\"#':/%;,^ a1.\n\xC3@<$x-";
  std::string src(3, ' ');
  for (char a : alphabet)
    for (char b : alphabet)
      for (char c : alphabet) {
        src[0] = a, src[1] = b, src[2] = c;
        expect_well_behaved(src);
        expect_well_behaved("a/" + src);
        expect_well_behaved("(1, " + src);
      }
}

}  // namespace
}  // namespace zol
