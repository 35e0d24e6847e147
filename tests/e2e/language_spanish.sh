#!/usr/bin/env bash
# A Spanish-speaking user end to end, driven only through the scripted GUI:
# the distribution's Setup.exe shows both windows in Spanish from its first
# paint, a portable installation logs in Spanish, and the installed
# configuration names the installed Spanish file relative to the
# installation folder; an update of that installation, which never paints the
# setup window, still logs its copies in German.
#
# usage: language_spanish.sh <dist folder> [wine]
# Natively the program runs on a fresh emulated machine whose user language
# is 0x0C0A, from C:\dist\ into E:\OrvelDraw\. With the Wine program given it
# runs in the test prefix ($WINEPREFIX) under a Spanish user locale, from
# C:\orvel-e2e-es-dist\ into C:\orvel-e2e-es\OrvelDraw\; when Wine cannot take
# that locale, the run is skipped.
set -euo pipefail
dist=$1
wine=${2:-}
work=$(mktemp -d)

source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.bash"

transcript() { tr -d '\r' <"$work/transcript"; }
has_line() { transcript | grep -Fxq -- "$1" || fail "no transcript line $1 in: $(transcript)"; }

if [ -n "$wine" ]; then
  : "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
  # Wine takes the user locale from LC_ALL when a process starts; later
  # processes with another locale go back to theirs.
  wine_es() { LC_ALL=es_ES.UTF-8 LANG=es_ES.UTF-8 "$wine" "$@"; }
  locale=$(wine_es reg query 'HKCU\Control Panel\International' /v Locale 2>/dev/null | tr -d '\r' |
    awk '$1 == "Locale" { print tolower($3) }')
  if [ "$locale" != "00000c0a" ]; then
    echo "SKIP: Wine does not take the Spanish user locale here (Locale=$locale)"
    exit 0
  fi
  drive_c="$WINEPREFIX/drive_c"
  source_windows='C:\orvel-e2e-es-dist\'
  target_windows='C:\orvel-e2e-es\OrvelDraw\'
  host_path() { # C:\a\b -> the prefix's file
    local p=${1#C:\\}
    echo "$drive_c/${p//\\//}"
  }
  clean() { rm -rf "$drive_c/orvel-e2e-es-dist" "$drive_c/orvel-e2e-es"; }
  trap 'clean; rm -rf "$work"' EXIT
  clean
  run_setup() { ORVEL_GUI_SCRIPT="$1" ORVEL_GUI_TRANSCRIPT="$work/transcript" wine_es "$source_windows"Setup.exe; }
else
  export ORVEL_MACHINE="$work/machine"
  mkdir -p "$ORVEL_MACHINE"
  printf '[Machine]\r\nLangId=0x0C0A\r\nAnsiCodePage=1252\r\n' >"$ORVEL_MACHINE/machine.ini"
  # The USB stick on drive E:, empty.
  mkdir -p "$ORVEL_MACHINE/drive_e"
  source_windows='C:\dist\'
  target_windows='E:\OrvelDraw\'
  host_path() { # X:\a\b -> the machine's drive_x/a/b
    local drive p
    drive=$(echo "${1:0:1}" | tr 'A-Z' 'a-z')
    p=${1:3}
    echo "$ORVEL_MACHINE/drive_$drive/${p//\\//}"
  }
  trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
  run_setup() { ORVEL_GUI_SCRIPT="$1" ORVEL_GUI_TRANSCRIPT="$work/transcript" "$(host_path "$source_windows")Setup.exe"; }
fi

# The distribution copied onto the machine, so that the program's own folder
# (and with it the languages folder) is a folder there.
source_host=$(host_path "$source_windows")
mkdir -p "$source_host"
cp -a "$dist"/. "$source_host"
installed=$(host_path "$target_windows")

echo "-- the first paint shows both windows in Spanish"
cat >"$work/look.script" <<EOF
dump FSetup
dump FMemo
EOF
run_setup "$work/look.script" || fail "the setup program ended with $?"
has_line 'FSetup form caption="Instalación de Orvel-Draw" visible=1'
has_line 'FSetup.BInstall button caption="Instalar" hint="Instalar Orvel-Draw en la carpeta de instalación" enabled=1'
has_line 'FSetup.BLanguage button caption="Idioma" hint="Elegir otro archivo de idioma" enabled=1'
has_line 'FSetup.CBPortableApplication checkbox caption="Aplicación portátil / memoria USB" hint="Guardar toda la configuración en la carpeta de instalación, por ejemplo en una memoria USB" checked=0 enabled=1'
transcript | grep -Eq '^FSetup\.RGRegOrIni radiogroup caption=" Configuración " enabled=1 index=0 items="Guardar en el registro\\nGuardar en archivos INI"$' ||
  fail "the radio group is not Spanish: $(transcript)"
has_line 'FMemo form caption="Instalación de Orvel-Draw" visible=0'
has_line 'FMemo.BClose button caption="Cerrar" hint="Cerrar el programa de instalación" enabled=1'
! transcript | grep -Eq 'Installieren|Beenden|Schließen' || fail "German texts left: $(transcript)"

echo "-- a portable installation logs in Spanish"
cat >"$work/install.script" <<EOF
set FSetup.EFolder $target_windows
check FSetup.CBPortableApplication
uncheck FSetup.CBStartmenu
uncheck FSetup.CBDesktopSymbol
click FSetup.BInstall
EOF
run_setup "$work/install.script" || fail "the installation ended with $?"
has_line 'show FMemo "Instalación de Orvel-Draw"'
! transcript | grep -q '^msgbox' || fail "a message box: $(transcript)"
[ -f "$installed/install.txt" ] || fail "no install.txt in $installed"

# The log, each line as the installation wrote it (ANSI, CR LF).
iconv -f CP1252 -t UTF-8 "$installed/install.txt" | tr -d '\r' >"$work/log"
expected="$work/expected"
{
  echo "Orvel-Draw Installation"
  echo
  for folder in '' 'App\Cache\' 'App\Temp\' 'Orvel\' 'Data\'; do echo "create directory: $target_windows$folder"; done
  echo "Copiando ${source_windows}OrvelDraw.exe a ${target_windows}OrvelDraw.exe"
  for folder in languages templates styles; do
    echo "create directory: $target_windows$folder"
    for file in "$source_host/$folder"/*; do
      name=$(basename "$file")
      echo "Copiando $source_windows$folder\\$name a $target_windows$folder\\$name"
    done
  done
  echo "Copiando ${source_windows}Setup.exe a ${target_windows}Setup.exe"
  echo "Creando el archivo de configuración ${target_windows}ODMachine.INI"
  echo "Guardando la configuración del usuario en ${target_windows}Data\\"
  echo "Guardando el registro de instalación en ${target_windows}install.txt"
} >"$expected"
# The system lists a folder's files in its own order: compare the lines of
# each folder as a set, everything else in order.
order() { awk '/^Copiando .*\\(languages|templates|styles)\\/ { print "copy " $0; next } { print }' "$1" | sort; }
diff <(order "$expected") <(order "$work/log") >/dev/null || fail "log differs: $(diff "$expected" "$work/log")"
head -n 7 "$work/log" | cmp -s - <(head -n 7 "$expected") || fail "log begins otherwise: $(head -n 7 "$work/log")"
tail -n 4 "$work/log" | cmp -s - <(tail -n 4 "$expected") || fail "log ends otherwise: $(tail -n 4 "$work/log")"

echo "-- the configuration names the installed Spanish file"
printf '[User]\r\nHomeDir=Data\r\n[Orvel]\r\nLanguage=languages\\espanol.ini\r\nPortableApplication=1\r\n' |
  cmp -s - "$installed/ODMachine.INI" || fail "ODMachine.INI holds: $(cat -A "$installed/ODMachine.INI")"
cmp -s "$dist/languages/espanol.ini" "$installed/languages/espanol.ini" || fail "espanol.ini was not installed"

echo "-- an update of the installation keeps its German copy lines"
: >"$work/empty.script"
if [ -n "$wine" ]; then
  ORVEL_GUI_SCRIPT="$work/empty.script" ORVEL_GUI_TRANSCRIPT="$work/transcript" \
    wine_es "${target_windows}Setup.exe" -Update "$target_windows" "$source_windows" 2.0 || fail "the update ended with $?"
else
  ORVEL_GUI_SCRIPT="$work/empty.script" ORVEL_GUI_TRANSCRIPT="$work/transcript" \
    "$installed/Setup.exe" -Update "$target_windows" "$source_windows" 2.0 || fail "the update ended with $?"
fi
[ -f "$installed/update.txt" ] || fail "no update.txt in $installed"
iconv -f CP1252 -t UTF-8 "$installed/update.txt" | tr -d '\r' >"$work/update"
grep -Fxq "Kopiere ${source_windows}OrvelDraw.exe nach ${target_windows}OrvelDraw.exe" "$work/update" ||
  fail "no German copy line: $(cat "$work/update")"
! grep -q '^Copiando' "$work/update" || fail "the update logs in Spanish: $(cat "$work/update")"

echo "PASS"
