#!/usr/bin/env bash
# Install and uninstall end to end, driven only through the scripted GUI:
# the distribution's Setup.exe installs into INI files, its log window's
# button starts the application; the installed Setup.exe uninstalls, and its
# log window's button starts RunOrvel.bat, which deletes the setup program
# and its folder. Afterwards nothing of the application is left but the
# recycle bin's content, the user-settings folder, the batch file (and the
# file-extension keys, which the installation never writes).
#
# usage: install_roundtrip.sh <dist folder> [wine]
# Natively the program runs on a fresh emulated machine from C:\dist\; with
# the Wine program given it runs in the test prefix ($WINEPREFIX) from
# C:\orvel-e2e-dist\. KEEP=1 keeps the native run's work folder and machine.
set -euo pipefail
dist=$1
wine=${2:-}
work=$(mktemp -d)

source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

# Every OrvelDraw.lnk on drive C:, Windows' own folder left out.
shortcuts() { find "$drive_c" -path "$drive_c/windows" -prune -o -iname OrvelDraw.lnk -print; }

# The transcript of the last run, and the program started with a script.
transcript() { tr -d '\r' <"$work/transcript"; }
run_setup() { # <windows path of Setup.exe> <script>
  if [ -n "$wine" ]; then
    ORVEL_GUI_SCRIPT="$2" ORVEL_GUI_TRANSCRIPT="$work/transcript" "$wine" "$1"
  else
    ORVEL_GUI_SCRIPT="$2" ORVEL_GUI_TRANSCRIPT="$work/transcript" "$(host_path "$1")"
  fi
}

