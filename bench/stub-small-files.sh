#!/usr/bin/env bash
# Silent extraction by the x86_64 stub under wine64, side by side with
# unzip of the same archive: 20,000 small files, then a few large ones.
# Target: at most 1.5x unzip's time for the small files, no slower than
# unzip for the large ones. A third line, "Wine floor", writes the same
# files with nothing but CreateFileW/WriteFile/CloseHandle (WineFileFloor.cpp):
# what any Windows program pays under this Wine, which the stub cannot go
# below.
#   bench/stub-small-files.sh [FILES] [LARGE_MIB] [RUNS]
# BIN names the folder holding mantole-cli and SfxStub64.bin (build/bin).
# The archives and the output go to TMPDIR (/tmp); TMPDIR=/dev/shm takes
# the disk out of the comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
files=${1:-20000}
large_mib=${2:-200}
runs=${3:-3}
bin=$(realpath "${BIN:-build/bin}")
scripts/ensure-packages.sh bench
for f in mantole-cli SfxStub64.bin; do
    [ -f "$bin/$f" ] || { echo "no $bin/$f: build the mantole-cli and stub targets first" >&2; exit 1; }
done

# The Wine prefix the stub tests use, made once.
export WINEPREFIX=${WINEPREFIX:-$(dirname "$bin")/tests/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tests/wine-prefix.sh "$WINEPREFIX"
work=$(mktemp -d "${TMPDIR:-/tmp}/mantole-stub-bench-XXXXXX")
# A wineserver kept alive across runs (one already running stays as it is),
# so only the extraction is timed; it ends on its own a minute after.
wineserver -p60 2>/dev/null || true
trap 'rm -rf "$work"' EXIT
cd "$work"

# Small files of 1 to 4 KiB of text, 100 to a folder.
python3 - "$files" <<'EOF'
import os, random, sys
random.seed(1)
count = int(sys.argv[1])
words = b"alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu\n"
for i in range(count):
    folder = "small/d%03d" % (i // 100)
    os.makedirs(folder, exist_ok=True)
    with open("%s/f%05d.txt" % (folder, i), "wb") as f:
        f.write(words * random.randint(16, 64))
EOF
mkdir large
for i in 1 2 3 4; do
    # Half random, half text: deflate has work to do on both.
    { head -c $((large_mib * 1024 * 1024 / 8)) /dev/urandom
      python3 -c "import sys; sys.stdout.buffer.write(b'line of text for the large files\\n' * ($large_mib * 1024 * 1024 // 8 // 33))"
    } > "large/part$i.bin"
done
(cd small && zip -qr ../small.zip .)
(cd large && zip -qr ../large.zip .)
rm -rf small large
for name in small large; do
    "$bin/mantole-cli" to-exe "$name.zip" --stub "$bin/SfxStub64.bin" --output "$name.exe" > /dev/null
    python3 -c "import sys, zipfile; [print(i.file_size, i.filename) for i in zipfile.ZipFile(sys.argv[1]).infolist()]" \
        "$name.zip" > "$name.list"
done
x86_64-w64-mingw32-g++ -std=c++20 -O2 -municode -static "$root/bench/WineFileFloor.cpp" -o floor.exe
ls -l small.zip large.zip

for name in small large; do
    echo
    echo "== $name.zip: $(unzip -Z1 "$name.zip" | wc -l) entries"
    hyperfine --warmup 1 --runs "$runs" --export-markdown "$name.md" \
        --prepare "rm -rf out; sync" \
        -n "unzip -q" "unzip -q $name.zip -d out" \
        -n "wine SfxStub64 -s" "wine $name.exe -s -d out" \
        -n "Wine floor" "wine floor.exe out $name.list"
    cat "$name.md"
    # The stub's result is unzip's.
    rm -rf out ref
    unzip -q "$name.zip" -d ref
    wine "$name.exe" -s -d out
    diff -r ref out > /dev/null && echo "the stub extracted the same files as unzip"
done
