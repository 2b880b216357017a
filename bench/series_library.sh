#!/usr/bin/env bash
# Runs bench/series_library.zol through the zol binary and the same work in Python 3
# (str.split of the same text; a loop that appends to a list), and prints both
# times and their ratio (Zol / Python; below 1: Zol is faster).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
out=$("$zol" < bench/series_library.zol 2>&1 | grep -E "^(split|collect) ")
seconds() {  # "split 0:00:00.123 N" -> 0.123
  echo "$out" | awk -v what="$1" '$1 == what { split($2, t, ":"); print t[1] * 3600 + t[2] * 60 + t[3] }'
}
zol_split=$(seconds split)
zol_collect=$(seconds collect)
read -r py_split py_collect < <(/usr/bin/python3 - <<'PY'
import time
text = "abcdefghi," * 1000000
start = time.perf_counter()
pieces = text.split(",")
t_split = time.perf_counter() - start
start = time.perf_counter()
kept = []
for i in range(1, 1000001):
    kept.append(i)
t_collect = time.perf_counter() - start
print("%.4f %.4f" % (t_split, t_collect))
PY
)
printf 'split   (10 MB, 1M pieces):  zol %.4f s  python str.split %.4f s  ratio %.2f\n' \
  "$zol_split" "$py_split" "$(echo "$zol_split / $py_split" | bc -l)"
printf 'collect (1M kept integers):  zol %.4f s  python append loop %.4f s  ratio %.2f\n' \
  "$zol_collect" "$py_collect" "$(echo "$zol_collect / $py_collect" | bc -l)"
