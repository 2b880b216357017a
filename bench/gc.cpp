// bench_gc: time of a full collection and resident memory after compaction, for
// heaps of 10^4, 10^5 and 10^6 live cells.
//
// Each heap is a root block of blocks of 100 cells, half integers and half
// references to 16-character strings; as many garbage strings are allocated in
// between, so the first collection has half the frames to reclaim. Every size runs
// in a child process of its own so that resident figures do not mix.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "runtime/collector/collector.h"
#include "runtime/memory/memory.h"
#include "boot/runtime.h"
#include "runtime/core/values.h"

namespace {

using namespace zol;

constexpr int CELLS_PER_BLOCK = 100;
constexpr int COLLECTIONS = 5;

NodeRef heap_root = 0;
void mark_heap_root() { collector::mark_block(heap_root); }

double resident_mb() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double peak_mb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_maxrss) / 1024.0;
}

NodeRef make_string(char fill) {
  NodeRef s = memory::alloc_bytes(16);
  SeriesBuffer* b = memory::buffer_of(s);
  std::memset(b->data(), fill, 16);
  b->tail = 16;
  return s;
}

void build_heap(int cells) {
  heap_root = memory::alloc_cells(cells / CELLS_PER_BLOCK);
  collector::keep(mark_heap_root);
  for (int i = 0; i < cells / CELLS_PER_BLOCK; i++) {
    NodeRef block = memory::alloc_cells(CELLS_PER_BLOCK);
    *memory::alloc_tail_cell(heap_root) = Cell{T_BLOCK, 0, block, 0};
    for (int j = 0; j < CELLS_PER_BLOCK; j += 2) {
      *memory::alloc_tail_cell(block) = values::integer(j);
      NodeRef s = make_string(char('a' + j % 26));
      *memory::alloc_tail_cell(block) = Cell{T_STRING, 0, s, 0};
      make_string('x');                       // garbage
    }
  }
}

void run(int cells) {
  runtime::init();
  collector::collect();   // the first cycle's fixed costs (stack bounds) go into the base
  double base = resident_mb();
  double base_live = memory::stats(0, 1);
  build_heap(cells);
  double before = resident_mb();
  double total_ms = 0;
  for (int i = 0; i < COLLECTIONS; i++) {
    auto t0 = std::chrono::steady_clock::now();
    collector::collect();
    total_ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
  double live_mb = (memory::stats(0, 1) - base_live) / 1048576.0;
  double after = resident_mb();
  double per_collection = total_ms / COLLECTIONS;
  std::printf("%8d %9.2f %10.3f %8.1f %9.2f %9.2f %9.2f %7.2f\n", cells, live_mb, per_collection,
              per_collection * 1e6 / cells, before - base, after - base, peak_mb(),
              (after - base) / live_mb);
}

}  // namespace

int main() {
  std::printf("   cells   live MB  ms/cycle  ns/cell  RSS pre  RSS post   peak MB  post/live\n");
  for (int cells : {10000, 100000, 1000000}) {
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
      run(cells);
      std::fflush(stdout);
      _exit(0);
    }
    waitpid(pid, nullptr, 0);
  }
  return 0;
}
