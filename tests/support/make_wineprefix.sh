#!/usr/bin/env bash
# Makes the fresh Wine prefix of the test run ($WINEPREFIX), once.
set -euo pipefail
wine=${1:-wine64}
rm -rf "$WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1 || true
"${wine%wine64}wineserver" -w 2>/dev/null || wineserver -w || true
test -d "$WINEPREFIX/drive_c"
