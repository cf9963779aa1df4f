#include "image/imagereader.h"

#include "image/image.h"
#include "image/imageheader.h"
#include "numerics/progressmonitor.h"

#include "support/expect.h"
#include "tiffsupport.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

using tiffsupport::LibtiffLayout;
using tiffsupport::ScratchDirectory;
using tiffsupport::TiffBytes;
using tiffsupport::readBytes;
using tiffsupport::writeBytes;
using tiffsupport::writeWithLibtiff;

namespace {

const std::string openWhere = "void ImageReader::readHeader(ImageHeader&,const string&)";
const std::string formatWhere = "void ImageReader::readHeader(ImageHeader&,const string&) const";
const std::string tiffHeaderWhere = "void ImageReader::readTiffHeader(ImageHeader&, TIFF*)";
const std::string tiffPixelsWhere = "void Image::readTiffPixels(Image&, TIFF*)";
const std::string readCall = "void ImageReader::read(...)";

std::string dataFile(const std::string& name)
{
    return std::string(PLEXAN_TEST_DATA_DIR) + "/image/" + name;
}

std::vector<unsigned char> bytesOf(const Image& image)
{
    const unsigned char* p = image.getData();
    return p ? std::vector<unsigned char>(p, p + image.dataLength())
             : std::vector<unsigned char>();
}

void put16(std::vector<unsigned char>& out, std::uint16_t v)
{
    unsigned char b[2];
    std::memcpy(b, &v, 2);
    out.insert(out.end(), b, b + 2);
}

// The pixels of the files in tests/data/image, from the formulas of the
// script that wrote them (13 x 7 pixels, samples in the machine's order).
enum class Pattern { Grey8, Grey16, Rgb, Rgba, Index };

std::vector<unsigned char> pattern(Pattern kind, int width = 13, int height = 7)
{
    std::vector<unsigned char> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            switch (kind) {
            case Pattern::Grey8:
                out.push_back(static_cast<unsigned char>((37 * x + 11 * y) % 256));
                break;
            case Pattern::Grey16:
                put16(out, static_cast<std::uint16_t>((4099 * x + 257 * y + 5) % 65536));
                break;
            case Pattern::Rgb:
            case Pattern::Rgba:
                out.push_back(static_cast<unsigned char>((20 * x) % 256));
                out.push_back(static_cast<unsigned char>((30 * y) % 256));
                out.push_back(static_cast<unsigned char>((5 * (x + y) + 1) % 256));
                if (kind == Pattern::Rgba)
                    out.push_back(static_cast<unsigned char>(255 - 10 * x));
                break;
            case Pattern::Index:
                out.push_back(static_cast<unsigned char>((x + 13 * y) % 256));
                break;
            }
    return out;
}

std::vector<unsigned char> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::vector<unsigned char> out(n);
    for (auto& b : out)
        b = static_cast<unsigned char>(generator() & 0xff);
    return out;
}

// Runs `statement`, expecting an Exception of exactly the base class (the
// reader's wrapping), and returns it.
Exception plainException(const std::function<void()>& statement)
{
    try {
        statement();
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), typeid(Exception)) << "not rethrown as a plain Exception";
        EXPECT_NE(e.getCalls().find(readCall), std::string::npos) << e.getCalls();
        return e;
    }
    ADD_FAILURE() << "no exception";
    return Exception();
}

class RecordingMonitor : public ProgressMonitor {
public:
    int cancelAt = -1;
    std::vector<std::string> events;
    std::vector<unsigned> steps;
    unsigned total = 0;

protected:
    void subjectStarted(const std::string& text) override { events.push_back("started " + text); }
    void subjectFinished(const std::string& text) override { events.push_back("finished " + text); }
    void subjectCanceled(const std::string& text) override { events.push_back("canceled " + text); }
    void subjectProgressed(unsigned i, unsigned n) override
    {
        steps.push_back(i);
        total = n;
        if (static_cast<int>(i) == cancelAt)
            currentSubject()->cancel();
    }
};

} // namespace

// Files written by another program -------------------------------------------------

struct DataFile {
    const char* name;
    int depth;
    Pattern pixels;
    float pixelWidth;
    float pixelHeight;
};

