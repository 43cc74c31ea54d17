#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each one for
# CV_FUZZ_SECONDS (default 60) from its seed corpus. Any crash fails.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${CV_FUZZ_SECONDS:-60}
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCV_FUZZ=ON -DCV_BUILD_TESTS=OFF -DCV_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=fuzz/corpus/${name#fuzz_}
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "-- $name for ${secs}s"
  "$target" -max_total_time="$secs" -print_final_stats=0 "$work" 2>&1 | tail -n 3
  rm -rf "$work"
done
