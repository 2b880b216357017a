// The datatype registry and the first datatypes: datatype!, unset!, none!, logic!.
#include <gtest/gtest.h>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

int parent_form(const Cell*, Cell*, const Cell*, int limit) { return limit - 1; }
int other_form(const Cell*, Cell*, const Cell*, int limit) { return limit - 2; }

TEST(Registry, ChildrenCopyTheirParentsEntriesAtRegistration) {
  // Ids 200+ are free for test types.
  datatype::register_type(200, 0, "parent!",
                          datatype::make_row(nullptr, {{A_FORM, action_fn(parent_form)}}));
  datatype::register_type(201, 200, "child!", datatype::make_row(INHERIT, {}));
  datatype::register_type(202, 200, "own!",
                          datatype::make_row(INHERIT, {{A_FORM, action_fn(other_form)},
                                                       {A_MOLD, nullptr}}));
  EXPECT_EQ(datatype::action(201, A_FORM), action_fn(parent_form));
  EXPECT_EQ(datatype::action(201, A_MOLD), nullptr) << "inherited 'unsupported'";
  EXPECT_EQ(datatype::action(202, A_FORM), action_fn(other_form));
  // A later change of the parent does not reach the child.
  datatype::register_type(200, 0, "parent!",
                          datatype::make_row(nullptr, {{A_FORM, action_fn(other_form)}}));
  EXPECT_EQ(datatype::action(201, A_FORM), action_fn(parent_form));
  EXPECT_EQ(datatype::info(201).parent, 200);
  EXPECT_STREQ(datatype::name(201), "child!");
  EXPECT_EQ(datatype::info(201).name_length, 5u);
  EXPECT_GE(datatype::highest_id(), 202);
}

