#!/usr/bin/env bash
# Installs what the build needs, then configures and builds into build/
# (or into $NOCTIVANE_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${NOCTIVANE_BUILD_DIR:-build}
bash scripts/install-deps.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$dir" -j "$(nproc)"
