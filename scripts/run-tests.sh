#!/usr/bin/env bash
# Builds Orbivane and runs every test: the unit suite, the check that the
# set-up installs every package the build used, the exported meshes read by
# real clients (the glTF validator, Blender, assimp) and the maps by GDAL's tools, the window suite on an Xvfb server, the fault, load and bad-input campaign, the unit and window
# suites again under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# threaded and window tests under ThreadSanitizer.
# Exits non-zero when any fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

configure_and_build() { # build-dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

xvfb_pid=
stop_xvfb() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap stop_xvfb EXIT

# Without -noreset Xvfb resets when its last client leaves, and a later
# glfwInit fails at random.
start_xvfb() {
  local n
  for n in $(seq 99 130); do
    # A number another server serves: a lock file, or a socket (a file or abstract).
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    grep -q "@/tmp/.X11-unix/X$n\$" /proc/net/unix 2>/dev/null && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
      # The server that answers must be ours: still running.
      kill -0 "$xvfb_pid" 2>/dev/null || break
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null || true
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Tests that measure something write a line here (see docs/reliability.md).
export ORBIVANE_FIGURES="$root/build/reliability-figures.md"

echo "== Release build: unit tests"
configure_and_build build -DORBIVANE_BUILD_TESTS=ON -DORBIVANE_BUILD_BENCH=ON
rm -f "$ORBIVANE_FIGURES"
ctest --test-dir build -L unit --output-on-failure -j "$jobs"

echo "== Every system file of the build comes from a package the set-up installs"
ctest --test-dir build -L setup --output-on-failure

echo "== Real readers of the exported meshes: the glTF validator, Blender and assimp"
ctest --test-dir build -L clients --output-on-failure

echo "== Window tests on Xvfb"
start_xvfb
ctest --test-dir build -L window --output-on-failure

echo "== Fault, load and bad-input campaign"
ctest --test-dir build -L reliability --output-on-failure
echo "Figures of this run:"
cat "$ORBIVANE_FIGURES"
unset ORBIVANE_FIGURES

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: unit and window tests"
configure_and_build build-asan -DORBIVANE_SANITIZE="address;undefined" -DORBIVANE_BUILD_BENCH=OFF
# Debian's PROJ (under GDAL's coordinate systems) frees with free() what it
# allocated with new, which ASan reports and cannot suppress by library; the
# unit tests that make GeoTIFFs load it, so that one check is off here. The
# posters' off-screen contexts load Mesa's driver as the window tests do.
LD_PRELOAD=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so \
ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0:alloc_dealloc_mismatch=0 \
LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0" \
  ctest --test-dir build-asan -L unit --output-on-failure -j "$jobs"
# Mesa's driver is loaded and unloaded with each context; preloaded, it stays,
# so its own leak can be told apart from ours by name.
LD_PRELOAD=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so \
ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 \
LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0" \
  ctest --test-dir build-asan -L window --output-on-failure

echo "== ThreadSanitizer: threaded, window and live-closing tests"
configure_and_build build-tsan -DORBIVANE_SANITIZE=thread -DORBIVANE_BUILD_BENCH=OFF
# The programs the tests start inherit these, so a race there fails its test too.
export TSAN_OPTIONS="halt_on_error=1:suppressions=$root/tests/sanitizers/tsan.supp"
build-tsan/tests/orbivane_tests --gtest_filter='BatchGeneration.*:BatchGenerationTree.*:LiveGeneration.*:ConsoleCycle.*:WorldMap.*:NormalsWorker.*'
ctest --test-dir build-tsan -L window --output-on-failure
build-tsan/tests/orbivane_reliability_tests --gtest_filter='Soak.LiveGenerationsClosedAtRandomMoments'