class TiffDataFile : public ::testing::TestWithParam<DataFile> {};

TEST_P(TiffDataFile, PixelsAndCalibrationAreThoseWritten)
{
    const DataFile& f = GetParam();
    Image image;
    ImageReader().read(image, dataFile(f.name));
    EXPECT_EQ(image.getWidth(), 13);
    EXPECT_EQ(image.getHeight(), 7);
    EXPECT_EQ(image.getDepth(), f.depth);
    EXPECT_EQ(image.getImageFormat(), ImageFormat::Tiff);
    EXPECT_EQ(bytesOf(image), pattern(f.pixels));
    EXPECT_FLOAT_EQ(image.getPixelCalibration().getPixelWidth(), f.pixelWidth);
    EXPECT_FLOAT_EQ(image.getPixelCalibration().getPixelHeight(), f.pixelHeight);
    EXPECT_EQ(image.getPixelCalibration().getLengthUnit().getScale(), 0);
    EXPECT_EQ(image.hasColormap(), f.pixels == Pattern::Index);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TiffDataFile,
    ::testing::Values(DataFile{"grey8_ii.tif", 8, Pattern::Grey8, 1 / 2000.0f, 1 / 4000.0f},
                      DataFile{"grey8_mm_packbits.tif", 8, Pattern::Grey8, 1, 1},
                      DataFile{"palette8_ii.tif", 8, Pattern::Index, 1, 1},
                      DataFile{"grey16_mm.tif", 16, Pattern::Grey16, 1 / 72.0f, 1 / 72.0f},
                      DataFile{"grey16_ii.tif", 16, Pattern::Grey16, 1, 1},
                      DataFile{"rgb8_mm.tif", 24, Pattern::Rgb, 1, 1},
                      DataFile{"rgba8_ii.tif", 32, Pattern::Rgba, 1, 1}),
    [](const auto& info) {
        std::string name = info.param.name;
        return name.substr(0, name.find('.'));
    });

TEST(ImageReaderTiff, PaletteTakesTheHighByteOfEachColormapEntry)
{
    ImageHeader header;
    ImageReader().read(header, dataFile("palette8_ii.tif"));
    ASSERT_TRUE(header.hasColormap());
    const Colormap& colormap = *header.getColormap();
    ASSERT_EQ(colormap.getSize(), 256);
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(colormap.getRed()[i], i);
        EXPECT_EQ(colormap.getGreen()[i], 255 - i);
        EXPECT_EQ(colormap.getBlue()[i], (3 * i) % 256);
    }
}

TEST(ImageReaderTiff, ResolutionsBecomePixelSizes)
{
    ImageHeader header;
    ImageReader reader;
    // Both resolutions: the ratio is derived from them.
    reader.read(header, dataFile("grey8_ii.tif"));
    const PixelCalibration& both = header.getPixelCalibration();
    EXPECT_TRUE(both.isPixelWidthSet() && both.isPixelHeightSet());
    EXPECT_FALSE(both.isAspectRatioSet());
    EXPECT_FLOAT_EQ(both.getAspectRatio(), 0.5f);

    // XResolution 72 alone: square pixels of 1/72.
    reader.read(header, dataFile("grey16_mm.tif"));
    const PixelCalibration& x = header.getPixelCalibration();
    EXPECT_FLOAT_EQ(x.getPixelWidth(), 1 / 72.0f);
    EXPECT_FLOAT_EQ(x.getPixelHeight(), 1 / 72.0f);
    EXPECT_TRUE(x.isPixelWidthSet());
    EXPECT_FALSE(x.isPixelHeightSet());

    // A zero resolution counts as none.
    ScratchDirectory dir;
    const std::string zero = dir.file("zero.tif");
    writeBytes(zero, TiffBytes::image(false, 2, 2, 8, 1, 1, "abcd").rational(282, 0, 1).bytes());
    reader.read(header, zero);
    EXPECT_FALSE(header.getPixelCalibration().isPixelWidthSet());
    EXPECT_EQ(header.getPixelCalibration(), PixelCalibration());
}

