#!/usr/bin/env bash
# Starts the setup program as a user gets it: from the demo distribution on
# drive D: of the emulated machine ($ORVEL_MACHINE, else
# ~/.local/share/orvel-machine), as from a CD or USB stick. D:\ is written
# anew from <dist folder> at each start, whatever the last run did there (an
# uninstallation removes the setup program's own files, a half-done one some
# of them), so that every start finds the whole distribution.
#
# usage: start-demo.sh <dist folder> [arguments of Setup.exe...]
set -euo pipefail
dist=${1:?usage: start-demo.sh <dist folder> [arguments...]}
shift
for file in Setup.exe OrvelDraw.exe languages; do
  [ -e "$dist/$file" ] || { echo "$dist is no demo distribution: $file is missing" >&2; exit 1; }
done

# The program's own rule for its machine; its root made absolute and free of
# links, so that the program's path (/proc/self/exe, which is) lies on D:.
home=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
data=${XDG_DATA_HOME:-$home/.local/share}
root=$(realpath -m "${ORVEL_MACHINE:-$data/orvel-machine}")
export ORVEL_MACHINE=$root
drive=$root/drive_d
mkdir -p "$root"

# One start at a time writes the drive; a program still running from it
# (its executable held, as Windows holds a running program) keeps it.
exec 9>"$root/.drive_d.lock"
flock 9
if [ -e "$drive/Setup.exe" ] && ! flock -n -x "$drive/Setup.exe" true; then
  echo "The setup program is still running from D:\\ of this machine ($root)." >&2
  echo "End it first, or give this start a machine of its own: ORVEL_MACHINE=<folder> $0 $*" >&2
  exit 1
fi
fresh=$root/.drive_d.new
rm -rf "$fresh"
cp -R "$dist" "$fresh"
if [ -L "$drive" ]; then
  rm -f "$drive"
elif [ -e "$drive" ]; then
  chmod -R u+rwX "$drive" 2>/dev/null || true  # read-only folders left by the last run
  rm -rf "$drive"
fi
mv "$fresh" "$drive"
exec 9>&-

exec "$drive/Setup.exe" "$@"
