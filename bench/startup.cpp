// Start-up split into its parts: decoding the boot image (the boot load: symbols
// interned, words bound, every file's block built) and evaluating the library's
// files from it (run again over the started runtime, which redefines the same
// words; the bootstrap text's sections are not re-applied). The best of many rounds
// of each, in milliseconds, and the image's size; bench/startup.sh times the whole
// program. A build configured with ZOL_LIBRARY_AS_TEXT has no image to decode.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "boot/boot.h"
#include "boot/runtime.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/native_list.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/string/string.h"

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
  double decode, evaluate;
};

Round one_round() {
  Round r{};
  const boot::EmbeddedLibrary& e = boot::embedded_library;
  Clock::time_point t = Clock::now();
  Cell files = boot::load_image(e.image, e.image_size);
  r.decode = ms_since(t);
  // The library ends by replacing the maker of routines: it is put back first.
  run("routine: make native! [[spec [block!] body [block!]] " + std::to_string(N_ROUTINE) + "]");
  routine::library_building = true;
  t = Clock::now();
  for (int32_t i = 2; i + 1 < block::length(&files); i += 2) {
    std::string name = string::to_utf8(block::cell_at(&files, i));
    boot::evaluate_library_file(name.c_str(), block::cell_at(&files, i + 1));
  }
  r.evaluate = ms_since(t);
  routine::library_building = false;
  return r;
}

}  // namespace

int main() {
  runtime::init();
  if (!boot::embedded_library.image_size) {
    std::printf("no boot image in this build (ZOL_LIBRARY_AS_TEXT)\n");
    return 0;
  }
  Round best{1e9, 1e9};
  for (int i = 0; i < ROUNDS; i++) {
    Round r = one_round();
    best.decode = std::min(best.decode, r.decode);
    best.evaluate = std::min(best.evaluate, r.evaluate);
  }
  std::printf("boot image           %zu bytes\n", boot::embedded_library.image_size);
  std::printf("decode boot image    %.3f ms\n", best.decode);
  std::printf("evaluate library     %.3f ms\n", best.evaluate);
  return 0;
}
