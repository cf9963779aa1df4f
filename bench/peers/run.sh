#!/usr/bin/env bash
# Side-by-side timings of Plexan and the libraries users would otherwise pick
# (scipy, scikit-image, OpenCV, VTK, tifffile, libtiff) on the same inputs,
# with a check that both computed the same result.
#
#   bench/peers/run.sh [--build DIR] [--data DIR] [--repetitions N] [--rounds N]
#                      [--only W1,W5,...] [--doc]
#   bench/peers/run.sh --paired N [--build DIR] [--data DIR] [--only W1,W5,...]
#
# Installs the peers with apt-get when missing, builds our benchmark programs
# in Release (default build/peers), writes the inputs with fixed seeds
# (default DIR/peers-data, about 1.1 GB), runs our workload benchmarks on one
# thread and on every core in alternating rounds (default 5, of N calls each)
# and the peers with one thread and then with every core, and prints the
# tables. With --doc the tables, date and machine also go into
# docs/performance.md.
#
# With --paired N it measures our two-core speed-ups of W1-W6 alone, in
# pairs of calls: each workload's program makes N + 1 pairs of calls, one
# thread then every core, and the table gives the median speed-up of a pair
# beside that of the medians (the cold W1 call: N pairs of processes).
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build/peers
data=
repetitions=5
rounds=5
only=
doc=false
paired=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --data) data=$2; shift 2 ;;
    --repetitions) repetitions=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --doc) doc=true; shift ;;
    --paired) paired=$2; shift 2 ;;
    -h|--help) sed -n '2,21p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
data=${data:-$build/peers-data}
python=${PYTHON:-/usr/bin/python3}
jobs=${JOBS:-2}

tools/install-packages.sh python3-numpy python3-scipy python3-skimage python3-opencv python3-vtk9 \
  python3-tifffile libtiff-dev

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLEXAN_BUILD_TESTS=OFF -DPLEXAN_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$jobs" --target bench_numerics bench_image bench_geometry bench_imageprocessing bench_statistics
cc -O2 -o "$build/peers-tiffread" bench/peers/tiffread.c -ltiff

if [ ! -f "$data/inputs.json" ] || [ bench/peers/generate.py -nt "$data/inputs.json" ]; then
  echo "Writing the inputs into $data" >&2
  "$python" bench/peers/generate.py "$data"
fi
data=$(cd "$data" && pwd)
load_at_start=$(cut -d' ' -f1 /proc/loadavg)
cores=$(nproc)
thread_order() { if [ $(($1 % 2)) = 1 ]; then echo 1 "$cores"; else echo "$cores" 1; fi; }

