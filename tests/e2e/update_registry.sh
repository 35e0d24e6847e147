#!/usr/bin/env bash
# The association rewrite and the open-command rewrite end to end, with the
# application's command lines, and an update with an empty destination.
#
# usage: update_registry.sh <dist folder> [wine]
set -euo pipefail
dist=$1
wine=${2:-}
. "$(dirname "$0")/lib/machine.bash"
cleanup_actions+=('clean_registry; rm -rf "$(host_path "C:\\Orvel")"')
clean_registry

setup="$dist/Setup.exe"
exe='C:\Orvel\OrvelDraw.exe'
h_inst=$(host_path 'C:\Orvel')
rm -rf "$h_inst"
mkdir -p "$h_inst"
cp "$dist/OrvelDraw.exe" "$h_inst/"
class='Software\Classes\OrvelDraw'
only_wait_window=('show Fwait "Fwait"' 'cursor hourglass' 'hide Fwait' 'cursor default')

echo "-- association rewrite"
# Set up .old as ours and .other as another program's, in registry mode's
# way: there is no other writer of the classes on both machines.
if [ -n "$wine" ]; then
  for root in HKLM HKCU; do
    view=($(reg_view "$root" 'Software\Classes'))
    "$wine" reg add "$root\\Software\\Classes\\.old" /ve /d OrvelDraw /f "${view[@]}" >/dev/null
    "$wine" reg add "$root\\Software\\Classes\\.other" /ve /d OtherApp /f "${view[@]}" >/dev/null
  done
else
  cat >"$ORVEL_MACHINE/registry.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Classes\.old]
@="OrvelDraw"

[HKEY_CURRENT_USER\Software\Classes\.other]
@="OtherApp"

[HKEY_LOCAL_MACHINE\Software\Classes\.old]
@="OrvelDraw"

[HKEY_LOCAL_MACHINE\Software\Classes\.other]
@="OtherApp"
REG
fi
run_setup "$setup" -Update "$exe" 'C:\Temp\registryupdate\' '.od True .old False .other False '
[ "$status" -eq 0 ] || fail "the association rewrite ended with $status: $(cat "$work/stderr")"
expect_transcript "${only_wait_window[@]}"
for root in HKLM HKCU; do
  [ "$(reg_get $root "$class")" = Orvel-Draw ] || fail "$root class name"
  [ "$(reg_get $root "$class\\DefaultIcon")" = 'C:\Orvel\OrvelDraw.exe,0' ] || fail "$root icon"
  [ "$(reg_get $root "$class\\Shell\\Open\\command")" = 'C:\Orvel\OrvelDraw.exe' ] || fail "$root command"
  [ "$(reg_get $root "$class\\Shell\\Open\\ddeexec")" = '[FileOpen("%1")]' ] || fail "$root ddeexec"
  [ "$(reg_get $root "$class\\Shell\\Open\\ddeexec\\Application")" = OrvelDraw ] || fail "$root application"
  [ "$(reg_get $root "$class\\Shell\\Open\\ddeexec\\topic")" = System ] || fail "$root topic"
  [ "$(reg_get $root 'Software\Classes\.od')" = OrvelDraw ] || fail "$root .od not attached"
  old=$(reg_get $root 'Software\Classes\.old') || fail "$root .old removed"
  [ -z "$old" ] || fail "$root .old still $old"
  [ "$(reg_get $root 'Software\Classes\.other')" = OtherApp ] || fail "$root .other changed"
done
tr -d '\r' <"$h_inst/update.txt" | grep -Fxq '.od True' || fail "no log line for .od"
tr -d '\r' <"$h_inst/update.txt" | grep -Fxq '.other False' || fail "no log line for .other"
tr -d '\r' <"$h_inst/update.txt" | tail -n 1 | grep -Fxq 'C:\Orvel\update.txt' || fail "update.txt does not end with its name"
if [ -z "$wine" ]; then
  [ "$(shell_log)" = "$(printf 'notify\t0x08000000\t0')" ] || fail "shell log: $(shell_log)"
fi

echo "-- a list without its final blank ends the run with the conversion error"
rm -f "$h_inst/update.txt"
run_setup "$setup" -Update "$exe" 'registry' '.x True .y False'
[ "$status" -eq 1 ] || fail "exit code $status, expected 1"
expect_transcript "${only_wait_window[@]}" \
  "msgbox error \"Setup\" \"'' ist kein gültiger boolescher Wert.\" \"OK\" -> \"OK\" (default)"
grep -Fq "'' ist kein gültiger boolescher Wert." "$work/stderr" || fail "stderr: $(cat "$work/stderr")"
[ "$(reg_get HKCU 'Software\Classes\.x')" = OrvelDraw ] || fail ".x not attached before the error"
[ ! -e "$h_inst/update.txt" ] || fail "update.txt written after the error"

echo "-- open-command rewrite"
run_setup "$setup" -Update "$exe" 'C:\Temp\kxregistry\' '&quot;C:\Tools\viewer.exe&quot; &quot;%1&quot;'
[ "$status" -eq 0 ] || fail "the open-command rewrite ended with $status"
expect_transcript "${only_wait_window[@]}"
[ "$(reg_get HKLM "$class\\Shell\\Open\\command")" = '"C:\Tools\viewer.exe" "%1"' ] || fail "HKLM command"
[ "$(reg_get HKCU "$class\\Shell\\Open\\command")" = 'C:\Orvel\OrvelDraw.exe' ] || fail "HKCU command changed"

echo "-- an update with an empty destination restarts the application and copies nothing"
run_setup "$setup" -Update '' 'C:\Update\' ''
[ "$status" -eq 0 ] || fail "the empty update ended with $status"
expect_transcript "${only_wait_window[@]}" 'close FUpdater' 'close FSetup'
if [ -z "$wine" ]; then
  shell_log | tail -n 1 | grep -Fxq "$(printf 'execute\tOrvelDraw.exe\t\t\t1')" || fail "shell log: $(shell_log)"
fi

echo "PASS"
