// Zol-level tests: source text in, the molded result out. Until the lexer's load
// entry exists the text is read by the test reader of block_text.h, which is also
// installed as the bootstrap loader; switching to the real lexer changes source().
#pragma once
#include <initializer_list>
#include <string>

#include "runtime/core/cell.h"
#include "runtime/core/error.h"

namespace zol::test {

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

}  // namespace zol::test
