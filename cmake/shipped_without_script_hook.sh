#!/usr/bin/env bash
# shipped_without_script_hook.sh <shipped Setup.exe> <its link map> [<scripted variant> <its link map>]:
# the program as it ships links nothing of the scripted GUI, the terminal
# renderer or the scripted program backend (no member of their libraries, no
# object of theirs in its link map), and holds none of the names of the GUI
# script's variables, in single-byte or UTF-16 strings. The variant, when
# given, links and holds them all, so that each search is shown to find them.
set -euo pipefail
shipped=$1 shipped_map=$2 variant=${3:-} variant_map=${4:-}
# What the test variant links besides the shipped program, as the map names it.
hooks='liborvel_gui_script\.a\(|liborvel_gui_terminal\.a\(|orvel_program_scripted\.dir/'
linked() { grep -oE "($hooks)[^ )]*" "$1" | sed -E 's/\($//' | sort -u || true; }
names() { { strings -a "$1"; strings -a -e l "$1"; } | grep -o 'ORVEL_GUI_[A-Z]*' | sort -u || true; }

found=$(linked "$shipped_map")
[ -z "$found" ] || { echo "FAIL: the shipped $shipped links:"$'\n'"$found" >&2; exit 1; }
found=$(names "$shipped")
[ -z "$found" ] || { echo "FAIL: the shipped $shipped holds: $found" >&2; exit 1; }
if [ -n "$variant" ]; then
  for library in liborvel_gui_script.a liborvel_gui_terminal.a orvel_program_scripted.dir/; do
    linked "$variant_map" | grep -qF "$library" ||
      { echo "FAIL: the variant's map $variant_map shows nothing of $library" >&2; exit 1; }
  done
  expected=$'ORVEL_GUI_SCRIPT\nORVEL_GUI_TRANSCRIPT'
  [ "$(names "$variant")" = "$expected" ] || { echo "FAIL: the variant $variant lacks the variables' names" >&2; exit 1; }
fi
echo "the shipped program links no GUI script, terminal or transcript and reads no GUI script${variant:+; its test variant does}"
