// ZOLBIN speed: a generated block of about 1 million values, written and read back
// in both encodings; the best of five rounds of each is printed in milliseconds.
//
// The block holds 100,000 records of ten values each, the last a block shared by
// many records (one of 100):
//   [1234 98.25 "item-1234" red [12 -7] shared]   with shared: [1 2 3]
// bench/zolbin.sh builds the same structure in Python (lists, ints, floats, strs,
// the shared lists as one object each) and times pickle.dumps and pickle.loads.
#include <chrono>
#include <cstdio>
#include <string>

#include "boot/runtime.h"
#include "interpreter/lexer/load.h"
#include "runtime/collector/collector.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/memory/memory.h"
#include "runtime/zolbin/zolbin.h"

namespace {

using namespace zol;
using Clock = std::chrono::steady_clock;

constexpr int RECORDS = 100000;
constexpr int SHARED = 100;
const char* const WORDS[] = {"red", "green", "blue", "alpha", "beta", "gamma", "delta", "omega"};

// Each record's text, then its last cell replaced by one of the shared blocks.
Cell generated() {
  std::string text;
  for (int i = 0; i < SHARED; i++) text += "[" + std::to_string(i) + " 2 3] ";
  for (int i = 0; i < RECORDS; i++)
    text += "[" + std::to_string(i) + " " + std::to_string(i % 977) + ".25 \"item-" +
            std::to_string(i) + "\" " + WORDS[i % 8] + " [" + std::to_string(i % 50) + " -7] x]\n";
  Cell* all = stack::push_unset();
  lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), all);
  for (int i = 0; i < RECORDS; i++) {
    Cell record = *block::cell_at(all, SHARED + i);
    *block::cell_at(&record, 5) = *block::cell_at(all, i % SHARED);
  }
  Cell* records = stack::push_unset();
  *records = *all;
  series_cell::set_head(records, SHARED);
  return *records;   // stays on the value stack, so the collector keeps it
}

template <class Fn>
double best_ms(Fn fn) {
  double best = 1e9;
  for (int round = 0; round < 5; round++) {
    collector::collect();
    auto start = Clock::now();
    fn();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  runtime::init();
  Cell data = generated();
  for (auto [name, encoding] : {std::pair{"standard", zolbin::Encoding::STANDARD},
                                std::pair{"compact", zolbin::Encoding::COMPACT}}) {
    Cell* image = stack::push_unset();
    double write = best_ms([&] { *image = zolbin::encode(&data, encoding); });
    SeriesBuffer* b = memory::buffer_of(series_cell::node(image));
    std::string bytes(reinterpret_cast<const char*>(b->head()), b->used_bytes());
    Cell* target = stack::push_unset();
    double read = best_ms([&] {
      block::make_at(target, 4);
      zolbin::decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), target,
                     image);
    });
    Cell back = *block::cell_at(target, 0);
    std::printf("%s encode %.1f ms decode %.1f ms (%.1f MB, %d records read back)\n", name, write,
                read, double(bytes.size()) / (1 << 20), block::length(&back));
  }
  return 0;
}
