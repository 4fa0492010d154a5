#!/usr/bin/env bash
# Converts a 1 GiB archive to a self-extracting executable and back with
# mantole-cli, beside cp of the same file and zip -A on a concatenated copy,
# in the same run: wall time (hyperfine) and peak memory (GNU time).
# Target: to-exe and to-zip within 1.25x the time of cp, under 64 MiB.
#   bench/sfx-1gib.sh [SIZE_MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
scripts/ensure-packages.sh bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMANTOLE_TESTS=OFF >/dev/null
cmake --build build-bench --target mantole-cli >/dev/null
cli=$PWD/build-bench/bin/mantole-cli
work=$(mktemp -d "${TMPDIR:-/tmp}/mantole-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# A stand-in stub: any file is copied as it is when no icon is asked for.
head -c 120000 /dev/urandom > stub.bin
parts=4
for i in $(seq 1 $parts); do head -c $((size_mib / parts))M /dev/urandom > "part$i.bin"; done
zip -q -0 big.zip part*.bin
rm part*.bin
ls -l big.zip
"$cli" to-exe big.zip --stub stub.bin --output ready.exe > /dev/null

# Each run writes a new file, after the previous runs' writes have reached
# the disk (replacing a file by a rename makes ext4 flush the new one first).
hyperfine --warmup 1 --runs 8 --export-markdown times.md \
    --prepare "rm -f copy.zip; sync" --prepare "rm -f out.exe; sync" --prepare "rm -f back.zip; sync" \
    --prepare "cat stub.bin big.zip > cat.exe && sync" \
    -n "cp" "cp big.zip copy.zip" \
    -n "mantole-cli to-exe" "$cli to-exe big.zip --stub stub.bin --output out.exe" \
    -n "mantole-cli to-zip" "$cli to-zip ready.exe --keep --output back.zip" \
    -n "zip -A (concatenated copy)" "zip -qA cat.exe"
cat times.md
cmp back.zip big.zip && echo "to-zip gave back the identical archive"

echo
echo "Peak memory (max resident set, KiB):"
for cmd in "cp big.zip copy.zip" "$cli to-exe big.zip --stub stub.bin --output out.exe" \
           "$cli to-zip ready.exe --keep --output back.zip"; do
    kib=$( { /usr/bin/time -f %M $cmd > /dev/null; } 2>&1 | tail -1)
    printf '  %-50s %s\n' "${cmd/$cli/mantole-cli}" "$kib"
done
