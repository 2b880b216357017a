#!/usr/bin/env bash
# The cost of the evaluation tools: recursive fib 20 run plain, under `profile`
# and under `trace/all` (output to /dev/null), each traced run as a factor over
# the plain one; beside them python3's pure-Python `profile` module and a
# `sys.settrace` tracer that prints a line per event on the same function.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
timing=$(mktemp)
trap 'rm -f "$timing"' EXIT
run_zol() {  # CODE -> seconds, timed inside the program (start-up left out)
  printf 'fib: func [n] [either n < 2 [n] [(fib n - 1) + fib n - 2]]\nt: now/precise\n%s\nwrite %%%s to string! to float! difference now/precise t\n' \
    "$1" "$timing" | "$zol" > /dev/null 2>&1
  cat "$timing"
}
base=$(run_zol 'fib 20')
prof=$(run_zol 'profile [fib 20]')
trac=$(run_zol 'trace/all [fib 20]')
py=$(/usr/bin/python3 - <<'PY'
import io, profile, sys, time
def fib(n):
    return n if n < 2 else fib(n - 1) + fib(n - 2)
def timed(work):
    t0 = time.perf_counter(); work(); return time.perf_counter() - t0
base = timed(lambda: fib(20))
p = profile.Profile()
prof = timed(lambda: (p.runcall(fib, 20), p.print_stats(file=io.StringIO()) if False else None))
out = open("/dev/null", "w")
def tracer(frame, event, arg):
    print(event, frame.f_code.co_name, frame.f_lineno, repr(arg)[:30], file=out)
    return tracer
def traced():
    sys.settrace(tracer); fib(20); sys.settrace(None)
trac = timed(traced)
print(base, prof, trac)
PY
)
read -r pbase pprof ptrac <<< "$py"
printf 'zol     plain %.4f s  profile x%.1f  trace/all x%.1f\n' "$base" "$(echo "$prof / $base" | bc -l)" "$(echo "$trac / $base" | bc -l)"
printf 'python3 plain %.4f s  profile x%.1f  settrace  x%.1f\n' "$pbase" "$(echo "$pprof / $pbase" | bc -l)" "$(echo "$ptrac / $pbase" | bc -l)"
