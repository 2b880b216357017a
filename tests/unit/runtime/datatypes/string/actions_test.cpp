// string! as a datatype: comparing text, its molded and formed text, making and
// converting strings, path steps, and the registered rows of the text types.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

using test::chars;
using test::text;
using test::text_of_unit;

Cell S(const std::string& utf8, uint8_t type = T_STRING) { return test::utf8_text(utf8, type); }

Cell I(int32_t n) { return values::integer(n); }
std::string utf8(const Cell& s) { return string::to_utf8(&s); }
using test::outcome;
std::string error_of(err::Id id) { return test::error_text(id); }

// --- comparison ----------------------------------------------------------------------------

TEST(StringCompare, CodesFoldCaseExceptTheExactOnes) {
  struct Case {
    Cell a, b;
    int op;
    bool expected;
  };
  const Case cases[] = {
      {S("abc"), S("ABC"), C_EQUAL, true},
      {S("abc"), S("ABC"), C_STRICT_EQUAL, false},
      {S("abc"), S("ABC"), C_NOT_EQUAL, false},
      {S("ab"), S("abc"), C_LESSER, true},
      {S("abc"), S("ab"), C_GREATER, true},
      {S("abd"), S("ABC"), C_GREATER, true},
      {S("ABD"), S("abc"), C_GREATER_EQUAL, true},
      {S(""), S("a"), C_LESSER, true},
      {S(""), S(""), C_LESSER_EQUAL, true},
      {S("\xC3\xA9t\xC3\xA9"), S("\xC3\x89T\xC3\x89"), C_EQUAL, true},
      {S("\xCF\x89"), S("\xCE\xA9"), C_EQUAL, true},                     // omega, both cases
      {S("\xF0\x90\x90\xA8"), S("\xF0\x90\x90\x80"), C_EQUAL, true},   // Deseret letters
      {S("\xF0\x90\x90\xA8"), S("\xF0\x90\x90\x80"), C_STRICT_EQUAL, false},
      {S("abc"), S("abc", T_FILE), C_EQUAL, true},
      {S("abc"), S("abd", T_FILE), C_NOT_EQUAL, true},
      {S("abc", T_TAG), S("ABC", T_TAG), C_EQUAL, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(actions::compare(&c.a, &c.b, c.op), c.expected)
        << utf8(c.a) << " op " << c.op << " " << utf8(c.b);
}

TEST(StringCompare, OtherTypesAndTheSameSeries) {
  Cell a = S("abc"), file = S("abc", T_FILE), n = I(1);
  EXPECT_EQ(actions::compare_typed(&a, &file, C_STRICT_EQUAL), COMPARE_NOT_COMPARABLE);
  EXPECT_EQ(actions::compare_typed(&a, &n, C_EQUAL), COMPARE_NOT_COMPARABLE);
  EXPECT_EQ(test::raised([&] { actions::compare(&a, &file, C_LESSER); }),
            test::error_name(err::script::INVALID_COMPARE));
  Cell copy = S("abc");
  EXPECT_FALSE(actions::compare(&a, &copy, C_SAME));
  Cell alias = a;
  EXPECT_TRUE(actions::compare(&a, &alias, C_SAME));
  series_cell::set_head(&alias, 1);
  EXPECT_FALSE(actions::compare(&a, &alias, C_SAME));
  EXPECT_EQ(string::equal(&alias, &a, C_LESSER, false), 1) << "bc sorts after abc";
}

TEST(StringCompare, MatchModeAndWords) {
  Cell s = S("Hello world");
  Cell word = word::load("hello");
  EXPECT_EQ(string::equal(&s, &word, C_EQUAL, true), 0) << "a word by its spelling";
  EXPECT_EQ(string::equal(&s, &word, C_STRICT_EQUAL, true), -1) << "H sorts before h";
  Cell empty = S("");
  EXPECT_EQ(string::equal(&s, &empty, C_EQUAL, true), 0);
  EXPECT_EQ(string::equal(&s, &empty, C_FIND, true), 1) << "find never matches empty text";
  Cell longer = S("Hello world!");
  EXPECT_EQ(string::equal(&s, &longer, C_EQUAL, true), 1);
  Cell record = *symbol::get(symbol::make("Hello"));
  EXPECT_EQ(string::equal(&s, &record, C_STRICT_EQUAL, true), 0) << "a symbol record";

  struct Case {
    Cell value;
    int op;
    bool matches;
  };
  Cell tagged = S("<b>bold");
  const Case cases[] = {
      {S("hel"), C_EQUAL, true},   {S("hel"), C_STRICT_EQUAL, false},
      {S("x"), C_EQUAL, false},    {Cell{T_CHAR, 0, 'h', 0}, C_EQUAL, true},
      {Cell{T_CHAR, 0, 'h', 0}, C_STRICT_EQUAL, false},
      {I(72), C_EQUAL, false},
  };
  for (const Case& c : cases) EXPECT_EQ(string::match_value(&s, &c.value, c.op), c.matches);
  Cell b = S("B", T_TAG), i = S("i", T_TAG);
  EXPECT_TRUE(string::tag_delimited(&tagged, &b));
  EXPECT_TRUE(string::match_value(&tagged, &b, C_EQUAL));
  EXPECT_FALSE(string::match_value(&tagged, &b, C_STRICT_EQUAL));
  EXPECT_FALSE(string::match_value(&tagged, &i, C_EQUAL));
}

TEST(StringCompare, BitsetMembership) {
  // Bits 'a' (97) and 'c' (99): byte 12, masks 0x40 and 0x10.
  NodeRef bits = memory::alloc_bytes_filled(13, 0);
  memory::buffer_of(bits)->tail = 13;
  memory::buffer_of(bits)->head()[12] = 0x40 | 0x10;
  Cell bitset{T_BITSET, 0, bits, 0};
  for (uint32_t cp : {'a', 'c'}) EXPECT_TRUE(string::bitset_has(&bitset, cp));
  for (uint32_t cp : {uint32_t('b'), uint32_t('d'), 0x3000u}) EXPECT_FALSE(string::bitset_has(&bitset, cp));
  memory::buffer_of(bits)->flags |= FLAG_COMPLEMENTED;
  EXPECT_TRUE(string::bitset_has(&bitset, 0x3000)) << "past the bits the complement answers";
  Cell s = S("cab");
  EXPECT_TRUE(string::char_in_bitset(&s, &bitset));
  series_cell::set_head(&s, 3);
  EXPECT_FALSE(string::char_in_bitset(&s, &bitset)) << "nothing at the tail";
}

// --- text -----------------------------------------------------------------------------------

std::string molded(const Cell& s, bool all = false) { return test::mold(s, all); }

TEST(StringMold, QuotesOrBracesAndEscapes) {
  std::string forty_nine(49, 'x'), fifty(50, 'x');
  struct Case {
    std::u32string text;
    std::string expected;
  };
  const Case cases[] = {
      {U"ab", "\"ab\""},
      {U"", "\"\""},
      {U"say \"hi\"", "{say \"hi\"}"},
      {std::u32string(forty_nine.begin(), forty_nine.end()), "\"" + forty_nine + "\""},
      {std::u32string(fifty.begin(), fifty.end()), "{" + fifty + "}"},
      {U"a\nb\nc", "\"a^/b^/c\""},
      {U"a\nb\nc\nd", "{a\nb\nc\nd}"},
      {U"a\tb", "\"a^-b\""},
      {U"\x1E\x85\x01\x7F^", "\"^(1E)^(85)^A^~^^\""},
      {U"a{b}c", "\"a{b}c\""},
      {U"\"{b}\"", "{\"{b}\"}"},
      {U"\"{b", "{\"^{b}"},
      {U"\"b}", "{\"b^}}"},
      {U"\"{{x}", "{\"^{^{x^}}"},
      {U"\"}{x}", "{\"^}{x}}"},
      {U"\"^\t", "{\"^^^-}"},
      {U"\u00E9\u20AC", "\"\u00E9\u20AC\""},
  };
  for (const Case& c : cases)
    for (uint32_t unit : {1u, 2u, 4u}) EXPECT_EQ(molded(text_of_unit(c.text, unit)), c.expected) << unit;
  EXPECT_EQ(molded(text(U"\u00E9\U0001F600"), true), "\"^(E9)^(1F600)\"") << "mold/all";
}

TEST(StringMold, PartBudgetAndForm) {
  Cell s = S("abcdef");
  Cell part = I(3);
  Cell out;
  string::make_at(&out, 8);
  EXPECT_EQ(string::mold(&s, &out, {.part = &part}, 3), 3 - 3 - 2);
  EXPECT_EQ(utf8(out), "\"abc\"");
  string::make_at(&out, 8);
  std::string long_text(60, 'y');
  Cell wide = S(long_text.c_str());
  string::mold(&wide, &out, {.part = &part}, 3);
  EXPECT_EQ(utf8(out), "{yyy}") << "the whole length picks braces";
  string::make_at(&out, 8);
  EXPECT_EQ(string::form(&s, &out, &part, 4), 0);
  EXPECT_EQ(utf8(out), "abcd");
  EXPECT_EQ(string::form(&s, &out, &part, -2), -2) << "a spent budget appends nothing";
  EXPECT_EQ(utf8(out), "abcd");
  Cell tail_head = S("xyz");
  series_cell::set_head(&tail_head, 1);
  EXPECT_EQ(test::form(tail_head), "yz");
}

// --- make and to ---------------------------------------------------------------------------------

std::string converted(const Cell& proto, Cell spec, bool make) {
  return outcome([&] {
    Cell p = proto;
    Cell* made = make ? actions::make_typed(&p, &spec) : actions::to_typed(&p, &spec);
    return std::string(datatype::name(made->type())) + " " + utf8(*made) + " " +
           std::to_string(series_cell::head(made));
  });
}

TEST(StringMake, NumbersSizeOtherValuesConvert) {
  Cell string_type = values::of_datatype(T_STRING), file_type = values::of_datatype(T_FILE);
  Cell at_two = S("abc");
  series_cell::set_head(&at_two, 1);
  Cell refinement = word::load("only", T_REFINEMENT);
  struct Case {
    Cell proto, spec;
    bool make;
    std::string expected;
  };
  const Case cases[] = {
      {string_type, I(10), true, "string!  0"},
      {string_type, I(-1), true, error_of(err::script::OUT_OF_RANGE)},
      {string_type, I(10), false, "string! 10 0"},
      {string_type, values::none, false, error_of(err::script::BAD_TO_ARG)},
      {string_type, values::none, true, error_of(err::script::BAD_TO_ARG)},
      {string_type, test::value("[a 1 [b c]]"), false, "string! a1b c 0"},
      {string_type, at_two, false, "string! bc 0"},
      {file_type, S("dir/x"), true, "file! dir/x 0"},
      {string_type, refinement, false, "string! /only 0"},
      {string_type, Cell{T_CHAR, 0, 0xE9, 0}, false, "string! \u00E9 0"},
      {string_type, test::binary({'a', 0xC3, 0xA9}), false, "string! a\u00E9 0"},
      {string_type, test::binary({'a', 0xC3}), false, error_of(err::access::INVALID_UTF8)},
  };
  for (const Case& c : cases) EXPECT_EQ(converted(c.proto, c.spec, c.make), c.expected);
  Cell copied = S("abc");
  Cell proto = string_type;
  Cell* made = actions::to_typed(&proto, &copied);
  EXPECT_NE(series_cell::node(made), series_cell::node(&copied)) << "to copies the text";
}

TEST(StringMake, BytesToFloatReadsDecimalText) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {{"1.5", 1.5}, {"-2e3", -2000.0}, {"0.1", 0.1}, {"", 0.0}};
  for (const Case& c : cases)
    EXPECT_EQ(string::bytes_to_float(reinterpret_cast<const uint8_t*>(c.text), uint32_t(std::strlen(c.text))),
              c.value)
        << c.text;
}

// --- path steps ---------------------------------------------------------------------------------

std::string path_step(Cell parent, Cell element, const Cell* set = nullptr) {
  return outcome([&] {
    Cell path = test::value("s/x");
    Cell v = set ? *set : values::none;
    Cell* r = actions::eval_path_typed(&parent, &element, set ? &v : nullptr, &path, 1);
    return test::mold(*r);
  });
}

TEST(StringPath, PickSelectAndSet) {
  Cell s = S("key=v;other=w");
  Cell x{T_CHAR, 0, 'x', 0};
  EXPECT_EQ(path_step(s, I(2)), "#\"e\"");
  EXPECT_EQ(path_step(s, I(20)), "none");
  EXPECT_EQ(path_step(s, S("other=")), "#\"w\"");
  EXPECT_EQ(path_step(s, Cell{T_CHAR, 0, '=', 0}), "#\"v\"");
  EXPECT_EQ(path_step(s, word::load("KEY")), "#\"=\"");
  EXPECT_EQ(path_step(s, S("key=v;other=w")), "none") << "nothing after the match";
  EXPECT_EQ(path_step(s, I(1), &x), "#\"x\"");
  EXPECT_EQ(utf8(s), "xey=v;other=w");
  EXPECT_EQ(path_step(s, S("other="), &x), "#\"x\"");
  EXPECT_EQ(utf8(s), "xey=v;other=x");
  EXPECT_EQ(path_step(s, S("none"), &x), error_of(err::script::BAD_PATH_SET));
  EXPECT_EQ(path_step(s, S("xey"), &values::none), error_of(err::script::INVALID_ARG))
      << "only a char! goes into text";
}

// --- the rows -----------------------------------------------------------------------------------

TEST(StringTypes, RowsFollowTheirParents) {
  struct Case {
    uint8_t type;
    uint8_t parent;
    std::initializer_list<int> unsupported;
    std::initializer_list<int> inherited;
  };
  const Case cases[] = {
      {T_STRING, T_SERIES, {A_PUT, A_SET_PATH, A_ADD, A_READ}, {A_AT, A_REMOVE, A_TAKE, A_COPY}},
      {T_URL, T_STRING, {A_SORT, A_TRIM, A_RANDOM, A_REFLECT, A_PUT, A_QUERY}, {A_FORM, A_COMPARE, A_FIND}},
      {T_FILE, T_URL, {A_OPEN, A_SORT, A_TRIM}, {A_MAKE, A_TO, A_EVAL_PATH, A_FORM}},
      {T_TAG, T_STRING, {A_SORT, A_TRIM, A_RANDOM, A_WRITE}, {A_APPEND, A_EVAL_PATH, A_FIND}},
      {T_EMAIL, T_STRING, {A_SORT, A_TRIM, A_READ}, {A_FORM, A_APPEND}},
      {T_REF, T_STRING, {A_EVAL_PATH, A_APPEND, A_PUT, A_SORT}, {A_FORM, A_INSERT, A_CHANGE}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(datatype::info(c.type).parent, c.parent) << datatype::name(c.type);
    for (int slot : c.unsupported) EXPECT_EQ(datatype::action(c.type, slot), nullptr) << datatype::name(c.type) << " " << slot;
    for (int slot : c.inherited)
      EXPECT_EQ(datatype::action(c.type, slot), datatype::action(c.parent, slot)) << datatype::name(c.type) << " " << slot;
  }
}

}  // namespace
}  // namespace zol
