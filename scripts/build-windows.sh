#!/usr/bin/env bash
# Configures and builds the two Windows builds with mingw-w64: x86_64 (its
# tests run under Wine, scripts/test-windows.sh) and i686 (built only: the
# program as it ships, a 32-bit program). The build folders can be chosen with
# ORVEL_WIN64_BUILD and ORVEL_WIN32_BUILD.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=${ORVEL_JOBS:-2}
win64=${ORVEL_WIN64_BUILD:-$here/build-win64}
win32=${ORVEL_WIN32_BUILD:-$here/build-win32}

build() {  # build <folder> <target triple> [cmake options...]
  local folder=$1 triple=$2
  shift 2
  echo "== $triple in $folder"
  cmake -S "$here" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$triple.cmake" "$@" >/dev/null
  cmake --build "$folder" -j"$jobs"
}

build "$win64" x86_64-w64-mingw32
# The 32-bit program is built as it ships; its tests run in the x86_64 build.
build "$win32" i686-w64-mingw32 -DORVEL_TESTS=OFF -DORVEL_BENCH=OFF
