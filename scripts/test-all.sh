#!/usr/bin/env bash
# Runs every test: the native suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, each fuzz target briefly, and the Windows suite
# under Wine (with Xvfb for what needs a display): in the i686 build, the
# program as it ships, wherever this machine starts 32-bit programs
# (scripts/windows-suite.sh). Installs what it needs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=${ORVEL_JOBS:-2}
fuzz_seconds=${ORVEL_FUZZ_SECONDS:-10}

scripts/install-deps.sh

echo "== native build with sanitizers"
# The benchmarks are no tests; a plain build makes them.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=ON -DORVEL_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== fuzz targets, ${fuzz_seconds}s each"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVEL_FUZZ=ON -DORVEL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_targets
for target in build-fuzz/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  echo "-- $(basename "$target")"
  "$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 2
  rm -rf "$corpus"
done

echo "== Windows build, tests under Wine"
scripts/build-windows.sh
scripts/test-windows.sh
