#!/usr/bin/env bash
# A person at a terminal: the program runs under a pseudo-terminal (script
# from util-linux) on a fresh emulated machine, draws its windows, answers
# `help` and a mistyped name, and typed actions install the application and
# uninstall it again. The transcript written meanwhile is the one a script of
# the same actions writes; Ctrl-D and `close FSetup` end the program. The
# demo's start (scripts/start-demo.sh) runs it from drive D: of the default
# machine, anew after an uninstallation there.
#
# usage: terminal_session.sh <dist folder>
# Only the emulated machine's program reads actions from a terminal: the
# Windows program shows its native windows there.
set -euo pipefail
dist=$1
wine=
. "$(dirname "$0")/lib/machine.bash"

# Types the lines of stdin one by one into the program under a terminal 100
# columns wide, then ends the input as Ctrl-D does; what the terminal shows
# goes to $work/screen. Arguments: the program, then its environment.
at_terminal() { # <program> [VAR=value...]
  local program=$1
  shift
  local lines=()
  mapfile -t lines
  {
    sleep 0.5
    for line in "${lines[@]}"; do
      printf '%s\n' "$line"
      sleep 0.3
    done
  } | env "$@" TERM=dumb timeout 60 script -qec "stty cols 100; exec '$program'" /dev/null >"$work/screen" ||
    fail "the program under the terminal ended with $?: $(cat "$work/screen")"
}
# The lines of a file wider than <columns> characters (not bytes: German and
# Spanish screens have letters of two bytes), the carriage returns of the
# terminal left out.
wider_than() { # <columns> <file>
  perl -CSD -ne 'chomp; s/\r//g; print "$_\n" if length($_) > '"$1" "$2"
}
screen_has() { grep -Fq -- "$1" "$work/screen" || fail "the terminal does not show '$1': $(cat "$work/screen")"; }

installed="$drive_c/Program Files/OrvelDraw"
install_actions='set FSetup.EFolder C:\Program Files\OrvelDraw\
select FSetup.RGRegOrIni 1
click FSetup.BInstal
click FSetup.BInstall
click FMemo.BClose'

echo "-- install by typed actions"
{ echo help; echo "$install_actions"; } | at_terminal "$dist/Setup.exe" ORVEL_GUI_TRANSCRIPT="$work/typed.transcript"
for control in LFolder EFolder SBOrdner BInstall RGRegOrIni BDeinstall CBStartmenu CBDesktopSymbol BLanguage \
  CBPortableApplication LHint1 BClose LHint2 EUserfolder SBUserIni; do
  screen_has " $control: "
done
screen_has "+- Setup "
screen_has "BInstall: < "
screen_has "CBStartmenu: [x] "
screen_has "(*) "
screen_has "Actions, one a line"
screen_has "click FSetup.BInstall"
screen_has "has no control BInstal; did you mean BInstall"
screen_has "| MInstallation:"
! grep -q $'\x1b\[[0-9;]*m' "$work/screen" || fail "colour on a dumb terminal"
wide=$(wider_than 100 "$work/screen")
[ -z "$wide" ] || fail "lines wider than the terminal: $wide"
for file in OrvelDraw.exe Setup.exe install.txt ODMachine.INI languages; do
  [ -e "$installed/$file" ] || fail "$file is not installed"
done

echo "-- the transcript is the one the same script writes"
printf '%s\n' "$install_actions" >"$work/install.script"
ORVEL_MACHINE="$work/machine2" ORVEL_GUI_SCRIPT="$work/install.script" \
  ORVEL_GUI_TRANSCRIPT="$work/script.transcript" "$dist/Setup.exe" </dev/null
cmp "$work/typed.transcript" "$work/script.transcript" ||
  fail "the transcripts differ: $(diff "$work/typed.transcript" "$work/script.transcript")"

echo "-- Ctrl-D and close FSetup end the program as its close button does"
: | at_terminal "$dist/Setup.exe" ORVEL_GUI_TRANSCRIPT="$work/eof.transcript"
screen_has "end of input"
[ "$(tail -n 1 "$work/eof.transcript")" = "close FSetup" ] || fail "Ctrl-D: $(cat "$work/eof.transcript")"
echo "close FSetup" | at_terminal "$dist/Setup.exe" ORVEL_GUI_TRANSCRIPT="$work/close.transcript"
[ "$(grep -c '^close FSetup$' "$work/close.transcript")" -eq 1 ] || fail "close FSetup: $(cat "$work/close.transcript")"
[ "$(tail -n 1 "$work/close.transcript")" = "close FSetup" ] || fail "close FSetup: $(cat "$work/close.transcript")"

echo "-- uninstall by typed actions with the installed program"
printf '%s\n' "click FSetup.BDeinstall" "click FMemo.BClose" | at_terminal "$installed/Setup.exe"
screen_has "BDeinstall: < "
screen_has "| MInstallation:"
gone() { [ ! -e "$installed" ]; }
eventually gone || fail "the installation folder is still there: $(ls -la "$installed")"

echo "-- the demo runs from a fresh copy on drive D: of the default machine, whatever the last run did there"
home="$work/home"
demo_root="$home/.local/share/orvel-machine"
printf '#!/bin/sh\nexec %q %q\n' "$(cd "$(dirname "$0")/../.." && pwd)/scripts/start-demo.sh" "$dist" >"$work/demo"
chmod +x "$work/demo"
demo() { at_terminal "$work/demo" -u ORVEL_MACHINE -u XDG_DATA_HOME HOME="$home" ORVEL_GUI_TRANSCRIPT="$work/demo.transcript"; }
printf '%s\n' "click FSetup.BLanguage" "file dutch.ini" "click FSetup.BDeinstall" "dump FMemo" "click FMemo.BClose" | demo
screen_has "folder: D:\languages"
grep -Fxq 'filedialog "D:\\languages" "*.ini" "*.ini|*.ini;*.*|*.*" -> "D:\\languages\\dutch.ini"' "$work/demo.transcript" ||
  fail "the language dialog: $(cat "$work/demo.transcript")"
screen_has "FMemo.MInstallation memo enabled=1 lines:"
screen_has "    Orvel-Draw Installation"
[ -f "$demo_root/machine.ini" ] || fail "the new machine has no machine.ini: $(ls -a "$demo_root")"
no_setup() { [ ! -e "$demo_root/drive_d/Setup.exe" ]; }
eventually no_setup || fail "the uninstallation left D:\Setup.exe"
echo "close FSetup" | demo
screen_has "+- "
for file in Setup.exe OrvelDraw.exe languages/dutch.ini templates/letter.odt; do
  [ -e "$demo_root/drive_d/$file" ] || fail "D:\\$file is missing after the second start"
done

echo "-- a start while the setup program runs from D: leaves the drive alone"
rm "$demo_root/drive_d/languages/dutch.ini"
flock -s "$demo_root/drive_d/Setup.exe" sleep 30 &
holder=$!
cleanup_actions+=('kill "$holder" 2>/dev/null || true')
sleep 0.3
status=0
env -u ORVEL_MACHINE -u XDG_DATA_HOME HOME="$home" "$work/demo" </dev/null >"$work/refused" 2>&1 || status=$?
kill "$holder"
[ "$status" -eq 1 ] && grep -q "still running from D:" "$work/refused" || fail "a second start: $status $(cat "$work/refused")"
[ ! -e "$demo_root/drive_d/languages/dutch.ini" ] || fail "the second start wrote the drive of the running one"

echo "PASS"
