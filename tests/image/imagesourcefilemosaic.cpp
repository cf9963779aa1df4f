#include "image/imagesourcefilemosaic.h"

#include "image/image.h"
#include "image/imagereader.h"
#include "image/imagewriter.h"

#include "support/expect.h"
#include "tiffsupport.h"

#include <random>
#include <vector>

using tiffsupport::ScratchDirectory;

namespace {

const std::string setWhere = "void ImageSourceFileMosaic::setFilename(...)";

// Writes a tile of the given size and depth with a pixel pattern of its own.
std::string writeTile(const ScratchDirectory& dir, const std::string& name, int width, int height,
                      int depth = 8, const Colormap* colormap = nullptr, unsigned seed = 0)
{
    Image image(width, height, depth);
    std::mt19937 generator(seed ? seed : static_cast<unsigned>(name.size() * 131 + width));
    for (std::size_t i = 0; i < image.dataLength(); ++i)
        image.getData()[i] = static_cast<unsigned char>(1 + generator() % 255);
    if (colormap)
        image.setColormap(*colormap);
    ImageWriter().write(image, dir.file(name), true);
    return dir.file(name);
}

Colormap ramp(int shift)
{
    Colormap c(256);
    for (int i = 0; i < 256; ++i)
        c.setCell(i, static_cast<unsigned char>(i + shift), static_cast<unsigned char>(i),
                  static_cast<unsigned char>(255 - i));
    return c;
}

Image readImage(const std::string& file)
{
    Image image;
    ImageReader().read(image, file);
    return image;
}

std::vector<int> values(const Vector<int>& v)
{
    std::vector<int> out;
    for (int i = 0; i < v.getSize(); ++i)
        out.push_back(v[i]);
    return out;
}

} // namespace

TEST(ImageSourceFileMosaic, EmptyGrid)
{
    ImageSourceFileMosaic mosaic(2, 3);
    EXPECT_FALSE(mosaic.isDefined());
    EXPECT_EQ(values(mosaic.colWidths()), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(mosaic.getFilename(-1, 7), "");
    // Nothing to read: no depth to make an image of.
    Image image;
    EXPECT_THROW(ImageReader().read(image, mosaic), DepthError);

    EXPECT_PLEXAN_THROW(ImageSourceFileMosaic(-1, 2), SizeError,
                        "ImageSourceFileMosaic::ImageSourceFileMosaic(int, int)",
                        "Invalid mosaic dimensions");
    EXPECT_THROW(ImageSourceFileMosaic(100000, 100000), SizeError);
}

TEST(ImageSourceFileMosaic, AssemblyEqualsTheTilesPastedByHand)
{
    ScratchDirectory dir;
    // Rows 5 and 3 high, columns 4, 6 and 2 wide; cell (1, 1) stays empty.
    const int heights[2] = {5, 3}, widths[3] = {4, 6, 2};
    ImageSourceFileMosaic mosaic(2, 3);
    // Placed out of order: the sizes come from the first tile of each row and column.
    const int order[5][2] = {{1, 2}, {0, 1}, {1, 0}, {0, 0}, {0, 2}};
    for (const auto& cell : order) {
        const int r = cell[0], c = cell[1];
        const std::string name = "t" + std::to_string(r) + std::to_string(c) + ".tif";
        mosaic.setFilename(r, c, writeTile(dir, name, widths[c], heights[r], 24));
    }
    EXPECT_TRUE(mosaic.isDefined());
    EXPECT_EQ(values(mosaic.rowHeights()), (std::vector<int>{5, 3}));
    EXPECT_EQ(values(mosaic.colWidths()), (std::vector<int>{4, 6, 2}));
    EXPECT_EQ(mosaic.getSize1(), 8);
    EXPECT_EQ(mosaic.getSize2(), 12);
    EXPECT_EQ(values(mosaic.getSize()), (std::vector<int>{8, 12}));
    EXPECT_EQ(mosaic.getDepth(), 24);
    EXPECT_EQ(mosaic.getFilename(0, 2), dir.file("t02.tif"));
    EXPECT_EQ(mosaic.getFilename(1, 1), "");

    Image image;
    ImageReader reader;
    reader.read(image, static_cast<const ImageSource&>(mosaic));
    ASSERT_EQ(image.getWidth(), 12);
    ASSERT_EQ(image.getHeight(), 8);
    ASSERT_EQ(image.getDepth(), 24);

    // Pixel by pixel: the tile covering it, or black.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const int r = y < 5 ? 0 : 1, ty = y - (r ? 5 : 0);
            const int c = x < 4 ? 0 : x < 10 ? 1 : 2, tx = x - (c == 0 ? 0 : c == 1 ? 4 : 10);
            const unsigned char* got = image.getRow(y) + 3 * x;
            if (r == 1 && c == 1) {
                EXPECT_TRUE(got[0] == 0 && got[1] == 0 && got[2] == 0) << x << "," << y;
                continue;
            }
            const Image tile = readImage(mosaic.getFilename(r, c));
            const unsigned char* want = tile.getRow(ty) + 3 * tx;
            ASSERT_TRUE(std::equal(want, want + 3, got)) << x << "," << y;
        }
}

