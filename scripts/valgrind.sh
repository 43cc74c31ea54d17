#!/usr/bin/env bash
# Runs every test program of a plain build (default build/) under valgrind's
# memcheck; any error or definite/indirect leak fails. The end-to-end tests
# also trace the remove-instance processes they start (system tools such as
# slapd and ldapadd are not traced).
#
# One program per core runs at a time, plus one: the end-to-end programs
# spend most of their time waiting on the tool's real timeouts, so they start
# first and take no core from the others while they wait.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
export LDAPNOINIT=1
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

run_one() {
  local t=$1 name log
  name=$(basename "$t")
  log=$logs/$name.log
  local children=(--trace-children=no)
  case $name in
    e2e_tests) children=(--trace-children=yes "--trace-children-skip=/usr/*,/bin/*,/sbin/*") ;;
  esac
  if valgrind -q --leak-check=full --errors-for-leak-kinds=definite,indirect \
      --error-exitcode=99 "${children[@]}" "$t" >"$log" 2>&1; then
    echo "-- $name: clean"
  else
    echo "-- $name: FAILED under valgrind"
    tail -n 60 "$log"
    return 1
  fi
}

programs=()
for t in $(find "$dir/tests" -name '*_tests' -type f -executable | sort); do
  case $(basename "$t") in
    # The allocation-failure tests replace operator new themselves; valgrind
    # replaces it too (no failure would be injected) and then takes our
    # operator delete for a mismatch. The sanitizer build runs them.
    boundary_tests) ;;
    e2e_tests) programs=("$t" "${programs[@]}") ;;
    *) programs+=("$t") ;;
  esac
done

failed=0
running=0
for t in "${programs[@]}"; do
  if [ "$running" -gt "$(nproc)" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
