#!/usr/bin/env bash
# Runs bench/reactivity.zol through the zol binary and the same work in Python 3
# (a dictionary from source object to its relations, a list as the queue, try/except
# around each reaction), and prints both times and their ratio (Zol / Python).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
zol_out=$("$zol" < bench/reactivity.zol 2>&1)
if grep -q "^[a-z-]*: wrong" <<< "$zol_out"; then echo "$zol_out"; exit 1; fi
py_out=$(/usr/bin/python3 - <<'PY'
import time

class Reactor:
    """Fields whose sets run the relations that watch them."""
    def __init__(self, table, **fields):
        object.__setattr__(self, "_table", table)
        for k, v in fields.items():
            object.__setattr__(self, k, v)
    def __setattr__(self, name, value):
        object.__setattr__(self, name, value)
        self._table.check(self, name)

class Table:
    def __init__(self):
        self.relations = {}   # source object id -> [(field, reaction)]
        self.queue = []
        self.busy = False
    def react(self, source, field, reaction):
        self.relations.setdefault(id(source), []).append((field, reaction))
    def check(self, source, field):
        rels = self.relations.get(id(source))
        if not rels:
            return
        for f, reaction in rels:
            if f == field:
                self.queue.append(reaction)
        if self.busy:
            return
        self.busy = True   # nested checks only queue: a chain never deepens the stack
        try:
            while self.queue:
                reaction = self.queue.pop()
                try:
                    reaction()
                except Exception as e:
                    print(e)
        finally:
            self.busy = False

n = 10000
def timed(name, work):
    t0 = time.perf_counter()
    work()
    print(name, "%.6f" % (time.perf_counter() - t0))

table = Table()
reactors = [Reactor(table, x=0, y=0) for _ in range(n)]
def build():
    for r in reactors:
        table.react(r, "x", lambda r=r: setattr(r, "y", r.x + 1))
timed("build", build)

table = Table()
chain = [Reactor(table, x=0) for _ in range(n)]
for a, b in zip(chain, chain[1:]):
    table.react(a, "x", lambda a=a, b=b: setattr(b, "x", a.x + 1))
timed("chain", lambda: setattr(chain[0], "x", 1))
assert chain[-1].x == n

table = Table()
src = Reactor(table, x=0)
total = [0]
def add():
    total[0] += src.x
for _ in range(n):
    table.react(src, "x", add)
def fan():
    for i in range(1, 11):
        src.x = i
timed("fan-out", fan)
assert total[0] == n * 55

table = Table()
reactors = [Reactor(table, x=0, y=0) for _ in range(n)]
for r in reactors:
    table.react(r, "x", lambda r=r: setattr(r, "y", r.x + 1))
quiet = Reactor(table, x=0)
def sets():
    for i in range(1, 100001):
        quiet.x = i
timed("unwatched-full", sets)
table = Table()
quiet = Reactor(table, x=0)
timed("unwatched-empty", sets)
PY
)
seconds() {  # NAME TEXT -> seconds (zol prints 0:00:00.123, python 0.123)
  awk -v what="$1" '$1 == what { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' <<< "$2"
}
for name in build chain fan-out unwatched-full unwatched-empty; do
  z=$(seconds "$name" "$zol_out")
  p=$(seconds "$name" "$py_out")
  printf '%-16s zol %8.4f s  python %8.4f s  ratio %6.2f\n' "$name" "$z" "$p" "$(echo "$z / $p" | bc -l)"
done
