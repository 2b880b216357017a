// libFuzzer target: random bytes loaded as source text, in every mode of the load
// layer. A strict load either builds its block or raises a language error (a
// syntax error, not-done for a form not built yet, invalid-utf8 from a
// percent-encoded name); a quiet load, a one-value load and a pre-scan never raise
// a syntax error; the tracer sees its opens and closes nest, and a scan that runs
// to its end leaves nothing open. A crash, a sanitizer report, a hang or a broken
// rule (abort) is a finding.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support.h"
#include "interpreter/lexer/load.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "support.h"
#include "runtime/core/values.h"

namespace {

using namespace zol;

// The runtime starts afresh every so many inputs, so that what one input leaves
// (interned words, the global context) stays bounded.
constexpr int INPUTS_PER_RUNTIME = 5000;

using fuzz::require;

int category_of_raised() { return error::category_of(&exits::value); }

// Opens must be closed in order, by a close of the same family; an error abandons
// everything open, and a scan that ends leaves nothing open.
struct Nesting {
  std::vector<uint8_t> open;
  static uint8_t family(uint8_t type) {
    switch (type) {
      case T_LIT_PATH: case T_GET_PATH: case T_SET_PATH: return T_PATH;
      case T_MAP: return T_BLOCK;
      case T_POINT2D: return T_PAREN;
      default: return type;
    }
  }
  static lexer::Reply event(void* self, const lexer::TraceEvent& e) {
    auto* n = static_cast<Nesting*>(self);
    if (e.event == lexer::EV_OPEN) n->open.push_back(family(e.type));
    if (e.event == lexer::EV_ERROR) n->open.clear();
    if (e.event == lexer::EV_CLOSE) {
      require(!n->open.empty() && n->open.back() == family(e.type));
      n->open.pop_back();
    }
    return lexer::Reply::NO;   // errors are dropped: the scan goes on to the end
  }
};

void load_strictly(const uint8_t* data, uint32_t size) {
  Cell out = values::none;
  bool loaded = stack::try_run([&] { lexer::load_utf8(data, size, &out); });
  if (loaded) {
    require(out.is(T_BLOCK));
    return;
  }
  int category = category_of_raised();
  require(category == err::SYNTAX || category == err::INTERNAL || category == err::ACCESS);
}

// Answers whether the scan ran to its end (percent-encoded names may still raise
// invalid-utf8, and kept forms not built yet not-done).
bool scan_quietly(const uint8_t* data, uint32_t size, lexer::Request r) {
  uint32_t consumed = 0;
  Cell out = values::none;
  bool done = stack::try_run([&] { lexer::scan(&out, data, size, r, &consumed); });
  if (!done) require(category_of_raised() != err::SYNTAX);
  else require(consumed <= size);
  return done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_runtime_every(INPUTS_PER_RUNTIME);
  if (size > (1u << 20)) return 0;
  uint32_t n = uint32_t(size);
  load_strictly(data, n);

  lexer::Request quiet;
  quiet.strict = false;
  scan_quietly(data, n, quiet);
  lexer::Request one = quiet;
  one.one = true;
  scan_quietly(data, n, one);
  lexer::Request prescan;
  prescan.load = false;
  scan_quietly(data, n, prescan);

  Nesting nesting;
  const uint32_t events = lexer::EV_OPEN | lexer::EV_CLOSE | lexer::EV_ERROR;
  lexer::Tracer tracer{events, Nesting::event, &nesting};
  lexer::Request traced;
  traced.wrap = false;
  traced.tracer = &tracer;
  if (scan_quietly(data, n, traced)) require(nesting.open.empty());
  return 0;
}
