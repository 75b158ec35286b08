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
  # The engine deletes an object of its web contents through a pointer of a
  # smaller type when a page is torn down. The sanitizer runtime can only turn
  # that check off as a whole, not for one library; -Wall's
  # -Wdelete-non-virtual-dtor covers the usual cause of it in our own code.
  # Leaks inside the engine and fontconfig are suppressed by library name in
  # tests/sanitizers/lsan.supp. Any other report fails its test.
  export ASAN_OPTIONS="new_delete_type_mismatch=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
fi

NOCTIVANE_BUILD_DIR=$dir bash scripts/build.sh "${config[@]}"
cd "$dir"
ctest --output-on-failure -j "$(nproc)" "$@"
