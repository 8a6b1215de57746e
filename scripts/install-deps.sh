#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building, running and
# testing Orbivane need and that are not installed yet.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  libglfw3-dev libglew-dev libgl-dev libglu1-mesa-dev libx11-dev libpng-dev
  libgl1-mesa-dri
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb x11-utils xdotool
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
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
