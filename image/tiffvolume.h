#pragma once
// TiffVolume: reads a multi-page TIFF file as a volume, one page per plane,
// with the samples kept as stored: 8-, 16- and 32-bit unsigned or signed
// integers, 16-, 32- and 64-bit floats (16-bit floats as floats). Every page
// of the volume must have the first page's size and sample layout.
//
// Three layouts are told from the first page's description:
// - ImageJ files ("ImageJ=" description): pages in channel, slice, frame
//   order (the channel running fastest); voxel width and height are the
//   inverse resolutions, the depth the "spacing", in the description's
//   "unit" (micron, um, µm, nm, mm...).
// - OME-TIFF files (OME-XML description): pages in the Pixels element's
//   DimensionOrder from the first page; voxel sizes from PhysicalSizeX, Y, Z
//   and their units (micrometres by default). Only the first image of the
//   file is read.
// - Other files: every page is a plane; the pixel size comes from the
//   resolution tags when their unit is the centimetre or the inch, and the
//   planes are as far apart as the pixels are wide (with a note).
// The channel selected is a colour sample of an RGB page, or an ImageJ or
// OME channel; the frame an ImageJ or OME time point.
//
// Hostile files are refused before anything is allocated: page sizes and
// counts must be within a VoxelMatrix's reach and what the file can hold
// (with the largest expansion of its compression), and libtiff's own
// allocations are bounded (TiffFile).

#include "image/importedvolume.h"
#include "numerics/progresssubject.h"

#include <string>

class TiffVolume {
public:
    // FileReadError when the file cannot be opened, FileFormatError naming
    // the file (and the page) for anything else. With onePage, only the
    // first page is read, as a single plane (the slices of an image
    // series).
    static ImportedVolume read(const std::string& file, const VolumeSelection& selection = {},
                               ProgressSubject* progress = nullptr, bool onePage = false);
};
