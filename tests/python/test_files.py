"""Slice images: TIFF and IMG files written from arrays and read back, colormaps,
refusals that leave existing files alone."""

import os
import unittest

import numpy as np

import plexan
from support import SAMPLE_DIR, ScratchTestCase, assert_identical


class ImageFileTest(ScratchTestCase):
    def test_every_depth_round_trips_through_tiff(self):
        rng = np.random.default_rng(5)
        cases = {
            8: rng.integers(0, 256, (17, 23), dtype=np.uint8),
            16: rng.integers(0, 65536, (9, 31), dtype=np.uint16),
            24: rng.integers(0, 256, (12, 10, 3), dtype=np.uint8),
            32: rng.integers(0, 256, (5, 6, 4), dtype=np.uint8),
        }
        for depth, pixels in cases.items():
            with self.subTest(depth=depth):
                path = self.path(f"depth{depth}.tif")
                plexan.write_image(path, pixels)
                image = plexan.read_image(path)
                self.assertEqual(image.depth, depth)
                self.assertEqual(image.format, "Tiff")
                self.assertIsNone(image.colormap)
                assert_identical(self, pixels, image.array)
                assert_identical(self, pixels, np.asarray(image))

    def test_indexed_images_keep_their_colormap(self):
        indices = np.arange(64, dtype=np.uint8).reshape(8, 8) % 16
        colormap = np.stack([np.arange(16) * 16, 255 - np.arange(16) * 16, np.full(16, 7)], axis=1).astype(np.uint8)
        path = self.path("indexed.tif")
        plexan.write_image(path, indices, colormap=colormap)
        image = plexan.read_image(path)
        assert_identical(self, indices, image.array)
        # A palette holds 256 cells; the written ones come back.
        assert_identical(self, colormap, image.colormap[:16])
        again = self.path("again.tif")
        plexan.write_image(again, image)
        assert_identical(self, image.colormap, plexan.read_image(again).colormap)

    def test_img_files_hold_512_by_512_grey_bytes(self):
        pixels = (np.add.outer(np.arange(512), 3 * np.arange(512)) % 251).astype(np.uint8)
        path = self.path("slice.img")
        plexan.write_image(path, pixels)
        with open(path, "rb") as stream:
            self.assertEqual(stream.read(4), b"0000")
        self.assertEqual(os.path.getsize(path), 12 + 512 * 512)
        image = plexan.read_image(path)
        self.assertEqual(image.format, "IMG")
        assert_identical(self, pixels, image.array)
        with self.assertRaises(plexan.FileWriteError):
            plexan.write_image(self.path("small.img"), pixels[:100, :100])
        self.assertFalse(os.path.exists(self.path("small.img")))

    def test_existing_files_are_refused_and_kept(self):
        path = self.path("kept.tif")
        first = np.full((4, 4), 9, np.uint8)
        plexan.write_image(path, first)
        with self.assertRaises(plexan.FileWriteError) as caught:
            plexan.write_image(path, first + 1)
        self.assertEqual(caught.exception.what, "File already exists")
        self.assertEqual(caught.exception.file, path)
        assert_identical(self, first, plexan.read_image(path).array)
        plexan.write_image(path, first + 1, overwrite=True)
        assert_identical(self, first + 1, plexan.read_image(path).array)
        self.assertEqual(sorted(os.listdir(self.scratch)), ["kept.tif"])

    def test_unreadable_and_unwritable_images(self):
        with self.assertRaises(plexan.Error) as caught:
            plexan.read_image(self.path("missing.tif"))
        self.assertIn("ImageReader::read", caught.exception.calls + caught.exception.where)
        with self.assertRaises(TypeError):
            plexan.write_image(self.path("wide.tif"), np.zeros((3, 3), np.int32))
        with self.assertRaises(ValueError):
            plexan.write_image(self.path("rgb.tif"), np.zeros((3, 3, 3), np.uint8), colormap=np.zeros((4, 3), np.uint8))

    def test_sample_slices_read_as_the_stack_volume_holds_them(self):
        stack = plexan.read_stack(os.path.join(SAMPLE_DIR, "sample.sdf"))
        volume = stack.to_volume(dtype="float32")
        for k in (0, 13, 29):
            image = plexan.read_image(os.path.join(SAMPLE_DIR, "images", f"slice{k + 1:02d}.tif"))
            assert_identical(self, image.array.astype(np.float32), volume.array[k])
            assert_identical(self, image.array, stack.slices[k].read_image())


if __name__ == "__main__":
    unittest.main()
