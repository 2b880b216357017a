// String storage: widening thresholds, the buffer editors, joining, range swaps,
// the accessors, loading and the hex formatters.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "runtime/core/stack.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

using test::chars;
using test::text;
using test::text_of_unit;

SeriesBuffer* append(SeriesBuffer* b, uint32_t cp) { return string::append_char(b, cp); }
SeriesBuffer* set_first(SeriesBuffer* b, uint32_t cp) { return string::set_char_at(b, 0, cp); }
SeriesBuffer* insert_second(SeriesBuffer* b, uint32_t cp) { return string::insert_char(b, 1, cp); }
SeriesBuffer* poke_last(SeriesBuffer* b, uint32_t cp) {
  return string::poke_char(b, b->tail_ptr() - b->unit(), cp);
}

TEST(StringUnits, WideningThresholdsOfEachEditor) {
  struct Case {
    const char* what;
    SeriesBuffer* (*edit)(SeriesBuffer*, uint32_t);
    std::u32string before;
    uint32_t before_unit;
    uint32_t cp;
    std::u32string after;
    uint32_t unit;
  };
  const Case cases[] = {
      {"append e-acute", append, U"", 1, 0xE9, U"\u00E9", 2},
      {"append ASCII", append, U"ab", 1, 'c', U"abc", 1},
      {"append beyond the basic plane", append, U"ab", 1, 0x1F600, U"ab\U0001F600", 4},
      {"append to UCS-2", append, U"\u20AC", 2, 0x10400, U"\u20AC\U00010400", 4},
      {"set e-acute", set_first, U"ab", 1, 0xE9, U"\u00E9b", 1},
      {"set above Latin-1", set_first, U"ab", 1, 0x100, U"\u0100b", 2},
      {"insert e-acute", insert_second, U"ab", 1, 0xE9, U"a\u00E9b", 1},
      {"insert euro", insert_second, U"ab", 1, 0x20AC, U"a\u20ACb", 2},
      {"insert into UCS-2", insert_second, U"a\u20AC", 2, 0x1F600, U"a\U0001F600\u20AC", 4},
      {"poke y-diaeresis", poke_last, U"ab", 1, 0xFF, U"a\u00FF", 1},
      {"poke its upper case", poke_last, U"ab", 1, 0x178, U"a\u0178", 2},
      {"poke keeps a wider unit", poke_last, U"\U0001F600b", 4, 'c', U"\U0001F600c", 4},
  };
  for (const Case& c : cases) {
    Cell s = text_of_unit(c.before, c.before_unit);
    SeriesBuffer* b = c.edit(test::buffer(s), c.cp);
    EXPECT_EQ(b, test::buffer(s)) << c.what << ": the node follows the returned buffer";
    EXPECT_EQ(chars(s), c.after) << c.what;
    EXPECT_EQ(b->unit(), c.unit) << c.what;
  }
}

TEST(StringEditors, SetAtTheTailGrowsAndExtends) {
  Cell s;
  string::make_at(&s, 16);
  SeriesBuffer* b = test::buffer(s);
  for (uint32_t i = 0; i < 40; i++) b = string::set_char_at(b, i, 'a' + i % 26);
  EXPECT_EQ(string::length(&s), 40);
  EXPECT_GE(b->size, 40u);
  b = string::set_char_at(b, 3, 'Z');
  EXPECT_EQ(string::length(&s), 40) << "writing inside keeps the tail";
  EXPECT_EQ(chars(s).substr(0, 5), U"abcZe");
}

TEST(StringEditors, InsertRemoveAndTruncate) {
  Cell s = text(U"abcdef");
  SeriesBuffer* b = test::buffer(s);
  for (int i = 0; i < 20; i++) b = string::insert_char(b, 0, '<');   // grows past the first buffer
  b = string::insert_char(b, b->length(), '>');
  EXPECT_EQ(chars(s), std::u32string(20, U'<') + U"abcdef>");
  b = string::remove_part(b, 0, 20);
  EXPECT_EQ(chars(s), U"abcdef>");
  b = string::remove_part(b, 5, 10);
  EXPECT_EQ(chars(s), U"abcde") << "a count past the tail is cut";
  b = string::remove_part(b, 9, 1);
  b = string::remove_char(b, 0);
  EXPECT_EQ(chars(s), U"bcde");
  b = string::truncate(b, 9);
  EXPECT_EQ(chars(s), U"bcde") << "truncate never lengthens";
  string::truncate(b, 2);
  EXPECT_EQ(chars(s), U"bc");
}

