#!/usr/bin/env bash
# Builds everything (warnings as errors) in build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DBRINDLE_WERROR=ON "$@"
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/test-python.sh build
