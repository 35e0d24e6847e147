#!/usr/bin/env bash
# Runs the real Windows program, Setup.exe as it ships, under Wine on this
# machine's display: the 32-bit program where this machine starts 32-bit
# programs (build-win32/), else the x86_64 build (build-win64/); it says
# which. Installs what it needs (scripts/install-deps.sh wine) and builds the
# program and its distribution only (the folders can be chosen with
# ORVEL_WIN32_BUILD and ORVEL_WIN64_BUILD, as for scripts/build-windows.sh).
#
# The program runs in a Wine prefix of its own, $ORVEL_WINEPREFIX, else
# ~/.local/share/orvel-wineprefix, from a fresh copy of the distribution on
# the prefix's drive D:, written anew at each start as for the demo (an
# uninstallation removes the setup program's own files). Where no window
# manager runs (Xvfb, a bare X server) its windows get a Wine desktop of
# their own, so that they have frames with working caption buttons.
#
# usage: run-windows.sh [arguments of Setup.exe...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${DISPLAY:-}" ]; then
  echo "There is no display (DISPLAY is not set): the Windows program shows windows." >&2
  echo "Without a screen, run it on a virtual one: xvfb-run -a -s '-screen 0 1280x1024x24' $0" >&2
  exit 1
fi

"$here/scripts/install-deps.sh" wine

# 64-bit Wine's loader, named by its path: /usr/bin/wine takes the 32-bit one
# for every program once wine32 is installed. It hands a 32-bit program to
# the 32-bit loader itself.
wine=/usr/lib/wine/wine64
case $("$here/scripts/windows-suite.sh" 2>/dev/null) in
  i686-w64-mingw32)
    build=${ORVEL_WIN32_BUILD:-$here/build-win32} triple=i686-w64-mingw32
    echo "Running the 32-bit Setup.exe, as it ships, through Wine's 32-bit loader ($build/dist)." >&2
    ;;
  *)
    build=${ORVEL_WIN64_BUILD:-$here/build-win64} triple=x86_64-w64-mingw32
    echo "This machine starts no 32-bit programs (its kernel lacks IA32 emulation):" \
      "running the x86_64 build of Setup.exe ($build/dist)." >&2
    ;;
esac

# A build folder already there keeps its options (scripts/build-windows.sh
# may have configured it with the tests); only the program is built.
# Two starts at once build one after the other, not in each other's way.
mkdir -p "$build"
exec 8>"$build/.build.lock"
flock 8
log=$(mktemp)
trap 'rm -f "$log"' EXIT
configure=()
if [ ! -f "$build/build.ninja" ]; then
  echo "Building it in $build (some minutes the first time)..." >&2
  configure=(cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$triple.cmake" -DORVEL_TESTS=OFF -DORVEL_BENCH=OFF)
fi
if ! { { [ ${#configure[@]} -eq 0 ] || "${configure[@]}"; } &&
  cmake --build "$build" -j"$(nproc)" --target dist; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "The build failed (above)." >&2
  exit 1
fi
exec 8>&-

export WINEPREFIX=${ORVEL_WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/orvel-wineprefix}
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
# No installers for Mono and Gecko, which a new prefix would offer.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX (a minute the first time)..." >&2
  mkdir -p "$WINEPREFIX"
  { "$wine" wineboot --init &&
    # The shortcuts that an installation makes stay in the prefix: no menu
    # entries and launchers on the Linux desktop.
    "$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f &&
    /usr/lib/wine/wineserver -w; } </dev/null >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
  # Wine links the Desktop, Documents and the like to the Linux home folder;
  # the prefix gets folders of its own.
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
  done
fi
# The caption buttons' symbols come from the Marlett font, which a new prefix
# lacks (they would show as the letters 0, 1 and r).
if [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi

# Drive D: holds the distribution, as from a CD or USB stick.
drive=$WINEPREFIX/drive_d
rm -rf "$drive.new"
cp -R "$build/dist" "$drive.new"
chmod -R u+rwX "$drive" 2>/dev/null || true
rm -rf "$drive"
mv "$drive.new" "$drive"
ln -sfn ../drive_d "$WINEPREFIX/dosdevices/d:"

# A window manager announces itself on the root window; without one the
# windows get a desktop of their own, which draws their frames.
if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  exec "$wine" 'D:\Setup.exe' "$@"
fi
echo "No window manager runs on $DISPLAY: the windows get a Wine desktop of their own." >&2
exec "$wine" explorer /desktop=Orvel-Draw,1024x768 'D:\Setup.exe' "$@"
