#include "image/image.h"

#include "image/pixelmatrix.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

namespace {

// Every byte of the image drawn at random.
Image randomImage(int width, int height, int depth, unsigned seed)
{
    Image image(width, height, depth);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(0, 255);
    for (std::size_t k = 0; k < image.dataLength(); ++k)
        image.getData()[k] = static_cast<unsigned char>(d(rng));
    return image;
}

std::uint16_t sample16(const Image& image, int x, int y)
{
    std::uint16_t v;
    std::memcpy(&v, image.getRow(y) + 2 * x, 2);
    return v;
}

void setSample16(Image& image, int x, int y, std::uint16_t v)
{
    std::memcpy(image.getRow(y) + 2 * x, &v, 2);
}

Colormap colourMap()
{
    Colormap map(256);
    for (int i = 0; i < 256; ++i)
        map.setCell(i, static_cast<unsigned char>(i), static_cast<unsigned char>(255 - i),
                    static_cast<unsigned char>(i / 2));
    return map;
}

} // namespace

TEST(Image, InitKeepsOrReplacesTheBuffer)
{
    Image image(4, 3, 24);
    EXPECT_EQ(image.bytesPerPixel(), 3);
    EXPECT_EQ(image.bytesPerLine(), 12);
    EXPECT_EQ(image.dataLength(), 36u);
    const unsigned char* buffer = image.getData();
    image.init(4, 3, 24);
    EXPECT_EQ(image.getData(), buffer);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(image.getPixels()[y], buffer + 12 * y);
    image.init(3, 4, 24);
    EXPECT_EQ(image.dataLength(), 36u);
    EXPECT_EQ(image.getRow(3), image.getData() + 27);
    EXPECT_PLEXAN_THROW(image.init(3, 4, 12), DepthError, "void Image::init(...)", "Invalid depth value");
    EXPECT_FALSE(image.hasData()); // released before the depth was refused
    EXPECT_THROW(image.init(-1, 4, 8), SizeError);
    image.init(2, 2, 16);
    image.clear();
    EXPECT_EQ(sample16(image, 1, 1), 0);
    ImageHeader header;
    header.setWidth(5);
    header.setHeight(1);
    header.setDepth(32);
    header.setImageFormat(ImageFormat::Tiff);
    image.setHeader(header);
    EXPECT_EQ(image.dataLength(), 20u);
    EXPECT_EQ(image.getImageFormat(), ImageFormat::Tiff);
    EXPECT_PLEXAN_THROW(image.setHeader(ImageHeader()), DepthError, "void Image::init(...)", "Invalid depth value");
}

TEST(Image, PasteChecksDepthThenColormapThenPlace)
{
    Image target = randomImage(6, 5, 8, 1);
    target.setColormap(colourMap());
    const Image before(target);

    // A 16-bit source that is also too large: the depth is reported first.
    EXPECT_PLEXAN_THROW(target.paste(Image(9, 9, 16), 0, 0), DepthError, "void Image::paste(...)",
                        "Incompatible image depths");
    // Not indexed, and too large: the colormap is reported first.
    Image plain = randomImage(9, 9, 8, 2);
    EXPECT_PLEXAN_THROW(target.paste(plain, 0, 0), ColormapError, "void Image::paste(...)",
                        "Incompatible image colormaps");
    Colormap other = colourMap();
    other.setCell(7, 1, 2, 3);
    plain.setColormap(other);
    EXPECT_PLEXAN_THROW(target.paste(plain, 0, 0), ColormapError, "void Image::paste(...)",
                        "Incompatible image colormaps");
    plain.setColormap(colourMap());
    EXPECT_PLEXAN_THROW(target.paste(plain, 0, 0), SizeError, "void Image::paste(...)",
                        "Incompatible size and position");
    Image tile = randomImage(3, 2, 8, 3);
    tile.setColormap(colourMap());
    for (auto [x, y] : {std::pair{4, 0}, std::pair{0, 4}, std::pair{-1, 0}})
        EXPECT_PLEXAN_THROW(target.paste(tile, x, y), SizeError, "void Image::paste(...)",
                            "Incompatible size and position");
    EXPECT_EQ(target, before);

    target.paste(tile, 3, 3);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 3 && y >= 3;
            EXPECT_EQ(target.getRow(y)[x], inside ? tile.getRow(y - 3)[x - 3] : before.getRow(y)[x]);
        }

    // A direct target takes any source of its depth.
    Image rgb = randomImage(4, 4, 24, 4);
    const Image patch = randomImage(2, 1, 24, 5);
    rgb.paste(patch, 2, 3);
    EXPECT_EQ(std::memcmp(rgb.getRow(3) + 6, patch.getRow(0), 6), 0);
}

