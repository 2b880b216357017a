// Timing for the benchmark programs: the best of five rounds of a piece of work, in
// seconds (the best round is the one least disturbed by the rest of the machine).
#pragma once
#include <chrono>

namespace zol::bench {

template <class Fn>
double best_of_five(Fn fn) {
  double best = 1e30;
  for (int round = 0; round < 5; round++) {
    auto start = std::chrono::steady_clock::now();
    fn();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (s < best) best = s;
  }
  return best;
}

}  // namespace zol::bench