TEST(StringEditors, WidenToAndWidenCopy) {
  Cell s = text(U"h\u00E9llo");
  SeriesBuffer* b = string::widen_to(test::buffer(s), 1);
  EXPECT_EQ(b->unit(), 1u) << "never narrows or stays";
  b = string::widen_to(b, 4);
  EXPECT_EQ(b->unit(), 4u);
  EXPECT_EQ(chars(s), U"h\u00E9llo");

  Cell source = text(U"h\u00E9llo");
  SeriesBuffer* copy = string::widen_copy(test::buffer(source), nullptr, 2, 1, 0, 0, false);
  EXPECT_NE(copy->node, series_cell::node(&source));
  Cell copied{T_STRING, 0, copy->node, 0};
  EXPECT_EQ(chars(copied), U"\u00E9llo");
  EXPECT_EQ(copy->unit(), 2u);

  Cell target = text(U"X\u20AC\u20AC\u20AC\u20AC\u20ACY");
  string::widen_copy(test::buffer(source), test::buffer(target), 2, 1, 3, 2, true);
  EXPECT_EQ(chars(target), U"X\u20AC\u00E9l\u20AC\u20ACY") << "keep-tail overwrites in the middle";
  string::widen_copy(test::buffer(source), test::buffer(target), 2, 0, 2, 1, false);
  EXPECT_EQ(chars(target), U"Xh\u00E9");
}

TEST(StringEditors, MoveCharsAcrossUnits) {
  Cell source = text(U"\U0001F600ab");
  Cell target = text(U"xy");
  series_cell::set_head(&target, 1);
  string::move_char(&source, &target, 2);
  EXPECT_EQ(chars(source), U"b");
  series_cell::set_head(&target, 0);
  EXPECT_EQ(chars(target), U"x\U0001F600ay");
  EXPECT_EQ(test::unit(target), 4u);
}

TEST(StringEditors, SwapRangesWithAndWithoutAGap) {
  struct Case {
    size_t first, first_size, gap, second_size;
  };
  // Sizes beyond 64 KiB make the scratch area grow for the call.
  for (Case c : {Case{0, 3, 0, 2}, Case{1, 2, 2, 4}, Case{0, 5, 1, 1}, Case{2, 0, 3, 2},
                 Case{0, 70000, 3, 100000}, Case{5, 90000, 0, 80000}}) {
    std::string data;
    for (size_t i = 0; i < c.first + c.first_size + c.gap + c.second_size + 2; i++) data += char('a' + i % 23);
    std::string expected = data;
    auto first = expected.begin() + long(c.first);
    std::rotate(first, first + long(c.first_size), first + long(c.first_size + c.gap + c.second_size));
    std::rotate(first, first + long(c.gap), first + long(c.gap + c.second_size));
    uint8_t* p = reinterpret_cast<uint8_t*>(data.data()) + c.first;
    if (c.second_size % 2)
      string::swap_ranges(p, uint32_t(c.first_size), p + c.first_size + c.gap, uint32_t(c.second_size));
    else   // the order of the arguments does not matter
      string::swap_ranges(p + c.first_size + c.gap, uint32_t(c.second_size), p, uint32_t(c.first_size));
    EXPECT_EQ(data, expected) << c.first_size << " " << c.gap << " " << c.second_size;
  }
}

