// Test support, shared by every unit test and the script runner: one runtime per
// test process, running code in a child process to observe how it ends (fatal
// reports and exits end the process), values written as source text and shown as
// text, strings built from code points, and Zol source evaluated to its molded
// result or the error it raised.
#pragma once
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/core/error.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"

namespace zol::test {

struct ChildResult {
  std::string out;     // what the child wrote to standard output
  int status = -1;     // exit status, or -signal when killed by a signal
};

// Forks, runs fn in the child with stdout captured, and waits for it.
ChildResult run_in_child(const std::function<void()>& fn);
// Runs a shell command and answers its standard output and exit status.
ChildResult run_command(const std::string& command);
// A console transcript without the three-line banner the loop prints first.
std::string without_banner(const std::string& out);

// Runs fn inside a try frame and answers the error it raised as "category/id", or
// "" when none. The stacks are left as they were before the call.
std::string raised(const std::function<void()>& fn);

inline std::string error_name(err::Id id) {
  return std::to_string(id.category) + "/" + std::to_string(id.id);
}

// Opens a native frame holding `args`, runs fn (an action entry, or an
// implementation that reads the frame), closes the frame and answers its result.
Cell call_on_frame(std::initializer_list<Cell> args, const std::function<void()>& fn);

std::string mold(const Cell& value, bool all = false);

// Sets a runtime hook (a function pointer the runtime calls) for one test and puts
// the runtime's own back when the test ends, however it ends: the tests share one
// runtime per process.
template <class Hook>
class ScopedHook {
 public:
  ScopedHook(Hook& hook, Hook value) : hook_(hook), saved_(hook) { hook = value; }
  ~ScopedHook() { hook_ = saved_; }
  ScopedHook(const ScopedHook&) = delete;
  ScopedHook& operator=(const ScopedHook&) = delete;

 private:
  Hook& hook_;
  Hook saved_;
};

// Keeps cells that a test holds where the collector does not look (statics,
// fixture members, std containers) alive and in place while the guard lives: they
// are marked by value from a marking callback, as the runtime's own holders are.
class HeldCells {
 public:
  explicit HeldCells(const Cell* first, size_t count = 1);
  ~HeldCells();
  HeldCells(const HeldCells&) = delete;
  HeldCells& operator=(const HeldCells&) = delete;

 private:
  const Cell* first_;
  size_t count_;
};

// The name of a datatype the lexer knows, registered or not ("?" for others).
const char* type_name(uint8_t type);
std::string form(const Cell& value);

// ---- Blocks: values written as source text (loaded by the lexer) and results shown
// as text.

// A block! holding the values of the text, at head 0.
Cell load(const std::string& text);
// The single value the text holds.
Cell value(const std::string& text);
// `value` at a position: the head moved to the 0-based index.
Cell at(const std::string& text, int32_t index);

// The mold of a value; a series is preceded by its index? ("@2 [b c]").
std::string show(const Cell& value);

// ---- Text: strings made from and read back as code points or loaded from UTF-8,
// their unit, binaries made from bytes, the bytes of a binary! error argument, and
// results shown as text or as the error raised.

inline SeriesBuffer* buffer(const Cell& c) { return memory::buffer_of(series_cell::node(&c)); }
inline uint32_t unit(const Cell& c) { return buffer(c)->unit(); }

// The characters from the head.
inline std::u32string chars(const Cell& c) {
  std::u32string out;
  SeriesBuffer* b = buffer(c);
  uint32_t u = b->unit();
  for (const uint8_t* p = b->head() + uint32_t(string::head_index(&c)) * u; p < b->tail_ptr(); p += u)
    out += char32_t(string::get_char(p, u));
  return out;
}

// A string! of exactly `unit`, holding `text` (set_char_at never widens past what a
// character needs, and the buffer starts at the asked unit).
inline Cell text_of_unit(const std::u32string& text, uint32_t u) {
  Cell c;
  string::make_at_units(&c, uint32_t(text.size()), u);
  SeriesBuffer* b = buffer(c);
  for (size_t i = 0; i < text.size(); i++) b = string::set_char_at(b, uint32_t(i), text[i]);
  return c;
}

// The narrowest unit for `text`.
inline Cell text(const std::u32string& t) { return text_of_unit(t, 1); }

// A value of a text type loaded from UTF-8.
inline Cell utf8_text(const std::string& utf8, uint8_t type = T_STRING) {
  Cell s;
  string::load(reinterpret_cast<const uint8_t*>(utf8.data()), uint32_t(utf8.size()), &s,
               string::ENCODING_UTF8);
  cell::set_type(&s, type);
  return s;
}

// A binary! holding the bytes, its head at `head`.
inline Cell binary(std::initializer_list<uint8_t> bytes, int32_t head = 0) {
  NodeRef node = memory::alloc_bytes(static_cast<int64_t>(bytes.size()) + 1);
  for (uint8_t b : bytes) *memory::alloc_tail_bytes(node, 1) = b;
  return Cell{T_BINARY, static_cast<uint32_t>(head), node, 0};
}

// An expected error as outcome() shows it: "error category/id".
inline std::string error_text(err::Id id) { return "error " + error_name(id); }

// What fn answers, or the error it raised as error_text() writes it.
inline std::string outcome(const std::function<std::string()>& fn) {
  std::string shown;
  std::string e = raised([&] { shown = fn(); });
  return e.empty() ? shown : "error " + e;
}

// The bytes of a binary! (an error argument).
inline std::string binary_bytes(const Cell& c) {
  SeriesBuffer* b = buffer(c);
  return std::string(reinterpret_cast<const char*>(b->head()), b->used_bytes());
}

// ---- Zol source in, the molded result out.

// One category of the error lists of error_ids.h: its constant, its word, and (id,
// word) for each of its ids, the id as the enum gives it.
struct ListedCategory {
  err::Category category;
  const char* name;
  std::vector<std::pair<int, const char*>> ids;
};

// The categories in catalogue order.
std::vector<ListedCategory> listed_categories();

// Binds the natives and actions from the bootstrap text (once per process).
void boot();

// The block of values a source text holds.
Cell source(const std::string& text);

// Evaluates a source text and answers the mold of its value ("error! <category>
// <id>" for an error! value), or "error <category> <id>" naming the error it raised
// (the stacks are then as they were before).
std::string eval(const std::string& text);

// Evaluates a source text and answers its value (errors raise).
Cell eval_value(const std::string& text);

// A table row: source text and the result eval gives for it.
struct SourceCase {
  const char* source;
  std::string expected;
};

// What eval answers for an error raised with that id.
std::string eval_error_text(err::Id id);

// Evaluates every row, expecting its result and the value stack back where it was.
void check(std::initializer_list<SourceCase> cases);


// What test::eval answers for the script errors that the scalar datatypes' tests
// expect most, named once for all of them.
namespace script_errors {
inline const std::string BAD_TO_ARG = eval_error_text(err::script::BAD_TO_ARG);
inline const std::string NOT_RELATED = eval_error_text(err::script::NOT_RELATED);
inline const std::string INVALID_ARG = eval_error_text(err::script::INVALID_ARG);
inline const std::string INVALID_PATH = eval_error_text(err::script::INVALID_PATH);
inline const std::string INVALID_TYPE = eval_error_text(err::script::INVALID_TYPE);
inline const std::string OUT_OF_RANGE = eval_error_text(err::script::OUT_OF_RANGE);
}  // namespace script_errors

}  // namespace zol::test
