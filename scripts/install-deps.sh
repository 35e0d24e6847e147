#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Safe to run
# again: packages already there are left alone. Runs as root or with sudo,
# without standard input (CI).
set -euo pipefail

# wine32:i386 is the 32-bit loader that runs the 32-bit Setup.exe in the
# 64-bit prefix (WoW64), with the X extensions its X11 driver loads (only
# recommended, so named here) to draw the same windows as the 64-bit side;
# fonts-wine gives the windows under Wine Tahoma and the caption buttons'
# Marlett. zlib compresses the icon that the Windows build draws.
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine64 wine32:i386 fonts-wine xvfb xauth liblnk-utils locales
  libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
  libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386
  libicu-dev zlib1g-dev
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# The 32-bit packages need the i386 architecture; the package lists are read
# again below, after it is added, since its packages are then missing.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

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

$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null >/dev/null