TEST(Image, ColorContentOfPixelsAndImages)
{
    using C = ImageColorContent;
    EXPECT_EQ(Image::colorContent(0, 0, 0), C::Grayscale);
    EXPECT_EQ(Image::colorContent(9, 9, 9), C::Grayscale);
    EXPECT_EQ(Image::colorContent(9, 0, 0), C::RedOnly);
    EXPECT_EQ(Image::colorContent(0, 9, 0), C::GreenOnly);
    EXPECT_EQ(Image::colorContent(0, 0, 9), C::BlueOnly);
    EXPECT_EQ(Image::colorContent(9, 9, 0), C::Color);
    EXPECT_EQ(Image::colorContent(1, 2, 3), C::Color);

    EXPECT_EQ(randomImage(3, 3, 8, 6).colorContent(), C::Grayscale);
    EXPECT_EQ(randomImage(3, 3, 16, 6).colorContent(), C::Grayscale);

    Image indexed = randomImage(3, 3, 8, 7);
    Colormap map(256);
    for (int i = 0; i < 256; ++i)
        map.setCell(i, 0, 0, static_cast<unsigned char>(i));
    indexed.setColormap(map);
    EXPECT_EQ(indexed.colorContent(), C::BlueOnly);
    indexed.setColormap(colourMap());
    EXPECT_EQ(indexed.colorContent(), C::Color);
    indexed.setGrayscale(256);
    EXPECT_TRUE(indexed.isGrayscale());

    // Direct colour: every pixel must share the first pixel's content.
    Image rgb(2, 2, 32);
    rgb.clear();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            rgb.getRow(y)[4 * x + 1] = static_cast<unsigned char>(10 + x + y);
    EXPECT_TRUE(rgb.isGreenOnly());
    rgb.getRow(1)[4] = 5; // one pixel gains red
    EXPECT_EQ(rgb.colorContent(), C::Color);
    Image grey(2, 1, 24);
    std::memset(grey.getData(), 77, 6);
    EXPECT_TRUE(grey.isGrayscale());
    grey.getRow(0)[3] = 0;
    grey.getRow(0)[4] = 0;
    EXPECT_EQ(grey.colorContent(), C::Color); // grey then red only
}

TEST(Image, EightBitGreyFromEveryDepth)
{
    // 24 and 32 bits: the mean of the three colours, integer division.
    for (int depth : {24, 32}) {
        const Image colour = randomImage(5, 4, depth, 8);
        Image grey(colour);
        grey.make8bitsGrayscale();
        ASSERT_EQ(grey.getDepth(), 8);
        const int step = depth / 8;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const unsigned char* p = colour.getRow(y) + step * x;
                EXPECT_EQ(grey.getRow(y)[x], (p[0] + p[1] + p[2]) / 3);
            }
    }
    // 16 bits with samples beyond 255: scaled by the largest one.
    Image deep(3, 2, 16);
    const std::uint16_t samples[6] = {0, 1, 1000, 40000, 777, 65535};
    std::memcpy(deep.getData(), samples, sizeof samples);
    Image scaled(deep);
    scaled.make8bitsGrayscale();
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(scaled.getData()[k], static_cast<int>(std::floor(samples[k] * 255.0 / 65535.0 + 0.5))) << k;
    // Samples all below 256 are copied.
    for (int k = 0; k < 6; ++k)
        setSample16(deep, k % 3, k / 3, static_cast<std::uint16_t>(40 * k + 3));
    deep.make8bitsGrayscale();
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(deep.getData()[k], 40 * k + 3);
    // Indexed: only the colormap turns grey.
    Image indexed = randomImage(4, 4, 8, 9);
    indexed.setColormap(colourMap());
    const Image before(indexed);
    indexed.make8bitsGrayscale();
    EXPECT_TRUE(indexed.isIndexed());
    EXPECT_EQ(std::memcmp(indexed.getData(), before.getData(), 16), 0);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(indexed.getColormap()->getRed()[i], (i + (255 - i) + i / 2) / 3);
}

TEST(Image, TwentyFourAndThirtyTwoBits)
{
    Image indexed = randomImage(4, 3, 8, 10);
    indexed.setColormap(colourMap());
    Image rgb(indexed);
    rgb.make24bits();
    ASSERT_EQ(rgb.getDepth(), 24);
    EXPECT_FALSE(rgb.hasColormap());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const int v = indexed.getRow(y)[x];
            EXPECT_EQ(rgb.getRow(y)[3 * x], v);
            EXPECT_EQ(rgb.getRow(y)[3 * x + 1], 255 - v);
            EXPECT_EQ(rgb.getRow(y)[3 * x + 2], v / 2);
        }
    Image grey = randomImage(4, 3, 8, 11);
    Image greyRgb(grey);
    greyRgb.make24bits();
    for (int k = 0; k < 12; ++k)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(greyRgb.getData()[3 * k + c], grey.getData()[k]);
    const Image again(greyRgb);
    greyRgb.make24bits();
    EXPECT_EQ(greyRgb, again);
    Image deep(2, 2, 16);
    EXPECT_PLEXAN_THROW(deep.make24bits(), DepthError, "void Image::make24bits()", "Cannot convert non-8 bits images");
    EXPECT_EQ(deep.getDepth(), 16);

    Image rgba(rgb);
    rgba.make32bits();
    ASSERT_EQ(rgba.getDepth(), 32);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(std::memcmp(rgba.getData() + 4 * k, rgb.getData() + 3 * k, 3), 0);
        EXPECT_EQ(rgba.getData()[4 * k + 3], 0);
    }
    Image eight(grey);
    eight.make32bits();
    EXPECT_EQ(eight, grey);
}

