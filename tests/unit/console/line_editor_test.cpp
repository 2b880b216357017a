// The line editor's routines on redirected input, called by their registered
// names from Zol source: lines with their carriage returns, the end of input,
// bytes that begin no UTF-8 sequence, and raw reads into a binary.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "runtime/base/output.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/word.h"
#include "support.h"

namespace zol {
namespace {

// The routines' specs as the library will give them, and the words they are set
// to here.
struct Spec {
  const char* name;
  const char* word;
  const char* spec;
  uint8_t returns;
} const SPECS[] = {
    {"_set-buffer-history", "_set-buffer-history", "[line [string!] hist [block!]]", 0},
    {"_read-input", "_read-input", "[prompt [string!] hidden? [logic!]]", 0},
    {"input-stdin", "input-stdin", "[]", T_STRING},
    {"read-stdin", "read-stdin", "[buffer [binary!] size [integer!]]", 0},
    {"_input-ended?", "_input-ended?", "[]", T_LOGIC},
    {"_terminate-console", "_terminate-console", "[]", 0},
    {"console-init", "console-init", "[str [string!]]", T_PAIR},
};

void bind_routines() {
  for (const Spec& s : SPECS) {
    Cell spec = test::value(s.spec);
    Cell body;   // names the implementation, as a routine's body does
    block::make_at(&body, 1);
    Cell implementation = word::load(s.name);
    block::append(&body, &implementation);
    Cell r = routine::make(&spec, &body, s.returns);
    Cell word = word::load(s.word);
    *context::get(&word) = r;
  }
}

// Runs the source in a child whose standard input holds `input`; answers what the
// source printed.
std::string with_input(const std::string& input, const std::string& source) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  ssize_t written = write(fds[1], input.data(), input.size());
  close(fds[1]);
  if (written != ssize_t(input.size())) return "short write";
  test::ChildResult r = test::run_in_child([&] {
    dup2(fds[0], STDIN_FILENO);
    bind_routines();
    std::string result = test::eval("probe: func [v] [print mold :v] " + source);
    if (result.compare(0, 6, "error ") == 0) output::print_c_string(result.c_str());
  });
  close(fds[0]);
  return r.out;
}

TEST(LineEditorRoutines, RedirectedInput) {
  struct Case {
    std::string input;
    const char* source;
    const char* printed;
  } cases[] = {
      {"abc\r\ndef", "probe input-stdin probe input-stdin probe _input-ended?",
       "\"abc^M\"\n\"def\"\ntrue\n"},
      {"abc\n", "probe input-stdin probe _input-ended? probe input-stdin probe input-stdin",
       "\"abc\"\nfalse\n\"q\"\n\"q\"\n"},   // the end of input is the line "q", again and again
      {"", "probe input-stdin", "\"q\"\n"},
      {"\n", "probe input-stdin probe input-stdin", "\"\"\n\"q\"\n"},
      {"\x80x\xC3\n", "s: input-stdin probe length? s probe to integer! pick s 1 probe pick s 3",
       "3\n65533\n#\"\xEF\xBF\xBD\"\n"},
      {"\xE4\xB8x\n", "s: input-stdin probe length? s probe to integer! pick s 1",
       "2\n65533\n"},
      {"h\xC3\xA9\xE4\xB8\xAD\n", "s: input-stdin probe length? s probe to integer! pick s 3",
       "3\n20013\n"},
      {"one\ntwo\n",
       "line: make string! 10 _set-buffer-history line h: [] _read-input \">> \" false "
       "probe line",
       "\"one\"\n"},   // no prompt and no line feed when input is not a terminal
      {"abcdef", "b: make binary! 10 read-stdin b 4 probe b probe input-stdin",
       "#{61626364}\n\"ef\"\n"},
      // the title goes only to a terminal; on a pipe the routines write nothing
      {"x\n", "console-init \"title\" _terminate-console probe input-stdin", "\"x\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(with_input(c.input, c.source), c.printed) << c.source;
}

}  // namespace
}  // namespace zol
