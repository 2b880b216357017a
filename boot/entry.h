// The program's start-up sequence, in one place: the platform and the runtime
// come up (runtime::init: module values, services, the boot image with the
// collector off, then the library's top level with it on), the console takes
// over, and the program exits. Everything runs under the top catch, which takes
// every exit that nothing inside took.
#pragma once
#include <functional>

namespace zol::boot {

// Runs body under the top catch. A quit that reaches it ends the process silently
// with status 0; any other exit prints "*** Runtime Error 95: no CATCH for THROW"
// and the "*** at: " line and ends it with status 95.
int under_top_catch(const std::function<int()>& body);

// The whole program, on the thread that will run the runtime: start-up, the
// console over the arguments, then shutdown. Answers the exit status.
int program(int argc, char** argv);

}  // namespace zol::boot
