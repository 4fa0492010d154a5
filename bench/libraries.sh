#!/usr/bin/env bash
# The compression libraries beside the outside tools, on the same data in
# the same run: add at level 6 against zip -6 -r (time and archive size),
# test against unzip -t and 7z t, extract against unzip.
# Targets: add no slower than zip and no more than 1% larger; test faster
# than unzip -t and 7z t.
#   bench/libraries.sh [SIZE_MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-200}
scripts/ensure-packages.sh bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMANTOLE_TESTS=OFF >/dev/null
cmake --build build-bench --target mantole-cli ziplib unzlib >/dev/null
cli=$PWD/build-bench/bin/mantole-cli
work=$(mktemp -d "${TMPDIR:-/tmp}/mantole-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# A tree of text-like files (three quarters) and incompressible ones.
python3 - "$size_mib" <<'PY'
import os, random, sys
total = int(sys.argv[1]) << 20
random.seed(1)
words = ["archive", "mantole", "extract", "folder", "value", "record", "offset", "header", "stub",
         "window", "file", "entry", "data", "user", "ship", "icon", "title", "message"] + \
        ["w%d" % i for i in range(2000)]
written, n = 0, 0
while written < total:
    folder = "tree/d%02d/s%d" % (n % 40, n % 7)
    os.makedirs(folder, exist_ok=True)
    if n % 4 == 3:
        data = os.urandom(random.randint(10_000, 400_000))
    else:
        data = " ".join(random.choice(words) for _ in range(random.randint(2_000, 60_000))).encode()
    with open("%s/f%05d.%s" % (folder, n, "bin" if n % 4 == 3 else "txt"), "wb") as f:
        f.write(data)
    written += len(data)
    n += 1
print("%d files, %d MiB" % (n, written >> 20))
PY

hyperfine --runs 3 --export-markdown add.md \
    --prepare "rm -f ref.zip; sync" --prepare "rm -f ours.zip; sync" \
    -n "zip -6 -r" "zip -q -6 -r ref.zip tree" \
    -n "mantole-cli add --level 6" "$cli add ours.zip tree --recurse --paths --level 6 > /dev/null"
cat add.md
echo "sizes: zip $(stat -c %s ref.zip), mantole $(stat -c %s ours.zip) bytes"
python3 -c "import sys; a,b=map(int,sys.argv[1:]); print('mantole/zip size: %.4f' % (b/a))" \
    "$(stat -c %s ref.zip)" "$(stat -c %s ours.zip)"

hyperfine --warmup 1 --runs 5 --export-markdown test.md \
    -n "unzip -t" "unzip -tq ref.zip" \
    -n "7z t" "7z t ref.zip" \
    -n "mantole-cli test" "$cli test ref.zip"
cat test.md

hyperfine --runs 3 --export-markdown extract.md \
    --prepare "rm -rf out1; sync" --prepare "rm -rf out2; sync" \
    -n "unzip" "unzip -q ref.zip -d out1" \
    -n "mantole-cli extract" "$cli extract ref.zip --to out2 > /dev/null"
cat extract.md
diff -r out1 out2 > /dev/null && echo "extracted trees are identical"
