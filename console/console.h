// The console: reads commands, evaluates them and prints their results.
#pragma once

namespace zol::console {

// Runs the console over the program's arguments; returns the exit status.
int run(int argc, char** argv);

}  // namespace zol::console
