// Zol code running in the middle of a text action: the owner's change handler
// hears every edit before and after it, and may grow and widen the string before
// the edit happens. The action must re-read the buffer and its unit afterwards
// (under AddressSanitizer an abandoned buffer is poisoned, so a stale read fails
// at once).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/core/actions.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/ownership.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell I(int32_t n) { return values::integer(n); }
Cell C(uint32_t c) { return Cell{T_CHAR, 0, c, 0}; }

constexpr int32_t GROWTH = 300;   // characters a handler adds: several expansions
constexpr uint32_t WIDE = 0x1F600;

std::vector<std::string> heard;
bool grow_on_notice = false;

// Before the edit, appends GROWTH characters ending with one that needs 4 bytes.
void handler(Cell*, Cell*, Cell* target, const Cell* action, const Cell*, int32_t, int32_t) {
  std::string word = symbol::get_c_string(word_cell::symbol(action));
  heard.push_back(word);
  bool after = word == "taken" || word.ends_with("ed");
  if (!grow_on_notice || after) return;
  SeriesBuffer* b = memory::buffer_of(series_cell::node(target));
  for (int32_t i = 1; i < GROWTH; i++) b = string::append_char(b, 'a' + uint32_t(i % 26));
  string::append_char(b, WIDE);
}

// A string owned by an object whose deep-change handler is `handler`. Ownership
// lasts while the owner lives: callers keep it on their stack.
struct Owned {
  Cell text;
  Cell owner;
};

Owned owned_text(const std::u32string& text) {
  NodeRef ctx = context::create(2, false, false, 0, context::OBJECT);
  Cell field{T_WORD, ctx, symbol::make("field"), uint32_t(-1)};
  Owned o{test::text(text), Cell{T_OBJECT, ctx, 0, 1}};
  ownership::set_owner(&o.text, &o.owner, &field);
  return o;
}

Cell at(Cell s, int32_t head) {
  series_cell::set_head(&s, head);
  return s;
}

struct Edit {
  const char* before;
  const char* after;
  std::function<void(Cell)> run;
};

std::vector<Edit> edits() {
  return {
      {"append", "appended", [](Cell s) {
         Cell v = test::text(U"xy");
         actions::append_typed(&s, &v, -1, false, 2);
       }},
      {"insert", "inserted", [](Cell s) {
         Cell p = at(s, 1), v = C(0xE9);
         actions::insert_typed(&p, &v, -1, false, 1);
       }},
      {"insert", "inserted", [](Cell s) { actions::insert_typed(&s, &s, -1, false, 1); }},
      {"change", "changed", [](Cell s) {
         Cell p = at(s, 2), v = test::text(U"XYZ");
         actions::change_typed(&p, &v, 1, false, 1);
       }},
      {"change", "changed", [](Cell s) {
         Cell p = at(s, 1);
         actions::change_typed(&p, &s, -1, false, 1);
       }},
      {"poke", "poked", [](Cell s) {
         Cell v = C(0x3A9), i = I(2);
         actions::poke_typed(&s, 2, &v, &i);
       }},
      {"sort", "sorted", [](Cell s) {
         actions::sort_typed(&s);
       }},
      {"swap", "swaped", [](Cell s) {
         Cell other = test::text(U"q");
         actions::swap_typed(&s, &other);
       }},
      {"trim", "trimmed", [](Cell s) {
         actions::trim_typed(&s);
       }},
      {"trim", "trimmed", [](Cell s) {
         Cell with = C('b');
         actions::trim_typed(&s, {.all = true, .with = &with});
       }},
      {"remove", "removed", [](Cell s) { Cell n = I(2); actions::remove_typed(&s, &n, nullptr); }},
      {"take", "taken", [](Cell s) { Cell n = I(2); actions::take_typed(&s, &n, false, true); }},
      {"reverse", "reversed", [](Cell s) { actions::reverse_typed(&s, nullptr, nullptr); }},
  };
}

TEST(StringCallbacks, EveryEditIsHeardBeforeAndAfter) {
  test::ScopedHook hook(ownership::on_deep_change, handler);
  grow_on_notice = false;
  for (const Edit& e : edits()) {
    heard.clear();
    Owned o = owned_text(U" cab d ");
    e.run(o.text);
    EXPECT_EQ(heard, (std::vector<std::string>{e.before, e.after}));
  }
  heard.clear();
  for (const Edit& e : edits()) e.run(test::text(U" cab d "));
  EXPECT_TRUE(heard.empty()) << "a string without an owner tells nobody";
}

TEST(StringCallbacks, AHandlerThatGrowsAndWidensTheTextMidEdit) {
  test::ScopedHook hook(ownership::on_deep_change, handler);
  grow_on_notice = true;
  for (const Edit& e : edits()) {
    heard.clear();
    Owned o = owned_text(U" cab d ");
    Cell s = o.text;
    e.run(s);
    EXPECT_EQ(heard.size(), 2u) << e.before;
    EXPECT_EQ(test::unit(s), 4u) << e.before;
    test::chars(s);   // every character still reads back
  }
  // Where the result is certain: append lands after the grown text.
  Owned o = owned_text(U"ab");
  Cell s = o.text;
  Cell v = test::text(U"z");
  actions::append_typed(&s, &v, -1, false, 1);
  std::u32string text = test::chars(s);
  ASSERT_EQ(text.size(), size_t(2 + GROWTH + 1));
  EXPECT_EQ(text[2 + GROWTH - 1], char32_t(WIDE));
  EXPECT_EQ(text.back(), U'z');
  grow_on_notice = false;
}

}  // namespace
}  // namespace zol
