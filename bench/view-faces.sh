#!/usr/bin/env bash
# Runs bench/view-faces.zol through the zol binary (the real terminal backend, no
# terminal: the widgets are built and updated, nothing is drawn) and prints each
# workload's time in milliseconds.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
out=$("$zol" < bench/view-faces.zol 2>&1)
if grep -q "^[a-z-]*: wrong\|still shown\|Error" <<< "$out"; then echo "$out"; exit 1; fi
awk '$1 ~ /^(show|texts-auto-sync|texts-no-sync|unview|facets)$/ {
  n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]
  printf "%-16s %8.2f ms\n", $1, s * 1000 }' <<< "$out"
