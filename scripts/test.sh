#!/usr/bin/env bash
# Installs the dependencies, builds, and runs the whole suite through ctest:
# once in a plain build, once under AddressSanitizer and UBSan; then the test
# programs of the plain build under valgrind, and the fuzz targets for a
# bounded time each. Fails when any of it fails.
set -euo pipefail
cd "$(dirname "$0")/.."
export LDAPNOINIT=1
start=$SECONDS
phase() { echo "== $1 (at $((SECONDS - start)) s)"; }

bash scripts/install-deps.sh

phase "build and test"
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

phase "build and test under ASan/UBSan"
# -O0 keeps this second build quick; the sanitizers check the same code paths.
bash scripts/build.sh build-asan -DCV_SANITIZE=ON -DCV_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$(nproc)")

phase "valgrind"
bash scripts/valgrind.sh build

if [ -f fuzz/CMakeLists.txt ]; then
  phase "fuzz"
  bash scripts/fuzz.sh
fi
phase "all tests passed"
