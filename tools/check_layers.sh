#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The layers,
# lowest first, as docs/design.md lists them (folders in one layer may include each
# other):
#   runtime/numeric < runtime/base < platform < runtime (every other runtime/ folder)
#   < interpreter < parse < library < console < view < boot
# The program's entry (console/main.cpp, outside the core library) starts everything,
# so it may include any layer, as may tests, benchmarks and tools.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {   # PATH -> the layer's rank, or nothing for paths outside the layers
  case $1 in
    runtime/numeric/*) echo 0 ;;
    runtime/base/*) echo 1 ;;
    platform/*) echo 2 ;;
    runtime/*) echo 3 ;;
    interpreter/*) echo 4 ;;
    parse/*) echo 5 ;;
    library/*) echo 6 ;;
    console/*) echo 7 ;;
    view/*) echo 8 ;;
    boot/*) echo 9 ;;
  esac
}

status=0
while IFS=: read -r file line header; do
  [ "$file" = console/main.cpp ] && continue
  from=$(rank "$file")
  to=$(rank "$header")
  if [ -n "$from" ] && [ -n "$to" ] && [ "$to" -gt "$from" ]; then
    echo "$file:$line: includes $header, a layer above its own" >&2
    status=1
  fi
done < <(grep -rnoE --include='*.cpp' --include='*.h' '^#include "[^"]+"' \
           runtime platform interpreter parse library console view boot 2>/dev/null |
         sed -E 's/#include "([^"]+)"$/\1/')
exit $status
