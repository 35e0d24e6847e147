#!/usr/bin/env bash
# The native suite on the emulated machine: one clang build with
# AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's coverage,
# warnings as errors, its tests, then each fuzz target briefly
# (ORVEL_FUZZ_SECONDS, 10 unless given). Part of scripts/test-all.sh, which
# installs the packages first; runs at a lower priority there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=${ORVEL_JOBS:-2}
fuzz_seconds=${ORVEL_FUZZ_SECONDS:-10}
build=${ORVEL_SANITIZE_BUILD:-$here/build-sanitize}

echo "== native build: clang with sanitizers and fuzzing coverage, in $build"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DORVEL_SANITIZE=ON -DORVEL_FUZZ=ON -DORVEL_BENCH=OFF -DORVEL_WERROR=ON >/dev/null
cmake --build "$build" -j"$jobs"

echo "== native suite"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$build" --output-on-failure -j"$jobs"

echo "== fuzz targets, ${fuzz_seconds}s each"
for target in "$build"/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  echo "-- $(basename "$target")"
  "$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 2
  rm -rf "$corpus"
done
