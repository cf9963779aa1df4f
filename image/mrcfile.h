#pragma once
// MrcFile: reads MRC and CCP4 maps (electron microscopy volumes and image
// stacks: ".mrc", ".map", ".ccp4", ".mrcs", ".st", ".rec", ".ali"), with
// their element type kept: mode 0 signed bytes (unsigned in files of the
// older convention that marks signed bytes with a flag), 1 signed 16-bit, 6
// unsigned 16-bit, 2 floats, 12 half floats (read as floats). Complex,
// colour and 4-bit data are refused.
//
// Columns, rows and sections are the file's columns (fastest), rows and
// sections; rows run up in the file (the first row is the bottom one, as
// electron microscopy viewers show it) and are flipped so that row 0 is the
// top. The voxel size is the cell size over the sampling along each axis
// (mapc, mapr, maps name which), in ångströms, kept in nanometres (one
// ångström is 0.1 nm). Byte order from the machine stamp, or from the header
// when the stamp is missing. A volume stack (space group 401) gives one
// volume, the frame selected.
//
// Hostile files are refused before anything is allocated: sizes must be
// positive and within a VoxelMatrix's reach, and the extended header and the
// data must fit in the file.

#include "image/importedvolume.h"
#include "numerics/progresssubject.h"

#include <string>

class MrcFile {
public:
    // FileReadError when the file cannot be opened, FileFormatError naming
    // the file for anything that is not a readable map.
    static ImportedVolume read(const std::string& file, const VolumeSelection& selection = {},
                               ProgressSubject* progress = nullptr);

    // Whether a 1024-byte header looks like an MRC header: the "MAP " stamp,
    // or (older files) positive sizes and a known mode in either byte order.
    static bool looksLikeHeader(const unsigned char* header, std::size_t bytes);
};
