#!/usr/bin/env bash
# Loads a generated 20 MB source text with the lexer (bench_load) and the same
# records as a JSON document of about the same size with Python 3's json.loads, and
# prints both speeds and their ratio (Zol MB/s / Python MB/s; above 1: Zol is faster).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench bench_load
set -euo pipefail
cd "$(dirname "$0")/.."
json=$(mktemp)
trap 'rm -f "$json"' EXIT
zol=$(./build-bench/bench/bench_load "$json")
python=$(/usr/bin/python3 - "$json" <<'PY'
import json, sys, time
text = open(sys.argv[1], encoding="utf-8").read()
best = min(
    (lambda start: (json.loads(text), time.perf_counter() - start)[1])(time.perf_counter())
    for _ in range(5))
print("python %.1f MB/s (%.1f MB)" % (len(text) / 2**20 / best, len(text) / 2**20))
PY
)
echo "$zol"
echo "$python"
awk -v z="$zol" -v p="$python" 'BEGIN { split(z, a, " "); split(p, b, " "); printf "ratio %.2f\n", a[2] / b[2] }'
