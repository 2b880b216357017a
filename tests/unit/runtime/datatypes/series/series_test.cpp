// The series! actions every series inherits: navigation, pick and poke, remove,
// reverse, take, copy, move, random, clear and the ownership fields; on blocks
// through the action entries, and on text and bytes through the series! row.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/ownership.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/word.h"

namespace zol {
namespace {

using test::at;
using test::load;
using test::show;
using test::value;

std::string failure(err::script id) { return "error " + test::error_name(id); }

// Runs an action entry on a frame of `args`: the shown result, or the error.
std::string run(std::initializer_list<Cell> args, const std::function<void()>& entry) {
  std::string shown;
  std::string e = test::raised([&] { shown = show(test::call_on_frame(args, entry)); });
  return e.empty() ? shown : "error " + e;
}

Cell I(int32_t n) { return values::integer(n); }

TEST(SeriesNavigation, AtSkipNextBackClipToTheSeries) {
  struct Case {
    Cell series;
    std::function<void()> entry;
    Cell argument;
    const char* expected;
  };
  const Case cases[] = {
      {value("[a b c]"), actions::at, I(0), "@1 [a b c]"},
      {value("[a b c]"), actions::at, I(1), "@1 [a b c]"},
      {value("[a b c]"), actions::at, I(3), "@3 [c]"},
      {at("[a b c]", 2), actions::at, I(-1), "@2 [b c]"},
      {at("[a b c]", 1), actions::at, I(-5), "@1 [a b c]"},
      {value("[a b c]"), actions::at, I(9), "@4 []"},
      {at("[a b c]", 1), actions::skip, I(1), "@3 [c]"},
      {at("[a b c]", 1), actions::skip, I(-9), "@1 [a b c]"},
      {at("[a b c]", 1), actions::skip, I(9), "@4 []"},
      {value("[a b c]"), actions::skip, I(0), "@1 [a b c]"},
  };
  for (const Case& c : cases) EXPECT_EQ(run({c.series, c.argument}, c.entry), c.expected);
  EXPECT_EQ(run({value("[a]"), value("x")}, actions::at), failure(err::script::INVALID_ARG));

  EXPECT_EQ(run({at("[a b]", 2)}, actions::next), "@3 []") << "next at the tail stays";
  EXPECT_EQ(run({at("[a b]", 1)}, actions::next), "@3 []");
  EXPECT_EQ(run({value("[a b]")}, actions::back), "@1 [a b]") << "back at the head stays";
  EXPECT_EQ(run({at("[a b]", 2)}, actions::back), "@2 [b]");
  EXPECT_EQ(run({at("[a b]", 1)}, actions::head), "@1 [a b]");
  EXPECT_EQ(run({value("[a b]")}, actions::tail), "@3 []");
  EXPECT_EQ(run({at("[a b]", 2)}, actions::tail_q), "true");
  EXPECT_EQ(run({value("[a b]")}, actions::head_q), "true");
  EXPECT_EQ(run({at("[a b]", 1)}, actions::index_q), "2");
  EXPECT_EQ(run({at("[a b]", 1)}, actions::length_q), "1");
}

TEST(SeriesNavigation, AHeadPastAShortenedTail) {
  Cell whole = value("[a b c d]");
  Cell late = whole;
  series_cell::set_head(&late, 3);
  Cell cut = whole;
  series_cell::set_head(&cut, 1);
  actions::clear_typed(&cut);
  EXPECT_EQ(run({late}, actions::index_q), "4") << "index? is not clipped";
  EXPECT_EQ(run({late}, actions::length_q), "0");
  EXPECT_EQ(run({late}, actions::tail_q), "true");
  EXPECT_EQ(run({late}, actions::back), "@3 []") << "back steps from the stale head";
  EXPECT_EQ(run({late}, actions::next), "@4 []") << "next does not pass the tail";
}

TEST(SeriesElements, PickAndPoke) {
  struct Case {
    Cell series, index;
    const char* picked;
  };
  const Case cases[] = {
      {value("[a b]"), I(0), "none"},          {value("[a b]"), I(1), "a"},
      {value("[a b]"), I(2), "b"},             {value("[a b]"), I(3), "none"},
      {at("[a b]", 1), I(-1), "a"},            {at("[a b]", 1), I(-2), "none"},
      {value("[a b]"), values::true_value, "a"}, {value("[a b]"), values::false_value, "b"},
      {value("[a b]"), value("x"), "none"},
  };
  for (const Case& c : cases) EXPECT_EQ(run({c.series, c.index}, actions::pick), c.picked);

  Cell target = value("[a b]");
  EXPECT_EQ(run({target, I(2), value("x")}, actions::poke), "x");
  EXPECT_EQ(show(target), "@1 [a x]");
  EXPECT_EQ(run({target, I(0), value("y")}, actions::poke), failure(err::script::OUT_OF_RANGE));
  EXPECT_EQ(cell::get_int(&error::last_args[0]), 0) << "the index is named";
  EXPECT_EQ(run({target, I(3), value("y")}, actions::poke), failure(err::script::OUT_OF_RANGE));
  EXPECT_EQ(show(target), "@1 [a x]") << "a failed poke changes nothing";
}

TEST(SeriesEdits, RemoveReverseAndClear) {
  Cell* top = stack::top;
  struct Case {
    Cell series;
    std::function<void()> entry;
    std::initializer_list<Cell> refinement_args;
    std::string result;
    const char* whole;
  };
  auto remove_part = [] { actions::remove(1, -1); };
  auto remove_key = [] { actions::remove(-1, 1); };
  auto reverse_part = [] { actions::reverse(1, -1); };
  auto reverse_skip = [] { actions::reverse(-1, 1); };
  auto remove = [] { actions::remove(-1, -1); };
  auto reverse = [] { actions::reverse(-1, -1); };
  Cell b = value("[a b c d e f]");
  const Case cases[] = {
      {at("[a b c]", 1), remove, {}, "@2 [c]", "[a c]"},
      {at("[a b c]", 3), remove, {}, "@4 []", "[a b c]"},
      {value("[a b c]"), remove_part, {I(2)}, "@1 [c]", "[c]"},
      {value("[a b c]"), remove_part, {I(0)}, "@1 [a b c]", "[a b c]"},
      {value("[a b c]"), remove_part, {I(9)}, "@1 []", "[]"},
      {value("[a 1 b 2]"), remove_key, {value("b")}, "@1 [a 1]", "[a 1]"},
      {value("[a 1 b 2]"), remove_key, {value("z")}, "none", "[a 1 b 2]"},
      {value("[a b c d]"), reverse, {}, "@1 [d c b a]", "[d c b a]"},
      {at("[a b c d]", 1), reverse_part, {I(2)}, "@2 [c b d]", "[a c b d]"},
      {value("[a b c d e f]"), reverse_skip, {I(2)}, "@1 [e f c d a b]", "[e f c d a b]"},
      {value("[a b c d]"), reverse_skip, {I(4)}, "@1 [a b c d]", "[a b c d]"},
      {value("[a b c d e]"), reverse_skip, {I(2)}, failure(err::script::INVALID_REFINE_ARG),
       "[a b c d e]"},
      {value("[a b c d]"), reverse_skip, {I(0)}, failure(err::script::OUT_OF_RANGE),
       "[a b c d]"},
      {at("[a b c]", 1), actions::clear, {}, "@2 []", "[a]"},
  };
  for (const Case& c : cases) {
    std::vector<Cell> frame{c.series};
    frame.insert(frame.end(), c.refinement_args);
    std::string result;
    std::string e = test::raised([&] {
      Cell* saved = stack::top;
      stack::mark_native(nullptr);
      for (const Cell& a : frame) stack::push(&a);
      c.entry();
      result = show(*stack::arguments);
      stack::unwind();
      stack::top = saved;
    });
    EXPECT_EQ(e.empty() ? result : "error " + e, c.result) << c.whole;
    Cell whole = c.series;
    series_cell::set_head(&whole, 0);
    EXPECT_EQ(test::mold(whole), c.whole);
  }
  EXPECT_EQ(run({b, at("[x]", 0)}, [] { actions::remove(1, -1); }),
            failure(err::script::INVALID_REFINE_ARG))
      << "a /part position in another series";
  stack::top = top;
}

TEST(SeriesEdits, TakeFromTheHeadOrTheTail) {
  struct Case {
    const char* series;
    int32_t head;
    const Cell* part;
    bool last;
    const char* taken;
    const char* left;
  };
  const Cell two = I(2), minus_two = I(-2), nine = I(9);
  const Case cases[] = {
      {"[a b c]", 0, nullptr, false, "a", "[b c]"},
      {"[a b c]", 0, nullptr, true, "c", "[a b]"},
      {"[a b c]", 0, &two, false, "@1 [a b]", "[c]"},
      {"[a b c]", 0, &two, true, "@1 [b c]", "[a]"},
      {"[a b c]", 0, &nine, false, "@1 [a b c]", "[]"},
      {"[a b c d]", 3, &minus_two, false, "@1 [b c]", "[a d]"},
      {"[a b c]", 0, &minus_two, true, "@1 []", "[a b c]"},
      {"[]", 0, nullptr, false, "none", "[]"},
      {"[]", 0, &two, false, "none", "[]"},
      {"[a b]", 2, nullptr, false, "none", "[a b]"},
  };
  for (const Case& c : cases) {
    Cell s = at(c.series, c.head);
    Cell whole = s;
    series_cell::set_head(&whole, 0);
    EXPECT_EQ(show(*actions::take_typed(&s, c.part, false, c.last)), c.taken) << c.series;
    EXPECT_EQ(test::mold(whole), c.left) << c.series;
  }
  // A position as /part: the units up to it, or with /last from it to the tail.
  Cell s = value("[a b c d]");
  Cell mark = s;
  series_cell::set_head(&mark, 1);
  Cell taker = s;
  EXPECT_EQ(show(*actions::take_typed(&taker, &mark, false, true)), "@1 [b c d]");
  EXPECT_EQ(test::mold(s), "[a]");
}

TEST(SeriesCopy, PartCountsPositionsAndPairs) {
  struct Case {
    Cell series;
    Cell part;
    const char* copied;
  };
  const Cell pair{T_PAIR, 0, 2, 4};
  const Case cases[] = {
      {at("[1 2 3 4]", 2), I(-2), "@1 [1 2]"},
      {at("[1 2 3 4]", 1), I(-9), "@1 [1]"},
      {at("[1 2 3 4]", 1), I(2), "@1 [2 3]"},
      {at("[1 2 3 4]", 1), I(99), "@1 [2 3 4]"},
      {at("[1 2 3 4]", 1), pair, "@1 [3 4]"},
      {at("[1 2 3 4]", 9), I(2), "@1 []"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(run({c.series, c.part}, [] { actions::copy(1, -1, -1); }), c.copied);
  Cell s = value("[1 2 3 4]");
  Cell end = s;
  series_cell::set_head(&end, 3);
  EXPECT_EQ(run({s, end}, [] { actions::copy(1, -1, -1); }), "@1 [1 2 3]") << "up to a position";
  Cell flagged = value("[[x]]");
  cell::set_new_line(block::cell_at(&flagged, 0), true);
  Cell inner = *block::cell_at(&flagged, 0);
  Cell copied = test::call_on_frame({inner}, [] { actions::copy(-1, -1, -1); });
  EXPECT_TRUE(cell::new_line(&copied)) << "the copy keeps the new-line marker";
}

// Every count a series action takes, at the ends of the 32-bit range: the most
// negative count counts back from the head and is clipped at the buffer start (its
// negation does not fit in 32 bits), the largest step ends a search. One row per
// action; S stands for the series, the same on a block, a string and a hash!.
TEST(SeriesCounts, ExtremeCountsOnEveryKindOfSeries) {
  struct Row {
    const char* source;
    std::string block, text, hash;
  };
  const std::string out_of_range = test::eval_error_text(err::script::OUT_OF_RANGE);
  const std::string bad_skip = test::eval_error_text(err::script::INVALID_REFINE_ARG);
  const Row rows[] = {
      {"take/part S -2147483648", "[]", "\"\"", "make hash! []"},
      {"take/part next next S -2147483648", "[3 2]", "\"cb\"", "make hash! [3 2]"},
      {"take/part/last next next S -2147483648", "[]", "\"\"", "make hash! []"},
      {"sort/part S -2147483648", "[3 2 1]", "\"cba\"", "make hash! [3 2 1]"},
      {"head sort/part next next S -2147483648", "[2 3 1]", "\"bca\"", "make hash! [2 3 1]"},
      {"copy/part next next S -2147483648", "[3 2]", "\"cb\"", "make hash! [3 2]"},
      {"head remove/part next next S -2147483648", "[3 2 1]", "\"cba\"", "make hash! [3 2 1]"},
      {"head reverse/part next next S -2147483648", "[3 2 1]", "\"cba\"", "make hash! [3 2 1]"},
      {"head change/part next next S pick S 1 -2147483648", "[3 1]", "\"ca\"", "make hash! [3 1]"},
      {"head change/dup S pick S 1 -2147483648", "[3 2 1]", "\"cba\"", "make hash! [3 2 1]"},
      {"head insert/dup S pick S 1 -2147483648", "[3 2 1]", "\"cba\"", "make hash! [3 2 1]"},
      {"append/part clear copy S next next S -2147483648", "[3 2]", "\"cb\"", "make hash! [3 2]"},
      {"head insert/part clear copy S next S -2147483648", "[3]", "\"c\"", "make hash! [3]"},
      {"s: S move/part next s clear copy S -2147483648 s", "[3 2 1]", "\"cba\"",
       "make hash! [3 2 1]"},
      {"skip next S -2147483648", "[3 2 1]", "\"cba\"", "make hash! [3 2 1]"},
      {"at next S -2147483648", "[3 2 1]", "\"cba\"", "make hash! [3 2 1]"},
      {"pick next S -2147483648", "none", "none", "none"},
      {"s: next S s/(-2147483648)", "none", "none", "none"},
      {"poke next S -2147483648 pick S 1", out_of_range, out_of_range, out_of_range},
      {"find/part S pick S 1 -2147483648", "none", "none", "none"},
      {"find/skip S pick S 1 -2147483648", out_of_range, out_of_range, out_of_range},
      {"find/skip next S pick S 1 2147483647", "none", "none", "none"},
      {"sort/skip S -2147483648", bad_skip, bad_skip, bad_skip},
      {"mold/part S -2147483648", "\"\"", "\"\"", "\"\""},
  };
  const char* series[] = {"[3 2 1]", "\"cba\"", "make hash! [3 2 1]"};
  for (const Row& r : rows) {
    const std::string* expected[] = {&r.block, &r.text, &r.hash};
    for (int kind = 0; kind < 3; kind++) {
      std::string source = r.source;
      for (size_t at = source.find('S'); at != std::string::npos; at = source.find('S'))
        source.replace(at, 1, series[kind]);
      test::check({{source.c_str(), *expected[kind]}});
    }
  }
}

TEST(SeriesMove, WithinAndAcrossBlocks) {
  struct Case {
    const char* series;
    int32_t from, to;
    const Cell* part;
    const char* after;
  };
  const Cell two = I(2);
  const Case cases[] = {
      {"[a b c d e]", 0, 2, nullptr, "[b c a d e]"},
      {"[a b c d e]", 0, 5, &two, "[c d e a b]"},
      {"[a b c d e]", 3, 1, nullptr, "[a d b c e]"},
      {"[a b c d e]", 3, 0, &two, "[d e a b c]"},
      {"[a b c d e]", 1, 1, nullptr, "[a b c d e]"},
      {"[a b c d e]", 1, 4, &two, "[a b c d e]"},
  };
  for (const Case& c : cases) {
    Cell origin = at(c.series, c.from);
    Cell target = origin;
    series_cell::set_head(&target, c.to);
    actions::move_typed(&origin, &target, c.part);
    series_cell::set_head(&origin, 0);
    EXPECT_EQ(test::mold(origin), c.after) << c.from << " to " << c.to;
  }
  Cell from = value("[a b c]"), to = at("[x y]", 1);
  Cell two_cells = I(2);
  EXPECT_EQ(show(*actions::move_typed(&from, &to, &two_cells)), "@2 [a b y]");
  EXPECT_EQ(test::mold(from), "[c]");
  Cell text;
  string::make_at(&text, 4);
  cell::set_type(&text, T_STRING);
  EXPECT_EQ(run({from, text}, [] { actions::move(-1); }), failure(err::script::MOVE_BAD));
  EXPECT_EQ(run({I(1), from}, [] { actions::move(-1); }), "error " +
            test::error_name(err::script::EXPECT_ARG));
}

TEST(SeriesRandom, ShuffleOnlyAndSeed) {
  Cell s = value("[1 2 3 4 5 6 7 8]");
  actions::random_typed(&s, false, false, false);
  Cell sorted = s;
  actions::sort_typed(&sorted);
  EXPECT_EQ(test::mold(sorted), "[1 2 3 4 5 6 7 8]") << "a shuffle keeps every element";
  Cell empty = value("[]");
  EXPECT_EQ(show(*actions::random_typed(&empty, false, false, true)), "none");
  Cell one = value("[x]");
  EXPECT_EQ(show(*actions::random_typed(&one, false, false, true)), "x");
  auto shuffled_after_seed = [] {
    Cell seed = value("[s e e d]");
    actions::random_typed(&seed, true, false, false);
    Cell v = value("[1 2 3 4 5 6 7 8 9]");
    actions::random_typed(&v, false, false, false);
    return test::mold(v);
  };
  EXPECT_EQ(shuffled_after_seed(), shuffled_after_seed()) << "the same seed, the same order";
}

// The series! row on other units: text of every width and bytes.
TEST(SeriesUnits, TheRowServesTextAndBytes) {
  auto series_action = [](int slot) { return datatype::action(T_SERIES, slot); };
  auto pick = action_as<PickFn>(series_action(A_PICK));
  auto poke = action_as<PokeFn>(series_action(A_POKE));
  auto reverse = action_as<ReverseFn>(series_action(A_REVERSE));
  auto remove = action_as<RemoveFn>(series_action(A_REMOVE));
  auto copy = action_as<CopyFn>(series_action(A_COPY));

  Cell text;
  string::make_at(&text, 8);
  cell::set_type(&text, T_STRING);
  string::concatenate_literal(&text, "abc");
  Cell c = text;
  Cell* picked = pick(&c, 2, nullptr);
  EXPECT_TRUE(picked->is(T_CHAR));
  EXPECT_EQ(picked->w2, uint32_t('b'));
  Cell wide{T_CHAR, 0, 0x1F600, 0};
  poke(&text, 1, &wide, nullptr);
  EXPECT_EQ(test::buffer(text)->unit(), 4u) << "poking a wide character widens the text";
  reverse(&text, nullptr, nullptr);
  EXPECT_EQ(string::to_utf8(&text), "cb\xF0\x9F\x98\x80");
  Cell one = I(1);
  remove(&text, &one, nullptr);
  EXPECT_EQ(string::to_utf8(&text), "b\xF0\x9F\x98\x80");
  Cell number = I(7);
  EXPECT_EQ(test::raised([&] { poke(&text, 1, &number, nullptr); }),
            test::error_name(err::script::INVALID_ARG));

  Cell bytes;
  string::make_at(&bytes, 4);
  cell::set_type(&bytes, T_BINARY);
  string::concatenate_literal(&bytes, "\x01\x02\x03");
  Cell b = bytes;
  EXPECT_EQ(cell::get_int(pick(&b, 3, nullptr)), 3);
  Cell ff = I(255);
  poke(&bytes, 1, &ff, nullptr);
  Cell copied;
  Cell two = I(2);
  copy(&bytes, &copied, &two, false, nullptr);
  EXPECT_TRUE(copied.is(T_BINARY));
  EXPECT_EQ(test::binary_bytes(copied), "\xFF\x02");
}

// reflect and modify reach the ownership of a series through the field `owned`.
TEST(SeriesOwnership, ReflectAndModifyTheOwner) {
  NodeRef ctx = context::create(2, false, false, 0, context::OBJECT);
  Cell owner{T_OBJECT, ctx, 0, 0};
  Cell field{T_WORD, ctx, symbol::make("field"), uint32_t(-1)};
  Cell s = value("[a [b]]");
  Cell owned = word::load("owned");
  Cell spec;
  block::make_at(&spec, 2);
  block::append(&spec, &owner);
  block::append(&spec, &field);
  uint32_t owned_symbol = word_cell::symbol(&owned);

  Cell probe = s;
  EXPECT_EQ(show(*actions::reflect_typed(&probe, owned_symbol)), "none");
  actions::modify_typed(&s, &owned, &spec, false);
  probe = s;
  Cell* record = actions::reflect_typed(&probe, owned_symbol);
  ASSERT_TRUE(record->is(T_BLOCK));
  EXPECT_EQ(block::cell_at(record, 0)->w1, ctx);
  Cell nested = *block::cell_at(&s, 1);
  EXPECT_NE(ownership::owner_of(nested.w2), nullptr) << "nested series are owned too";
  actions::modify_typed(&s, &owned, const_cast<Cell*>(&values::none), false);
  EXPECT_EQ(ownership::owner_of(s.w2), nullptr);
  EXPECT_EQ(ownership::owner_of(nested.w2), nullptr);
  Cell other = word::load("other");
  EXPECT_EQ(test::raised([&] { actions::reflect_typed(&probe, word_cell::symbol(&other)); }),
            test::error_name(err::internal::NOT_DONE));
}

}  // namespace
}  // namespace zol
