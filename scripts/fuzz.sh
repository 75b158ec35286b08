#!/usr/bin/env bash
# Builds the fuzz harnesses with clang into build-fuzz/ and runs each on its
# seed corpus in tests/fuzz/corpus/<name>/.
#
#   scripts/fuzz.sh --ci             every harness for a short, bounded time
#   scripts/fuzz.sh [SECONDS [NAME...]]
#                                    every (or each named) harness for SECONDS
#                                    (default 300); new inputs go to
#                                    build-fuzz/corpus/<name>/, crashes to
#                                    build-fuzz/crashes/<name>/
#
# FUZZ_JOBS (default 1) runs that many processes per harness.
set -euo pipefail
cd "$(dirname "$0")/.."

harnesses=(ini registry form rtf html url mime)
ci=0
seconds=300
if [ "${1:-}" = "--ci" ]; then
  ci=1
  seconds=20
  shift
elif [ $# -gt 0 ]; then
  seconds=$1
  shift
fi
[ $# -gt 0 ] && harnesses=("$@")

# clang and its libFuzzer runtime come with the project's packages.
if ! command -v clang++ >/dev/null; then bash scripts/install-deps.sh; fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 with line tables only: quick to build, still fast to run, and the
# sanitizers' reports name files and lines.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
  -DNOCTIVANE_BUILD_FUZZ=ON -DNOCTIVANE_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-fuzz --target noctivane_fuzz -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Leaks are not what these runs look for, and Qt keeps a few on purpose.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

root=$PWD
failed=()
for name in "${harnesses[@]}"; do
  bin=$root/build-fuzz/fuzz/fuzz_$name
  seeds=$root/tests/fuzz/corpus/$name
  crashes=$root/build-fuzz/crashes/$name
  log=$root/build-fuzz/fuzz_$name.log
  mkdir -p "$crashes"
  if [ "$ci" = 1 ]; then
    # A scratch copy: what the run finds is not kept.
    work=$(mktemp -d)
    cp -r "$seeds/." "$work/"
    dirs=("$work")
  else
    work=$root/build-fuzz/corpus/$name
    mkdir -p "$work"
    dirs=("$work" "$seeds")
  fi
  jobs=()
  if [ "${FUZZ_JOBS:-1}" -gt 1 ]; then jobs=(-jobs="$FUZZ_JOBS" -workers="$FUZZ_JOBS"); fi
  echo "== fuzz_$name: ${seconds}s"
  # From build-fuzz/, where libFuzzer leaves the logs of its jobs.
  if (cd "$root/build-fuzz" && nice "$bin" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
        -max_len=16384 -print_final_stats=1 "${jobs[@]}" -artifact_prefix="$crashes/" "${dirs[@]}") \
        >"$log" 2>&1; then
    grep -E "stat::number_of_executed_units" "$log" | tail -1 || true
  else
    failed+=("$name")
    tail -n 60 "$log"
  fi
  if [ "$ci" = 1 ]; then rm -rf "$work"; fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: ${#failed[@]} of ${#harnesses[@]} harnesses failed: ${failed[*]} (inputs in build-fuzz/crashes/)"
  exit 1
fi
echo "fuzz: all ${#harnesses[@]} harnesses ran clean"
