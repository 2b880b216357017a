// libFuzzer target: random bytes through the lexer's scanner, in both of its modes.
// Any read outside the input is caught by AddressSanitizer; a token outside the
// input or a scan that stops making progress traps.
#include <cstddef>
#include <cstdint>

#include "interpreter/lexer/scan.h"

namespace {

using zol::lexer::Options;
using zol::lexer::Scanner;
using zol::lexer::Token;

void check(bool ok) {
  if (!ok) __builtin_trap();
}

void scan_all(const uint8_t* data, uint32_t size, Options options) {
  Scanner s(data, size, options);
  size_t tokens = 0;
  for (Token t = s.next(); t.kind != zol::lexer::K_END; t = s.next()) {
    check(++tokens <= 4 * size_t(size) + 4);
    check(t.start <= t.end && t.end <= size);
    check(t.body_start <= t.body_end && t.body_end <= size);
    check(s.position() <= size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  scan_all(data, uint32_t(size), Options{false});
  scan_all(data, uint32_t(size), Options{true});
  uint32_t cp;
  zol::lexer::valid_string_text(data, data + size, true);
  if (size > 0) zol::lexer::decode_escape(data, data + size, &cp);
  return 0;
}
