#!/usr/bin/env bash
# Start-up time: runs zol on empty input, Debian's python3 (-c pass) and lua5.4
# (-e '') many times each, and prints the median and best wall time of each, zol's
# resident memory once started (waiting for input), then zol's start-up split into
# decoding the boot image and evaluating the library (bench_startup) with the
# image's size. python3 is the system's own,
# not a version manager's shim found first on PATH. Installs lua5.4 when it is
# missing.
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
medians = {}
for name, argv in programs:
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
        times.append((time.perf_counter() - start) * 1000)
    times.sort()
    medians[name] = times[len(times) // 2]
    print("%-8s %10.2f %10.2f" % (name, medians[name], times[0]))
print("zol / python3 %.2f, zol / lua5.4 %.2f (medians)" %
      (medians["zol"] / medians["python3"], medians["zol"] / medians["lua5.4"]))
# The resident memory once start-up is over: zol waits for input on an open pipe.
child = subprocess.Popen([zol], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
time.sleep(0.5)
with open("/proc/%d/status" % child.pid) as status:
    rss = next(line.split()[1] for line in status if line.startswith("VmRSS:"))
child.stdin.close()
child.wait()
print("zol resident after start-up: %s KiB" % rss)
PY
./build-bench/bench/bench_startup
