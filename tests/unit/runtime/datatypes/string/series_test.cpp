// The series actions on text, each case run on strings of every unit width that
// can hold its characters (1, 2 and 4 bytes), with and without /case: the same
// text must give the same answer whatever its storage.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

// The unit the strings of the running case are stored in (at least what their
// characters need).
uint32_t current_unit = 1;

uint32_t unit_needed(const std::u32string& t) {
  uint32_t unit = 1;
  for (char32_t c : t) unit = std::max(unit, c > 0xFFFF ? 4u : c > 0xFF ? 2u : 1u);
  return unit;
}

Cell T(const std::u32string& t, uint8_t type = T_STRING) {
  Cell s = test::text_of_unit(t, std::max(current_unit, unit_needed(t)));
  cell::set_type(&s, type);
  return s;
}

Cell at(const std::u32string& t, int32_t head) {
  Cell s = T(t);
  series_cell::set_head(&s, head);
  return s;
}

Cell I(int32_t n) { return values::integer(n); }
Cell C(char32_t c) { return Cell{T_CHAR, 0, uint32_t(c), 0}; }

std::string utf8(const std::u32string& t) {
  std::string out;
  for (char32_t c : t) {
    uint8_t bytes[4];
    out.append(reinterpret_cast<const char*>(bytes), size_t(unicode::cp_to_utf8(uint32_t(c), bytes)));
  }
  return out;
}

// A result as the tests write it: a text at its index ("@2 bc"), a character
// ("#b"), or the mold of anything else.
std::string shown(const Cell& v) {
  if (series::is_any_string(v.type()))
    return "@" + std::to_string(series_cell::head(&v) + 1) + " " + utf8(test::chars(v));
  if (v.is(T_CHAR)) return "#" + utf8(std::u32string(1, char32_t(v.w2)));
  return test::mold(v);
}

std::string whole(Cell s) {
  series_cell::set_head(&s, 0);
  return utf8(test::chars(s));
}

struct Case {
  const char* what;
  std::u32string text;
  std::function<Cell(Cell&)> run;   // the action on the case's string
  std::string result;                // its answer
  std::string after;                 // the whole string afterwards
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases)
    for (uint32_t unit : {1u, 2u, 4u}) {
      if (unit < unit_needed(c.text)) continue;
      current_unit = unit;
      Cell s = T(c.text);
      Cell work = s;   // actions answer in their first argument
      std::string result;
      std::string e = test::raised([&] { result = shown(c.run(work)); });
      if (!e.empty()) result = "error " + e;
      EXPECT_EQ(result, c.result) << c.what << " (unit " << unit << ")";
      if (e.empty()) {
        EXPECT_EQ(whole(s), c.after) << c.what << " (unit " << unit << ")";
      }
    }
  current_unit = 1;
}

std::string error_of(err::Id id) { return test::error_text(id); }

// --- find and select ---------------------------------------------------------------------

struct Find {
  const Cell* part = nullptr;
  const Cell* skip = nullptr;
  bool case_ = false, same = false, last = false, reverse = false, tail = false, match = false;
};

std::function<Cell(Cell&)> find(std::function<Cell()> value, Find f = {}, int32_t head = 0) {
  return [=](Cell& s) {
    Cell v = value();
    series_cell::set_head(&s, head);
    return *actions::find_typed(&s, &v,
                                {.part = f.part, .skip = f.skip, .case_ = f.case_,
                                 .same = f.same, .last = f.last, .reverse = f.reverse,
                                 .tail = f.tail, .match = f.match});
  };
}

std::function<Cell(Cell&)> select(std::function<Cell()> value, Find f = {}) {
  return [=](Cell& s) {
    Cell v = value();
    return *actions::select_typed(
        &s, &v,
        {.part = f.part, .skip = f.skip, .case_ = f.case_, .last = f.last, .reverse = f.reverse});
  };
}

