#!/usr/bin/env bash
# The README's examples as a newcomer types them: its first window is what
# the demo draws on a fresh machine at a terminal 80 columns wide, and its
# machine.ini and its four actions make the installation it describes.
#
# usage: readme_examples_posix.sh <dist folder>
# The emulated machine's only: machine.ini and the terminal are its own.
set -euo pipefail
dist=$1
wine=
. "$(dirname "$0")/lib/machine.bash"
readme="$(dirname "$0")/../../README.md"

# The indented block of the README that follows the line matching $1 (its
# blank first line skipped), without its indent.
block_after() {
  awk -v start="$1" '
    found && /^    / { sub(/^    /, ""); print; seen = 1; next }
    found && seen { exit }
    index($0, start) { found = 1 }' "$readme"
}
# The fenced block that begins with the line $1.
fenced() { awk -v start="$1" '$0 == start { on = 1; next } on && /^```/ { exit } on' "$readme"; }

echo "-- the first window, as the README shows it"
block_after "on a fresh machine, 80 columns wide" | sed '/^>$/d' >"$work/expected"
[ "$(wc -l <"$work/expected")" -gt 10 ] || fail "no window in the README: $(cat "$work/expected")"
: | env -u LANG -u LC_ALL TERM=dumb USER=anna timeout 60 script -qec "stty cols 80; exec '$dist/Setup.exe'" /dev/null |
  tr -d '\r' >"$work/screen"
sed -n '/^+- Setup for Orvel-Draw/,/^+---/p' "$work/screen" | head -n "$(wc -l <"$work/expected")" >"$work/drawn"
cmp -s "$work/expected" "$work/drawn" || fail "the README's window is not the one drawn:
$(diff "$work/expected" "$work/drawn")"

echo "-- its machine.ini and its four actions"
fenced '```ini' >"$ORVEL_MACHINE/machine.ini"
grep -q '^UserName=anna$' "$ORVEL_MACHINE/machine.ini" || fail "no machine.ini in the README"
block_after "Four actions make" | sed 's/ *#.*//' >"$work/actions"
script="$work/actions"
run_setup "$dist/Setup.exe"
[ "$status" -eq 0 ] || fail "exit $status: $(transcript)"
installed="$drive_c/Program Files/OrvelDraw"
[ -f "$installed/ODMachine.INI" ] || fail "no installation into INI files: $(transcript)"
# German (LangId 0x0407): no language file is read; the public desktop is
# not available (CommonDesktop=), so the shortcut goes on anna's own.
transcript | grep -Fxq 'show FMemo "Installation"' || fail "not the German log window: $(transcript)"
[ -f "$drive_c/Users/anna/Desktop/OrvelDraw.lnk" ] || fail "no shortcut on anna's desktop: $(transcript)"
[ ! -e "$drive_c/Users/Public/Desktop/OrvelDraw.lnk" ] || fail "a shortcut on the public desktop"
grep -q $'^execute\tC:\\\\Program Files\\\\OrvelDraw\\\\OrvelDraw.exe' "$ORVEL_MACHINE/shell.log" ||
  fail "the application was not started: $(shell_log)"

echo "PASS"
