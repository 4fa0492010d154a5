#!/usr/bin/env bash
# The extractor stub's windows under Xvfb and wine64, in English and in
# French: each window is driven with the keyboard, what it did is checked on
# disk, and a screenshot of each lands in SHOTS (stub-LANG-NAME.png) for a
# person to look at.
#   stub_windows.sh MANTOLE_CLI STUB64 WINEPREFIX SHOTS
set -euo pipefail
cli=$(realpath "$1") stub=$(realpath "$2") prefix=$(realpath "$3") shots=$(realpath -m "$4")
for tool in Xvfb xdotool import wine python3 zip; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed; ./test.sh installs it"; exit 77; }
done
[ -f "$prefix/system.reg" ] || { echo "SKIP: no Wine prefix"; exit 77; }

work=$(mktemp -d)
mkdir -p "$shots"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Root writes anywhere: without the right to override file permissions, a
# folder made read-only refuses it as it refuses a user. The Wine server
# started below inherits this, and the Wine server does the file opening.
as_user=()
if [ "$(id -u)" = 0 ]; then
    command -v setpriv >/dev/null || { echo "SKIP: setpriv is not installed"; exit 77; }
    as_user=(setpriv --bounding-set -dac_override,-dac_read_search --inh-caps -dac_override,-dac_read_search --)
fi
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# A Wine server left running by tests without a display would swallow our windows.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

fail() { echo "FAIL ($lang): $*"; exit 1; }
winpath() { echo "Z:${1//\//\\}"; }
# Waits until at least N windows whose name matches are shown.
wait_for() { # pattern, what, [N], [seconds to let it draw]
    local n=${3:-1}
    waited=$1
    for _ in $(seq 300); do
        [ "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l)" -ge "$n" ] && { sleep "${4:-1}"; return; }
        sleep 0.2
    done
    shot "missing-$2"
    fail "$2 did not appear"
}
# Waits until the window last typed into has closed.
closed() { # what
    for _ in $(seq 200); do
        xdotool search --onlyvisible --name "$waited" 2>/dev/null | grep -qx "$typed" || return 0
        sleep 0.2
    done
    fail "$1 did not close"
}
shot() { import -window root "$shots/stub-$lang-$1.png"; echo "screenshot $shots/stub-$lang-$1.png"; }
# Types into the topmost window of the last ones waited for: with no window
# manager the keyboard goes to the window under the pointer.
key() {
    typed=$(xdotool search --onlyvisible --name "$waited" 2>/dev/null | tail -1) || true
    [ -n "$typed" ] && xdotool mousemove --window "$typed" 20 20 2>/dev/null || true
    sleep 0.2
    xdotool key --delay 150 "$@"
    sleep 0.5
}
# Starts the executable in the background with the language of the run;
# its exit code lands in $work/rc.
start() { # exe, args...
    rm -f "$work/rc"
    (set +e; LC_ALL=$locale "${as_user[@]}" wine "$@" >>"$work/wine.log" 2>&1; echo $? >"$work/rc") &
}
# Waits for the executable to end; fails unless its exit code is CODE.
ends_with() { # code, what
    for _ in $(seq 300); do
        if [ -s "$work/rc" ]; then
            [ "$(cat "$work/rc")" = "$1" ] || fail "$2 (exit code $(cat "$work/rc"), not $1)"
            return
        fi
        sleep 0.2
    done
    shot "not-ended"
    fail "$2 (the executable did not end)"
}
temp_folders() { find "$prefix/drive_c/users" -maxdepth 6 -type d -name 'sfx*' 2>/dev/null | wc -l; }
make_exe() { # zip, exe, options...
    local zip=$1 exe=$2
    shift 2
    "$cli" to-exe "$zip" --stub "$stub" --output "$exe" "$@" >/dev/null
}

# The archives: a few small files; 20,000 entries in 200 folders; 40 entries
# whose data is damaged; one that says it holds far more than any disk.
python3 - "$work" <<'PY'
import struct, sys, zipfile, zlib
work = sys.argv[1]
with zipfile.ZipFile(f"{work}/small.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("readme.txt", "Read me\n" * 50)
    z.writestr("docs/", "")
    z.writestr("docs/notes.txt", "Notes\n" * 500)
    z.writestr("docs/more.txt", "More\n" * 500)
with zipfile.ZipFile(f"{work}/many.zip", "w", zipfile.ZIP_STORED) as z:
    for d in range(200):
        z.writestr(f"folder{d:03}/", "")
        for f in range(99):
            z.writestr(f"folder{d:03}/file{f:02}.txt", f"{d} {f}\n")
names = [f"reports/quarter {i:02} of the year with a long name.txt" for i in range(40)]
with zipfile.ZipFile(f"{work}/damaged.zip", "w", zipfile.ZIP_STORED) as z:
    z.writestr("good.txt", "good\n")
    for n in names:
        z.writestr(n, "sound data " * 20)
data = bytearray(open(f"{work}/damaged.zip", "rb").read())
for n in names:  # one byte of each entry's data, past its local header
    at = data.index(n.encode()) + len(n) + 5
    data[at] ^= 0x55
open(f"{work}/damaged.zip", "wb").write(bytes(data))
# The directory gives huge.bin a size of 2^50 bytes (a Zip64 field).
data = b"x" * 100
crc = zlib.crc32(data)
name = b"huge.bin"
local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, crc, 100, 100, len(name), 0) + name + data
extra = struct.pack("<HHQ", 1, 8, 1 << 50)
central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0x21, crc, 100, 0xFFFFFFFF,
                      len(name), len(extra), 0, 0, 0, 0, 0) + name + extra
