#pragma once
// ImportedVolume: a volume read from a file of another program, with what
// the file told about it: its voxels in the type they were stored in, the
// voxel size and length unit when the file gave them, and the notes a user
// should read (the one channel taken out of several, a scaling applied, a
// unit assumed).

#include "image/anyvoxelmatrix.h"

#include <string>
#include <vector>

struct ImportedVolume {
    AnyVoxelMatrix volume;
    // "NIfTI-1", "NIfTI-2", "NRRD", "MRC", "TIFF", "ImageJ TIFF", "OME-TIFF",
    // "image series".
    std::string format;
    // Whether the file gave a voxel size and a length unit; the calibration
    // holds 1 and the metre, or the format's usual unit, where it did not.
    bool hasVoxelSize = false;
    bool hasLengthUnit = false;
    std::vector<std::string> notes;
};

// Which part of a file with more than three dimensions is read: the
// channel (colour component, or ImageJ and OME channel) and the frame (time
// point, or the volume of a 4D NIfTI or NRRD file), both from 0.
struct VolumeSelection {
    int channel = 0;
    int frame = 0;
};
