// Times Zol source files: each argument is a .zol file, evaluated once after
// start-up; prints "<file> <seconds>" per file. Also prints what a return costs when it travels as a C++ exception instead of by
// status, for the record in bench/README.md.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "interpreter/interpreter.h"
#include "platform/platform.h"
#include "runtime/core/exits.h"
#include "boot/runtime.h"
#include "interpreter/lexer/load.h"

namespace {

zol::Cell load(const std::string& text) {
  zol::Cell block;
  return *zol::lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()),
                                uint32_t(text.size()), &block);
}

int argc_;
char** argv_;

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One exit as an exception through a guard, against one by status.
void exit_costs() {
  constexpr int N = 1000000;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < N; i++)
    zol::exits::guard(zol::exits::RETURN, [] { zol::exits::raise(zol::exits::RETURN); },
                      [](uint32_t) {});
  double thrown = seconds_since(start);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < N; i++)
    zol::exits::guard(zol::exits::RETURN, [] { zol::exits::pending = zol::exits::RETURN; },
                      [](uint32_t) {});
  double pending = seconds_since(start);
  std::printf("exit-by-exception %.1f ns\nexit-by-status %.1f ns\n", thrown * 1e9 / N,
              pending * 1e9 / N);
}

int run(void*) {
  zol::runtime::init();
  for (int i = 1; i < argc_; i++) {
    std::ifstream in(argv_[i]);
    std::stringstream text;
    text << in.rdbuf();
    zol::Cell code = load(text.str());
    auto start = std::chrono::steady_clock::now();
    zol::interpreter::do_block(&code);
    std::printf("%s %.3f\n", argv_[i], seconds_since(start));
  }
  exit_costs();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  argc_ = argc;
  argv_ = argv;
  return zol::platform::run_on_large_stack(run, nullptr, zol::platform::RUNTIME_STACK_BYTES);
}
