#include "image/imagewriter.h"

#include "image/image.h"
#include "image/imagereader.h"

#include "support/expect.h"
#include "tiffsupport.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using tiffsupport::ScratchDirectory;
using tiffsupport::readBytes;
using tiffsupport::writeBytes;

namespace {

const std::string writeWhere = "void ImageWriter::write(...)";

Image randomImage(int width, int height, int depth, unsigned seed, int colormapCells = 0)
{
    Image image(width, height, depth);
    std::mt19937 generator(seed);
    for (std::size_t i = 0; i < image.dataLength(); ++i)
        image.getData()[i] = static_cast<unsigned char>(generator() & 0xff);
    if (colormapCells > 0) {
        Colormap colormap(colormapCells);
        for (int i = 0; i < colormapCells; ++i)
            colormap.setCell(i, static_cast<unsigned char>(generator()),
                             static_cast<unsigned char>(generator()),
                             static_cast<unsigned char>(generator()));
        image.setColormap(colormap);
    }
    return image;
}

std::vector<unsigned char> bytesOf(const Image& image)
{
    return std::vector<unsigned char>(image.getData(), image.getData() + image.dataLength());
}

// What libtiff itself finds in a file: the tags and the scanlines.
struct LibtiffView {
    std::uint16_t photometric = 0, samples = 0, bits = 0, compression = 0, planar = 0;
    std::uint32_t width = 0, height = 0;
    bool hasResolution = false;
    std::vector<std::uint16_t> extraSamples;
    std::vector<unsigned char> pixels;
    std::vector<std::uint16_t> red;
};

LibtiffView viewWithLibtiff(const std::string& file)
{
    LibtiffView v;
    TIFF* tif = TIFFOpen(file.c_str(), "r");
    if (!tif) {
        ADD_FAILURE() << "libtiff cannot open " << file;
        return v;
    }
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &v.photometric);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &v.samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &v.bits);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &v.compression);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &v.planar);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &v.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &v.height);
    float resolution = 0;
    v.hasResolution = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resolution) ||
                      TIFFGetField(tif, TIFFTAG_YRESOLUTION, &resolution);
    std::uint16_t count = 0;
    std::uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &extra))
        v.extraSamples.assign(extra, extra + count);
    std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
        v.red.assign(r, r + 256);
    const tmsize_t line = TIFFScanlineSize(tif);
    v.pixels.resize(static_cast<std::size_t>(line) * v.height);
    for (std::uint32_t y = 0; y < v.height; ++y)
        EXPECT_EQ(TIFFReadScanline(tif, v.pixels.data() + y * line, y, 0), 1);
    TIFFClose(tif);
    return v;
}

} // namespace

struct Written {
    int depth;
    int colormapCells;
    std::uint16_t photometric, samples, bits;
};

class ImageWriterDepth : public ::testing::TestWithParam<Written> {};

