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

# The server that belongs to the wine we were given.
wineserver=$(dirname "$(command -v "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

start=$SECONDS
# A server left over from an interrupted run still holds the old prefix.
"$wineserver" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"

# A 64-bit prefix with its 32-bit side (syswow64), which Debian's wine32
# fills; wineboot's status says little, the checks below tell whether the
# prefix is usable.
"$wine" wineboot --init </dev/null >"$WINEPREFIX.log" 2>&1 || true
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

test -f "$WINEPREFIX/system.reg"
test -d "$WINEPREFIX/drive_c/windows/system32"
echo "wine prefix $WINEPREFIX made in $((SECONDS - start)) s"
