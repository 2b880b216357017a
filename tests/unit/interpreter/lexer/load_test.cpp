// Loading text into values: every literal form with its datatype and value, the
// errors of malformed literals, the forms not built yet, the scan modes (one value,
// quiet, pre-scan, wrapping into a block), new-line marks, the cell stack under
// depth and size, nested scans, the tracer's events, and the conversions that go
// through the lexer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/actions.h"
#include "interpreter/lexer/load.h"
#include "runtime/collector/collector.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

Cell load(const std::string& src) {
  Cell out;
  return *lexer::load_utf8(bytes(src), uint32_t(src.size()), &out);
}

lexer::Request traced_by(const lexer::Tracer& tracer) {
  lexer::Request r;
  r.tracer = &tracer;
  return r;
}

// "type value": the mold, or for text the characters it holds.
std::string describe(const Cell& v) {
  std::string shown = series::is_any_string(v.type()) ? string::to_utf8(&v) : test::mold(v);
  return std::string(test::type_name(v.type())) + " " + shown;
}

using Values = std::vector<std::string>;

Values values_of(const std::string& src) {
  Cell blk = load(src);
  Values out;
  for (int32_t i = 0; i < block::length(&blk); i++)
    out.push_back(describe(*block::cell_at(&blk, i)));
  return out;
}

struct Case {
  const char* src;
  Values values;
};

