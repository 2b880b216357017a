#!/usr/bin/env bash
# Runs bench_series and the same work in Python 3 (list append, sorted, dict lookup),
# and prints both times and their ratio (Zol / Python; below 1: Zol is faster).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench bench_series
set -euo pipefail
cd "$(dirname "$0")/.."
zol=$(./build-bench/bench/bench_series)
python=$(/usr/bin/python3 - <<'PY'
import random, time

def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start

def append(n=10_000_000):
    block = []
    add = block.append
    for i in range(n):
        add(i)

rng = random.Random(11)
values = [rng.getrandbits(31) for _ in range(1_000_000)]

size, finds = 100_000, 1_000_000
positions = {i * 7: i for i in range(size)}
rng = random.Random(5)
keys = [rng.randrange(size) * 7 for _ in range(finds)]

def find():
    found = 0
    for k in keys:
        found += positions[k]

print("append %.3f" % timed(append))
print("sort %.3f" % timed(lambda: sorted(values)))
print("find %.3f" % timed(find))
PY
)
join <(sort <<<"$zol") <(sort <<<"$python") |
  awk 'BEGIN { printf "%-8s %10s %10s %8s\n", "work", "zol", "python", "ratio" }
       { printf "%-8s %9.3fs %9.3fs %8.2f\n", $1, $2, $3, $2 / $3 }'
