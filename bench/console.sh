#!/usr/bin/env bash
# The console loop on piped input: 100 000 one-line commands, then one command of
# 5 000 lines, fed to zol, `python3 -i` and `lua5.4 -i` doing the same work (output
# to /dev/null). The one-line commands are `k * 2`, valid in all three, whose
# results each prints; the long command builds a list of 5 000 numbers, one per
# line, and prints its length, so each console re-reads an open command on every
# line it adds. Each figure is the best of a few runs, less the program's start-up
# (the same program on empty input), and each ratio is zol over the other.
# python3 is the system's own, not a version manager's shim found first on PATH.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache   # zol keeps its history here, not in the user's

seq 1 100000 | sed 's/$/ * 2/' > "$work/lines"
{ echo 'length? ['; seq 1 5000; echo ']'; } > "$work/long.zol"
{ echo 'len(['; seq 1 5000 | sed 's/$/,/'; echo '])'; } > "$work/long.py"
{ echo 'print(#{'; seq 1 5000 | sed 's/$/,/'; echo '})'; } > "$work/long.lua"
: > "$work/empty"

/usr/bin/python3 - "$runs" "$work" "$zol" <<'PY'
import subprocess, sys, time
runs, work, zol = int(sys.argv[1]), sys.argv[2], sys.argv[3]
consoles = {"zol": [zol], "python3": ["/usr/bin/python3", "-i"], "lua5.4": ["lua5.4", "-i"]}
inputs = {"zol": {"lines": "lines", "long": "long.zol"},
          "python3": {"lines": "lines", "long": "long.py"},
          "lua5.4": {"lines": "lines", "long": "long.lua"}}

def best(argv, name):
    times = []
    for _ in range(runs):
        with open("%s/%s" % (work, name), "rb") as stdin:
            start = time.perf_counter()
            subprocess.run(argv, stdin=stdin, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True)
            times.append(time.perf_counter() - start)
    return min(times)

print("%-8s %16s %16s" % ("console", "100 000 lines s", "5 000-line cmd s"))
figures = {}
for name, argv in consoles.items():
    start_up = best(argv, "empty")
    figures[name] = [best(argv, inputs[name][kind]) - start_up for kind in ("lines", "long")]
    print("%-8s %16.3f %16.3f" % (name, figures[name][0], figures[name][1]))
for other in ("python3", "lua5.4"):
    print("zol / %-7s %9.2f %16.2f" % (other, figures["zol"][0] / figures[other][0],
                                       figures["zol"][1] / figures[other][1]))
PY
