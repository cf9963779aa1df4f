"""Filters against references written here from their definitions: box sums,
extremes, medians, convolutions, Deriche's recursive filters, resizing and the
mean of byte images, in 2-D and 3-D, and their axis order."""

import itertools
import unittest

import numpy as np

import plexan
from support import assert_identical


def box_pass(a, h, axis):
    """One running-sum pass: the window sum, or (2h + 1) times the element
    within h of either end of its line."""
    a = np.moveaxis(a, axis, -1)
    out = a * (2 * h + 1)
    n = a.shape[-1]
    for j in range(h, n - h):
        out[..., j] = a[..., j - h: j + h + 1].sum(axis=-1)
    return np.moveaxis(out, -1, axis)


def clipped_extreme(a, h, op):
    """The extreme over the clipped (2h + 1)-wide box of every element."""
    out = np.empty_like(a)
    for index in np.ndindex(a.shape):
        window = tuple(slice(max(0, i - h), i + h + 1) for i in index)
        out[index] = op(a[window])
    return out


def masked_extreme_pass(a, mask, h, axis, op):
    """One masked pass: unmasked elements take the extreme over the unmasked
    elements of their clipped window along the axis; masked ones stay."""
    a = np.moveaxis(a, axis, -1)
    m = np.moveaxis(mask, axis, -1)
    out = a.copy()
    n = a.shape[-1]
    for index in np.ndindex(a.shape[:-1]):
        for j in range(n):
            if m[index + (j,)]:
                lo, hi = max(0, j - h), min(n, j + h + 1)
                window = a[index + (slice(lo, hi),)][m[index + (slice(lo, hi),)] != 0]
                out[index + (j,)] = op(window)
    return np.moveaxis(out, -1, axis)


def convolve_axis(a, kernel, axis):
    """Convolution of every line along the axis with an odd kernel centred on
    its middle tap, outside taps contributing nothing."""
    start = (len(kernel) - 1) // 2
    return np.apply_along_axis(lambda line: np.convolve(line, kernel)[start: start + len(line)], axis, a)


def recursive_1d(x, a0, a1, a2, a3, b1, b2, scale):
    n = len(x)
    y1 = np.zeros(n)
    y2 = np.zeros(n)
    for i in range(n):
        y1[i] = a0 * x[i] + (a1 * x[i - 1] + b1 * y1[i - 1] if i >= 1 else 0) + (b2 * y1[i - 2] if i >= 2 else 0)
    for i in range(n - 2, -1, -1):
        y2[i] = a2 * x[i + 1] + (a3 * x[i + 2] + b1 * y2[i + 1] + b2 * y2[i + 2] if i <= n - 3 else 0)
    return scale * (y1 + y2)


def deriche(a, alpha, axis):
    """The derivative along one axis, smoothing along the others."""
    e = np.exp(-alpha)
    c = (1 - e) ** 4 / (1 + 2 * alpha * e - e * e)
    smooth = (c, c * e * (alpha - 1), c * e * (alpha + 1), -c * e * e, 2 * e, -e * e, 1.0)
    derive = (0.0, 1.0, -1.0, 0.0, 2 * e, -e * e, -(1 - e) ** 2)
    out = a.astype(np.float64)
    for d in range(a.ndim):
        coefficients = derive if d == axis else smooth
        out = np.apply_along_axis(lambda line: recursive_1d(line, *coefficients), d, out)
    return out


