#!/usr/bin/env bash
# Writes and reads back about 1 million values with ZOLBIN in both encodings
# (bench_zolbin) and the same structure with Python 3's pickle.dumps and
# pickle.loads, and prints the times and the ratios (Zol time / Python time; the
# goal is at most 1).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench bench_zolbin
set -euo pipefail
cd "$(dirname "$0")/.."
zol=$(./build-bench/bench/bench_zolbin)
python=$(/usr/bin/python3 - <<'PY'
import pickle, time
words = ["red", "green", "blue", "alpha", "beta", "gamma", "delta", "omega"]
shared = [[i, 2, 3] for i in range(100)]
data = [[i, i % 977 + 0.25, "item-%d" % i, words[i % 8], [i % 50, -7], shared[i % 100]]
        for i in range(100000)]
def best(fn):
    times = []
    for _ in range(5):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times) * 1000
blob = pickle.dumps(data)
print("pickle dumps %.1f ms loads %.1f ms" % (best(lambda: pickle.dumps(data)),
                                               best(lambda: pickle.loads(blob))))
PY
)
echo "$zol"
echo "$python"
awk -v z="$zol" -v p="$python" 'BEGIN {
  n = split(z, lines, "\n"); split(p, py, " ");
  for (i = 1; i <= n; i++) { split(lines[i], f, " ");
    printf "%s encode ratio %.2f decode ratio %.2f\n", f[1], f[3] / py[3], f[6] / py[6] } }'
