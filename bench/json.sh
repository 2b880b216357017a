#!/usr/bin/env bash
# Times load-json of a 20 MB JSON document (bench_load's records) and to-json of
# the result, best of five, against Python 3's json.loads and json.dumps of the
# same text, and prints the times and their ratios (Zol / Python; below 1: Zol is
# faster). Then the same for load-csv and to-csv against Python's csv module on a
# table made from the same records.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench zol bench_load
set -euo pipefail
cd "$(dirname "$0")/.."
zol=$(realpath "${ZOL:-./build-bench/zol}")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
./build-bench/bench/bench_load "$dir/doc.json" > /dev/null
/usr/bin/python3 - "$dir" <<'PY'
import csv, json, sys
rows = [[str(v) for v in (r.values() if isinstance(r, dict) else r)]
        for r in json.load(open(sys.argv[1] + "/doc.json", encoding="utf-8"))]
width = max(len(r) for r in rows)
rows = [r + [""] * (width - len(r)) for r in rows]
with open(sys.argv[1] + "/table.csv", "w", encoding="utf-8", newline="") as f:
    csv.writer(f, lineterminator="\n").writerows(rows)
PY
# Zol: the best of five times of each step, in seconds, one line each.
cat > "$dir/bench.zol" <<'ZOL'
best: func [code /local t d] [
    t: none
    loop 5 [d: to float! dt code t: either t [min t d] [d]]
    print ["time" t]
]
text: read %doc.json
best [v: load-json text]
best [to-json v]
table: read %table.csv
best [rows: load-csv table]
best [to-csv rows]
ZOL
zol_times=$(cd "$dir" && "$zol" < bench.zol | awk '$1 == "time" { print $2 }')
py_times=$(/usr/bin/python3 - "$dir" <<'PY'
import csv, io, json, sys, time
def best(f):
    t = None
    for _ in range(5):
        start = time.perf_counter(); f(); d = time.perf_counter() - start
        t = d if t is None else min(t, d)
    return t
text = open(sys.argv[1] + "/doc.json", encoding="utf-8").read()
v = json.loads(text)
table = open(sys.argv[1] + "/table.csv", encoding="utf-8", newline="").read()
rows = list(csv.reader(io.StringIO(table)))
def write():
    out = io.StringIO(); csv.writer(out, lineterminator="\n").writerows(rows)
print(best(lambda: json.loads(text)))
print(best(lambda: json.dumps(v, ensure_ascii=False, separators=(",", ":"))))
print(best(lambda: list(csv.reader(io.StringIO(table)))))
print(best(write))
PY
)
size=$(stat -c %s "$dir/doc.json")
csv_size=$(stat -c %s "$dir/table.csv")
paste <(printf '%s\n' load-json to-json load-csv to-csv) <(echo "$zol_times") <(echo "$py_times") |
  awk -v mb="$size" -v cmb="$csv_size" '{
    size = ($1 ~ /csv/) ? cmb : mb
    printf "%-9s (%.1f MB): zol %.3f s  python %.3f s  ratio %.2f\n", $1, size / 2^20, $2, $3, $2 / $3 }'
