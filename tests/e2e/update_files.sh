#!/usr/bin/env bash
# A file update end to end: Setup.exe started from the update's folder with
# the application's command line copies the new files into the installation,
# keeps the old language file under the old version's name, moves the update
# values of the configuration, saves update.txt and starts the application
# again, with no window but the wait window.
#
# usage: update_files.sh <dist folder> [wine]
set -euo pipefail
dist=$1
wine=${2:-}
. "$(dirname "$0")/lib/machine.bash"
cleanup_actions+=('clean_registry; rm -rf "$(host_path "C:\\Orvel")" "$(host_path "C:\\Update")"')
clean_registry

inst='C:\Orvel\'
src='C:\Update\'
h_inst=$(host_path "$inst")
h_src=$(host_path "$src")
rm -rf "$h_inst" "$h_src"

# The installation of version 2.1 and the update, one file per group so that
# the log's order is fixed.
mkdir -p "$h_inst/languages" "$h_inst/styles" "$h_inst/img" "$h_src/languages" "$h_src/styles" "$h_src/img"
printf 'old application' >"$h_inst/OrvelDraw.exe"
printf 'old setup' >"$h_inst/Setup.exe"
touch -d '30 days ago' "$h_inst/Setup.exe"
printf '[Setup]\r\nLNGDelete=Delete 2.1\r\n' >"$h_inst/languages/english.ini"
cp "$dist/Setup.exe" "$dist/OrvelDraw.exe" "$h_src/"
printf '[Setup]\r\nLNGDelete=Delete 2.2\r\n' >"$h_src/languages/english.ini"
printf 'classic 2.2' >"$h_src/styles/classic.ods"
printf 'logo 2.2' >"$h_src/img/logo.png"
printf 'cache' >"$h_src/img/Thumbs.db"

echo "-- seed the update values through registry mode"
run_setup "$h_src/Setup.exe" -Registry 'Program|Update|5|i#Program|NextUpdate|7|i'
[ "$status" -eq 0 ] || fail "registry mode ended with $status"
[ "$(reg_get HKLM 'Software\OrvelDraw\Program' Update)" = 5 ] || fail "Update not seeded"

echo "-- the file update"
run_setup "$h_src/Setup.exe" -Update "$inst" "$src" 2.1
[ "$status" -eq 0 ] || fail "the update ended with $status: $(cat "$work/stderr")"
# The application is started again without the updater window being shown.
expect_transcript 'show Fwait "Fwait"' 'cursor hourglass' 'hide Fwait' 'cursor default' 'close FUpdater' 'close FSetup'

expected_log() {
  printf '%s\r\n' "$@"
}
expected_log 'Old Version: 2.1' 'Source     : C:\Update\' 'Destination: C:\Orvel\' '' \
  'create directory: C:\Orvel\templates\' \
  'Rename Languagefile: C:\Orvel\languages\english.ini -> ' '   C:\Orvel\languages\english2.1.ini' \
  'Kopiere C:\Update\languages\english.ini nach C:\Orvel\languages\english.ini' \
  'Kopiere C:\Update\styles\classic.ods nach C:\Orvel\styles\classic.ods' \
  'Kopiere C:\Update\img\logo.png nach C:\Orvel\img\logo.png' \
  'Kopiere C:\Update\OrvelDraw.exe nach C:\Orvel\OrvelDraw.exe' \
  'Kopiere C:\Update\Setup.exe nach C:\Orvel\Setup.exe' \
  'C:\Orvel\update.txt' >"$work/expected.txt"
cmp -s "$work/expected.txt" "$h_inst/update.txt" || fail "update.txt:
$(cat -A "$h_inst/update.txt")"

cmp -s "$dist/OrvelDraw.exe" "$h_inst/OrvelDraw.exe" || fail "OrvelDraw.exe not replaced"
cmp -s "$dist/Setup.exe" "$h_inst/Setup.exe" || fail "Setup.exe not replaced"
grep -q 'Delete 2.1' "$h_inst/languages/english2.1.ini" || fail "the old language file was not kept"
grep -q 'Delete 2.2' "$h_inst/languages/english.ini" || fail "the new language file is missing"
[ "$(cat "$h_inst/styles/classic.ods")" = 'classic 2.2' ] || fail "style not copied"
[ "$(cat "$h_inst/img/logo.png")" = 'logo 2.2' ] || fail "image not copied"
[ ! -e "$h_inst/img/Thumbs.db" ] || fail "Thumbs.db copied"
[ -d "$h_inst/templates" ] || fail "templates folder not made"

# FixUpdate moved the values to the user's key.
[ "$(reg_get HKCU 'Software\OrvelDraw\Program' Update)" = 5 ] || fail "Update not in HKCU"
[ "$(reg_get HKCU 'Software\OrvelDraw\Program' NextUpdate)" = 7 ] || fail "NextUpdate not in HKCU"
! reg_get HKLM 'Software\OrvelDraw\Program' Update >/dev/null || fail "Update still in HKLM"

if [ -z "$wine" ]; then
  [ "$(shell_log)" = "$(printf 'execute\tC:\\Orvel\\OrvelDraw.exe\t\tC:\\Orvel\\\t1')" ] ||
    fail "shell log: $(shell_log)"
fi

echo "-- the same update again: the versioned file and the newer Setup.exe stay"
printf 'kept' >"$h_inst/languages/english2.1.ini"
run_setup "$h_src/Setup.exe" -Update "$inst" "$src" 2.1
[ "$status" -eq 0 ] || fail "the second update ended with $status"
grep -q 'Rename' "$h_inst/update.txt" && fail "renamed over an existing versioned file"
grep -q 'Setup.exe nach' "$h_inst/update.txt" && fail "Setup.exe copied though not newer"
[ "$(cat "$h_inst/languages/english2.1.ini")" = kept ] || fail "the versioned file was replaced"

echo "-- INI storage: the update values leave the machine INI file"
ini="$h_inst/ODMachine.INI"
printf '[Program]\r\nUpdate=3\r\nNextUpdate=4\r\nKeep=1\r\n' >"$ini"
run_setup "$h_src/Setup.exe" -Update "$inst" "$src" 2.1 -INI 'C:\Orvel\ODMachine.INI'
[ "$status" -eq 0 ] || fail "the update with -INI ended with $status"
[ "$(tr -d '\r' <"$ini")" = "$(printf '[Program]\nKeep=1')" ] || fail "ODMachine.INI: $(cat -A "$ini")"

echo "PASS"
