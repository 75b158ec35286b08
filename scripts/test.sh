#!/usr/bin/env bash
# Builds Noctivane with its tests and runs every test suite.
#
#   scripts/test.sh [CTEST ARGS]             into build/
#   scripts/test.sh --sanitize [CTEST ARGS]  into build-asan/, with AddressSanitizer
#                                            and UBSan
# Warnings are errors in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
config=(-DNOCTIVANE_BUILD_TESTS=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  shift
  dir=build-asan
  config+=(-DNOCTIVANE_SANITIZE=ON)
  # Reports from inside the engine's and the system's libraries are
  # suppressed by name (see the files for why); any report from our own code
  # fails its test.
  supp="$PWD/tests/sanitizers"
  export ASAN_OPTIONS="suppressions=$supp/asan.supp${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
fi

NOCTIVANE_BUILD_DIR=$dir bash scripts/build.sh "${config[@]}"
cd "$dir"
ctest --output-on-failure -j "$(nproc)" "$@"
