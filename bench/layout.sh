#!/usr/bin/env bash
# Runs bench/layout.zol through the zol binary (no terminal: `layout` only builds
# face objects) and prints each workload's best time in milliseconds, then the
# two ratios the goals are stated in.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
out=$("$zol" < bench/layout.zol 2>&1)
if grep -q "^[a-z0-9-]*: wrong\|Error" <<< "$out"; then echo "$out"; exit 1; fi
awk '$1 ~ /^layout-/ {
  n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]
  ms[$1] = s * 1000; printf "%-18s %8.2f ms\n", $1, s * 1000 }
  END {
    printf "1000 / 100          %8.2f\n", ms["layout-1000"] / ms["layout-100"]
    printf "react / plain       %8.2f\n", ms["layout-1000-react"] / ms["layout-1000"]
  }' <<< "$out"