TEST(StringSeries, FindAndSelect) {
  static const Cell two = I(2), three = I(3), zero = I(0);
  auto t = [](std::u32string s) { return [=] { return T(s); }; };
  auto c = [](char32_t ch) { return [=] { return C(ch); }; };
  const std::string hay = "aBcAbC";
  const std::vector<Case> cases = {
      {"char", U"aBcAbC", find(c('b')), "@2 BcAbC", hay},
      {"char /case", U"aBcAbC", find(c('b'), {.case_ = true}), "@5 bC", hay},
      {"char /last", U"aBcAbC", find(c('B'), {.last = true}), "@5 bC", hay},
      {"char /last /case", U"aBcAbC", find(c('B'), {.case_ = true, .last = true}), "@2 BcAbC", hay},
      {"char /reverse", U"aBcAbC", find(c('a'), {.reverse = true}, 3), "@1 aBcAbC", hay},
      {"char /reverse /case", U"aBcAbC", find(c('A'), {.case_ = true, .reverse = true}, 5), "@4 AbC", hay},
      {"text", U"aBcAbC", find(t(U"ABC")), "@1 aBcAbC", hay},
      {"text /case", U"aBcAbC", find(t(U"AbC"), {.case_ = true}), "@4 AbC", hay},
      {"text /case missing", U"aBcAbC", find(t(U"ABC"), {.case_ = true}), "none", hay},
      {"text /tail", U"aBcAbC", find(t(U"bca"), {.tail = true}), "@5 bC", hay},
      {"text /last", U"aBcAbC", find(t(U"bc"), {.last = true}), "@5 bC", hay},
      {"text /match", U"aBcAbC", find(t(U"ab"), {.match = true}), "@1 aBcAbC", hay},
      {"text /match elsewhere", U"aBcAbC", find(t(U"bc"), {.match = true}), "none", hay},
      {"text /match /tail", U"aBcAbC", find(t(U"ab"), {.tail = true, .match = true}), "@3 cAbC", hay},
      {"text must fit /part", U"aBcAbC", find(t(U"ca"), {.part = &three}), "none", hay},
      {"text inside /part", U"aBcAbC", find(t(U"bc"), {.part = &three}), "@2 BcAbC", hay},
      {"char /part 0", U"aBcAbC", find(c('a'), {.part = &zero}), "none", hay},
      {"char /skip", U"aBcAbC", find(c('c'), {.skip = &two}), "@3 cAbC", hay},
      {"char /skip misses", U"aBcAbC", find(c('c'), {.skip = &three}), "none", hay},
      {"char /skip 0", U"aBcAbC", find(c('c'), {.skip = &zero}), error_of(err::script::OUT_OF_RANGE), hay},
      {"empty text", U"aBcAbC", find(t(U"")), "none", hay},
      {"longer text", U"ab", find(t(U"abc")), "none", "ab"},
      {"word", U"x-Ab-y", find([] { return word::load("ab"); }), "@3 Ab-y", "x-Ab-y"},
      {"file!", U"x/a.txt", find([] { return T(U"A.TXT", T_FILE); }), "@3 a.txt", "x/a.txt"},
      {"a formed integer", U"a12b", find([] { return I(12); }), "@2 12b", "a12b"},
      {"/same", U"ab", find(c('a'), {.same = true}), error_of(err::internal::NOT_DONE), "ab"},
      {"binary!", U"ab", find([] { return test::binary({'a'}); }), error_of(err::script::INVALID_ARG), "ab"},
      {"e-acute", U"x\u00C9t\u00E9", find(c(U'\u00E9')), "@2 \u00C9t\u00E9", "x\u00C9t\u00E9"},
      {"e-acute /case", U"x\u00C9t\u00E9", find(c(U'\u00E9'), {.case_ = true}), "@4 \u00E9", "x\u00C9t\u00E9"},
      {"omega", U"x\u03A9\u03C9", find(t(U"\u03C9"), {.last = false}), "@2 \u03A9\u03C9", "x\u03A9\u03C9"},
      {"omega /case", U"x\u03A9\u03C9", find(t(U"\u03C9"), {.case_ = true}), "@3 \u03C9", "x\u03A9\u03C9"},
      {"Deseret", U"x\U00010400\U00010428", find(c(U'\U00010428')), "@2 \U00010400\U00010428", "x\U00010400\U00010428"},
      {"Deseret /case", U"x\U00010400\U00010428", find(c(U'\U00010428'), {.case_ = true}), "@3 \U00010428", "x\U00010400\U00010428"},
      {"select char", U"k=v;K=w", select(c('k')), "#=", "k=v;K=w"},
      {"select text", U"k=v;K=w", select(t(U"k=")), "#v", "k=v;K=w"},
      {"select /case", U"k=v;K=w", select(t(U"K="), {.case_ = true}), "#w", "k=v;K=w"},
      {"select /last", U"k=v;K=w", select(c('='), {.last = true}), "#w", "k=v;K=w"},
      {"select at the end", U"k=v;K=w", select(c('w')), "none", "k=v;K=w"},
  };
  run_cases(cases);
}

// --- edits ---------------------------------------------------------------------------------

