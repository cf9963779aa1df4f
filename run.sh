#!/usr/bin/env bash
# Installs what is missing, builds Plexan in Release and runs its main job.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-packages.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DPLEXAN_BUILD_TESTS=OFF -DPLEXAN_BUILD_BENCH=ON
cmake --build "$build"

echo "Built in $build:"
find "$build" -maxdepth 3 -type f \( -name 'libplexan_*.a' -o -perm -u+x -name 'plexan*' -o -perm -u+x -name 'bench_*' \) \
  | sort | sed 's/^/  /'
