"""The batch workflow (workflows/Snakefile) run by snakemake with two cores on
three generated specimens of known geometry: an ellipsoidal organ turned in
the section plane, with a few bright nuclei. The pooled table is checked
against the organs' section areas and volumes and the nuclei drawn, the
density table against the nuclei pooled, and the fused mean shape against
the organs' mean extents.

Exit status 77 (skipped) when snakemake is not installed.
"""

import csv
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

PLEXAN_CLI = os.environ.get("PLEXAN_CLI", "plexan-cli")
SOURCE = os.environ.get("PLEXAN_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))

ROWS, COLUMNS, PLANES = 48, 56, 13
SPACING = 2.0  # micrometres between planes; pixels are 1 micrometre
CENTRE = (28.0, 24.0, 6)  # column, row, plane of the organ's centre

# name: semi-axes (a, b, c) in micrometres, turn in degrees, nuclei (column,
# row offsets from the centre, plane)
SPECIMENS = {
    "s1": ((18.0, 11.0, 11.0), 0.0, [(-8, 0, 6), (6, 3, 5), (0, -5, 7), (9, -2, 4), (-3, 4, 8), (2, 1, 3)]),
    "s2": ((16.0, 12.0, 10.0), 40.0, [(-5, -4, 6), (4, 4, 6), (0, 0, 4), (-2, 6, 8), (6, -1, 7)]),
    "s3": ((19.0, 10.0, 12.0), -65.0, [(-4, -8, 6), (3, 7, 6), (0, 0, 5), (2, -3, 8), (-1, 4, 3), (1, -6, 9), (3, 2, 7)]),
}


def inside(axes, turn, column, row, plane):
    a, b, c = axes
    x, y = column - CENTRE[0], row - CENTRE[1]
    t = math.radians(turn)
    p, q = math.cos(t) * x + math.sin(t) * y, -math.sin(t) * x + math.cos(t) * y
    z = (plane - CENTRE[2]) * SPACING
    return (p / a) ** 2 + (q / b) ** 2 + (z / c) ** 2 <= 1.0


def write_volume(path, axes, turn, nuclei):
    """A float voxel matrix: organ 100, nuclei (discs of radius 1.5 on one
    plane) 200, background 0."""
    voxels = []
    for k in range(PLANES):
        for i in range(ROWS):
            for j in range(COLUMNS):
                value = 100.0 if inside(axes, turn, j, i, k) else 0.0
                for dx, dy, plane in nuclei:
                    if plane == k and (j - CENTRE[0] - dx) ** 2 + (i - CENTRE[1] - dy) ** 2 <= 2.25:
                        value = 200.0
                voxels.append(value)
    with open(path, "wb") as stream:
        stream.write(struct.pack("<9i3f", 0, 0, 0, 1, 5, ROWS, COLUMNS, PLANES, -6, 1.0, 1.0, SPACING))
        stream.write(struct.pack("<%df" % len(voxels), *voxels))


def read_tsv(path, first=None):
    """The first table of a file; with first, the table whose header starts
    with that word (lines before it are skipped)."""
    with open(path, newline="") as stream:
        lines = stream.read().splitlines()
    if first:
        lines = lines[next(i for i, line in enumerate(lines) if line.split("\t")[0] == first):]
    if "" in lines:
        lines = lines[:lines.index("")]
    return list(csv.DictReader(lines, delimiter="\t"))


def value(row, label):
    for key, text in row.items():
        if key.split(" [")[0] == label:
            return float(text)
    raise KeyError(label)


def stl_vertices(path):
    points = set()
    with open(path) as stream:
        for line in stream:
            words = line.split()
            if words and words[0] == "vertex":
                points.add(tuple(float(w) for w in words[1:4]))
    return sorted(points)


def principal_half_extents(points):
    """Half the extents of points along their principal axes, largest spread
    first (Jacobi rotations of the covariance)."""
    n = len(points)
    c = [sum(p[i] for p in points) / n for i in range(3)]
    m = [[sum((p[i] - c[i]) * (p[j] - c[j]) for p in points) for j in range(3)] for i in range(3)]
    v = [[1.0 if i == j else 0.0 for j in range(3)] for i in range(3)]
    for _ in range(50):
        for p in range(2):
            for q in range(p + 1, 3):
                if abs(m[p][q]) < 1e-12:
                    continue
                theta = 0.5 * math.atan2(2 * m[p][q], m[q][q] - m[p][p])
                cs, sn = math.cos(theta), math.sin(theta)
                for k in range(3):
                    m[k][p], m[k][q] = cs * m[k][p] - sn * m[k][q], sn * m[k][p] + cs * m[k][q]
                for k in range(3):
                    m[p][k], m[q][k] = cs * m[p][k] - sn * m[q][k], sn * m[p][k] + cs * m[q][k]
                for k in range(3):
                    v[k][p], v[k][q] = cs * v[k][p] - sn * v[k][q], sn * v[k][p] + cs * v[k][q]
    order = sorted(range(3), key=lambda a: -m[a][a])
    half = []
    for a in order:
        t = [sum(p[k] * v[k][a] for k in range(3)) for p in points]
        half.append((max(t) - min(t)) / 2)
    return half


def sections(axes):
    """The planes that cut the organ, as (z, area) in micrometres."""
    a, b, c = axes
    out = []
    for k in range(PLANES):
        z = (k - CENTRE[2]) * SPACING
        if abs(z) < c:
            out.append((z, math.pi * a * b * (1 - (z / c) ** 2)))
    return out


class Workflow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.mkdtemp(prefix="plexan-workflow-")
        os.makedirs(os.path.join(cls.directory, "volumes"))
        specimens = {}
        for name, (axes, turn, nuclei) in SPECIMENS.items():
            path = os.path.join("volumes", name + ".vm")
            write_volume(os.path.join(cls.directory, path), axes, turn, nuclei)
            specimens[name] = path
        with open(os.path.join(cls.directory, "study.yaml"), "w") as stream:
            stream.write("plexan_cli: %s\nresults: results\nspecimens:\n" % PLEXAN_CLI)
            for name, path in specimens.items():
                stream.write("  %s: %s\n" % (name, path))
            stream.write("segment: {model: organ, level: 50, min_pixels: 9, decimation: 0}\n"
                         "nuclei: {centres: nuclei, level: 150, min_pixels: 1}\n"
                         "isosurface: {level: 50}\n"
                         "density: {grid: [8, 8, 4], k: 3, percentiles: '50'}\n"
                         "fusion: %s\n" % os.path.join(SOURCE, "workflows", "fusion.conf"))
        cls.workflow = subprocess.run(
            ["snakemake", "--snakefile", os.path.join(SOURCE, "workflows", "Snakefile"),
             "--configfile", os.path.join(cls.directory, "study.yaml"), "--directory", cls.directory,
             "--cores", "2", "--scheduler", "greedy"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        cls.results = os.path.join(cls.directory, "results")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.directory, ignore_errors=True)

    def setUp(self):
        self.assertEqual(self.workflow.returncode, 0, self.workflow.stdout.decode(errors="replace")[-4000:])

    def test_pooled_table_holds_each_organ_and_its_nuclei(self):
        rows = read_tsv(os.path.join(self.results, "pooled.tsv"))
        self.assertEqual([r["specimen"] for r in rows], list(SPECIMENS))
        for row in rows:
            axes, turn, nuclei = SPECIMENS[row["specimen"]]
            cut = sections(axes)
            self.assertEqual(int(row["contours"]), len(cut), row)
            # Slab volume: each section extruded by the spacing.
            slabs = sum(area for _, area in cut) * SPACING
            self.assertAlmostEqual(float(row["organ volume"]) / slabs, 1.0, delta=0.03, msg=row)
            # The isosurface encloses about the ellipsoid.
            ellipsoid = 4 / 3 * math.pi * axes[0] * axes[1] * axes[2]
            self.assertAlmostEqual(float(row["surface volume"]) / ellipsoid, 1.0, delta=0.04, msg=row)
            self.assertEqual(int(row["nuclei"]), len(nuclei), row)

    def test_density_pools_every_nucleus(self):
        table = read_tsv(os.path.join(self.results, "density.tsv"), first="file")
        self.assertEqual(int(table[0]["stacks"]), 3)
        self.assertEqual(int(table[0]["points"]), sum(len(n) for _, _, n in SPECIMENS.values()))
        self.assertTrue(os.path.getsize(os.path.join(self.results, "density.vm")) == 48 + 4 * 8 * 8 * 4)

    def test_mean_shape_has_the_mean_extents_of_the_organs(self):
        fusion = read_tsv(os.path.join(self.results, "fusion.tsv"))
        self.assertEqual([r["stack"] for r in fusion], list(SPECIMENS))
        half = principal_half_extents(stl_vertices(os.path.join(self.results, "fusion", "mean.organ.stl")))
        expected = []
        for axes, _, _ in SPECIMENS.values():
            # The last sections cut end the organ's extent along the stack.
            z = max(abs(z) for z, _ in sections(axes))
            expected.append(sorted([axes[0], axes[1], z], reverse=True))
        mean = [sum(e[i] for e in expected) / len(expected) for i in range(3)]
        for got, want in zip(half, mean):
            self.assertAlmostEqual(got, want, delta=0.8, msg=(half, mean))
        for row in fusion:
            self.assertLess(value(row, "distance to mean"), 2.0, row)
        with open(os.path.join(self.results, "fusion", "fusion.html")) as stream:
            log = stream.read()
        self.assertIn("Total 3 stacks", log)

    def test_outputs_are_complete_and_a_rerun_has_nothing_to_do(self):
        hidden = [os.path.join(d, f) for d, _, files in os.walk(self.results) for f in files
                  if f.startswith(".") and f != ".snakemake_timestamp" or f.endswith(".partial")]
        self.assertEqual(hidden, [])
        again = subprocess.run(
            ["snakemake", "--snakefile", os.path.join(SOURCE, "workflows", "Snakefile"),
             "--configfile", os.path.join(self.directory, "study.yaml"), "--directory", self.directory,
             "--cores", "2", "--dry-run", "--quiet"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(again.returncode, 0, again.stdout.decode(errors="replace"))
        self.assertNotIn("rule ", again.stdout.decode(errors="replace"))


if __name__ == "__main__":
    if shutil.which("snakemake") is None:
        print("snakemake is not installed: skipped")
        sys.exit(77)
    unittest.main()
