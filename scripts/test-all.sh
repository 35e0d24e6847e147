#!/usr/bin/env bash
# Runs every test: the Windows suite under Wine (with Xvfb for what needs a
# display) in the i686 build, the program as it ships, wherever this machine
# starts 32-bit programs (scripts/windows-suite.sh); the native suite under
# AddressSanitizer and UndefinedBehaviorSanitizer; and each fuzz target
# briefly. Every build treats warnings as errors. Installs what it needs.
#
# The Windows suite runs its Wine processes one at a time, which leaves a
# core free: the native build and its tests run meanwhile, at a lower
# priority so that the windows under Wine answer in time
# (scripts/test-native.sh: one clang build serves the sanitizers and the fuzz
# targets).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

scripts/install-deps.sh

phase() { printf '== %s (at %d:%02d)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60)); }

phase "Windows builds"
scripts/build-windows.sh -DORVEL_WERROR=ON

phase "Windows suite under Wine, in the background"
windows_log=$(mktemp)
scripts/test-windows.sh >"$windows_log" 2>&1 &
windows_pid=$!
trap 'kill "$windows_pid" 2>/dev/null || true; rm -f "$windows_log"' EXIT

phase "native suite, meanwhile"
native_status=0
nice -n 10 scripts/test-native.sh || native_status=$?

phase "waiting for the Windows suite"
windows_status=0
wait "$windows_pid" || windows_status=$?
cat "$windows_log"
phase "done"
if [ "$native_status" -ne 0 ] || [ "$windows_status" -ne 0 ]; then
  echo "FAILED: native $native_status, Windows $windows_status" >&2
  exit 1
fi
