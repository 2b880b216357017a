// The path family and paren!: making, conversion, text, and what their action rows
// take from block!.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/path.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

using test::show;
using test::value;

std::string molded(const Cell& v, int limit = INT_MAX, bool part_given = false) {
  Cell out;
  string::make_at(&out, 8);
  Cell part = values::integer(limit);
  actions::mold_typed(&v, &out, {.part = part_given ? &part : nullptr}, limit);
  return string::to_utf8(&out);
}

TEST(PathText, EachTypeDecoratesItsElements) {
  struct Case {
    const char* text;
    const char* mold;
    const char* form;
  };
  const Case cases[] = {
      {"a/b", "a/b", "a/b"},          {"'a/b", "'a/b", "a/b"},
      {"a/b:", "a/b:", "a/b"},         {":a/b", ":a/b", "a/b"},
      {"a/1/c", "a/1/c", "a/1/c"},     {"(a b)", "(a b)", "a b"},
  };
  for (const Case& c : cases) {
    Cell v = value(c.text);
    EXPECT_EQ(test::mold(v), c.mold);
    EXPECT_EQ(test::form(v), c.form) << c.text;
  }
  Cell empty;
  path::make_at(&empty, 0);
  EXPECT_EQ(test::mold(empty), "");
  Cell paren = value("(a b)");
  Cell out;
  string::make_at(&out, 8);
  actions::mold_typed(&paren, &out, {.only = true}, INT_MAX);
  EXPECT_EQ(string::to_utf8(&out), "a b") << "mold/only leaves out the parentheses";
}

TEST(PathText, BudgetAndCycles) {
  EXPECT_EQ(molded(value("abc/def"), 3, true), "abc") << "a spent budget stops after abc";
  EXPECT_EQ(molded(value("abc/def"), 4, true), "abc/def");
  Cell p = value("a/b");
  block::append(&p, &p);
  EXPECT_EQ(test::mold(p), "a/b/...");
  Cell paren = value("(a)");
  block::append(&paren, &paren);
  EXPECT_EQ(test::mold(paren), "(a (...))");
}

TEST(PathMake, SizesConversionsAndCopies) {
  auto make = [](uint8_t type, Cell spec, int slot = A_MAKE) {
    Cell proto = values::of_datatype(type);
    std::string shown;
    std::string e = test::raised([&] {
      Cell* made = slot == A_MAKE ? actions::make_typed(&proto, &spec) : actions::to_typed(&proto, &spec);
      shown = std::to_string(block::buffer(made)->size / 16) + " " + show(*made);
    });
    return e.empty() ? shown : "error " + e;
  };
  Cell decimal{T_FLOAT, 0, 0, 0};
  cell::put_double(&decimal, 2.7);
  EXPECT_EQ(make(T_PATH, values::integer(0)), "1 @1 ");
  EXPECT_EQ(make(T_PATH, decimal), "2 @1 ");
  EXPECT_EQ(make(T_PATH, values::integer(-7)), "1 @1 ") << "a negative size is clamped";
  cell::put_double(&decimal, std::nan(""));
  EXPECT_EQ(make(T_PATH, decimal), "error " + test::error_name(err::script::BAD_MAKE_ARG));
  cell::put_double(&decimal, 1e12);
  EXPECT_EQ(make(T_PATH, decimal), "error " + test::error_name(err::internal::NO_MEMORY));
  EXPECT_EQ(make(T_SET_PATH, value("[a b]")), "2 @1 a/b:");
  EXPECT_EQ(make(T_PATH, value("x")),
            "error " + test::error_name(err::script::BAD_MAKE_ARG));
  Cell types;
  typeset::clear(&types);
  Cell any = value("[x]");
  EXPECT_EQ(make(T_PATH, types, A_TO), "1 @1 make typeset! []") << "a typeset is the one element";
  EXPECT_EQ(make(T_GET_PATH, any, A_TO), "1 @1 :x");

  Cell lit = value("'a/b");
  Cell copied;
  actions::copy_typed(&lit, &copied, nullptr, false, nullptr);
  EXPECT_EQ(test::mold(copied), "'a/b") << "a copy keeps the path type";
}

TEST(PathRows, WhatThePathsAndParenInherit) {
  struct Case {
    uint8_t type;
    int slot;
    bool supported;
  };
  const Case cases[] = {
      {T_PATH, A_SORT, false},       {T_PATH, A_RANDOM, false},    {T_PATH, A_TRIM, false},
      {T_PATH, A_FIND, true},        {T_SET_PATH, A_APPEND, true}, {T_GET_PATH, A_COPY, true},
      {T_LIT_PATH, A_SORT, false},   {T_PAREN, A_SORT, true},      {T_PAREN, A_RANDOM, true},
      {T_HASH, A_RANDOM, false},     {T_HASH, A_SORT, true},       {T_BLOCK, A_ADD, false},
      {T_BLOCK, A_SET_PATH, false},  {T_BLOCK, A_PICK, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(datatype::action(c.type, c.slot) != nullptr, c.supported)
        << datatype::name(c.type) << " slot " << c.slot;
  EXPECT_EQ(datatype::action(T_SET_PATH, A_MOLD), datatype::action(T_PATH, A_MOLD));
  EXPECT_EQ(datatype::action(T_PATH, A_PICK), datatype::action(T_SERIES, A_PICK));
}

}  // namespace
}  // namespace zol
