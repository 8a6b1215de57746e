#!/usr/bin/env bash
# The climate's figures of docs/climate.md: twenty seeded planets at 7
# subdivisions, 5000 planes each, the sea where --land 30 puts it.
# Needs the built tool (cmake --build build --target orbivane_climate_figures):
#   scripts/climate-figures.sh [build/bench/orbivane_climate_figures [SEEDS [SUBDIVISIONS [HYPSOMETRY]]]]
# (HYPSOMETRY earth, the default, or linear).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$root/build/bench/orbivane_climate_figures}
exec "$tool" "${2:-20}" "${3:-7}" "${4:-earth}"