if [ "$paired" -gt 0 ]; then
  # Pairs of calls in one program per workload; the cold call in pairs of
  # programs, one thread first.
  if [ "$cores" -lt 2 ]; then
    echo "One processor here: no two-core speed-up to measure" >&2
    exit 1
  fi
  heavy=()
  for w in ${only//,/ }; do case "$w" in W[1-6]) heavy+=("$w") ;; esac; done
  [ -n "$only" ] || heavy=(W1 W2 W3 W4 W5 W6)
  rm -f "$data"/ours/paired-*.txt "$data"/ours-paired-cold-*.json
  cold_single=()
  cold_all=()
  for w in "${heavy[@]}"; do
    folder=imageprocessing
    [ "$w" = W6 ] && folder=statistics
    program="$build/bench/$folder/bench_$folder"
    mapfile -t names < <(PLEXAN_PEERS_DATA="$data" "$program" --benchmark_filter="^${w}_" --benchmark_list_tests=true)
    for name in "${names[@]%%/*}"; do
      [ "$name" = W1_MarchingCubesCold ] && continue
      echo "$name: $((paired + 1)) pairs of calls" >&2
      PLEXAN_PAIRED=$paired PLEXAN_PEERS_DATA="$data" "$program" --benchmark_filter="^${name}/" >/dev/null
    done
    if [ "$w" = W1 ]; then
      echo "W1_MarchingCubesCold: $paired pairs of programs" >&2
      for pair in $(seq "$paired"); do
        for threads in 1 "$cores"; do
          out="$data/ours-paired-cold-$threads-$pair.json"
          PLEXAN_THREADS=$threads PLEXAN_PEERS_DATA="$data" "$build/bench/imageprocessing/bench_imageprocessing" \
            --benchmark_filter='^W1_MarchingCubesCold/' --benchmark_out="$out" --benchmark_out_format=json >/dev/null
          if [ "$threads" = 1 ]; then cold_single+=("$out"); else cold_all+=("$out"); fi
        done
      done
    fi
  done
  echo "Load average $load_at_start when the pairs began, $(cut -d' ' -f1 /proc/loadavg) at the end." >&2
  "$python" bench/peers/paired.py --data "$data" --cores "$cores" --cold-single "${cold_single[@]}" --cold-all "${cold_all[@]}"
  exit 0
fi

# Our workloads on one thread (PLEXAN_THREADS=1) and on every core. Each
# workload runs in rounds, one program per round and thread count, the two
# thread counts taking turns (one thread first in odd rounds, every core first
# in even ones): a minute in which this machine is slower falls on both
# columns alike instead of on the whole of one. Each program makes
# `repetitions` calls; a column's time is the median of its rounds' medians.
# The marching-cubes mesh is written before the STL workload reads it. The
# cold marching-cubes call runs apart, one call per process, as a program
# making one extraction pays it, the thread counts also taking turns.
patterns=()
cold=false
selected=${only//,/ }
for w in ${selected:-W1 W2 W3 W4 W5 W6 W7 W8 W9}; do
  if [ "$w" = W1 ]; then patterns+=("W1_MarchingCubes/"); cold=true; else patterns+=("${w}_"); fi
done
filter="^($(IFS='|'; echo "${patterns[*]}"))"
ours=()
ours_all=()
rm -f "$data"/ours-*.json
for folder in imageprocessing geometry image statistics numerics; do
  program="$build/bench/$folder/bench_$folder"
  mapfile -t names < <(PLEXAN_PEERS_DATA="$data" "$program" --benchmark_filter="$filter" --benchmark_list_tests=true)
  for index in "${!names[@]}"; do
    for round in $(seq "$rounds"); do
      for threads in $(thread_order "$round"); do
        out="$data/ours-$folder-$index-$round-$threads.json"
        PLEXAN_THREADS=$threads PLEXAN_PEERS_DATA="$data" "$program" \
          --benchmark_filter="^${names[$index]}\$" --benchmark_repetitions="$repetitions" \
          --benchmark_report_aggregates_only=true --benchmark_out="$out" --benchmark_out_format=json >&2
        if [ "$threads" = 1 ]; then ours+=("$out"); else ours_all+=("$out"); fi
      done
    done
  done
done
if $cold; then
  for repetition in $(seq "$repetitions"); do
    for threads in $(thread_order "$repetition"); do
      out="$data/ours-cold-$threads-$repetition.json"
      PLEXAN_THREADS=$threads PLEXAN_PEERS_DATA="$data" "$build/bench/imageprocessing/bench_imageprocessing" \
        --benchmark_filter='^W1_MarchingCubesCold/' --benchmark_out="$out" --benchmark_out_format=json >&2
      if [ "$threads" = 1 ]; then ours+=("$out"); else ours_all+=("$out"); fi
    done
  done
fi

# The peers: one thread, then every core.
single=(env OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1 MKL_NUM_THREADS=1 NUMEXPR_NUM_THREADS=1)
"${single[@]}" "$python" bench/peers/peers.py "$data" --threads 1 --repetitions "$repetitions" \
  --tiffread "$build/peers-tiffread" --only "$only" --output "$data/peers-1.json"
"$python" bench/peers/peers.py "$data" --threads all --repetitions "$repetitions" \
  --tiffread "$build/peers-tiffread" --only "$only" --output "$data/peers-all.json"

"$python" bench/peers/report.py --ours "${ours[@]}" --ours-all "${ours_all[@]}" --single "$data/peers-1.json" --all "$data/peers-all.json" \
  > "$data/tables.md"
cat "$data/tables.md"

if $doc; then
  "$python" - "$data/tables.md" docs/performance.md "$load_at_start" <<'EOF'
import datetime, subprocess, sys
tables = open(sys.argv[1]).read()
doc = open(sys.argv[2]).read()
begin, end = "<!-- tables begin -->", "<!-- tables end -->"
fields = {}
for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
    key, _, value = line.partition(":")
    fields[key.strip()] = value.strip()
memory = subprocess.run(["free", "-g"], capture_output=True, text=True).stdout.splitlines()[1].split()[1]
parts = [fields.get('Model name', '?'),
         f"{fields.get('CPU(s)', '?')} cores ({fields.get('Thread(s) per core', '?')} thread per core)"]
flags = fields.get('Flags', '').split()
parts.append("AVX-512" if "avx512f" in flags else "AVX2" if "avx2" in flags else "no AVX2")
parts += [f"{cache} {fields[cache + ' cache']}" for cache in ("L2", "L3") if cache + " cache" in fields]
parts.append(f"{memory} GiB memory")
machine = ", ".join(parts)
load = open("/proc/loadavg").read().split()[0]
stamp = (f"Measured on {datetime.date.today().isoformat()}: {machine}; "
         f"load average {sys.argv[3]} when the timings began and {load} when the table was written.\n\n")
head, _, rest = doc.partition(begin)
_, _, tail = rest.partition(end)
open(sys.argv[2], "w").write(head + begin + "\n" + stamp + tables + end + tail)
EOF
  echo "docs/performance.md updated" >&2
fi
