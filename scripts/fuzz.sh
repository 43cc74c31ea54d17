#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each one
# from its seed corpus, two at a time (one per core). The parsers of files
# and encodings (inf, base64, bundle, ldif, schema) run CV_FUZZ_SECONDS (default 60) each,
# the other targets CV_FUZZ_SHORT_SECONDS (default 20). Any crash fails.
set -euo pipefail
cd "$(dirname "$0")/.."
long=${CV_FUZZ_SECONDS:-60}
short=${CV_FUZZ_SHORT_SECONDS:-20}
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCV_FUZZ=ON -DCV_BUILD_TESTS=OFF -DCV_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target all >/dev/null

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
run_one() {
  local target=$1 secs=$2 name work
  name=$(basename "$target")
  work=$(mktemp -d)
  local corpus=fuzz/corpus/${name#fuzz_}
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  if "$target" -max_total_time="$secs" -print_final_stats=0 "$work" >"$logs/$name.log" 2>&1; then
    echo "-- $name: ${secs}s, $(grep -o 'Done [0-9]* runs' "$logs/$name.log" | tail -n 1), no crash"
    rm -rf "$work"
  else
    echo "-- $name: FAILED (inputs kept in $work)"
    tail -n 40 "$logs/$name.log"
    return 1
  fi
}

pids=()
failed=0
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  case $(basename "$target") in
    fuzz_inf|fuzz_base64|fuzz_bundle|fuzz_ldif|fuzz_schema) secs=$long ;;
    *) secs=$short ;;
  esac
  run_one "$target" "$secs" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$(nproc)" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
exit $failed
