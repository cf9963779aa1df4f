#include "image/image.h"

#include "image/pixelmatrix.h"

#include "imagesupport.h"

#include <cmath>
#include <sstream>

using namespace imagetest;

TEST(Image, InitKeepsOrReplacesTheBuffer)
{
    Image image(4, 3, 24);
    const unsigned char* buffer = image.getData();
    image.init(4, 3, 24);
    EXPECT_EQ(image.getData(), buffer);
    image.init(3, 4, 24);
    EXPECT_EQ(image.dataLength(), 36u);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(image.getPixels()[y], image.getData() + 9 * y);
    EXPECT_PLEXAN_THROW(image.init(3, 4, 12), DepthError, "void Image::init(...)", "Invalid depth value");
    EXPECT_FALSE(image.hasData()); // released before the depth was refused
    EXPECT_THROW(image.init(-1, 4, 8), SizeError);
    EXPECT_THROW(image.setHeader(ImageHeader()), DepthError);
}

TEST(Image, PasteChecksDepthThenColormapThenPlace)
{
    Image target = randomImage(6, 5, 8, 1);
    target.setColormap(colourMap());
    const Image before(target);
    // Each source also fails the later checks: the first one is reported.
    Image plain = randomImage(9, 9, 8, 2), other = plain, tooLarge = plain, tile = randomImage(3, 2, 8, 3);
    Colormap changed = colourMap();
    changed.setCell(7, 1, 2, 3);
    other.setColormap(changed);
    tooLarge.setColormap(colourMap());
    tile.setColormap(colourMap());
    const std::string where = "void Image::paste(...)";
    EXPECT_PLEXAN_THROW(target.paste(Image(9, 9, 16), 0, 0), DepthError, where, "Incompatible image depths");
    EXPECT_PLEXAN_THROW(target.paste(plain, 0, 0), ColormapError, where, "Incompatible image colormaps");
    EXPECT_THROW(target.paste(other, 0, 0), ColormapError);
    EXPECT_PLEXAN_THROW(target.paste(tooLarge, 0, 0), SizeError, where, "Incompatible size and position");
    for (auto [x, y] : {std::pair{4, 0}, std::pair{0, 4}, std::pair{-1, 0}})
        EXPECT_THROW(target.paste(tile, x, y), SizeError);
    EXPECT_EQ(target, before);

    target.paste(tile, 3, 3);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(target.getRow(y)[x], x >= 3 && y >= 3 ? tile.getRow(y - 3)[x - 3] : before.getRow(y)[x]);
}

TEST(Image, ColorContentOfPixelsAndImages)
{
    using C = ImageColorContent;
    const std::vector<std::pair<std::array<unsigned char, 3>, C>> pixels{
        {{0, 0, 0}, C::Grayscale}, {{9, 9, 9}, C::Grayscale}, {{9, 0, 0}, C::RedOnly}, {{0, 9, 0}, C::GreenOnly},
        {{0, 0, 9}, C::BlueOnly},  {{9, 9, 0}, C::Color},     {{1, 2, 3}, C::Color}};
    for (const auto& [p, content] : pixels)
        EXPECT_EQ(Image::colorContent(p[0], p[1], p[2]), content) << +p[0] << " " << +p[1] << " " << +p[2];
    EXPECT_EQ(randomImage(3, 3, 16, 6).colorContent(), C::Grayscale);

    // Indexed images by their colormap; grey colormaps for 8 bits only.
    Image indexed = randomImage(3, 3, 8, 7);
    EXPECT_EQ(indexed.colorContent(), C::Grayscale);
    Colormap map(256);
    for (int i = 0; i < 256; ++i)
        map.setCell(i, 0, 0, static_cast<unsigned char>(i));
    indexed.setColormap(map);
    EXPECT_EQ(indexed.colorContent(), C::BlueOnly);
    indexed.setColormap(colourMap());
    EXPECT_EQ(indexed.colorContent(), C::Color);
    EXPECT_THROW(Image(2, 2, 24).setGrayscale(256), DepthError);

    // Direct colour: every pixel must share the first pixel's content.
    Image rgb(2, 2, 32);
    rgb.clear();
    for (int k = 0; k < 4; ++k)
        rgb.getData()[4 * k + 1] = static_cast<unsigned char>(10 + k);
    EXPECT_TRUE(rgb.isGreenOnly());
    rgb.getRow(1)[4] = 5; // one pixel gains red
    EXPECT_EQ(rgb.colorContent(), C::Color);
    std::memset(rgb.getData(), 77, 4);
    EXPECT_EQ(rgb.colorContent(), C::Color) << "grey then green only";
}