std::function<Cell(Cell&)> append(std::function<Cell()> value, int32_t part = -1, int32_t dup = 1) {
  return [=](Cell& s) {
    Cell v = value();
    return *actions::append_typed(&s, &v, part, false, dup);
  };
}

std::function<Cell(Cell&)> insert(std::function<Cell()> value, int32_t head, int32_t part = -1,
                                  int32_t dup = 1) {
  return [=](Cell& s) {
    Cell v = value();
    series_cell::set_head(&s, head);
    return *actions::insert_typed(&s, &v, part, false, dup);
  };
}

std::function<Cell(Cell&)> change(std::function<Cell()> value, int32_t head, int32_t part = -1,
                                  int32_t dup = 1) {
  return [=](Cell& s) {
    Cell v = value();
    series_cell::set_head(&s, head);
    return *actions::change_typed(&s, &v, part, false, dup);
  };
}

TEST(StringSeries, AppendInsertChange) {
  auto t = [](std::u32string s) { return [=] { return T(s); }; };
  auto c = [](char32_t ch) { return [=] { return C(ch); }; };
  const std::vector<Case> cases = {
      {"append text", U"ab", append(t(U"Cd")), "@1 abCd", "abCd"},
      {"append char", U"ab", append(c('c')), "@1 abc", "abc"},
      {"append/part", U"ab", append(t(U"cdef"), 2), "@1 abcd", "abcd"},
      {"append/dup", U"ab", append(t(U"xy"), -1, 3), "@1 abxyxyxy", "abxyxyxy"},
      {"append/dup of a char", U"ab", append(c('-'), -1, 4), "@1 ab----", "ab----"},
      {"append a block", U"ab", append([] { return test::value("[1 x [y z]]"); }), "@1 ab1xy z", "ab1xy z"},
      {"append/part a block", U"ab", append([] { return test::value("[1 x [y z]]"); }, 2), "@1 ab1x", "ab1x"},
      {"append a tag", U"ab", append([] { return T(U"i", T_TAG); }), "@1 ab<i>", "ab<i>"},
      {"append/part a tag", U"ab", append([] { return T(U"img", T_TAG); }, 2), "@1 ab<i", "ab<i"},
      {"append an integer", U"ab", append([] { return I(-12); }), "@1 ab-12", "ab-12"},
      {"append/dup 0", U"ab", append(c('x'), -1, 0), "@1 ab", "ab"},
      {"append e-acute", U"ab", append(c(U'\u00E9')), "@1 ab\u00E9", "ab\u00E9"},
      {"append euro", U"ab", append(t(U"\u20AC")), "@1 ab\u20AC", "ab\u20AC"},
      {"append emoji", U"a\u00E9", append(c(U'\U0001F600'), -1, 2), "@1 a\u00E9\U0001F600\U0001F600",
       "a\u00E9\U0001F600\U0001F600"},
      {"insert text", U"abc", insert(t(U"XY"), 1), "@4 bc", "aXYbc"},
      {"insert at the tail", U"abc", insert(t(U"XY"), 3), "@6 ", "abcXY"},
      {"insert/dup", U"abc", insert(c('-'), 0, -1, 3), "@4 abc", "---abc"},
      {"insert a wider char", U"abc", insert(c(U'\u03A9'), 2), "@4 c", "ab\u03A9c"},
      {"insert/part", U"abc", insert(t(U"XYZ"), 0, 1), "@2 abc", "Xabc"},
      {"change", U"abcdef", change(t(U"XY"), 1), "@4 def", "aXYdef"},
      {"change/part", U"abcdef", change(t(U"XY"), 1, 4), "@4 f", "aXYf"},
      {"change/part wider", U"abcdef", change(t(U"XYZ"), 1, 1), "@5 cdef", "aXYZcdef"},
      {"change/dup", U"abcdef", change(c('-'), 0, -1, 3), "@4 def", "---def"},
      {"change past the tail", U"abc", change(t(U"XYZ"), 2), "@6 ", "abXYZ"},
      {"change at the tail", U"abc", change(t(U"XY"), 3), "@6 ", "abcXY"},
      {"change to a wider char", U"abc", change(c(U'\U0001F600'), 1), "@3 c", "a\U0001F600c"},
      {"change a block", U"abc", change([] { return test::value("[1 2]"); }, 0), "@3 c", "12c"},
  };
  run_cases(cases);
}