TEST(LexerLoad, EveryLiteralFormLoadsWithItsTypeAndValue) {
  const Case cases[] = {
      {"a b-c? :d e: 'f",
       {"word! a", "word! b-c?", "get-word! :d", "set-word! e:", "lit-word! 'f"}},
      {"+ // <= <> == % ^x", {"word! +", "word! //", "word! <=", "word! <>", "word! ==",
                              "word! %", "word! ^x"}},
      {"/ /: :/ '/", {"word! /", "set-word! /:", "get-word! :/", "lit-word! '/"}},
      {"/ref #iss #1-2", {"refinement! /ref", "issue! #iss", "issue! #1-2"}},
      {"\xC3\xA9t\xC3\xA9 a\xC2\xA0" "b", {"word! \xC3\xA9t\xC3\xA9", "word! a", "word! b"}},
      {"0 12 -3 +4 1'000'000 2147483647",
       {"integer! 0", "integer! 12", "integer! -3", "integer! 4", "integer! 1000000",
        "integer! 2147483647"}},
      // Past 32 bits or ten digits an integer is a float!, but for the smallest one.
      {"2147483648 -2147483648 -2147483649 00000000001 -2'147'483'648",
       {"float! 2147483648.0", "integer! -2147483648", "float! -2147483649.0", "float! 1.0",
        "float! -2147483648.0"}},
      {"FFh 0FFh 12h 7FFFFFFFh FFFFFFFFh",
       {"integer! 255", "integer! 255", "integer! 18", "integer! 2147483647", "integer! -1"}},
      {"1.5 -0.5 .5 1. 1e10 1.5E-3 1'000.25 +1.5e+2",
       {"float! 1.5", "float! -0.5", "float! 0.5", "float! 1.0", "float! 10000000000.0",
        "float! 0.0015", "float! 1000.25", "float! 150.0"}},
      {"1.#INF -1.#inf 1.#NaN", {"float! 1.#INF", "float! -1.#INF", "float! 1.#NaN"}},
      {"50% 1.5% -2% 1'0% .5%", {"percent! 50%", "percent! 1.5%", "percent! -2%",
                                 "percent! 10%", "percent! 0.5%"}},
      {"#\"a\" #\"\xC3\xA9\" #\"^\"\" #\"^^\" #\"^(1F600)\"",
       {"char! #\"a\"", "char! #\"\xC3\xA9\"", "char! #\"^\"\"", "char! #\"^^\"",
        "char! #\"\xF0\x9F\x98\x80\""}},
      {"#\"^/\" #\"^-\" #\"^(tab)\" #\"^(line)\" #\"^(null)\" #\"^@\" #\"^a\" #\"^~\" #\"^(0A)\"",
       {"char! #\"^/\"", "char! #\"^-\"", "char! #\"^-\"", "char! #\"^/\"", "char! #\"^@\"",
        "char! #\"^@\"", "char! #\"^A\"", "char! #\"^~\"", "char! #\"^/\""}},
      {"\"a b\" \"^\"q^\"\" \"\" \"a^(tab)b\" \"^{^}^^\"",
       {"string! a b", "string! \"q\"", "string! ", "string! a\tb", "string! {}^"}},
      {"{a {b} c} {x^}y} {} {one\ntwo}",
       {"string! a {b} c", "string! x}y", "string! ", "string! one\ntwo"}},
      {"%{a}b}% %%{x}%% %%{a}% b}%% %{^/}%",
       {"string! a}b", "string! x", "string! a}% b", "string! ^/"}},
      {"%a/b.txt %\"my file\" %\"a^(tab)\" %dir/ %a%20b %%C3%A9 %%E9",
       {"file! a/b.txt", "file! my file", "file! a\t", "file! dir/", "file! a b",
        "file! \xC3\xA9", "file! %E9"}},
      {"http://x.com/a?b=1 mailto:a@b.c http://x/%41%zz",
       {"url! http://x.com/a?b=1", "url! mailto:a@b.c", "url! http://x/A%zz"}},
      {"a@b.com john.doe@x.org", {"email! a@b.com", "email! john.doe@x.org"}},
      {"<a> <a href=\"x>y\"> </b>", {"tag! a", "tag! a href=\"x>y\"", "tag! /b"}},
      {"@ref @a-b", {"ref! ref", "ref! a-b"}},
      {"a/b/c a/b: :a/b 'a/b a/1/(b)/:c/'d",
       {"path! a/b/c", "set-path! a/b:", "get-path! :a/b", "lit-path! 'a/b",
        "path! a/1/(b)/:c/'d"}},
      {"[a (b) [c]] () []", {"block! [a (b) [c]]", "paren! ()", "block! []"}},
      {"a ; note\nb;x\n", {"word! a", "word! b"}},
      {"#(none) #(TRUE) #(false) #(unset) #(logic!) #(Data) #(integer)",
       {"none! none", "logic! true", "logic! false", "unset! unset", "datatype! logic!",
        "datatype! datatype!", "datatype! integer!"}},
      {"", {}},
      {" \t\r\n\x01 ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(values_of(c.src), c.values) << c.src;
}

TEST(LexerLoad, StringsTakeTheNarrowestUnit) {
  struct UnitCase { const char* src; uint32_t unit; std::u32string chars; };
  const UnitCase cases[] = {
      {"\"abc\"", 1, U"abc"},
      {"\"\xC3\xA9\"", 1, U"\u00E9"},
      {"\"\xE2\x82\xAC^(tab)\"", 2, U"\u20AC\t"},
      {"\"^(1F600)\"", 4, U"\U0001F600"},
      {"{\xF0\x9F\x98\x80 \xC3\xA9}", 4, U"\U0001F600 \u00E9"},
      {"%{^(41)}%", 1, U"^(41)"},   // raw strings take no escapes
  };
  for (const UnitCase& c : cases) {
    Cell blk = load(c.src);
    const Cell& s = *block::cell_at(&blk, 0);
    EXPECT_EQ(test::unit(s), c.unit) << c.src;
    EXPECT_EQ(test::chars(s), c.chars) << c.src;
  }
}

// Malformed literals: the syntax error id, "(line N)", the datatype at fault and
// the text from the token on.
struct ErrorCase {
  const char* src;
  int line;
  uint8_t type;
  const char* text;
};

std::string type_of_error_arg(const Cell& c) {
  return c.is(T_DATATYPE) ? test::type_name(uint8_t(c.w1)) : "?";
}

TEST(LexerLoad, MalformedLiteralsRaiseInvalidWithTheirLine) {
  const ErrorCase cases[] = {
      {"1''0", 1, T_INTEGER, "1''0"},
      {"x\n12345678Fh", 2, T_INTEGER, "12345678Fh"},
      {"1h", 1, T_INTEGER, "1h"},
      {"Ah", 1, T_WORD, "Ah"},
      {"1.5e x", 1, T_FLOAT, "1.5e x"},
      {"1.#INX", 1, T_FLOAT, "1.#INX"},
      {"#\"\"", 1, T_CHAR, "#\"\""},
      {"#\"ab\"", 1, T_CHAR, "#\"ab\""},
      {"#\"^(110000)\"", 1, T_CHAR, "#\"^(110000)\""},
      {"'a:b", 1, T_LIT_WORD, "'a:b"},
      {":a:b", 1, T_GET_WORD, ":a:b"},
      {"a\n\n<\x80>", 3, T_TAG, "<\xC2\x80>"},
      {"a@b\x80", 1, T_EMAIL, "a@b\xC2\x80"},
      {"@\xE2\x82", 1, T_REF, "@\xC3\xA2\xC2\x82"},
      {"[a 1''0]", 1, T_INTEGER, "1''0]"},
  };
  for (const ErrorCase& c : cases) {
    const std::string src = c.src;
    EXPECT_EQ(test::raised([&] { load(src); }), test::error_name(err::syntax::INVALID))
        << src;
    EXPECT_EQ(string::to_utf8(&error::last_args[0]), "(line " + std::to_string(c.line) + ")")
        << src;
    EXPECT_EQ(type_of_error_arg(error::last_args[1]), test::type_name(c.type)) << src;
    EXPECT_EQ(string::to_utf8(&error::last_args[2]), c.text) << src;
  }
  // Percent-decoding checks the UTF-8 the escapes spell.
  EXPECT_EQ(test::raised([] { load("%a%C3%28"); }),
            test::error_name(err::access::INVALID_UTF8));
}

TEST(LexerLoad, FormsNotBuiltYetSayWhatTheyAre) {
  struct NotBuilt { const char* src; const char* type; const char* text; };
  const NotBuilt cases[] = {
      {"(1%, 2)", "point2D!", ")"},
  };
  for (const NotBuilt& c : cases) {
    const std::string src = c.src;
    EXPECT_EQ(test::raised([&] { load(src); }),
              test::error_name(err::internal::NOT_DONE)) << src;
    EXPECT_EQ(test::mold(error::last_args[0]), c.type) << src;
    EXPECT_EQ(string::to_utf8(&error::last_args[1]), c.text) << src;
    // Only checked, not kept: the form passes with its type.
    lexer::Request check;
    check.wrap = false;
    EXPECT_EQ(test::raised([&] { lexer::scan(nullptr, bytes(src), uint32_t(src.size()), check); }),
              "")
        << src;
  }
  lexer::Request one;
  one.one = true;
  one.wrap = false;
  EXPECT_EQ(lexer::scan(nullptr, bytes("1-Jan-2000 x"), 12, one), T_DATE);
}

TEST(LexerLoad, NewLineMarksFollowLineBreaksBeforeTokens) {
  Cell blk = load("a [\n b c\n] (d\n e)\n f/g");
  EXPECT_EQ(test::mold(blk), "[a [\n    b c\n] (d\ne)\nf/g]");
  Cell first = load("\nx y");
  EXPECT_EQ(test::mold(first), "[\n    x y\n]");
}

TEST(LexerLoad, OneValueModeStopsAfterTheFirstValueAndCountsWhatItRead) {
  struct OneCase {
    const char* src;
    const char* value;
    uint32_t consumed;
    int type;
    const char* only;   // the mold with `only`
  };
  const OneCase cases[] = {
      {"  a b", "a", 3, T_WORD, "[a]"},
      {"[a [b]] c", "[a [b]]", 7, T_BLOCK, "[[a [b]]]"},
      {"x/y/z: 1", "x/y/z:", 6, T_SET_PATH, "[x/y/z:]"},
      {"; c\n 12", "12", 7, T_INTEGER, "[\n    12\n]"},   // the value keeps its new-line mark
  };
  for (const OneCase& c : cases) {
    const std::string src = c.src;
    lexer::Request r;
    r.one = true;
    Cell v = values::none;
    uint32_t consumed = 0;
    EXPECT_EQ(lexer::scan(&v, bytes(src), uint32_t(src.size()), r, &consumed), c.type) << src;
    EXPECT_EQ(test::mold(v), c.value) << src;
    EXPECT_EQ(consumed, c.consumed) << src;
    r.only = true;
    lexer::scan(&v, bytes(src), uint32_t(src.size()), r);
    EXPECT_EQ(test::mold(v), c.only) << "only wraps it: " << src;
  }
  // A string's consumed length is in characters.
  Cell text = test::text(U"\u00E9\u00E9 b");
  lexer::Request r;
  r.one = true;
  Cell v;
  uint32_t consumed = 0;
  lexer::scan_string(&v, &text, r, &consumed);
  EXPECT_EQ(consumed, 2u);
}

TEST(LexerLoad, QuietScansCloseWhatIsOpenAndGoOn) {
  lexer::Request quiet;
  quiet.strict = false;
  const std::string src = "[a } b] c a/b} d";
  Cell v;
  EXPECT_EQ(lexer::scan(&v, bytes(src), uint32_t(src.size()), quiet), 0);
  // The block closes as it stood at the error; its "]" then stands alone, and the
  // broken path is dropped.
  EXPECT_EQ(test::mold(v), "[[a] b c d]");
  // Open at the end: nothing but none, and the error's type.
  quiet.one = true;
  EXPECT_EQ(lexer::scan(&v, bytes("[a"), 2, quiet), T_ERROR);
  EXPECT_TRUE(v.is(T_NONE));
  EXPECT_EQ(lexer::scan(&v, bytes("1''0 2"), 6, quiet), T_ERROR);
}

TEST(LexerLoad, PrescanTellsTheStructureOnly) {
  lexer::Request prescan;
  prescan.load = false;
  prescan.one = true;
  struct PrescanCase { const char* src; int type; };
  const PrescanCase cases[] = {
      {"a/b c", T_PATH}, {"[1 2", T_ERROR}, {"\"x\" y", T_STRING}, {":a:", T_WORD}, {"", 0},
  };
  for (const PrescanCase& c : cases) {
    const std::string src = c.src;
    Cell v = values::none;
    EXPECT_EQ(lexer::scan(&v, bytes(src), uint32_t(src.size()), prescan), c.type) << src;
    EXPECT_TRUE(v.is(T_NONE)) << "nothing is made: " << src;
  }
}

TEST(LexerLoad, IntoAppendsToAGivenBlock) {
  Cell target = load("x");
  lexer::Request r;
  r.into = &target;
  lexer::scan(nullptr, bytes("1 [2]"), 5, r);
  EXPECT_EQ(test::mold(target), "[x 1 [2]]");
}

// Depth and size push the cell stack far past its first 1000 cells; every value
// must come out in place.
TEST(LexerLoad, TheCellStackGrowsUnderDepthAndSize) {
  std::string src;
  const int depth = 600;
  for (int i = 0; i < depth; i++) src += "[" + std::to_string(i) + " ";
  for (int i = 0; i < depth; i++) src += "]";
  for (int i = 0; i < 3000; i++) src += " w" + std::to_string(i);
  Cell blk = load(src);
  ASSERT_EQ(block::length(&blk), 3001);
  const Cell* inner = block::cell_at(&blk, 0);
  for (int i = 0; i < depth; i++) {
    ASSERT_TRUE(inner->is(T_BLOCK));
    ASSERT_EQ(cell::get_int(block::cell_at(inner, 0)), i);
    if (i + 1 < depth) inner = block::cell_at(inner, 1);
  }
  EXPECT_EQ(test::mold(*block::cell_at(&blk, 3000)), "w2999");
}

// A tracer that loads text of its own in the middle of the outer scan.
struct Nested {
  Cell loaded = values::none;
  static lexer::Reply on_open(void* self, const lexer::TraceEvent&) {
    auto* n = static_cast<Nested*>(self);
    std::string inner;
    for (int i = 0; i < 1500; i++) inner += "i ";
    n->loaded = load("[" + inner + "]");
    return lexer::Reply::YES;
  }
};

TEST(LexerLoad, AScanInsideAScanLeavesTheOuterOneIntact) {
  Nested nested;
  lexer::Tracer tracer{lexer::EV_OPEN, Nested::on_open, &nested};
  Cell outer;
  lexer::scan(&outer, bytes("a b [c d] e"), 11, traced_by(tracer));
  EXPECT_EQ(test::mold(outer), "[a b [c d] e]");
  EXPECT_EQ(block::length(block::cell_at(&nested.loaded, 0)), 1500);
}

struct Recorder {
  std::vector<std::string> events;
  lexer::Reply reply = lexer::Reply::YES;
  static lexer::Reply record(void* self, const lexer::TraceEvent& e) {
    auto* r = static_cast<Recorder*>(self);
    const char* name =
        e.event == lexer::EV_OPEN ? "open" : e.event == lexer::EV_CLOSE ? "close" : "error";
    r->events.push_back(std::string(name) + " " + test::type_name(e.type) + " " +
                        std::to_string(e.line) + " " + std::to_string(e.start) + "-" +
                        std::to_string(e.end));
    return r->reply;
  }
};

std::vector<std::string> trace(const std::string& src, lexer::Request r = {},
                               lexer::Reply reply = lexer::Reply::YES) {
  Recorder rec;
  rec.reply = reply;
  lexer::Tracer tracer{lexer::EV_OPEN | lexer::EV_CLOSE | lexer::EV_ERROR, Recorder::record, &rec};
  r.tracer = &tracer;
  r.wrap = false;
  lexer::scan(nullptr, bytes(src), uint32_t(src.size()), r);
  return rec.events;
}

TEST(LexerLoad, TheTracerFollowsOpenAndCloseDelimiters) {
  using V = std::vector<std::string>;
  EXPECT_EQ(trace("[a (b)\n {c} d/e: #[k 1] %{r}%]"),
            (V{"open block! 1 0-1", "open paren! 1 3-4", "close paren! 1 5-6",
               "open string! 2 8-9", "close string! 2 10-11", "open path! 2 12-14",
               "close set-path! 2 15-16", "open map! 2 17-19", "close map! 2 22-23",
               "open string! 2 24-26", "close string! 2 27-29", "close block! 2 29-30"}));
  // Errors: an unclosed bracket names its container and ends at the input's end; a
  // stray closer ends where it stands, so what follows is still to be read.
  EXPECT_EQ(trace("#[a\n 1"), (V{"open map! 1 0-2", "error map! 2 0-6"}));
  EXPECT_EQ(trace("(a] b"), (V{"open paren! 1 0-1", "error paren! 1 2-2"}));
  EXPECT_EQ(trace("{a\nb"), (V{"open string! 1 0-1", "error string! 2 0-4"}));
  EXPECT_EQ(trace("x <a"), (V{"error tag! 1 2-4"}));
  EXPECT_EQ(trace("}"), (V{"error error! 1 0-1"}));
  // Answered NO, a strict scan drops the error quietly; END stops the scan there.
  lexer::Request strict;
  EXPECT_EQ(trace("} [a]", strict, lexer::Reply::NO),
            (V{"error error! 1 0-1", "open block! 1 2-3", "close block! 1 4-5"}));
  EXPECT_EQ(trace("[a] [b]", strict, lexer::Reply::END), (V{"open block! 1 0-1"}));
}

TEST(LexerLoad, StrictErrorsRaiseAfterTheTracerHeardThem) {
  Recorder rec;
  lexer::Tracer tracer{lexer::EV_ERROR, Recorder::record, &rec};
  Cell v;
  EXPECT_EQ(test::raised([&] { lexer::scan(&v, bytes("a }"), 3, traced_by(tracer)); }),
            test::error_name(err::syntax::BAD_CHAR));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"error error! 1 2-3"}));
}

