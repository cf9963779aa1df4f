#pragma once
// NrrdFile: reads NRRD volumes (".nrrd" with the data attached, ".nhdr"
// with the data in one file beside it) of raw, gzip or text encoding, with
// their element type kept (8-, 16-, 32-bit integers, floats, doubles;
// 64-bit integers as doubles).
//
// Axes: the spatial axes are those whose kind is a domain or space kind
// ("domain", "space", "time" counts as a frame axis) or, without kinds, those
// with a space direction, else all; the first spatial axis runs along the
// columns, the second along the rows (from the top, as stored) and the
// third across the planes. Other axes (colour components, vectors, lists)
// are channels and extra domain or time axes frames: one channel and one
// frame are read. Voxel sizes come from "spacings" or from the lengths of
// the "space directions", their unit from "space units" or "units"
// (millimetres taken, with a note, when the file names none).
//
// Hostile files are refused before anything is allocated: header lines and
// the header are bounded, sizes must be positive and within a VoxelMatrix's
// reach, the data must fit in the file (or, compressed, in what it can
// inflate to), and a detached data file must be a regular file.

#include "image/importedvolume.h"
#include "numerics/progresssubject.h"

#include <string>

class NrrdFile {
public:
    // FileReadError when a file cannot be opened, FileFormatError naming
    // the file (and the header line) for anything else.
    static ImportedVolume read(const std::string& file, const VolumeSelection& selection = {},
                               ProgressSubject* progress = nullptr);
};
