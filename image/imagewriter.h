#pragma once
// ImageWriter: writes an Image as an uncompressed TIFF file, one scanline per
// image row from the top. 8-bit images are grey (min-is-black) or, with a
// colormap, palette images; 16-bit images are 16-bit grey; 24- and 32-bit
// images are RGB with 3 or 4 samples per pixel.

#include <string>

class Image;

class ImageWriter {
public:
    // Refuses to replace an existing file unless `overwrite` is true.
    void write(const Image& image, const std::string& file, bool overwrite);
};
