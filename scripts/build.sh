#!/usr/bin/env bash
# Configures and builds into build/ (or the directory given as $1, with any
# further arguments passed to cmake).
#
#   scripts/build.sh --sanitize [DIR] [cmake args]
# configures the sanitizer build instead (default DIR build-asan): clang,
# AddressSanitizer and UBSan, no optimisation, the tests (one ctest test per
# program) and the libFuzzer targets from the same objects, no benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
default=build
if [ "${1:-}" = --sanitize ]; then
  shift
  flavour=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    -DCV_SANITIZE=ON -DCV_FUZZ=ON -DCV_BUILD_BENCH=OFF -DCV_WHOLE_PROGRAM_TESTS=ON)
  default=build-asan
fi
dir=${1:-$default}
shift || true
# A directory configured with another compiler starts afresh: cmake would
# switch compilers but drop the other options given with the switch.
if [ "$default" = build-asan ] && [ -f "$dir/CMakeCache.txt" ] &&
    ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++$' "$dir/CMakeCache.txt"; then
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
fi
# Ninja, where it is installed, schedules two cores better than make and
# starts faster; a directory keeps the generator it was first configured with.
generator=()
if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
  generator=(-G Ninja)
fi
cmake -S . -B "$dir" "${generator[@]}" "${flavour[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
