#include "image/imagewriter.h"

#include "image/image.h"
#include "image/imagereader.h"

#include "imagesupport.h"

using namespace imagetest;

namespace {

const std::string writeWhere = "void ImageWriter::write(...)";

struct Written {
    int depth, colormapCells;
    std::uint16_t photometric, samples, bits;
};

class ImageWriterDepth : public ::testing::TestWithParam<Written> {};

// libtiff finds the tags and scanlines written, and our reader reads the
// image back as it was.
TEST_P(ImageWriterDepth, LibtiffAndOurReaderFindThePixelsWritten)
{
    const Written& w = GetParam();
    const ScratchDirectory dir;
    const std::string file = dir.file("w.tif");
    Image image = randomImage(29, 17, w.depth, static_cast<unsigned>(w.depth), w.colormapCells);
    ImageWriter().write(image, file, false);

    TIFF* tif = TIFFOpen(file.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    std::vector<unsigned> tags;
    for (ttag_t tag : {TIFFTAG_PHOTOMETRIC, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_BITSPERSAMPLE, TIFFTAG_COMPRESSION}) {
        std::uint16_t value = 0;
        tags.push_back(TIFFGetField(tif, tag, &value) ? value : 9999);
    }
    EXPECT_EQ(tags, (std::vector<unsigned>{w.photometric, w.samples, w.bits, COMPRESSION_NONE}));
    std::uint16_t extraCount = 0, *extra = nullptr, *red = nullptr, *green = nullptr, *blue = nullptr;
    float resolution = 0;
    EXPECT_FALSE(TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resolution));
    // The fourth byte of 32-bit pixels is not declared as alpha.
    EXPECT_EQ(TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) == 1, w.depth == 32);
    EXPECT_TRUE(w.depth != 32 || (extraCount == 1 && extra[0] == EXTRASAMPLE_UNSPECIFIED));
    ASSERT_EQ(TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) == 1, w.colormapCells > 0);
    for (int i = 0; w.colormapCells && i < 256; ++i)
        EXPECT_EQ(red[i], i < w.colormapCells ? image.getColormap()->getRed()[i] << 8 : 0);
    std::vector<unsigned char> pixels(image.dataLength());
    for (int y = 0; y < 17; ++y)
        ASSERT_EQ(TIFFReadScanline(tif, pixels.data() + y * image.bytesPerLine(), y, 0), 1);
    TIFFClose(tif);
    EXPECT_EQ(pixels, bytesOf(image));

    // Read back: everything the header holds once the format is the file's;
    // a shorter colormap comes back padded with black cells.
    Image back;
    ImageReader().read(back, file);
    image.setImageFormat(ImageFormat::Tiff);
    if (w.colormapCells) {
        Colormap padded = *image.getColormap();
        padded.setSize(256);
        image.setColormap(padded);
    }
    EXPECT_EQ(back, image);
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageWriterDepth,
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

} // namespace

TEST(ImageWriter, RefusalsKeepExistingFiles)
{
    const ScratchDirectory dir;
    const std::string file = dir.file("kept.tif");
    writeBytes(file, "precious");
    const Image image = randomImage(4, 4, 8, 1);
    EXPECT_PLEXAN_THROW(ImageWriter().write(image, file, false), FileWriteError, writeWhere, "File already exists");
    EXPECT_EQ(readBytes(file), "precious");

    testing::internal::CaptureStderr();
    EXPECT_PLEXAN_THROW(ImageWriter().write(image, dir.file("no/such/dir/x.tif"), true), FileWriteError, writeWhere,
                        "Cannot open file for writing");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "libtiff printed";
    EXPECT_PLEXAN_THROW(ImageWriter().write(Image(), dir.file("empty.tif"), true), FileWriteError, writeWhere,
                        "Cannot write an empty image");
    EXPECT_FALSE(std::filesystem::exists(dir.file("empty.tif")));
}
