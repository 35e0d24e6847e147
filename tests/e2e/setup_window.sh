#!/usr/bin/env bash
# Setup mode end to end: Setup.exe started as a process with a script shows
# the setup window with its default installation folder, and closing the
# window ends the program. Natively also from a network share, where the
# share's folder is the default.
#
# usage: setup_window.sh <dist folder> [wine]
set -euo pipefail
dist=$1
wine=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

# run_setup <program> <script text>: the transcript goes to $work/transcript.
run_setup() {
  printf '%s\n' "$2" >"$work/script"
  local status=0
  ORVEL_GUI_SCRIPT="$work/script" ORVEL_GUI_TRANSCRIPT="$work/transcript" \
    timeout 120 ${wine:+"$wine"} "$1" || status=$?
  [ "$status" -eq 0 ] || fail "setup mode ended with $status: $(cat "$work/transcript" 2>/dev/null)"
  tr -d '\r' <"$work/transcript" >"$work/transcript.lf"
}

transcript_has() { grep -Fxq -- "$1" "$work/transcript.lf"; }
efolder() { grep '^FSetup.EFolder ' "$work/transcript.lf" | sed -E 's/.* text="([^"]*)".*/\1/'; }

if [ -n "$wine" ]; then
  : "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
  # A 32-bit program in its design: the default is the 32-bit programs folder.
  expected=$("$wine" cmd /c 'echo %ProgramFiles(x86)%' 2>/dev/null | tr -d '\r')
  case $expected in *ProgramFiles*|'') expected=$("$wine" cmd /c 'echo %ProgramFiles%' | tr -d '\r') ;; esac
  expected="${expected//\\/\\\\}\\\\OrvelDraw\\\\"
else
  export ORVEL_MACHINE="$work/machine"
  expected='C:\\Program Files\\OrvelDraw\\'
fi

echo "-- the setup window's defaults"
run_setup "$dist/Setup.exe" 'dump FSetup'
# The caption depends on the language file the user's language picks.
grep -q '^FSetup form caption=".*" visible=1$' "$work/transcript.lf" || fail "FSetup not shown: $(cat "$work/transcript.lf")"
[ "$(efolder)" = "$expected" ] || fail "EFolder is $(efolder), expected $expected"
grep -q '^FSetup.RGRegOrIni radiogroup .* index=0 ' "$work/transcript.lf" || fail "item 0 not selected"
grep -q '^FSetup.EUserfolder edit .* enabled=0$' "$work/transcript.lf" || fail "user-settings field enabled"

echo "-- closing the setup window ends the program"
run_setup "$dist/Setup.exe" 'close FSetup
dump FSetup'
transcript_has 'close FSetup' || fail "no close: $(cat "$work/transcript.lf")"
! grep -q '^FSetup form' "$work/transcript.lf" || fail "the program went on after the close"

if [ -z "$wine" ]; then
  echo "-- started from a network share"
  share="$ORVEL_MACHINE/unc/server/share/dist"
  mkdir -p "$share"
  cp "$dist/Setup.exe" "$share/Setup.exe"
  run_setup "$share/Setup.exe" 'dump FSetup'
  [ "$(efolder)" = '\\\\server\\share\\dist\\' ] || fail "EFolder from the share is $(efolder)"
fi

echo "PASS"
