#!/usr/bin/env bash
# Compresses and inflates 100 MB of generated text and 100 MB of generated binary
# records with the program's zlib framing (bench_compression) and with
# /usr/bin/python3's zlib at level 1 and at its default level 6, and prints MB/s
# and compression ratios (input / output) for each; also our inflation of Python's
# level 6 streams, which use dynamic blocks.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench bench_compression
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
./build-bench/bench/bench_compression write "$dir"
python=$(/usr/bin/python3 - "$dir" <<'PY'
import sys, time, zlib

def best_of_three(fn):
    best = None
    for _ in range(3):
        start = time.perf_counter()
        result = fn()
        t = time.perf_counter() - start
        best = t if best is None or t < best else best
    return best, result

for name in ("text", "binary"):
    with open("%s/%s" % (sys.argv[1], name), "rb") as f:
        data = f.read()
    for level in (1, 6):
        t, packed = best_of_three(lambda: zlib.compress(data, level))
        print("compress-z%d %s %.4f %d" % (level, name, t, len(packed)))
        t, back = best_of_three(lambda: zlib.decompress(packed))
        assert back == data
        print("inflate-z%d %s %.4f %d" % (level, name, t, len(data)))
        if level == 6:
            with open("%s/%s.z6" % (sys.argv[1], name), "wb") as f:
                f.write(packed)
PY
)
zol=$(./build-bench/bench/bench_compression run "$dir")
printf '%s\n%s\n' "$zol" "$python" | awk '
  { work = $1; name = $2; secs = $3; bytes = $4; mbs = 100 / secs
    if (work ~ /^compress/) printf "%-12s %-6s %8.1f MB/s  ratio %.2f\n", work, name, mbs, 100e6 / bytes
    else printf "%-12s %-6s %8.1f MB/s\n", work, name, mbs }'
