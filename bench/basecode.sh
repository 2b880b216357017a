#!/usr/bin/env bash
# Runs bench_basecode and Python's base64.b64encode / b64decode on 100 MB of random
# bytes, best of three rounds each, and prints the times and ratios (Zol / Python;
# below 1: Zol is faster).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench bench_basecode
set -euo pipefail
cd "$(dirname "$0")/.."
zol=$(./build-bench/bench/bench_basecode)
python=$(/usr/bin/python3 - <<'PY'
import base64, os, time

data = os.urandom(100 << 20)

def best(fn):
    times = []
    for _ in range(3):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times)

text = base64.b64encode(data)
print("encode %.3f" % best(lambda: base64.b64encode(data)))
print("decode %.3f" % best(lambda: base64.b64decode(text)))
PY
)
for work in encode decode; do
  z=$(awk -v w=$work '$1 == w {print $2}' <<<"$zol")
  p=$(awk -v w=$work '$1 == w {print $2}' <<<"$python")
  printf '%-7s zol %ss  python %ss  ratio %s\n' "$work" "$z" "$p" "$(awk -v a="$z" -v b="$p" 'BEGIN {printf "%.2f", a / b}')"
done
