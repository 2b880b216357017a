#!/usr/bin/env bash
# Builds Zol and runs every test: an optimised build, then a debug build under
# AddressSanitizer and UndefinedBehaviorSanitizer, then that build's tests again
# with the collector's stress mode (a moving collection on every series
# allocation), which shows any stale pointer or NodeRef held by C++ code, then a
# bounded fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build
(cd build && ctest -j"$jobs" --output-on-failure)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZOL_SANITIZE=ON >/dev/null
ninja -C build-asan
(cd build-asan && ctest -j"$jobs" --output-on-failure)
(cd build-asan && ZOL_GC_STRESS=1 ctest -j"$jobs" --output-on-failure)

# Bounded libFuzzer runs of the text decoders, the lexer's scanner, load and
# evaluation (clang, AddressSanitizer and UndefinedBehaviorSanitizer). Each corpus
# grows in build-fuzz from run to run, starting from tests/fuzz/<fuzzer>_seeds when
# there is one, with tests/fuzz/<fuzzer>.dict as its dictionary when there is one; a
# finding is written there too and fails the stage.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZOL_SANITIZE=ON -DZOL_FUZZ=ON >/dev/null
for run in fuzz_utf8:30 fuzz_lexer_scan:30 fuzz_load:60 fuzz_eval:60; do
  fuzzer=${run%:*}
  ninja -C build-fuzz "$fuzzer"
  mkdir -p "build-fuzz/corpus/$fuzzer"
  dict=() seeds=()
  [ -f "tests/fuzz/$fuzzer.dict" ] && dict=("-dict=tests/fuzz/$fuzzer.dict")
  [ -d "tests/fuzz/${fuzzer}_seeds" ] && seeds=("tests/fuzz/${fuzzer}_seeds")
  # New inputs go to the first directory: the corpus, never the seeds.
  "./build-fuzz/tests/fuzz/$fuzzer" -max_total_time="${run#*:}" -max_len=65536 -timeout=10 \
    -rss_limit_mb=4096 -close_fd_mask=1 -artifact_prefix=build-fuzz/ "${dict[@]}" \
    "build-fuzz/corpus/$fuzzer" "${seeds[@]}"
done
