// Contexts: finding and adding words, binding, get and set with their errors, case
// variants sharing a global slot, contexts whose values live on the value stack.
#include <gtest/gtest.h>

#include "runtime/core/stack.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/memory/memory.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell block_of(std::initializer_list<Cell> cells) {
  NodeRef b = memory::alloc_cells(int64_t(cells.size()) + 1);
  for (const Cell& c : cells) *memory::alloc_tail_cell(b) = c;
  return Cell{T_BLOCK, 0, b, 0};
}
Cell unbound(const char* name, uint8_t type = T_WORD) {
  return Cell{type, 0, symbol::make(name), uint32_t(-1)};
}
std::string error(err::Id id) { return test::error_name(id); }

TEST(GlobalContext, CapitalisedSpellingSharesTheValue) {
  Cell lower = word::load("shared-value");
  Cell upper = word::load("Shared-Value");
  EXPECT_NE(word_cell::symbol(&lower), word_cell::symbol(&upper));
  Cell seven = values::integer(7);
  context::set(&upper, &seven);
  EXPECT_EQ(cell::get_int(context::get(&lower)), 7);
  Cell eight = values::integer(8);
  context::set(&lower, &eight);
  EXPECT_EQ(cell::get_int(context::get(&upper)), 8);
  // Binding finds the same slot whichever spelling the word list meets first.
  Cell block = block_of({unbound("SHARED-VALUE"), unbound("shared-value")});
  context::bind(&block, context::global, false);
  for (int i = 0; i < 2; i++)
    EXPECT_EQ(cell::get_int(context::get(memory::buffer_of(block.w2)->cells() + i)), 8);
  EXPECT_EQ(word_cell::index(&upper), word_cell::index(&lower));
  EXPECT_EQ(cell::get_int(context::global_value(symbol::make("SHARED-value"))), 8);
  Cell copied;
  context::copy_global_value(word_cell::symbol(&upper), &copied);
  EXPECT_EQ(cell::get_int(&copied), 8);
}

TEST(Contexts, FindAddPutAndSizes) {
  NodeRef ctx = context::create(0, false, false, 0, 0);
  EXPECT_EQ(hashtable::record(context::word_table(ctx))->buckets, 8) << "size 0 has room for one word";
  Cell a = unbound("ctx-a"), big_a = unbound("CTX-A");
  int32_t out = -5;
  EXPECT_EQ(context::find_or_add(ctx, word_cell::symbol(&a), false, &out), -1);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(context::find_word(ctx, word_cell::symbol(&big_a), false), -1);
  EXPECT_EQ(context::find_word(ctx, word_cell::symbol(&big_a), true), 0);
  Cell* w = context::get_word(ctx, 0);
  EXPECT_TRUE(w->is(T_WORD));
  EXPECT_EQ(word_cell::context(w), ctx);
  EXPECT_EQ(word_cell::index(w), 0);
  Cell one = values::integer(1), two = values::integer(2);
  memory::alloc_tail_cell(context::record_of(ctx)->w2);   // a's value slot
  context::put(ctx, &big_a, &one);
  EXPECT_EQ(cell::get_int(context::value_at(ctx, 0)), 1) << "put finds ignoring case";
  EXPECT_EQ(context::put_new(ctx, &a, &two), nullptr);
  Cell b = unbound("ctx-b");
  Cell* slot = context::put_new(ctx, &b, &two);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(cell::get_int(slot), 2);
  EXPECT_EQ(memory::buffer_of(context::record_of(ctx)->w2)->length(),
            context::get_words(ctx)->length());
  for (int i = 0; i < 40; i++) context::add_word(ctx, &(b = unbound(("ctx-w" + std::to_string(i)).c_str())));
  EXPECT_EQ(context::get_words(ctx)->length(), 42u);
  EXPECT_EQ(memory::buffer_of(context::record_of(ctx)->w2)->length(), 42u) << "one value per word";
}

