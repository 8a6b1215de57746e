#!/usr/bin/env bash
# The figures of docs/drainage.md: over 20 seeds at 7 subdivisions, 5000
# planes and 30 % land, the drainage's own checks and erosion's (from the
# drainage benchmark), then the GeoJSON the program writes, read by GDAL's
# ogrinfo, and each river sampled on the height map from source to mouth.
#
#   scripts/drainage-figures.sh BUILD_DIR [EROSION_STEPS]
#
# Needs gdal-bin and python3. Works in a fresh temporary folder. SKIP_MODEL=1
# leaves out the model's part.
set -euo pipefail

build=$(cd "${1:?usage: drainage-figures.sh BUILD_DIR [EROSION_STEPS]}" && pwd)
steps=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== drainage and erosion ($steps steps), from the model"
[ "${SKIP_MODEL:-}" = 1 ] || "$build/bench/orbivane_drainage_bench" --figures "$steps" 20

echo "== the files"
cd "$work"
for seed in $(seq 1 20); do
  # Linear metres: the height map's samples then stand for radii, and a fault
  # step is a fixed number of samples.
  printf '7\n5000\nn\n' | env -u DISPLAY "$build/orbivane" --seed "$seed" --land 30 --rivers r.geojson \
    --heightmap h.png --map-width 8192 --hypsometry linear >/dev/null 2>&1 || true
  for f in r.geojson r-lakes.geojson r-land.geojson; do ogrinfo -ro -al "$f"; done >info.txt
  # An uncompressed copy: a PNG is read again from its start for every point.
  gdal_translate -q -of GTiff h.png h.tif
  python3 - "$seed" <<'PY'
import json, re, subprocess, sys
seed = sys.argv[1]
features = [f for name in ("r.geojson", "r-lakes.geojson", "r-land.geojson")
            for f in json.load(open(name))["features"]]
kinds = {}
for f in features:
    kinds[f["properties"]["kind"]] = kinds.get(f["properties"]["kind"], 0) + 1
info = open("info.txt").read()
read = len(re.findall(r"^OGRFeature", info, re.M))
# A river's parts (two where it crosses the antimeridian) one after the other.
rivers = [[p for part in f["geometry"]["coordinates"] for p in part]
          for f in features if f["properties"]["kind"] == "river"]
# A point on the 180th meridian's east edge is sampled just inside the map.
points = "".join(f"{min(lon, 179.9999999)} {lat}\n" for line in rivers for lon, lat in line)
values = subprocess.run(["gdallocationinfo", "-valonly", "-geoloc", "h.tif"], input=points,
                        capture_output=True, text=True, check=True).stdout.split()
comment = open("h.png", "rb").read(4096)
low, high = map(float, re.search(rb"radius ([0-9.]+) to ([0-9.]+)", comment).groups())
step = 65535 / (high - low) / 1500  # one fault plane's step in height samples
at, rising, worst, falling = 0, 0, 0.0, 0
for line in rivers:
    v = [float(x) for x in values[at:at + len(line)]]
    at += len(line)
    rise = max([b - a for a, b in zip(v, v[1:])] + [0.0])
    rising += rise > 0
    worst = max(worst, rise)
    falling += v[-1] <= v[0]
print(f"seed {seed}: {len(features)} features in the file, {read} read by ogrinfo "
      f"({kinds.get('river', 0)} rivers, {kinds.get('lake', 0)} lakes, {kinds.get('land', 0)} pieces of land); "
      f"{falling} of {len(rivers)} end no higher than they start on the height map; "
      f"{len(rivers) - rising} never rise between two points, {rising} rise by at most "
      f"{worst / step:.2f} of a fault step")
PY
done