TEST(StringJoining, ConcatenateModesUnitsAndParts) {
  struct Case {
    const char* what;
    std::u32string target;
    std::u32string source;
    int32_t part, offset;
    bool keep_source;
    string::ConcatMode mode;
    std::u32string result;
    uint32_t unit;
  };
  using string::CONCAT_APPEND, string::CONCAT_INSERT, string::CONCAT_OVERWRITE;
  const Case cases[] = {
      {"wider source widens the target", U"ab", U"\U0001F600xy", -1, 0, false, CONCAT_APPEND, U"ab\U0001F600xy", 4},
      {"part 2", U"ab", U"\U0001F600xy", 2, 0, false, CONCAT_APPEND, U"ab\U0001F600x", 4},
      {"part beyond the source", U"ab", U"cd", 10, 0, false, CONCAT_APPEND, U"abcd", 1},
      {"part 0", U"ab", U"cd", 0, 0, false, CONCAT_APPEND, U"ab", 1},
      {"insert", U"ab", U"XY", -1, 1, false, CONCAT_INSERT, U"aXYb", 1},
      {"insert at the head", U"ab", U"\u20AC", -1, 0, false, CONCAT_INSERT, U"\u20ACab", 2},
      {"overwrite past the tail", U"ab", U"XYZ", -1, 1, false, CONCAT_OVERWRITE, U"aXYZ", 1},
      {"overwrite inside", U"abcdef", U"XY", -1, 2, false, CONCAT_OVERWRITE, U"abXYef", 1},
      {"narrow source kept", U"\u20AC", U"h\u00E9", -1, 0, true, CONCAT_APPEND, U"\u20ACh\u00E9", 2},
      {"narrow source kept, insert", U"\u20AC\u20AC", U"h\u00E9", -1, 1, true, CONCAT_INSERT,
       U"\u20ACh\u00E9\u20AC", 2},
      {"narrow source kept, overwrite", U"\u20AC\u20AC", U"h\u00E9", -1, 1, true, CONCAT_OVERWRITE,
       U"\u20ACh\u00E9", 2},
  };
  for (const Case& c : cases) {
    Cell target = text(c.target);
    Cell source = text(c.source);
    uint32_t source_unit = test::unit(source);
    string::concatenate(&target, &source, c.part, c.offset, c.keep_source, c.mode);
    EXPECT_EQ(chars(target), c.result) << c.what;
    EXPECT_EQ(test::unit(target), c.unit) << c.what;
    EXPECT_EQ(chars(source), c.source) << c.what;
    if (c.keep_source) {
      EXPECT_EQ(test::unit(source), source_unit) << c.what << ": source left as it was";
    }
  }
}

TEST(StringJoining, ConcatenateFromHeadsAndIntoItself) {
  Cell source = text(U"abcdef");
  series_cell::set_head(&source, 4);
  Cell target = text(U"123");
  series_cell::set_head(&target, 1);
  string::concatenate(&target, &source, -1, 1, false, string::CONCAT_INSERT);
  series_cell::set_head(&target, 0);
  EXPECT_EQ(chars(target), U"12ef3");

  struct Case {
    int32_t source_head, offset;
    string::ConcatMode mode;
    std::u32string result;
  };
  for (Case c : {Case{0, 0, string::CONCAT_APPEND, U"abcdabcd"}, Case{0, 1, string::CONCAT_INSERT, U"aabcdbcd"},
                 Case{1, 2, string::CONCAT_INSERT, U"abbcdcd"}, Case{3, 1, string::CONCAT_INSERT, U"adbcd"},
                 Case{1, 0, string::CONCAT_OVERWRITE, U"bcdd"}}) {
    Cell self = text(U"abcd");
    Cell from = self;
    series_cell::set_head(&from, c.source_head);
    string::concatenate(&self, &from, -1, c.offset, false, c.mode);
    EXPECT_EQ(chars(self), c.result) << c.source_head << " " << c.offset;
  }
}

TEST(StringJoining, Literals) {
  Cell s = text(U"ab");
  string::concatenate_literal(&s, "");
  EXPECT_EQ(chars(s), U"ab");
  string::concatenate_literal(&s, "c\xE9");
  EXPECT_EQ(chars(s), U"abc\u00E9");
  EXPECT_EQ(test::unit(s), 2u) << "appending 0x80-0xFF widens";
  string::concatenate_literal_part(&s, "xyz", 2);
  EXPECT_EQ(chars(s), U"abc\u00E9xy");
}

TEST(StringAccess, HeadTailAndPositions) {
  Cell s = text(U"abcdef");
  series_cell::set_head(&s, 5);
  string::truncate(test::buffer(s), 3);
  EXPECT_EQ(string::length(&s), 0);
  EXPECT_EQ(series_cell::head(&s), 5) << "length alone leaves the head";
  EXPECT_TRUE(string::at_tail(&s));
  EXPECT_EQ(string::clip_head_bytes(&s), string::tail_bytes(&s));
  EXPECT_EQ(series_cell::head(&s), 3) << "clip_head_bytes moves a head past the tail back";
  series_cell::set_head(&s, 9);
  EXPECT_EQ(string::clip_length(&s), 0);
  EXPECT_EQ(series_cell::head(&s), 3);
  series_cell::set_head(&s, 1);
  EXPECT_EQ(string::clip_length(&s), 2);
  EXPECT_EQ(string::buffer_length(&s), 3);
  EXPECT_EQ(string::char_at(&s, 0), uint32_t('a'));
  EXPECT_FALSE(string::at_tail(&s));

  Cell wide = text(U"\u20ACx\U0001F600");
  string::reset(&wide);
  EXPECT_EQ(string::length(&wide), 0);
  EXPECT_EQ(test::unit(wide), 1u);
  string::append_char(test::buffer(wide), 'q');
  EXPECT_EQ(chars(wide), U"q");
}

