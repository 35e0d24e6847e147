#!/usr/bin/env bash
# Makes the fresh Wine prefix of the test run ($WINEPREFIX), once before the
# tests. Works headless (no DISPLAY), as root and without standard input:
# the environment (tests/CMakeLists.txt) turns off the Mono and Gecko
# installers, so nothing waits for a person.
#
# usage: make_wineprefix.sh [wine]
set -euo pipefail
wine=${1:-wine}
: "${WINEPREFIX:?WINEPREFIX must name the prefix to make}"
rm -f "$WINEPREFIX.log"

# The server that belongs to the wine we were given.
wineserver=$(dirname "$(command -v "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

start=$SECONDS
# What went wrong, where the test run shows it.
trap 'status=$?; [ $status -eq 0 ] || { echo "wine prefix $WINEPREFIX not made; its log:"; tail -n 40 "$WINEPREFIX.log"; }' EXIT

# A 64-bit prefix with its 32-bit side (syswow64), which Debian's wine32
# fills; wineboot's status says little, so the prefix is checked for what it
# must hold, and made once more where the first try left it unusable.
made() { [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows/system32" ]; }
for try in 1 2; do
  # A server left over from an interrupted run still holds the old prefix.
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  echo "-- wineboot, try $try" >>"$WINEPREFIX.log"
  "$wine" wineboot --init </dev/null >>"$WINEPREFIX.log" 2>&1 || true
  "$wineserver" -w
  made && break
done
# Shortcuts saved into the Start menu or on the desktop would otherwise
# become menu entries and launchers of the Linux desktop.
"$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f \
  </dev/null >>"$WINEPREFIX.log" 2>&1
# The native windows under Xvfb, where no window manager runs: Wine draws
# the windows' frames and title bars itself (Decorated=N) and places them
# without waiting for a window manager's answer (Managed=N; a managed window
# costs two seconds each time it goes). The menu colour of Windows' standard
# scheme, so that a field in the menu colour shows apart from one in the
# window colour (Wine's own scheme makes both white).
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f </dev/null >>"$WINEPREFIX.log" 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >>"$WINEPREFIX.log" 2>&1
"$wine" reg add 'HKCU\Control Panel\Colors' /v Menu /t REG_SZ /d '240 240 240' /f </dev/null >>"$WINEPREFIX.log" 2>&1
"$wineserver" -w

# The caption buttons' symbols come from the Marlett font, which the prefix
# lacks (they would show as the letters 0, 1 and r).
marlett=/usr/share/wine/fonts/marlett.ttf
[ -f "$marlett" ] && cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"

# Wine links the user's Desktop, Documents and the like to the Linux home
# folder; tests write shortcuts there, so give the prefix folders of its own.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then
    rm "$link"
    mkdir "$link"
  fi
done

made
echo "wine prefix $WINEPREFIX made in $((SECONDS - start)) s"
