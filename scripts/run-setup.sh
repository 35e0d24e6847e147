#!/usr/bin/env bash
# The demo: installs what the native program needs (scripts/install-deps.sh
# demo), builds it and the demo distribution in build-demo/ (or
# $ORVEL_DEMO_BUILD), and runs the setup program in setup mode from that
# distribution on drive D: of the default emulated machine
# (~/.local/share/orvel-machine, or $ORVEL_MACHINE), written anew at each
# start (scripts/start-demo.sh). Its windows are drawn on the terminal; type
# GUI actions, one a line (`help` lists them, for example
# `click FSetup.BInstall`); Ctrl-D ends the program as its close button does.
# Arguments go to Setup.exe.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVEL_DEMO_BUILD:-$here/build-demo}

"$here/scripts/install-deps.sh" demo

# Two starts at once build one after the other, not in each other's way.
mkdir -p "$build"
exec 8>"$build/.build.lock"
flock 8
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Only what the demo runs: no tests, no benchmarks. Ninja decides what is out
# of date; the distribution is put together again at every build.
if [ ! -f "$build/build.ninja" ]; then
  echo "Building the setup program in $build (a minute or so the first time)..." >&2
fi
if ! { cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEL_TESTS=OFF -DORVEL_BENCH=OFF &&
  cmake --build "$build" -j"$(nproc)" --target dist; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "The build failed (above)." >&2
  exit 1
fi
rm -f "$log"
trap - EXIT
exec 8>&-

exec "$here/scripts/start-demo.sh" "$build/dist" "$@"
