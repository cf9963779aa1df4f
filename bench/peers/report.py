#!/usr/bin/env python3
"""Joins our workload timings (Google Benchmark JSON files) and the peers'
(peers.py output, one thread and all cores) into the comparison tables, as
Markdown on the standard output: ours on one thread against the peers on
one thread, and ours on every core against the peers on every core.

Usage: report.py --ours FILE [FILE ...] [--ours-all FILE ...] --single FILE --all FILE
"""

import argparse
import json
import os
import statistics
import sys

# Workloads in table order, with what they compute.
WORKLOADS = [
    ("W1_MarchingCubes", "W1 marching cubes, 256³ float blobs, iso 0.5, open"),
    ("W1_MarchingCubesCold", "W1 the same, cold single call (one per process)"),
    ("W2_GaussianVolume", "W2 Gaussian σ 2, 512×512×128 float"),
    ("W2_GaussianImage", "W2 Gaussian σ 2, 4096² float"),
    ("W3_Median3_Float", "W3 median 3×3, 2048² float"),
    ("W3_Median7_Float", "W3 median 7×7, 2048² float"),
    ("W3_Median3_Byte", "W3 median 3×3, 2048² 8-bit"),
    ("W3_Median7_Byte", "W3 median 7×7, 2048² 8-bit"),
    ("W4_Minimum", "W4 minimum, half-size 3, 512×512×64 float"),
    ("W4_Maximum", "W4 maximum, half-size 3, 512×512×64 float"),
    ("W5_Labelling", "W5 3D labelling, 6-connected, 256³, 30 %"),
    ("W6_PoissonDensity_Double", "W6 Poisson density, 3 × 20,000 points, 64³, k 5"),
    ("W7_ReadTiff_8bit_200x1024", "W7 read 200 TIFF 1024² 8-bit"),
    ("W7_ReadTiff_16bit_50x2048", "W7 read 50 TIFF 2048² 16-bit"),
    ("W8_AsciiStl", "W8 ASCII STL of the W1 mesh"),
    ("W9_EigenJacobi3_1e6", "W9 10⁶ × 3×3 eigenJacobi"),
    ("W9_Svd3_1e6", "W9 10⁶ × 3×3 svd"),
    ("W9_Solve300", "W9 300×300 solve"),
]

PAGE_CACHE = "cat > /dev/null (page-cache limit)"


def our_times(files, field="real_time"):
    """Median real (or processor, with field "cpu_time") time in ms of every
    workload benchmark: the median of the medians the files report (one file
    per round of repetitions), or else the median of the single runs of all
    files (the cold call runs once per process)."""
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    medians = {}
    runs = {}
    for file in files:
        # A program none of whose workloads --only selected leaves its output empty.
        if os.path.getsize(file) == 0:
            continue
        with open(file) as stream:
            data = json.load(stream)
        for b in data.get("benchmarks", []):
            name = b.get("run_name", b["name"]).split("/")[0]
            if b.get("error_occurred"):
                continue
            value = b[field] * scale[b.get("time_unit", "ns")]
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    medians.setdefault(name, []).append(value)
            else:
                runs.setdefault(name, []).append(value)
    times = {name: statistics.median(values) for name, values in runs.items()}
    times.update({name: statistics.median(values) for name, values in medians.items()})
    return times


def fmt(ms):
    if ms is None:
        return "–"
    return f"{ms:,.0f}" if ms >= 100 else f"{ms:.1f}" if ms >= 1 else f"{ms:.3f}"


def ratio(a, b):
    return f"{a / b:.2f}" if a is not None and b else "–"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ours", nargs="+", required=True)
    parser.add_argument("--ours-all", nargs="*", default=[])
    parser.add_argument("--single", required=True)
    parser.add_argument("--all", required=True)
    args = parser.parse_args()
    ours = our_times(args.ours)
    ours_cpu = our_times(args.ours, "cpu_time")
    ours_all = our_times(args.ours_all) if args.ours_all else {}
    single = json.load(open(args.single))["results"]
    every = json.load(open(args.all))["results"]

    def fastest(results, key):
        peers = {p: r for p, r in results.get(key, {}).items() if p != PAGE_CACHE and r.get("ms")}
        if not peers:
            return None, None
        best = min(peers, key=lambda p: peers[p]["ms"])
        return best, peers[best]

    print("| Workload | Ours, 1 thread (ms) | Fastest peer, 1 thread | Peer (ms) | Ratio ours/peer | "
          "Processor time ratio | Ours, all cores (ms) | Speed-up | Fastest peer, all cores | Peer (ms) | "
          "Ratio ours/peer | Goal |")
    print("|---|---:|---|---:|---:|---:|---:|---:|---|---:|---:|---|")
    for key, title in WORKLOADS:
        mine = ours.get(key)
        mine_all = ours_all.get(key)
        speedup = f"{mine / mine_all:.2f}×" if mine and mine_all else "–"
        best, result = fastest(single, key)
        best_all, result_all = fastest(every, key)
        if best is None:
            print(f"| {title} | {fmt(mine)} | – | – | – | – | {fmt(mine_all)} | {speedup} | – | – | – | – |")
            continue
        limit = single.get(key, {}).get(PAGE_CACHE)
        if limit:
            met = mine is not None and mine <= 1.5 * limit["ms"]
            goal = f"{'met' if met else 'NOT met'}: {ratio(mine, limit['ms'])} × page cache"
        else:
            met = mine is not None and mine <= result["ms"]
            if ours_all and best_all is not None:
                met = met and mine_all is not None and mine_all <= result_all["ms"]
            goal = "met" if met else "NOT met"
        print(f"| {title} | {fmt(mine)} | {best} | {fmt(result['ms'])} | "
              f"{ratio(mine, result['ms'])} | {ratio(ours_cpu.get(key), result.get('cpu_ms'))} | "
              f"{fmt(mine_all)} | {speedup} | {best_all or '–'} | "
              f"{fmt(result_all['ms']) if result_all else '–'} | "
              f"{ratio(mine_all, result_all['ms']) if result_all else '–'} | {goal} |")

    print()
    print("| Workload | Ours, 1 thread (ms) | Ours, all cores (ms) | Peer | 1 thread (ms) | Ratio | "
          "All cores (ms) | Ratio (all cores) | Agreement with ours |")
    print("|---|---:|---:|---|---:|---:|---:|---:|---|")
    for key, title in WORKLOADS:
        mine = ours.get(key)
        mine_all = ours_all.get(key)
        first = True
        for peer, result in single.get(key, {}).items():
            multi = every.get(key, {}).get(peer, {}).get("ms")
            agreement = ("✓ " if result["ok"] else "✗ ") + result["check"]
            label = f"{title}" if first else ""
            mine_text = fmt(mine) if first else ""
            mine_all_text = fmt(mine_all) if first else ""
            print(f"| {label} | {mine_text} | {mine_all_text} | {peer} | {fmt(result['ms'])} | "
                  f"{ratio(mine, result['ms'])} | {fmt(multi)} | {ratio(mine_all or mine, multi)} | {agreement} |")
            first = False
        if first:
            print(f"| {title} | {fmt(mine)} | {fmt(mine_all)} | – | – | – | – | – | – |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
