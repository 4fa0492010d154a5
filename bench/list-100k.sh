#!/usr/bin/env bash
# Lists a 100,000-entry archive with mantole-cli, unzip -l and Python's
# zipfile in the same run: wall time (hyperfine) and peak memory (GNU time).
# Target: mantole-cli at most half the time of unzip -l, memory proportional
# to the entries.
#   bench/list-100k.sh [ENTRIES]
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-100000}
scripts/ensure-packages.sh bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMANTOLE_TESTS=OFF >/dev/null
cmake --build build-bench --target mantole-cli >/dev/null
cli=build-bench/bin/mantole-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
archive="$work/entries-$entries.zip"

python3 - "$archive" "$entries" <<'PY'
import sys, zipfile
path, count = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(count):
        z.writestr(zipfile.ZipInfo("folder%03d/file-%06d.txt" % (i % 500, i), (2024, 5, 1, 12, 0, 0)),
                   b"entry %d\n" % i)
PY
ls -l "$archive"

listing_py="import sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist():
    print(i.file_size, i.compress_size, i.CRC, i.date_time, i.filename)"

hyperfine --warmup 2 --runs 10 --export-markdown "$work/times.md" \
    -n "mantole-cli list" "$cli list $archive > /dev/null" \
    -n "mantole-cli list --json" "$cli list --json $archive > /dev/null" \
    -n "unzip -l" "unzip -l $archive > /dev/null" \
    -n "python zipfile" "python3 -c '$listing_py' $archive > /dev/null"
cat "$work/times.md"

echo
echo "Peak memory (max resident set, KiB):"
for cmd in "$cli list $archive" "$cli list --json $archive" "unzip -l $archive"; do
    kib=$( { /usr/bin/time -f %M $cmd > /dev/null; } 2>&1 | tail -1)
    printf '  %-40s %s\n' "${cmd/$work\//}" "$kib"
done
