"""Library failures as Python exceptions: one class per library class under
plexan.Error, the where, what, calls and file texts, and the built-in classes
they also belong to."""

import pickle
import unittest

import numpy as np

import plexan
from support import SAMPLE, ScratchTestCase


class ErrorTest(ScratchTestCase):
    def test_classes_follow_the_library_hierarchy(self):
        for name in ["ValueError", "UsageError", "TypeError", "SizeError", "RangeError", "ProgramError",
                     "MathError", "DepthError", "ColormapError", "FileError"]:
            self.assertTrue(issubclass(getattr(plexan, name), plexan.Error), name)
        for name in ["FileReadError", "FileWriteError", "FileFormatError"]:
            self.assertTrue(issubclass(getattr(plexan, name), plexan.FileError), name)
        self.assertTrue(issubclass(plexan.ValueError, ValueError))
        self.assertTrue(issubclass(plexan.TypeError, TypeError))
        self.assertTrue(issubclass(plexan.FileError, OSError))
        self.assertFalse(issubclass(plexan.Cancelled, plexan.Error))

    def test_file_errors_name_the_file(self):
        missing = self.path("missing.vm")
        with self.assertRaises(plexan.FileReadError) as caught:
            plexan.VoxelMatrix.load(missing, dtype=np.float32)
        error = caught.exception
        self.assertEqual(error.what, "Cannot open file for reading")
        self.assertEqual(error.where, "void VoxelMatrix<T>::load(const string&)")
        self.assertEqual(error.file, missing)
        self.assertEqual(str(error), f"{missing}: Cannot open file for reading (in void VoxelMatrix<T>::load(const string&))")
        self.assertIsInstance(error, OSError)

        truncated = self.path("truncated.vm")
        plexan.VoxelMatrix(np.zeros((2, 3, 4), np.float32)).save(truncated)
        with open(truncated, "r+b") as stream:
            stream.truncate(60)
        with self.assertRaises(plexan.FileFormatError) as caught:
            plexan.read_volume(truncated)
        self.assertIn("exceed the file length", caught.exception.what)
        self.assertEqual(caught.exception.file, truncated)

    def test_type_errors_and_the_calls_they_passed(self):
        path = self.path("floats.vm")
        plexan.VoxelMatrix(np.zeros((1, 2, 2), np.float32)).save(path)
        with self.assertRaises(plexan.TypeError) as caught:
            plexan.VoxelMatrix.load(path, dtype=np.int32)
        error = caught.exception
        self.assertEqual(error.what, "Type mismatch between template instantiation and file contents")
        self.assertIn("void VoxelMatrix<T>::load(const string&)", error.calls)
        self.assertIsInstance(error, TypeError)

    def test_value_errors(self):
        stack = plexan.read_stack(SAMPLE)
        with self.assertRaises(plexan.ValueError) as caught:
            plexan.density_map([stack], "nuclei", (4, 4, 4), k=0)
        self.assertTrue(caught.exception.what)
        self.assertTrue(caught.exception.where)

    def test_errors_survive_pickling(self):
        error = plexan.FileWriteError("File already exists", where="somewhere", calls="[1] f", file="a.tif")
        copy = pickle.loads(pickle.dumps(error))
        self.assertEqual((type(copy), copy.what, copy.where, copy.calls, copy.file),
                         (plexan.FileWriteError, "File already exists", "somewhere", "[1] f", "a.tif"))


if __name__ == "__main__":
    unittest.main()
