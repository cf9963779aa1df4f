#!/usr/bin/env python3
"""Times the peer libraries on the side-by-side workloads and checks their
results against ours.

Reads the inputs written by generate.py and our results (the subdirectory
"ours", written by our workload benchmarks) from the data directory, runs
each peer REPETITIONS times, and writes one JSON object: for every workload
and peer, the median wall time in milliseconds and the agreement with our
result.

Run it in a fresh process per thread setting: thread pools are sized when
the libraries load. With --threads 1, run.sh also sets OMP_NUM_THREADS=1
(and the BLAS variables) before starting Python.

Usage: peers.py DATA_DIRECTORY --threads {1,all} [--repetitions N]
                [--tiffread PROGRAM] [--only W1,W2,...] --output FILE
"""

import argparse
import json
import os
import re
import resource
import statistics
import subprocess
import sys
import time

import numpy as np


# The median processor time (ms) of the last timed() call: on a busy
# machine it tells what one thread costs better than the wall time.
last_cpu_ms = None


def processor_time():
    """Seconds of processor time of this process and its finished children
    (cat)."""
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return time.process_time() + children.ru_utime + children.ru_stime


def timed(function, repetitions):
    """The median wall time (ms) of `repetitions` calls, and the last result."""
    global last_cpu_ms
    times = []
    cpu = []
    result = None
    for _ in range(repetitions):
        start = time.perf_counter()
        start_cpu = processor_time()
        result = function()
        times.append(time.perf_counter() - start)
        cpu.append(processor_time() - start_cpu)
    last_cpu_ms = 1000 * statistics.median(cpu)
    return 1000 * statistics.median(times), result


