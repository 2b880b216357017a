// The value and frame stacks: opening and closing frames, the exits reaching the
// frame that receives them, and overflow of either stack.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/core/stack.h"
#include "runtime/datatypes/integer.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/memory/memory.h"
#include "runtime/text/mold.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

Cell word(uint32_t symbol) { return Cell{T_WORD, 0, symbol, 0xFFFFFFFFu}; }

// A context record whose values word the function frames save and restore.
NodeRef fake_context(uint32_t values_word) {
  NodeRef node = memory::alloc_cells(2);
  *memory::alloc_tail_cell(node) = Cell{T_CONTEXT, 0, values_word, 0};
  memory::alloc_tail_cell(node);
  return node;
}
uint32_t& values_word(NodeRef context) { return memory::buffer_of(context)->cells()->w2; }

// Every test starts and ends with the stacks as the process had them.
class Stacks : public ::testing::Test {
 protected:
  void SetUp() override {
    base_arguments = stack::arguments;
    base_top = stack::top;
    base_frame_top = stack::frame_top;
  }
  void TearDown() override { restore(); }
  void restore() {
    stack::arguments = base_arguments;
    stack::top = base_top;
    stack::frame_top = base_frame_top;
  }
  Cell* base_arguments = nullptr;
  Cell* base_top = nullptr;
  stack::Frame* base_frame_top = nullptr;
};

// Frames opened by letter: F function (with the return mark a call sets), I
// interpreted function, N native, P interpreted native, R compiled function body,
// T try, A try/all, C catch, E block evaluation, L loop. Each frame is named by
// symbol 100 + its position and has one cell pushed below it.
struct Opened {
  std::vector<stack::Frame*> records;
  std::vector<Cell*> arguments;
};

void open_frame(char kind, const Cell* w) {
  switch (kind) {
    case 'F': stack::mark_func(w, 0); stack::set_return_mark(true); break;
    case 'I': stack::mark_interp_function(w); break;
    case 'N': stack::mark_native(w); break;
    case 'P': stack::mark_interp_native(w); break;
    case 'R': stack::mark_func_ctx(w, fake_context(0)); break;
    case 'T': stack::mark_try(w); break;
    case 'A': stack::mark_try_all(w); break;
    case 'C': stack::mark_catch(w); break;
    case 'E': stack::mark_eval(w); break;
    case 'L': stack::mark_loop(w); break;
  }
}

Opened open_frames(const std::string& kinds) {
  Opened o;
  for (size_t i = 0; i < kinds.size(); i++) {
    integer::push(static_cast<int32_t>(i));
    Cell w = word(100 + static_cast<uint32_t>(i));
    open_frame(kinds[i], &w);
    o.records.push_back(stack::frame_top - 1);
    o.arguments.push_back(stack::arguments);
  }
  return o;
}

enum class Exit { BREAK, BREAK_VALUE, CONTINUE, RETURN, EXIT, THROW, ERROR };

// Runs an exit from inside its native's frame (value 777 and name none as its
// arguments) and answers the code that reached the guard.
uint32_t run_exit(Exit kind, Cell** raised_top) {
  Cell filler = values::integer(555);       // the receiving frame's own value
  stack::push(&filler);
  Cell w = word(99);
  stack::mark_native(&w);
  Cell value = values::integer(777);
  stack::push(&value);
  stack::push(&values::none);
  *raised_top = stack::top;
  return exits::guard(
      exits::ERROR,
      [&]() -> uint32_t {
        switch (kind) {
          case Exit::BREAK: stack::break_or_continue(false, false);
          case Exit::BREAK_VALUE: stack::break_or_continue(true, false);
          case Exit::CONTINUE: stack::break_or_continue(false, true);
          case Exit::RETURN: stack::return_or_exit(true, false);
          case Exit::EXIT: stack::return_or_exit(false, false);
          case Exit::THROW: stack::throw_value(exits::THROW);
          case Exit::ERROR: fire(err::script::NO_VALUE);
        }
        return 0;
      },
      [](uint32_t code) { return code; });
}