// A scan allocates what stays reachable until it ends, so it holds the collector
// off (collecting would mark the growing result again and again); a tracer runs
// with the collector as it was, and the collector is back however the scan ends.
struct CollectorProbe {
  bool on_in_tracer = false;
  static lexer::Reply check(void* self, const lexer::TraceEvent&) {
    static_cast<CollectorProbe*>(self)->on_in_tracer = collector::enabled == 1;
    return lexer::Reply::YES;
  }
};

TEST(LexerLoad, AScanHoldsTheCollectorOffUntilItEnds) {
  std::string src;
  for (int i = 0; i < 100000; i++) src += "[\"s" + std::to_string(i) + "\"] ";
  uint64_t cycles = collector::cycles();
  Cell blk = load(src);
  EXPECT_EQ(block::length(&blk), 100000);
  EXPECT_EQ(collector::cycles(), cycles);
  EXPECT_EQ(collector::enabled, 1);
  CollectorProbe probe;
  lexer::Tracer tracer{lexer::EV_OPEN, CollectorProbe::check, &probe};
  Cell v;
  EXPECT_NE(test::raised([&] { lexer::scan(&v, bytes("[a] }"), 5, traced_by(tracer)); }), "");
  EXPECT_TRUE(probe.on_in_tracer);
  EXPECT_EQ(collector::enabled, 1);
}

