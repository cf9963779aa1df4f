#!/usr/bin/env python3
"""Compares our Marching Cubes 33 surfaces with scikit-image's implementation
of the same lookup tables (marching_cubes with method='lewiner') on volumes
without values at the iso level, in open mode (cubes inside the volume only).

Both must give the same numbers of vertices and triangles, cube for cube
decided by the same face and interior tests.

With --imported, compares instead the isosurface plexan-cli makes of a
volume it imported (plexan-cli import, then isosurface --open) with
scikit-image's surface of the same array, read by nibabel, at the same level
and voxel size: the same numbers of vertices and triangles, and areas within
0.1 %.

Usage: marchingcubes_compare.py COUNTS_PROGRAM
       marchingcubes_compare.py --imported PLEXAN_CLI NIFTI_FILE LEVEL...
Exits with 77 (skipped) when scikit-image (or, with --imported, nibabel) is
not installed.
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



def parse_table(text):
    lines = [line.split("\t") for line in text.splitlines() if line]
    return dict(zip(lines[0], lines[1]))


def compare_imported(program, file, levels):
    try:
        import nibabel
        from skimage.measure import mesh_surface_area
    except ImportError:
        print("nibabel is not installed: skipped")
        return 77
    image = nibabel.load(file)
    array = np.asanyarray(image.dataobj)
    spacing = tuple(float(z) for z in image.header.get_zooms()[:3])
    passed = failed = 0
    with tempfile.TemporaryDirectory() as directory:
        volume = f"{directory}/imported.vm"
        subprocess.run([program, "import", file, "-o", volume], check=True, capture_output=True)
        for level in levels:
            if (array == float(level)).any():
                sys.exit(f"{file}: values at the level {level}, the comparison would be ambiguous")
            table = parse_table(subprocess.run([program, "isosurface", volume, "--iso", level, "--open", "-o",
                                                f"{directory}/surface.stl"],
                                               check=True, capture_output=True, text=True).stdout)
            area = next(float(v) for k, v in table.items() if k.startswith("area"))
            ours = (int(table["vertices"]), int(table["triangles"]))
            vertices, faces, _, _ = marching_cubes(array.astype(np.float64), level=float(level), spacing=spacing,
                                                   method="lewiner")
            theirs = (len(vertices), len(faces))
            their_area = mesh_surface_area(vertices, faces)
            label = f"{file.rsplit('/', 1)[-1]} {array.dtype} {array.shape} level {level}"
            if ours == theirs and abs(area - their_area) <= 1e-3 * their_area:
                passed += 1
                print(f"ok   {label}: {ours[0]} vertices, {ours[1]} triangles, area {area:.6g} ({their_area:.6g})")
            else:
                failed += 1
                print(f"FAIL {label}: ours {ours[0]} vertices, {ours[1]} triangles, area {area:.6g};"
                      f" theirs {theirs[0]} vertices, {theirs[1]} triangles, area {their_area:.6g}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


def main():
    if sys.argv[1] == "--imported":
        return compare_imported(sys.argv[2], sys.argv[3], sys.argv[4:])
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
