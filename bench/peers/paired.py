#!/usr/bin/env python3
"""The two-core speed-ups of the heavy workloads (W1-W6) from paired calls
(run.sh --paired N), as a Markdown table on the standard output.

Each workload's paired-<name>.txt holds its calls in the order made, one
thread and every core in turn ("<threads> <milliseconds> <processor
milliseconds>" a line); the first pair, which pays for the process's first
touches, is left out. The cold marching-cubes call runs once per process,
so its pairs are processes run one after the other (Google Benchmark JSON
files, one thread and every core in turn).

A pair's speed-up is the product of two factors, both in the table: the
cores times the share of the call the threads were busy (processor time
over cores times wall-clock time), divided by how much more processor time
the work took on every core than on one thread. The first falls short of
the core count when threads wait (for work, for a worker to wake, for each
other); the second grows when threads running side by side each go slower
(shared caches and memory, a host giving one core to both).

Usage: paired.py --data DIR [--cold-single FILE ...] [--cold-all FILE ...]
"""

import argparse
import json
import os
import statistics
import sys

from report import WORKLOADS, fmt


class Call:
    def __init__(self, threads, wall, processor):
        self.threads, self.wall, self.processor = threads, wall, processor


def pairs_from_text(path):
    calls = []
    with open(path) as f:
        for line in f:
            threads, wall, processor = line.split()
            calls.append(Call(int(threads), float(wall), float(processor)))
    pairs = []
    for i in range(2, len(calls) - 1, 2):
        one, many = calls[i], calls[i + 1]
        if one.threads != 1 or many.threads == 1:
            sys.exit(f"{path}: calls {i + 1} and {i + 2} are not one thread then every core")
        pairs.append((one, many))
    return pairs


def call_of(path, threads):
    with open(path) as f:
        runs = [b for b in json.load(f)["benchmarks"] if b.get("run_type") == "iteration"]
    if len(runs) != 1:
        sys.exit(f"{path}: expected one call")
    b = runs[0]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return Call(threads, b["real_time"] * scale, b["cpu_time"] * scale)


def quartiles(values):
    if len(values) < 2:
        return values[0], values[0]
    q = statistics.quantiles(values, n=4, method="inclusive")
    return q[0], q[2]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", required=True)
    parser.add_argument("--cold-single", nargs="*", default=[])
    parser.add_argument("--cold-all", nargs="*", default=[])
    parser.add_argument("--cores", type=int, default=os.cpu_count())
    args = parser.parse_args()

    found = {}
    ours = os.path.join(args.data, "ours")
    for name, _ in WORKLOADS:
        path = os.path.join(ours, f"paired-{name}.txt")
        if os.path.exists(path):
            found[name] = pairs_from_text(path)
    if args.cold_single:
        if len(args.cold_single) != len(args.cold_all):
            sys.exit("as many cold calls on every core as on one thread are needed")
        found["W1_MarchingCubesCold"] = [(call_of(a, 1), call_of(b, args.cores))
                                         for a, b in zip(args.cold_single, args.cold_all)]

    print("| Workload | Pairs | One thread (ms) | All cores (ms) | Speed-up of the medians "
          "| Median speed-up of a pair | Its quartiles | Pairs at 1.8 or above "
          "| Threads busy (of the call, all cores) | Processor time, all cores ÷ one thread |")
    print("|---|---:|---:|---:|---:|---:|---|---:|---:|---:|")
    for name, label in WORKLOADS:
        pairs = found.get(name)
        if not pairs:
            continue
        one = statistics.median(p[0].wall for p in pairs)
        many = statistics.median(p[1].wall for p in pairs)
        ratios = [p[0].wall / p[1].wall for p in pairs]
        low, high = quartiles(ratios)
        above = sum(r >= 1.8 for r in ratios)
        busy = statistics.median(p[1].processor / (p[1].threads * p[1].wall) for p in pairs)
        growth = statistics.median(p[1].processor / p[0].processor for p in pairs)
        print(f"| {label} | {len(pairs)} | {fmt(one)} | {fmt(many)} | {one / many:.2f}× "
              f"| {statistics.median(ratios):.2f}× | {low:.2f}–{high:.2f} | {above} of {len(pairs)} "
              f"| {100 * busy:.0f} % | {growth:.2f} |")


if __name__ == "__main__":
    main()
