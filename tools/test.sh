#!/usr/bin/env bash
# Checks that includes run down the layers, then builds Zol and runs every test, in
# the builds users run and in the builds that find faults:
#   - the optimised g++ build (the README's): the suite, then the suite in verify
#     mode (ZOL_VERIFY_FORMS=1: a block run again while its link still names its
#     prepared form must hold the cells it held, so a writer that missed the
#     barrier aborts the test), then the suite under the collector's stress mode
#     (a moving collection at series allocations, freed node slots never reused),
#     then under its random mode (ordinary collections at unforeseen allocations);
#   - clang -O2, and an optimised build with AddressSanitizer and
#     UndefinedBehaviorSanitizer: the suite under stress. Each compiler keeps other
#     values in registers and on the stack, so each may leave C++ code holding a
#     NodeRef in a form of its own across an allocation (a g++ -O3 build added
#     little over these two and cost a tenth of the run);
#   - a debug build under the sanitizers: the suite under stress, which reports any
#     stale pointer into a series at once (a plain run of the same build runs the
#     same checks with fewer collections, and cost a sixth of the run on two cores);
#   - bounded libFuzzer runs (clang).
# On a machine with fewer than 4 cores the stress runs collect at one allocation in
# STRIDE, from an offset chosen at random and printed, so that every allocation is
# covered over many runs; the debug build collects at one in 2 at least, since at
# every allocation its longest View scripts take about ten minutes each;
# ZOL_TEST_STRESS_STRIDE, ZOL_TEST_STRESS_OFFSET and ZOL_TEST_SEED repeat a run.
set -euo pipefail
cd "$(dirname "$0")/.."
# First, before any build: no include runs up the layers (docs/design.md).
bash tools/check_layers.sh
jobs=$(nproc)
stride=${ZOL_TEST_STRESS_STRIDE:-$([ "$jobs" -ge 4 ] && echo 1 || echo 4)}
offset=${ZOL_TEST_STRESS_OFFSET:-$((RANDOM % stride))}
debug_stride=$(( stride > 2 ? stride : 2 ))
seed=${ZOL_TEST_SEED:-$((RANDOM + 1))}
echo "stress stride $stride (debug build $debug_stride), offset $offset; random-mode seed $seed"

configure() {   # DIR [CMAKE ARGS...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  ninja -C "$dir"
}
# ctest starts the tests its cost file names as the longest first. A stressed run
# costs nothing like an ordinary one (a View script taking a few milliseconds may
# take minutes), so each stressed run starts from the costs the last stressed run
# measured; otherwise its longest tests start last and the run waits for them.
stress_costs=""
suite() {       # DIR [ENV ASSIGNMENTS...]
  local dir=$1
  shift
  local costs="$dir/Testing/Temporary/CTestCostData.txt"
  local stressed=""
  [[ "$*" == *ZOL_GC_STRESS=* ]] && stressed=1
  if [ -n "$stressed" ] && [ -n "$stress_costs" ] && [ "$stress_costs" != "$costs" ]; then
    mkdir -p "$(dirname "$costs")"
    cp "$stress_costs" "$costs"
  fi
  echo "== $dir ${*:-}"
  (cd "$dir" && env "$@" ctest -j"$jobs" --output-on-failure)
  if [ -n "$stressed" ]; then stress_costs=$costs; fi
}

configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
suite build
suite build ZOL_VERIFY_FORMS=1
suite build ZOL_GC_STRESS="$stride" ZOL_GC_STRESS_OFFSET="$offset"
suite build ZOL_GC_RANDOM=20 ZOL_GC_SEED="$seed"

CC=clang CXX=clang++ configure build-clang -DCMAKE_BUILD_TYPE=RelWithDebInfo
suite build-clang ZOL_GC_STRESS="$stride" ZOL_GC_STRESS_OFFSET="$offset"

configure build-asan-opt -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOL_SANITIZE=ON
suite build-asan-opt ZOL_GC_STRESS="$stride" ZOL_GC_STRESS_OFFSET="$offset"

configure build-asan -DCMAKE_BUILD_TYPE=Debug -DZOL_SANITIZE=ON
suite build-asan ZOL_GC_STRESS="$debug_stride" ZOL_GC_STRESS_OFFSET="$((offset % debug_stride))"

# Bounded libFuzzer runs of the text decoders, the lexer's scanner, load,
# evaluation, parse, the inflater and the binary value reader (clang, AddressSanitizer
# and UndefinedBehaviorSanitizer). Each corpus
# grows in build-fuzz from run to run, starting from tests/fuzz/<fuzzer>_seeds when
# there is one, with tests/fuzz/<fuzzer>.dict as its dictionary and the flags in
# tests/fuzz/<fuzzer>.options (one line) when there are; a
# finding is written there too and fails the stage.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZOL_SANITIZE=ON -DZOL_FUZZ=ON >/dev/null
for run in fuzz_utf8:20 fuzz_basecode:20 fuzz_lexer_scan:20 fuzz_load:45 fuzz_eval:45 fuzz_parse:45 \
           fuzz_inflate:20 fuzz_zolbin:20 fuzz_image_load:20 fuzz_image_roundtrip:20 fuzz_text_codecs:45; do
  fuzzer=${run%:*}
  ninja -C build-fuzz "$fuzzer"
  mkdir -p "build-fuzz/corpus/$fuzzer"
  dict=() seeds=() options=()
  [ -f "tests/fuzz/$fuzzer.dict" ] && dict=("-dict=tests/fuzz/$fuzzer.dict")
  [ -f "tests/fuzz/$fuzzer.options" ] && read -ra options < "tests/fuzz/$fuzzer.options"
  [ -d "tests/fuzz/${fuzzer}_seeds" ] && seeds=("tests/fuzz/${fuzzer}_seeds")
  # New inputs go to the first directory: the corpus, never the seeds.
  "./build-fuzz/tests/fuzz/$fuzzer" -max_total_time="${run#*:}" -max_len=65536 -timeout=10 \
    -rss_limit_mb=4096 -close_fd_mask=1 -artifact_prefix=build-fuzz/ "${dict[@]}" "${options[@]}" \
    "build-fuzz/corpus/$fuzzer" "${seeds[@]}"
done
