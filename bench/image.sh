#!/usr/bin/env bash
# Runs bench_image, then the same loads and save with the netpbm tools on the same
# files (output to /dev/null) and Python's zlib.decompress of the PNG's IDAT data
# (the inflate floor), and prints each time and the ratio Zol / tool (below 1: Zol
# is faster). Build first: cmake -S . -B build-bench -G Ninja
# -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON && ninja -C build-bench bench_image
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
zol=$(./build-bench/bench/bench_image "$dir")
echo "$zol"

best_of_three() {
  local best=""
  for _ in 1 2 3; do
    local start end took
    start=$(date +%s.%N)
    bash -c "$1" >/dev/null 2>&1
    end=$(date +%s.%N)
    took=$(echo "$end - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$took < $best" | bc)" = 1 ]; then best=$took; fi
  done
  echo "$best"
}

pngtopam=$(best_of_three "pngtopam -alphapam '$dir/picture.png' > /dev/null")
jpegtopnm=$(best_of_three "jpegtopnm '$dir/photo.jpg' > /dev/null")
pngtopam -alphapam "$dir/picture.png" > "$dir/picture.pam"
pamtopng=$(best_of_three "pamtopng '$dir/picture.pam' > /dev/null")
inflate=$(/usr/bin/python3 - "$dir/picture.png" <<'PY'
import struct, sys, time, zlib
data = open(sys.argv[1], 'rb').read()
at, idat = 8, b''
while at < len(data):
    n, kind = struct.unpack('>I4s', data[at:at + 8])
    if kind == b'IDAT':
        idat += data[at + 8:at + 8 + n]
    at += 12 + n
best = min((lambda s: (zlib.decompress(idat), time.perf_counter() - s)[1])(time.perf_counter()) for _ in range(3))
print(f"{best:.3f}")
PY
)
ratio() { printf "%s %s / %s %.3f = %.2f\n" "$1" "$(echo "$zol" | awk -v k="$1" '$1 == k {print $2}')" "$2" "$3" \
  "$(echo "$(echo "$zol" | awk -v k="$1" '$1 == k {print $2}') / $3" | bc -l)"; }
ratio load-png pngtopam "$pngtopam"
ratio load-png zlib-inflate "$inflate"
ratio load-jpeg jpegtopnm "$jpegtopnm"
ratio save-png pamtopng "$pamtopng"