if [ -n "$wine" ]; then
  : "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
  drive_c="$WINEPREFIX/drive_c"
  source_windows='C:\orvel-e2e-dist\'
  target_windows='C:\orvel-e2e\OrvelDraw\'
  host_path() { # C:\a\b -> the prefix's file
    local p=${1#C:\\}
    echo "$drive_c/${p//\\//}"
  }
  users="$drive_c/users"
  reg_has_program_keys() {
    local key
    for key in 'HKLM\Software\OrvelDraw' 'HKLM\Software\Wow6432Node\OrvelDraw' 'HKCU\Software\OrvelDraw' \
      'HKLM\Software\Classes\OrvelDraw' 'HKCU\Software\Classes\OrvelDraw'; do
      "$wine" reg query "$key" >/dev/null 2>&1 && return 0
    done
    return 1
  }
  clean() {
    rm -rf "$drive_c/orvel-e2e-dist" "$drive_c/orvel-e2e" "$users"/*/AppData/Roaming/OrvelDraw
    shortcuts | while read -r link; do rm -f "$link"; done
    for key in 'HKLM\Software\OrvelDraw' 'HKCU\Software\OrvelDraw'; do
      "$wine" reg delete "$key" /f /reg:32 >/dev/null 2>&1 || true
    done
  }
  trap 'clean; rm -rf "$work"' EXIT
  clean
  machine_files() { find "$drive_c" -path "$drive_c/windows" -prune -o -print | sort; }
else
  export ORVEL_MACHINE="$work/machine"
  drive_c="$ORVEL_MACHINE/drive_c"
  source_windows='C:\dist\'
  target_windows='C:\Program Files\OrvelDraw\'
  host_path() {
    local p=${1#C:\\}
    echo "$drive_c/${p//\\//}"
  }
  users="$drive_c/Users"
  reg_has_program_keys() {
    [ -f "$ORVEL_MACHINE/registry.reg" ] &&
      iconv -f UTF-16 -t UTF-8 "$ORVEL_MACHINE/registry.reg" | tr -d '\r' | grep -Eiq '^\[HKEY_[A-Z_]+\\Software\\(Classes\\)?OrvelDraw(\\|\])'
  }
  trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
  machine_files() { find "$drive_c" | sort; }
fi

# A new emulated machine gets its standard folders when a program first
# runs on it: the setup program started with an empty script ends at once.
if [ -z "$wine" ]; then
  : >"$work/empty.script"
  ORVEL_GUI_SCRIPT="$work/empty.script" ORVEL_GUI_TRANSCRIPT="$work/transcript" "$dist/Setup.exe" ||
    fail "the setup program does not start"
  [ -d "$drive_c" ] || fail "no machine at $ORVEL_MACHINE"
fi

# The distribution copied into the machine, so that the setup program's own
# path is a path there.
mkdir -p "$(host_path "$source_windows")"
cp -a "$dist"/. "$(host_path "$source_windows")"
source_setup="${source_windows}Setup.exe"
installed="$(host_path "$target_windows")"
# The folder that holds the installation was there before it.
mkdir -p "$(dirname "$installed")"
before="$work/before"
machine_files >"$before"

echo "-- install into INI files; the log window's button starts the application"
cat >"$work/install.script" <<EOF
set FSetup.EFolder $target_windows
select FSetup.RGRegOrIni 1
click FSetup.BInstall
click FMemo.BClose
EOF
run_setup "$source_setup" "$work/install.script" || fail "the installation ended with $?"
transcript | grep -q '^show FMemo ' || fail "no log window: $(transcript)"
! transcript | grep -q '^msgbox' || fail "a message box: $(transcript)"
transcript | tail -n 1 | grep -Fxq 'close FSetup' || fail "the program did not end with its window: $(transcript)"
for file in OrvelDraw.exe Setup.exe install.txt ODMachine.INI OrvelDraw.lnk languages templates styles; do
  [ -e "$installed/$file" ] || fail "$file is not installed"
done
cmp -s "$dist/Setup.exe" "$installed/Setup.exe" || fail "the installed Setup.exe differs"
[ -x "$installed/Setup.exe" ] || fail "the installed Setup.exe cannot be started"
[ "$(shortcuts | wc -l)" -eq 3 ] || fail "not the three shortcuts: $(shortcuts)"
if [ -z "$wine" ]; then
  tail -n 1 "$ORVEL_MACHINE/shell.log" | grep -Fxq "$(printf 'execute\t%sOrvelDraw.exe\t\t\t1' "$target_windows")" ||
    fail "the application was not started: $(cat "$ORVEL_MACHINE/shell.log")"
fi
home_dir=$(tr -d '\r' <"$installed/ODMachine.INI" | sed -n 's/^HomeDir=//p')
[ -n "$home_dir" ] || fail "ODMachine.INI names no user folder"

echo "-- uninstall with the installed Setup.exe; the button starts RunOrvel.bat"
cat >"$work/uninstall.script" <<EOF
click FSetup.BDeinstall
click FMemo.BClose
EOF
run_setup "${target_windows}Setup.exe" "$work/uninstall.script" || fail "the uninstallation ended with $?"
! transcript | grep -q '^msgbox' || fail "a message box: $(transcript)"
if [ -z "$wine" ]; then
  tail -n 1 "$ORVEL_MACHINE/shell.log" | grep -Eq $'^execute\t.*\\\\RunOrvel\\.bat\t\t\t0$' ||
    fail "the batch file was not started: $(cat "$ORVEL_MACHINE/shell.log")"
fi
gone() { [ ! -e "$installed" ]; }
eventually gone || fail "the installation folder is still there: $(ls -la "$installed")"

echo "-- what is left"
[ -z "$(shortcuts)" ] || fail "shortcuts left: $(shortcuts)"
! reg_has_program_keys || fail "registry keys of the program are left"
# Everything new on drive C: must be the user-settings folder, the batch file
# or a folder that every Windows has (the emulated machine makes the Start
# menu's Programs folder only when the installation needs it); the recycle
# bin lies outside drive C:.
machine_files >"$work/after"
comm -13 "$before" "$work/after" >"$work/new"
unexpected=$(grep -Eiv '/AppData/Roaming/OrvelDraw$|/RunOrvel\.bat$|/AppData$|/AppData/Roaming$|/Local$|/Temp$|/Start Menu/Programs$' "$work/new" || true)
[ -z "$unexpected" ] || fail "left behind: $unexpected"
grep -Eiq '/Roaming/OrvelDraw$' "$work/new" || fail "the user-settings folder is gone or was never made: $(cat "$work/new")"
grep -Eiq '/RunOrvel\.bat$' "$work/new" || [ -n "$wine" ] || fail "no RunOrvel.bat: $(cat "$work/new")"
if [ -z "$wine" ]; then
  recycled=$(ls "$ORVEL_MACHINE/recycle-bin" | sed 's/^[0-9]*-//' | sort | tr '\n' ' ')
  [ "$recycled" = "languages styles templates " ] || fail "recycle bin holds: $recycled"
fi

echo "PASS"
