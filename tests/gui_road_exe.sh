#!/usr/bin/env bash
# The way back, as a user takes it with the keyboard only: the wizard starts
# with a self-extracting executable named on the command line (as in
# "./run.sh app.exe") and opens on the page that turns it back; the convert
# button's accelerator writes the archive beside it and the information box
# says so; Return confirms the box, Escape asks whether to quit, and Return
# answers with the first button. Then the files are checked: app.zip is the
# very archive the executable was made from, and the executable is gone, for
# good (the conversion replaces it by the archive, as the one made by
# Finish is replaced when the archive is converted in place).
# Runs on the X server in DISPLAY (tests/with-xvfb.sh provides one).
#   gui_road_exe.sh BIN_DIR [SCREENSHOT_DIR]
set -euo pipefail
bin=$1 shots=${2:-}
skip() { echo "SKIP: $1"; exit 77; }
fail() { echo "FAIL: $1"; [ -f "${work:-}/mantole.log" ] && sed 's/^/  mantole: /' "$work/mantole.log"; exit 1; }
for tool in xdotool zip; do
    command -v "$tool" >/dev/null || skip "$tool is not installed; ./test.sh installs it"
done
[ -n "${DISPLAY:-}" ] || skip "no X display; run through tests/with-xvfb.sh"

work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A program folder of the test's own, so MANTOLE.INI and tmp/ land in it.
prog=$work/prog run=$work/run
mkdir -p "$prog" "$run" "$work/src/docs" "$work/in" "$work/config" "$work/cache" "$work/data"
find "$bin" -maxdepth 1 -type f ! -name MANTOLE.INI -exec cp {} "$prog/" \;
printf '[general]\nlang=French\n' >"$prog/MANTOLE.INI"

# The archive, made by Info-ZIP, and the executable made from it with the
# extractor stub of the program folder.
printf 'Bonnes vacances !\r\n' >"$work/src/lisezmoi.txt"
head -c 70000 /dev/urandom >"$work/src/docs/photo.jpg"
seq 1 5000 >"$work/src/docs/liste.txt"
(cd "$work/src" && zip -qrX "$work/in/app.zip" .)
"$prog/mantole-cli" to-exe "$work/in/app.zip" --stub "$prog/SfxStub.bin" --output "$run/app.exe" >/dev/null ||
    fail "mantole-cli could not make the executable"
cmp -s "$work/in/app.zip" "$run/app.exe" && fail "the executable is the bare archive"

text() { sed -n "s/^$1=//p" "$prog/french.lgn" | head -n 1; }
shot() { # name window
    [ -n "$shots" ] && command -v import >/dev/null || return 0
    mkdir -p "$shots"
    import -window "$2" "$shots/$1.png" 2>/dev/null || echo "note: no screenshot $1"
}
# The one visible window of the program whose name matches the pattern.
window_named() { # pattern
    local found
    for _ in $(seq 100); do
        found=$(xdotool search --all --onlyvisible --pid "$pid" --name "$1" 2>/dev/null | head -n 1) || true
        [ -n "$found" ] && { echo "$found"; return 0; }
        sleep 0.1
    done
    return 1
}
# A visible window of the program other than the wizard's.
other_window() {
    local w
    for _ in $(seq 100); do
        for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            [ "$w" != "$wid" ] && { echo "$w"; return 0; }
        done
        sleep 0.1
    done
    return 1
}
gone() { # window
    for _ in $(seq 100); do
        xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
        xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    return 1
}
key() { # window keys...
    local w=$1
    shift
    xdotool windowfocus --sync "$w" 2>/dev/null || true
    xdotool key --clearmodifiers "$@"
}
# Alt and the letter marked with "&" in a caption of the language file.
accelerator() { # key of the caption
    local caption letter
    caption=$(text "$1")
    letter=${caption#*&}
    letter=${letter:0:1}
    [ -n "$letter" ] && [ "$caption" != "$letter" ] || fail "'$caption' ($1) has no accelerator"
    echo "alt+${letter,,}"
}

# The name as typed in a terminal, relative to the folder the program starts in.
(cd "$run" && XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" \
    exec "$prog/mantole" app.exe) >"$work/mantole.log" 2>&1 &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1) || true
[ -n "$wid" ] || fail "the wizard's window did not appear"

# A page shown directly keeps the caption of the one before: the first page's.
want=$(text Cap_paStart)
name=
for _ in $(seq 100); do
    name=$(xdotool getwindowname "$wid" 2>/dev/null || true)
    [ "$name" = "$want" ] && break
    sleep 0.1
done
[ "$name" = "$want" ] || fail "the window reads '$name', expected '$want'"
sleep 0.5 # lets the page paint for the screenshot; nothing is asserted on it
shot exe-1-page "$wid"
[ ! -e "$run/app.zip" ] || fail "app.zip is there before the conversion"

# The convert button answers its accelerator only on the page that holds it.
key "$wid" "$(accelerator WzdForm.BtnExeZip.caption)"
box=$(other_window) || fail "no information box after $(accelerator WzdForm.BtnExeZip.caption); the folder holds: $(ls -A "$run")"
shot exe-2-information "$box"
# The box tells of an archive already written; its text is in the screenshot.
[ -f "$run/app.zip" ] || fail "the information box is up but app.zip is not written"
key "$box" Return
gone "$box" || fail "Return did not close the information box"

# The quit question, answered with its first button.
key "$wid" Escape
question=$(window_named "^$(text sConfirm)\$") || fail "Escape did not ask the quit question '$(text sConfirm)'"
sleep 0.5 # lets the question paint for the screenshot
shot exe-3-quit "$question"
# A key that comes before the question takes the focus is lost: Return
# again while that question is up. Its first button closes the window.
for _ in $(seq 40); do
    xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -qx "$question" || break
    key "$question" Return
    sleep 0.25
done
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    again=$(xdotool search --all --onlyvisible --pid "$pid" --name "^$(text sConfirm)\$" 2>/dev/null) || true
    [ -n "$again" ] && fail "the quit question was asked again after its first button"
    fail "the wizard is still open after the first button of the quit question"
fi
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the wizard exited with status $status"

# The archive beside the executable, byte for byte the one it was made from.
[ -f "$run/app.zip" ] || fail "no app.zip beside app.exe; the folder holds: $(ls -A "$run")"
cmp "$run/app.zip" "$work/in/app.zip" || fail "app.zip differs from the archive inside app.exe"
# The executable is erased for good, not moved to the trash.
[ ! -e "$run/app.exe" ] || fail "app.exe is still there after the conversion"
[ "$(ls -A "$run")" = app.zip ] || fail "the folder holds more than app.zip: $(ls -A "$run")"
trashed=$(find "$work/data" -mindepth 1 -path '*Trash/files/*' 2>/dev/null)
[ -z "$trashed" ] || fail "the executable went to the trash: $trashed"
left=$(find "$prog/tmp" -mindepth 1 2>/dev/null)
[ -z "$left" ] || fail "working copies left in tmp/: $left"

echo "the way back holds: app.exe became app.zip"
