#!/usr/bin/env python3
"""Times scipy's cKDTree on the work of BM_PoissonDensity: 3 patterns of
20,000 points (the same splitmix64 points), the 5th nearest neighbour of
every sample of a 64^3 grid over [0, 1]^3, single-threaded, and the pooled
density from those distances.

Run with the system Python that has scipy: /usr/bin/python3 poisson_scipy.py
"""
import time

import numpy as np
from scipy.spatial import cKDTree

MASK = (1 << 64) - 1


def pattern(s, n):
    state = 1000 + s
    out = np.empty(3 * n)
    for i in range(3 * n):
        state = (state + 0x9E3779B97F4A7C15) & MASK
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        z ^= z >> 31
        out[i] = (z >> 11) * 2.0**-53
    return out.reshape(n, 3)


def main():
    k, side, n = 5, 64, 20000
    patterns = [pattern(s, n) for s in range(3)]
    axis = np.linspace(0.0, 1.0, side)
    z, x, y = np.meshgrid(axis, axis, axis, indexing="ij")
    samples = np.column_stack([x.ravel(), y.ravel(), z.ravel()])
    for dtype in (np.float32, np.float64):
        best = None
        best_cpu = None
        for _ in range(3):
            start = time.perf_counter()
            start_cpu = time.process_time()
            total = np.zeros(len(samples))
            for p in patterns:
                tree = cKDTree(p.astype(dtype))
                d, _ = tree.query(samples.astype(dtype), k=k, workers=1)
                total += d[:, k - 1] ** 3
            density = (k * len(patterns) - 1) * 0.75 / np.pi / total
            elapsed = time.perf_counter() - start
            cpu = time.process_time() - start_cpu
            best = elapsed if best is None else min(best, elapsed)
            best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
        print(f"cKDTree {np.dtype(dtype).name}: {best * 1000:.0f} ms wall, {best_cpu * 1000:.0f} ms CPU"
              f" (density mean {density.mean():.6g})")


if __name__ == "__main__":
    main()
