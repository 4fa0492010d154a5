#!/usr/bin/env bash
# Smoke test of the extractor stub's window under Xvfb and wine64: the
# message box, the main window, the browse dialog and an extraction, with a
# screenshot of each in SHOTS. Fails when a window does not appear.
#   stub_gui_smoke.sh MANTOLE_CLI STUB64 ARCHIVE WINEPREFIX SHOTS
set -euo pipefail
cli=$1 stub=$2 archive=$3 prefix=$4 shots=$5
for tool in Xvfb xdotool import wine; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed; ./test.sh installs it"; exit 77; }
done
[ -f "$prefix/system.reg" ] || { echo "SKIP: no Wine prefix"; exit 77; }

work=$(mktemp -d)
mkdir -p "$shots"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# A Wine server left running by tests without a display would swallow our windows.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

title="Mantole smoke test"
mkdir "$work/target"
"$cli" to-exe "$archive" --stub "$stub" --output "$work/target/photos.exe" --title "$title" \
    --message "Extract the photos?" --buttons okcancel --pick-files --no-success >/dev/null

Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

# Polls rather than "search --sync": a window that closes during the search
# makes xdotool fail with BadWindow, which is no reason to give up.
wait_for_window() { # name, what
    for _ in $(seq 600); do
        xdotool search --name "$1" >/dev/null 2>&1 && { sleep 1; return; }
        sleep 0.1
    done
    echo "FAIL: $2 did not appear"
    exit 1
}
shot() { import -window root "$shots/stub-smoke-$1.png"; echo "screenshot $shots/stub-smoke-$1.png"; }

wine "$work/target/photos.exe" >/dev/null 2>&1 &
wait_for_window "$title" "the message box"
shot 1-message
xdotool key Return
sleep 2
wait_for_window "$title" "the main window"
shot 2-window
xdotool search --name "$title" windowfocus --sync %1 key alt+b
wait_for_window "Browse for Folder" "the browse dialog"
shot 3-browse
xdotool search --name "Browse for Folder" windowfocus --sync %1 key Escape
sleep 1
xdotool search --name "$title" windowfocus --sync %1 key alt+e
for _ in $(seq 100); do [ -f "$work/target/readme.txt" ] && break; sleep 0.3; done
shot 4-extracted
[ -f "$work/target/readme.txt" ] || { echo "FAIL: extracting from the window wrote nothing"; exit 1; }
cmp "$work/target/docs/notes.txt" <(unzip -p "$archive" docs/notes.txt) || { echo "FAIL: extracted file differs"; exit 1; }
echo "the window works"
