"""Plexan: rebuild, measure and compare 3D structures from stacks of images.

The library's pixel and voxel matrices are numpy arrays: a pixel matrix of
rows x columns is an array of shape (rows, columns); a voxel matrix, a stack
of planes, is an array of shape (planes, rows, columns), so that its element
(i, j, k) (row, column, plane) is array[k, i, j]. Coordinates (mesh
vertices, voxel sizes) keep the library's (i, j, k) order. Arrays that are
C-contiguous, of native byte order and of one of the library's element
types (int8, uint8, int16, uint16, int32, uint32, float32, float64,
longdouble, and bool for pixel matrices) are used without copy.

    import plexan
    stack = plexan.read_stack("data/sample/sample.sdf")
    for row in stack.measure():
        print(row["Model"], row["Volume [µm^3]"])
    volume = stack.to_volume()
    vertices, faces, normals = plexan.marching_cubes(volume, 70)

Failures are the exceptions of plexan.errors (all derived from plexan.Error),
carrying the library's where and what texts. Long computations release the
GIL; their progress callbacks, progress(fraction, text), run with it and may
return False to cancel (plexan.Cancelled is then raised).
"""

from .errors import *  # noqa: F401,F403
from .errors import __all__ as _errors
from ._plexan import (  # noqa: F401
    Fusion, Image, Model, ModelItem, PixelMatrix, Slice, Stack, VoxelMatrix,
    boundaries, density_map, deriche_gradient, dilate, erode, expand_histogram,
    extract_contour, gaussian_filter, gradient_angle, hysteresis_threshold,
    isodata_threshold, isotropy_filter, label, level_set_mask, marching_cubes,
    max_filter, mean_filter, median_filter, min_filter, nonmax_suppression,
    point_density, read_image, read_stack, read_volume, resize, separable_filter,
    sum_filter, threshold, triangulate_contours, write_image,
)

__all__ = list(_errors) + [
    "Fusion", "Image", "Model", "ModelItem", "PixelMatrix", "Slice", "Stack", "VoxelMatrix",
    "boundaries", "density_map", "deriche_gradient", "dilate", "erode", "expand_histogram",
    "extract_contour", "gaussian_filter", "gradient_angle", "hysteresis_threshold",
    "isodata_threshold", "isotropy_filter", "label", "level_set_mask", "marching_cubes",
    "max_filter", "mean_filter", "median_filter", "min_filter", "nonmax_suppression",
    "point_density", "read_image", "read_stack", "read_volume", "resize", "separable_filter",
    "sum_filter", "threshold", "triangulate_contours", "write_image",
]
