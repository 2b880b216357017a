// The program's start-up sequence (see entry.h). Once the library is evaluated the
// console takes over: `cli-console-ctx/launch` runs in a function frame named
// `launch`, and the program ends with status 0 when it returns (a script that
// fails, or `quit`, ends it earlier with a status of its own). Nothing after
// start-up re-enters it.
#include "boot/entry.h"

#include <cstring>

#include "boot/runtime.h"
#include "interpreter/interpreter.h"
#include "interpreter/lexer/load.h"
#include "runtime/base/system.h"
#include "runtime/core/exits.h"

namespace zol::boot {

namespace {

void hand_over_to_console() {
  static const char CALL[] = "cli-console-ctx/launch";
  Cell code;
  lexer::load_utf8(reinterpret_cast<const uint8_t*>(CALL), uint32_t(std::strlen(CALL)), &code);
  interpreter::do_block(&code);
}

}  // namespace

int under_top_catch(const std::function<int()>& body) {
  return exits::guard(0xFFFFFFFFu, [&] { return body(); },
                      [](uint32_t code) -> int {
                        system::thrown_code = code;
                        system::top_catch();
                      });
}

int program(int, char**) {
  return under_top_catch([&] {
    runtime::init();
    hand_over_to_console();
    runtime::cleanup();
    return 0;
  });
}

}  // namespace zol::boot
