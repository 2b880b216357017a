#!/usr/bin/env bash
# Runs bench_map and the same work with Python 3 dicts (str keys for both the word
# and the string case), and prints both times and their ratio (Zol / Python; below
# 1: Zol is faster). Build first: cmake -S . -B build-bench -G Ninja
# -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON && ninja -C build-bench bench_map
set -euo pipefail
cd "$(dirname "$0")/.."
zol=$(./build-bench/bench/bench_map)
python=$(/usr/bin/python3 - <<'PY'
import random, sys, time

KEYS, OPERATIONS = 100_000, 1_000_000

def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start

def run(kind, keys):
    rng = random.Random(3)
    puts = [keys[rng.randrange(KEYS)] for _ in range(OPERATIONS)]
    rng = random.Random(4)
    selects = [keys[rng.randrange(KEYS)] for _ in range(OPERATIONS)]
    table = {}
    def put():
        for i, k in enumerate(puts):
            table[k] = i
    def select():
        total = 0
        for k in selects:
            total += table[k]
    print("put-%s %.3f" % (kind, timed(put)))
    for i, k in enumerate(keys):
        table[k] = i
    print("select-%s %.3f" % (kind, timed(select)))

run("word", [sys.intern("k%d" % i) for i in range(KEYS)])
run("string", ["k%d" % i for i in range(KEYS)])
PY
)
join <(sort <<<"$zol") <(sort <<<"$python") |
  awk 'BEGIN { printf "%-14s %10s %10s %8s\n", "work", "zol", "python", "ratio" }
       { printf "%-14s %9.3fs %9.3fs %8.2f\n", $1, $2, $3, $2 / $3 }'
