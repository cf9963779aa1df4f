#include "image/imagesourcefile.h"

#include "image/imagereader.h"
#include "image/imagewriter.h"

#include "imagesupport.h"

using namespace imagetest;

TEST(ImageSourceFile, ReadsTheHeaderOnceAndThePixelsOnDemand)
{
    const ScratchDirectory dir;
    const Image image = randomImage(7, 3, 8, 5, 256);
    ImageWriter().write(image, dir.file("s.tif"), false);
    ImageSourceFile source;
    source.setFilename(dir.file("s.tif"));
    EXPECT_EQ(source.getSize(), (Vector<int>{3, 7}));
    ASSERT_NE(source.getColormap(), nullptr);
    EXPECT_EQ(*source.getColormap(), *image.getColormap());
    // A clone keeps the header, but the pixels are read each time asked for.
    const std::unique_ptr<ImageSource> clone = source.clone();
    Image back;
    ImageReader().read(back, *clone);
    EXPECT_EQ(bytesOf(back), bytesOf(image));
    std::filesystem::remove(dir.file("s.tif"));
    EXPECT_EQ(clone->getSize2(), 7);
    EXPECT_THROW(ImageReader().read(back, *clone), Exception);

    // An unreadable file: the name is kept, the reader's error marked.
    try {
        source.setFilename(dir.file("absent.tif"));
        ADD_FAILURE() << "accepted";
    } catch (const FileReadError& e) {
        EXPECT_EQ(e.getFile(), dir.file("absent.tif"));
        EXPECT_NE(e.getCalls().find("void ImageSourceFile::setFilename(const string&)"), std::string::npos);
    }
    EXPECT_EQ(source.getFilename(), dir.file("absent.tif"));
    EXPECT_EQ(source.getDepth(), 0);
    // No source at all: nothing is read.
    ImageReader().read(back, static_cast<const ImageSource*>(nullptr));
    EXPECT_EQ(back.getWidth(), 7);
}
