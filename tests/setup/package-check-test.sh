#!/usr/bin/env bash
# The package check passes on this build with the set-up's own list, and
# fails, naming the package, when a list leaves out one the build needs.
#   package-check-test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
build_dir=$2
check="$source_dir/scripts/check-packages.sh"
full=$(mktemp)
trimmed=$(mktemp)
trap 'rm -f "$full" "$trimmed"' EXIT
bash "$source_dir/scripts/install-deps.sh" --list --tests >"$full"

status=0
if ! bash "$check" "$build_dir" "$full"; then
  echo "FAIL: the set-up's own package list does not cover the build" >&2
  status=1
fi
# A header package, a library the program loads (GDAL; libpng-dev comes
# with libgdal-dev too, so it no longer stands alone), a test-only package,
# the meshopt encoder (headers, library and CMake package).
for needed in libglfw3-dev libgdal-dev libbenchmark-dev libmeshoptimizer-dev; do
  grep -vx -- "$needed" "$full" >"$trimmed"
  if output=$(bash "$check" "$build_dir" "$trimmed" 2>&1); then
    echo "FAIL: a list without $needed passed" >&2
    status=1
  elif ! grep -q "comes from $needed," <<<"$output"; then
    echo "FAIL: a list without $needed failed without naming it:" >&2
    echo "$output" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "package check: 5 passed, 0 failed"
exit $status
