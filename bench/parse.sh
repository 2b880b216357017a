#!/usr/bin/env bash
# Runs bench/parse.zol through the zol binary and the same matching in Python 3
# (re.findall over the same text; a loop over the list testing each value's type),
# and prints both times and their ratio (Zol / Python; below 1: Zol is faster).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
out=$("$zol" < bench/parse.zol 2>&1 | grep -E "^(text|block) ")
seconds() {  # "text 0:00:00.123 N" -> 0.123
  echo "$out" | awk -v what="$1" '$1 == what { split($2, t, ":"); print t[1] * 3600 + t[2] * 60 + t[3] }'
}
zol_text=$(seconds text)
zol_block=$(seconds block)
read -r py_text py_block < <(/usr/bin/python3 - <<'PY'
import re, time
text = "alpha,12345,beta gamma,9876.5\n" * 322581
start = time.perf_counter()
fields = re.findall(r"([^,\n]+)[,\n]", text)
t_text = time.perf_counter() - start
values = []
for i in range(1, 250001):
    values += [i, "s", "w", 1.5]
kinds = (int, str, str, float)
start = time.perf_counter()
ok = all(type(v) is kinds[k % 4] for k, v in enumerate(values))
t_block = time.perf_counter() - start
print("%.4f %.4f" % (t_text, t_block))
PY
)
printf 'text  (10 MB, copy captures): zol %.4f s  python re %.4f s  ratio %.2f\n' \
  "$zol_text" "$py_text" "$(echo "$zol_text / $py_text" | bc -l)"
printf 'block (1M values, datatypes): zol %.4f s  python loop %.4f s  ratio %.2f\n' \
  "$zol_block" "$py_block" "$(echo "$zol_block / $py_block" | bc -l)"
