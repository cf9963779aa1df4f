#pragma once
// ImageSeries: a volume made of 2D image files, one per plane, in natural
// number order ("slice2.tif" before "slice10.tif"): the image files of a
// directory, the files matching a pattern ("sections/*.tif", expanded here
// with the usual *, ? and [...] rules, without a shell), or files named one
// by one.
//
// TIFF files give their first page (their samples kept: 8-, 16-, 32-bit
// integers and floats; one colour component of RGB images, the channel
// selected), IMG files their 512 x 512 bytes. Every image must have the
// first one's size and sample type. The pixel size is the first image's
// (TiffVolume), the planes as far apart as its pixels are wide.

#include "image/importedvolume.h"
#include "numerics/progresssubject.h"

#include <string>
#include <vector>

class ImageSeries {
public:
    // The image files the inputs name, in natural order: a directory gives
    // its TIFF and IMG files (told by content; hidden files and other files
    // left out, counted in skipped when given), a pattern the files it
    // matches, a file itself. FileReadError for an input that is none of
    // these (a missing file, a pattern matching nothing).
    static std::vector<std::string> files(const std::vector<std::string>& inputs, int* skipped = nullptr);

    // Natural order: runs of digits compare by their value, the rest by
    // character; ties (such as "a01" and "a1") by the plain text.
    static bool naturalLess(const std::string& a, const std::string& b);

    // The planes of the files, in the order given. FileFormatError naming
    // the file for an image that cannot be read or differs from the first.
    static ImportedVolume read(const std::vector<std::string>& files, const VolumeSelection& selection = {},
                               ProgressSubject* progress = nullptr);
};