TEST(ImageSourceFileMosaic, ColormapOfTheTilesIsKept)
{
    ScratchDirectory dir;
    const Colormap colormap = ramp(0);
    ImageSourceFileMosaic mosaic(1, 2);
    mosaic.setFilename(0, 1, writeTile(dir, "b.tif", 3, 2, 8, &colormap));
    mosaic.setFilename(0, 0, writeTile(dir, "a.tif", 5, 2, 8, &colormap));
    ASSERT_NE(mosaic.getColormap(), nullptr);
    EXPECT_EQ(*mosaic.getColormap(), colormap);

    Image image;
    ImageReader().read(image, mosaic);
    EXPECT_TRUE(image.isIndexed());
    EXPECT_EQ(*image.getColormap(), colormap);
    Image expected(8, 2, 8);
    expected.setColormap(colormap);
    expected.paste(readImage(dir.file("a.tif")), 0, 0);
    expected.paste(readImage(dir.file("b.tif")), 5, 0);
    EXPECT_TRUE(std::equal(image.getData(), image.getData() + 16, expected.getData()));
}

TEST(ImageSourceFileMosaic, TilesAreCheckedInOrder)
{
    ScratchDirectory dir;
    const Colormap grey = ramp(0), other = ramp(1);
    ImageSourceFileMosaic mosaic(2, 2);
    mosaic.setFilename(0, 0, writeTile(dir, "first.tif", 6, 4, 8, &grey));

    // Occupied cells are refused before the file is even looked at.
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 0, dir.file("missing.tif")), ValueError, setWhere,
                        "Mosaic position already set");
    EXPECT_PLEXAN_THROW(mosaic.setFilename(2, 0, dir.file("first.tif")), RangeError, setWhere,
                        "Mosaic position out of range");
    // Depth before colormap before size: each tile below fails all the later checks too.
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 1, writeTile(dir, "d.tif", 7, 5, 16)), DepthError,
                        setWhere, "Incompatible image depths");
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 1, writeTile(dir, "g.tif", 7, 5, 8)), ColormapError,
                        setWhere, "Incompatible colormaps");
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 1, writeTile(dir, "c.tif", 7, 5, 8, &other)),
                        ColormapError, setWhere, "Incompatible colormaps");
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 1, writeTile(dir, "h.tif", 7, 5, 8, &grey)),
                        SizeError, setWhere, "Incompatible image dimensions");
    EXPECT_PLEXAN_THROW(mosaic.setFilename(1, 0, writeTile(dir, "w.tif", 5, 9, 8, &grey)),
                        SizeError, setWhere, "Incompatible image dimensions");
    // A refused tile leaves the mosaic as it was: row 1 is still free to take
    // its height from the next tile.
    EXPECT_EQ(values(mosaic.rowHeights()), (std::vector<int>{4, 0}));
    EXPECT_EQ(values(mosaic.colWidths()), (std::vector<int>{6, 0}));
    EXPECT_EQ(mosaic.getFilename(0, 1), "");
    mosaic.setFilename(1, 1, writeTile(dir, "ok.tif", 2, 9, 8, &grey));
    EXPECT_EQ(values(mosaic.rowHeights()), (std::vector<int>{4, 9}));
    EXPECT_EQ(values(mosaic.colWidths()), (std::vector<int>{6, 2}));

    // A file that cannot be read: the reader's error, marked with our call.
    try {
        mosaic.setFilename(1, 0, dir.file("missing.tif"));
        ADD_FAILURE() << "accepted";
    } catch (const FileReadError& e) {
        EXPECT_EQ(e.getWhat(), "Cannot open file for reading");
        EXPECT_NE(e.getCalls().find(setWhere), std::string::npos);
    }
    EXPECT_EQ(mosaic.getFilename(1, 0), "");
}

TEST(ImageSourceFileMosaic, DepthAndColormapComeFromTheFirstTileInRowOrder)
{
    ScratchDirectory dir;
    ImageSourceFileMosaic mosaic(2, 2);
    mosaic.setFilename(1, 0, writeTile(dir, "a.tif", 3, 3, 32));
    mosaic.setFilename(0, 1, writeTile(dir, "b.tif", 3, 3, 32));
    EXPECT_EQ(mosaic.getDepth(), 32);
    EXPECT_EQ(mosaic.getColormap(), nullptr);

    // Copies are deep and independent.
    ImageSourceFileMosaic copy(mosaic);
    const std::unique_ptr<ImageSource> clone = mosaic.clone();
    mosaic.clear();
    EXPECT_FALSE(mosaic.isDefined());
    EXPECT_EQ(values(mosaic.rowHeights()), (std::vector<int>{0, 0}));
    EXPECT_EQ(copy.getFilename(1, 0), dir.file("a.tif"));
    EXPECT_EQ(clone->getType(), ImageSource::FileMosaicType);
    EXPECT_EQ(clone->getSize1(), 6);
    EXPECT_EQ(clone->getDepth(), 32);
    copy = ImageSourceFileMosaic(1, 1);
    EXPECT_EQ(clone->getSize2(), 6);
}

TEST(ImageSourceFileMosaic, TileChangedOnDiskIsRefusedWhenAssembling)
{
    ScratchDirectory dir;
    ImageSourceFileMosaic mosaic(1, 2);
    mosaic.setFilename(0, 0, writeTile(dir, "a.tif", 4, 4));
    mosaic.setFilename(0, 1, writeTile(dir, "b.tif", 4, 4));
    writeTile(dir, "b.tif", 5, 4); // grown since
    Image image;
    EXPECT_PLEXAN_THROW(ImageReader().read(image, mosaic), SizeError, "void Image::paste(...)",
                        "Incompatible size and position");
}
