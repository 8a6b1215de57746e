#!/usr/bin/env bash
# Makes the two pictures of the README's World maps section from seed 2's
# planet (7 subdivisions, 5000 iterations), 1024 pixels wide:
#   docs/map-shaded.png  the program's own colour map (--map);
#   docs/map-gdal.png    what GDAL makes of the program's height map by hand:
#                        gdaldem hillshade (Horn, azimuth 315, altitude 45, the
#                        same vertical scale of 0.5) and gdaldem color-relief
#                        with the program's bands, multiplied so that flat land
#                        keeps its colour.
# Needs gdal-bin and python3-numpy (scripts/install-deps.sh --tests) and a
# built program: scripts/make-map-pictures.sh [build/orbivane]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/orbivane}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

printf '7\n5000\nn\n' | env -u DISPLAY "$program" --seed 2 --map map.png --heightmap height.png --map-width 1024 \
  > /dev/null 2>&1
read -r low high < <(gdalinfo height.png | sed -n 's/.*radius \([0-9.]*\) to \([0-9.]*\)$/\1 \2/p')

# The bands of src/TerrainColours.cpp at their heights in steps (1/1500 of
# the sea's radius), as height-map samples.
awk -v low="$low" -v high="$high" 'BEGIN {
  split("-1e9 1 3 33 | -150 1 3 33 | -0.01 33 92 140 | 0 222 204 148 | 2 222 204 148 | 9 61 128 41 | " \
        "45 61 128 41 | 80 117 133 61 | 90 117 133 61 | 125 120 102 87 | 145 120 102 87 | 175 245 245 240 | " \
        "1e9 245 245 240", rows, " [|] ")
  for (k = 1; k in rows; ++k) {
    split(rows[k], f, " ")
    v = ((1 + f[1] / 1500) - low) / (high - low) * 65535
    v = v < 0 ? 0 : (v > 65535 ? 65535 : v)
    printf "%.3f %d %d %d\n", v, f[2], f[3], f[4]
  }
}' > colours.txt
# One degree of ground in height-map samples, for -s.
scale=$(awk -v low="$low" -v high="$high" 'BEGIN { printf "%.6f", 3.14159265358979 / 180 * 65535 / (high - low) }')

gdaldem hillshade height.png shade.tif -s "$scale" -z 0.5 -az 315 -alt 45 -compute_edges -q
gdaldem color-relief height.png colours.txt relief.tif -q
# GDAL draws flat land 1 + 254 sin(45 degrees) = 181 bright.
gdal_calc.py -A relief.tif --allBands=A -B shade.tif --calc="minimum(A * (B / 181.0), 255)" --type=Byte \
  --outfile=gdal.tif --quiet
gdal_translate -of PNG gdal.tif gdal.png -q

cp map.png "$root/docs/map-shaded.png"
cp gdal.png "$root/docs/map-gdal.png"
echo "docs/map-shaded.png and docs/map-gdal.png made (radius $low to $high)"