TEST(StringAccess, FindingCharacters) {
  Cell s = text(U"a-B-c-\u20AC");
  series_cell::set_head(&s, 1);
  EXPECT_EQ(string::find_char(&s, 'c'), 3);
  EXPECT_EQ(string::find_char(&s, 'a'), -1) << "the search starts at the head";
  EXPECT_EQ(string::find_char(&s, 0x20AC), 5);

  series_cell::set_head(&s, 0);
  struct Case {
    uint32_t cp;
    int32_t skip;
    int case_flag;
    bool found;
  };
  for (Case c : {Case{'b', 1, 0, true}, Case{'b', 1, 1, false}, Case{'B', 1, 1, true}, Case{'C', 2, 0, true},
                 Case{'-', 2, 0, false}, Case{0x20AC, 1, 0, true}, Case{'z', 1, 0, false}}) {
    EXPECT_EQ(string::has_char(&s, c.cp, c.skip, c.case_flag), c.found) << char(c.cp) << " skip " << c.skip;
  }

  EXPECT_TRUE(string::match_cstr(&s, "a-B"));
  EXPECT_TRUE(string::match_cstr(&s, ""));
  EXPECT_FALSE(string::match_cstr(&s, "a-b"));
  EXPECT_TRUE(string::match_cstr(&(s = text(U"abc:x")), "abc"));
  EXPECT_FALSE(string::match_cstr(&(s = text(U"ab")), "abc"));
  EXPECT_FALSE(string::match_cstr(&(s = text(U"\u0161")), "a")) << "above 0xFF never equals a byte";
}

TEST(StringLoading, IntoTheStackABlockOrACell) {
  Cell* before = stack::top;
  Cell* pushed = string::load_at(reinterpret_cast<const uint8_t*>("h\xC3\xA9"), 3, string::ENCODING_UTF8);
  EXPECT_EQ(pushed, before);
  EXPECT_EQ(stack::top, before + 1);
  EXPECT_TRUE(pushed->is(T_STRING));
  EXPECT_EQ(chars(*pushed), U"h\u00E9");
  Cell copy = *string::push(pushed);
  EXPECT_EQ(stack::top, before + 2);
  EXPECT_EQ(copy.w2, pushed->w2);
  stack::top = before;

  NodeRef block = memory::alloc_cells(4);
  const uint8_t units[] = {'o', 0, 'k', 0};
  Cell* loaded = string::load_in(units, 4, block, string::ENCODING_UTF16LE);
  EXPECT_EQ(memory::buffer_of(block)->length(), 1u);
  EXPECT_EQ(chars(*loaded), U"ok");
  EXPECT_EQ(test::raised([&] { string::load_in(units, 4, block, 1); }),
            test::error_name(err::script::INVALID_ARG));
  EXPECT_EQ(memory::buffer_of(block)->length(), 1u) << "nothing appended on error";

  Cell made;
  string::make_at_units(&made, 10, 4);
  EXPECT_TRUE(made.is(T_STRING));
  EXPECT_EQ(test::unit(made), 4u);
  EXPECT_GE(test::buffer(made)->size, 40u);
}

TEST(StringUnits, AnyOtherUnitIsFatal) {
  for (auto fatal : {+[] { uint8_t b[4] = {}; string::get_char(b, 3); },
                     +[] { Cell s = test::text(U"ab"); string::widen_to(test::buffer(s), 8); }}) {
    test::ChildResult r = test::run_in_child(fatal);
    EXPECT_EQ(r.status, 101);
    EXPECT_NE(r.out.find("*** Runtime Error 101"), std::string::npos) << r.out;
  }
}

TEST(StringFormatters, Hexadecimal) {
  struct Case {
    int32_t value;
    bool trim;
    const char* text;
  };
  for (Case c : {Case{255, true, "FF"}, Case{0, true, "00"}, Case{-2, false, "FFFFFFFE"}, Case{16, true, "10"},
                 Case{0x1234, false, "00001234"}, Case{0, false, "00000000"}, Case{INT_MAX, true, "7FFFFFFF"},
                 Case{INT_MIN, false, "80000000"}, Case{-1, false, "FFFFFFFF"}}) {
    EXPECT_STREQ(string::to_hex(c.value, c.trim), c.text) << c.value;
  }
  EXPECT_STREQ(string::byte_to_hex(0x0A), "0A");
  EXPECT_STREQ(string::byte_to_hex(0xFF), "FF");
}

}  // namespace
}  // namespace zol
