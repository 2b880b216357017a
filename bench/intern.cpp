// Interning and context lookup, the interpreter's hottest path: one million words of
// text each turned into a symbol and found (or added) in the global context,
// against a std::unordered_map<std::string, int> mapping the same text to an int.
//
// Two workloads: a source-like stream (1,000,000 words drawn from a vocabulary of
// 50,000 names, so most are already known) and 1,000,000 distinct names (every word
// is new, the tables grow). Prints nanoseconds per word and the ratio to the
// baseline (below 1: faster than the baseline).
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/core/context.h"
#include "boot/runtime.h"
#include "runtime/core/symbol.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> vocabulary(size_t n) {
  static const char* stems[] = {"print", "append", "value", "block", "to-string", "foreach",
                                "set-word", "x", "length?", "my-function"};
  std::vector<std::string> names;
  for (size_t i = 0; i < n; i++) names.push_back(std::string(stems[i % 10]) + "-" + std::to_string(i));
  return names;
}

std::vector<const std::string*> stream(const std::vector<std::string>& names, size_t n) {
  std::mt19937 rng(7);
  std::vector<const std::string*> words;
  words.reserve(n);
  for (size_t i = 0; i < n; i++) words.push_back(&names[names.size() == n ? i : rng() % names.size()]);
  return words;
}

template <class Fn>
double ns_per_word(const std::vector<const std::string*>& words, Fn fn) {
  auto start = Clock::now();
  long sink = 0;
  for (const std::string* w : words) sink += fn(*w);
  double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
  if (sink == 42) std::puts("");
  return ns / double(words.size());
}

long zol_lookup(const std::string& name) {
  uint32_t id = zol::symbol::make_len(reinterpret_cast<const uint8_t*>(name.data()), uint32_t(name.size()));
  zol::Cell word = zol::context::add_global(id);
  return long(word.w3);
}

void run(const char* label, size_t distinct) {
  std::vector<std::string> names = vocabulary(distinct);
  std::vector<const std::string*> words = stream(names, 1000000);
  std::unordered_map<std::string, int> baseline;
  double base = ns_per_word(words, [&](const std::string& w) {
    return long(baseline.try_emplace(w, int(baseline.size())).first->second);
  });
  double zol = ns_per_word(words, zol_lookup);
  std::printf("%-28s zol %7.1f ns/word   unordered_map %7.1f ns/word   ratio %.2f\n", label, zol, base,
              zol / base);
}

}  // namespace

int main() {
  zol::runtime::init();
  run("1M words, 50k vocabulary:", 50000);
  run("1M distinct words:", 1000000);
  return 0;
}
