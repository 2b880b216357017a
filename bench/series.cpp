// Series work the language leans on, through the action layer's typed forms (what
// an interpreted `append`, `sort` or `find` calls once its arguments are gathered):
//
//   append  10,000,000 integers appended one by one to a block made with room for one
//   sort    a block of 1,000,000 random integers sorted (the default, unstable sort)
//   find    1,000,000 finds of present keys in a hash! of 100,000 integers
//
// Prints one line per workload, "<name> <seconds>", for bench/series.sh to compare
// with the same work in Python.
#include <chrono>
#include <cstdio>
#include <random>

#include "runtime/core/actions.h"
#include "runtime/datatypes/block/block.h"
#include "boot/runtime.h"
#include "runtime/core/values.h"

namespace {

using namespace zol;
using Clock = std::chrono::steady_clock;

template <class Fn>
double seconds(Fn fn) {
  auto start = Clock::now();
  fn();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double append_integers(int32_t n) {
  Cell blk;
  block::make_at(&blk, 1);
  double t = seconds([&] {
    for (int32_t i = 0; i < n; i++) {
      Cell v = values::integer(i);
      actions::append_typed(&blk, &v, -1, false, 1);
    }
  });
  if (block::length(&blk) != n) std::puts("append lost cells");
  return t;
}

Cell random_block(int32_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Cell blk;
  block::make_at(&blk, n);
  for (int32_t i = 0; i < n; i++) {
    Cell v = values::integer(int32_t(rng() >> 1));
    block::append(&blk, &v);
  }
  return blk;
}

double sort_integers(int32_t n) {
  Cell blk = random_block(n, 11);
  return seconds(
      [&] { actions::sort_typed(&blk); });
}

double find_in_hash(int32_t size, int32_t finds) {
  Cell keys;
  block::make_at(&keys, size);
  for (int32_t i = 0; i < size; i++) {
    Cell v = values::integer(i * 7);
    block::append(&keys, &v);
  }
  Cell proto = values::of_datatype(T_HASH);
  Cell hash = *actions::make_typed(&proto, &keys);
  std::mt19937 rng(5);
  long found = 0;
  double t = seconds([&] {
    for (int32_t i = 0; i < finds; i++) {
      Cell position = hash;
      Cell key = values::integer(int32_t(rng() % uint32_t(size)) * 7);
      Cell* at = actions::find_typed(&position, &key);
      found += series_cell::head(at);
    }
  });
  if (found == 0) std::puts("find found nothing");
  return t;
}

}  // namespace

int main() {
  runtime::init();
  std::printf("append %.3f\n", append_integers(10000000));
  std::printf("sort %.3f\n", sort_integers(1000000));
  std::printf("find %.3f\n", find_in_hash(100000, 1000000));
  return 0;
}
