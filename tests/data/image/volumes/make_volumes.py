#!/usr/bin/env python3
"""Writes the small volume files the import tests read, each by a well-kept
tool of its format rather than by Plexan: NIfTI-1 and NIfTI-2 by nibabel,
ImageJ and OME-TIFF by tifffile, NRRD by teem's unu, MRC by mrcfile.

Every ramp volume is 5 voxels along x (the file's fastest axis), 4 along y
and 3 along z, with values the tests repeat:

    ramp(x, y, z) = 1000 + 37 x + 211 y + 1301 z

stored as 16-bit unsigned integers unless said otherwise (ramp - 2000 in the
signed 16-bit files, ramp / 4 - 100 in the float files).

blob16.nii is a 16-bit NIfTI of a noisy ball (seeded, 24 x 20 x 16 voxels of
0.8 x 0.9 x 1.5 mm) for the isosurface comparison with scikit-image.

Run from this directory: python3 make_volumes.py
"""

import os
import subprocess
import tempfile

import mrcfile
import nibabel
import numpy as np
import tifffile

NX, NY, NZ = 5, 4, 3


def ramp():
    """The values as an array indexed [x, y, z]."""
    x, y, z = np.indices((NX, NY, NZ))
    return 1000 + 37 * x + 211 * y + 1301 * z


def nifti():
    data = ramp().astype(np.uint16)
    image = nibabel.Nifti1Image(data, np.diag([0.5, 0.75, 2.0, 1.0]))
    image.header.set_xyzt_units("mm")
    image.header.set_zooms((0.5, 0.75, 2.0))
    nibabel.save(image, "ramp16.nii")

    data = (ramp() / 4.0 - 100.0).astype(np.float32)
    image = nibabel.Nifti2Image(data, np.diag([0.25, 0.5, 1.25, 1.0]))
    image.header.set_xyzt_units("micron")
    image.header.set_zooms((0.25, 0.5, 1.25))
    nibabel.save(image, "rampfloat.nii.gz")

    # Two time points of signed values, the second the first plus 7.
    first = (ramp() - 2000).astype(np.int16)
    data = np.stack([first, first + 7], axis=3)
    image = nibabel.Nifti1Image(data, np.diag([1.0, 1.0, 3.0, 1.0]))
    image.header.set_xyzt_units("mm", "sec")
    image.header.set_zooms((1.0, 1.0, 3.0, 2.0))
    nibabel.save(image, "ramp4d.nii.gz")

    rng = np.random.default_rng(29)
    x, y, z = np.indices((24, 20, 16))
    distance = np.sqrt(((x - 11.3) * 0.8) ** 2 + ((y - 9.6) * 0.9) ** 2 + ((z - 7.8) * 1.5) ** 2)
    values = 3000.0 - 400.0 * distance + rng.normal(0.0, 60.0, distance.shape)
    data = np.clip(np.rint(values), 0, 65535).astype(np.uint16)
    image = nibabel.Nifti1Image(data, np.diag([0.8, 0.9, 1.5, 1.0]))
    image.header.set_xyzt_units("mm")
    image.header.set_zooms((0.8, 0.9, 1.5))
    nibabel.save(image, "blob16.nii")


def tiff():
    # Pages are [z, y, x] arrays.
    pages = np.transpose(ramp(), (2, 1, 0)).astype(np.uint16)
    tifffile.imwrite("ramp16_imagej.tif", pages, imagej=True, resolution=(1 / 0.5, 1 / 0.75),
                     metadata={"spacing": 2.0, "unit": "um", "axes": "ZYX"})
    # Two channels: the second is the first plus 5.
    channels = np.stack([pages, pages + 5], axis=1)
    tifffile.imwrite("ramp16_ome.ome.tif", channels, ome=True,
                     metadata={"axes": "ZCYX", "PhysicalSizeX": 0.25, "PhysicalSizeXUnit": "µm",
                               "PhysicalSizeY": 0.5, "PhysicalSizeYUnit": "µm",
                               "PhysicalSizeZ": 1.5, "PhysicalSizeZUnit": "µm"})


def nrrd():
    # unu reads raw samples with the first axis fastest: [z, y, x] in C order.
    # (Its per-axis units come out empty, so the unit goes with the space
    # directions; the detached file names none, and millimetres are taken.)
    values = np.transpose(ramp(), (2, 1, 0))
    with tempfile.TemporaryDirectory() as directory:
        raw = os.path.join(directory, "ramp.raw")
        (values - 2000).astype("<i2").tofile(raw)
        subprocess.run(["teem-unu", "make", "-i", raw, "-t", "short", "-s", str(NX), str(NY), str(NZ),
                        "-e", "raw", "-en", "little", "-spc", "3",
                        "-dirs", "(0.5,0,0) (0,0.75,0) (0,0,2)", "-spu", "um", "um", "um",
                        "-o", "ramp16.nrrd"], check=True)
        drop_comments("ramp16.nrrd")
        raw = os.path.join(directory, "rampfloat.raw")
        (values / 4.0 - 100.0).astype("<f4").tofile(raw)
        made = subprocess.run(["teem-unu", "make", "-i", raw, "-t", "float", "-s", str(NX), str(NY), str(NZ),
                               "-e", "raw", "-en", "little", "-sp", "0.25", "0.5", "1.25"],
                              check=True, capture_output=True).stdout
        # Detached header, gzip data beside it.
        subprocess.run(["teem-unu", "save", "-f", "nrrd", "-e", "gzip", "-o", "rampfloat.nhdr"], input=made,
                       check=True)
        drop_comments("rampfloat.nhdr")


def drop_comments(name):
    # teem writes a pointer to its format notes as comment lines; the header
    # needs none of them.
    with open(name, "rb") as f:
        data = f.read()
    end = data.find(b"\n\n")
    end = len(data) if end < 0 else end + 2
    header = b"\n".join(line for line in data[:end].split(b"\n") if not line.startswith(b"#"))
    with open(name, "wb") as f:
        f.write(header + data[end:])


def mrc():
    # mrcfile takes [z, y, x] arrays; voxel sizes in ångströms.
    with mrcfile.new("ramp16.mrc", overwrite=True) as m:
        m.set_data((np.transpose(ramp(), (2, 1, 0)) - 2000).astype(np.int16))
        m.voxel_size = (5.0, 6.0, 7.5)


def main():
    os.chdir(os.path.dirname(os.path.abspath(__file__)))
    nifti()
    tiff()
    nrrd()
    mrc()


if __name__ == "__main__":
    main()
