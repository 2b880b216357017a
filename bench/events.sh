#!/usr/bin/env bash
# Runs bench/events.zol through the zol binary (the real terminal backend, no
# terminal) and prints the cost of one event passed to system/view/awake, with the
# eight default event functions and with none, and of one event of a drag.
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench zol
set -euo pipefail
cd "$(dirname "$0")/.."
zol=${ZOL:-./build-bench/zol}
out=$("$zol" < bench/events.zol 2>&1)
if grep -q "wrong\|Error" <<< "$out"; then echo "$out"; exit 1; fi
awk '$1 ~ /^(over-eight|key-eight|over-none|key-none|drag)$/ { printf "%-12s %8.1f us/event\n", $1, $2 }' <<< "$out"
