#!/usr/bin/env bash
# Checks that includes run one way: app -> EmbeddedWB/Source -> platform, and
# inside platform/ only from a layer to the layers it links against.
#
#   scripts/check-layers.sh [ROOT]     check the tree at ROOT (default: this one)
#   scripts/check-layers.sh --self-test
#                                      show that the check passes on a copy of
#                                      this tree and fails on planted bad includes
#
# The layers of platform/ and what each may include besides itself (its link
# dependencies in platform/CMakeLists.txt; what those may include follows):
#
#   rtl       -
#   com       rtl
#   winapi    rtl com
#   classlib  winapi com
#   wininet   winapi com
#   winsock   winapi
#   mapi      winapi
#   urlmon    wininet winapi com
#   shell     classlib com
#   richedit  classlib
#   mshtml    com winapi urlmon
#   shdocvw   classlib mshtml shell
#
# The table is checked against platform/CMakeLists.txt, so a new link
# dependency there has to be written down here too.
#
# A header named *_p.h is private to its folder: only sources beside it may
# include it.
set -euo pipefail

declare -A deps=(
  [rtl]=""
  [com]="rtl"
  [winapi]="rtl com"
  [classlib]="winapi com"
  [wininet]="winapi com"
  [winsock]="winapi"
  [mapi]="winapi"
  [urlmon]="wininet winapi com"
  [shell]="classlib com"
  [richedit]="classlib"
  [mshtml]="com winapi urlmon"
  [shdocvw]="classlib mshtml shell"
)

# Every layer a layer reaches through its dependencies, itself included.
reach() {
  local seen=" $1 " todo=($1) l d
  while [ ${#todo[@]} -gt 0 ]; do
    l=${todo[0]}
    todo=("${todo[@]:1}")
    for d in ${deps[$l]}; do
      case "$seen" in *" $d "*) ;; *) seen="$seen$d " && todo+=("$d") ;; esac
    done
  done
  echo "$seen"
}

# A list of words, sorted, on one line.
sorted() { tr ' ' '\n' | sed '/^$/d' | sort | tr '\n' ' '; }

# The platform layers a layer links against in CMakeLists.txt.
cmake_deps() {
  sed -nE "s/^noctivane_layer\($1 +DEPS (.*)\)/\1/p" "$2" | tr ' ' '\n' |
    sed -nE 's/^platform_([a-z]+)$/\1/p' | sorted
}

declare -A reaches=()
for layer in "${!deps[@]}"; do reaches[$layer]=$(reach "$layer"); done

check() {
  local root=$1 bad=0 layer want have f line target allowed
  cd "$root"

  # The table and the build agree.
  for layer in $(sed -nE 's/^noctivane_layer\(([a-z]+) .*/\1/p' platform/CMakeLists.txt); do
    if [ -z "${deps[$layer]+set}" ]; then
      echo "check-layers: platform/$layer is not in the layer table of $0"
      bad=1
      continue
    fi
    want=$(sorted <<<"${deps[$layer]}")
    have=$(cmake_deps "$layer" platform/CMakeLists.txt)
    if [ "$want" != "$have" ]; then
      echo "check-layers: platform/$layer links against '$have' but the table says '$want'"
      bad=1
    fi
  done

  # Each quoted include of a source folder, by the folder it sits in.
  while IFS= read -r line; do
    f=${line%%:*}
    [[ ${line#*:} =~ include[[:space:]]*\"([^\"]+)\" ]] || continue
    target=${BASH_REMATCH[1]}
    allowed=yes
    case "$target" in
      *../*) allowed=no ;;
      # A private header serves its own folder only.
      *_p.h) [ "${target%/*}" = "${f%/*}" ] || allowed=no ;;
    esac
    case "$f" in
      platform/*)
        layer=${f#platform/}
        layer=${layer%%/*}
        case "$target" in
          app/* | EmbeddedWB/* | tests/*) allowed=no ;;
          platform/*)
            target_layer=${target#platform/}
            target_layer=${target_layer%%/*}
            case "${reaches[$layer]:-}" in *" $target_layer "*) ;; *) allowed=no ;; esac
            ;;
        esac
        ;;
      EmbeddedWB/*)
        case "$target" in app/* | tests/*) allowed=no ;; esac
        ;;
      app/*)
        case "$target" in tests/*) allowed=no ;; esac
        ;;
    esac
    if [ "$allowed" = no ]; then
      echo "check-layers: $f:${line#*:}"
      bad=1
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' \
             platform EmbeddedWB app)

  if [ "$bad" -ne 0 ]; then
    echo "check-layers: includes must run app -> EmbeddedWB/Source -> platform, and inside"
    echo "platform/ only to a layer's link dependencies (table in scripts/check-layers.sh)"
    return 1
  fi
  echo "check-layers: includes follow the layers"
}

self_test() {
  local here tmp failed=0
  here=$(cd "$(dirname "$0")/.." && pwd)
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' RETURN
  copy() {
    rm -rf "$tmp/tree" && mkdir -p "$tmp/tree"
    (cd "$here" && tar cf - platform EmbeddedWB app) | (cd "$tmp/tree" && tar xf -)
  }
  expect() {  # expect pass|fail DESCRIPTION
    local out rc=0
    out=$( (check "$tmp/tree") 2>&1) || rc=$?
    if { [ "$1" = pass ] && [ $rc -ne 0 ]; } || { [ "$1" = fail ] && [ $rc -eq 0 ]; }; then
      echo "check-layers self-test: expected $1 on $2, got:"
      echo "$out"
      failed=1
    fi
  }
  plant() {  # plant FILE LINE: add an include line to a copied file
    printf '%s\n' "$2" >>"$tmp/tree/$1"
  }

  copy && expect pass "an unchanged copy"
  copy && plant platform/rtl/SysUtils.cpp '#include "platform/winapi/Windows.h"' &&
    expect fail "a layer including one above it"
  copy && plant platform/classlib/Graphics.cpp '#include "platform/wininet/WinInet.h"' &&
    expect fail "a layer including one beside it that it does not link"
  copy && plant platform/mshtml/NativeDom.h '  #  include "platform/shdocvw/ExDisp.h"' &&
    expect fail "an indented include"
  copy && plant platform/com/Com.h '#include "EmbeddedWB/Source/EwbCore.h"' &&
    expect fail "platform including a unit of the system"
  copy && plant EmbeddedWB/Source/EwbCore.cpp '#include "app/Menu.h"' &&
    expect fail "a unit including a form"
  copy && plant platform/rtl/SysUtils.h '#include "../winapi/Windows.h"' &&
    expect fail "a relative include that climbs out"
  copy && plant platform/shdocvw/WebBrowser.cpp '#include "platform/winapi/WinInternal_p.h"' &&
    expect fail "a private header included from another folder"
  copy && plant platform/shdocvw/WebBrowser.cpp '#include "platform/wininet/WinInet.h"' &&
    expect pass "a layer including one it reaches through its dependencies"
  copy && sed -i -E 's/^(noctivane_layer\(rtl +DEPS )/\1platform_shell /' "$tmp/tree/platform/CMakeLists.txt" &&
    expect fail "a link dependency missing from the table"

  if [ $failed -ne 0 ]; then return 1; fi
  echo "check-layers self-test: passed"
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
else
  check "${1:-$(cd "$(dirname "$0")/.." && pwd)}"
fi
