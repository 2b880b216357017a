#!/usr/bin/env bash
# Runs bench/rtd.zol through the zol binary and comparable string work in Python 3
# (the same seven segment kinds as token lists, read by a recursive descent with a
# style stack, the ranges grouped through a dictionary and put in order with one
# stable sort), and prints both times and their ratio (Zol / Python).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
zol_out=$("$zol" < bench/rtd.zol 2>&1)
if grep -q "^[a-z0-9-]* wrong" <<< "$zol_out"; then echo "$zol_out"; exit 1; fi
py_out=$(/usr/bin/python3 - <<'PY'
import time

KINDS = [
    [("open", "b"), "bold ", ("close", "b")],
    [("open", "i"), ["italic "]],
    [("colour", (255, 0, 0)), ["red "]],
    [("path", ("b", "u")), ["both "]],
    [("open", ("f", 12, "Mono")), "font ", ("close", "f")],
    [("open", ("bg", (0, 0, 255))), "back ", ("close", "bg")],
    ["plain "],
]
VALUE = {"b": ["bold"], "i": ["italic"], "u": ["underline"], "s": ["strike"]}

def layout(tokens):
    text, out, stack = [], [], []
    length = [0]
    def add(s):
        text.append(s)
        length[0] += len(s)
    def pop(start, style):
        if start < length[0]:
            name = style if isinstance(style, str) else style[0]
            values = VALUE.get(name) or (list(style[1:]) if name == "f" else ["backdrop", style[1]])
            out.append([(start + 1, length[0] - start)] + values)
            return True
        return False
    def walk(items):
        i = 0
        while i < len(items):
            t = items[i]
            if isinstance(t, str):
                add(t)
            elif t[0] == "open":
                stack.append((length[0], t[1]))
                if isinstance(items[i + 1], list):
                    walk(items[i + 1]); i += 1
                else:
                    while isinstance(items[i + 1], str):
                        i += 1; add(items[i])
                    i += 1   # the closing tag
                start, style = stack.pop()
                pop(start, style)
            elif t[0] == "colour":
                start = length[0]
                walk(items[i + 1]); i += 1
                out.append([(start + 1, length[0] - start), t[1]])
            elif t[0] == "path":
                start = length[0]
                walk(items[i + 1]); i += 1
                first = True
                for name in reversed(t[1]):
                    if pop(start, name) and not first:
                        out[-2].extend(out.pop()[1:])
                    first = False
            i += 1
    walk(tokens)
    groups, by_range = [], {}
    for g in out:
        if g[0] in by_range:
            into = by_range[g[0]]
            if isinstance(g[1], tuple):
                into[1:1] = g[1:]
            else:
                into.extend(g[1:])
        else:
            by_range[g[0]] = g
            groups.append(g)
    groups.sort(key=lambda g: (g[0][0], -g[0][1]))
    return "".join(text), [v for g in groups for v in g]

for n in (1000, 10000):
    tokens = [t for i in range(n) for t in KINDS[i % 7]]
    t0 = time.perf_counter()
    text, data = layout(tokens)
    print("segments-%d" % n, "%.6f" % (time.perf_counter() - t0))
    assert sum(1 for v in data if isinstance(v, tuple) and len(v) == 2) == n - n // 7
PY
)
seconds() {  # NAME TEXT -> seconds (zol prints 0:00:00.123, python 0.123)
  awk -v what="$1" '$1 == what { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' <<< "$2"
}
for name in segments-1000 segments-10000; do
  z=$(seconds "$name" "$zol_out")
  p=$(seconds "$name" "$py_out")
  printf '%-16s zol %8.4f s  python %8.4f s  ratio %6.2f\n' "$name" "$z" "$p" "$(echo "$z / $p" | bc -l)"
done
