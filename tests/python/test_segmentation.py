"""Thresholds, labelling, boundaries, contours, erosion and dilation, and
histogram expansion against references written here."""

import collections
import unittest

import numpy as np

import plexan
from support import assert_identical


def flood_labels(a):
    """Components of the non-zero elements (4- or 6-connected) by breadth-first
    search, numbered in raster order of their first element."""
    labels = np.zeros(a.shape, np.int64)
    count = 0
    steps = [tuple(d if axis == k else 0 for axis in range(a.ndim)) for k in range(a.ndim) for d in (-1, 1)]
    for start in np.ndindex(a.shape):
        if a[start] == 0 or labels[start]:
            continue
        count += 1
        labels[start] = count
        queue = collections.deque([start])
        while queue:
            here = queue.popleft()
            for step in steps:
                there = tuple(h + s for h, s in zip(here, step))
                if all(0 <= t < n for t, n in zip(there, a.shape)) and a[there] and not labels[there]:
                    labels[there] = count
                    queue.append(there)
    return labels, count


def grey_morphology(v, s, dilate):
    """Erosion (minimum of v - s) or dilation (maximum of v + s) over the
    element centred on each voxel, voxels outside the volume ignored."""
    p, q, r = (n // 2 for n in s.shape)
    out = np.empty_like(v)
    for k, i, j in np.ndindex(v.shape):
        best = None
        for c, a, b in np.ndindex(s.shape):
            kk, ii, jj = k + c - p, i + a - q, j + b - r
            if 0 <= kk < v.shape[0] and 0 <= ii < v.shape[1] and 0 <= jj < v.shape[2]:
                value = v[kk, ii, jj] + s[c, a, b] if dilate else v[kk, ii, jj] - s[c, a, b]
                best = value if best is None else (max(best, value) if dilate else min(best, value))
        out[k, i, j] = best
    return out


class SegmentationTest(unittest.TestCase):
    def setUp(self):
        self.rng = np.random.default_rng(11)

    def test_threshold_and_level_sets(self):
        a = self.rng.integers(0, 10, size=(4, 5, 6)).astype(np.float64)
        assert_identical(self, np.where(a >= 5, 255.0, 0.0), plexan.threshold(a, 5))
        assert_identical(self, np.where(a < 5, 1.0, -1.0), plexan.threshold(a, 5, foreground=1, background=-1, above=False))
        assert_identical(self, np.where(a == 3, 7.0, 0.0), plexan.level_set_mask(a, 3, foreground=7))
        small = a.astype(np.uint8)
        self.assertEqual(plexan.threshold(small, 5).dtype, np.int32)

    def test_isodata_splits_two_peaks_in_the_middle(self):
        a = np.full((10, 10), 50.0)
        a[:, 5:] = 150.0
        # Split at bin 100: bins are centred on the integers for reals, start on them for integers.
        self.assertEqual(plexan.isodata_threshold(a), 99.5)
        self.assertEqual(plexan.isodata_threshold(a.astype(np.int32)), 100.0)
        self.assertEqual(plexan.isodata_threshold(np.full((3, 3, 3), 42.0)), 41.5)

    def test_labels_are_the_components_in_raster_order(self):
        for shape in [(12, 15), (5, 7, 8)]:
            a = (self.rng.random(shape) > 0.55).astype(np.int32)
            expected, count = flood_labels(a)
            labels, found = plexan.label(a)
            with self.subTest(shape=shape):
                self.assertEqual(found, count)
                assert_identical(self, expected.astype(np.int32), labels)
        diagonal = np.zeros((4, 4), np.uint8)
        diagonal[1, 1] = diagonal[2, 2] = 1
        labels, count = plexan.label(diagonal)
        self.assertEqual(count, 2)
        self.assertEqual(labels.dtype, np.int32)

    def test_boundaries_and_contours_of_a_rectangle(self):
        a = np.zeros((8, 9), np.int32)
        a[2:6, 3:8] = 255
        edges = plexan.boundaries(a)
        expected = a.copy()
        expected[3:5, 4:7] = 0
        assert_identical(self, expected, edges)
        corners = plexan.extract_contour(a, 2, 3)
        # The run back to the start may end on the start itself.
        self.assertEqual(sorted(set(map(tuple, corners))), [(2, 3), (2, 7), (5, 3), (5, 7)])
        rows, columns = corners[:, 0].astype(float), corners[:, 1].astype(float)
        twice_area = np.sum(rows * np.roll(columns, -1) - np.roll(rows, -1) * columns)
        self.assertEqual(twice_area, 2 * 3 * 4)  # counter-clockwise in (row, column)

    def test_erosion_and_dilation(self):
        v = self.rng.integers(0, 100, size=(4, 5, 6)).astype(np.int32)
        flat = np.zeros((3, 3, 3), np.int32)
        assert_identical(self, grey_morphology(v, flat, False), plexan.erode(v))
        s = self.rng.integers(0, 5, size=(1, 3, 5)).astype(np.int32)
        assert_identical(self, grey_morphology(v, s, True), plexan.dilate(v, s))
        constant = np.full((4, 4, 4), 9.0)
        assert_identical(self, constant, plexan.erode(constant))
        with self.assertRaises(plexan.SizeError) as caught:
            plexan.erode(v, np.zeros((2, 3, 3), np.int32))
        self.assertEqual(caught.exception.what, "Structuring element with even size(s)")
        self.assertEqual(caught.exception.where, "void VoxelMatrixErosion<T>::setStructElt(...)")

    def test_histogram_expansion(self):
        v = self.rng.standard_normal((3, 4, 5))
        lo, hi = v.min(), v.max()
        np.testing.assert_allclose(plexan.expand_histogram(v, 10, 20), (v - lo) * 10 / (hi - lo) + 10, rtol=1e-12)


if __name__ == "__main__":
    unittest.main()
