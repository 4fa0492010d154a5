#!/usr/bin/env bash
# Runs a command on a private Xvfb server with Qt's X11 platform, so that
# windows get the fonts and metrics of a real desktop. Exits 77 (skipped)
# when Xvfb is not installed.
#   with-xvfb.sh COMMAND [ARGS...]
set -uo pipefail
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed; ./test.sh installs it"; exit 77; }
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
[ -s "$displayfile" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$displayfile") QT_QPA_PLATFORM=xcb
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
"$@"
