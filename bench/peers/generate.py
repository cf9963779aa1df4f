#!/usr/bin/env python3
"""Writes the inputs of the side-by-side workloads, with fixed seeds, into a
data directory shared by our benchmarks and the peer libraries.

Raw files hold native little-endian arrays with the last index fastest. A
volume of size1 x size2 x size3 (rows, columns, planes) is stored plane after
plane, as the numpy array [size3, size1, size2]: element (i, j, k) of a voxel
matrix is array[k, i, j]. An image is the array [rows, columns].

Usage: generate.py DATA_DIRECTORY
"""

import json
import os
import sys

import numpy as np

SEED = 20240601


def blobs(size=256, count=40, seed=SEED):
    """W1: the sum of `count` unit-height Gaussian blobs of widths 5 to 14
    voxels, centres anywhere in the volume, each summed over 4 widths around
    its centre as a product of three 1D profiles (in double, stored as float)."""
    rng = np.random.default_rng(seed)
    volume = np.zeros((size, size, size))
    axis = np.arange(size, dtype=np.float64)
    for _ in range(count):
        centre = rng.uniform(0, size - 1, 3)
        width = rng.uniform(5.0, 14.0)
        reach = int(np.ceil(4 * width))
        lo = [max(0, int(c) - reach) for c in centre]
        hi = [min(size - 1, int(c) + reach) for c in centre]
        g = [np.exp(-(axis[lo[a]:hi[a] + 1] - centre[a]) ** 2 / (2 * width * width)) for a in range(3)]
        volume[lo[0]:hi[0] + 1, lo[1]:hi[1] + 1, lo[2]:hi[2] + 1] += (
            g[0][:, None, None] * g[1][None, :, None] * g[2][None, None, :])
    return volume.astype(np.float32)


def uniform(shape, seed, dtype=np.float32):
    rng = np.random.default_rng(seed)
    if dtype == np.uint8:
        return rng.integers(0, 256, shape, dtype=np.uint8)
    return rng.uniform(0.0, 255.0, shape).astype(dtype)


def write_tiffs(directory, prefix, count, side, dtype, seed):
    import tifffile
    rng = np.random.default_rng(seed)
    os.makedirs(directory, exist_ok=True)
    names = []
    high = 256 if dtype == np.uint8 else 65536
    for n in range(count):
        image = rng.integers(0, high, (side, side), dtype=dtype)
        name = os.path.join(directory, f"{prefix}{n:03d}.tif")
        tifffile.imwrite(name, image, photometric="minisblack")
        names.append(name)
    with open(os.path.join(directory, f"{prefix}list.txt"), "w") as out:
        out.write("\n".join(names) + "\n")


def main():
    directory = sys.argv[1]
    os.makedirs(directory, exist_ok=True)

    def save(name, array):
        array.tofile(os.path.join(directory, name))

    save("w1_blobs_256.f32", blobs())
    save("w2_volume_512x512x128.f32", uniform((128, 512, 512), SEED + 2))
    save("w2_image_4096.f32", uniform((4096, 4096), SEED + 3))
    save("w3_image_2048.f32", uniform((2048, 2048), SEED + 4))
    save("w3_image_2048.u8", uniform((2048, 2048), SEED + 5, np.uint8))
    save("w4_volume_512x512x64.f32", uniform((64, 512, 512), SEED + 6))
    rng = np.random.default_rng(SEED + 7)
    save("w5_binary_256.u8", (rng.random((256, 256, 256)) < 0.3).astype(np.uint8))
    rng = np.random.default_rng(SEED + 8)
    save("w6_points_3x20000.f64", rng.random((3, 20000, 3)))
    write_tiffs(os.path.join(directory, "w7"), "u8_", 200, 1024, np.uint8, SEED + 9)
    write_tiffs(os.path.join(directory, "w7"), "u16_", 50, 2048, np.uint16, SEED + 10)
    rng = np.random.default_rng(SEED + 11)
    general = rng.uniform(-1.0, 1.0, (1000000, 3, 3))
    save("w9_general_3x3.f64", general)
    save("w9_symmetric_3x3.f64", (general + general.transpose(0, 2, 1)) / 2)
    rng = np.random.default_rng(SEED + 12)
    save("w9_system_300.f64", rng.uniform(-1.0, 1.0, (300, 301)))
    with open(os.path.join(directory, "inputs.json"), "w") as out:
        json.dump({"seed": SEED}, out)


if __name__ == "__main__":
    main()
