// libFuzzer target: random text through the data decoders that must never raise.
// The bytes become a string (as UTF-8 when they are valid, else one character a
// byte) and go to load-json, to-json of what it gave, load-csv with and without
// its refinements, decode-url and url-parser/parse-url/throw-error. Each must
// return a value or an error! value: a raised error, a crash, a sanitizer report
// or a hang is a finding. Only load-csv/header may raise, and then only its user
// error about data too small for a header.
#include <cstdint>
#include <cstdio>
#include <string>

#include "interpreter/interpreter.h"
#include "interpreter/lexer/load.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/string/string.h"
#include "support.h"

namespace {

using namespace zol;
using fuzz::require;
using fuzz::run_checked;

constexpr int INPUTS_PER_RUNTIME = 500;
constexpr int64_t EXPRESSIONS_PER_INPUT = 2000000;

// The molded text of the input as a string!, ready to be put into source.
std::string molded_input(const uint8_t* data, size_t size) {
  std::string text;
  run_checked([&] {
    Cell s = values::none;
    bool utf8 = stack::try_run([&] { string::load(data, uint32_t(size), &s, string::ENCODING_UTF8); });
    if (!utf8) {
      string::make_at_units(&s, uint32_t(size), 1);
      for (size_t i = 0; i < size; ++i) string::append_char(series::buffer(&s), data[i]);
    }
    Cell m = actions::mold_to_string(&s);
    text = string::to_utf8(&m);
  });
  return text;
}

// Runs the source; answers whether it ended without an error.
bool runs(const std::string& source) {
  Cell code = values::none;
  require(run_checked([&] {
    lexer::load_utf8(reinterpret_cast<const uint8_t*>(source.data()), uint32_t(source.size()), &code);
  }));
  interpreter::eval_budget = EXPRESSIONS_PER_INPUT;
  bool done = run_checked([&] { interpreter::do_block(&code); });
  interpreter::eval_budget = -1;
  return done;
}

const char* const NEVER_RAISE[] = {
    "v: load-json s to-json v to-json/pretty/ascii v {  }",
    "load-csv s",
    "load-csv/flat/trim s",
    "load-csv/as-records/with s #\";\"",
    "load-csv/quote/as-columns s #\"'\"",
    "decode-url s",
    "url-parser/parse-url/throw-error s",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_runtime_every(INPUTS_PER_RUNTIME);
  if (size > 4096) return 0;
  std::string input = molded_input(data, size);
  if (input.empty()) return 0;
  for (const char* call : NEVER_RAISE) {
    if (runs("s: " + input + " " + call)) continue;
    Cell report = actions::form_to_string(&exits::value);
    std::fprintf(stderr, "raised by %s on %s:\n%s\n", call, input.c_str(),
                 string::to_utf8(&report).c_str());
    require(false);
  }
  if (!runs("s: " + input + " load-csv/header s")) {
    require(error::category_of(&exits::value) == err::USER);
  }
  return 0;
}
