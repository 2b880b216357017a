// The program's start-up sequence (see entry.h). The hand-over goes to the console
// driver (console::run); nothing after start-up re-enters it.
#include "boot/entry.h"

#include "boot/runtime.h"
#include "console/console.h"
#include "runtime/base/system.h"
#include "runtime/core/exits.h"

namespace zol::boot {

int under_top_catch(const std::function<int()>& body) {
  return exits::guard(0xFFFFFFFFu, [&] { return body(); },
                      [](uint32_t code) -> int {
                        system::thrown_code = code;
                        system::top_catch();
                      });
}

int program(int argc, char** argv) {
  return under_top_catch([&] {
    runtime::init();
    int status = console::run(argc, argv);
    runtime::cleanup();
    return status;
  });
}

}  // namespace zol::boot
