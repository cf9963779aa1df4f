"""Long computations run without the GIL: other Python threads go on while a
filter, marching cubes or a density map is computed in one thread."""

import threading
import time
import unittest

import numpy as np

import plexan


def main_thread_share(compute):
    """Runs compute() in a worker and returns the largest share of its run
    during which the main thread could not run Python code."""
    window = []

    def work():
        start = time.perf_counter()
        compute()
        window.extend([start, time.perf_counter()])

    ticks = []
    worker = threading.Thread(target=work)
    worker.start()
    while worker.is_alive():
        ticks.append(time.perf_counter())
    worker.join()
    start, end = window
    inside = [start] + [t for t in ticks if start < t < end] + [end]
    return max(np.diff(inside)) / (end - start), end - start


class GilTest(unittest.TestCase):
    def check(self, compute):
        # With the GIL held the main thread would stand still for the whole
        # run; without it no pause comes near that.
        blocked, duration = main_thread_share(compute)
        self.assertGreater(duration, 0.005, "the computation is too short to tell")
        self.assertLess(blocked, 0.5)

    def test_filters(self):
        rng = np.random.default_rng(23)
        small = rng.standard_normal((24, 48, 48))
        self.check(lambda: plexan.median_filter(small, half_size=1))
        large = rng.standard_normal((48, 96, 96))
        self.check(lambda: plexan.gaussian_filter(large, 3.0))

    def test_marching_cubes(self):
        k, i, j = np.indices((48, 48, 48))
        field = np.sin(k / 3.0) + np.cos(i / 4.0) * np.sin(j / 5.0)
        self.check(lambda: plexan.marching_cubes(field, 0.1))

    def test_density(self):
        points = [np.random.default_rng(31).random((300, 3)) * 10]
        self.check(lambda: plexan.point_density(points, (30, 30, 30), (0, 0, 0), (10, 10, 10), k=4))


if __name__ == "__main__":
    unittest.main()
