"""Density maps and fusion: the density formula checked point by point, the
maps plexan-cli makes, cancellation by the progress callback and from another
thread."""

import threading
import unittest

import numpy as np

import plexan
from support import SAMPLE, ScratchTestCase, assert_identical, run_cli


def poisson_density(patterns, x, k):
    """(k m - 1) / (4/3 pi sum_s r_s^3), r_s the distance from x to the k-th
    nearest point of pattern s (its farthest point when it has fewer)."""
    radii = []
    for points in patterns:
        d = np.sort(np.linalg.norm(points - x, axis=1))
        radii.append(d[min(k, len(d)) - 1])
    return (k * len(patterns) - 1) / (4 / 3 * np.pi * np.sum(np.power(radii, 3)))


class DensityTest(ScratchTestCase):
    def test_poisson_density_at_every_sample(self):
        rng = np.random.default_rng(17)
        patterns = [rng.random((12, 3)) * [4, 5, 6], rng.random((9, 3)) * [4, 5, 6] + 0.5]
        lower, upper, grid = (0.0, 0.0, 0.0), (4.0, 5.0, 6.0), (4, 5, 3)
        for k in (1, 3):
            with self.subTest(k=k):
                density = plexan.point_density(patterns, grid, lower, upper, k=k)
                self.assertEqual(density.shape, (3, 4, 5))  # (planes, rows, columns): Z, X, Y
                for i, j, kk in np.ndindex(*grid):
                    x = np.array(lower) + np.array([i, j, kk]) * (np.array(upper) - lower) / (np.array(grid) - 1)
                    # The constant (k m - 1) 3 / (4 pi) is taken in single precision.
                    expected = poisson_density(patterns, x, k)
                    self.assertAlmostEqual(density.element(i, j, kk) / expected, 1, delta=1e-6)

    def test_histogram_counts_the_points_of_every_cell(self):
        rng = np.random.default_rng(19)
        points = rng.random((200, 3)) * [2, 3, 4] - 0.2
        density = plexan.point_density([points], (4, 3, 5), (0, 0, 0), (2, 3, 4), method="histogram")
        counts, _ = np.histogramdd(points, bins=(4, 3, 5), range=[(0, 2), (0, 3), (0, 4)])
        assert_identical(self, np.transpose(counts, (2, 0, 1)), density.array)

    def test_density_map_is_that_of_the_command_line_tool(self):
        path = self.path("nuclei.vm")
        run_cli("density", SAMPLE, "--model", "nuclei", "--grid", 12, 10, 6, "--k", 3, "-o", path)
        expected = plexan.read_volume(path)
        stack = plexan.read_stack(SAMPLE)
        fractions = []
        result = plexan.density_map([stack], "nuclei", (12, 10, 6), k=3, percentiles=[50, 90],
                                    progress=lambda fraction, text: fractions.append(fraction))
        assert_identical(self, expected.array, result.density.array)
        self.assertEqual(result.density.voxel_size, expected.voxel_size)
        self.assertEqual(result.points, 36)
        self.assertEqual(len(result.patterns), 1)
        self.assertEqual(result.patterns[0].shape, (36, 3))
        low, high = result.levels
        self.assertGreater(high, low)
        self.assertEqual(fractions[-1], 1.0)
        with self.assertRaises(plexan.Cancelled):
            plexan.density_map([stack], "nuclei", (12, 10, 6), progress=lambda fraction, text: False)
        with self.assertRaises(plexan.ValueError) as caught:
            plexan.density_map([stack], "organ", (4, 4, 4))
        self.assertTrue(caught.exception.where)


class FusionTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stacks = [plexan.read_stack(SAMPLE), plexan.read_stack(SAMPLE)]

    def structures(self):
        return [{"name": "organ", "height": 8, "width": 12}, {"name": "lumen", "height": 6, "width": 10}]

    def test_two_copies_of_one_specimen_fuse_onto_each_other(self):
        fusion = plexan.Fusion(self.stacks, self.structures(), alignment=True, registration="global")
        texts = []
        fusion.run(progress=lambda fraction, text: texts.append(text))
        self.assertTrue(fusion.completed)
        self.assertEqual(fusion.structures, ["duct", "lumen", "nuclei", "organ"])
        np.testing.assert_allclose(fusion.distances, 0, atol=1e-9)
        first, second = fusion.shape_sets
        self.assertEqual(first["organ"].shape, (8, 12, 3))
        self.assertEqual(first["lumen"].shape, (6, 10, 3))
        self.assertEqual(first["nuclei"].shape, (36, 3))
        np.testing.assert_allclose(first["organ"], second["organ"], atol=1e-9)
        np.testing.assert_allclose(fusion.mean["organ"], first["organ"], atol=1e-9)
        # Alignment puts the references' centre at the origin.
        references = np.vstack([first["organ"].reshape(-1, 3), first["lumen"].reshape(-1, 3)])
        np.testing.assert_allclose(references.mean(axis=0), 0, atol=1e-6)
        self.assertIn("Normalization completed", texts)
        self.assertIn("organ", fusion.log)

    def test_a_callback_cancels_and_nothing_is_kept(self):
        fusion = plexan.Fusion(self.stacks, self.structures(), alignment=True, registration="global")
        with self.assertRaises(plexan.Cancelled):
            fusion.run(progress=lambda fraction, text: text != "Aligning shapes...")
        self.assertFalse(fusion.completed)
        self.assertEqual(fusion.shape_sets, [])
        self.assertIsNone(fusion.mean)

    def test_cancel_from_another_thread(self):
        fusion = plexan.Fusion(self.stacks, self.structures(), alignment=True, registration="global")
        started, cancelled = threading.Event(), threading.Event()
        outcome = []

        def progress(fraction, text):
            if not started.is_set():
                started.set()
                cancelled.wait(30)

        def run():
            try:
                fusion.run(progress=progress)
                outcome.append("completed")
            except plexan.Cancelled:
                outcome.append("cancelled")

        worker = threading.Thread(target=run)
        worker.start()
        self.assertTrue(started.wait(30))
        fusion.cancel()
        cancelled.set()
        worker.join(60)
        self.assertEqual(outcome, ["cancelled"])

    def test_callback_exceptions_reach_the_caller(self):
        fusion = plexan.Fusion(self.stacks, ["organ"], alignment=True)

        def progress(fraction, text):
            raise KeyError("from the callback")

        with self.assertRaises(KeyError):
            fusion.run(progress=progress)
        self.assertEqual(fusion.shape_sets, [])


if __name__ == "__main__":
    unittest.main()
