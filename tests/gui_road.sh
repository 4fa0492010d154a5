#!/usr/bin/env bash
# The road of one conversion, as a user takes it with the keyboard only: the
# wizard starts with an archive, Next through every page to the last one,
# Finish, then the end button (now "close") shuts the window. Then the files
# are checked: the executable under its dated name in the chosen folder, the
# very archive inside it, every option of the settings file in its header,
# no working copy left behind, and the settings written back.
# Runs on the X server in DISPLAY (tests/with-xvfb.sh provides one).
#   gui_road.sh BIN_DIR
set -euo pipefail
bin=$1
skip() { echo "SKIP: $1"; exit 77; }
fail() { echo "FAIL: $1"; [ -f "${work:-}/mantole.log" ] && sed 's/^/  mantole: /' "$work/mantole.log"; exit 1; }
for tool in xdotool zip python3; do
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
prog=$work/prog out=$work/out
mkdir -p "$prog" "$out" "$work/src/docs" "$work/in" "$work/config" "$work/cache" "$work/check"
find "$bin" -maxdepth 1 -type f ! -name MANTOLE.INI -exec cp {} "$prog/" \;

# The archive: text, a binary file, a folder, made by Info-ZIP.
printf 'Bonnes vacances !\r\n' >"$work/src/lisezmoi.txt"
head -c 70000 /dev/urandom >"$work/src/docs/photo.jpg"
seq 1 5000 >"$work/src/docs/liste.txt"
(cd "$work/src" && zip -qrX "$work/in/photos.zip" .)
cp "$work/in/photos.zip" "$work/source.zip"

# Every option the pages restore from the settings, and short pauses. The
# folder boxes show their history's "last", which replaces "dest" and "spath".
title="Photos d'été 2024"
message="Extraire les photos ?"
folder='C:\Photos'
command='notepad lisezmoi.txt'
cat >"$prog/MANTOLE.INI" <<EOF
[general]
lang=French
[wzd]
stitre=$title
msgsfx=1
smsg=$message
iboxmsg=2
spath=$folder
runfile=1
scmd=$command
sow=1
endmsg=1
autorun=1
chglst=1
date=1
dm=1
wait12=0
[HistoryCfgDir]
n0=$out
last=$out
[HistoryExtDir]
n0=$folder
last=$folder
EOF

text() { sed -n "s/^$1=//p" "$prog/french.lgn" | head -n 1; }
day_before=$(date +%d%m)
(cd "$work" && XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    exec "$prog/mantole" "$work/in/photos.zip") >"$work/mantole.log" 2>&1 &
pid=$!

wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1) || true
[ -n "$wid" ] || fail "the wizard's window did not appear"

