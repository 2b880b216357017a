// The zol program: brings the runtime up on a thread with a deep native stack and
// runs the console there.
#include "console/console.h"
#include "platform/platform.h"
#include "runtime/core/exits.h"
#include "boot/runtime.h"
#include "runtime/base/system.h"

namespace {
// Any exit that escapes everything else lands in the top catch.
int runtime_main(void*) {
  return zol::exits::guard(
      0xFFFFFFFFu,
      [] {
        zol::runtime::init();
        int status = zol::console::run(zol::platform::arg_count(), zol::platform::arg_vector());
        zol::runtime::cleanup();
        return status;
      },
      [](uint32_t code) -> int {
        zol::system::thrown_code = code;
        zol::system::top_catch();
      });
}
}  // namespace

int main(int argc, char** argv) {
  zol::platform::init_argv(argc, argv);
  return zol::platform::run_on_large_stack(runtime_main, nullptr, zol::platform::RUNTIME_STACK_BYTES);
}
