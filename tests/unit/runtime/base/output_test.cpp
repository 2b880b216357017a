// The output layer: the hook lists' growth and removal, the typed printers' text,
// and the bytes that reach a pipe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/base/hook_list.h"
#include "runtime/base/output.h"
#include "runtime/text/printers.h"
#include "support.h"

namespace zol {
namespace {

using Hook = void (*)();
void hook_a() {}
void hook_b() {}
void hook_c() {}

TEST(HookList, GrowsAndRemovesInOrder) {
  struct Case {
    const char* name;
    std::vector<Hook> added;
    std::vector<Hook> removed;
    std::vector<Hook> left;
    int capacity;
  } cases[] = {
      {"five fit the first room", {hook_a, hook_b, hook_c, hook_a, hook_b}, {},
       {hook_a, hook_b, hook_c, hook_a, hook_b}, 5},
      {"a sixth grows it by five", {hook_a, hook_b, hook_c, hook_a, hook_b, hook_c}, {},
       {hook_a, hook_b, hook_c, hook_a, hook_b, hook_c}, 10},
      {"removing one never added changes nothing", {hook_a, hook_b}, {hook_c},
       {hook_a, hook_b}, 5},
      {"removing the first of two equal leaves the second", {hook_a, hook_b, hook_a},
       {hook_a}, {hook_b, hook_a}, 5},
      {"the entries after a removed one move down", {hook_a, hook_b, hook_c}, {hook_b},
       {hook_a, hook_c}, 5},
      {"removing from an empty list", {}, {hook_a}, {}, 0},
  };
  for (const Case& c : cases) {
    HookList<Hook> list;
    for (Hook h : c.added) list.add(h);
    for (Hook h : c.removed) list.remove(h);
    std::vector<Hook> left;
    for (int i = 0; i < list.count(); i++) left.push_back(list.at(i));
    EXPECT_EQ(left, c.left) << c.name;
    EXPECT_EQ(list.capacity(), c.capacity) << c.name;
  }
}

std::string typed;
void catch_typed(const char* bytes, size_t n) { typed.append(bytes, n); }

TEST(Output, TypedPrintersRunTheRawHooksWithTheirText) {
  struct Case {
    void (*print)();
    const char* text;
  } cases[] = {
      {[] { output::print_float(0.1); }, "0.1"},
      {[] { output::print_float32(0.1f); }, "0.1"},
      {[] { output::print_hex(255); }, "000000FF"},
      {[] { output::print_hex(0xFFFFFFFEu); }, "FFFFFFFE"},
      {[] { output::print_hex_byte(10); }, "0A"},
      {[] { output::print_integer(-2147483647 - 1); }, "-2147483648"},
      {[] { output::print_c_string("abc"); }, "abc"},
  };
  for (const Case& c : cases) {
    typed.clear();
    test::ChildResult r = test::run_in_child([&] {
      output::add_raw_hook(catch_typed);
      c.print();
      output::remove_raw_hook(catch_typed);
      output::put(typed.data(), typed.size(), false);   // what the hook saw, after
    });
    EXPECT_EQ(r.out, std::string(c.text) + c.text);
  }
}

TEST(Output, APipeGetsTheBytesAsTheyAre) {
  ASSERT_FALSE(output::console_mode());   // the tests' output is not a terminal
  struct Case {
    std::string text;
    bool newline;
    std::string bytes;
  } cases[] = {
      {"a", true, "a\n"},
      {"\x1b[31mx\x1b[0m", false, "\x1b[31mx\x1b[0m"},
      {"\x1b[", true, "\x1b[\n"},
      {std::string(10000, 'z'), true, std::string(10000, 'z') + "\n"},
  };
  for (const Case& c : cases) {
    test::ChildResult r =
        test::run_in_child([&] { output::put(c.text.data(), c.text.size(), c.newline); });
    EXPECT_EQ(r.out, c.bytes);
  }
}

std::vector<std::string> seen;
void first_printer(const Cell* text, bool newline) {
  seen.push_back("1:" + string::to_utf8(text) + (newline ? "/" : ""));
}
void second_printer(const Cell* text, bool) { seen.push_back("2:" + string::to_utf8(text)); }

TEST(Printers, PrintRunsEveryPrinterInOrder) {
  test::ChildResult r = test::run_in_child([] {
    printers::add(first_printer);
    printers::add(second_printer);
    test::eval("print \"a\" prin [1 2]");
    printers::remove(printers::print_string_value);
    test::eval("print \"b\"");
    std::string all;
    for (const std::string& s : seen) all += s + "|";
    output::put(all.data(), all.size(), false);
  });
  EXPECT_EQ(r.out, "a\n1 21:a/|2:a|1:1 2|2:1 2|1:b/|2:b|");
}

}  // namespace
}  // namespace zol
