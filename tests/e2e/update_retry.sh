#!/usr/bin/env bash
# A file update whose copy fails end to end: the installed Setup.exe is
# running, so it cannot be replaced. The updater window then shows the whole
# log; after that program has ended, Retry runs the update again below the
# first run and saves update.txt with both; OK starts the application and
# the program ends. The user's actions come through a FIFO, one at a time.
#
# usage: update_retry.sh <dist folder> [wine]
set -euo pipefail
dist=$1
wine=${2:-}
. "$(dirname "$0")/lib/machine.bash"
cleanup_actions=('exec 3>&- 4>&- 2>/dev/null || true; kill $holder $updater 2>/dev/null || true; wait 2>/dev/null || true;
rm -rf "$(host_path "C:\\Orvel")" "$(host_path "C:\\Update")"' "${cleanup_actions[@]}")

holder=
updater=
inst='C:\Orvel\'
src='C:\Update\'
h_inst=$(host_path "$inst")
h_src=$(host_path "$src")
rm -rf "$h_inst" "$h_src"
mkdir -p "$h_inst" "$h_src"
cp "$dist/Setup.exe" "$h_inst/Setup.exe"
touch -d '30 days ago' "$h_inst/Setup.exe"
printf 'old application' >"$h_inst/OrvelDraw.exe"
cp "$dist/Setup.exe" "$dist/OrvelDraw.exe" "$h_src/"

# wait_for <file> <fixed text>: until a line of the file holds the text.
wait_for() {
  local i
  for i in $(seq 1 600); do
    [ -f "$1" ] && tr -d '\r' <"$1" | grep -Fq -- "$2" && return 0
    sleep 0.2
  done
  fail "waited in vain for \"$2\" in $1: $(cat "$1" 2>/dev/null)"
}

# start <fifo> <transcript> <program> <arguments...>: runs the program in the
# background with its script read from the FIFO; its pid in $started.
start() {
  local fifo=$1 transcript=$2
  shift 2
  mkfifo "$fifo"
  ORVEL_GUI_SCRIPT="$fifo" ORVEL_GUI_TRANSCRIPT="$transcript" timeout 300 ${wine:+"$wine"} "$@" \
    2>"$transcript.stderr" &
  started=$!
}

echo "-- the installed setup program runs"
start "$work/holder.fifo" "$work/holder.txt" "$h_inst/Setup.exe"
holder=$started
exec 3>"$work/holder.fifo"
echo 'dump FSetup' >&3
wait_for "$work/holder.txt" 'FSetup form caption='

echo "-- the update cannot replace it"
start "$work/updater.fifo" "$work/updater.txt" "$h_src/Setup.exe" -Update "$inst" "$src" 2.1
updater=$started
exec 4>"$work/updater.fifo"
wait_for "$work/updater.txt" 'show FUpdater "Orvel-Draw-Updater"'
echo 'dump FUpdater' >&4
wait_for "$work/updater.txt" 'FUpdater.Memo memo'
first_failure='\"C:\\Orvel\\Setup.exe\" kann nicht gelöscht werden.\nCannot copy C:\\Update\\Setup.exe\n  to: C:\\Orvel\\Setup.exe\nC:\\Orvel\\update.txt"'
grep -F 'FUpdater.Memo memo' "$work/updater.txt" | grep -Fq "$first_failure" ||
  fail "the window does not show the whole log: $(cat "$work/updater.txt")"
grep -Fq 'Old Version: 2.1' "$h_inst/update.txt" || fail "no update.txt after the first run"

echo "-- the installed setup program ends; Retry"
echo 'close FSetup' >&3
exec 3>&-
wait "$holder" || fail "the installed setup program ended with $?"
echo 'click FUpdater.BRetry' >&4
echo 'dump FUpdater' >&4
wait_for "$work/updater.txt" 'Kopiere C:\\Update\\Setup.exe nach C:\\Orvel\\Setup.exe'
[ "$(tr -d '\r' <"$h_inst/update.txt" | grep -c '^Source     : C:\\Update\\$')" -eq 2 ] ||
  fail "update.txt does not hold both runs: $(cat "$h_inst/update.txt")"
tr -d '\r' <"$h_inst/update.txt" | tail -n 1 | grep -Fxq 'C:\Orvel\update.txt' || fail "update.txt ends wrong"
cmp -s "$dist/Setup.exe" "$h_inst/Setup.exe" || fail "Setup.exe not replaced on Retry"

echo "-- OK starts the application and ends the program"
echo 'click FUpdater.BOK' >&4
exec 4>&-
status=0
wait "$updater" || status=$?
[ "$status" -eq 0 ] || fail "the updater ended with $status: $(cat "$work/updater.txt.stderr")"
[ "$(tr -d '\r' <"$work/updater.txt" | tail -n 3)" = "$(printf 'close FUpdater\nhide FUpdater\nclose FSetup')" ] ||
  fail "end of the transcript: $(cat "$work/updater.txt")"
if [ -z "$wine" ]; then
  shell_log | grep -Fxq "$(printf 'execute\tC:\\Orvel\\OrvelDraw.exe\t\tC:\\Orvel\\\t1')" || fail "shell log: $(shell_log)"
fi

echo "PASS"
