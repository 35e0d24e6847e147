#!/usr/bin/env bash
# The emulated machine's registry.reg imported by regedit: the native helper
# writes values of every type with names and texts beyond ASCII, the file
# ending in appended change blocks; regedit /S imports it into a fresh Wine
# prefix, reg export gives the keys back, and every value must be there with
# its type and bytes, nothing deleted come back.
#
# usage: regedit_import.sh <write_registry helper> <make_wineprefix.sh> [wine]
# Without a Wine to run (none found when the build was configured), the test
# is skipped with exit code 77.
set -euo pipefail
helper=$1
make_prefix=$2
wine=${3:-}
if [ -z "$wine" ] || ! "$wine" --version >/dev/null 2>&1; then
  echo "SKIP: no Wine to run regedit (wine64 or wine)"
  exit 77
fi

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' \
  XDG_DATA_HOME="$work/xdg/data" XDG_CONFIG_HOME="$work/xdg/config" XDG_CACHE_HOME="$work/xdg/cache"
wineserver=$(dirname "$(command -v "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT

export ORVEL_MACHINE="$work/machine"
mkdir -p "$ORVEL_MACHINE"
printf '[Machine]\nSleepScale=0\n' >"$ORVEL_MACHINE/machine.ini"
"$helper" >"$work/expected" || fail "the helper could not write the registry"
registry="$ORVEL_MACHINE/registry.reg"
text=$(iconv -f UTF-16 -t UTF-8 "$registry" | tr -d '\r')
grep -Fxq 'Windows Registry Editor Version 5.00' <<<"$text" || fail "no signature line"
grep -Fxq '[-HKEY_CURRENT_USER\Software\OrvelDraw\Regedit\Weg]' <<<"$text" ||
  fail "the file ends in no appended key deletion"
grep -Fxq '"Gone"=-' <<<"$text" || fail "the file ends in no appended value deletion"

bash "$make_prefix" "$wine" >"$work/prefix.log" 2>&1 || fail "no Wine prefix: $(cat "$work/prefix.log")"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
"$wine" regedit /S "$(windows_path "$registry")" </dev/null >/dev/null 2>&1 || fail "regedit /S failed"
for root in HKCU HKLM; do
  "$wine" reg export "$root\\Software\\OrvelDraw\\Regedit" "$(windows_path "$work/$root.reg")" /y \
    </dev/null >/dev/null 2>&1 || fail "reg export $root found no imported key"
done
"$wineserver" -w

python3 - "$work/expected" "$work/HKCU.reg" "$work/HKLM.reg" <<'PY'
import re, sys

def text(h):
    return '' if h == '-' else bytes.fromhex(h).decode('utf-8')

expected = {}
for line in open(sys.argv[1]):
    f = line.split()
    if f[0] == 'K':
        expected.setdefault(text(f[1]), {})
    else:
        expected.setdefault(text(f[1]), {})[text(f[2])] = (int(f[3]), '' if f[4] == '-' else f[4])

def unquote(s, i):
    """The quoted text starting at s[i], and the index after its closing quote."""
    out, i = [], i + 1
    escapes = {'\\': '\\', '"': '"', 'n': '\n', 'r': '\r', '0': '\0'}
    while s[i] != '"':
        if s[i] == '\\':
            i += 1
            out.append(escapes[s[i]])
        else:
            out.append(s[i])
        i += 1
    return ''.join(out), i + 1

imported = {}
for path in sys.argv[2:]:
    raw = open(path, 'rb').read()
    assert raw.startswith(b'\xff\xfe'), path + ': no UTF-16LE export'
    lines = raw.decode('utf-16').replace('\r\n', '\n').split('\n')
    key, pending = None, ''
    for line in lines:
        line = pending + (line.lstrip() if pending else line)
        if line.endswith('\\'):  # hex bytes continued on the next line
            pending = line[:-1]
            continue
        pending = ''
        if not line or line.startswith('Windows Registry Editor'):
            continue
        if line.startswith('['):
            key = line[1:-1].replace('HKEY_CURRENT_USER', 'HKCU', 1).replace('HKEY_LOCAL_MACHINE', 'HKLM', 1)
            imported[key] = {}
            continue
        if line.startswith('@='):
            name, rest = '', line[2:]
        else:
            name, end = unquote(line, 0)
            rest = line[end + 1:]
        if rest.startswith('"'):
            value, _ = unquote(rest, 0)
            imported[key][name] = (1, (value + '\0').encode('utf-16-le').hex())
        elif rest.startswith('dword:'):
            imported[key][name] = (4, int(rest[6:], 16).to_bytes(4, 'little').hex())
        else:
            m = re.fullmatch(r'hex(?:\(([0-9a-f]+)\))?:([0-9a-f,]*)', rest)
            assert m, 'unreadable export line: ' + line
            imported[key][name] = (int(m.group(1) or '3', 16), m.group(2).replace(',', ''))

names = {1: 'REG_SZ', 2: 'REG_EXPAND_SZ', 3: 'REG_BINARY', 4: 'REG_DWORD', 7: 'REG_MULTI_SZ', 11: 'REG_QWORD'}
def show(v):
    t, data = v
    shown = bytes.fromhex(data).decode('utf-16-le', 'replace') if t in (1, 2, 7) else data
    return '%s %r' % (names.get(t, t), shown)

problems = []
for key, values in sorted(expected.items()):
    if key not in imported:
        problems.append('key missing: ' + key)
        continue
    for name, value in sorted(values.items()):
        got = imported[key].get(name)
        if got != value:
            problems.append('%s [%s]: %s, expected %s' % (key, name, show(got) if got else 'missing', show(value)))
    for name in sorted(set(imported[key]) - set(values)):
        problems.append('%s [%s]: not written, yet imported' % (key, name))
for key in sorted(imported):
    if not any(k == key or k.startswith(key + '\\') for k in expected):
        problems.append('key not written, yet imported: ' + key)
if problems:
    print('\n'.join('FAIL: ' + p for p in problems))
    sys.exit(1)
print('%d keys, %d values imported intact' % (len(expected), sum(len(v) for v in expected.values())))
PY
echo "PASS"
