// map! puts and selects through the action layer's typed forms (what an
// interpreted `put` or `m/key` ends in):
//
//   put-word     1,000,000 puts of random keys among 100,000 words into an empty map!
//   select-word  1,000,000 lookups of random present words in that map
//   put-string   the same with 100,000 string keys (stored as private copies)
//   select-string
//
// The keys are loaded from text first, as a script's would be. Prints one line per
// workload, "<name> <seconds>", for bench/map.sh to compare with Python dicts.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "boot/runtime.h"
#include "interpreter/lexer/load.h"
#include "runtime/core/actions.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"

namespace {

using namespace zol;
using Clock = std::chrono::steady_clock;

constexpr int32_t KEYS = 100000, OPERATIONS = 1000000;

template <class Fn>
double seconds(Fn fn) {
  auto start = Clock::now();
  fn();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A block of KEYS distinct keys: words k0 k1 ... or strings "k0" "k1" ...
Cell keys_block(bool strings) {
  std::string text;
  for (int32_t i = 0; i < KEYS; i++)
    text += (strings ? "\"k" : "k") + std::to_string(i) + (strings ? "\" " : " ");
  Cell out;
  lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), &out);
  return out;
}

std::vector<int32_t> random_picks(uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<int32_t> picks(OPERATIONS);
  for (int32_t& p : picks) p = int32_t(rng() % uint32_t(KEYS));
  return picks;
}

void run(const char* kind, bool strings) {
  Cell keys = keys_block(strings);
  Cell proto = values::of_datatype(T_MAP), size = values::integer(0);
  Cell map = *actions::make_typed(&proto, &size);
  std::vector<int32_t> puts = random_picks(3), selects = random_picks(4);
  double put_time = seconds([&] {
    for (int32_t i = 0; i < OPERATIONS; i++) {
      Cell key = *block::cell_at(&keys, puts[size_t(i)]);
      Cell value = values::integer(i);
      actions::put_typed(&map, &key, &value, false);
    }
  });
  // Every key is present once all of them were put.
  for (int32_t i = 0; i < KEYS; i++) {
    Cell key = *block::cell_at(&keys, i), value = values::integer(i);
    actions::put_typed(&map, &key, &value, false);
  }
  long total = 0;
  double select_time = seconds([&] {
    for (int32_t i = 0; i < OPERATIONS; i++) {
      Cell key = *block::cell_at(&keys, selects[size_t(i)]);
      Cell* value = actions::eval_path_typed(&map, &key, nullptr, nullptr, 0);
      total += cell::get_int(value);
    }
  });
  if (total == 0) std::puts("select found nothing");
  std::printf("put-%s %.3f\nselect-%s %.3f\n", kind, put_time, kind, select_time);
}

}  // namespace

int main() {
  runtime::init();
  run("word", false);
  run("string", true);
  return 0;
}
