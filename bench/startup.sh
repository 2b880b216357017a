#!/usr/bin/env bash
# Start-up time: runs zol on empty input, Debian's python3 (-c pass) and lua5.4
# (-e '') many times each, and prints the median and best wall time of each, then
# zol's start-up split into lexing and evaluation (bench_startup). python3 is the
# system's own, not a version manager's shim found first on PATH. Installs lua5.4
# when it is missing.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOL_BENCH=ON
# && ninja -C build-bench zol bench_startup
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v lua5.4 > /dev/null; then
  apt-get install -y lua5.4 > /dev/null || { apt-get update > /dev/null && apt-get install -y lua5.4 > /dev/null; }
fi
runs=${RUNS:-200}
/usr/bin/python3 - "$runs" ./build-bench/zol <<'PY'
import subprocess, sys, time
runs, zol = int(sys.argv[1]), sys.argv[2]
programs = [("zol", [zol]), ("python3", ["/usr/bin/python3", "-c", "pass"]), ("lua5.4", ["lua5.4", "-e", ""])]
print("%-8s %10s %10s" % ("program", "median ms", "best ms"))
for name, argv in programs:
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
        times.append((time.perf_counter() - start) * 1000)
    times.sort()
    print("%-8s %10.2f %10.2f" % (name, times[len(times) // 2], times[0]))
PY
./build-bench/bench/bench_startup
