#include "image/imagewriter.h"

#include "image/colormap.h"
#include "image/image.h"
#include "image/tifffile.h"

#include <tiffio.h>

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

const char* const writeWhere = "void ImageWriter::write(...)";

// Strips of about 256 KB: few enough for readers to take whole, small enough
// to read in pieces.
std::uint32_t rowsPerStrip(int lineBytes)
{
    return static_cast<std::uint32_t>(std::max(1, (256 * 1024) / std::max(1, lineBytes)));
}

} // namespace

void ImageWriter::write(const Image& image, const std::string& file, bool overwrite)
{
    std::error_code error;
    if (!overwrite && std::filesystem::exists(file, error))
        throw FileWriteError(writeWhere, "File already exists", file);
    const int width = image.getWidth();
    const int height = image.getHeight();
    const int depth = image.getDepth();
    if (width < 1 || height < 1 || image.bytesPerPixel() == 0 || !image.getData())
        throw FileWriteError(writeWhere, "Cannot write an empty image", file);

    TiffFile tiff(file, "w");
    if (!tiff.isOpen())
        throw FileWriteError(writeWhere, "Cannot open file for writing", file);
    TIFF* tif = tiff.get();

    const bool palette = depth == 8 && image.getHeader().hasColormap();
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    std::uint16_t samples = static_cast<std::uint16_t>(depth / 8);
    std::uint16_t bits = 8;
    if (depth == 8)
        photometric = palette ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_MINISBLACK;
    if (depth == 16) {
        // One 16-bit grey sample, as the reader expects it.
        photometric = PHOTOMETRIC_MINISBLACK;
        samples = 1;
        bits = 16;
    }
    bool ok = TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric) == 1 &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples) == 1 &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits) == 1 &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height)) == 1 &&
              TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width)) == 1 &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip(image.bytesPerLine())) == 1;
    if (ok && depth == 32) {
        // The fourth byte is no alpha: readers must not make the image transparent.
        const std::uint16_t extra[1] = {EXTRASAMPLE_UNSPECIFIED};
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) == 1;
    }
    if (ok && palette) {
        // libtiff wants 2^8 cells; cells beyond the colormap's are black.
        const Colormap& colormap = *image.getHeader().getColormap();
        std::vector<std::uint16_t> red(256, 0), green(256, 0), blue(256, 0);
        const int cells = std::min(colormap.getSize(), 256);
        for (int i = 0; i < cells; ++i) {
            red[i] = static_cast<std::uint16_t>(colormap.getRed()[i] << 8);
            green[i] = static_cast<std::uint16_t>(colormap.getGreen()[i] << 8);
            blue[i] = static_cast<std::uint16_t>(colormap.getBlue()[i] << 8);
        }
        ok = TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data()) == 1;
    }
    // libtiff takes a non-const line; it changes lines only to swap bytes
    // into a foreign byte order or to compress in place, and we do neither.
    for (int y = 0; ok && y < height; ++y)
        ok = TIFFWriteScanline(tif, const_cast<unsigned char*>(image.getRow(y)),
                               static_cast<std::uint32_t>(y), 0) == 1;
    ok = tiff.close() && ok;
    if (!ok) {
        const std::string reason = TiffFile::explain("Cannot write TIFF file");
        std::remove(file.c_str());
        throw FileWriteError(writeWhere, reason, file);
    }
}