TEST_F(Stacks, EachExitReachesItsFrameAndLeavesTheStacksForIt) {
  struct Case {
    const char* frames;
    Exit exit;
    int receiver;        // position in `frames`
    uint32_t code;
    std::optional<err::Id> error;   // the error when the exit arrives as one
  };
  using err::throw_::BREAK, err::throw_::CONTINUE, err::throw_::RETURN, err::throw_::THROW;
  const Case cases[] = {
      {"L", Exit::BREAK, 0, exits::BREAK, {}},
      {"LL", Exit::BREAK_VALUE, 1, exits::BREAK, {}},
      {"LEFNP", Exit::CONTINUE, 0, exits::CONTINUE, {}},
      {"TIPEL", Exit::BREAK, 4, exits::BREAK, {}},
      {"TLA", Exit::BREAK, 2, exits::ERROR, BREAK},        // try/all stops it
      {"TE", Exit::CONTINUE, 0, exits::ERROR, CONTINUE},   // no loop
      {"TFE", Exit::RETURN, 1, exits::RETURN, {}},
      {"TFLN", Exit::EXIT, 1, exits::EXIT, {}},
      {"TIR", Exit::RETURN, 2, exits::RETURN, {}},
      {"TI", Exit::RETURN, 0, exits::ERROR, RETURN},       // return at the top level
      {"TFA", Exit::RETURN, 2, exits::ERROR, RETURN},
      {"C", Exit::THROW, 0, exits::THROW, {}},
      {"CCLF", Exit::THROW, 1, exits::THROW, {}},
      {"TCA", Exit::THROW, 2, exits::ERROR, THROW},
      {"TL", Exit::THROW, 0, exits::ERROR, THROW},         // no catch
      {"TLFN", Exit::ERROR, 0, exits::ERROR, err::script::NO_VALUE},
      {"TTCL", Exit::ERROR, 1, exits::ERROR, err::script::NO_VALUE},
      {"TAL", Exit::ERROR, 1, exits::ERROR, err::script::NO_VALUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.frames) + " exit " + std::to_string(int(c.exit)));
    Opened o = open_frames(c.frames);
    Cell* raised_top = nullptr;
    uint32_t code = run_exit(c.exit, &raised_top);
    ASSERT_EQ(code, c.code);
    stack::Frame* receiver = o.records[c.receiver];
    Cell* own = o.arguments[c.receiver];
    if (code == exits::ERROR) {
      // The try frame is closed; the try native continues in its own arguments
      // and finds the error pushed where the stack was when it was raised.
      EXPECT_EQ(stack::frame_top, receiver);
      EXPECT_EQ(stack::arguments, c.receiver ? o.arguments[c.receiver - 1] : base_arguments);
      EXPECT_EQ(stack::top, raised_top + 1);
      EXPECT_TRUE(stack::top_value()->is(T_ERROR));
      ASSERT_TRUE(c.error);
      EXPECT_EQ(error::category_of(stack::top_value()), c.error->category);
      EXPECT_EQ(error::id_of(stack::top_value()), c.error->id);
    } else {
      // The receiver is current again, with its frame emptied down to the result.
      EXPECT_EQ(stack::frame_top, receiver + 1);
      EXPECT_EQ(stack::arguments, own);
      bool carries_value = c.exit == Exit::BREAK_VALUE || c.exit == Exit::RETURN ||
                           c.exit == Exit::THROW;
      EXPECT_EQ(own->is(T_INTEGER) && integer::get(own) == 777, carries_value);
      EXPECT_EQ(stack::top, own + (c.exit == Exit::THROW ? 2 : 0));
      if (c.exit == Exit::THROW) {
        EXPECT_TRUE(own[1].is(T_NONE)) << "the throw's name";
      }
    }
    restore();
  }
}

