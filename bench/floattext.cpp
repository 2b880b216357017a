// Float text speed: prints and reads one million random doubles with the
// program's own conversions and with std::to_chars / std::from_chars doing the
// same work in the same binary, and prints the time per value and the ratios.
// Two sets: random bit patterns (every exponent, subnormals included) and
// everyday values uniform in [0, 1000). Each figure is the best of five rounds.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runtime/numeric/floattext.h"

namespace {

using namespace zol;
constexpr int COUNT = 1'000'000;
constexpr int ROUNDS = 5;

template <typename Work>
double best_ns_per_value(Work work) {
  double best = 1e30;
  for (int round = 0; round < ROUNDS; round++) {
    auto start = std::chrono::steady_clock::now();
    work();
    std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / COUNT);
  }
  return best;
}

std::vector<double> random_bit_patterns() {
  std::mt19937_64 random(1);
  std::vector<double> values;
  while (values.size() < COUNT) {
    uint64_t bits = random();
    if ((bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull) continue;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    values.push_back(v);
  }
  return values;
}

std::vector<double> everyday_values() {
  std::mt19937_64 random(2);
  std::uniform_real_distribution<double> uniform(0.0, 1000.0);
  std::vector<double> values;
  for (int i = 0; i < COUNT; i++) values.push_back(uniform(random));
  return values;
}

void measure(const char* name, const std::vector<double>& values) {
  std::vector<std::string> texts;
  char buffer[64];
  for (double v : values) {
    auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    texts.emplace_back(buffer, r.ptr);
  }
  volatile uint64_t sink = 0;

  double print_own = best_ns_per_value([&] {
    uint64_t total = 0;
    for (double v : values) total += float_text::form_buffer(buffer, v, 0, true);
    sink = sink + total;
  });
  double print_std = best_ns_per_value([&] {
    uint64_t total = 0;
    for (double v : values) total += std::to_chars(buffer, buffer + sizeof buffer, v).ptr - buffer;
    sink = sink + total;
  });
  double read_own = best_ns_per_value([&] {
    double total = 0;
    int unconsumed;
    for (const std::string& t : texts)
      total += float_text::from_text(t.data(), t.data() + t.size(), 0, &unconsumed);
    sink = sink + static_cast<uint64_t>(total != 0);
  });
  double read_std = best_ns_per_value([&] {
    double total = 0;
    for (const std::string& t : texts) {
      double v;
      std::from_chars(t.data(), t.data() + t.size(), v);
      total += v;
    }
    sink = sink + static_cast<uint64_t>(total != 0);
  });

  std::printf("%s\n", name);
  std::printf("  print: own %6.1f ns, to_chars   %6.1f ns, ratio %.2f\n", print_own, print_std,
              print_own / print_std);
  std::printf("  read:  own %6.1f ns, from_chars %6.1f ns, ratio %.2f\n", read_own, read_std,
              read_own / read_std);
}

}  // namespace

int main() {
  measure("random bit patterns (1,000,000 finite doubles)", random_bit_patterns());
  measure("everyday values (1,000,000 uniform in [0, 1000))", everyday_values());
}
