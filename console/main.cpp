// The zol program: brings the runtime up on a thread with a deep native stack and
// runs the console there.
#include "console/console.h"
#include "platform/platform.h"
#include "runtime/runtime.h"

namespace {
int runtime_main(void*) {
  zol::runtime::init();
  int status = zol::console::run(zol::platform::arg_count(), zol::platform::arg_vector());
  zol::runtime::cleanup();
  return status;
}
}  // namespace

int main(int argc, char** argv) {
  zol::platform::init_argv(argc, argv);
  return zol::platform::run_on_large_stack(runtime_main, nullptr, zol::platform::RUNTIME_STACK_BYTES);
}
