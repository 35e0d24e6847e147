#!/usr/bin/env bash
# shipped_without_script_hook.sh <shipped Setup.exe> [<scripted variant>]:
# the program as it ships holds none of the names of the GUI script's
# variables, in single-byte or UTF-16 strings; the variant, when given,
# holds them, so that the search itself is shown to find them.
set -euo pipefail
shipped=$1 variant=${2:-}
names() { { strings -a "$1"; strings -a -e l "$1"; } | grep -o 'ORVEL_GUI_[A-Z]*' | sort -u || true; }
found=$(names "$shipped")
[ -z "$found" ] || { echo "FAIL: the shipped $shipped holds: $found" >&2; exit 1; }
if [ -n "$variant" ]; then
  expected=$'ORVEL_GUI_SCRIPT\nORVEL_GUI_TRANSCRIPT'
  [ "$(names "$variant")" = "$expected" ] || { echo "FAIL: the variant $variant lacks the variables' names" >&2; exit 1; }
fi
echo "the shipped program reads no GUI script${variant:+; its test variant does}"
