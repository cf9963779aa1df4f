"""Opens the sample specimen, measures its models and draws its organ and
lumen surfaces with the nuclei, and an isosurface of its slice images.

    PYTHONPATH=build/release/python python3 docs/python/example.py [OUT.png]

Writes docs/images/python-example.png (or OUT.png).
"""

import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import plexan  # noqa: E402

here = os.path.dirname(os.path.abspath(__file__))
sample = os.path.join(here, "..", "..", "data", "sample", "sample.sdf")
output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "images", "python-example.png")

stack = plexan.read_stack(sample)
print(f"{stack.name}: {len(stack.slices)} slices, models {[m.name for m in stack.models]}")

# The sections were cut and laid on their slides slightly shifted and turned:
# register every slice on the previous one.
registrations = stack.register_slices()
print("registered:", registrations[1:4], "...")

# The model table of plexan-cli measure, as a list of dicts.
for row in stack.measure():
    print(f"{row['Model']:>6}: {row['Contours']} contours, area {row['Area [µm^2]']:.0f} µm^2, "
          f"volume {row['Volume [µm^3]']:.0f} µm^3")

# The organ's principal axes and the slice images as one volume.
organ = stack.morphometry("organ")
print("organ axis lengths (µm):", np.round(organ["axis_lengths"], 1))
volume = stack.to_volume()
smooth = plexan.gaussian_filter(volume, 1.5)
level = plexan.isodata_threshold(smooth.array)
# Half the rows and columns are enough for a picture (the voxel size follows).
reduced = plexan.resize(smooth, (30, 128, 128), linear=True)
vertices, faces, _ = plexan.marching_cubes(reduced, level)
print(f"isosurface at the isodata level {level:.1f}: {len(vertices)} vertices, {len(faces)} triangles")

figure = plt.figure(figsize=(11, 5.2))

# Left: the model surfaces in the stack's frame, with the nuclei.
axes = figure.add_subplot(1, 2, 1, projection="3d")
for name, colour, alpha in [("organ", "tab:orange", 0.25), ("lumen", "tab:blue", 0.6)]:
    points, triangles = stack.surface(name)
    axes.plot_trisurf(points[:, 0], points[:, 1], points[:, 2], triangles=triangles,
                      color=colour, alpha=alpha, linewidth=0)
nuclei = np.vstack(stack.contours("nuclei"))
axes.scatter(nuclei[:, 0], nuclei[:, 1], nuclei[:, 2], color="black", s=8)
axes.set_title("Models: organ, lumen and nuclei")
axes.set_xlabel("X [µm]")
axes.set_ylabel("Y [µm]")
axes.set_zlabel("Z [µm]")

# Right: the isosurface of the smoothed slice images (vertices in row,
# column, plane order, scaled by the voxel size), as they are: unregistered.
axes = figure.add_subplot(1, 2, 2, projection="3d")
axes.plot_trisurf(vertices[:, 1], vertices[:, 0], vertices[:, 2], triangles=faces, cmap="viridis", linewidth=0)
axes.set_title("Isosurface of the slice images")
axes.set_xlabel("column [µm]")
axes.set_ylabel("row [µm]")
axes.set_zlabel("plane [µm]")

figure.tight_layout()
figure.savefig(output, dpi=90)
print("wrote", os.path.normpath(output))
