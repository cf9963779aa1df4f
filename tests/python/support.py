"""Shared helpers of the Python tests: the sample, plexan-cli, scratch folders."""

import os
import subprocess
import tempfile
import unittest

import numpy as np

SAMPLE_DIR = os.environ.get("PLEXAN_SAMPLE_DIR", os.path.join(os.path.dirname(__file__), "../../data/sample"))
SAMPLE = os.path.join(SAMPLE_DIR, "sample.sdf")
CLI = os.environ.get("PLEXAN_CLI", "plexan-cli")

# Every element type of the library's matrices, as numpy dtypes.
VOXEL_TYPES = [np.int8, np.uint8, np.int16, np.uint16, np.int32, np.uint32,
               np.float32, np.float64, np.longdouble]
PIXEL_TYPES = VOXEL_TYPES + [np.bool_]


def run_cli(*arguments):
    """Runs plexan-cli and returns its standard output (failing the test on a non-zero exit)."""
    done = subprocess.run([CLI, *map(str, arguments)], capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"plexan-cli {' '.join(map(str, arguments))} failed:\n{done.stderr}")
    return done.stdout


def parse_tsv(text):
    """The rows of a tab-separated table as dicts of texts."""
    lines = text.strip("\n").split("\n")
    headers = lines[0].split("\t")
    return [dict(zip(headers, line.split("\t"))) for line in lines[1:]]


def random_values(dtype, shape, rng):
    """Values spread over the whole range of an element type: its extremes,
    and for real types infinities, signed zeros, subnormals and large and
    small magnitudes."""
    dtype = np.dtype(dtype)
    if dtype == np.bool_:
        return rng.integers(0, 2, size=shape).astype(np.bool_)
    if dtype.kind in "iu":
        info = np.iinfo(dtype)
        values = rng.integers(info.min, info.max, size=shape, endpoint=True, dtype=np.int64).astype(dtype)
        flat = values.reshape(-1)
        flat[:2] = [info.min, info.max][: flat.size]
        return values
    info = np.finfo(dtype)
    mantissa = rng.standard_normal(size=shape).astype(dtype)
    exponent = rng.integers(info.minexp // 2, info.maxexp // 2, size=shape)
    values = np.ldexp(mantissa, exponent).astype(dtype)
    flat = values.reshape(-1)
    specials = np.array([np.inf, -np.inf, -0.0, info.tiny / 4, info.max, -info.tiny], dtype=dtype)
    flat[: min(flat.size, specials.size)] = specials[: flat.size]
    return values


def assert_identical(test, expected, actual):
    """Same dtype, shape, values and (for reals) signs of zeros."""
    test.assertEqual(np.asarray(expected).dtype, np.asarray(actual).dtype)
    test.assertEqual(np.shape(expected), np.shape(actual))
    test.assertTrue(np.array_equal(expected, actual), f"{expected!r} != {actual!r}")
    if np.asarray(expected).dtype.kind == "f":
        test.assertTrue(np.array_equal(np.signbit(expected), np.signbit(actual)))


class ScratchTestCase(unittest.TestCase):
    """A test case with a private scratch folder, self.scratch."""

    def setUp(self):
        self._scratch = tempfile.TemporaryDirectory(prefix="plexan-python-")
        self.scratch = self._scratch.name

    def tearDown(self):
        self._scratch.cleanup()

    def path(self, name):
        return os.path.join(self.scratch, name)
