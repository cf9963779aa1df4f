#include "image/imagesourcefile.h"

#include "image/image.h"
#include "image/imagereader.h"
#include "image/imagewriter.h"

#include "support/expect.h"
#include "tiffsupport.h"

using tiffsupport::ScratchDirectory;

TEST(ImageSourceFile, TakesItsSizesFromTheFileHeader)
{
    ScratchDirectory dir;
    Image image(7, 3, 8);
    image.clear();
    Colormap colormap(256);
    colormap.setCell(9, 1, 2, 3);
    image.setColormap(colormap);
    ImageWriter().write(image, dir.file("s.tif"), false);

    ImageSourceFile source;
    EXPECT_FALSE(source.isDefined());
    EXPECT_EQ(source.getSize1(), 0);
    EXPECT_EQ(source.getColormap(), nullptr);

    source.setFilename(dir.file("s.tif"));
    EXPECT_TRUE(source.isDefined());
    EXPECT_EQ(source.getType(), ImageSource::FileType);
    EXPECT_EQ(source.getSize1(), 3);
    EXPECT_EQ(source.getSize2(), 7);
    EXPECT_EQ(source.getDepth(), 8);
    ASSERT_NE(source.getColormap(), nullptr);
    EXPECT_EQ(*source.getColormap(), colormap);

    // A clone keeps the header, read once: the file may go.
    const std::unique_ptr<ImageSource> clone = source.clone();
    std::filesystem::remove(dir.file("s.tif"));
    EXPECT_EQ(clone->getSize2(), 7);
    EXPECT_EQ(*clone->getColormap(), colormap);
    // ... but the pixels are read on demand.
    Image back;
    EXPECT_THROW(ImageReader().read(back, *clone), Exception);
}

TEST(ImageSourceFile, UnreadableFileKeepsTheNameAndReportsTheCall)
{
    ScratchDirectory dir;
    ImageSourceFile source;
    try {
        source.setFilename(dir.file("absent.tif"));
        ADD_FAILURE() << "accepted";
    } catch (const FileReadError& e) {
        EXPECT_EQ(e.getWhat(), "Cannot open file for reading");
        EXPECT_EQ(e.getFile(), dir.file("absent.tif"));
        EXPECT_NE(e.getCalls().find("void ImageSourceFile::setFilename(const string&)"),
                  std::string::npos);
    }
    EXPECT_EQ(source.getFilename(), dir.file("absent.tif"));
    EXPECT_EQ(source.getDepth(), 0);
}

TEST(ImageSourceFile, NullSourceReadsNothing)
{
    Image image(2, 2, 8);
    image.clear();
    ImageReader().read(image, static_cast<const ImageSource*>(nullptr));
    EXPECT_EQ(image.getWidth(), 2);
}