TEST(StringSeries, EditsWithTheTextItself) {
  for (uint32_t unit : {1u, 2u, 4u}) {
    current_unit = unit;
    Cell s = T(U"abc");
    actions::append_typed(&s, &s, -1, false, 2);
    EXPECT_EQ(whole(s), "abcabcabc") << unit;
    Cell middle = at(U"abc", 1);
    Cell from_start = middle;
    series_cell::set_head(&from_start, 0);
    actions::insert_typed(&middle, &from_start, -1, false, 1);
    EXPECT_EQ(whole(middle), "aabcbc") << unit;
    Cell changed = at(U"abcd", 2);
    Cell source = changed;
    series_cell::set_head(&source, 0);
    actions::change_typed(&changed, &source, -1, false, 1);
    EXPECT_EQ(whole(changed), "ababcd") << unit;
  }
  current_unit = 1;
}

TEST(StringSeries, SizesBeyondABufferAreRefused) {
  Cell s = T(U"ab");
  Cell v = T(U"xyz");
  EXPECT_EQ(test::raised([&] { actions::append_typed(&s, &v, -1, false, INT32_MAX); }),
            test::error_name(err::internal::NO_MEMORY));
  EXPECT_EQ(whole(s), "ab");
}

// --- the shared series actions on text ---------------------------------------------------

TEST(StringSeries, SharedActions) {
  static const Cell two = I(2), minus_two = I(-2);
  auto run = [](std::function<Cell(Cell&)> f) { return f; };
  const std::vector<Case> cases = {
      {"length?", U"abc", run([](Cell& s) { return I(actions::length_q_typed(&s)); }), "3", "abc"},
      {"pick", U"a\u00E9c", run([](Cell& s) { Cell i = I(2); return *actions::pick_typed(&s, 2, &i); }),
       "#\u00E9", "a\u00E9c"},
      {"pick out of range", U"abc", run([](Cell& s) { Cell i = I(4); return *actions::pick_typed(&s, 4, &i); }),
       "none", "abc"},
      {"poke widens", U"abc", run([](Cell& s) {
         Cell i = I(2), v = C(U'\U0001F600');
         return *actions::poke_typed(&s, 2, &v, &i);
       }),
       "#\U0001F600", "a\U0001F600c"},
      {"poke an integer", U"abc", run([](Cell& s) {
         Cell i = I(2), v = I(66);
         return *actions::poke_typed(&s, 2, &v, &i);
       }),
       error_of(err::script::INVALID_ARG), "abc"},
      {"copy/part", U"abcd", run([](Cell& s) {
         series_cell::set_head(&s, 1);
         Cell out;
         return *actions::copy_typed(&s, &out, &two, false, nullptr);
       }),
       "@1 bc", "abcd"},
      {"take", U"abc", run([](Cell& s) { return *actions::take_typed(&s, nullptr, false, false); }), "#a", "bc"},
      {"take/last/part", U"abcd", run([](Cell& s) { return *actions::take_typed(&s, &two, false, true); }),
       "@1 cd", "ab"},
      {"remove/part", U"abcd", run([](Cell& s) { return *actions::remove_typed(&s, &two, nullptr); }),
       "@1 cd", "cd"},
      {"reverse", U"ab\u00E9d", run([](Cell& s) { return *actions::reverse_typed(&s, nullptr, nullptr); }),
       "@1 d\u00E9ba", "d\u00E9ba"},
      {"reverse/skip", U"abcdef", run([](Cell& s) { return *actions::reverse_typed(&s, nullptr, &two); }),
       "@1 efcdab", "efcdab"},
      {"reverse/part", U"abcdef", run([](Cell& s) { return *actions::reverse_typed(&s, &minus_two, nullptr); }),
       "@1 abcdef", "abcdef"},
      {"clear", U"abcd", run([](Cell& s) {
         series_cell::set_head(&s, 1);
         return *actions::clear_typed(&s);
       }),
       "@2 ", "a"},
      {"move within", U"abcd", run([](Cell& s) {
         Cell to = s;
         series_cell::set_head(&to, 2);
         actions::move_typed(&s, &to, nullptr);
         return s;
       }),
       "@1 bcad", "bcad"},
  };
  run_cases(cases);
}

