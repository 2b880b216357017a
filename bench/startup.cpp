// Start-up split into its parts: lexing the bootstrap text, lexing the library's
// source, and evaluating the library's source (each file loaded, then run again
// over the started runtime, which redefines the same words). The best of many
// rounds of each, in milliseconds; bench/startup.sh times the whole program.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "boot/boot.h"
#include "boot/runtime.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/native_list.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/function.h"

namespace {

using namespace zol;
using Clock = std::chrono::steady_clock;

#define ZOL_LIST_INDEX(id, ...) id,
enum NativeIndex : int32_t { NO_NATIVE, ZOL_NATIVES(ZOL_LIST_INDEX, ZOL_LIST_INDEX) };
#undef ZOL_LIST_INDEX

constexpr int ROUNDS = 50;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void run(const std::string& text) {
  Cell code = boot::load_text(text.data(), text.size());
  interpreter::do_block(&code);
}

struct Round {
  double lex_bootstrap, lex_library, evaluate_library;
};

Round one_round() {
  Round r{};
  Clock::time_point t = Clock::now();
  boot::load_text(boot::bootstrap_text, boot::bootstrap_size);
  r.lex_bootstrap = ms_since(t);
  // The library ends by replacing the maker of routines: it is put back first.
  run("routine: make native! [[spec [block!] body [block!]] " + std::to_string(N_ROUTINE) + "]");
  routine::library_building = true;
  for (size_t i = 0; i < boot::library_texts_count; i++) {
    const boot::SourceText& file = boot::library_texts[i];
    t = Clock::now();
    Cell code = boot::load_text(file.text, file.size);
    r.lex_library += ms_since(t);
    t = Clock::now();
    interpreter::do_block(&code);
    r.evaluate_library += ms_since(t);
  }
  routine::library_building = false;
  return r;
}

}  // namespace

int main() {
  runtime::init();
  Round best{1e9, 1e9, 1e9};
  for (int i = 0; i < ROUNDS; i++) {
    Round r = one_round();
    best.lex_bootstrap = std::min(best.lex_bootstrap, r.lex_bootstrap);
    best.lex_library = std::min(best.lex_library, r.lex_library);
    best.evaluate_library = std::min(best.evaluate_library, r.evaluate_library);
  }
  std::printf("lex bootstrap text   %.3f ms\n", best.lex_bootstrap);
  std::printf("lex library source   %.3f ms\n", best.lex_library);
  std::printf("evaluate library     %.3f ms\n", best.evaluate_library);
  return 0;
}
