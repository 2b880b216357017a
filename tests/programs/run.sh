#!/usr/bin/env bash
# Runs each program in this folder through the zol binary twice, once with the
# collector left alone and once under its stress mode (every series allocation a
# moving collection), and checks both transcripts against the program's .out file.
# A NodeRef or pointer that C++ code keeps stale across an allocation changes the
# stressed transcript or ends the process.
# Usage: run.sh ZOL_BINARY [PROGRAM.zol ...]; the stress stride and offset come
# from ZOL_GC_STRESS / ZOL_GC_STRESS_OFFSET when set (1 and 0 otherwise).
set -u
zol=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
[ $# -gt 0 ] || set -- "$here"/*.zol
stride=${ZOL_GC_STRESS:-1}
offset=${ZOL_GC_STRESS_OFFSET:-0}
passed=0 failed=0
for program in "$@"; do
  expected=${program%.zol}.out
  for mode in plain stress; do
    if [ $mode = plain ]; then
      got=$(env -u ZOL_GC_STRESS -u ZOL_GC_STRESS_OFFSET -u ZOL_GC_RANDOM "$zol" < "$program" 2>&1; echo "exit $?")
    else
      got=$(env -u ZOL_GC_RANDOM ZOL_GC_STRESS="$stride" ZOL_GC_STRESS_OFFSET="$offset" "$zol" < "$program" 2>&1; echo "exit $?")
    fi
    if [ "$got" = "$(cat "$expected")" ]; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      echo "FAILED: $(basename "$program") ($mode)"
      diff <(printf '%s\n' "$got") "$expected" | head -20
    fi
  done
done
echo "programs: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
