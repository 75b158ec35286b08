#!/usr/bin/env bash
# Builds Noctivane and starts the browser.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh -DNOCTIVANE_BUILD_TESTS=OFF
# The engine's sandbox cannot start for the root user.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
exec ./build/bin/Noctivane "$@"
