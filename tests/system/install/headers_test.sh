#!/usr/bin/env bash
# Compiles each public header on its own, as a consumer would include it from
# the installed layout (<cvsetup/name.h>, nothing else on the include path):
# every header from C11 and C++17 (a class header is empty to C), all with
# -Wall -Wextra -Werror. Also checks that the umbrella header includes every
# public C header.
# Usage: headers_test.sh CC CXX C_HEADER... --cxx CXX_HEADER...
set -uo pipefail
cc=$1 cxx=$2
shift 2
c_headers=() cxx_headers=() target=c
for arg in "$@"; do
  if [ "$arg" = --cxx ]; then target=cxx; continue; fi
  if [ $target = c ]; then c_headers+=("$arg"); else cxx_headers+=("$arg"); fi
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/include/cvsetup"
cp "${c_headers[@]}" "${cxx_headers[@]}" "$tmp/include/cvsetup/"

failed=0
compile() { # language standard header
  local out
  if ! out=$(printf '#include <cvsetup/%s>\n' "$3" |
      "$4" -x "$1" -std="$2" -Wall -Wextra -Werror -fsyntax-only -I"$tmp/include" - 2>&1); then
    echo "FAIL: $3 does not compile alone as $1 ($2):"
    echo "$out"
    failed=1
  fi
}
for h in "${c_headers[@]}"; do
  name=$(basename "$h")
  compile c c11 "$name" "$cc"
  compile c++ c++17 "$name" "$cxx"
  if [ "$name" != cvsetup.h ] &&
      ! grep -q "^#include \"$name\"" "$tmp/include/cvsetup/cvsetup.h"; then
    echo "FAIL: cvsetup.h does not include the public C header $name"
    failed=1
  fi
done
for h in "${cxx_headers[@]}"; do
  compile c c11 "$(basename "$h")" "$cc"
  compile c++ c++17 "$(basename "$h")" "$cxx"
done
[ $failed = 0 ] && echo "${#c_headers[@]} C headers and ${#cxx_headers[@]} C++ headers compile alone"
exit $failed
