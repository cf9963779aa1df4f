#pragma once
// The small slice images that stack files name in the seeds and while
// fuzzing the stack reader, written with the library's own writers: so that
// slices, mosaic tiles and voxel-matrix planes find real files, of two
// sizes and three depths.
//
//   grey.tif     5 x 4, 8 bits          wide.tif    7 x 4, 8 bits
//   palette.tif  5 x 4, 8 bits, colormap  rgb.tif   5 x 4, 24 bits
//   slice.img    512 x 512 IMG          volume.vm   4 rows x 5 columns x 3 planes, float

#include <string>
#include <vector>

// Writes the files above into directory (replacing them).
void writeSampleImages(const std::string& directory);

// Their names.
const std::vector<std::string>& sampleImageNames();
