#!/usr/bin/env python3
"""Compares our Marching Cubes 33 surfaces with scikit-image's implementation
of the same lookup tables (marching_cubes with method='lewiner') on volumes
without values at the iso level, in open mode (cubes inside the volume only).

Both must give the same vertices, and the same triangles except in the cubes
of case 4 whose two diagonal corners of the minority sign lie outside the
surface: there scikit-image's interior test often misjudges whether the two
corners are joined by a tunnel, and ours decides as the trilinear
interpolant does (checked here by our own implementation of the test). The
triangle counts must agree once the triangles of those cubes are counted
from both decisions.

Usage: marchingcubes_compare.py COUNTS_PROGRAM
Exits with 77 (skipped) when scikit-image is not installed.
"""

import subprocess
import sys
import tempfile

try:
    import numpy as np
    from skimage.measure import marching_cubes
except ImportError:
    print("scikit-image is not installed: skipped")
    sys.exit(77)

# Cube corners (offsets along the three axes) in the numbering of the tables.
CORNERS = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1)]
DIAGONALS = [(0, 6), (1, 7), (2, 4), (3, 5)]


def joined_through_interior(c):
    """Whether the two diagonal corners of the minority sign of a case-4 cube
    (corner values c) are joined through the cube by the trilinear
    interpolant: on the section across the third axis where the saddle of the
    bilinear sections is extreme, the two corners above them must be joined."""
    if sum(v >= 0 for v in c) != 2:
        c = [-v for v in c]
    a = (c[4] - c[0]) * (c[6] - c[2]) - (c[7] - c[3]) * (c[5] - c[1])
    b = c[2] * (c[4] - c[0]) + c[0] * (c[6] - c[2]) - c[1] * (c[7] - c[3]) - c[3] * (c[5] - c[1])
    if a == 0:
        return False
    t = -b / (2 * a)
    if t < 0 or t > 1:
        return False
    at = c[0] + (c[4] - c[0]) * t
    bt = c[3] + (c[7] - c[3]) * t
    ct = c[2] + (c[6] - c[2]) * t
    dt = c[1] + (c[5] - c[1]) * t
    inside = [at >= 0, bt >= 0, ct >= 0, dt >= 0]
    if sum(inside) >= 3:
        return True
    if inside == [True, False, True, False]:
        return at * ct - bt * dt >= 0
    if inside == [False, True, False, True]:
        return at * ct - bt * dt < 0
    return False


def case4_difference(volume):
    """Our triangles minus scikit-image's over the case-4 cubes whose two
    minority corners are outside (values minus iso in volume)."""
    s1, s2, s3 = volume.shape
    corners = np.stack([volume[i:s1 - 1 + i, j:s2 - 1 + j, k:s3 - 1 + k] for i, j, k in CORNERS])
    inside = corners >= 0
    outside_count = (~inside).sum(axis=0)
    difference = 0
    for p, q in DIAGONALS:
        cubes = np.argwhere((outside_count == 2) & ~inside[p] & ~inside[q])
        for i, j, k in cubes:
            cube = volume[i:i + 2, j:j + 2, k:k + 2]
            values = [float(cube[o]) for o in CORNERS]
            ours = 6 if joined_through_interior(values) else 2
            _, faces, _, _ = marching_cubes(cube, level=0.0, method="lewiner")
            difference += ours - len(faces)
    return difference


def main():
    program = sys.argv[1]
    passed = failed = 0
    with tempfile.TemporaryDirectory() as directory:
        lines = subprocess.run([program, directory], check=True, capture_output=True, text=True).stdout
        for line in lines.splitlines():
            name, s1, s2, s3, iso, vertices, triangles = line.split()
            shape = (int(s1), int(s2), int(s3))
            volume = np.fromfile(name, dtype=np.float32).reshape(shape)
            iso = np.float32(iso)
            if (volume == iso).any():
                sys.exit(f"{name}: values at the iso level, the comparison would be ambiguous")
            theirs_vertices, theirs_faces, _, _ = marching_cubes(volume, level=float(iso), method="lewiner")
            shift = case4_difference(volume - iso)
            ours = (int(vertices), int(triangles))
            theirs = (len(theirs_vertices), len(theirs_faces) + shift)
            label = f"{name.rsplit('/', 1)[-1]} {shape} iso {iso:g}"
            if ours == theirs:
                passed += 1
                print(f"ok   {label}: {ours[0]} vertices, {ours[1]} triangles"
                      f" ({shift:+d} in case-4 tunnels)")
            else:
                failed += 1
                print(f"FAIL {label}: ours {ours[0]} vertices, {ours[1]} triangles;"
                      f" theirs {theirs[0]} vertices, {len(theirs_faces)} triangles {shift:+d} in case-4 tunnels")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
