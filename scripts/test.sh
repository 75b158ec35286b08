#!/usr/bin/env bash
# Builds Noctivane with its tests and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh -DNOCTIVANE_BUILD_TESTS=ON
cd build
ctest --output-on-failure -j "$(nproc)" "$@"