TEST(ImageReaderTiff, SixteenBitRgbIsAcceptedByTheHeaderOnly)
{
    ImageHeader header;
    ImageReader().read(header, dataFile("rgb16_ii.tif"));
    EXPECT_EQ(header.getDepth(), 48);
    EXPECT_EQ(header.getWidth(), 13);
    EXPECT_EQ(header.getHeight(), 7);
    EXPECT_EQ(header.getImageFormat(), ImageFormat::Tiff);

    // No image holds 48-bit pixels.
    Image image;
    const Exception e = plainException([&] { ImageReader().read(image, dataFile("rgb16_ii.tif")); });
    EXPECT_EQ(e.getWhat(), "Invalid depth value");
}

// Every layout libtiff can write is read to the same pixels.
TEST(ImageReaderTiff, LibtiffLayoutsReadToTheWrittenPixels)
{
    struct Kind {
        int bits, samples, photometric;
    };
    const Kind kinds[] = {{8, 1, PHOTOMETRIC_MINISBLACK},
                          {8, 1, PHOTOMETRIC_PALETTE},
                          {16, 1, PHOTOMETRIC_MINISBLACK},
                          {8, 3, PHOTOMETRIC_RGB},
                          {8, 4, PHOTOMETRIC_RGB}};
    const std::uint16_t compressions[] = {COMPRESSION_NONE, COMPRESSION_LZW,
                                          COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS};
    const int width = 37, height = 23; // tiles of 16 overhang on both sides
    std::vector<std::uint16_t> colormap(3 * 256);
    for (int i = 0; i < 3 * 256; ++i)
        colormap[i] = static_cast<std::uint16_t>((i * 7919) & 0xffff);

    ScratchDirectory dir;
    const std::string file = dir.file("layout.tif");
    unsigned seed = 1;
    for (const Kind& kind : kinds)
        for (bool big : {false, true})
            for (std::uint16_t compression : compressions)
                for (int arrangement = 0; arrangement < 3; ++arrangement) {
                    LibtiffLayout layout;
                    layout.bigEndian = big;
                    layout.compression = compression;
                    layout.rowsPerStrip = arrangement == 0 ? 1 : 5;
                    layout.tile = arrangement == 2 ? 16 : 0;
                    SCOPED_TRACE(testing::Message()
                                 << kind.bits << " bits x " << kind.samples << ", photometric "
                                 << kind.photometric << (big ? ", MM" : ", II")
                                 << ", compression " << compression << ", arrangement "
                                 << arrangement);
                    const auto pixels =
                        randomBytes(std::size_t(width) * height * kind.samples * kind.bits / 8,
                                    seed++);
                    ASSERT_TRUE(writeWithLibtiff(file, width, height, kind.bits, kind.samples,
                                                 kind.photometric, pixels, layout, colormap));
                    Image image;
                    ImageReader().read(image, file);
                    EXPECT_EQ(image.getWidth(), width);
                    EXPECT_EQ(image.getHeight(), height);
                    EXPECT_EQ(image.getDepth(), kind.bits * kind.samples);
                    EXPECT_TRUE(bytesOf(image) == pixels);
                    EXPECT_EQ(image.hasColormap(), kind.photometric == PHOTOMETRIC_PALETTE);
                    if (image.hasColormap()) {
                        for (int i = 0; i < 256; ++i)
                            ASSERT_EQ(image.getColormap()->getBlue()[i], colormap[512 + i] >> 8);
                    }
                }
}

TEST(ImageReaderTiff, SeparatePlanesAreRefusedForColourImages)
{
    ScratchDirectory dir;
    const std::string file = dir.file("planes.tif");
    LibtiffLayout layout;
    layout.planar = PLANARCONFIG_SEPARATE;
    ASSERT_TRUE(writeWithLibtiff(file, 5, 4, 8, 3, PHOTOMETRIC_RGB, randomBytes(60, 3), layout));
    ImageHeader header;
    ImageReader().read(header, file);
    EXPECT_EQ(header.getDepth(), 24);
    Image image;
    const Exception e = plainException([&] { ImageReader().read(image, file); });
    EXPECT_EQ(e.getWhere(), tiffPixelsWhere);
    EXPECT_EQ(e.getWhat(), "Cannot read TIFF with separate planes");
}

