#pragma once
// ImageReader: reads slice images into an Image. It recognises TIFF files by
// their byte-order mark (whatever their name) and IMG files (a 12-byte header
// starting with "0000", then 512 x 512 grey bytes) by the mark and the .img
// suffix. TIFF pixels are read through libtiff (uncompressed strips straight
// from the file into the rows, a chunk of lines at a time), with progress
// after each line and cancellation polled before each line: a cancelled read
// holds the lines it reported, the rows below as they were or, within the
// chunk it was reading, with their lines. Only the first image of a file is
// read.
//
// Files come from users' disks: a truncated, malformed or hostile file gives a
// file exception naming the file, never a crash or an oversized allocation.

#include "numerics/progresssubject.h"

#include <string>

class Image;
class ImageHeader;
class ImageSource;
class ImageSourceFile;
class ImageSourceFileMosaic;
class ImageSourceVoxelMatrixPlane;

// libtiff's file handle, known here only by name.
struct tiff;
typedef struct tiff TIFF;

class ImageReader : public virtual ProgressSubject {
public:
    ImageReader() = default;

    // Detects the format of `file` and fills `header` without reading pixels.
    void read(ImageHeader& header, const std::string& file);

    // Reads the header and the pixels of an IMG or TIFF file. Any failure is
    // rethrown as a plain Exception that records this call.
    void read(Image& image, const std::string& file);

    // Reads the image a source names; a null source leaves `image` alone.
    void read(Image& image, const ImageSource& source);
    void read(Image& image, const ImageSource* source);
    void read(Image& image, const ImageSourceFile& source);
    // Assembles the tiles of a mosaic into one image.
    void read(Image& image, const ImageSourceFileMosaic& source);
    // Converts one plane of a float voxel-matrix file to an 8-bit image.
    void read(Image& image, const ImageSourceVoxelMatrixPlane& source);

    // IMG files: reads the 12 header bytes and the 512 x 512 pixel bytes into
    // `image` (already 512 x 512 x 8); returns whether both reads were complete.
    bool readImgPixels(Image& image, const std::string& file);

    // TIFF files, on a handle opened by the caller (libtiff errors on such a
    // handle are the caller's to report).
    void readTiffHeader(ImageHeader& header, TIFF* tif);
    void readTiffColormap(ImageHeader& header, TIFF* tif);
    void readTiffPixels(Image& image, TIFF* tif);

private:
    // Ends a TIFF read: "canceled" when a cancel was asked for, else "finished".
    void finishTiffPixels();
};
