#!/usr/bin/env bash
# Runs each libFuzzer target of the sanitizer build (default build-asan/,
# configured by scripts/build.sh --sanitize when it is not there yet) from
# its seed corpus, one per core, the longest first. The parsers of files and
# encodings (inf, base64, bundle, ldif, schema) run CV_FUZZ_SECONDS (default
# 6) each, the other targets CV_FUZZ_SHORT_SECONDS (default 3): enough for
# every target to pass its corpus and mutate beyond it in the suite's run
# (thousands of inputs at least); set them higher for a longer search. Any
# crash, sanitizer report included, fails.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-asan}
long=${CV_FUZZ_SECONDS:-6}
short=${CV_FUZZ_SHORT_SECONDS:-3}
targets=()
for src in fuzz/fuzz_*.cpp; do
  targets+=("$(basename "$src" .cpp)")
done
[ -f "$dir/CMakeCache.txt" ] || bash scripts/build.sh --sanitize "$dir" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}" >/dev/null

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
run_one() {
  local name=$1 secs=$2 work
  work=$(mktemp -d)
  local corpus=fuzz/corpus/${name#fuzz_}
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  if "$dir/fuzz/$name" -max_total_time="$secs" -print_final_stats=0 "$work" >"$logs/$name.log" 2>&1; then
    echo "-- $name: ${secs}s, $(grep -o 'Done [0-9]* runs' "$logs/$name.log" | tail -n 1), no crash"
    rm -rf "$work"
  else
    echo "-- $name: FAILED (inputs kept in $work)"
    tail -n 40 "$logs/$name.log"
    return 1
  fi
}

# Longest first, so the short ones fill the gaps at the end.
jobs=()
for name in "${targets[@]}"; do
  case $name in
    fuzz_inf|fuzz_base64|fuzz_bundle|fuzz_ldif|fuzz_schema) jobs=("$name:$long" "${jobs[@]}") ;;
    *) jobs+=("$name:$short") ;;
  esac
done
failed=0
running=0
for job in "${jobs[@]}"; do
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "${job%%:*}" "${job#*:}" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
