#!/usr/bin/env bash
# Installs the dependencies, builds, and runs the whole suite through ctest:
# once in a plain build, once under AddressSanitizer and UBSan, then the fuzz
# targets for a bounded time each. Fails when any of it fails.
set -euo pipefail
cd "$(dirname "$0")/.."
export LDAPNOINIT=1

bash scripts/install-deps.sh

echo "== build and test"
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

echo "== build and test under ASan/UBSan"
bash scripts/build.sh build-asan -DCV_SANITIZE=ON -DCV_BUILD_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$(nproc)")

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz"
  bash scripts/fuzz.sh
fi
echo "== all tests passed"
