#!/usr/bin/env bash
# Runs bench/preprocessor.zol through the zol binary: a generated 1 MB script is
# loaded and then expanded by expand-directives, without directives and with a
# directive or a macro call every 50 lines. Prints each time and the ratio of
# expanding to loading the same text (below 1: expanding costs less).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
out=$("$zol" < bench/preprocessor.zol 2>&1 | grep -E "^(load|expand) ")
seconds() {  # "load plain 0:00:00.123 N" -> 0.123
  echo "$out" | awk -v what="$1" -v name="$2" '$1 == what && $2 == name { split($3, t, ":"); print t[1] * 3600 + t[2] * 60 + t[3] }'
}
for name in plain directives; do
  load=$(seconds load $name)
  expand=$(seconds expand $name)
  printf '%-10s (1 MB): load %.4f s  expand-directives %.4f s  ratio %.2f\n' \
    "$name" "$load" "$expand" "$(echo "$expand / $load" | bc -l)"
done
