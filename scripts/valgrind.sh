#!/usr/bin/env bash
# Runs every test program of a plain build (default build/) under valgrind's
# memcheck; any error or definite/indirect leak fails. The end-to-end tests
# also trace the remove-instance processes they start (system tools such as
# slapd and ldapadd are not traced).
#
# Two programs per core run at a time (much of each test is spent waiting on
# slapd and the processes it starts). The end-to-end tests wait on the tool's
# real 30 s timeouts: they run first, one test per process, so that their
# waits overlap each other and the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
export LDAPNOINIT=1
# The crash test tries every sixth point of interruption here (each traced
# process costs seconds), the sanitizer build every third; the plain build
# tries them all.
export CV_CRASH_STRIDE=${CV_CRASH_STRIDE:-6}

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

run_one() {
  local t=$1 filter=$2 name log
  name=$(basename "$t")
  case $filter in
    '') ;;
    *:*) name="$name ($(tr ':' '\n' <<<"$filter" | wc -l) quick tests)" ;;
    *) name="$name ($filter)" ;;
  esac
  log=$logs/$(basename "$t").$(md5sum <<<"$filter" | cut -c1-12).log
  local children=(--trace-children=no)
  case $(basename "$t") in
    e2e_tests) children=(--trace-children=yes "--trace-children-skip=/usr/*,/bin/*,/sbin/*") ;;
  esac
  # Reading the inlining information of every library at each start costs
  # a quarter of a traced process's start; reports name the enclosing
  # function's file and line without it.
  if valgrind -q --leak-check=full --errors-for-leak-kinds=definite,indirect \
      --read-inline-info=no --error-exitcode=99 "${children[@]}" "$t" ${filter:+"--gtest_filter=$filter"} \
      >"$log" 2>&1; then
    echo "-- $name: clean"
  else
    echo "-- $name: FAILED under valgrind"
    tail -n 60 "$log"
    return 1
  fi
}

# The tests of a program, one "Suite.Test" a line.
list_tests() {
  "$1" --gtest_list_tests | awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }'
}
# How long a program's tests took in the last ctest run of this build (0
# without one), so that the longest programs start first.
costs=$dir/Testing/Temporary/CTestCostData.txt
cost_of() {
  [ -f "$costs" ] || { echo 0; return; }
  list_tests "$1" | awk -v costs="$costs" -v program="$(basename "$1")" '
    BEGIN { while ((getline line < costs) > 0) { split(line, f, " "); took[f[1]] = f[3] } }
    { total += took[$1] }
    END { if (total == 0) total = took[program] }
    END { printf "%d\n", total * 1000 }'
}

# How long one test took in the last ctest run (milliseconds; 0 unknown).
test_cost() {
  [ -f "$costs" ] || { echo 0; return; }
  awk -v test="$1" '$1 == test { printf "%d\n", $3 * 1000; found = 1; exit }
                    END { if (!found) print 0 }' "$costs"
}

# The GoogleTest programs of the test folders the build has now (the top
# CTestTestfile.cmake names every one): a folder that moved leaves its old
# programs behind in a build made before, and those are not run.
programs() {
  sed -n 's/^subdirs("\(tests\/.*\)")$/\1/p' "$dir/CTestTestfile.cmake" | while read -r sub; do
    find "$dir/$sub" -maxdepth 1 -name '*_tests' -type f -executable
  done
}

# Each job is "program" or "program test-name".
jobs=()
for t in $(for p in $(programs); do
             echo "$(cost_of "$p") $p"
           done | sort -k1,1nr -k2 | cut -d' ' -f2); do
  case $(basename "$t") in
    # The allocation-failure tests replace operator new themselves; valgrind
    # replaces it too (no failure would be injected) and then takes our
    # operator delete for a mismatch. The sanitizer build runs them.
    boundary_tests) ;;
    e2e_tests)
      # The tests that took seconds in the last run (waits, many processes)
      # run one per process, so that their waits overlap; the quick ones
      # share one process and pay valgrind's start once. Without a last
      # run, each runs alone.
      quick=()
      while read -r took test; do
        if [ "$took" -ge 2000 ] || [ ! -f "$costs" ]; then
          jobs=("$t $test" "${jobs[@]}")
        else
          quick+=("$test")
        fi
      done < <(list_tests "$t" | while read -r test; do
                 echo "$(test_cost "$test") $test"
               done)
      if [ ${#quick[@]} -gt 0 ]; then
        jobs+=("$t $(IFS=:; echo "${quick[*]}")")
      fi
      ;;
    *) jobs+=("$t") ;;
  esac
done

failed=0
running=0
for job in "${jobs[@]}"; do
  if [ "$running" -ge "$((2 * $(nproc)))" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  read -r program filter <<<"$job"
  run_one "$program" "$filter" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