TEST(Image, ChannelsReadBackWhatWasWritten)
{
    for (int depth : {24, 32}) {
        Image image = randomImage(5, 3, depth, 12);
        const Image before(image);
        PixelMatrix<unsigned char> m(3, 5);
        m.randomise();
        image.setChannel(ImageChannel::Green, m);
        const Image green = image.channel(ImageChannel::Green);
        ASSERT_EQ(green.getDepth(), 8);
        EXPECT_EQ(PixelMatrix<unsigned char>(green), m);
        // The other channels are untouched.
        EXPECT_EQ(image.channel(ImageChannel::Red), before.channel(ImageChannel::Red));
        EXPECT_EQ(image.channel(ImageChannel::Blue), before.channel(ImageChannel::Blue));
        PixelMatrix<int> red;
        red.convertFromImage(image, ImageChannel::Red);
        EXPECT_EQ(PixelMatrix<int>(image.channel(ImageChannel::Red)), red);
        EXPECT_PLEXAN_THROW(image.setChannel(ImageChannel::Red, PixelMatrix<unsigned char>(5, 3)), SizeError,
                            "void Image::setChannel(...)", "This image and pixelMatrix have different sizes");
    }
    // Indexed images: the colormap component of each pixel.
    Image indexed = randomImage(4, 2, 8, 13);
    indexed.setColormap(colourMap());
    const Image blue = indexed.channel(ImageChannel::Blue);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(blue.getData()[k], indexed.getData()[k] / 2);
    // Grey images are their own channels.
    const Image grey = randomImage(4, 2, 8, 14);
    EXPECT_EQ(grey.channel(ImageChannel::Red), grey);
    EXPECT_PLEXAN_THROW(indexed.setChannel(ImageChannel::Red, PixelMatrix<unsigned char>(2, 4)), ColormapError,
                        "void Image::setChannel(...)", "Cannot set a channel of an indexed image");
}

TEST(Image, GrayscaleColormapsOnlyForEightBits)
{
    Image image = randomImage(2, 2, 8, 15);
    image.setGrayscale(16);
    ASSERT_TRUE(image.isIndexed());
    EXPECT_EQ(image.getColormap()->getSize(), 16);
    EXPECT_EQ(image.getColormap()->getRed()[15], 255);
    image.setGrayscale(0);
    EXPECT_FALSE(image.hasColormap());
    Image rgb(2, 2, 24);
    EXPECT_THROW(rgb.setGrayscale(256), DepthError);
}

TEST(Image, PrintReport)
{
    Image image(3, 2, 8);
    std::memset(image.getData(), 7, 6);
    image.getRow(1)[2] = 200;
    std::ostringstream out;
    image.print("test image", true, out);
    EXPECT_EQ(out.str(), "test image\n"
                         "Rows:     2\n"
                         "Cols:     3\n"
                         "Depth:    8\n"
                         "Colormap:  none\n"
                         "Size:     6 octets\n"
                         "Format:   None\n"
                         "Data:\n"
                         "   7   7   7\n"
                         "   7   7 200\n");
    Image rgb(1, 1, 32);
    const unsigned char pixel[4] = {1, 22, 133, 4};
    std::memcpy(rgb.getData(), pixel, 4);
    rgb.setColormap(Colormap(4));
    std::ostringstream colour;
    rgb.print("", true, colour);
    EXPECT_NE(colour.str().find("Colormap: 4 cells\n"), std::string::npos);
    EXPECT_NE(colour.str().find("(  1. 22.133.  4) \n"), std::string::npos) << colour.str();
    std::ostringstream hidden;
    rgb.print("", false, hidden);
    EXPECT_NE(hidden.str().find("Data: (not shown).\n"), std::string::npos);
    std::ostringstream empty;
    Image().print("", true, empty);
    EXPECT_NE(empty.str().find("[No data allocated yet.]\n"), std::string::npos);
}

TEST(Image, FilesAreWrittenInADirectoryAndReadBack)
{
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "plexan_image_files";
    std::filesystem::create_directories(dir);
    const Image image = randomImage(7, 5, 8, 19);
    image.writeFile("slice.tif", dir.string(), true);
    Image back;
    back.readFile("slice.tif", dir.string() + "/");
    EXPECT_EQ(PixelMatrix<int>(back), PixelMatrix<int>(image));
    EXPECT_THROW(image.writeFile("slice.tif", dir.string(), false), FileWriteError);
    std::filesystem::remove_all(dir);
}
