#!/usr/bin/env bash
# Sets up what is missing, builds with sanitizers and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DMANTOLE_SANITIZE=ON -DMANTOLE_WERROR=ON -DMANTOLE_TESTS=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2