TEST(Registry, AWrongSlotCountEndsTheProcess) {
  auto r = test::run_in_child([] {
    ActionFn slots[10] = {};
    datatype::register_type(210, 0, "bad!", std::span<const ActionFn>(slots, 10));
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "*** Datatype Error: invalid actions count for type: 210\n*** Found: 10\n"
                   "*** Expected: 62\n");
}

TEST(Registry, UnregisteredTypesDispatchAsUnsupported) {
  const std::string expect_arg = test::error_name(err::script::EXPECT_ARG);
  for (uint32_t header : {0u, 99u, 255u, uint32_t(T_EVENT) + 1}) {
    Cell v{header, 0, 0, 0};
    EXPECT_EQ(test::raised([&] { test::mold(v); }), expect_arg) << header;
  }
  Cell n = values::none;
  EXPECT_EQ(test::raised([&] { actions::get_action_ptr_of(&n, A_APPEND); }), expect_arg);
}

TEST(FirstTypes, MoldAndForm) {
  struct Case { Cell value; const char* mold; const char* mold_all; const char* form; };
  const Case cases[] = {
      {values::unset, "unset", "#(unset)", ""},
      {values::none, "none", "#(none)", "none"},
      {values::true_value, "true", "#(true)", "true"},
      {values::false_value, "false", "#(false)", "false"},
      {values::of_datatype(T_LOGIC), "logic!", "#(logic!)", "logic"},
      {values::of_datatype(T_DATATYPE), "datatype!", "#(datatype!)", "datatype"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(test::mold(c.value), c.mold);
    EXPECT_EQ(test::mold(c.value, true), c.mold_all);
    EXPECT_EQ(test::form(c.value), c.form);
  }
}

TEST(FirstTypes, MoldReturnsTheBudgetLeft) {
  Cell out = actions::form_to_string(&values::unset);
  Cell t = values::true_value;
  EXPECT_EQ(actions::mold_typed(&t, &out, {.all = true}, 10), 3);
  Cell d = values::of_datatype(T_NONE);
  EXPECT_EQ(actions::form_typed(&d, &out, nullptr, 10), 6);
}

TEST(FirstTypes, Compare) {
  struct Case { Cell a, b; int op; int result; };
  const Cell dt_logic = values::of_datatype(T_LOGIC), dt_none = values::of_datatype(T_NONE);
  const Case cases[] = {
      {values::none, values::none, C_EQUAL, 0},
      {values::none, values::unset, C_EQUAL, -2},
      {values::unset, values::unset, C_SORT, 0},
      {values::unset, values::unset, C_LESSER, -2},
      {values::none, values::none, C_WORD, -2},
      {values::true_value, values::false_value, C_EQUAL, 1},
      {values::false_value, values::true_value, C_SORT, -1},
      {values::true_value, values::true_value, C_STRICT_EQUAL, 0},
      {values::true_value, values::none, C_EQUAL, -2},
      {values::true_value, values::false_value, C_GREATER, -2},
      {dt_logic, dt_logic, C_EQUAL, 0},
      {dt_logic, dt_none, C_EQUAL, 1},
      {dt_logic, values::none, C_FIND, 1},
      {dt_logic, dt_logic, C_LESSER, -2},
  };
  // Each type's own compare (compare_typed orders two logic! values itself).
  for (const Case& c : cases)
    EXPECT_EQ(action_as<CompareFn>(datatype::action(c.a.type(), A_COMPARE))(&c.a, &c.b, c.op),
              c.result)
        << test::mold(c.a) << " vs " << test::mold(c.b) << " op " << c.op;
  const std::string invalid_compare = test::error_name(err::script::INVALID_COMPARE);
  EXPECT_EQ(test::raised([] { actions::compare(&values::none, &values::none, C_LESSER); }),
            invalid_compare);
  EXPECT_FALSE(actions::compare(&values::none, &values::unset, C_EQUAL));
  EXPECT_TRUE(actions::compare(&values::none, &values::unset, C_NOT_EQUAL));
}

TEST(FirstTypes, MakeAndToLogic) {
  Cell proto = values::of_datatype(T_LOGIC);
  struct Case { Cell spec; bool make; bool to; };
  Cell zero_float{T_FLOAT, 0, 0, 0};
  cell::put_double(&zero_float, 0.0);
  Cell nan_float{T_FLOAT, 0, 0, 0};
  cell::put_double(&nan_float, std::numeric_limits<double>::quiet_NaN());
  Cell half_percent{T_PERCENT, 0, 0, 0};
  cell::put_double(&half_percent, 0.5);
  const Case cases[] = {
      {values::integer(0), false, true},  {values::integer(-3), true, true},
      {zero_float, false, true},          {nan_float, true, true},
      {half_percent, true, true},         {values::none, false, false},
      {values::false_value, false, false}, {values::true_value, true, true},
      {values::unset, true, true},
  };
  for (Case c : cases) {
    Cell spec = c.spec;
    EXPECT_EQ(logic::get(actions::make_typed(&proto, &spec)), c.make) << test::mold(c.spec);
    EXPECT_EQ(logic::get(actions::to_typed(&proto, &spec)), c.to) << test::mold(c.spec);
  }
  Cell nothing = values::of_datatype(T_NONE);
  Cell anything = values::integer(1);
  EXPECT_TRUE(actions::make_typed(&nothing, &anything)->is(T_NONE));
  Cell unset_type = values::of_datatype(T_UNSET);
  EXPECT_TRUE(actions::to_typed(&unset_type, &anything)->is(T_UNSET));
}

TEST(FirstTypes, LogicOperators) {
  struct Case { int slot; bool a, b, result; };
  const Case cases[] = {
      {A_AND_T, true, false, false}, {A_AND_T, true, true, true},
      {A_OR_T, false, false, false}, {A_OR_T, false, true, true},
      {A_XOR_T, true, true, false},  {A_XOR_T, true, false, true},
  };
  for (const Case& c : cases) {
    Cell* saved = stack::arguments;
    stack::arguments = stack::top;
    logic::push(c.a);
    logic::push(c.b);
    action_as<MinimalFn>(datatype::action(T_LOGIC, c.slot))();
    EXPECT_EQ(logic::get(stack::arg(0)), c.result) << c.slot;
    stack::top = stack::arguments;
    stack::arguments = saved;
  }
  Cell v = values::true_value;
  action_as<UnaryFn>(datatype::action(T_LOGIC, A_COMPLEMENT))(&v);
  EXPECT_FALSE(logic::get(&v));
  // The second operand must be logic!.
  Cell* saved = stack::arguments;
  stack::arguments = stack::top;
  logic::push(true);
  stack::push(&values::none);
  EXPECT_EQ(test::raised([] { action_as<MinimalFn>(datatype::action(T_LOGIC, A_AND_T))(); }),
            test::error_name(err::script::EXPECT_ARG));
  stack::top = stack::arguments;
  stack::arguments = saved;
}

TEST(FirstTypes, Truth) {
  EXPECT_FALSE(logic::true_value(&values::none));
  EXPECT_FALSE(logic::true_value(&values::false_value));
  EXPECT_TRUE(logic::true_value(&values::unset));
  Cell zero = values::integer(0);
  EXPECT_TRUE(logic::true_value(&zero)) << "only none and false are false";
  EXPECT_EQ(test::raised([] { logic::true_value(&values::unset, true); }),
            test::error_name(err::script::NO_VALUE));
  Cell* saved = stack::arguments;
  stack::arguments = stack::top;
  stack::push(&values::unset);
  EXPECT_TRUE(logic::is_true());
  EXPECT_EQ(test::raised([] { logic::arg_true(); }),
            test::error_name(err::script::NO_RETURN));
  stack::top = stack::arguments;
  stack::arguments = saved;
}

TEST(FirstTypes, RandomLogicIsSeededAndReproducible) {
  Cell seed = values::false_value;
  auto random = action_as<RandomFn>(datatype::action(T_LOGIC, A_RANDOM));
  random(&seed, true, false, false);
  EXPECT_TRUE(seed.is(T_UNSET)) << "seeding answers unset";
  std::string first, second;
  for (std::string* run : {&first, &second}) {
    Cell s = values::true_value;
    random(&s, true, false, false);
    for (int i = 0; i < 32; i++) {
      Cell v = values::true_value;
      *run += logic::get(random(&v, false, false, false)) ? '1' : '0';
    }
  }
  EXPECT_EQ(first, second);
  EXPECT_NE(first.find('1'), std::string::npos);
  EXPECT_NE(first.find('0'), std::string::npos);
}

}  // namespace
}  // namespace zol