class Peers:
    def __init__(self, directory, threads, repetitions, tiffread):
        self.directory = directory
        self.ours = os.path.join(directory, "ours")
        self.single = threads == "1"
        self.repetitions = repetitions
        self.tiffread = tiffread
        self.results = {}
        import cv2
        self.cv2 = cv2
        cv2.setNumThreads(1 if self.single else os.cpu_count())
        try:
            from vtkmodules.vtkCommonCore import vtkSMPTools
            vtkSMPTools.Initialize(1 if self.single else 0)
        except ImportError:
            pass

    # Inputs and our results ------------------------------------------------

    def input(self, name, dtype, shape):
        return np.fromfile(os.path.join(self.directory, name), dtype=dtype).reshape(shape)

    def our(self, name, dtype, shape=None):
        path = os.path.join(self.ours, name)
        if not os.path.exists(path):
            return None
        array = np.fromfile(path, dtype=dtype)
        return array.reshape(shape) if shape is not None else array

    def record(self, workload, peer, ms, check, ok, cpu_ms=None):
        cpu_ms = last_cpu_ms if cpu_ms is None else cpu_ms
        self.results.setdefault(workload, {})[peer] = {"ms": ms, "cpu_ms": cpu_ms, "check": check, "ok": bool(ok)}
        status = "ok" if ok else "DIFFERS"
        print(f"  {workload:28s} {peer:36s} {ms:9.1f} ms ({cpu_ms:9.1f} ms CPU)  {status}: {check}",
              file=sys.stderr, flush=True)

    def compare_arrays(self, ours, theirs, h=0, tolerance=0.0):
        """Agreement of two arrays, over the interior h elements away from
        the borders of the last two axes when h > 0."""
        if ours is None:
            return "our result missing", False
        if h > 0:
            ours = ours[..., h:-h, h:-h]
            theirs = theirs[..., h:-h, h:-h]
        if ours.shape != theirs.shape:
            return f"shapes differ {ours.shape} {theirs.shape}", False
        if tolerance == 0.0:
            differing = int(np.count_nonzero(ours != theirs))
            where = "interior " if h > 0 else ""
            return (f"{where}identical ({ours.size} elements)" if differing == 0
                    else f"{differing} of {ours.size} {where}elements differ"), differing == 0
        difference = float(np.max(np.abs(ours.astype(np.float64) - theirs.astype(np.float64))))
        return f"max |difference| {difference:.2g}", difference <= tolerance

    # W1 ---------------------------------------------------------------------

    def w1(self):
        from skimage.measure import marching_cubes
        volume = self.input("w1_blobs_256.f32", np.float32, (256, 256, 256))
        vertices = self.our("w1_vertices.f32", np.float32)
        triangles = self.our("w1_triangles.u32", np.uint32)
        ours = (len(vertices) // 3, len(triangles) // 3) if vertices is not None and triangles is not None else None
        ms, (v, f, _, _) = timed(lambda: marching_cubes(volume, 0.5, method="lewiner"), self.repetitions)
        check = f"{len(v)} vertices, {len(f)} triangles; ours {ours[0]}, {ours[1]}" if ours else "ours missing"
        self.record("W1_MarchingCubes", "skimage marching_cubes lewiner", ms, check,
                    ours == (len(v), len(f)))

        from vtkmodules.util import numpy_support
        from vtkmodules.vtkCommonDataModel import vtkImageData
        from vtkmodules.vtkFiltersCore import vtkFlyingEdges3D
        from vtkmodules.vtkFiltersCore import vtkMarchingCubes
        image = vtkImageData()
        image.SetDimensions(256, 256, 256)
        image.GetPointData().SetScalars(numpy_support.numpy_to_vtk(volume.ravel(), deep=True))
        for name, kind in (("VTK vtkFlyingEdges3D", vtkFlyingEdges3D), ("VTK vtkMarchingCubes", vtkMarchingCubes)):
            def run():
                extractor = kind()
                extractor.SetInputData(image)
                extractor.SetValue(0, 0.5)
                extractor.Update()
                return extractor.GetOutput()
            ms, mesh = timed(run, self.repetitions)
            points, cells = mesh.GetNumberOfPoints(), mesh.GetNumberOfPolys()
            # Other case tables: the counts differ in the ambiguous cubes.
            close = ours is not None and abs(cells - ours[1]) <= 0.01 * ours[1]
            check = f"{points} vertices, {cells} triangles (other tables; within 1% of ours)"
            self.record("W1_MarchingCubes", name, ms, check, close)
            # The cold single call, as a program making one extraction pays
            # it: one call in a fresh process, whose output lands in memory
            # the process never had (the calls above reuse what the earlier
            # ones freed).
            ms, cpu_ms, cells = self.cold_call(kind.__name__)
            close = ours is not None and abs(cells - ours[1]) <= 0.01 * ours[1]
            self.record("W1_MarchingCubesCold", name, ms, check + "; one call per process", close, cpu_ms)

    def cold_call(self, kind):
        """Median wall and processor time (ms) of one VTK extraction by
        `kind` in a fresh process per repetition, loading not timed, and its
        triangle count."""
        times, cpu, cells = [], [], 0
        for _ in range(self.repetitions):
            output = subprocess.run(
                [sys.executable, os.path.abspath(__file__), self.directory, "--cold-call", kind,
                 "--threads", "1" if self.single else "all", "--output", os.devnull],
                check=True, capture_output=True, text=True).stdout
            result = json.loads(output.strip().splitlines()[-1])
            times.append(result["ms"])
            cpu.append(result["cpu_ms"])
            cells = result["cells"]
        return statistics.median(times), statistics.median(cpu), cells

    # W2 ---------------------------------------------------------------------

    def w2(self):
        from scipy import ndimage
        cv2 = self.cv2
        kernel = cv2.getGaussianKernel(9, 2.0, cv2.CV_32F)
        for workload, name, shape, result in (
                ("W2_GaussianVolume", "w2_volume_512x512x128.f32", (128, 512, 512), "w2_volume.f32"),
                ("W2_GaussianImage", "w2_image_4096.f32", (4096, 4096), "w2_image.f32")):
            data = self.input(name, np.float32, shape)
            ours = self.our(result, np.float32, shape)
            ms, out = timed(lambda: ndimage.gaussian_filter(data, 2.0, truncate=2.0, mode="constant", cval=0.0),
                            self.repetitions)
            self.record(workload, "scipy ndimage.gaussian_filter", ms, *self.compare_arrays(ours, out, 0, 1e-3))

            def opencv():
                if data.ndim == 2:
                    return cv2.GaussianBlur(data, (9, 9), 2.0, borderType=cv2.BORDER_CONSTANT)
                planes = np.empty_like(data)
                for k in range(data.shape[0]):
                    planes[k] = cv2.GaussianBlur(data[k], (9, 9), 2.0, borderType=cv2.BORDER_CONSTANT)
                # Along the planes: the columns of a (planes, rows x columns) image.
                flat = planes.reshape(data.shape[0], -1)
                one = np.ones((1, 1), np.float32)
                return cv2.sepFilter2D(flat, -1, one, kernel, borderType=cv2.BORDER_CONSTANT).reshape(data.shape)
            ms, out = timed(opencv, self.repetitions)
            self.record(workload, "OpenCV GaussianBlur 9x9", ms, *self.compare_arrays(ours, out, 0, 1e-3))

    # W3 ---------------------------------------------------------------------

    def w3(self):
        from scipy import ndimage
        from skimage.filters import rank
        cv2 = self.cv2
        for kind, dtype, suffix in (("Float", np.float32, "f32"), ("Byte", np.uint8, "u8")):
            image = self.input(f"w3_image_2048.{suffix}", dtype, (2048, 2048))
            for side in (3, 7):
                workload = f"W3_Median{side}_{kind}"
                h = side // 2
                ours = self.our(f"w3_median{side}.{suffix}", dtype, (2048, 2048))
                ms, out = timed(lambda: ndimage.median_filter(image, size=side), self.repetitions)
                self.record(workload, "scipy ndimage.median_filter", ms, *self.compare_arrays(ours, out, h))
                if dtype == np.uint8:
                    footprint = np.ones((side, side), dtype=bool)
                    ms, out = timed(lambda: rank.median(image, footprint=footprint), self.repetitions)
                    self.record(workload, "skimage filters.rank.median", ms, *self.compare_arrays(ours, out, h))
                if dtype == np.uint8 or side <= 5:  # OpenCV takes 7 x 7 windows of bytes only
                    ms, out = timed(lambda: cv2.medianBlur(image, side), self.repetitions)
                    self.record(workload, "OpenCV medianBlur", ms, *self.compare_arrays(ours, out, h))

    # W4 ---------------------------------------------------------------------

    def w4(self):
        from scipy import ndimage
        cv2 = self.cv2
        volume = self.input("w4_volume_512x512x64.f32", np.float32, (64, 512, 512))
        for workload, result, scipy_filter, cv_filter in (
                ("W4_Minimum", "w4_minimum.f32", ndimage.minimum_filter, cv2.erode),
                ("W4_Maximum", "w4_maximum.f32", ndimage.maximum_filter, cv2.dilate)):
            ours = self.our(result, np.float32, volume.shape)
            # Windows clipped at the borders equal those of the nearest-value
            # extension.
            ms, out = timed(lambda: scipy_filter(volume, size=7, mode="nearest"), self.repetitions)
            self.record(workload, f"scipy ndimage.{scipy_filter.__name__}", ms, *self.compare_arrays(ours, out))

            def opencv():
                # The default constant border is neutral (+inf for the
                # minimum, -inf for the maximum): windows are clipped.
                square = np.ones((7, 7), np.uint8)
                planes = np.empty_like(volume)
                for k in range(volume.shape[0]):
                    planes[k] = cv_filter(volume[k], square)
                flat = planes.reshape(volume.shape[0], -1)
                return cv_filter(flat, np.ones((7, 1), np.uint8)).reshape(volume.shape)
            ms, out = timed(opencv, self.repetitions)
            self.record(workload, f"OpenCV {cv_filter.__name__} 7x7 (+ 7x1 across planes)", ms,
                        *self.compare_arrays(ours, out))

    # W5 ---------------------------------------------------------------------

    def w5(self):
        from scipy import ndimage
        from skimage import measure
        binary = self.input("w5_binary_256.u8", np.uint8, (256, 256, 256))
        ours = self.our("w5_labels.i32", np.int32, binary.shape)
        ms, (labels, count) = timed(lambda: ndimage.label(binary), self.repetitions)
        check, ok = self.compare_arrays(ours, labels)
        self.record("W5_Labelling", "scipy ndimage.label", ms, f"{count} components; labels {check}", ok)
        ms, labels = timed(lambda: measure.label(binary, connectivity=1), self.repetitions)
        check, ok = self.compare_arrays(ours, labels.astype(np.int32))
        self.record("W5_Labelling", "skimage measure.label", ms, f"{labels.max()} components; labels {check}", ok)

    # W6 ---------------------------------------------------------------------

    def w6(self):
        from scipy.spatial import cKDTree
        points = self.input("w6_points_3x20000.f64", np.float64, (3, 20000, 3))
        k, side = 5, 64
        # Samples on the grid corners, the step rounded to single precision,
        # in our voxel order (plane k, row i, column j; x from i, y from j).
        step = float(np.float32(1.0 / (side - 1)))
        axis = np.arange(side) * step
        z, x, y = np.meshgrid(axis, axis, axis, indexing="ij")
        samples = np.column_stack([x.ravel(), y.ravel(), z.ravel()])
        numerator = float(np.float32((k * len(points) - 1) * 0.75 / np.pi))
        workers = 1 if self.single else -1

        def run():
            total = np.zeros(len(samples))
            for pattern in points:
                distances, _ = cKDTree(pattern).query(samples, k=k, workers=workers)
                total += distances[:, k - 1] ** 3
            return numerator / total
        ms, density = timed(run, self.repetitions)
        ours = self.our("w6_density.f64", np.float64)
        if ours is None:
            self.record("W6_PoissonDensity_Double", "scipy cKDTree query", ms, "our result missing", False)
            return
        relative = abs(ours.sum() - density.sum()) / density.sum()
        elementwise = float(np.max(np.abs(ours - density) / density))
        self.record("W6_PoissonDensity_Double", "scipy cKDTree query", ms,
                    f"sum {density.sum():.10g}, ours {ours.sum():.10g} (relative {relative:.1g}; "
                    f"elementwise {elementwise:.1g})", elementwise < 1e-9)

    # W7 ---------------------------------------------------------------------

    def w7(self):
        import tifffile
        for prefix, workload in (("u8_", "W7_ReadTiff_8bit_200x1024"), ("u16_", "W7_ReadTiff_16bit_50x2048")):
            listing = os.path.join(self.directory, "w7", prefix + "list.txt")
            files = [line.strip() for line in open(listing) if line.strip()]
            our_sum = None
            path = os.path.join(self.ours, f"w7_{prefix}sum.txt")
            if os.path.exists(path):
                our_sum = int(open(path).read().split()[1])
            total = sum(int(tifffile.imread(f).sum(dtype=np.uint64)) for f in files)
            ms, _ = timed(lambda: [tifffile.imread(f) for f in files], self.repetitions)
            self.record(workload, "tifffile imread", ms, f"pixel sum {total}, ours {our_sum}", total == our_sum)
            if self.tiffread:
                out = subprocess.run([self.tiffread, listing, str(self.repetitions)], check=True,
                                     capture_output=True, text=True).stdout
                result = json.loads(out)
                self.record(workload, "libtiff C scanlines", result["median_ms"],
                            f"pixel sum {result['sum']}, ours {our_sum}", result["sum"] == our_sum,
                            result["median_cpu_ms"])
            ms, _ = timed(lambda: subprocess.run(["cat", *files], stdout=subprocess.DEVNULL, check=True),
                          self.repetitions)
            self.record(workload, "cat > /dev/null (page-cache limit)", ms, "bytes only", True)

    # W8 ---------------------------------------------------------------------

    def w8(self):
        from vtkmodules.util import numpy_support
        from vtkmodules.vtkCommonCore import vtkPoints
        from vtkmodules.vtkCommonDataModel import vtkCellArray, vtkPolyData
        from vtkmodules.vtkIOGeometry import vtkSTLWriter
        vertices = self.our("w1_vertices.f32", np.float32)
        triangles = self.our("w1_triangles.u32", np.uint32)
        if vertices is None or triangles is None:
            print("  W8: our marching-cubes mesh is missing", file=sys.stderr)
            return
        points = vtkPoints()
        points.SetData(numpy_support.numpy_to_vtk(vertices.reshape(-1, 3), deep=True))
        cells = vtkCellArray()
        offsets = np.arange(0, len(triangles) + 1, 3, dtype=np.int64)
        cells.SetData(numpy_support.numpy_to_vtkIdTypeArray(offsets, deep=True),
                      numpy_support.numpy_to_vtkIdTypeArray(triangles.astype(np.int64), deep=True))
        mesh = vtkPolyData()
        mesh.SetPoints(points)
        mesh.SetPolys(cells)
        file = os.path.join(self.directory, "vtk-blobs.stl")

        def run():
            writer = vtkSTLWriter()
            writer.SetInputData(mesh)
            writer.SetFileTypeToASCII()
            writer.SetFileName(file)
            writer.Write()
        ms, _ = timed(run, self.repetitions)
        check, ok = compare_stl(os.path.join(self.ours, "w8_blobs.stl"), file)
        os.remove(file)
        self.record("W8_AsciiStl", "VTK vtkSTLWriter ASCII", ms, check, ok)

    # W9 ---------------------------------------------------------------------

    def w9(self):
        general = self.input("w9_general_3x3.f64", np.float64, (1000000, 3, 3))
        symmetric = self.input("w9_symmetric_3x3.f64", np.float64, (1000000, 3, 3))
        ms, values = timed(lambda: np.linalg.eigh(symmetric), self.repetitions)
        ours = self.our("w9_eigenvalues.f64", np.float64, (1000000, 3))
        check, ok = self.compare_arrays(None if ours is None else ours[:, ::-1], values[0], 0, 1e-12)
        self.record("W9_EigenJacobi3_1e6", "numpy linalg.eigh (batched)", ms, "eigenvalues " + check, ok)
        ms, (_, s, _) = timed(lambda: np.linalg.svd(general), self.repetitions)
        ours = self.our("w9_singularvalues.f64", np.float64, (1000000, 3))
        check, ok = self.compare_arrays(None if ours is None else -np.sort(-ours, axis=1), s, 0, 1e-12)
        self.record("W9_Svd3_1e6", "numpy linalg.svd (batched)", ms, "singular values " + check, ok)
        system = self.input("w9_system_300.f64", np.float64, (300, 301))
        a, b = np.ascontiguousarray(system[:, :300]), np.ascontiguousarray(system[:, 300])
        ms, x = timed(lambda: np.linalg.lstsq(a, b, rcond=None)[0], max(self.repetitions, 11))
        ours = self.our("w9_solution.f64", np.float64)
        check, ok = self.compare_arrays(ours, x, 0, 1e-8 * max(1.0, float(np.max(np.abs(x)))))
        self.record("W9_Solve300", "numpy linalg.lstsq", ms, "solution " + check, ok)


def compare_stl(ours, theirs, facets=20000):
    """Facet counts of two ASCII STL files, and the numbers of their first
    facets (normals and vertices), which must agree to the six digits
    written."""
    if not os.path.exists(ours):
        return "our file missing", False
    counts = []
    for file in (ours, theirs):
        counts.append(int(subprocess.run(["grep", "-c", "facet normal", file], capture_output=True,
                                         text=True).stdout.strip() or 0))
    number = re.compile(rb"[-+0-9.eE]+")

    def head(file):
        values = []
        with open(file, "rb") as stream:
            for line in stream:
                words = line.split()
                if words and words[0] in (b"facet", b"vertex"):
                    values.extend(float(w) for w in words if number.fullmatch(w))
                    if len(values) >= facets * 12:
                        break
        return np.array(values)
    a, b = head(ours), head(theirs)
    n = min(len(a), len(b))
    difference = float(np.max(np.abs(a[:n] - b[:n]) / np.maximum(1.0, np.abs(b[:n])))) if n else 0.0
    ok = counts[0] == counts[1] and n > 0 and difference < 1e-5
    return f"{counts[1]} facets, ours {counts[0]}; first {n // 12} facets agree to {difference:.1g}", ok


def cold_call(directory, kind, threads):
    """One timed W1 extraction by the VTK filter `kind` in this fresh
    process; prints its times and triangle count as JSON."""
    from vtkmodules.vtkCommonCore import vtkSMPTools
    vtkSMPTools.Initialize(1 if threads == "1" else 0)
    from vtkmodules.util import numpy_support
    from vtkmodules.vtkCommonDataModel import vtkImageData
    from vtkmodules import vtkFiltersCore
    volume = np.fromfile(os.path.join(directory, "w1_blobs_256.f32"), dtype=np.float32)
    image = vtkImageData()
    image.SetDimensions(256, 256, 256)
    image.GetPointData().SetScalars(numpy_support.numpy_to_vtk(volume, deep=True))
    start = time.perf_counter()
    start_cpu = processor_time()
    extractor = getattr(vtkFiltersCore, kind)()
    extractor.SetInputData(image)
    extractor.SetValue(0, 0.5)
    extractor.Update()
    cells = extractor.GetOutput().GetNumberOfPolys()
    ms = 1000 * (time.perf_counter() - start)
    cpu_ms = 1000 * (processor_time() - start_cpu)
    print(json.dumps({"ms": ms, "cpu_ms": cpu_ms, "cells": cells}))
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("directory")
    parser.add_argument("--threads", choices=("1", "all"), default="1")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--tiffread")
    parser.add_argument("--only", default="")
    parser.add_argument("--output", required=True)
    parser.add_argument("--cold-call", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.cold_call:
        return cold_call(args.directory, args.cold_call, args.threads)
    peers = Peers(args.directory, args.threads, args.repetitions, args.tiffread)
    selected = [w.strip().lower() for w in args.only.split(",") if w.strip()]
    for workload in ("w1", "w2", "w3", "w4", "w5", "w6", "w7", "w8", "w9"):
        if selected and workload not in selected:
            continue
        print(f"{workload.upper()} ({args.threads} thread{'s' if args.threads != '1' else ''})",
              file=sys.stderr, flush=True)
        getattr(peers, workload)()
    with open(args.output, "w") as out:
        json.dump({"threads": args.threads, "results": peers.results}, out, indent=1)


if __name__ == "__main__":
    sys.exit(main())
