#!/usr/bin/env bash
# Builds Orbivane and runs every test: the unit suite, the window suite under
# Xvfb, the unit suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and the threaded tests under ThreadSanitizer. Exits non-zero when any fails.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

configure_and_build() { # build-dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== Release build: unit tests"
configure_and_build build
ctest --test-dir build -L unit --output-on-failure -j "$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: unit tests"
configure_and_build build-asan -DORBIVANE_SANITIZE="address;undefined" -DORBIVANE_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan -L unit --output-on-failure -j "$jobs"

echo "== ThreadSanitizer: threaded tests"
configure_and_build build-tsan -DORBIVANE_SANITIZE=thread -DORBIVANE_BUILD_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1" build-tsan/tests/orbivane_tests \
  --gtest_filter='BatchGeneration.*:LiveGeneration.*:ConsoleCycle.*' 
