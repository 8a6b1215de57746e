#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that Orbivane needs and that are
# not installed yet: by default what building and running the program needs;
# with --tests also what building and running every test and the benchmark
# needs. With --list it installs nothing and prints the package names, one a
# line (scripts/check-packages.sh compares the build against them).
#
# Every header and library the build uses must come from one of these
# packages (or from what they depend on, or from a package every Debian
# system has); scripts/check-packages.sh fails the tests otherwise.
set -euo pipefail

run_packages=(
  g++ make cmake
  libglfw3-dev libglew-dev libgl-dev libglu1-mesa-dev libx11-dev libpng-dev
  libgl1-mesa-dri
  # The compressed .glb (--compress): EXT_meshopt_compression.
  libmeshoptimizer-dev
  # The biome legends (FILE.json, the .glb's extras) and the GeoJSON of --rivers.
  nlohmann-json3-dev
  # GDAL writes the GeoTIFF maps (--dem, and any map named .tif).
  libgdal-dev
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb x11-utils xdotool libxdamage-dev
  # Real readers of the exported meshes (ctest label clients): node runs the
  # Khronos glTF validator that npm installs from tests/clients/package-lock.json;
  # Blender's importers (python3-numpy for its glTF add-on) and assimp read them.
  nodejs npm blender python3-numpy assimp-utils
  # GDAL reads the maps' georeferencing (and draws the README's comparison).
  gdal-bin
  # gdal2tiles.py cuts the colour map into web-map tiles.
  python3-gdal
)

tests=false
list=false
for arg in "$@"; do
  case "$arg" in
    --tests) tests=true ;;
    --list) list=true ;;
    *) echo "usage: $0 [--tests] [--list]" >&2; exit 2 ;;
  esac
done

packages=("${run_packages[@]}")
if $tests; then
  packages+=("${test_packages[@]}")
fi

if $list; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

# Whether package is installed, or provided by one that is (another nodejs
# build may bring its own npm).
# grep reads to the end (no -q): under pipefail, a reader that stops at the
# first match would fail the pipe with SIGPIPE.
present() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep 'install ok installed' >/dev/null ||
    dpkg-query -W -f='${Status}\t${Provides}\n' 2>/dev/null |
      grep '^install ok installed' | cut -f2 | grep -E "(^|[ ,])$1([ ,(]|$)" >/dev/null
}

missing=()
for package in "${packages[@]}"; do
  if ! present "$package"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
