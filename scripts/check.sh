#!/usr/bin/env bash
# The inner loop: builds only what one test group needs (the programs of
# tests/GROUP and what they link) in build/, then runs that group's tests.
# Further arguments go to ctest, e.g. `scripts/check.sh registry -R Wait`.
# Without a GROUP, lists the groups. The whole run (both builds, valgrind,
# fuzzing) is scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
groups=()
for d in tests/*/; do
  g=$(basename "$d")
  [ "$g" != support ] && [ -f "$d/CMakeLists.txt" ] && groups+=("$g")
done
if [ $# -eq 0 ]; then
  echo "usage: scripts/check.sh GROUP [ctest arguments]; the groups (tests/GROUP):"
  printf '  %s\n' "${groups[@]}"
  exit 0
fi
group=$1
shift
if [[ " ${groups[*]} " != *" $group "* ]]; then
  echo "check.sh: no test group '$group'; scripts/check.sh lists them" >&2
  exit 2
fi
export LDAPNOINIT=1
dir=build
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "tests-$group"
ctest --test-dir "$dir/tests/$group" --output-on-failure -j"$((2 * $(nproc)))" "$@"