TEST_P(ImageWriterDepth, LibtiffFindsTheTagsAndPixelsWritten)
{
    const Written& w = GetParam();
    ScratchDirectory dir;
    const std::string file = dir.file("w.tif");
    const Image image = randomImage(29, 17, w.depth, static_cast<unsigned>(w.depth), w.colormapCells);
    ImageWriter().write(image, file, false);

    const LibtiffView v = viewWithLibtiff(file);
    EXPECT_EQ(v.photometric, w.photometric);
    EXPECT_EQ(v.samples, w.samples);
    EXPECT_EQ(v.bits, w.bits);
    EXPECT_EQ(v.compression, COMPRESSION_NONE);
    EXPECT_EQ(v.planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(v.width, 29u);
    EXPECT_EQ(v.height, 17u);
    EXPECT_FALSE(v.hasResolution);
    EXPECT_TRUE(v.pixels == bytesOf(image));
    // The fourth byte of 32-bit pixels is not declared as alpha.
    if (w.depth == 32) {
        EXPECT_EQ(v.extraSamples, std::vector<std::uint16_t>{EXTRASAMPLE_UNSPECIFIED});
    }
    if (w.colormapCells) {
        ASSERT_EQ(v.red.size(), 256u);
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(v.red[i], i < w.colormapCells ? image.getColormap()->getRed()[i] << 8 : 0);
    }
}

TEST_P(ImageWriterDepth, ReadsBackIdentically)
{
    const Written& w = GetParam();
    ScratchDirectory dir;
    const std::string file = dir.file("w.tif");
    Image image = randomImage(31, 19, w.depth, 100u + w.depth, w.colormapCells);
    ImageWriter().write(image, file, false);

    Image back;
    ImageReader().read(back, file);
    EXPECT_EQ(back.getWidth(), 31);
    EXPECT_EQ(back.getHeight(), 19);
    EXPECT_EQ(back.getDepth(), w.depth);
    EXPECT_EQ(back.getImageFormat(), ImageFormat::Tiff);
    EXPECT_TRUE(bytesOf(back) == bytesOf(image));
    ASSERT_EQ(back.hasColormap(), w.colormapCells > 0);
    if (w.colormapCells == 256) {
        EXPECT_EQ(*back.getColormap(), *image.getColormap());
        // Everything the header holds, once the format is the file's.
        image.setImageFormat(ImageFormat::Tiff);
        EXPECT_EQ(back, image);
    } else if (w.colormapCells) {
        // A shorter colormap comes back padded with black cells.
        const Colormap& c = *back.getColormap();
        ASSERT_EQ(c.getSize(), 256);
        for (int i = 0; i < 256; ++i) {
            const bool kept = i < w.colormapCells;
            EXPECT_EQ(c.getRed()[i], kept ? image.getColormap()->getRed()[i] : 0);
            EXPECT_EQ(c.getGreen()[i], kept ? image.getColormap()->getGreen()[i] : 0);
            EXPECT_EQ(c.getBlue()[i], kept ? image.getColormap()->getBlue()[i] : 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, ImageWriterDepth,
    ::testing::Values(Written{8, 0, PHOTOMETRIC_MINISBLACK, 1, 8},
                      Written{8, 256, PHOTOMETRIC_PALETTE, 1, 8},
                      Written{8, 16, PHOTOMETRIC_PALETTE, 1, 8},
                      Written{16, 0, PHOTOMETRIC_MINISBLACK, 1, 16},
                      Written{24, 0, PHOTOMETRIC_RGB, 3, 8},
                      Written{32, 0, PHOTOMETRIC_RGB, 4, 8}),
    [](const auto& info) {
        return "depth" + std::to_string(info.param.depth) + "cells" +
               std::to_string(info.param.colormapCells);
    });

TEST(ImageWriter, ExistingFileIsKeptUnlessOverwriting)
{
    ScratchDirectory dir;
    const std::string file = dir.file("kept.tif");
    writeBytes(file, "precious");
    const Image image = randomImage(4, 4, 8, 1);
    EXPECT_PLEXAN_THROW(ImageWriter().write(image, file, false), FileWriteError, writeWhere,
                        "File already exists");
    try {
        ImageWriter().write(image, file, false);
    } catch (const FileWriteError& e) {
        EXPECT_EQ(e.getFile(), file);
    }
    EXPECT_EQ(readBytes(file), "precious");

    ImageWriter().write(image, file, true);
    Image back;
    ImageReader().read(back, file);
    EXPECT_TRUE(bytesOf(back) == bytesOf(image));
}

TEST(ImageWriter, UnwritablePlacesAndEmptyImagesAreErrors)
{
    ScratchDirectory dir;
    const std::string nowhere = dir.file("no/such/dir/x.tif");
    testing::internal::CaptureStderr();
    EXPECT_PLEXAN_THROW(ImageWriter().write(randomImage(4, 4, 8, 1), nowhere, true),
                        FileWriteError, writeWhere, "Cannot open file for writing");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "libtiff printed";

    const std::string file = dir.file("empty.tif");
    EXPECT_PLEXAN_THROW(ImageWriter().write(Image(), file, true), FileWriteError, writeWhere,
                        "Cannot write an empty image");
    EXPECT_FALSE(std::filesystem::exists(file));
}
