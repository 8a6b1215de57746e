#!/usr/bin/env bash
# Times --render 3840x2160 (a 4K poster, drawn 3 x 3 supersampled in tiles)
# with and without a display, RUNS times each, from a scratch folder:
#   bench/poster-times.sh [BUILD_DIR [RUNS [DISPLAY]]]
# DISPLAY (default :0) must name a running X server for the runs "with".
# Prints per run the wall-clock and processor seconds (user + system) of the
# whole program, the generation's seconds from its log, and the rest (the
# poster: context, shaders, drawing, filtering and the PNG file).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-3}
display=${3:-:0}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

args=(--subdivisions 7 --iterations 5000 --batch --seed 2 --render 3840x2160 poster.png)
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-8s %4s %8s %8s %11s %8s\n' display run wall cpu generation poster
for mode in without with; do
  for ((run = 1; run <= runs; run++)); do
    if [ "$mode" = with ]; then envs=(env DISPLAY="$display"); else envs=(env -u DISPLAY); fi
    /usr/bin/time -f '%e %U %S' -o times "${envs[@]}" "$build/orbivane" "${args[@]}" </dev/null >/dev/null
    read -r wall user sys <times
    generation=$(sed -n 's/.*Planet generation done in \([0-9.]*\) seconds.*/\1/p' Orbivane.log)
    awk -v m="$mode" -v r="$run" -v w="$wall" -v u="$user" -v s="$sys" -v g="$generation" \
      'BEGIN { printf "%-8s %4d %8.2f %8.2f %11.2f %8.2f\n", m, r, w, u + s, g, w - g }'
  done
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