TEST(StringSeries, MoveAndSwapAcrossWidths) {
  for (uint32_t from : {1u, 2u, 4u})
    for (uint32_t to : {1u, 2u, 4u}) {
      Cell origin = test::text_of_unit(U"xyz", from);
      Cell target = test::text_of_unit(U"\u00E9!", to);
      Cell two = I(2);
      actions::move_typed(&origin, &target, &two);
      EXPECT_EQ(whole(origin), "z") << from << " to " << to;
      EXPECT_EQ(whole(target), "xy\u00E9!") << from << " to " << to;
      Cell a = test::text_of_unit(U"ab", from);
      Cell b = test::text_of_unit(U"\U0001F600c", std::max(to, 4u));
      if (to < 4) b = test::text_of_unit(U"\u03A9c", std::max(to, 2u));
      std::string wide = to < 4 ? "\u03A9" : "\U0001F600";
      actions::swap_typed(&a, &b);
      EXPECT_EQ(whole(a), wide + "b") << from << " swapped with " << to;
      EXPECT_EQ(whole(b), "ac");
    }
  Cell a = test::text(U"ab");
  Cell n = I(1);
  EXPECT_EQ(test::raised([&] { actions::swap_typed(&a, &n); }),
            test::error_name(err::script::INVALID_ARG));
  Cell empty = test::text(U"");
  Cell b = test::text(U"z");
  actions::swap_typed(&empty, &b);
  EXPECT_EQ(whole(b), "z") << "nothing to swap at a tail";
}

TEST(StringSeries, RandomShufflesTheCharacters) {
  for (uint32_t unit : {1u, 2u, 4u}) {
    Cell s = test::text_of_unit(U"abcdefghijklmnopqrstuvwxyz", unit);
    actions::random_typed(&s, false, false, false);
    std::string shuffled = whole(s);
    std::string sorted = shuffled;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, "abcdefghijklmnopqrstuvwxyz") << unit;
    EXPECT_NE(shuffled, sorted) << unit;
    Cell one = test::text_of_unit(U"q", unit);
    EXPECT_EQ(shown(*actions::random_typed(&one, false, false, true)), "#q");
  }
}

// --- trim ----------------------------------------------------------------------------------

using Trim = TrimOptions;

std::function<Cell(Cell&)> trim(Trim t) {
  return [=](Cell& s) { return *actions::trim_typed(&s, t); };
}

TEST(StringSeries, Trim) {
  const Cell ab = test::text(U"ab"), x = C('x'), sixty_five = I(65), blk = test::value("[x]");
  const std::vector<Case> cases = {
      {"both ends", U"  a  b  ", trim({}), "@1 a  b", "a  b"},
      {"/lines", U"  a  b  ", trim({.lines = true}), "@1 a b", "a b"},
      {"/all", U"  a  b  ", trim({.all = true}), "@1 ab", "ab"},
      {"/head", U"  a  b  ", trim({.head = true}), "@1 a  b  ", "a  b  "},
      {"/tail", U"  a  b  ", trim({.tail = true}), "@1   a  b", "  a  b"},
      {"/head /tail", U" \n a \n ", trim({.head = true, .tail = true}), "@1 a", "a"},
      {"every line", U"\n  one  \n\t two \t\n\n", trim({}), "@1 one\ntwo\n", "one\ntwo\n"},
      {"inner lines", U"a \n\n b", trim({}), "@1 a\n\nb", "a\n\nb"},
      {"no line feed at the end", U" a\tb \t ", trim({}), "@1 a\tb", "a\tb"},
      {"/lines with line feeds", U"\ta\n\n b\r\n", trim({.lines = true}), "@1 a b", "a b"},
      {"/all keeps other spaces", U" a\u00A0b\u3000 ", trim({.all = true}), "@1 a\u00A0b\u3000", "a\u00A0b\u3000"},
      {"wide spaces at the ends", U"\u3000\u00A0a\u2003b\u205F", trim({}), "@1 a\u2003b", "a\u2003b"},
      {"wide blanks in lines", U"a\u2002\nb", trim({}), "@1 a\nb", "a\nb"},
      {"/with text", U"abcab", trim({.with = &ab}), "@1 c", "c"},
      {"/with char", U"xaxbx", trim({.with = &x}), "@1 ab", "ab"},
      {"/with integer", U"AbA", trim({.with = &sixty_five}), "@1 b", "b"},
      {"/auto", U" a", trim({.auto_ = true}), error_of(err::internal::NOT_DONE), " a"},
      {"/with a block", U" a", trim({.with = &blk}), error_of(err::script::INVALID_ARG), " a"},
  };
  run_cases(cases);
  Cell s = test::text(U"ab  cd ");
  series_cell::set_head(&s, 2);
  actions::trim_typed(&s);
  EXPECT_EQ(whole(s), "abcd") << "from the head on";
}

}  // namespace
}  // namespace zol
