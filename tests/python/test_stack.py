"""Stacks: reading the sample, its slices, models and items, the measures
plexan-cli prints, 3D placement, writing and reading back, adding models and
items, registration and the volume of the slice images."""

import os
import unittest

import numpy as np

import plexan
from support import SAMPLE, ScratchTestCase, assert_identical, parse_tsv, run_cli


def same_cells(test, expected_rows, rows):
    """The rows of a plexan-cli table (texts) and of Stack.measure (values)."""
    test.assertEqual(len(expected_rows), len(rows))
    for expected, row in zip(expected_rows, rows):
        test.assertEqual(list(expected), list(row))
        for key, text in expected.items():
            value = row[key]
            if text == "NA":
                test.assertIsNone(value)
            elif isinstance(value, str):
                test.assertEqual(text, value)
            else:
                test.assertEqual(float(text), value, key)


class StackTest(ScratchTestCase):
    @classmethod
    def setUpClass(cls):
        cls.stack = plexan.read_stack(SAMPLE)

    def test_the_sample_as_read(self):
        s = self.stack
        self.assertEqual((s.name, s.fatal_errors, s.log, s.unit, s.unit_symbol), ("sample", 0, [], -6, "µm"))
        self.assertEqual([slice.name for slice in s.slices], [f"s{k:02d}" for k in range(1, 31)])
        self.assertEqual([(m.name, m.geometry) for m in s.models],
                         [("organ", "polygon"), ("lumen", "polygon"), ("duct", "polyline"), ("nuclei", "polypoint")])
        third = s.slice("s03")
        self.assertEqual((third.index, third.position, third.spacing, third.size), (2, 8.0, 4.0, (256, 256)))
        self.assertTrue(third.image_file.endswith("slice03.tif"))
        self.assertAlmostEqual(third.pixel_width, 0.8, places=6)
        # Every item is listed by its model and its slice.
        for model in s.models:
            for item in model.items:
                self.assertEqual(item.model, model)
                self.assertIn(item, item.slice.items)
        with self.assertRaises(KeyError):
            s.model("heart")

    def test_measures_are_those_of_the_command_line_tool(self):
        for geometry in ("polygon", "polyline", "polypoint"):
            with self.subTest(geometry=geometry):
                # The library's table is the literal triangulation's; the tool
                # names its triangulation in a last column.
                expected = parse_tsv(run_cli("measure", SAMPLE, "--geometry", geometry,
                                             "--triangulation", "literal"))
                for row in expected:
                    self.assertEqual(row.pop("Triangulation", "literal"), "literal")
                same_cells(self, expected, self.stack.measure(geometry))
        for model in ("lumen", "duct", "nuclei"):
            with self.subTest(model=model):
                expected = parse_tsv(run_cli("measure", SAMPLE, "--model", model))
                same_cells(self, expected, self.stack.measure(model=model))

    def test_morphometry_of_the_points_placed_in_3d(self):
        measures = self.stack.morphometry("organ")
        points = np.vstack(self.stack.contours("organ"))
        self.assertEqual(measures["vertices"], len(points))
        self.assertEqual(measures["contours"], len(self.stack.model("organ").items))
        np.testing.assert_allclose(measures["centre"], points.mean(axis=0), rtol=1e-12, atol=1e-12)
        spread = np.linalg.eigvalsh(np.cov(points.T, bias=True))[::-1]
        np.testing.assert_allclose(measures["axis_lengths"], np.sqrt(spread), rtol=1e-9)
        axes = measures["axes"]
        np.testing.assert_allclose(axes.T @ axes, np.eye(3), atol=1e-12)
        self.assertAlmostEqual(np.linalg.det(axes), 1.0, places=12)
        row = [r for r in self.stack.measure() if r["Model"] == "organ"][0]
        self.assertEqual(measures["area"], row["Area [µm^2]"])
        self.assertEqual(measures["volume"], row["Volume [µm^3]"])
        # The surface of the contours has the area the table reports.
        vertices, faces = self.stack.surface("organ")
        a, b, c = vertices[faces[:, 0]], vertices[faces[:, 1]], vertices[faces[:, 2]]
        area = 0.5 * np.linalg.norm(np.cross(b - a, c - a), axis=1).sum()
        self.assertAlmostEqual(area / row["Area [µm^2]"], 1, places=9)

    def test_items_in_3d_follow_pixel_size_and_position(self):
        item = self.stack.model("lumen").items[0]
        points = item.points()
        pixels = item.vertices.astype(np.float64)
        self.assertTrue(np.all(points[:, 2] == item.slice.position))
        # No registration: the pixels are centred on the image centre, scaled,
        # and the image's y axis turned up.
        np.testing.assert_allclose(points[:, 0], (pixels[:, 0] - 128) * 0.8, atol=0.8)
        np.testing.assert_allclose(points[:, 1], -(pixels[:, 1] - 128) * 0.8, atol=0.8)
        np.testing.assert_allclose(np.diff(points[:, :2], axis=0), np.diff(pixels, axis=0) * [0.8, -0.8], rtol=1e-6)

    def test_writing_and_reading_back(self):
        stack = plexan.read_stack(SAMPLE)
        stack.slice("s05").registration = (3, -2, 12.5)
        added = stack.add_model("marks", "polypoint")
        added.add_item(stack.slice("s07"), [[10, 20], [30, 40]])
        path = self.path("copy.sdf")
        stack.write(path)
        back = plexan.read_stack(path)
        self.assertEqual((back.fatal_errors, back.log), (0, []))
        self.assertEqual(back.slice("s05").registration, (3, -2, 12.5))
        self.assertEqual([m.name for m in back.models], [m.name for m in stack.models])
        for model in stack.models:
            for before, after in zip(model.items, back.model(model.name).items):
                self.assertEqual(before.slice.name, after.slice.name)
                assert_identical(self, before.vertices, after.vertices)
        assert_identical(self, np.array([[10, 20], [30, 40]], np.int32), back.model("marks").items[0].vertices)
        # Saved over: refused unless asked, then the previous file is kept as ~1.
        with self.assertRaises(plexan.FileWriteError):
            back.write(path)
        back.name = "renamed"
        back.write(path, overwrite=True)
        self.assertEqual(plexan.read_stack(path).name, "renamed")
        with open(path + "~1") as previous:
            self.assertIn('STACK "sample";', previous.read())
        self.assertEqual(sorted(os.listdir(self.scratch)), ["copy.sdf", "copy.sdf~1"])

    def test_registration_is_that_of_the_command_line_tool(self):
        registered = self.path("registered.sdf")
        expected = parse_tsv(run_cli("register", SAMPLE, "-o", registered, "--method", "principal-axes"))
        stack = plexan.read_stack(SAMPLE)
        registrations = stack.register_slices()
        self.assertEqual(registrations[0], (0, 0, 0.0))
        self.assertEqual(len(expected), 29)
        for row, (horizontal, vertical, angle) in zip(expected, registrations[1:]):
            self.assertEqual((int(row["horizontal shift"]), int(row["vertical shift"])), (horizontal, vertical))
            self.assertAlmostEqual(float(row["rotation angle"]), angle, places=5)
        self.assertEqual(registrations, [s.registration for s in stack.slices])
        # A callback that says stop keeps the slices done so far.
        stack = plexan.read_stack(SAMPLE)
        seen = []
        with self.assertRaises(plexan.Cancelled):
            stack.register_slices(progress=lambda fraction, text: seen.append(fraction) or len(seen) < 3)
        done = [s.registration != (0, 0, 0.0) for s in stack.slices]
        self.assertTrue(any(done[1:]))
        self.assertFalse(all(done[1:]))

    def test_volume_of_the_slice_images(self):
        path = self.path("sample.vm")
        run_cli("stack-to-volume", SAMPLE, path)
        expected = plexan.read_volume(path)
        volume = self.stack.to_volume()
        assert_identical(self, expected.array, volume.array)
        self.assertEqual((volume.voxel_size, volume.unit), (expected.voxel_size, expected.unit))
        self.assertEqual(self.stack.to_volume(dtype=np.int32).dtype, np.int32)

    def test_unreadable_stacks(self):
        with self.assertRaises(plexan.FileReadError) as caught:
            plexan.read_stack(self.path("missing.sdf"))
        self.assertEqual(caught.exception.what, "Cannot open stack file for reading")
        broken = self.path("broken.sdf")
        with open(broken, "w") as stream:
            stream.write('STACK "broken";\nSLICE "a" "nowhere.tif";\nNOSUCHWORD 1;\n')
        stack = plexan.read_stack(broken)
        self.assertEqual(stack.name, "broken")
        self.assertGreaterEqual(stack.fatal_errors, 1)
        self.assertTrue(any("nowhere.tif" in line for line in stack.log))


if __name__ == "__main__":
    unittest.main()
