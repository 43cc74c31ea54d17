#!/usr/bin/env bash
# The inner loop: builds only what one test group needs (the programs of
# tests/GROUP and what they link) in build/, then runs that group's tests.
# A group is a folder below tests/, nested ones included (setup/registry);
# its last part alone names it too when no other group ends that way
# (registry). A group's tests are its folder's own, not its subfolders'.
# Further arguments go to ctest, e.g. `scripts/check.sh registry -R Wait`.
# Without a GROUP, lists the groups. The whole run (both builds, valgrind,
# fuzzing) is scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
# The folders the build adds as groups (CMakeLists.txt): every one with a
# CMakeLists.txt but the support library and a project of its own.
groups=()
while IFS= read -r list; do
  g=${list#tests/}
  g=${g%/CMakeLists.txt}
  [[ $g == support || $g == support/* ]] && continue
  grep -q '^project(' "$list" && continue
  groups+=("$g")
done < <(find tests -mindepth 2 -name CMakeLists.txt | sort)
if [ $# -eq 0 ]; then
  echo "usage: scripts/check.sh GROUP [ctest arguments]; the groups (tests/GROUP):"
  printf '  %s\n' "${groups[@]}"
  exit 0
fi
want=${1%/}
want=${want#tests/}
shift
group=
matches=()
for g in "${groups[@]}"; do
  if [ "$g" = "$want" ]; then
    group=$g
    break
  fi
  [ "${g##*/}" = "$want" ] && matches+=("$g")
done
if [ -z "$group" ] && [ ${#matches[@]} -eq 1 ]; then
  group=${matches[0]}
fi
if [ -z "$group" ]; then
  if [ ${#matches[@]} -gt 1 ]; then
    echo "check.sh: '$want' names several groups (${matches[*]}); give the path" >&2
  else
    echo "check.sh: no test group '$want'; scripts/check.sh lists them" >&2
  fi
  exit 2
fi
export LDAPNOINIT=1
dir=build
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "tests-${group//\//-}"
ctest --test-dir "$dir/tests/$group" --output-on-failure -j"$((2 * $(nproc)))" "$@"
