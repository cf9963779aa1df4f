#include "image/imagesourcefilemosaic.h"

#include "image/image.h"
#include "image/imagereader.h"
#include "image/imagewriter.h"

#include "imagesupport.h"

using namespace imagetest;

namespace {

const std::string setWhere = "void ImageSourceFileMosaic::setFilename(...)";

// Writes a random tile of the given size and depth and returns its path.
std::string writeTile(const ScratchDirectory& dir, const std::string& name, int width, int height, int depth = 8,
                      const Colormap* colormap = nullptr)
{
    Image image = randomImage(width, height, depth, static_cast<unsigned>(name.size() * 131 + width));
    if (colormap)
        image.setColormap(*colormap);
    ImageWriter().write(image, dir.file(name), true);
    return dir.file(name);
}

Image readImage(const ImageSource& source)
{
    Image image;
    ImageReader().read(image, source);
    return image;
}

} // namespace

TEST(ImageSourceFileMosaic, AssemblyEqualsTheTilesPastedByHand)
{
    const ScratchDirectory dir;
    // Rows 5 and 3 high, columns 4, 6 and 2 wide; cell (1, 1) stays empty.
    // Placed out of order: the sizes come from the first tile of each row
    // and column, the depth and colormap from the first in row order.
    const int heights[2] = {5, 3}, widths[3] = {4, 6, 2}, offsets[3] = {0, 4, 10};
    const Colormap colormap = colourMap();
    for (const Colormap* map : {static_cast<const Colormap*>(nullptr), &colormap}) {
        ImageSourceFileMosaic mosaic(2, 3);
        for (const auto& [r, c] : {std::pair{1, 2}, {0, 1}, {1, 0}, {0, 0}, {0, 2}})
            mosaic.setFilename(r, c, writeTile(dir, "t" + std::to_string(r) + std::to_string(c) + ".tif", widths[c],
                                               heights[r], map ? 8 : 24, map));
        EXPECT_EQ(mosaic.getSize(), (Vector<int>{8, 12}));
        const Image image = readImage(mosaic);
        Image expected(12, 8, map ? 8 : 24);
        expected.clear();
        if (map) {
            EXPECT_EQ(*mosaic.getColormap(), colormap);
            expected.setColormap(colormap);
        }
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c)
                if (r != 1 || c != 1) {
                    ImageSourceFile tile;
                    tile.setFilename(mosaic.getFilename(r, c));
                    expected.paste(readImage(tile), offsets[c], r * 5);
                }
        EXPECT_EQ(image, expected);
    }
}

TEST(ImageSourceFileMosaic, TilesAreCheckedInOrder)
{
    const ScratchDirectory dir;
    const Colormap grey = colourMap();
    Colormap other = grey;
    other.setCell(3, 0, 0, 0);
    ImageSourceFileMosaic mosaic(2, 2);
    mosaic.setFilename(0, 0, writeTile(dir, "first.tif", 6, 4, 8, &grey));
    // Occupied cells are refused before the file is even looked at.
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 0, dir.file("missing.tif")), ValueError, setWhere,
                        "Mosaic position already set");
    EXPECT_PLEXAN_THROW(mosaic.setFilename(2, 0, dir.file("first.tif")), RangeError, setWhere,
                        "Mosaic position out of range");
    // Depth before colormap before size: each tile fails all the later checks too.
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 1, writeTile(dir, "d.tif", 7, 5, 16)), DepthError, setWhere,
                        "Incompatible image depths");
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 1, writeTile(dir, "g.tif", 7, 5, 8)), ColormapError, setWhere,
                        "Incompatible colormaps");
    EXPECT_THROW(mosaic.setFilename(0, 1, writeTile(dir, "c.tif", 7, 5, 8, &other)), ColormapError);
    EXPECT_PLEXAN_THROW(mosaic.setFilename(0, 1, writeTile(dir, "h.tif", 7, 5, 8, &grey)), SizeError, setWhere,
                        "Incompatible image dimensions");
    EXPECT_THROW(mosaic.setFilename(1, 0, writeTile(dir, "w.tif", 5, 9, 8, &grey)), SizeError);
    // A file that cannot be read: the reader's error, marked with our call.
    try {
        mosaic.setFilename(1, 0, dir.file("missing.tif"));
        ADD_FAILURE() << "accepted";
    } catch (const FileReadError& e) {
        EXPECT_NE(e.getCalls().find(setWhere), std::string::npos);
    }
    // Refused tiles leave the mosaic as it was: row 1 still takes its height
    // from the next tile.
    EXPECT_EQ(mosaic.getFilename(0, 1), "");
    mosaic.setFilename(1, 1, writeTile(dir, "ok.tif", 2, 9, 8, &grey));
    EXPECT_EQ(mosaic.rowHeights(), (Vector<int>{4, 9}));
    EXPECT_EQ(mosaic.colWidths(), (Vector<int>{6, 2}));

    // Copies are deep; a clone keeps the sizes when the original is cleared.
    const std::unique_ptr<ImageSource> clone = mosaic.clone();
    mosaic.clear();
    EXPECT_FALSE(mosaic.isDefined());
    EXPECT_EQ(clone->getType(), ImageSource::FileMosaicType);
    EXPECT_EQ(clone->getSize1(), 13);
    // A tile that changed on disk since it was placed is refused when assembling.
    writeTile(dir, "ok.tif", 3, 9, 8, &grey);
    EXPECT_PLEXAN_THROW(readImage(*clone), SizeError, "void Image::paste(...)", "Incompatible size and position");

    EXPECT_PLEXAN_THROW(ImageSourceFileMosaic(-1, 2), SizeError,
                        "ImageSourceFileMosaic::ImageSourceFileMosaic(int, int)", "Invalid mosaic dimensions");
    EXPECT_THROW(readImage(ImageSourceFileMosaic(2, 3)), DepthError) << "no tile, no depth to make an image of";
}
