#!/usr/bin/env python3
"""Times the reference implementations on the data of the segmentation
benchmarks, single-threaded, in process CPU time (the best of a few runs):
scikit-image's marching_cubes (method 'lewiner') on the 256^3 Gaussian blobs
at 0.5, scipy.ndimage.label on the two 256^3 binary volumes (and checks that
its numbering equals ours), scikit-image's threshold_isodata on the
2048 x 2048 image.

Usage:
    PLEXAN_BENCH_DUMP=DIR bench_imageprocessing --benchmark_filter=Marching
    segmentation_reference.py DIR
"""

import sys
import time

import numpy as np
from scipy import ndimage
from skimage.filters import threshold_isodata
from skimage.measure import marching_cubes

SIZE = 256


def best_time(function, runs=5):
    best = float("inf")
    result = None
    for _ in range(runs):
        start = time.process_time()
        result = function()
        best = min(best, time.process_time() - start)
    return best, result


def main():
    directory = sys.argv[1]
    blobs = np.fromfile(f"{directory}/blobs.raw", dtype=np.float32).reshape(SIZE, SIZE, SIZE)
    for closed in (False, True):
        volume = np.pad(blobs, 1, constant_values=-1.0) if closed else blobs
        seconds, (vertices, faces, _, _) = best_time(lambda: marching_cubes(volume, 0.5, method="lewiner"))
        print(f"marching_cubes lewiner{' (padded)' if closed else ''}: {seconds * 1000:.1f} ms,"
              f" {len(vertices)} vertices, {len(faces)} triangles")
    for name in ("threshold", "noise"):
        binary = np.fromfile(f"{directory}/{name}.raw", dtype=np.int32).reshape(SIZE, SIZE, SIZE)
        ours = np.fromfile(f"{directory}/{name}-labels.raw", dtype=np.int32).reshape(SIZE, SIZE, SIZE)
        seconds, (labels, count) = best_time(lambda: ndimage.label(binary))
        same = np.array_equal(labels, ours)
        print(f"ndimage.label {name}: {seconds * 1000:.1f} ms, {count} components, numbering equal to ours: {same}")
    image = np.fromfile(f"{directory}/bimodal.raw", dtype=np.float32).reshape(2048, 2048)
    seconds, threshold = best_time(lambda: threshold_isodata(image))
    ours = open(f"{directory}/bimodal-threshold.txt").read().strip()
    print(f"threshold_isodata: {seconds * 1000:.1f} ms, threshold {threshold} (ours {ours})")


if __name__ == "__main__":
    main()
