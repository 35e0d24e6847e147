# Helpers of the end-to-end scripts that run Setup.exe as a process, on a
# fresh emulated machine natively or in the test prefix under Wine. Source
# it after setting $dist and $wine (empty natively). It makes $work, a
# temporary folder removed at exit, and on the emulated machine sets
# $ORVEL_MACHINE with instant sleeps.

source "$(dirname "${BASH_SOURCE[0]}")/checks.bash"

work=$(mktemp -d)
cleanup_actions=('rm -rf "$work"')
trap 'for action in "${cleanup_actions[@]}"; do eval "$action"; done' EXIT

if [ -n "$wine" ]; then
  : "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
  drive_c="$WINEPREFIX/drive_c"
else
  export ORVEL_MACHINE="$work/machine"
  mkdir -p "$ORVEL_MACHINE"
  printf '[Machine]\nSleepScale=0\n' >"$ORVEL_MACHINE/machine.ini"
  drive_c="$ORVEL_MACHINE/drive_c"
fi

# host_path 'C:\x\y': where a C: path lies on this machine.
host_path() {
  local rest=${1#[Cc]:}
  printf '%s%s' "$drive_c" "${rest//\\//}"
}

# run_setup <program> <arguments...>: with the scripted GUI, an empty script
# unless $script names one; transcript in $work/transcript, exit code in $status.
run_setup() {
  local program=$1
  shift
  [ -n "${script:-}" ] || { script="$work/empty-script"; : >"$script"; }
  status=0
  ORVEL_GUI_SCRIPT="$script" ORVEL_GUI_TRANSCRIPT="$work/transcript" \
    timeout 300 ${wine:+"$wine"} "$program" "$@" 2>"$work/stderr" || status=$?
}

transcript() { tr -d '\r' <"$work/transcript"; }

# expect_transcript <line>...: the transcript is exactly these lines.
expect_transcript() {
  local expected
  expected=$(printf '%s\n' "$@")
  [ "$(transcript)" = "$expected" ] || fail "transcript:
$(transcript)
expected:
$expected"
}

# reg_view <HKLM|HKCU> <key>: the view flag of Wine's reg under which it
# finds the key where the program keeps it. The program's keys below
# HKEY_LOCAL_MACHINE lie in the 32-bit view, as a 32-bit program's do on
# 64-bit Windows, but for Software\Classes, which both views share: there
# the 64-bit reg looks without a flag (with /reg:32 Wine's looks in
# Classes\Wow6432Node only).
reg_view() {
  local root=$1 key=${2,,}
  [ "$root" = HKLM ] || return 0
  case "$key" in
    'software\classes' | 'software\classes\'*) ;;
    *) printf '%s' /reg:32 ;;
  esac
}

