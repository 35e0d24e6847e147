#!/usr/bin/env bash
# Installs the Debian packages that one task needs, named by the argument:
#
#   demo    the native program (scripts/run-setup.sh): CMake, Ninja, g++, ICU
#   wine    the Windows program under Wine (scripts/run-windows.sh)
#   tests   everything the tests need (scripts/test-all.sh); the default
#
# Safe to run again: packages already there are left alone, and when none is
# missing apt is not asked at all. Runs as root or with sudo, without
# standard input (CI).
set -euo pipefail

demo=(cmake ninja-build g++ libicu-dev)
# wine32:i386 is the 32-bit loader that runs the 32-bit Setup.exe in the
# 64-bit prefix (WoW64), with the X extensions its X11 driver loads (only
# recommended, so named here) to draw the same windows as the 64-bit side;
# fonts-wine gives the windows under Wine Tahoma and the caption buttons'
# Marlett; xprop (x11-utils) tells whether a window manager runs. The
# Windows build draws its icon with a program of this machine (g++), which
# compresses it with zlib.
wine=(
  cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix g++ zlib1g-dev
  wine64 wine32:i386 fonts-wine x11-utils
  libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
  libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386
)
tests=(
  "${demo[@]}" "${wine[@]}"
  clang libclang-rt-14-dev libgtest-dev googletest xvfb xauth liblnk-utils locales
)

case ${1:-tests} in
  demo) packages=("${demo[@]}") ;;
  wine) packages=("${wine[@]}") ;;
  tests) packages=("${tests[@]}") ;;
  *) echo "usage: $0 [demo|wine|tests]" >&2; exit 2 ;;
esac

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# One query for all; dpkg names some packages of the machine's own
# architecture with it, so that suffix is dropped.
native=$(dpkg --print-architecture)
installed=$(dpkg-query -W -f='${binary:Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
  awk '/ install ok installed$/ {print $1}' | sed "s/:$native\$//" || true)
missing=()
for p in "${packages[@]}"; do
  grep -qxF "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "installing ${missing[*]}" >&2

# The 32-bit packages need the i386 architecture, added before the package
# lists are read so that its packages are in them.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null >/dev/null