TEST(Image, DepthConversions)
{
    // To 8-bit grey: colour pixels give the mean of the three colours.
    for (int depth : {24, 32}) {
        const Image colour = randomImage(5, 4, depth, 8);
        Image grey(colour);
        grey.make8bitsGrayscale();
        ASSERT_EQ(grey.getDepth(), 8);
        for (int k = 0; k < 20; ++k) {
            const unsigned char* p = colour.getData() + depth / 8 * k;
            EXPECT_EQ(grey.getData()[k], (p[0] + p[1] + p[2]) / 3);
        }
    }
    // 16 bits with samples beyond 255 are scaled by the largest one; samples
    // all below 256 are copied.
    Image deep(3, 2, 16), small(3, 2, 16);
    const std::uint16_t samples[6] = {0, 1, 1000, 40000, 777, 65535}, few[6] = {3, 43, 83, 123, 163, 255};
    std::memcpy(deep.getData(), samples, sizeof samples);
    std::memcpy(small.getData(), few, sizeof few);
    deep.make8bitsGrayscale();
    small.make8bitsGrayscale();
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(deep.getData()[k], static_cast<int>(std::floor(samples[k] * 255.0 / 65535.0 + 0.5))) << k;
        EXPECT_EQ(small.getData()[k], few[k]);
    }
    Image indexed = randomImage(4, 3, 8, 9);
    indexed.setColormap(colourMap());
    // To 24 bits: the colormap's colours, or the grey level three times;
    // then to 32 with a zero fourth byte.
    Image rgb(indexed), greyRgb(randomImage(4, 3, 8, 11));
    const Image grey(greyRgb);
    rgb.make24bits();
    greyRgb.make24bits();
    EXPECT_FALSE(rgb.hasColormap());
    Image rgba(rgb);
    rgba.make32bits();
    for (int k = 0; k < 12; ++k) {
        const int v = indexed.getData()[k];
        EXPECT_EQ(rgb.getData()[3 * k], v);
        EXPECT_EQ(rgb.getData()[3 * k + 1], 255 - v);
        EXPECT_EQ(rgb.getData()[3 * k + 2], v / 2);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(greyRgb.getData()[3 * k + c], grey.getData()[k]);
        EXPECT_EQ(std::memcmp(rgba.getData() + 4 * k, rgb.getData() + 3 * k, 3), 0);
        EXPECT_EQ(rgba.getData()[4 * k + 3], 0);
    }
    Image sixteen(2, 2, 16);
    EXPECT_PLEXAN_THROW(sixteen.make24bits(), DepthError, "void Image::make24bits()",
                        "Cannot convert non-8 bits images");
}

TEST(Image, ChannelsReadBackWhatWasWritten)
{
    for (int depth : {24, 32}) {
        Image image = randomImage(5, 3, depth, 12);
        const Image before(image);
        PixelMatrix<unsigned char> m(3, 5);
        m.randomise();
        image.setChannel(ImageChannel::Green, m);
        EXPECT_EQ(PixelMatrix<unsigned char>(image.channel(ImageChannel::Green)), m);
        EXPECT_EQ(image.channel(ImageChannel::Red), before.channel(ImageChannel::Red));
        EXPECT_EQ(image.channel(ImageChannel::Blue), before.channel(ImageChannel::Blue));
        EXPECT_PLEXAN_THROW(image.setChannel(ImageChannel::Red, PixelMatrix<unsigned char>(5, 3)), SizeError,
                            "void Image::setChannel(...)", "This image and pixelMatrix have different sizes");
    }
    // Indexed images: the colormap component of each pixel.
    Image indexed = randomImage(4, 2, 8, 13);
    indexed.setColormap(colourMap());
    const Image blue = indexed.channel(ImageChannel::Blue);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(blue.getData()[k], indexed.getData()[k] / 2);
    EXPECT_PLEXAN_THROW(indexed.setChannel(ImageChannel::Red, PixelMatrix<unsigned char>(2, 4)), ColormapError,
                        "void Image::setChannel(...)", "Cannot set a channel of an indexed image");
}

TEST(Image, PrintReportAndFiles)
{
    Image image(3, 2, 8);
    std::memset(image.getData(), 7, 6);
    image.getRow(1)[2] = 200;
    std::ostringstream out, colour;
    image.print("test image", true, out);
    EXPECT_EQ(out.str(), "test image\nRows:     2\nCols:     3\nDepth:    8\nColormap:  none\nSize:     6 octets\n"
                         "Format:   None\nData:\n   7   7   7\n   7   7 200\n");
    Image rgb(1, 1, 32);
    const unsigned char pixel[4] = {1, 22, 133, 4};
    std::memcpy(rgb.getData(), pixel, 4);
    rgb.print("", true, colour);
    EXPECT_NE(colour.str().find("(  1. 22.133.  4) \n"), std::string::npos) << colour.str();

    // writeFile joins directory and name with a slash, readFile does not.
    const ScratchDirectory dir;
    const std::string folder = dir.file("");
    image.writeFile("slice.tif", folder.substr(0, folder.size() - 1), true);
    Image back;
    back.readFile("slice.tif", folder);
    EXPECT_EQ(bytesOf(back), bytesOf(image));
}
