"""Pixel and voxel matrices over numpy arrays: the axis order, sharing without
copy, exact round trips of every element type through the library's own
matrices and through voxel-matrix files."""

import unittest

import numpy as np

import plexan
from support import PIXEL_TYPES, VOXEL_TYPES, ScratchTestCase, assert_identical, random_values


class PixelMatrixTest(unittest.TestCase):
    def test_every_type_round_trips_through_a_library_copy(self):
        rng = np.random.default_rng(1)
        for dtype in PIXEL_TYPES:
            with self.subTest(dtype=np.dtype(dtype).name):
                a = random_values(dtype, (5, 7), rng)
                m = plexan.PixelMatrix(a)
                copy = m.copy()  # the library's deep copy into rows of its own
                assert_identical(self, a, np.asarray(copy))
                assert_identical(self, a.ravel(), m.cat())
                assert_identical(self, a.T, np.asarray(m.transpose()))
                # Element (i, j) as the library indexes it is array[i, j].
                for i, j in [(0, 0), (4, 6), (2, 5)]:
                    self.assertEqual(m.element(i, j), a[i, j])
                    self.assertEqual(type(m.element(i, j)), type(a[i, j]))

    def test_contiguous_arrays_are_shared_and_others_copied(self):
        a = np.arange(12, dtype=np.float32).reshape(3, 4)
        shared = plexan.PixelMatrix(a, copy=False)
        self.assertIs(np.asarray(shared), a)
        a[1, 2] = -5
        self.assertEqual(shared.element(1, 2), -5)
        self.assertFalse(np.shares_memory(np.asarray(plexan.PixelMatrix(a)), a))
        strided = np.arange(48, dtype=np.int16).reshape(6, 8)[::2, 1::3]
        m = plexan.PixelMatrix(strided, copy=False)
        assert_identical(self, strided, m.copy().array)
        swapped = np.arange(6, dtype=">i4").reshape(2, 3)
        m = plexan.PixelMatrix(swapped, copy=False)
        self.assertEqual(m.dtype, np.int32)
        self.assertTrue(np.array_equal(m.copy().array, swapped))

    def test_types_the_library_lacks_are_refused(self):
        for dtype in [np.int64, np.uint64, np.complex64, np.float16]:
            with self.subTest(dtype=np.dtype(dtype).name):
                with self.assertRaises(TypeError) as caught:
                    plexan.PixelMatrix(np.zeros((2, 2), dtype))
                self.assertIn("int32", str(caught.exception))
        with self.assertRaises(ValueError):
            plexan.PixelMatrix(np.zeros((2, 2, 2), np.int32))


class VoxelMatrixTest(ScratchTestCase):
    def test_every_type_round_trips_through_a_library_copy(self):
        rng = np.random.default_rng(2)
        for dtype in VOXEL_TYPES:
            with self.subTest(dtype=np.dtype(dtype).name):
                a = random_values(dtype, (3, 4, 5), rng)
                v = plexan.VoxelMatrix(a, voxel_size=(0.5, 0.25, 2.0), unit=-6)
                copy = v.copy()
                assert_identical(self, a, copy.array)
                self.assertEqual(copy.voxel_size, (0.5, 0.25, 2.0))
                self.assertEqual(copy.unit, -6)
                assert_identical(self, a.ravel(), v.cat())
                # Element (i, j, k), row i, column j of plane k, is array[k, i, j].
                for i, j, k in [(0, 0, 0), (3, 4, 2), (1, 3, 2), (2, 0, 1)]:
                    self.assertEqual(v.element(i, j, k), a[k, i, j])

    def test_every_type_round_trips_through_a_file(self):
        rng = np.random.default_rng(3)
        for dtype in VOXEL_TYPES:
            with self.subTest(dtype=np.dtype(dtype).name):
                a = random_values(dtype, (2, 3, 4), rng)
                path = self.path(f"{np.dtype(dtype).name}.vm")
                plexan.VoxelMatrix(a, voxel_size=(0.8, 0.7, 4.0), unit=-3).save(path)
                back = plexan.VoxelMatrix.load(path, dtype=dtype)
                assert_identical(self, a, back.array)
                self.assertEqual(back.voxel_size, tuple(np.float32([0.8, 0.7, 4.0])))
                self.assertEqual(back.unit, -3)
                self.assertEqual(back.unit_symbol, "mm")
                # Without a dtype the file's own type is read, signed 8- and
                # 16-bit voxels keeping their sign.
                assert_identical(self, a, plexan.read_volume(path).array)

    def test_projections_and_range_agree_with_numpy(self):
        rng = np.random.default_rng(4)
        a = rng.integers(-1000, 1000, size=(6, 5, 4)).astype(np.int32)
        v = plexan.VoxelMatrix(a)
        assert_identical(self, a.max(axis=0), v.projection("max"))
        assert_identical(self, a.min(axis=0), v.projection("min"))
        assert_identical(self, a.sum(axis=0, dtype=np.int32), v.projection("sum"))
        self.assertEqual(v.range(), (a.min(), a.max()))

    def test_shared_memory_and_refusals(self):
        a = np.zeros((2, 3, 4), np.float64)
        v = plexan.VoxelMatrix(a, copy=False)
        self.assertIs(v.array, a)
        self.assertIs(np.asarray(v), a)
        a[1, 2, 3] = 7
        self.assertEqual(v.element(2, 3, 1), 7)
        with self.assertRaises(TypeError):
            plexan.VoxelMatrix(np.zeros((2, 2, 2), np.bool_))
        with self.assertRaises(IndexError):
            v.element(3, 0, 0)
        with self.assertRaises(ValueError):
            v.projection("mean")

    def test_saving_never_replaces_a_file_unless_asked(self):
        path = self.path("kept.vm")
        first = np.arange(8, dtype=np.float32).reshape(2, 2, 2)
        plexan.VoxelMatrix(first).save(path)
        with self.assertRaises(plexan.FileWriteError) as caught:
            plexan.VoxelMatrix(first + 1).save(path)
        self.assertEqual(caught.exception.what, "File already exists")
        self.assertEqual(caught.exception.file, path)
        assert_identical(self, first, plexan.read_volume(path).array)
        plexan.VoxelMatrix(first + 1).save(path, overwrite=True)
        assert_identical(self, first + 1, plexan.read_volume(path).array)


if __name__ == "__main__":
    unittest.main()
