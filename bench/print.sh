#!/usr/bin/env bash
# One million `print`s of a short string into a pipe, in zol and in python3, with
# the ratio Zol / Python (below 1: Zol is faster). Each zol print is written out
# before it returns (no output waits in a buffer between two prints), where Python
# buffers a pipe's output in blocks (its default: PYTHONUNBUFFERED is cleared).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" | cat > /dev/null
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
}
run_zol() { echo 'repeat i 1000000 [print "hello"]' | "$zol"; }
run_python() { env -u PYTHONUNBUFFERED /usr/bin/python3 -c 'for i in range(1000000): print("hello")'; }
z=$(seconds run_zol)
p=$(seconds run_python)
printf "%-24s %8s %8s %10s\n" workload zol python zol/python
awk -v z="$z" -v p="$p" 'BEGIN { printf "%-24s %8.3f %8.3f %10.2f\n", "1M print into a pipe", z, p, z / p }'
