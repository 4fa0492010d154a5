#!/usr/bin/env bash
# Start-up of the wizard to its first page on screen, on Xvfb: a Release
# build of mantole, started with MANTOLE_EXIT_AFTER_SHOW so that it ends once
# its window is exposed and painted, timed by hyperfine. Goal: under 0.3 s.
# Prints the figures; not a test.
#   bench/wizard-startup.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
scripts/ensure-packages.sh bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMANTOLE_TESTS=OFF >/dev/null
cmake --build build-bench --target mantole

work=$(mktemp -d)
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A program folder of its own with settings, and an archive to start with.
prog=$work/prog
mkdir -p "$prog" "$work/src" "$work/config" "$work/cache"
find build-bench/bin -maxdepth 1 -type f ! -name MANTOLE.INI -exec cp {} "$prog/" \;
printf '[general]\nlang=French\n[HistoryCfgDir]\nlast=%s\n' "$work" >"$prog/MANTOLE.INI"
for i in $(seq 1 200); do echo "file $i" >"$work/src/file$i.txt"; done
(cd "$work/src" && zip -qr "$work/photos.zip" .)

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb MANTOLE_EXIT_AFTER_SHOW=1
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache

hyperfine --warmup 3 --runs "$runs" --export-json "$work/times.json" \
    -n "no argument" "$prog/mantole" \
    -n "a 200-entry archive" "$prog/mantole $work/photos.zip"

python3 - "$work/times.json" <<'PY'
import json, sys
for result in json.load(open(sys.argv[1]))["results"]:
    mean, sd = result["mean"], result["stddev"] or 0.0
    verdict = "within" if mean < 0.3 else "OVER"
    print(f"start-up to the first page, {result['command']}: {mean:.3f} s ± {sd:.3f} s ({verdict} the 0.3 s goal)")
PY