TEST(LexerLoad, LongStringsLoadOutsideTheScratchArea) {
  for (int n : {30000, 60000}) {
    std::u32string text(size_t(n), U'\u00E9');
    Cell source = test::text(U"\"" + text + U"\" x");
    Cell blk;
    lexer::load_string(&source, &blk);
    ASSERT_EQ(block::length(&blk), 2) << n;
    EXPECT_EQ(test::chars(*block::cell_at(&blk, 0)), text) << n;
  }
}

// --- conversions that go through the lexer ---------------------------------------------

Cell convert(uint8_t target, Cell spec) {
  Cell proto = values::of_datatype(target);
  return *actions::to_typed(&proto, &spec);
}

std::string conversion_error(uint8_t target, const Cell& spec) {
  return test::raised([&] { convert(target, spec); });
}

TEST(LexerConversions, TextToWordsMustBeOneWholeWord) {
  struct WordCase { uint8_t target; std::u32string text; const char* mold; };
  const WordCase cases[] = {
      {T_WORD, U"abc", "abc"}, {T_SET_WORD, U"a", "a:"}, {T_WORD, U"a:", "a"},
      {T_GET_WORD, U"'x", ":x"}, {T_REFINEMENT, U"ref", "/ref"}, {T_LIT_WORD, U"/", "'/"},
      {T_WORD, U"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
  };
  for (const WordCase& c : cases) {
    Cell spec = test::text(c.text);
    Cell made = convert(c.target, spec);
    EXPECT_EQ(made.type(), c.target) << c.mold;
    EXPECT_EQ(test::mold(made), c.mold);
  }
  Cell x = char_::value('x');
  EXPECT_EQ(test::mold(convert(T_WORD, x)), "x");
  const std::string invalid = test::error_name(err::script::INVALID_CHARS);
  for (const char32_t* bad : {U"12", U"a b", U"", U"a ", U"[a]", U"1''0", U"1-Jan-2000"}) {
    Cell spec = test::text(bad);
    EXPECT_EQ(conversion_error(T_WORD, spec), invalid) << string::to_utf8(&spec);
  }
  // An issue spelled like no word cannot become a refinement.
  Cell issue{T_ISSUE, 0, symbol::make("1x"), uint32_t(-1)};
  EXPECT_EQ(conversion_error(T_REFINEMENT, issue),
            test::error_name(err::script::BAD_TO_ARG));
}

TEST(LexerConversions, TextToBlockAndToNumbers) {
  EXPECT_EQ(test::mold(convert(T_BLOCK, test::text(U"a [b] 1"))), "[a [b] 1]");
  EXPECT_EQ(conversion_error(T_BLOCK, test::text(U"a [b")),
            test::error_name(err::syntax::MISSING));
  EXPECT_EQ(test::mold(convert(T_FLOAT, test::text(U"1'000.5"))), "1000.5");
  EXPECT_EQ(test::mold(convert(T_FLOAT, test::text(U"2"))), "2.0");
  EXPECT_EQ(test::mold(convert(T_PERCENT, test::text(U"50%"))), "50%");
  EXPECT_EQ(test::mold(convert(T_PERCENT, test::text(U"2"))), "200%");
  const std::string bad = test::error_name(err::script::BAD_TO_ARG);
  const struct { uint8_t target; const char32_t* text; } refused[] = {
      {T_FLOAT, U"1e"}, {T_FLOAT, U"1..2"}, {T_FLOAT, U"x"}, {T_PERCENT, U"50% x"},
      {T_PERCENT, U""}, {T_PERCENT, U"x"}, {T_PERCENT, U"1''0"},
  };
  for (const auto& r : refused) {
    Cell spec = test::text(r.text);
    EXPECT_EQ(conversion_error(r.target, spec), bad) << string::to_utf8(&spec);
  }
}

}  // namespace
}  // namespace zol