# The window's title names the page shown, in the language file's words.
expect_page() { # key of the page's caption
    local want name
    want=$(text "$1")
    [ -n "$want" ] || fail "french.lgn has no $1"
    for _ in $(seq 100); do
        name=$(xdotool getwindowname "$wid" 2>/dev/null || true)
        [[ $name == "$want"* ]] && return 0
        sleep 0.1
    done
    fail "expected the page titled '$want', the window reads '$name'"
}
# Alt and the letter marked with "&" in a caption of the language file.
press() { # key of the caption
    local caption letter
    caption=$(text "$1")
    letter=${caption#*&}
    letter=${letter:0:1}
    [ -n "$letter" ] && [ "$caption" != "$letter" ] || fail "'$caption' ($1) has no accelerator"
    xdotool windowfocus --sync "$wid" 2>/dev/null || true
    xdotool key --clearmodifiers "alt+${letter,,}"
}

expect_page Cap_paStart
for page in Cap_paZip Cap_paName Cap_paExe Cap_paMsg Cap_paRunAfile Cap_paFinish; do
    press WzdForm.Wzd.Nextcaption
    expect_page "$page"
done
press WzdForm.Wzd.Readycaption
# The end button closes the window once the executable is made; until
# then its accelerator does nothing.
for _ in $(seq 120); do
    kill -0 "$pid" 2>/dev/null || break
    press Wzd_Quit
    sleep 0.5
done
if kill -0 "$pid" 2>/dev/null; then
    fail "the window did not close with the end button after Finish"
fi
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the wizard exited with status $status"
day_after=$(date +%d%m)

# The executable: date prefix (day first) + the archive's name + .exe.
exe=
for prefix in "$day_before" "$day_after"; do
    [ -f "$out/${prefix}photos.exe" ] && exe=$out/${prefix}photos.exe
done
[ -n "$exe" ] || fail "no ${day_before}photos.exe in the chosen folder; it holds: $(ls -A "$out")"
[ "$(ls -A "$out" | wc -l)" -eq 1 ] || fail "the chosen folder holds more than the executable: $(ls -A "$out")"
cmp -s "$work/in/photos.zip" "$work/source.zip" || fail "the source archive was changed"

# The archive inside is the source, byte for byte.
cp "$exe" "$work/check/copy.exe"
"$bin/mantole-cli" to-zip "$work/check/copy.exe" --keep --output "$work/check/back.zip" >/dev/null ||
    fail "mantole-cli could not turn the executable back"
cmp "$work/check/back.zip" "$work/source.zip" || fail "the archive inside the executable differs from the source"

# The options header holds what the settings file asked for.
"$bin/mantole-cli" info "$exe" --json >"$work/check/info.json" || fail "mantole-cli info failed"
TITLE=$title MESSAGE=$message FOLDER=$folder COMMAND=$command python3 - "$work/check/info.json" <<'EOF' || fail "the options header does not hold the settings"
import json, os, sys
info = json.load(open(sys.argv[1], encoding="utf-8"))
wrong = []
def expect(key, value):
    if info.get(key) != value:
        wrong.append(f"{key} is {info.get(key)!r}, expected {value!r}")
expect("SFXCaption", os.environ["TITLE"])              # stitre
expect("SFXMessage", "\x01" + os.environ["MESSAGE"])   # msgsfx=1, smsg, OK/Cancel
expect("SFXDefaultDir", os.environ["FOLDER"])          # spath
expect("SFXCommandLine", os.environ["COMMAND"])        # runfile=1, scmd
expect("SFXOverWriteMode", "OvrAlways")                # sow=1
options = set(info.get("SFXOptions", []))
for wanted in ("SFXAskCmdLine", "SFXAutoRun", "SFXHideOverWriteBox"):  # runfile, autorun, sow
    if wanted not in options:
        wrong.append(f"{wanted} missing from {sorted(options)}")
for unwanted in ("SFXNoSuccessMsg", "SFXAskFiles"):   # endmsg=1, chglst=1
    if unwanted in options:
        wrong.append(f"{unwanted} set in {sorted(options)}")
for line in wrong:
    print("  " + line)
sys.exit(1 if wrong else 0)
EOF

# Closing removed the working copies but kept the working folder.
[ -d "$prog/tmp" ] || fail "the working folder tmp/ is missing"
left=$(find "$prog/tmp" -mindepth 1)
[ -z "$left" ] || fail "working copies left in tmp/: $left"

# Closing wrote the settings: keys only the program writes, the options as
# they were, the chosen folder in the history, the value for the file managers.
OUT=$out TITLE=$title FOLDER=$folder COMMAND=$command python3 - "$prog/MANTOLE.INI" \
    "$work/config/mantole/classes-root.ini" <<'EOF' || fail "MANTOLE.INI was not written back as expected"
import os, sys
def sections(path):
    result, current = {}, None
    for raw in open(path, encoding="utf-8"):
        line = raw.strip()
        if line.startswith("[") and line.endswith("]"):
            current = result.setdefault(line[1:-1].lower(), {})
        elif "=" in line and current is not None:
            key, value = line.split("=", 1)
            current.setdefault(key.strip().lower(), value)
    return result
ini = sections(sys.argv[1])
wzd = ini.get("wzd", {})
wrong = []
for key, value in {"stitre": os.environ["TITLE"], "spath": os.environ["FOLDER"], "scmd": os.environ["COMMAND"],
                   "date": "1", "msgsfx": "1", "runfile": "1", "sow": "1", "endmsg": "1", "autorun": "1",
                   "chglst": "1"}.items():
    if wzd.get(key) != value:
        wrong.append(f"[wzd] {key} is {wzd.get(key)!r}, expected {value!r}")
for key in ("iconame", "icoindex", "gifanime", "path"):
    if key not in wzd:
        wrong.append(f"[wzd] {key} was not written")
history = ini.get("historycfgdir", {})
out = os.environ["OUT"]
if history.get("n0", "").rstrip("/") != out or history.get("last", "").rstrip("/") != out:
    wrong.append(f"[HistoryCfgDir] does not hold {out}: {history}")
if os.path.exists(sys.argv[2]):
    store = {k: v for s in sections(sys.argv[2]).values() for k, v in s.items()}
    if store.get("last", "").rstrip("/") != out:
        wrong.append(f"the file managers' store has last={store.get('last')!r}")
else:
    wrong.append("the file managers' store was not written")
for line in wrong:
    print("  " + line)
sys.exit(1 if wrong else 0)
EOF

echo "the road of one conversion holds: $(basename "$exe")"
