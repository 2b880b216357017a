#!/usr/bin/env bash
# Runs bench_checksum (CRC-32 and SHA-256 of 100 MB) and the same work with
# /usr/bin/python3's zlib.crc32 and hashlib.sha256 on the same bytes, and prints
# both times and their ratio (Zol / Python; below 1: Zol is faster).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench bench_checksum
set -euo pipefail
cd "$(dirname "$0")/.."
data=$(mktemp)
trap 'rm -f "$data"' EXIT
zol=$(./build-bench/bench/bench_checksum "$data")
python=$(/usr/bin/python3 - "$data" <<'PY'
import hashlib, sys, time, zlib

with open(sys.argv[1], "rb") as f:
    data = f.read()

def best_of_five(fn):
    best = None
    for _ in range(5):
        start = time.perf_counter()
        result = fn()
        t = time.perf_counter() - start
        best = t if best is None or t < best else best
    return best, result

t, crc = best_of_five(lambda: zlib.crc32(data))
print("crc32 %.4f %08x" % (t, crc))
t, digest = best_of_five(lambda: hashlib.sha256(data).digest())
print("sha256 %.4f %s" % (t, digest[:4].hex()))
PY
)
while read -r name ztime zsum; do
  read -r _ ptime psum < <(grep "^$name " <<<"$python")
  [ "$zsum" = "$psum" ] || { echo "$name: results differ ($zsum, $psum)" >&2; exit 1; }
  awk -v n="$name" -v z="$ztime" -v p="$ptime" \
    'BEGIN { printf "%-7s zol %.3f s  python %.3f s  ratio %.2f\n", n, z, p, z / p }'
done <<<"$zol"
