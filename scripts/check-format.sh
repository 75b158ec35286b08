#!/usr/bin/env bash
# Checks that every C++ source and header of the tree is formatted by the
# committed .clang-format. Lists the files that are not and fails.
#
#   scripts/check-format.sh         check
#   scripts/check-format.sh --fix   reformat those files in place
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || ./scripts/install-deps.sh
fix=false
[ "${1:-}" = "--fix" ] && fix=true
bad=()
while IFS= read -r f; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    bad+=("$f")
  fi
done < <(git ls-files '*.cpp' '*.h')
if [ ${#bad[@]} -eq 0 ]; then
  echo "check-format: every source is formatted"
  exit 0
fi
if $fix; then
  clang-format -i "${bad[@]}"
  echo "check-format: reformatted ${#bad[@]} file(s)"
  exit 0
fi
printf 'check-format: not formatted (run scripts/check-format.sh --fix):\n'
printf '  %s\n' "${bad[@]}"
exit 1