# reg_get <HKLM|HKCU> <key> [name]: the value's data (a string as it is, a
# DWORD in decimal); nothing and status 1 when it is missing. No name: the
# default value.
reg_get() {
  local root=$1 key=$2 name=${3:-}
  if [ -n "$wine" ]; then
    local view=($(reg_view "$root" "$key")) out
    if [ -n "$name" ]; then
      out=$("$wine" reg query "$root\\$key" /v "$name" "${view[@]}" 2>/dev/null | tr -d '\r') || return 1
    else
      out=$("$wine" reg query "$root\\$key" /ve "${view[@]}" 2>/dev/null | tr -d '\r') || return 1
    fi
    local line
    line=$(grep -E '^\s+\S.*\s+REG_(SZ|DWORD|EXPAND_SZ)(\s|$)' <<<"$out" | head -n 1) || return 1
    [ -n "$line" ] || return 1
    if [[ $line =~ REG_DWORD[[:space:]]+0x([0-9a-fA-F]+) ]]; then
      printf '%d' "$((16#${BASH_REMATCH[1]}))"
    elif [[ $line =~ REG_(EXPAND_)?SZ[[:space:]]{4}(.*)$ ]]; then
      printf '%s' "${BASH_REMATCH[2]}"
    elif [[ $line =~ REG_(EXPAND_)?SZ ]]; then
      printf ''
    else
      return 1
    fi
  else
    local hive=HKEY_LOCAL_MACHINE
    [ "$root" = HKCU ] && hive=HKEY_CURRENT_USER
    [ -f "$ORVEL_MACHINE/registry.reg" ] || return 1
    python3 - "$ORVEL_MACHINE/registry.reg" "$hive\\$key" "$name" <<'PY'
import re, sys
path, key, name = sys.argv[1], sys.argv[2].lower(), sys.argv[3]
section = None
want = '@' if name == '' else '"' + name.replace('\\', '\\\\').replace('"', '\\"') + '"'
raw = open(path, 'rb').read()
# UTF-16LE after its mark, as regedit writes it; an older machine's UTF-8.
text = raw.decode('utf-16') if raw.startswith(b'\xff\xfe') else raw.decode('utf-8-sig')
found = None
for line in text.splitlines():
    if line.startswith('[-'):  # a later block deletes a key with all below it
        gone = line[2:-1].lower()
        if key == gone or key.startswith(gone + '\\'):
            found = None
        section = None
        continue
    if line.startswith('['):
        section = line[1:-1].lower()
        continue
    if section != key or not line.lower().startswith(want.lower() + '='):
        continue
    found = line[len(want) + 1:]  # a later block changes an earlier one
    if found == '-':
        found = None
if found is not None:
    if found.startswith('"'):
        print(re.sub(r'\\(.)', r'\1', found[1:-1]), end='')
        sys.exit(0)
    if found.startswith('dword:'):
        print(int(found[6:], 16), end='')
        sys.exit(0)
sys.exit(1)
PY
  fi
}

reg_key_exists() {
  local root=$1 key=$2
  if [ -n "$wine" ]; then
    local view=($(reg_view "$root" "$key"))
    "$wine" reg query "$root\\$key" "${view[@]}" >/dev/null 2>&1
  else
    local hive=HKEY_LOCAL_MACHINE
    [ "$root" = HKCU ] && hive=HKEY_CURRENT_USER
    [ -f "$ORVEL_MACHINE/registry.reg" ] || return 1
    # Blocks in file order: a header of the key or of a key below it makes
    # it, a deletion of the key or of a key above it ([-...]) removes it.
    iconv -f UTF-16 -t UTF-8 "$ORVEL_MACHINE/registry.reg" | tr -d '\r' |
      KEY="$hive\\$key" awk '
        BEGIN { key = tolower(ENVIRON["KEY"]) }
        /^\[/ {
          line = tolower($0); deleted = substr(line, 2, 1) == "-"
          path = deleted ? substr(line, 3, length(line) - 3) : substr(line, 2, length(line) - 2)
          if (deleted && (path == key || index(key, path "\\") == 1)) exists = 0
          else if (!deleted && (path == key || index(path, key "\\") == 1)) exists = 1
        }
        END { exit !exists }'
  fi
}

# Removes what a run left in the test prefix's registry (the emulated machine
# is new), in every view, so that no earlier run's key is found in another.
clean_registry() {
  [ -n "$wine" ] || return 0
  local root key view
  for root in HKLM HKCU; do
    for key in 'Software\OrvelDraw' 'Software\Classes\OrvelDraw' 'Software\Classes\.od' 'Software\Classes\.old' \
      'Software\Classes\.other' 'Software\Classes\.x'; do
      for view in /reg:32 /reg:64; do
        "$wine" reg delete "$root\\$key" /f "$view" >/dev/null 2>&1 || true
      done
    done
  done
}

# Lines of the emulated machine's shell log (nothing under Wine).
shell_log() { [ -z "$wine" ] && [ -f "$ORVEL_MACHINE/shell.log" ] && cat "$ORVEL_MACHINE/shell.log" || true; }
