#!/usr/bin/env bash
# Runs every test program of a plain build (default build/) under valgrind's
# memcheck; any error or definite/indirect leak fails. The end-to-end tests
# also trace the remove-instance processes they start (system tools such as
# slapd and ldapadd are not traced).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
export LDAPNOINIT=1
failed=0
for t in $(find "$dir/tests" -name '*_tests' -type f -executable | sort); do
  # The allocation-failure tests replace operator new themselves; valgrind
  # replaces it too (no failure would be injected) and then takes our
  # operator delete for a mismatch. The sanitizer build runs them.
  [ "$(basename "$t")" = boundary_tests ] && continue
  children=(--trace-children=no)
  case $(basename "$t") in
    e2e_tests) children=(--trace-children=yes "--trace-children-skip=/usr/*,/bin/*,/sbin/*") ;;
  esac
  log=$(mktemp)
  if valgrind -q --leak-check=full --errors-for-leak-kinds=definite,indirect \
      --error-exitcode=99 "${children[@]}" "$t" >"$log" 2>&1; then
    echo "-- $(basename "$t"): clean"
  else
    echo "-- $(basename "$t"): FAILED under valgrind"
    tail -n 60 "$log"
    failed=1
  fi
  rm -f "$log"
done
exit $failed