end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
open(f"{work}/huge.zip", "wb").write(local + central + end)
PY

run_language() {
    lang=$1 locale=$2 yes=$3
    local w=$work/$lang
    mkdir -p "$w"

    # A plain message (information icon, OK only), then the window with
    # the overwrite choice hidden: no empty band is left.
    make_exe "$work/small.zip" "$w/plain.exe" --title "Plain $lang" --message "Here are the files of the demo." \
        --hide-overwrite --no-success
    start "$w/plain.exe"
    wait_for "Plain $lang" "the plain message"
    shot message-plain
    key Return
    closed "the plain message"
    wait_for "Plain $lang" "the window without overwrite choice"
    shot window-hidden-overwrite
    key Escape
    ends_with 2 "Escape in the window is not a cancel"

    # The overwrite question: sizes and dates of both files, five buttons;
    # Cancel removes what this run created and keeps what was there.
    local target="$w/Program Files/A folder with a rather long name for the demo/and a second level"
    mkdir -p "$target/docs"
    echo "the user's own notes" >"$target/docs/notes.txt"
    touch -d "2024-03-05 14:30" "$target/docs/notes.txt"
    make_exe "$work/small.zip" "$w/ask.exe" --title "Ask $lang" --folder "$(winpath "$target")" --overwrite ask
    start "$w/ask.exe"
    wait_for "Ask $lang" "the window"
    shot window
    key Return
    wait_for "File already exists|Le fichier existe" "the overwrite question"
    shot overwrite-question
    key Escape
    wait_for "Ask $lang" "the message that the files were removed" 2
    shot cancelled-removed
    key Return
    ends_with 2 "cancelling the overwrite question is not a cancel"
    [ "$(cat "$target/docs/notes.txt")" = "the user's own notes" ] || fail "the existing file was touched"
    [ ! -e "$target/readme.txt" ] || fail "a file this run created was left after Cancel"

    # Picking files: unticking a folder unticks what is inside it.
    make_exe "$work/small.zip" "$w/pick.exe" --title "Pick $lang" --folder "$(winpath "$w/pick")" --pick-files \
        --no-success
    start "$w/pick.exe"
    wait_for "Pick $lang" "the window with files to pick"
    key Tab Tab Tab Down Down space
    shot pick-files-unticked
    key Return
    ends_with 0 "extracting the picked files failed"
    [ -f "$w/pick/readme.txt" ] && [ ! -e "$w/pick/docs" ] || fail "the unticked folder was extracted"

    # 20,000 entries to pick from open at once; Enter starts and the Escape
    # right behind it asks to stop; Yes removes what was made.
    make_exe "$work/many.zip" "$w/many.exe" --title "Many $lang" --folder "$(winpath "$w/many")" --pick-files
    start "$w/many.exe"
    wait_for "Many $lang" "the window with 20,000 entries"
    shot pick-files-20000
    key Return Escape
    wait_for "Many $lang" "the question whether to stop" 2
    shot confirm-cancel
    key "$yes"
    closed "the question whether to stop"
    wait_for "Many $lang" "the message that the files were removed" 2
    shot cancelled-removed-many
    key Return
    ends_with 2 "stopping is not a cancel"
    [ -z "$(ls -A "$w/many" 2>/dev/null)" ] || fail "files were left after stopping"

    # Auto-run: a progress window, where Escape asks to stop too.
    mkdir "$w/auto"
    make_exe "$work/many.zip" "$w/auto/Big Setup.exe" --title "Auto $lang" --autorun
    start "$w/auto/Big Setup.exe"
    wait_for "Auto $lang" "the progress window" 1 0
    shot progress
    key Escape
    wait_for "Auto $lang" "the question whether to stop" 2
    shot confirm-cancel-progress
    key "$yes"
    closed "the question whether to stop"
    wait_for "Auto $lang" "the message that the files were removed" 2
    key Return
    ends_with 2 "stopping auto-run is not a cancel"
    [ ! -e "$w/auto/Big Setup" ] || fail "stopping auto-run left its folder"

    # Auto-run with no proposed folder extracts into a new folder named
    # after the executable beside it, and the success message names it.
    make_exe "$work/small.zip" "$w/auto/Demo Setup.exe" --title "Demo $lang" --autorun
    start "$w/auto/Demo Setup.exe"
    wait_for "Demo $lang" "the success message" 1 3
    shot success
    key Return
    ends_with 0 "auto-run failed"
    [ -f "$w/auto/Demo Setup/docs/notes.txt" ] || fail "auto-run did not extract into a folder named after it"

    # Damaged entries: one summary window with a list that scrolls.
    make_exe "$work/damaged.zip" "$w/damaged.exe" --title "Damaged $lang" --folder "$(winpath "$w/damaged")" --no-success
    start "$w/damaged.exe"
    wait_for "Damaged $lang" "the window"
    key Return
    wait_for "Damaged $lang" "the report" 2
    shot report
    key Return
    ends_with 1 "damaged entries did not end with 1"

    # Not enough space: needed and free shown, then back to the choice.
    make_exe "$work/huge.zip" "$w/huge.exe" --title "Huge $lang" --folder "$(winpath "$w/huge")"
    start "$w/huge.exe"
    wait_for "Huge $lang" "the window"
    key Return
    wait_for "Huge $lang" "the free-space message" 2
    shot no-space
    key Return
    closed "the free-space message"
    sleep 1
    [ ! -s "$work/rc" ] || fail "the window closed after the free-space message"
    shot no-space-back
    key Escape
    ends_with 2 "Escape after the free-space message is not a cancel"

    # A folder where writing is refused: the offer to start again as
    # administrator; No goes back to the choice.
    mkdir -p "$w/readonly"
    chmod 555 "$w/readonly"
    make_exe "$work/small.zip" "$w/denied.exe" --title "Denied $lang" --folder "$(winpath "$w/readonly")"
    start "$w/denied.exe"
    wait_for "Denied $lang" "the window"
    key Return
    wait_for "Denied $lang" "the offer of administrator rights" 2
    shot access-denied
    key n
    closed "the offer of administrator rights"
    sleep 1
    [ ! -s "$work/rc" ] || fail "the window closed after No"
    shot access-denied-back
    # Yes starts it again with the "runas" verb, the choices on its command
    # line; Wine gives it no more rights, so that run says why it failed,
    # and its exit code is the first one's.
    key Return
    wait_for "Denied $lang" "the offer of administrator rights" 2
    key Return
    closed "the offer of administrator rights"
    wait_for "Denied $lang" "the restarted run's message" 2
    shot access-denied-restarted
    key Return
    ends_with 1 "the restarted run's exit code is not passed on"

    # Browse starts at the proposed folder (Wine's dialog opens the drive
    # only); nothing picked, the folder stays.
    make_exe "$work/small.zip" "$w/browse.exe" --title "Browse $lang" --folder "$(winpath "$w/browse/Demo")" --no-success
    start "$w/browse.exe"
    wait_for "Browse $lang" "the window"
    key "$browse"
    wait_for "Browse for Folder|Rechercher un dossier|Parcourir" "the browse dialog"
    shot browse
    key Escape
    closed "the browse dialog"
    wait_for "Browse $lang" "the window after browsing"
    key Return
    ends_with 0 "extracting after browsing failed"
    [ -f "$w/browse/Demo/readme.txt" ] || fail "the folder changed when nothing was picked"

    # The temporary folder: the window shows the run's own new folder in
    # %TEMP%, which is gone again once the window is cancelled.
    local before
    before=$(temp_folders)
    make_exe "$work/small.zip" "$w/temp.exe" --title "Temp $lang" --temp-folder
    start "$w/temp.exe"
    wait_for "Temp $lang" "the window"
    shot window-temp-folder
    [ "$(temp_folders)" = $((before + 1)) ] || fail "no folder of its own in the temporary folder"
    key Escape
    ends_with 2 "Escape in the window is not a cancel"
    [ "$(temp_folders)" = "$before" ] || fail "the temporary folder was left"

    # The help, in a message box when there is no console: started by
    # Wine's start, it has none.
    rm -f "$work/rc"
    (set +e; LC_ALL=$locale wine start /wait /unix "$w/plain.exe" -? >/dev/null 2>&1; echo $? >"$work/rc") &
    wait_for "Plain $lang" "the help"
    shot help
    key Return
    ends_with 0 "the help did not end with 0"
}

for l in ${STUB_WINDOW_LANGUAGES:-en fr}; do
    case $l in
    en) browse=alt+b run_language en en_US.UTF-8 y ;;
    fr) browse=alt+p run_language fr fr_FR.UTF-8 o ;;
    esac
done
echo "the windows work"
