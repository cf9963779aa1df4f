#pragma once
// NiftiFile: reads NIfTI-1 and NIfTI-2 volumes (".nii", ".nii.gz", and
// ".hdr" with its ".img", plain or gzip-compressed; Analyze 7.5 headers too)
// through the NIfTI reference library, with their element type kept (8-,
// 16- and 32-bit integers, floats and doubles; 64-bit integers as doubles).
//
// The voxel grid is taken as stored, without applying the file's qform or
// sform: the file's i axis runs along the columns and its k axis across the
// planes, and its j axis up the rows (row 0 is the highest j, as NIfTI
// viewers show a slice, so that surfaces are not mirrored). Voxel sizes are
// pixdim[1..3] (width, height, depth) in the file's spatial unit (metre,
// millimetre or micrometre); a file that names no unit is taken in
// millimetres, with a note. A scaling slope other than 0 or 1, or an
// intercept other than 0, turns the values into floats (value = slope x
// stored + intercept). Files of four or more dimensions give one 3D volume,
// the frame selected (time point, or the volumes beyond counted in order).
// Colour and complex data are refused.
//
// Hostile files are refused before anything is allocated: sizes must be
// positive and within a VoxelMatrix's reach, and the data must fit in the
// file (or, compressed, in what the file can inflate to).

#include "image/importedvolume.h"
#include "numerics/progresssubject.h"

#include <string>

class NiftiFile {
public:
    // FileReadError when the file cannot be opened, FileFormatError naming
    // the file for anything that is not a readable NIfTI volume.
    static ImportedVolume read(const std::string& file, const VolumeSelection& selection = {},
                               ProgressSubject* progress = nullptr);
};
