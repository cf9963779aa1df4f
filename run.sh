#!/usr/bin/env bash
# Installs what is missing, builds Plexan in Release and runs its main job.
# With a display (DISPLAY or WAYLAND_DISPLAY set) the main job is the
# workbench itself, opened on the sample specimen; without one it is the
# batch tool on the sample (describe the stack, register its slices, measure
# its models, export its surfaces), results in out/.
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

cli="$build/cli/plexan-cli"
sample=data/sample/sample.sdf

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "A display is present: starting the Plexan workbench on the sample specimen ($sample)."
  echo "(Without a display, ./run.sh runs the batch job with plexan-cli instead.)"
  exec "$build/app/plexan" "$sample"
fi

echo
echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running the batch job with plexan-cli."
out=out
mkdir -p "$out"
run() {
  echo
  echo "\$ plexan-cli $*"
  "$cli" "$@"
}

echo
echo "Main job: the sample specimen (data/sample/, see specimen.txt)"
run info "$sample"
run register "$sample" -o "$out/sample-registered.sdf"
run measure "$out/sample-registered.sdf"
run measure "$out/sample-registered.sdf" --geometry polyline
run measure "$out/sample-registered.sdf" --geometry polypoint
run measure "$out/sample-registered.sdf" --model lumen
run export-stl "$out/sample-registered.sdf" "$out/stl" --overwrite
echo
echo "Results in $out/: the registered stack and the STL surfaces of its models."
