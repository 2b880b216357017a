#!/usr/bin/env bash
# Builds Zol and runs every test: an optimised build, then a debug build under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build
(cd build && ctest -j"$jobs" --output-on-failure)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZOL_SANITIZE=ON >/dev/null
ninja -C build-asan
(cd build-asan && ctest -j"$jobs" --output-on-failure)
