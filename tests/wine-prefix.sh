#!/usr/bin/env bash
# Makes the private Wine prefix the stub tests run in (once per build).
set -euo pipefail
prefix=$1
if [ -f "$prefix/system.reg" ]; then exit 0; fi
if ! command -v wine >/dev/null; then
    echo "wine is not installed; the stub tests will be skipped" >&2
    exit 0
fi
mkdir -p "$prefix"
WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot -i >/dev/null 2>&1 || true
WINEPREFIX=$prefix wineserver -w || true
test -f "$prefix/system.reg"
