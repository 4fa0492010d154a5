#!/usr/bin/env bash
# Sets up what is missing, builds and starts the Mantole wizard, with FILE
# (an archive or a self-extracting executable) when one is given.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh build
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMANTOLE_TESTS=OFF
fi
cmake --build build
exec build/bin/mantole "$@"
