#!/usr/bin/env python3
"""Compares our Marching Cubes 33 surfaces with scikit-image's implementation
of the same lookup tables (marching_cubes with method='lewiner') on volumes
without values at the iso level, in open mode (cubes inside the volume only).

Both must give the same numbers of vertices and triangles, cube for cube
decided by the same face and interior tests.

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
            ours = (int(vertices), int(triangles))
            theirs = (len(theirs_vertices), len(theirs_faces))
            label = f"{name.rsplit('/', 1)[-1]} {shape} iso {iso:g}"
            if ours == theirs:
                passed += 1
                print(f"ok   {label}: {ours[0]} vertices, {ours[1]} triangles")
            else:
                failed += 1
                print(f"FAIL {label}: ours {ours[0]} vertices, {ours[1]} triangles;"
                      f" theirs {theirs[0]} vertices, {theirs[1]} triangles")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
