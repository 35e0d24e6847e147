#!/usr/bin/env bash
# Runs the x86_64 Windows build's tests under Wine (after
# scripts/build-windows.sh): CTest makes a fresh Wine prefix in the build
# folder and runs each test binary in its own Wine process. Without a display
# the run goes under xvfb-run, so that what creates a window has one.
# Extra arguments go to ctest (for example -R conformance).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
win64=${ORVEL_WIN64_BUILD:-$here/build-win64}

ctest=(ctest --test-dir "$win64" --output-on-failure "$@")
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "${ctest[@]}"
fi
exec "${ctest[@]}"
