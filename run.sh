#!/usr/bin/env bash
# Sets up what is missing, builds and starts Mantole. With FILE, lists that
# archive or executable.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh build
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMANTOLE_TESTS=OFF
fi
cmake --build build
if [ $# -ge 1 ]; then
    exec build/bin/mantole-cli list "$1"
fi
build/bin/mantole-cli --help
