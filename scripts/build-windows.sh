#!/usr/bin/env bash
# Configures and builds the two Windows builds with mingw-w64: i686, the
# program as it ships (a 32-bit program), and x86_64. The one that
# scripts/windows-suite.sh names is built with its tests, which
# scripts/test-windows.sh runs under Wine: the i686 build, under 32-bit Wine,
# wherever this machine starts 32-bit programs. The other is built as the
# program only, kept compiling. The build folders can be chosen with
# ORVEL_WIN32_BUILD and ORVEL_WIN64_BUILD; arguments go to both configure
# steps (for example -DORVEL_WERROR=ON).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=${ORVEL_JOBS:-2}
win32=${ORVEL_WIN32_BUILD:-$here/build-win32}
win64=${ORVEL_WIN64_BUILD:-$here/build-win64}
suite=$("$here/scripts/windows-suite.sh")

build() {  # build <folder> <target triple> [cmake options...]
  local folder=$1 triple=$2 tests=OFF
  shift 2
  [ "$triple" = "$suite" ] && tests=ON
  # Named each time: a folder that scripts/run-windows.sh configured without
  # the tests has the scripted variant off in its cache.
  echo "== $triple in $folder (tests $tests)"
  cmake -S "$here" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$triple.cmake" \
    -DORVEL_TESTS=$tests -DORVEL_SCRIPTED_VARIANT=$tests -DORVEL_BENCH=OFF "$@" >/dev/null
  cmake --build "$folder" -j"$jobs"
}

build "$win32" i686-w64-mingw32 "$@"
build "$win64" x86_64-w64-mingw32 "$@"
