#!/usr/bin/env bash
# Registry mode end to end: Setup.exe started as a process with a settings
# list, writing into the registry and, with -INI, into the machine INI file.
#
# usage: registry_mode.sh <dist folder> [wine]
# Natively the program runs on a fresh emulated machine; with the Wine
# program given it runs in the test prefix ($WINEPREFIX).
set -euo pipefail
dist=$1
wine=${2:-}
setup="$dist/Setup.exe"
work=$(mktemp -d)
list='Program|A|text|s#Program|B|12|i'

source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

run_setup() {
  if [ -n "$wine" ]; then "$wine" "$setup" "$@"; else "$setup" "$@"; fi
}

# The INI file lies outside the machine: Z: is the Linux root for both backends.
ini_host="$work/ODMachine.INI"
ini_windows="Z:${ini_host//\//\\}"

if [ -n "$wine" ]; then
  : "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
  clean_registry() { "$wine" reg delete 'HKLM\Software\OrvelDraw' /f /reg:32 >/dev/null 2>&1 || true; }
  # The program is a 32-bit program in its design: its HKLM keys lie in the 32-bit view.
  program_key() {
    "$wine" reg query 'HKLM\Software\OrvelDraw\Program' /reg:32 2>/dev/null | tr -d '\r' ||
      "$wine" reg query 'HKLM\Software\Wow6432Node\OrvelDraw\Program' 2>/dev/null | tr -d '\r'
  }
  has_string() { program_key | grep -Eq "^\s+$1\s+REG_SZ\s+$2\$"; }
  has_dword() { program_key | grep -Eiq "^\s+$1\s+REG_DWORD\s+0x0*$(printf '%x' "$2")\$"; }
  has_value() { program_key | grep -Eq "^\s+$1\s+REG_"; }
  trap 'clean_registry; rm -rf "$work"' EXIT
  clean_registry
else
  export ORVEL_MACHINE="$work/machine"
  registry="$ORVEL_MACHINE/registry.reg"
  # The values of the program's key in the regedit export text.
  program_key() {
    [ -f "$registry" ] || return 0
    # The machine writes it as regedit does, in UTF-16 after a byte-order mark.
    iconv -f UTF-16 -t UTF-8 "$registry" | tr -d '\r' | awk '
      /^\[/ { inside = (tolower($0) == tolower("[HKEY_LOCAL_MACHINE\\Software\\OrvelDraw\\Program]")) ; next }
      inside { print }'
  }
  has_string() { program_key | grep -Fxq "\"$1\"=\"$2\""; }
  has_dword() { program_key | grep -Eiq "^\"$1\"=dword:$(printf '%08x' "$2")\$"; }
  has_value() { program_key | grep -q "^\"$1\"="; }
  trap 'rm -rf "$work"' EXIT
fi

# The scripted GUI: an empty script, the transcript in $work/transcript.
script="$work/script"
: >"$script"
transcript() { tr -d '\r' <"$work/transcript"; }

echo "-- registry storage, only the wait window shown"
ORVEL_GUI_SCRIPT="$script" ORVEL_GUI_TRANSCRIPT="$work/transcript" run_setup -Registry "$list" ||
  fail "registry mode ended with $?"
[ "$(transcript)" = "$(printf 'show Fwait "Fwait"\ncursor hourglass\nhide Fwait\ncursor default')" ] ||
  fail "transcript: $(transcript)"
has_string A text || fail "A=text missing in the registry: $(program_key)"
has_dword B 12 || fail "B=12 missing in the registry: $(program_key)"

echo "-- INI storage"
[ -z "$wine" ] || clean_registry
run_setup -Registry "Program|C|ini|s#Program|D|7|i" -INI "$ini_windows" || fail "INI mode ended with $?"
[ -f "$ini_host" ] || fail "no INI file at $ini_host"
printf '[Program]\r\nC=ini\r\nD=7\r\n' | cmp -s - "$ini_host" || fail "INI file holds: $(cat -A "$ini_host")"
! has_value C || fail "INI storage wrote into the registry"

echo "-- a bad integer ends the run with exit code 1, earlier settings kept"
status=0
# The error box comes from the scripted GUI, so nobody has to answer it.
err=$(ORVEL_GUI_SCRIPT="$script" ORVEL_GUI_TRANSCRIPT="$work/transcript" \
  run_setup -Registry 'Program|E|kept|s#Program|F|zwoelf|i#Program|G|never|s' 2>&1 >/dev/null) ||
  status=$?
[ "$status" -eq 1 ] || fail "exit code $status, expected 1"
transcript | grep -Fxq "msgbox error \"Setup\" \"'zwoelf' ist kein gültiger Integerwert.\" \"OK\" -> \"OK\" (default)" ||
  fail "no error box in the transcript: $(transcript)"
has_string E kept || fail "E=kept was not kept: $(program_key)"
! has_value F || fail "F was written"
! has_value G || fail "G was written after the error"
grep -Fq "'zwoelf' ist kein gültiger Integerwert." <<<"$err" || fail "error text missing on standard error: $err"

echo "PASS"
