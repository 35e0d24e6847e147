#!/usr/bin/env bash
# Builds the native program and runs the setup program in setup mode from the
# demo distribution on the default emulated machine
# (~/.local/share/orvel-machine, or $ORVEL_MACHINE). Its windows are drawn on
# the terminal; type GUI actions, one a line (`help` lists them, for example
# `click FSetup.BInstall`); Ctrl-D ends the program as its close button does.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j2 --target dist >/dev/null
exec "$here/build/dist/Setup.exe" "$@"