// The header reader's refusals, on files built byte by byte.
TEST(ImageReaderTiff, HeaderRefusesUnsupportedSamples)
{
    ScratchDirectory dir;
    const std::string file = dir.file("h.tif");
    struct Case {
        std::uint16_t bits, samples;
        bool dropBitsTag;
        std::string what;
    };
    const Case cases[] = {
        {12, 1, false, "Cannot read TIFF with 12 bits per sample"},
        {32, 1, false, "Cannot read TIFF with 32 bits per sample"},
        {8, 1, true, "Cannot read TIFF with 1 bits per sample"}, // libtiff's default
        {8, 2, false, "Cannot read TIFF with 2 samples per pixel"},
        {16, 5, false, "Cannot read TIFF with 5 samples per pixel"},
        {12, 2, false, "Cannot read TIFF with 12 bits per sample"}, // bits first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool big : {false, true}) {
            TiffBytes t = TiffBytes::image(big, 4, 2, c.bits, c.samples, 1,
                                           std::string(8u * c.samples * c.bits / 8, 'x'));
            if (c.dropBitsTag)
                t.remove(258);
            writeBytes(file, t.bytes());
            ImageHeader header;
            try {
                ImageReader().read(header, file);
                ADD_FAILURE() << "accepted";
            } catch (const FileFormatError& e) {
                EXPECT_EQ(e.getWhere(), tiffHeaderWhere);
                EXPECT_EQ(e.getWhat(), c.what);
                EXPECT_EQ(e.getFile(), file);
            }
        }
    }
}

// Format detection -------------------------------------------------------------------

TEST(ImageReaderFormat, TiffIsRecognisedByItsMarkWhateverItsName)
{
    ScratchDirectory dir;
    const std::string tiff = readBytes(dataFile("grey8_ii.tif"));
    const std::string motorola = readBytes(dataFile("grey16_mm.tif"));
    for (const std::string name : {"a.img", "noextension", "b.IMG", "c.txt"}) {
        SCOPED_TRACE(name);
        ImageHeader header;
        writeBytes(dir.file(name), tiff);
        ImageReader().read(header, dir.file(name));
        EXPECT_EQ(header.getImageFormat(), ImageFormat::Tiff);
        writeBytes(dir.file(name), motorola);
        ImageReader().read(header, dir.file(name));
        EXPECT_EQ(header.getDepth(), 16);
    }
    // The third byte of a big-endian mark is not looked at: "MM" and a '*'
    // fourth byte make a TIFF, which libtiff then refuses.
    writeBytes(dir.file("m.dat"), std::string("MMx*") + std::string(40, '\0'));
    ImageHeader header;
    try {
        ImageReader().read(header, dir.file("m.dat"));
        ADD_FAILURE() << "accepted";
    } catch (const FileFormatError& e) {
        EXPECT_EQ(e.getWhere(), openWhere);
        EXPECT_EQ(e.getWhat().rfind("Cannot read TIFF file", 0), 0u) << e.getWhat();
        EXPECT_EQ(e.getFile(), dir.file("m.dat"));
    }
}

