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

echo "== fuzz targets, ${fuzz_seconds}s each, $jobs at a time"
# Each target's last lines printed together when it ends; any failure fails the run.
run_target() {
  local target=$1 corpus out status=0
  corpus=$(mktemp -d)
  out=$("$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1) || status=$?
  rm -rf "$corpus"
  printf -- '-- %s\n%s\n' "$(basename "$target")" "$(tail -n 2 <<<"$out")"
  [ "$status" -eq 0 ] || { printf '%s\n' "$out" | tail -n 40; return 1; }
}
export -f run_target
export fuzz_seconds
find "$build/tests/fuzz" -maxdepth 1 -name '*_fuzz' -type f -executable -print0 | sort -z |
  xargs -0 -r -n 1 -P "$jobs" bash -c 'run_target "$1"' _
