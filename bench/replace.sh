#!/usr/bin/env bash
# Times replace/all of CR LF by LF on 10 and 20 MB texts (and a replacement of the
# same length) against Python 3's str.replace, and save then load of about 20 MB
# of records through a file against json.dump and json.load of the same records.
# Prints the times and their ratios (Zol / Python; below 1: Zol is faster).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zol=$(realpath "${ZOL:-$here/../build-bench/zol}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The same records as Zol source and as JSON, about 20 MB of each.
/usr/bin/python3 - <<'PY'
import json, random
rng = random.Random(1)
tags = ["red", "green", "blue", "alpha", "beta", "gamma", "delta", "omega"]
zol, data, size, i = [], [], 0, 0
while size < 20 << 20:
    r = {"id": i, "name": "item-%d" % rng.randrange(100000),
         "score": rng.randrange(10000) + rng.randrange(100) / 100,
         "tags": [rng.choice(tags) for _ in range(1 + rng.randrange(3))],
         "at": [rng.randrange(2000) - 1000 for _ in range(3)]}
    line = '[id %d name "%s" score %r tags [%s] at [%d %d %d]]\n' % (
        r["id"], r["name"], r["score"], " ".join(r["tags"]), *r["at"])
    zol.append(line)
    data.append(r)
    size += len(line)
    i += 1
open("records.zol", "w").write("".join(zol))
json.dump(data, open("records.json", "w"))
PY
out=$("$zol" < "$here/replace.zol" 2>&1 | grep -E "^(crlf|same|save|load) ")
read -r -d '' python_side <<'PY' || true
import json, time
def crlf(mb):
    line = "abcdefghijklmnopqrstuvwxyz0123456789.,;\r\n"
    return line * (mb * 1048576 // len(line))
for mb in (10, 20):
    text = crlf(mb)
    t = time.perf_counter(); text = text.replace("\r\n", "\n"); print("crlf", mb, time.perf_counter() - t)
text = crlf(10)
t = time.perf_counter(); text = text.replace("\r\n", "\n\r"); print("same", 10, time.perf_counter() - t)
data = json.load(open("records.json"))
t = time.perf_counter(); json.dump(data, open("saved.json", "w")); print("save", 20, time.perf_counter() - t)
t = time.perf_counter(); json.load(open("saved.json")); print("load", 20, time.perf_counter() - t)
PY
py=$(/usr/bin/python3 -c "$python_side")
seconds() {  # the Zol line "crlf 10 0:00:00.123 N" -> 0.123
  echo "$out" | awk -v w="$1" -v mb="$2" '$1 == w && $2 == mb { split($3, t, ":"); print t[1] * 3600 + t[2] * 60 + t[3] }'
}
for row in "crlf 10" "crlf 20" "same 10" "save 20" "load 20"; do
  set -- $row
  z=$(seconds "$1" "$2")
  p=$(echo "$py" | awk -v w="$1" -v mb="$2" '$1 == w && $2 == mb { print $3 }')
  printf '%-5s %2s MB:  zol %.4f s  python %.4f s  ratio %.1f\n' "$1" "$2" "$z" "$p" "$(echo "$z / $p" | bc -l)"
done