TEST(ImageReaderFormat, ImgNeedsItsMarkAndSuffix)
{
    ScratchDirectory dir;
    std::string img = "0000abcdefgh";
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            img += static_cast<char>((x * 3 + y * 5) & 0xff);

    for (const std::string name : {"slice.img", "slice.IMG", "dir.tif.img"}) {
        SCOPED_TRACE(name);
        writeBytes(dir.file(name), img);
        ImageHeader header;
        ImageReader().read(header, dir.file(name));
        EXPECT_EQ(header.getImageFormat(), ImageFormat::Img);
        EXPECT_EQ(header.getWidth(), 512);
        EXPECT_EQ(header.getHeight(), 512);
        EXPECT_EQ(header.getDepth(), 8);
        EXPECT_FALSE(header.hasColormap());

        Image image;
        ImageReader().read(image, dir.file(name));
        EXPECT_EQ(image.getImageFormat(), ImageFormat::Img);
        EXPECT_TRUE(bytesOf(image) == std::vector<unsigned char>(img.begin() + 12, img.end()));
    }
    // The mark without the suffix, or a suffix without the mark, or "II" not
    // followed by '*': unrecognized.
    writeBytes(dir.file("wrong.IMG"), "000X" + img.substr(4));
    writeBytes(dir.file("mixed.Img"), img);
    writeBytes(dir.file("noext"), img);
    writeBytes(dir.file("almost.tif"), "IIx*" + img);
    writeBytes(dir.file("empty.img"), "");
    for (const std::string name :
         {"slice.tif", "wrong.IMG", "mixed.Img", "noext", "almost.tif", "empty.img"}) {
        SCOPED_TRACE(name);
        if (name == "slice.tif")
            writeBytes(dir.file(name), img);
        ImageHeader header;
        try {
            ImageReader().read(header, dir.file(name));
            ADD_FAILURE() << "accepted";
        } catch (const FileFormatError& e) {
            EXPECT_EQ(e.getWhere(), formatWhere);
            EXPECT_EQ(e.getWhat(), "Unrecognized image file format");
            EXPECT_EQ(e.getFile(), dir.file(name));
        }
        Image image;
        const Exception e = plainException([&] { ImageReader().read(image, dir.file(name)); });
        EXPECT_EQ(e.getWhat(), "Unrecognized image file format");
    }
}

TEST(ImageReaderFormat, ShortImgFileIsAnError)
{
    ScratchDirectory dir;
    const std::string file = dir.file("short.img");
    for (std::size_t length : {std::size_t(4), std::size_t(11), std::size_t(12), std::size_t(5000),
                               std::size_t(12 + 262143)}) {
        SCOPED_TRACE(length);
        writeBytes(file, "0000" + std::string(length - 4, '\x07'));
        ImageHeader header;
        ImageReader().read(header, file); // the header does not look at the pixels
        EXPECT_EQ(header.getImageFormat(), ImageFormat::Img);
        Image image;
        const Exception e = plainException([&] { ImageReader().read(image, file); });
        EXPECT_EQ(e.getWhat(), "Incomplete IMG file (expected 12 + 262144 bytes)");
    }
}

TEST(ImageReaderFormat, MissingFileCannotBeOpened)
{
    ScratchDirectory dir;
    const std::string file = dir.file("missing.tif");
    ImageHeader header;
    EXPECT_PLEXAN_THROW(ImageReader().read(header, file), FileReadError, openWhere,
                        "Cannot open file for reading");
    try {
        ImageReader().read(header, file);
    } catch (const FileReadError& e) {
        EXPECT_EQ(e.getFile(), file);
    }
    // Through the image reader the same texts come as a plain Exception.
    Image image;
    const Exception e = plainException([&] { ImageReader().read(image, file); });
    EXPECT_EQ(e.getWhere(), openWhere);
    EXPECT_EQ(e.getWhat(), "Cannot open file for reading");
}

// Progress and cancellation ----------------------------------------------------------

