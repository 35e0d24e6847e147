#!/usr/bin/env bash
# Prints the target triple whose build the Windows suite runs in: i686, the
# program as it ships, where this machine starts the 32-bit Wine loader;
# else x86_64, with a note on standard error. Some kernels start no 32-bit
# programs at all (built without IA32 emulation, or started with
# ia32_emulation=0): every 32-bit program then fails with "Exec format
# error", Wine's loader included.
set -euo pipefail
loader=/usr/lib/wine/wine
if [ -x "$loader" ] && "$loader" --version >/dev/null 2>&1; then
  echo i686-w64-mingw32
else
  echo "note: this machine starts no 32-bit programs ($loader);" \
    "the Windows suite runs in the x86_64 build" >&2
  echo x86_64-w64-mingw32
fi
