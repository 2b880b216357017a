#!/usr/bin/env bash
# Runs the interpreter workloads of bench/interp/ in zol (bench_interp), Debian's python3 and
# lua5.4, and prints each time with the ratios Zol / Python and Zol / Lua (below 1:
# Zol is faster). Installs lua5.4 when it is missing.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench bench_interp
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v lua5.4 > /dev/null; then
  apt-get install -y lua5.4 > /dev/null || { apt-get update > /dev/null && apt-get install -y lua5.4 > /dev/null; }
fi
workloads=(fib repeat while calls foreach)
zol_out=$(./build-bench/bench/bench_interp $(printf "bench/interp/%s.zol " "${workloads[@]}") | sed 's/\.zol / /')
printf "%-10s %8s %8s %8s %10s %10s\n" workload zol python lua zol/python zol/lua
for w in "${workloads[@]}"; do
  z=$(echo "$zol_out" | awk -v f="bench/interp/$w" '$1 == f {print $2}' | head -1)
  p=$(/usr/bin/python3 -c "import time; t0=time.perf_counter(); exec(open('bench/interp/$w.py').read(), {}); print('%.3f' % (time.perf_counter()-t0))")
  l=$(lua5.4 -e "local t=os.clock() dofile('bench/interp/$w.lua') print(string.format('%.3f', os.clock()-t))")
  awk -v w="$w" -v z="$z" -v p="$p" -v l="$l" \
    'BEGIN { printf "%-10s %8.3f %8.3f %8.3f %10.2f %10.2f\n", w, z, p, l, z / p, z / l }'
done
echo "$zol_out" | grep '^exit-by'
