#!/usr/bin/env bash
# File I/O against Python: reads and writes a 200 MB file as binary and as text,
# and splits a 100 MB text into lines (read/lines against str.splitlines()). The
# Zol side runs each operation as a script through the zol binary, timed from
# outside less the time of an empty script (start-up); Python times the same
# operations inside one process. Prints the best of three runs and the ratio
# (Zol / Python; below 1: Zol is faster).
# Usage: bench/files.sh [ZOL_BINARY] (default build-bench/zol, then build/zol).
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${1:-build-bench/zol}
[ -x "$zol" ] || zol=build/zol
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work" <<'PY'
import os, sys
w = sys.argv[1]
line = b"the quick brown fox jumps over the lazy dog 0123456789\n"
with open(os.path.join(w, "big.txt"), "wb") as f:
    f.write(line * (200 * 1000 * 1000 // len(line)))
with open(os.path.join(w, "lines.txt"), "wb") as f:
    f.write(line * (100 * 1000 * 1000 // len(line)))
PY

seconds() { date +%s.%N; }
# Best of three wall times of a zol script, in seconds.
zol_time() {
  local best=
  for _ in 1 2 3; do
    local start end
    start=$(seconds)
    (cd "$work" && "$ZOL" < "$1" > /dev/null)
    end=$(seconds)
    best=$(awk -v b="$best" -v t="$(awk -v s="$start" -v e="$end" 'BEGIN{print e-s}')" \
      'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}
ZOL=$(realpath "$zol")
printf '' > "$work/empty.zol"
cat > "$work/read-binary.zol" <<<'x: read/binary %big.txt'
cat > "$work/read-text.zol" <<<'x: read %big.txt'
cat > "$work/write-binary.zol" <<<'x: read/binary %big.txt write/binary %out.bin x'
cat > "$work/write-text.zol" <<<'x: read %big.txt write %out.txt x'
cat > "$work/read-lines.zol" <<<'x: read/lines %lines.txt'
base=$(zol_time "$work/empty.zol")
declare -A z
for op in read-binary read-text write-binary write-text read-lines; do
  z[$op]=$(awk -v t="$(zol_time "$work/$op.zol")" -v b="$base" 'BEGIN { print t - b }')
done
# A write is measured as read + write; the read's own time is taken off.
z[write-binary]=$(awk -v a="${z[write-binary]}" -v r="${z[read-binary]}" 'BEGIN { print a - r }')
z[write-text]=$(awk -v a="${z[write-text]}" -v r="${z[read-text]}" 'BEGIN { print a - r }')

python=$(/usr/bin/python3 - "$work" <<'PY'
import os, sys, time
w = sys.argv[1]
big, lines = os.path.join(w, "big.txt"), os.path.join(w, "lines.txt")
def best(fn):
    b = None
    for _ in range(3):
        s = time.perf_counter(); fn(); t = time.perf_counter() - s
        b = t if b is None or t < b else b
    return b
def read_binary():
    with open(big, "rb") as f: return f.read()
def read_text():
    with open(big, encoding="utf-8") as f: return f.read()
data, text = read_binary(), read_text()
def write_binary():
    with open(os.path.join(w, "out.bin"), "wb") as f: f.write(data)
def write_text():
    with open(os.path.join(w, "out.txt"), "w", encoding="utf-8") as f: f.write(text)
def read_lines():
    with open(lines, encoding="utf-8") as f: return f.read().splitlines()
for name, fn in [("read-binary", read_binary), ("read-text", read_text),
                 ("write-binary", write_binary), ("write-text", write_text),
                 ("read-lines", read_lines)]:
    print(name, "%.4f" % best(fn))
PY
)
while read -r name ptime; do
  awk -v n="$name" -v z="${z[$name]}" -v p="$ptime" \
    'BEGIN { printf "%-13s zol %.3f s  python %.3f s  ratio %.2f\n", n, z, p, z / p }'
done <<<"$python"
