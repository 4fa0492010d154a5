#!/usr/bin/env bash
# Fuzzes a reader with libFuzzer for a while.
#   fuzz/run.sh [SECONDS] [TARGET]      (default 300 seconds, target list)
# Targets: list (the directory reader), library (the compression libraries'
# reader and the extraction library's test), icons (icons in PE and .ico files),
# shortcuts (.lnk and .desktop files), profile (INI files).
# Seeds come from the test fixtures; crash inputs land in fuzz/artifacts/.
# Keep each one as a regression input in tests/fixtures/fuzz/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
target=${2:-list}
scripts/ensure-packages.sh fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMANTOLE_FUZZ=ON -DMANTOLE_TESTS=OFF
cmake --build build-fuzz --target "fuzz_$target"
corpus=build-fuzz/corpus/$target
mkdir -p "$corpus" fuzz/artifacts
python3 tests/fixtures/make_fixtures.py build-fuzz/seeds
find build-fuzz/seeds -type f -size -200k -exec cp {} "$corpus" \;
cp tests/fixtures/fuzz/"$target"/* "$corpus" 2>/dev/null || true
build-fuzz/fuzz/"fuzz_$target" "$corpus" -max_total_time="$seconds" -max_len=70000 \
    -artifact_prefix=fuzz/artifacts/ -print_final_stats=1
