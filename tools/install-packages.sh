#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Plexan
# need, skipping those already installed. Uses sudo when not run as root.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev libqt6opengl6-dev libtiff-dev libfftw3-dev libnifti2-dev zlib1g-dev libglu1-mesa-dev libgl-dev libtbb-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth mesa-utils libgl1-mesa-dri ffmpeg desktop-file-utils
  pybind11-dev python3-dev python3-numpy python3-matplotlib python3-skimage python3-nibabel
  snakemake
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