TEST(Contexts, BindWalksNestedBlocksAndTerminatesOnCycles) {
  NodeRef ctx = context::create(4, false, false, 0, 0);
  Cell x = unbound("bind-x");
  context::add_word(ctx, &x);
  Cell inner = block_of({unbound("bind-x", T_SET_WORD), unbound("other")});
  Cell outer = block_of({unbound("BIND-X", T_GET_WORD), inner, unbound("self")});
  *memory::alloc_tail_cell(outer.w2) = outer;   // the block contains itself
  *memory::alloc_tail_cell(inner.w2) = outer;
  context::bind(&outer, ctx, true);
  Cell* o = memory::buffer_of(outer.w2)->cells();
  Cell* i = memory::buffer_of(inner.w2)->cells();
  EXPECT_EQ(word_cell::context(o + 0), ctx);
  EXPECT_EQ(word_cell::index(o + 0), 0);
  EXPECT_EQ(word_cell::context(i + 0), ctx);
  EXPECT_EQ(word_cell::context(i + 1), 0u) << "words not in the context stay unbound";
  EXPECT_EQ(word_cell::context(o + 2), ctx) << "self binds to the context";
  EXPECT_EQ(word_cell::index(o + 2), -1);
  EXPECT_EQ(context::get(o + 2), context::record_of(ctx) + 1) << "self reads the owner cell";
}

TEST(Contexts, GetAndSetErrorsAndUnresolvedWords) {
  NodeRef ctx = context::create(2, false, false, 0, context::OBJECT);
  Cell w = unbound("late-word");
  w.w1 = ctx;
  EXPECT_EQ(test::raised([&] { context::get(&w); }), error(err::script::NO_VALUE));
  Cell five = values::integer(5);
  context::set(&w, &five);
  EXPECT_EQ(word_cell::index(&w), 0) << "setting an unresolved word adds it";
  EXPECT_EQ(cell::get_int(context::get(&w)), 5);
  EXPECT_NE(context::get_word(ctx, 0)->header & context::OWNED_SLOT, 0u) << "object slot tracked";
  NodeRef frame = context::create(2, true, false, 0, 0);
  Cell local = unbound("local-a");
  local.w1 = frame;
  local.w3 = uint32_t(context::add_word(frame, &local));
  EXPECT_EQ(test::raised([&] { context::get(&local); }), error(err::script::NOT_IN_CONTEXT));
  EXPECT_EQ(test::raised([&] { context::set(&local, &five); }), error(err::script::NOT_DEFINED));
  // Running: the values are the frame's argument cells.
  Cell* saved_top = stack::top;
  Cell* first = stack::push(&values::none);
  stack::push(&values::none);
  context::set_stack_frame(frame, first);
  context::set(&local, &five);
  EXPECT_EQ(cell::get_int(first), 5);
  EXPECT_EQ(context::value_of(symbol::make("true"), frame), context::global_value(symbol::make("true")))
      << "value-of reads the global context for a stack context";
  context::set_stack_frame(frame, nullptr);
  stack::top = saved_top;
}

TEST(Contexts, SpecsSetWordsAndRenewal) {
  Cell spec = block_of({unbound("sa"), unbound("sb", T_GET_WORD), values::integer(3),
                        unbound("SA", T_LIT_WORD), unbound("sc", T_REFINEMENT)});
  NodeRef ctx = context::make_from_spec(&spec, false, true, 0, context::OBJECT);
  EXPECT_EQ(context::get_words(ctx)->length(), 3u);
  EXPECT_EQ(memory::buffer_of(context::record_of(ctx)->w2)->length(), 3u);
  EXPECT_TRUE(context::value_at(ctx, 2)->is(T_UNSET));
  Cell body = block_of({unbound("sd", T_SET_WORD), unbound("sa", T_SET_WORD)});
  EXPECT_TRUE(context::collect_set_words(ctx, &body));
  EXPECT_FALSE(context::collect_set_words(ctx, &body));
  Cell past = body;
  past.w1 = 10;
  EXPECT_FALSE(context::collect_set_words(ctx, &past)) << "a head past the tail adds nothing";
  Cell object{T_OBJECT, ctx, 0, 0};
  NodeRef renewed = context::renew(&object, context::OBJECT);
  EXPECT_NE(renewed, ctx);
  EXPECT_EQ(object.w1, renewed);
  EXPECT_NE(context::record_of(renewed)->header & context::RENEWED, 0u);
  EXPECT_EQ(context::get_words(renewed)->length(), 4u);
  EXPECT_EQ(word_cell::context(context::get_word(renewed, 3)), renewed);
  EXPECT_EQ(context::find_word(renewed, symbol::make("sd"), false), 3);
  Cell sd = unbound("SD");
  EXPECT_EQ(context::add_word(ctx, &sd), 3) << "the source keeps its own table";
}

}  // namespace
}  // namespace zol
