#!/usr/bin/env bash
# Builds the test programs of the libraries with parallel loops under
# ThreadSanitizer, in a build directory of its own (default build/tsan), and
# runs their parallel tests: every data race or lock-order problem they hit
# fails the run. Not part of CI (a ThreadSanitizer build of the libraries
# takes long); run it by hand after changing a parallel loop:
#     tools/tsan.sh [build-dir] [extra gtest filter patterns]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/tsan}
# The warm-up test and the workers' affinity test are left out: loops on
# plain std::threads (below) have no standing workers to start or to keep
# off the caller's processor.
filter=${2:-*Parallel*:*Threads*:*ThreadCount*:*Slabs*:*Bands*:*Blocks*:*TiesKeepTheirOrder*-ParallelDeathTest.WarmUp*:Parallel.WorkersKeepOffTheCallersProcessor}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_C_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
  -DPLEXAN_PARALLEL_STD_THREADS=ON -DPLEXAN_BUILD_BENCH=OFF -DPLEXAN_BUILD_PYTHON=OFF >/dev/null

targets=(test_numerics test_geometry test_imageprocessing test_statistics)
cmake --build "$build" --target "${targets[@]}"

# The loops run on plain std::threads here (PLEXAN_PARALLEL_STD_THREADS):
# oneTBB hands tasks over in atomics inside its own library, which is not
# built for the sanitizer, and would give false reports. The chunk bodies are
# the same. halt_on_error: the first report fails the run.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
status=0
for target in "${targets[@]}"; do
  folder=${target#test_}
  for threads in 2 4; do
    echo "== $target, PLEXAN_THREADS=$threads"
    PLEXAN_THREADS=$threads "$build/tests/$folder/$target" --gtest_filter="$filter" --gtest_brief=1 || status=1
  done
done
[ $status -eq 0 ] && echo "ThreadSanitizer: no reports" || echo "ThreadSanitizer: reports above"
exit $status
