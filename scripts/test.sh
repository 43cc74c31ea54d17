#!/usr/bin/env bash
# Installs the dependencies, builds, and runs everything; fails when any of
# it fails:
#   - the plain build (build/), every test through ctest;
#   - the sanitizer build (build-asan/: clang, AddressSanitizer and UBSan),
#     every test through ctest;
#   - every test program of the plain build under valgrind;
#   - every libFuzzer target (built by the sanitizer build) for a bounded
#     time each.
# What mostly waits overlaps what computes: the sanitizer build compiles
# (niced) beside the plain build and the plain tests, the package test runs
# from the plain tests to the end, and the sanitizer tests run beside
# valgrind. Fuzzing runs alone, so each target has its core for its whole
# time. A job that runs beside others has its output printed when it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
export LDAPNOINIT=1 ASAN_OPTIONS=detect_leaks=1
start=$SECONDS
phase() { echo "== $1 (at $((SECONDS - start)) s)"; }
logs=$(mktemp -d)
declare -A pids
# Each background job leads a process group of its own, so that a run that
# stops early ends its jobs' children too.
cleanup() {
  for pid in "${pids[@]}"; do kill -- -"$pid" 2>/dev/null || true; done
  rm -rf "$logs" ${memory_tmp:+"$memory_tmp"}
}
trap cleanup EXIT
# The tests' temporary files (slapd databases, instance trees, trees twenty
# thousand directories deep) go to memory where the machine has a tmpfs that
# runs programs and has room: on a disk file system creating them costs a
# core seconds in each of the three runs. A TMPDIR of the caller's is kept.
memory_tmp=
if [ -z "${TMPDIR:-}" ] && [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ] &&
    [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((2 * 1024 * 1024)) ] &&
    memory_tmp=$(mktemp -d /dev/shm/cvtest.XXXXXX 2>/dev/null); then
  printf '#!/bin/sh\nexit 0\n' >"$memory_tmp/runs" && chmod 755 "$memory_tmp/runs"
  if "$memory_tmp/runs" 2>/dev/null; then
    rm -f "$memory_tmp/runs"
    chmod 1777 "$memory_tmp" # as /tmp is
    export TMPDIR=$memory_tmp
  else
    rm -rf "$memory_tmp"
    memory_tmp=
  fi
fi
failed=0

# background NAME COMMAND...: runs the command with its output kept aside.
background() {
  local name=$1
  shift
  setsid -w "$@" >"$logs/$name" 2>&1 &
  pids[$name]=$!
}
# collect NAME: waits for it and prints its output.
collect() {
  local name=$1 status=0
  wait "${pids[$name]}" || status=$?
  unset "pids[$name]"
  cat "$logs/$name"
  if [ $status -eq 0 ]; then
    echo "-- $name: passed (at $((SECONDS - start)) s)"
  else
    echo "-- $name: FAILED (status $status, at $((SECONDS - start)) s)"
    failed=1
  fi
}
# Most tests wait on servers and processes: two per core keep the cores busy.
ctest_in=(ctest --output-on-failure -j"$((2 * $(nproc)))" --test-dir)

bash scripts/install-deps.sh

phase "build; sanitizer build"
# Line tables only, in both builds: the reports of valgrind and the
# sanitizers name files and lines, and the builds take a third less time
# than with full debug information.
background "sanitizer build" nice -n 10 bash scripts/build.sh --sanitize build-asan \
  -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only
# Each test program runs whole here, as in the sanitizer build: a process
# and a slapd per program rather than per test. scripts/check.sh and a
# build without the option list the tests one by one.
bash scripts/build.sh build -DCV_WHOLE_PROGRAM_TESTS=ON -DCV_BUILD_BENCH=OFF \
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
phase "test; sanitizer build"
# The package test compiles the project once more, as Debian builds it, and
# then installs, serves and purges one step at a time: it runs on beside the
# memory checkers, which start as soon as the other plain tests and the
# sanitizer build are done.
background "package test (plain build)" "${ctest_in[@]}" build -R '^Package[.]'
background "tests (plain build)" "${ctest_in[@]}" build -E '^Package[.]'
collect "tests (plain build)"
collect "sanitizer build"
[ $failed -eq 0 ] || exit 1

phase "test under ASan/UBSan; valgrind"
# The sanitizers check the crash test's repairs at every third point of
# interruption (valgrind at every sixth); the plain build tries every point.
background "tests (sanitizer build)" env CV_CRASH_STRIDE=3 "${ctest_in[@]}" build-asan
background valgrind bash scripts/valgrind.sh build
collect valgrind
collect "tests (sanitizer build)"
collect "package test (plain build)"
[ $failed -eq 0 ] || exit 1

phase "fuzz"
bash scripts/fuzz.sh build-asan
phase "all tests passed"
