// libFuzzer target: random rules over random input for the parse dialect. The
// bytes choose words of a rule vocabulary (brackets, keywords, literals, captures,
// edits, collect and keep, parens, a rule that refers to itself) and then the input,
// a string, binary! or block. The rule block is closed and run under a try frame
// with an evaluation budget; however the parse ends (true, false, a block, a parse
// error) the stacks must be back where they were and nothing may be left pending.
// A crash, a sanitizer report, a hang or a broken rule (abort) is a finding.
//
// Rules may loop for as long as they say, as `forever` does (`while [none]`, or
// `any [change "" "q"]` growing the input): each rule the engine runs spends the
// evaluation budget, which ends such a run with limit-hit. `while` and `insert`,
// the plainest such loops, are left out of the vocabulary. The searches (`to`,
// `thru`) are capped at three a rule block, since each nesting multiplies the
// positions tried by the input's length.
#include <cstdint>
#include <cstdio>
#include <string>

#include "interpreter/interpreter.h"
#include "interpreter/lexer/load.h"
#include "runtime/core/values.h"
#include "support.h"

namespace {

using namespace zol;
using fuzz::run_checked;

constexpr int INPUTS_PER_RUNTIME = 100;
// Rules and expressions one input may run: each edit of a growing input costs its
// length, so the budget stays small.
constexpr int64_t EXPRESSIONS_PER_INPUT = 20000;
constexpr size_t MAX_RULE_WORDS = 96;
constexpr int MAX_SEARCHES = 3;

const char* const VOCABULARY[] = {
    "[", "]", "[", "]", "|", "|", "any", "some", "opt", "skip", "end", "none", "fail",
    "break", "reject", "not", "ahead", "to", "thru", "copy x", "set x", "remove",
    "change", "\"zz\"", "collect", "keep", "keep pick", "collect into b", "collect set c",
    "collect after b", "into", "quote a", "case true", "case false", "if (true)",
    "if (none)", "(n: n + 1)", "(x: 1)", "x:", ":x", "\"a\"", "\"ab\"", "\"\"", "#\"a\"",
    "#\"b\"", "<a>", "1", "2", "0", "1 3", "0 2", "-1", "integer!", "word!", "string!",
    "block!", "bits", "'a", "a", "r", "remove x", "change x \"q\"", "#{61}", "keep (1)",
    "keep pick ([1 2])", "(parse \"ab\" [some skip])", "a/b",
};
constexpr size_t VOCABULARY_SIZE = sizeof VOCABULARY / sizeof VOCABULARY[0];

const char* const INPUTS[] = {"copy \"%s\"", "to binary! \"%s\"", "load \"%s\""};

bool is_search(const char* word) {
  return std::string(word) == "to" || std::string(word) == "thru";
}

// The program the bytes describe: rules from the vocabulary, then the input's
// kind and its characters (letters, digits, spaces and brackets only, so that a
// block input loads).
std::string program_of(const uint8_t* data, size_t size) {
  std::string rules;
  int depth = 0, searches = 0;
  size_t k = 0;
  for (; k < size && k < MAX_RULE_WORDS && data[k] != 0xFF; k++) {
    const char* word = VOCABULARY[data[k] % VOCABULARY_SIZE];
    if (is_search(word) && ++searches > MAX_SEARCHES) continue;
    if (word[0] == ']' && depth == 0) continue;
    depth += word[0] == '[' ? 1 : word[0] == ']' ? -1 : 0;
    rules += word;
    rules += ' ';
  }
  rules.append(size_t(depth), ']');
  k++;
  const char* shape = INPUTS[k < size ? data[k] % 3 : 0];
  std::string text;
  static const char LETTERS[] = "aab1 2[]<>ab";
  for (k++; k < size && text.size() < 64; k++) text += LETTERS[data[k] % (sizeof LETTERS - 1)];
  char input[160];
  std::snprintf(input, sizeof input, shape, text.c_str());
  return "n: 0 b: copy [] bits: make bitset! \"ab\" r: [" + rules + "] parse " + input + " r";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_runtime_every(INPUTS_PER_RUNTIME);
  std::string program = program_of(data, size);
  Cell code = values::none;
  if (!run_checked([&] {
        lexer::load_utf8(reinterpret_cast<const uint8_t*>(program.data()),
                         uint32_t(program.size()), &code);
      }))
    return 0;
  interpreter::eval_budget = EXPRESSIONS_PER_INPUT;
  run_checked([&] { interpreter::do_block(&code); });
  interpreter::eval_budget = -1;
  return 0;
}