TEST(ImageReaderProgress, OneStepPerScanlineThenFinished)
{
    ScratchDirectory dir;
    const std::string file = dir.file("p.tif");
    LibtiffLayout layout;
    layout.rowsPerStrip = 4;
    ASSERT_TRUE(writeWithLibtiff(file, 10, 9, 8, 1, PHOTOMETRIC_MINISBLACK, randomBytes(90, 5),
                                 layout));
    ImageReader reader;
    RecordingMonitor monitor;
    reader.addMonitor(monitor);
    Image image;
    reader.read(image, file);
    EXPECT_EQ(monitor.events, (std::vector<std::string>{"started ", "finished finished"}));
    EXPECT_EQ(monitor.steps, (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(monitor.total, 9u);
}

TEST(ImageReaderProgress, CancelKeepsTheLinesReadSoFar)
{
    ScratchDirectory dir;
    const int width = 32, height = 40;
    const auto pixels = randomBytes(width * height, 9);
    for (int tile : {0, 16}) {
        SCOPED_TRACE(tile ? "tiles" : "strips");
        const std::string file = dir.file("c.tif");
        LibtiffLayout layout;
        layout.compression = COMPRESSION_LZW;
        layout.rowsPerStrip = 3;
        layout.tile = static_cast<std::uint32_t>(tile);
        ASSERT_TRUE(writeWithLibtiff(file, width, height, 8, 1, PHOTOMETRIC_MINISBLACK, pixels,
                                     layout));

        // An image sized beforehand, marked so that untouched rows show.
        Image image;
        ImageHeader header;
        header.setImageFormat(ImageFormat::Tiff);
        header.setWidth(width);
        header.setHeight(height);
        header.setDepth(8);
        image.setHeader(header);
        std::memset(image.getData(), 0xEE, image.dataLength());

        ImageReader reader;
        RecordingMonitor monitor;
        monitor.cancelAt = 5; // after the fifth line
        reader.addMonitor(monitor);
        TIFF* tif = TIFFOpen(file.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        reader.readTiffPixels(image, tif);
        TIFFClose(tif);

        // Lines come a strip (three lines) or a row of tiles (sixteen) at a time.
        const int kept = tile ? 16 : 6;
        EXPECT_EQ(monitor.events, (std::vector<std::string>{"started ", "canceled canceled"}));
        EXPECT_EQ(monitor.steps.size(), std::size_t(kept));
        const auto got = bytesOf(image);
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + kept * width, pixels.begin()));
        EXPECT_TRUE(std::all_of(got.begin() + kept * width, got.end(),
                                [](unsigned char b) { return b == 0xEE; }));
    }
}

// Bad input -------------------------------------------------------------------------

TEST(ImageReaderBadInput, DeclaredSizesBeyondTheFileAreRefusedBeforeAllocating)
{
    ScratchDirectory dir;
    const std::string file = dir.file("huge.tif");
    struct Case {
        std::uint32_t width, height;
        std::uint16_t bits, samples, compression;
        std::string what;
    };
    const Case cases[] = {
        {40000, 40000, 8, 1, COMPRESSION_NONE, "TIFF image size exceeds the file contents"},
        {5000, 5000, 8, 1, COMPRESSION_LZW, "TIFF image size exceeds the file contents"},
        {3000, 3000, 16, 3, COMPRESSION_ADOBE_DEFLATE, "TIFF image size exceeds the file contents"},
        {70000, 70000, 8, 4, COMPRESSION_NONE, "TIFF image is too large"},
        {4000000000u, 1, 8, 1, COMPRESSION_NONE, "Invalid TIFF image size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TiffBytes t = TiffBytes::image(false, c.width, c.height, c.bits, c.samples, 1,
                                       std::string(64, '\x55'));
        t.set(259, TiffBytes::Short, {c.compression}).set(278, TiffBytes::Long, {1});
        writeBytes(file, t.bytes());
        ImageHeader header;
        try {
            ImageReader().read(header, file);
            ADD_FAILURE() << "accepted";
        } catch (const FileFormatError& e) {
            EXPECT_EQ(e.getWhere(), tiffHeaderWhere);
            EXPECT_EQ(e.getWhat(), c.what);
            EXPECT_EQ(e.getFile(), file);
        }
        Image image;
        const Exception e = plainException([&] { ImageReader().read(image, file); });
        EXPECT_EQ(e.getWhat(), c.what);
    }
}

TEST(ImageReaderBadInput, DataMissingFromTheFileIsAReadError)
{
    ScratchDirectory dir;
    const std::string file = dir.file("gone.tif");
    // A strip beyond the end of the file, and a compressed strip that is cut
    // short.
    for (std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_LZW}) {
        TiffBytes t = TiffBytes::image(true, 10, 10, 8, 1, 1, std::string(20, 'a'));
        if (compression == COMPRESSION_NONE)
            t.set(273, TiffBytes::Long, {4000}).set(279, TiffBytes::Long, {100});
        else
            t.set(259, TiffBytes::Short, {compression});
        writeBytes(file, t.bytes());
        Image image;
        testing::internal::CaptureStderr();
        const Exception e = plainException([&] { ImageReader().read(image, file); });
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(e.getWhere(), tiffPixelsWhere);
        EXPECT_EQ(e.getWhat().rfind("Cannot read TIFF image data", 0), 0u) << e.getWhat();
    }
}