class FilterTest(unittest.TestCase):
    def setUp(self):
        self.rng = np.random.default_rng(7)

    def test_sum_filter_squares_and_balls(self):
        for shape in [(6, 9), (5, 6, 7)]:
            a = self.rng.integers(-50, 50, size=shape).astype(np.int32)
            expected = a
            for axis in reversed(range(a.ndim)):
                expected = box_pass(expected, 2, axis)
            with self.subTest(shape=shape):
                assert_identical(self, expected, plexan.sum_filter(a, half_size=2))
        a = self.rng.integers(0, 9, size=(5, 6)).astype(np.float64)
        expected = np.zeros_like(a)
        for i, j in np.ndindex(a.shape):
            for di, dj in itertools.product(range(-2, 3), repeat=2):
                if di * di + dj * dj <= 4 and 0 <= i + di < 5 and 0 <= j + dj < 6:
                    expected[i, j] += a[i + di, j + dj]
        assert_identical(self, expected, plexan.sum_filter(a, half_size=2, ball=True))

    def test_in_place_results_reach_the_array(self):
        # Regression: the ball sum builds its result aside and moves it into
        # its argument, which then no longer pointed into the caller's array.
        a = self.rng.integers(0, 9, size=(4, 5, 6)).astype(np.float32)
        expected = plexan.sum_filter(a, half_size=1, ball=True)
        returned = plexan.sum_filter(a, half_size=1, ball=True, inplace=True)
        self.assertIs(returned, a)
        assert_identical(self, expected, a)
        with self.assertRaises(ValueError):
            plexan.sum_filter(a[:, ::2], inplace=True)
        with self.assertRaises(ValueError):
            plexan.gaussian_filter(np.zeros((4, 4), np.int32), inplace=True)

    def test_min_and_max_filters_with_and_without_mask(self):
        for shape in [(7, 8), (4, 5, 6)]:
            a = self.rng.standard_normal(shape)
            with self.subTest(shape=shape):
                assert_identical(self, clipped_extreme(a, 2, np.min), plexan.min_filter(a, half_size=2))
                assert_identical(self, clipped_extreme(a, 1, np.max), plexan.max_filter(a, half_size=1))
        a = self.rng.integers(0, 100, size=(6, 7)).astype(np.int16)
        mask = (self.rng.random((6, 7)) > 0.3).astype(np.int16)
        expected = masked_extreme_pass(masked_extreme_pass(a, mask, 1, 1, np.min), mask, 1, 0, np.min)
        assert_identical(self, expected, plexan.min_filter(a, half_size=1, mask=mask))

    def test_median_filter_keeps_the_border(self):
        a = self.rng.integers(0, 255, size=(7, 9)).astype(np.uint8)
        expected = a.copy()
        for i in range(1, 6):
            for j in range(1, 8):
                expected[i, j] = np.median(a[i - 1: i + 2, j - 1: j + 2])
        assert_identical(self, expected, plexan.median_filter(a))
        v = self.rng.standard_normal((5, 6, 7)).astype(np.float32)
        expected = v.copy()
        for index in np.ndindex(3, 4, 5):
            k, i, j = (x + 1 for x in index)
            expected[k, i, j] = np.median(v[k - 1: k + 2, i - 1: i + 2, j - 1: j + 2])
        assert_identical(self, expected, plexan.median_filter(v))
        twice = plexan.median_filter(plexan.median_filter(a))
        assert_identical(self, twice, plexan.median_filter(a, iterations=2))

    def test_gaussian_filter_is_the_documented_kernel_along_every_axis(self):
        sigma = 1.3
        r = int(np.ceil(2 * sigma))
        taps = np.exp(-np.arange(-r, r + 1) ** 2 / (2 * sigma * sigma))
        kernel = taps / taps.sum()
        for shape in [(8, 11), (5, 6, 9)]:
            a = self.rng.standard_normal(shape)
            expected = a
            for axis in range(a.ndim):
                expected = convolve_axis(expected, kernel, axis)
            with self.subTest(shape=shape):
                np.testing.assert_allclose(plexan.gaussian_filter(a, sigma), expected, rtol=1e-12, atol=1e-12)
        smoothed = plexan.gaussian_filter(np.arange(20, dtype=np.uint8).reshape(4, 5))
        self.assertEqual(smoothed.dtype, np.float64)
        self.assertEqual(plexan.gaussian_filter(np.zeros((3, 3), np.float32)).dtype, np.float32)

    def test_separable_filter_applies_each_kernel_along_its_axis(self):
        kernels = [np.array([1.0, 2.0, -1.0]), np.array([0.5, -3.0, 0.0, 1.0, 2.0]), np.array([4.0, 1.0, -2.0])]
        a = self.rng.standard_normal((5, 6, 7))
        expected = a
        for axis, kernel in enumerate(kernels):
            expected = convolve_axis(expected, kernel, axis)
        np.testing.assert_allclose(plexan.separable_filter(a, kernels, factor=2.0), expected / 2, rtol=1e-12, atol=1e-12)
        b = self.rng.standard_normal((6, 8))
        expected = convolve_axis(convolve_axis(b, kernels[0], 0), kernels[1], 1) * 3
        np.testing.assert_allclose(plexan.separable_filter(b, kernels[:2], factor=3.0, divide=False), expected,
                                   rtol=1e-12, atol=1e-12)

    def test_deriche_derivatives_follow_the_recursive_filters(self):
        for shape in [(9, 12), (6, 7, 8)]:
            a = self.rng.standard_normal(shape)
            for axis in range(a.ndim):
                with self.subTest(shape=shape, axis=axis):
                    np.testing.assert_allclose(plexan.deriche_gradient(a, alpha=0.8, axis=axis), deriche(a, 0.8, axis),
                                               rtol=1e-9, atol=1e-12)
            norm = np.sqrt(sum(deriche(a, 0.8, axis) ** 2 for axis in range(a.ndim)))
            np.testing.assert_allclose(plexan.deriche_gradient(a, alpha=0.8), norm, rtol=1e-9, atol=1e-12)
        a = self.rng.standard_normal((7, 8))
        np.testing.assert_allclose(plexan.gradient_angle(a, 0.8), np.arctan2(deriche(a, 0.8, 0), deriche(a, 0.8, 1)),
                                   rtol=1e-9, atol=1e-12)

    def test_hysteresis_grows_from_strong_elements(self):
        a = np.zeros((7, 9))
        a[2, 1:8] = [5, 3, 3, 0, 3, 3, 9]   # a weak run joined to the strong 9, and one cut off
        a[4, 4] = 3                         # weak and alone
        result = plexan.hysteresis_threshold(a, 2, 8)
        expected = np.zeros_like(a)
        expected[2, 5:8] = 1
        assert_identical(self, expected, result)

    def test_linear_resize_spans_the_old_grid_corner_to_corner(self):
        a = self.rng.standard_normal((4, 5))
        rows = np.linspace(0, 3, 7)
        columns = np.linspace(0, 4, 9)
        along_columns = np.array([np.interp(columns, np.arange(5), line) for line in a])
        expected = np.array([np.interp(rows, np.arange(4), line) for line in along_columns.T]).T
        # Grid positions are computed in single precision.
        np.testing.assert_allclose(plexan.resize(a, (7, 9), linear=True), expected, rtol=1e-6, atol=1e-6)
        v = self.rng.standard_normal((3, 4, 5)).astype(np.float32)
        nearest = plexan.resize(v, (5, 7, 9))
        self.assertEqual(nearest.shape, (5, 7, 9))
        assert_identical(self, v[:, :, :], nearest[::2, ::2, ::2])
        calibrated = plexan.resize(plexan.VoxelMatrix(v, voxel_size=(1.5, 2.0, 4.0)), (5, 7, 9))
        self.assertEqual(calibrated.voxel_size, (1.5 * 3 / 6, 2.0 * 4 / 8, 4.0 * 2 / 4))

    def test_mean_filter_of_byte_images(self):
        image = self.rng.integers(0, 256, size=(6, 8)).astype(np.uint8)
        expected = (box_pass(box_pass(image.astype(np.int64), 1, 1), 1, 0) // 9).astype(np.uint8)
        assert_identical(self, expected, plexan.mean_filter(image, half_size=1))
        rgb = self.rng.integers(0, 256, size=(5, 4, 3)).astype(np.uint8)
        expected = np.stack([plexan.mean_filter(np.ascontiguousarray(rgb[:, :, c])) for c in range(3)], axis=2)
        assert_identical(self, expected, plexan.mean_filter(rgb))

    def test_isotropy_of_a_uniform_volume_is_one_inside(self):
        v = np.ones((7, 7, 7))
        index = plexan.isotropy_filter(v, half_size=2)
        np.testing.assert_allclose(index[2:5, 2:5, 2:5], 1.0, rtol=1e-9)
        flat = np.zeros((7, 7, 7))
        flat[3] = 1.0                       # a sheet: no spread across it
        self.assertLess(plexan.isotropy_filter(flat, half_size=2)[3, 3, 3], 1e-9)

    def test_voxel_matrices_come_back_with_their_calibration(self):
        v = plexan.VoxelMatrix(self.rng.standard_normal((3, 4, 5)), voxel_size=(0.5, 0.5, 3.0), unit=-6)
        smoothed = plexan.gaussian_filter(v, 1.0)
        self.assertIsInstance(smoothed, plexan.VoxelMatrix)
        self.assertEqual((smoothed.voxel_size, smoothed.unit), (v.voxel_size, v.unit))
        np.testing.assert_array_equal(smoothed.array, plexan.gaussian_filter(v.array, 1.0))


if __name__ == "__main__":
    unittest.main()
