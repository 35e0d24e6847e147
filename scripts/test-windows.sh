#!/usr/bin/env bash
# Runs the Windows suite under Wine (after scripts/build-windows.sh) in the
# build that scripts/windows-suite.sh names: the i686 build, whose 32-bit
# programs run through the 32-bit Wine loader in a 64-bit prefix (WoW64), as
# on 64-bit Windows; the x86_64 build where this machine starts no 32-bit
# programs. CTest makes a fresh Wine prefix in the build folder and runs each
# test binary in its own Wine process. Without a display the run goes under
# xvfb-run, so that what creates a window has one: as large as a 200 %
# laptop display, which the windows at 192 DPI need. Extra arguments go to
# ctest (for example -R conformance).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
case $("$here/scripts/windows-suite.sh" 2>/dev/null) in
  i686-w64-mingw32) build=${ORVEL_WIN32_BUILD:-$here/build-win32} ;;
  *) build=${ORVEL_WIN64_BUILD:-$here/build-win64} ;;
esac
echo "== Windows suite in $build"

ctest=(ctest --test-dir "$build" --output-on-failure "$@")
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 2560x1600x24" "${ctest[@]}"
fi
exec "${ctest[@]}"
