// The zol program: runs the start-up sequence (boot/entry.h) on a thread with a
// deep native stack.
#include "boot/entry.h"
#include "platform/platform.h"

namespace {
int runtime_main(void*) {
  return zol::boot::program(zol::platform::arg_count(), zol::platform::arg_vector());
}
}  // namespace

int main(int argc, char** argv) {
  zol::platform::init_argv(argc, argv);
  return zol::platform::run_on_large_stack(runtime_main, nullptr, zol::platform::RUNTIME_STACK_BYTES);
}
