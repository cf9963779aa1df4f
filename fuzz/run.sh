#!/usr/bin/env bash
# fuzz/run.sh [SECONDS [TARGET...]]
#
# Builds the libFuzzer targets of the file readers with clang in build/fuzz
# and runs each of them (or the TARGETs named: stackreader, imagereader,
# voxelmatrix, shapefile, cli) for SECONDS, 60 by default. PLEXAN_FUZZ_JOBS=2
# runs two targets at a time (never more: the fuzzers share the machine).
#
# Corpora grow in fuzz/corpus/<target>/ (not versioned) from the seeds that
# fuzz_seeds writes with the library's writers, the test data files and the
# inputs kept as regression tests under tests/data/*/fuzz/. A finding (crash,
# sanitizer report, leak, timeout, out-of-memory) is saved under
# fuzz/artifacts/<target>/ and the script exits with status 1; each run's
# log is fuzz/artifacts/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(stackreader imagereader voxelmatrix shapefile cli)
jobs=${PLEXAN_FUZZ_JOBS:-1}
[ "$jobs" -gt 2 ] && jobs=2

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPLEXAN_FUZZ=ON \
  -DPLEXAN_BUILD_TESTS=OFF -DPLEXAN_BUILD_BENCH=OFF >/dev/null
fuzzers=()
for target in "${targets[@]}"; do fuzzers+=("fuzz_$target"); done
cmake --build "$build" --target "${fuzzers[@]}" fuzz_seeds -j2

# Absolute paths: a target may change its working directory (cli does).
corpus=$PWD/fuzz/corpus
artifacts=$PWD/fuzz/artifacts
seeds=$corpus/seeds
rm -rf "$seeds"
"$build/fuzz/fuzz_seeds" "$seeds"
copy() { # copy <destination> <files...>: the files that exist
  local destination=$1; shift
  for file in "$@"; do [ -f "$file" ] && cp "$file" "$destination/"; done
  return 0
}
shopt -s nullglob
copy "$seeds/stackreader" tests/data/stack/*.sdf tests/data/stack/fuzz/*
copy "$seeds/imagereader" tests/data/image/*.tif tests/data/image/fuzz/*.tif tests/data/image/fuzz/*.img
copy "$seeds/voxelmatrix" tests/data/image/fuzz/*.vm
copy "$seeds/shapefile" tests/data/geometry/fuzz/*
copy "$seeds/cli" tests/data/cli/fuzz/*

# The fuzzers work in a directory of their own in memory, removed at the end
# even when a finding stops one of them.
scratch=$(mktemp -d /dev/shm/plexan-fuzz-run.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export PLEXAN_FUZZ_SCRATCH=$scratch
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

declare -A maxlen=([stackreader]=16384 [imagereader]=65536 [voxelmatrix]=8192 [shapefile]=8192 [cli]=1024)

run() { # run <target>: 0 when the run ends without a finding
  local target=$1
  mkdir -p "$corpus/$target" "$artifacts/$target"
  local dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  "$build/fuzz/fuzz_$target" "$corpus/$target" "$seeds/$target" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
    -max_len="${maxlen[$target]}" -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target/" >"$artifacts/$target.log" 2>&1
}

summary() { # summary <target> <status>
  local target=$1 status=$2 log=$artifacts/$1.log
  local cov execs speed
  cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
  execs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || true)
  speed=$(grep -Eo 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || true)
  if [ "$status" -eq 0 ]; then
    printf '%-12s ok       %s, %s runs, %s/s\n' "$target" "${cov:-cov: ?}" "${execs:-?}" "${speed:-?}"
  else
    printf '%-12s FINDING  see %s and %s/\n' "$target" "$log" "$artifacts/$target"
  fi
}

failed=0
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
  batch=("${pending[@]:0:$jobs}")
  pending=("${pending[@]:$jobs}")
  pids=()
  for target in "${batch[@]}"; do
    run "$target" &
    pids+=($!)
  done
  for i in "${!batch[@]}"; do
    status=0
    wait "${pids[$i]}" || status=$?
    summary "${batch[$i]}" "$status"
    [ "$status" -ne 0 ] && failed=1
  done
done
exit "$failed"
