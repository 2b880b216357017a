#!/usr/bin/env bash
# Capturing a child's output against Python: a child writes 100 MB to its standard
# output; Zol captures it with call/output into a string, Python with
# subprocess.run(capture_output=True) and a UTF-8 decode. The Zol side is timed
# from outside less the time of an empty script (start-up); Python times the call
# inside one process. Prints the best of three runs and the ratio (Zol / Python;
# below 1: Zol is faster).
# Usage: bench/call.sh [ZOL_BINARY] (default build-bench/zol, then build/zol).
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${1:-build-bench/zol}
[ -x "$zol" ] || zol=build/zol
ZOL=$(realpath "$zol")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
child="head -c 100000000 /dev/zero | tr '\\\\000' a"

# Best of three wall times of a zol script, in seconds.
zol_time() {
  local best=
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$ZOL" < "$1" > /dev/null
    end=$(date +%s.%N)
    best=$(awk -v b="$best" -v t="$(awk -v s="$start" -v e="$end" 'BEGIN{print e-s}')" \
      'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}
printf '' > "$work/empty.zol"
printf 'out: make string! 1000\ncall/shell/output {%s} out\nif 100000000 <> length? out [quit/return 1]\n' \
  "$child" > "$work/call.zol"
empty=$(zol_time "$work/empty.zol")
zol_call=$(awk -v t="$(zol_time "$work/call.zol")" -v e="$empty" 'BEGIN{print t-e}')
python=$(/usr/bin/python3 - "$child" <<'PY'
import subprocess, sys, time
best = None
for _ in range(3):
    start = time.perf_counter()
    out = subprocess.run(["/bin/sh", "-c", sys.argv[1]], capture_output=True).stdout.decode("utf-8", "replace")
    assert len(out) == 100000000
    t = time.perf_counter() - start
    best = t if best is None or t < best else best
print(best)
PY
)
awk -v z="$zol_call" -v p="$python" \
  'BEGIN { printf "call/output 100 MB: zol %.3f s, python %.3f s, ratio %.2f\n", z, p, z / p }'