TEST_F(Stacks, ClosingAFrameLeavesTheCallersView) {
  enum { RESULT_IN_CALLER = 1, KEEPS_CALLEE_CELL = 2, RESTORES = 4 };
  struct Case { const char* name; void (*close)(); int top_offset; int flags; };
  // top_offset: where top ends, in cells from the caller's arguments (A) or, for
  // the flagged cases, from the callee's (B).
  const Case cases[] = {
      {"unwind", stack::unwind, 1, KEEPS_CALLEE_CELL},
      {"unwind-last", stack::unwind_last, 1, KEEPS_CALLEE_CELL | RESTORES},
      {"unwind-drop", stack::unwind_drop, 0, RESTORES},
      {"unwind-keep", stack::unwind_keep, 1, KEEPS_CALLEE_CELL | RESULT_IN_CALLER},
      {"unwind-last-keep", stack::unwind_last_keep, 1,
       KEEPS_CALLEE_CELL | RESULT_IN_CALLER | RESTORES},
      {"unwind-all", stack::unwind_all, 0, KEEPS_CALLEE_CELL | RESTORES},
      {"unwind-pop", stack::unwind_pop, 1, KEEPS_CALLEE_CELL | RESTORES},
      {"unroll", stack::unroll, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Cell caller_value = values::integer(1);
    stack::mark_native(nullptr);
    Cell* a = stack::arguments;
    stack::push(&caller_value);
    NodeRef context = fake_context(111);
    Cell w = word(5);
    Cell* b = stack::mark_func(&w, context);
    values_word(context) = 222;   // what the call would store
    Cell result = values::integer(42);
    stack::push(&result);
    stack::push(&result);
    c.close();
    EXPECT_EQ(stack::arguments, a);
    Cell* expected_top = (c.flags & KEEPS_CALLEE_CELL) ? b + c.top_offset : a + c.top_offset;
    EXPECT_EQ(stack::top, expected_top);
    EXPECT_EQ(integer::get(a), (c.flags & RESULT_IN_CALLER) ? 42 : 1);
    EXPECT_EQ(values_word(context), (c.flags & RESTORES) ? 111u : 222u);
    restore();
  }
}

TEST_F(Stacks, UnwindingThroughRecursiveCallsRestoresTheOuterLocals) {
  NodeRef context = fake_context(111);
  Cell w = word(7);
  for (Exit exit : {Exit::ERROR, Exit::BREAK, Exit::THROW}) {
    values_word(context) = 111;
    open_frames("TCL");
    stack::mark_func(&w, context);
    values_word(context) = 222;            // the outer call's locals
    stack::mark_func(&w, context);
    values_word(context) = 333;            // the inner call's locals
    Cell* raised_top;
    run_exit(exit, &raised_top);
    EXPECT_EQ(values_word(context), 111u) << int(exit);
    restore();
  }
  // A function frame that stays open keeps its context as it is.
  values_word(context) = 111;
  open_frames("L");
  stack::mark_func(&w, context);
  values_word(context) = 222;
  stack::mark_loop(nullptr);
  Cell* raised_top;
  EXPECT_EQ(run_exit(Exit::BREAK, &raised_top), exits::BREAK);
  EXPECT_EQ(values_word(context), 222u);
}

TEST_F(Stacks, CompiledFunctionBodiesKeepTheirLocalsOnTheStack) {
  NodeRef context = fake_context(0);
  stack::push(&values::none);
  Cell* args = stack::top;
  stack::push(&values::none);
  stack::arguments = args;
  stack::mark_func_ctx(nullptr, context);
  EXPECT_EQ(stack::cell_of(values_word(context)), args);
  EXPECT_EQ(stack::frame_type(stack::current_frame()), stack::FT_NATIVE);
  EXPECT_TRUE(stack::current_frame()->header & stack::HEADER_RETURN_MARK);
}

TEST_F(Stacks, UnrollToKeepsTheResultInTheFoundFrame) {
  Opened o = open_frames("LNE");
  Cell result = values::integer(9);
  stack::set_last(&result);
  stack::unroll_to_keep(stack::FT_LOOP);
  EXPECT_EQ(stack::frame_top, o.records[0] + 1) << "the loop stays open";
  EXPECT_EQ(stack::arguments, o.arguments[0]);
  EXPECT_EQ(stack::top, o.arguments[0]);
  EXPECT_EQ(integer::get(o.arguments[0]), 9);
  restore();
  // With keep, the frame found is closed too and its caller continues.
  o = open_frames("TLN");
  stack::unroll_loop(true);
  EXPECT_EQ(stack::frame_top, o.records[1] + 1);
  EXPECT_EQ(stack::arguments, o.arguments[1]);
}

TEST_F(Stacks, TheErrorLocationIsTheNamedFrameBelowTheThrow) {
  stack::body_symbol = 70;
  open_frames("TN");                       // the function that throws: symbol 101
  Cell body = word(70);
  stack::mark_eval(&body);                 // a block body inside it, skipped
  Cell thrown = values::integer(1);
  Cell w = word(99);
  std::string e = test::raised([&] {
    stack::mark_native(&w);
    stack::push(&thrown);
    stack::push(&values::none);
    stack::throw_value(exits::THROW);
  });
  stack::body_symbol = 0;
  EXPECT_EQ(e, test::error_name(err::throw_::THROW));
  EXPECT_EQ(integer::get(&error::last_args[0]), 1) << "no catch for throw: 1";
  EXPECT_EQ(word_cell::symbol(error::field(&exits::value, error::F_WHERE)), 101u);
}

TEST_F(Stacks, FrameHeaderHelpers) {
  Opened o = open_frames("NN");
  EXPECT_FALSE(stack::interpreted(nullptr, false));
  stack::mark_interpreted();
  EXPECT_TRUE(stack::interpreted(o.records[1], true));
  EXPECT_FALSE(stack::interpreted(o.records[0], true));
  stack::MarkedBelow m = stack::mark_return_below();
  EXPECT_EQ(m.record, o.records[0]);
  EXPECT_FALSE(m.was_marked);
  EXPECT_TRUE(stack::mark_return_below().was_marked);
  stack::clear_return_mark(m.record);
  EXPECT_FALSE(o.records[0]->header & stack::HEADER_RETURN_MARK);
  Cell renamed = word(321);
  stack::set_frame_symbol(&renamed);
  EXPECT_EQ(stack::frame_symbol(o.records[1]), 321u);
  EXPECT_EQ(stack::frame_type(o.records[1]), stack::FT_NATIVE) << "other header bits stay";
  Cell not_a_word = values::none;
  stack::set_frame_symbol(&not_a_word);
  EXPECT_EQ(stack::frame_symbol(o.records[1]), 321u);
}

TEST_F(Stacks, WorkingInsideAFrame) {
  stack::mark_native(nullptr);
  Cell one = values::integer(1), two = values::integer(2);
  stack::push(&one);
  stack::push(&two);
  EXPECT_EQ(stack::top_type(), T_INTEGER);
  stack::revert();
  EXPECT_EQ(stack::top, stack::arguments + 1);
  EXPECT_EQ(integer::get(stack::arguments), 2) << "the last value replaced the one below";
  stack::push(&one);
  Cell error = error::create(err::math::OVERFLOW, nullptr, nullptr, nullptr);
  stack::push(&error);
  stack::keep_result();
  EXPECT_TRUE(stack::arguments->is(T_ERROR));
  EXPECT_EQ(stack::top, stack::arguments + 1);
  stack::set_result(&one);
  EXPECT_EQ(stack::reset(), stack::top);
  stack::pop(1 << 20);
  EXPECT_EQ(stack::top, stack::bottom) << "pop never goes below the bottom";
}

TEST_F(Stacks, ValueStackOverflowIsRaisedAndTheStacksStayUsable) {
  NodeRef walked = memory::alloc_cells(1);
  cycles::push(walked);
  Cell v = values::integer(5);
  int pushed = 0;
  EXPECT_EQ(test::raised([&] {
              for (;;) {
                stack::push(&v);
                pushed++;
              }
            }),
            test::error_name(err::internal::STACK_OVERFLOW));
  EXPECT_EQ(pushed, stack::end - 1 - base_top) << "the last cell is never pushed";
  EXPECT_EQ(stack::end - stack::bottom, stack::VALUE_STACK_CELLS);
  EXPECT_EQ(cycles::depth(), 0) << "the mold cycle stack was emptied";
  EXPECT_EQ(stack::top, base_top);
  EXPECT_EQ(stack::frame_top, base_frame_top);
  Cell r = test::call_on_frame({values::integer(3)}, [] {});
  EXPECT_EQ(integer::get(&r), 3);
}

TEST_F(Stacks, FrameStackOverflowIsRaisedAndTheStacksStayUsable) {
  int opened = 0;
  EXPECT_EQ(test::raised([&] {
              for (;;) {
                stack::mark_native(nullptr);
                opened++;
              }
            }),
            test::error_name(err::internal::STACK_OVERFLOW));
  EXPECT_EQ(stack::frame_end - stack::frame_base,
            stack::FRAME_STACK_CELLS * int(sizeof(Cell)) / int(sizeof(stack::Frame)));
  EXPECT_EQ(opened, stack::frame_end - base_frame_top - 1) << "the try frame took one record";
  EXPECT_EQ(stack::frame_top, base_frame_top);
  EXPECT_EQ(stack::top, base_top);
  Cell r = test::call_on_frame({values::integer(4)}, [] {});
  EXPECT_EQ(integer::get(&r), 4);
}

TEST(UncaughtErrors, EndTheProcessWithStatusMinusTwo) {
  for (auto raise : {+[] { fire(err::math::ZERO_DIVIDE); },
                     +[] {
                       stack::mark_eval(nullptr);
                       stack::mark_native(nullptr);
                       stack::break_or_continue(false, false);
                     }}) {
    test::ChildResult r = test::run_in_child(raise);
    EXPECT_EQ(r.status, 254);
    EXPECT_NE(r.out.find("*** "), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace zol
