"""Isosurfaces and contour triangulations: the same meshes as plexan-cli makes
from the same volume, and measures against analytic ones."""

import unittest

import numpy as np

import plexan
from support import ScratchTestCase, parse_tsv, run_cli


def mesh_area(vertices, faces):
    v = vertices.astype(np.float64)
    a, b, c = v[faces[:, 0]], v[faces[:, 1]], v[faces[:, 2]]
    return 0.5 * np.linalg.norm(np.cross(b - a, c - a), axis=1).sum()


def mesh_volume(vertices, faces):
    v = vertices.astype(np.float64)
    a, b, c = v[faces[:, 0]], v[faces[:, 1]], v[faces[:, 2]]
    return np.einsum("ij,ij->i", a, np.cross(b, c)).sum() / 6


def ball(shape, centre, radius):
    k, i, j = np.indices(shape)
    return radius - np.sqrt((k - centre[0]) ** 2 + (i - centre[1]) ** 2 + (j - centre[2]) ** 2)


class MarchingCubesTest(ScratchTestCase):
    def test_same_mesh_as_the_command_line_tool(self):
        rng = np.random.default_rng(13)
        field = ball((9, 12, 14), (4, 6, 6.5), 4.2) + 0.3 * rng.standard_normal((9, 12, 14))
        volume = plexan.VoxelMatrix(field.astype(np.float32), voxel_size=(0.5, 0.75, 2.0), unit=-6)
        path = self.path("field.vm")
        volume.save(path)
        for closed in (True, False):
            with self.subTest(closed=closed):
                arguments = [path, "--iso", "0.25", "-o", self.path("mesh.stl")] + ([] if closed else ["--open"])
                expected = parse_tsv(run_cli("isosurface", *arguments))[0]
                vertices, faces, normals = plexan.marching_cubes(volume, 0.25, closed=closed)
                self.assertEqual(len(vertices), int(expected["vertices"]))
                self.assertEqual(len(faces), int(expected["triangles"]))
                self.assertAlmostEqual(mesh_area(vertices, faces) / float(expected["area [µm^2]"]), 1, places=5)
                if closed:  # an open surface encloses no volume
                    self.assertAlmostEqual(mesh_volume(vertices, faces) / float(expected["volume [µm^3]"]), 1, places=5)
                self.assertEqual(vertices.dtype, np.float32)
                self.assertEqual(faces.dtype, np.uint32)
                np.testing.assert_allclose(np.linalg.norm(normals, axis=1), 1, rtol=1e-5)

    def test_vertices_follow_rows_columns_planes_and_the_voxel_size(self):
        # A ball off-centre in every axis: its mesh centre is its centre in
        # (row, column, plane) order, scaled.
        field = ball((20, 24, 28), (8, 13, 15), 5)
        vertices, faces, _ = plexan.marching_cubes(field, 0.0, voxel_size=(2.0, 3.0, 5.0))
        centre = vertices.astype(np.float64).mean(axis=0)
        np.testing.assert_allclose(centre, [13 * 2.0, 15 * 3.0, 8 * 5.0], rtol=1e-3)
        self.assertAlmostEqual(mesh_volume(vertices, faces) / (4 / 3 * np.pi * 125 * 30), 1, delta=0.05)
        volume = plexan.VoxelMatrix(field, voxel_size=(2.0, 3.0, 5.0))
        assert_same = np.testing.assert_array_equal
        assert_same(plexan.marching_cubes(volume, 0.0)[0], vertices)

    def test_one_voxel_and_empty_volumes(self):
        one = np.zeros((3, 3, 3), np.uint8)
        one[1, 1, 1] = 1
        # Regression: the level 0.5 was truncated to 0 for integer volumes,
        # which made every voxel inside.
        for volume in (one, one.astype(np.float32)):
            vertices, faces, _ = plexan.marching_cubes(volume, 0.5)
            self.assertEqual((len(vertices), len(faces)), (6, 8))
            self.assertGreater(mesh_volume(vertices, faces), 0)
            np.testing.assert_allclose(vertices.mean(axis=0), [1, 1, 1])
        for closed in (True, False):
            vertices, faces, _ = plexan.marching_cubes(np.zeros((4, 4, 4)), 1.0, closed=closed)
            self.assertEqual((vertices.shape, faces.shape), ((0, 3), (0, 3)))


class ContourTriangulationTest(unittest.TestCase):
    def test_bands_of_closed_contours(self):
        square = np.array([[0, 0], [1, 0], [1, 1], [0, 1]], float)
        pentagon = np.array([[np.cos(t), np.sin(t)] for t in np.linspace(0, 2 * np.pi, 5, endpoint=False)])
        contours = [np.c_[square, np.zeros(4)], np.c_[pentagon, np.ones(5)]]
        for method in (1, 2, 3, 4):
            with self.subTest(method=method):
                vertices, faces, _ = plexan.triangulate_contours(contours, method=method)
                np.testing.assert_array_equal(vertices, np.vstack(contours))
                self.assertEqual(len(faces), 4 + 5)
                self.assertEqual(sorted(set(faces.ravel())), list(range(9)))

    def test_a_stack_of_circles_skins_a_cylinder(self):
        angles = np.linspace(0, 2 * np.pi, 64, endpoint=False)
        circle = np.c_[3 * np.cos(angles), 3 * np.sin(angles)]
        contours = [np.c_[circle, np.full(64, z)] for z in np.arange(6.0)]
        vertices, faces, normals = plexan.triangulate_contours(contours)
        lateral = 5 * 64 * 2 * 3 * np.sin(np.pi / 64)
        self.assertAlmostEqual(mesh_area(vertices, faces), lateral, places=6)
        self.assertEqual(len(faces), 5 * 128)
        # Open polylines: m + n - 2 triangles a band.
        _, faces, _ = plexan.triangulate_contours([c[:10] for c in contours], closed=False)
        self.assertEqual(len(faces), 5 * 18)


if __name__ == "__main__":
    unittest.main()