namespace {

// Reads `bytes` as a file: either an Exception, or the pixels of `expected`.
void expectErrorOrTheImage(const std::string& file, const std::string& bytes,
                           const std::vector<unsigned char>& expected)
{
    writeBytes(file, bytes);
    Image image;
    try {
        ImageReader().read(image, file);
    } catch (const Exception&) {
        return;
    }
    EXPECT_TRUE(bytesOf(image) == expected) << "wrong pixels from a damaged file";
}

} // namespace

TEST(ImageReaderBadInput, TruncatedFilesGiveAnExceptionAtEveryLength)
{
    ScratchDirectory dir;
    std::vector<std::pair<std::string, std::vector<unsigned char>>> sources;
    sources.push_back({readBytes(dataFile("grey8_mm_packbits.tif")), pattern(Pattern::Grey8)});
    sources.push_back({readBytes(dataFile("rgba8_ii.tif")), pattern(Pattern::Rgba)});
    sources.push_back({readBytes(dataFile("palette8_ii.tif")), pattern(Pattern::Index)});
    for (std::uint16_t compression : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE})
        for (std::uint32_t tile : {0u, 16u}) {
            const auto pixels = randomBytes(20 * 18 * 2, compression + tile);
            LibtiffLayout layout;
            layout.compression = compression;
            layout.tile = tile;
            layout.rowsPerStrip = 4;
            layout.bigEndian = tile != 0;
            const std::string file = dir.file("source.tif");
            ASSERT_TRUE(writeWithLibtiff(file, 20, 18, 16, 1, PHOTOMETRIC_MINISBLACK, pixels, layout));
            sources.push_back({readBytes(file), pixels});
        }

    const std::string file = dir.file("cut.tif");
    testing::internal::CaptureStderr();
    for (const auto& [bytes, pixels] : sources)
        for (std::size_t length = 0; length < bytes.size(); ++length)
            expectErrorOrTheImage(file, bytes.substr(0, length), pixels);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "libtiff printed";
}

TEST(ImageReaderBadInput, DamagedBytesNeverCrash)
{
    ScratchDirectory dir;
    const std::string file = dir.file("damaged.tif");
    const std::string sources[] = {readBytes(dataFile("grey16_mm.tif")),
                                   readBytes(dataFile("rgb8_mm.tif")),
                                   readBytes(dataFile("palette8_ii.tif"))};
    std::mt19937 generator(2024);
    testing::internal::CaptureStderr();
    for (const std::string& source : sources)
        for (int round = 0; round < 400; ++round) {
            std::string bytes = source;
            const int changes = 1 + static_cast<int>(generator() % 4);
            for (int c = 0; c < changes; ++c) {
                // Most damage where the structure is: the header and directory.
                const std::size_t at = generator() % 2 ? generator() % bytes.size()
                                                       : bytes.size() - 1 - generator() % 120;
                bytes[at] = static_cast<char>(generator() % 3 ? generator() & 0xff : 0xff);
            }
            writeBytes(file, bytes);
            Image image;
            try {
                ImageReader().read(image, file);
                EXPECT_EQ(image.dataLength(),
                          std::size_t(image.getHeight()) * image.bytesPerLine());
            } catch (const Exception&) {
            }
        }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "libtiff printed";
}

TEST(ImageReaderBadInput, GarbageAfterATiffMarkIsAFormatError)
{
    ScratchDirectory dir;
    const std::string file = dir.file("garbage.tif");
    const auto noise = randomBytes(3000, 77);
    for (const char* mark : {"II*\0", "MM\0*", "II*\0\x08\0\0\0", "MM\0*\xff\xff\xff\xff"}) {
        writeBytes(file, std::string(mark, mark[4] ? 8 : 4) + std::string(noise.begin(), noise.end()));
        ImageHeader header;
        try {
            ImageReader().read(header, file);
        } catch (const FileFormatError& e) {
            EXPECT_EQ(e.getFile(), file);
            continue;
        } catch (const Exception& e) {
            ADD_FAILURE() << "not a format error: " << e.getWhat();
            continue;
        }
        ADD_FAILURE() << "garbage accepted";
    }
    // A directory is no image either.
    ImageHeader header;
    EXPECT_THROW(ImageReader().read(header, PLEXAN_TEST_DATA_DIR), FileError);
}
