#include "image/imagereader.h"

#include "image/image.h"
#include "image/imageheader.h"
#include "numerics/progressmonitor.h"

#include "imagesupport.h"

#include <functional>
#include <numeric>
#include <typeinfo>

using namespace imagetest;

namespace {

const std::string openWhere = "void ImageReader::readHeader(ImageHeader&,const string&)";
const std::string formatWhere = "void ImageReader::readHeader(ImageHeader&,const string&) const";
const std::string tiffHeaderWhere = "void ImageReader::readTiffHeader(ImageHeader&, TIFF*)";
const std::string tiffPixelsWhere = "void Image::readTiffPixels(Image&, TIFF*)";

// The pixels of the files in tests/data/image, from the formulas of the
// script that wrote them (13 x 7 pixels, samples in the machine's order).
enum class Pattern { Grey8, Grey16, Rgb, Rgba, Index };

std::vector<unsigned char> pattern(Pattern kind)
{
    std::vector<unsigned char> out;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            if (kind == Pattern::Grey8) {
                out.push_back(static_cast<unsigned char>((37 * x + 11 * y) % 256));
            } else if (kind == Pattern::Grey16) {
                const auto v = static_cast<std::uint16_t>((4099 * x + 257 * y + 5) % 65536);
                out.insert(out.end(), reinterpret_cast<const unsigned char*>(&v),
                           reinterpret_cast<const unsigned char*>(&v) + 2);
            } else if (kind == Pattern::Index) {
                out.push_back(static_cast<unsigned char>((x + 13 * y) % 256));
            } else {
                for (int v : {20 * x, 30 * y, 5 * (x + y) + 1})
                    out.push_back(static_cast<unsigned char>(v % 256));
                if (kind == Pattern::Rgba)
                    out.push_back(static_cast<unsigned char>(255 - 10 * x));
            }
    return out;
}

std::vector<unsigned char> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<unsigned char> out(n);
    for (auto& b : out)
        b = static_cast<unsigned char>(rng() & 0xff);
    return out;
}

// The image reader passes every failure on as a plain Exception marked with
// its call; returns it.
Exception plainException(const std::function<void()>& statement)
{
    try {
        statement();
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), typeid(Exception)) << "not rethrown as a plain Exception";
        EXPECT_NE(e.getCalls().find("void ImageReader::read(...)"), std::string::npos) << e.getCalls();
        return e;
    }
    ADD_FAILURE() << "no exception";
    return Exception();
}

// Reads the header of file, expecting a FileFormatError naming the file;
// returns its where and what texts joined by " | ".
std::string headerFormatError(const std::string& file)
{
    ImageHeader header;
    try {
        ImageReader().read(header, file);
    } catch (const FileFormatError& e) {
        EXPECT_EQ(e.getFile(), file);
        return e.getWhere() + " | " + e.getWhat();
    } catch (const Exception& e) {
        return "not a format error: " + e.getWhat();
    }
    return "accepted";
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

// Files written by another program, byte by byte -------------------------------------

struct DataFile {
    const char* name;
    int depth;
    Pattern pixels;
    float pixelWidth, pixelHeight;
};

class TiffDataFile : public ::testing::TestWithParam<DataFile> {};

TEST_P(TiffDataFile, PixelsColormapAndCalibrationAreThoseWritten)
{
    const DataFile& f = GetParam();
    Image image;
    ImageReader().read(image, dataFile(f.name));
    EXPECT_EQ((std::vector<int>{image.getWidth(), image.getHeight(), image.getDepth()}),
              (std::vector<int>{13, 7, f.depth}));
    EXPECT_EQ(image.getImageFormat(), ImageFormat::Tiff);
    EXPECT_EQ(bytesOf(image), pattern(f.pixels));
    EXPECT_FLOAT_EQ(image.getPixelCalibration().getPixelWidth(), f.pixelWidth);
    EXPECT_FLOAT_EQ(image.getPixelCalibration().getPixelHeight(), f.pixelHeight);
    ASSERT_EQ(image.hasColormap(), f.pixels == Pattern::Index);
    // The palette keeps the high byte of each 16-bit entry.
    for (int i = 0; f.pixels == Pattern::Index && i < 256; ++i) {
        EXPECT_EQ(image.getColormap()->getRed()[i], i);
        EXPECT_EQ(image.getColormap()->getGreen()[i], 255 - i);
        EXPECT_EQ(image.getColormap()->getBlue()[i], (3 * i) % 256);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TiffDataFile,
                         ::testing::Values(DataFile{"grey8_ii.tif", 8, Pattern::Grey8, 1 / 2000.0f, 1 / 4000.0f},
                                           DataFile{"grey8_mm_packbits.tif", 8, Pattern::Grey8, 1, 1},
                                           DataFile{"palette8_ii.tif", 8, Pattern::Index, 1, 1},
                                           DataFile{"grey16_mm.tif", 16, Pattern::Grey16, 1 / 72.0f, 1 / 72.0f},
                                           DataFile{"grey16_ii.tif", 16, Pattern::Grey16, 1, 1},
                                           DataFile{"rgb8_mm.tif", 24, Pattern::Rgb, 1, 1},
                                           DataFile{"rgba8_ii.tif", 32, Pattern::Rgba, 1, 1}),
                         [](const auto& info) {
                             const std::string name = info.param.name;
                             return name.substr(0, name.find('.'));
                         });

TEST(ImageReaderTiff, ResolutionsMarkOnlyTheSizesTheyGive)
{
    ImageHeader header;
    ImageReader reader;
    reader.read(header, dataFile("grey8_ii.tif")); // both: the ratio is derived
    EXPECT_TRUE(header.getPixelCalibration().isPixelHeightSet());
    EXPECT_FALSE(header.getPixelCalibration().isAspectRatioSet());
    EXPECT_FLOAT_EQ(header.getPixelCalibration().getAspectRatio(), 0.5f);
    reader.read(header, dataFile("grey16_mm.tif")); // XResolution 72 alone
    EXPECT_FALSE(header.getPixelCalibration().isPixelHeightSet());

    ScratchDirectory dir;
    TiffTags tags = plainTiffTags(2, 2, 8, 1, 4);
    tags[282] = {5, {0, 1}}; // a zero resolution counts as none
    writeBytes(dir.file("zero.tif"), tiffBytes(false, tags, "abcd"));
    reader.read(header, dir.file("zero.tif"));
    EXPECT_FALSE(header.getPixelCalibration().isPixelWidthSet());
}

TEST(ImageReaderTiff, HeadersOfImagesWithoutPixelsToRead)
{
    // 16-bit RGB: the header reader accepts it, no image holds 48-bit pixels.
    ImageHeader header;
    ImageReader().read(header, dataFile("rgb16_ii.tif"));
    EXPECT_EQ(header.getDepth(), 48);
    Image image;
    EXPECT_EQ(plainException([&] { ImageReader().read(image, dataFile("rgb16_ii.tif")); }).getWhat(),
              "Invalid depth value");

    // Separate colour planes: the header is read, the pixels refused.
    ScratchDirectory dir;
    TiffTags tags = plainTiffTags(5, 4, 8, 3, 20);
    tags[273] = {4, {8, 28, 48}};
    tags[279] = {4, {20, 20, 20}};
    tags[284] = {3, {2}};
    writeBytes(dir.file("planes.tif"), tiffBytes(true, tags, std::string(60, 'p')));
    ImageReader().read(header, dir.file("planes.tif"));
    EXPECT_EQ(header.getDepth(), 24);
    const Exception e = plainException([&] { ImageReader().read(image, dir.file("planes.tif")); });
    EXPECT_EQ(e.getWhere() + " | " + e.getWhat(), tiffPixelsWhere + " | Cannot read TIFF with separate planes");
}

// Every layout libtiff can write is read to the same pixels.
TEST(ImageReaderTiff, LibtiffLayoutsReadToTheWrittenPixels)
{
    struct Kind {
        int bits, samples, photometric;
    };
    const Kind kinds[] = {{8, 1, PHOTOMETRIC_MINISBLACK}, {8, 1, PHOTOMETRIC_PALETTE},
                          {16, 1, PHOTOMETRIC_MINISBLACK}, {8, 3, PHOTOMETRIC_RGB}, {8, 4, PHOTOMETRIC_RGB}};
    const int width = 37, height = 23; // tiles of 16 overhang on both sides
    std::vector<std::uint16_t> colormap(3 * 256);
    for (int i = 0; i < 3 * 256; ++i)
        colormap[i] = static_cast<std::uint16_t>((i * 7919) & 0xffff);
    ScratchDirectory dir;
    const std::string file = dir.file("layout.tif");
    unsigned seed = 1;
    for (const Kind& kind : kinds)
        for (bool big : {false, true})
            for (std::uint16_t compression :
                 {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS})
                for (int arrangement = 0; arrangement < 3; ++arrangement) {
                    const LibtiffLayout layout{big, compression, arrangement == 0 ? 1u : 5u,
                                               arrangement == 2 ? 16u : 0u};
                    SCOPED_TRACE(testing::Message() << kind.bits << " bits x " << kind.samples << ", photometric "
                                                    << kind.photometric << (big ? ", MM" : ", II") << ", compression "
                                                    << compression << ", arrangement " << arrangement);
                    const auto pixels = randomBytes(std::size_t(width) * height * kind.samples * kind.bits / 8, seed++);
                    ASSERT_TRUE(writeWithLibtiff(file, width, height, kind.bits, kind.samples, kind.photometric,
                                                 pixels, layout, colormap));
                    Image image;
                    ImageReader().read(image, file);
                    EXPECT_EQ(image.getWidth(), width);
                    EXPECT_EQ(image.getHeight(), height);
                    EXPECT_EQ(image.getDepth(), kind.bits * kind.samples);
                    EXPECT_TRUE(bytesOf(image) == pixels);
                    ASSERT_EQ(image.hasColormap(), kind.photometric == PHOTOMETRIC_PALETTE);
                    for (int i = 0; image.hasColormap() && i < 256; ++i)
                        ASSERT_EQ(image.getColormap()->getBlue()[i], colormap[512 + i] >> 8);
                }
}

// Unsupported samples and hostile sizes are refused by the header reader,
// before any allocation.
TEST(ImageReaderTiff, HeaderRefusesUnsupportedSamplesAndHostileSizes)
{
    struct Case {
        std::uint32_t width, height;
        std::uint16_t bits, samples, compression;
        bool dropBitsTag;
        std::string what;
    };
    const Case cases[] = {
        {4, 2, 12, 1, COMPRESSION_NONE, false, "Cannot read TIFF with 12 bits per sample"},
        {4, 2, 8, 1, COMPRESSION_NONE, true, "Cannot read TIFF with 1 bits per sample"}, // libtiff's default
        {4, 2, 16, 5, COMPRESSION_NONE, false, "Cannot read TIFF with 5 samples per pixel"},
        {4, 2, 12, 2, COMPRESSION_NONE, false, "Cannot read TIFF with 12 bits per sample"}, // bits first
        {40000, 40000, 8, 1, COMPRESSION_NONE, false, "TIFF image size exceeds the file contents"},
        {5000, 5000, 8, 1, COMPRESSION_LZW, false, "TIFF image size exceeds the file contents"},
        {3000, 3000, 16, 3, COMPRESSION_ADOBE_DEFLATE, false, "TIFF image size exceeds the file contents"},
        {70000, 70000, 8, 4, COMPRESSION_NONE, false, "TIFF image is too large"},
        {4000000000u, 1, 8, 1, COMPRESSION_NONE, false, "Invalid TIFF image size"},
    };
    ScratchDirectory dir;
    const std::string file = dir.file("h.tif");
    for (const Case& c : cases)
        for (bool big : {false, true}) {
            SCOPED_TRACE(c.what);
            TiffTags tags = plainTiffTags(c.width, c.height, c.bits, c.samples, 64);
            tags[259] = {3, {c.compression}};
            tags[278] = {4, {1}};
            if (c.dropBitsTag)
                tags.erase(258);
            writeBytes(file, tiffBytes(big, tags, std::string(64, '\x55')));
            EXPECT_EQ(headerFormatError(file), tiffHeaderWhere + " | " + c.what);
            Image image;
            EXPECT_EQ(plainException([&] { ImageReader().read(image, file); }).getWhat(), c.what);
        }
}

// Format detection -------------------------------------------------------------------

TEST(ImageReaderFormat, TiffByItsMarkWhateverItsNameImgByMarkAndSuffix)
{
    ScratchDirectory dir;
    for (const std::string name : {"a.img", "noextension"}) {
        writeBytes(dir.file(name), readBytes(dataFile("grey16_mm.tif")));
        ImageHeader header;
        ImageReader().read(header, dir.file(name));
        EXPECT_EQ(header.getImageFormat(), ImageFormat::Tiff) << name;
        EXPECT_EQ(header.getDepth(), 16) << name;
    }
    // "MM" and a '*' fourth byte make a TIFF, which libtiff then refuses.
    writeBytes(dir.file("m.dat"), std::string("MMx*") + std::string(40, '\0'));
    EXPECT_EQ(headerFormatError(dir.file("m.dat")).rfind(openWhere + " | Cannot read TIFF file", 0), 0u);

    std::string img = "0000abcdefgh";
    for (int k = 0; k < 512 * 512; ++k)
        img += static_cast<char>((k * 3 + k / 512 * 5) & 0xff);
    for (const std::string name : {"slice.img", "slice.IMG", "dir.tif.img"}) {
        writeBytes(dir.file(name), img);
        Image image;
        ImageReader().read(image, dir.file(name));
        EXPECT_EQ(image.getImageFormat(), ImageFormat::Img) << name;
        EXPECT_EQ(image.getWidth() + image.getDepth(), 512 + 8);
        EXPECT_TRUE(bytesOf(image) == std::vector<unsigned char>(img.begin() + 12, img.end())) << name;
    }
    // The mark without the suffix, a suffix without the mark, "II" not
    // followed by '*': unrecognized.
    writeBytes(dir.file("slice.tif"), img);
    writeBytes(dir.file("wrong.IMG"), "000X" + img.substr(4));
    writeBytes(dir.file("mixed.Img"), img);
    writeBytes(dir.file("almost.tif"), "IIx*" + img);
    writeBytes(dir.file("empty.img"), "");
    for (const std::string name : {"slice.tif", "wrong.IMG", "mixed.Img", "almost.tif", "empty.img"}) {
        EXPECT_EQ(headerFormatError(dir.file(name)), formatWhere + " | Unrecognized image file format") << name;
        Image image;
        EXPECT_EQ(plainException([&] { ImageReader().read(image, dir.file(name)); }).getWhat(),
                  "Unrecognized image file format");
    }
}

TEST(ImageReaderFormat, ShortImgAndMissingFiles)
{
    ScratchDirectory dir;
    const std::string file = dir.file("short.img");
    for (std::size_t length : {4u, 12u + 262143u}) {
        writeBytes(file, "0000" + std::string(length - 4, '\x07'));
        ImageHeader header;
        ImageReader().read(header, file); // the header does not look at the pixels
        Image image;
        EXPECT_EQ(plainException([&] { ImageReader().read(image, file); }).getWhat(),
                  "Incomplete IMG file (expected 12 + 262144 bytes)")
            << length;
    }
    ImageHeader header;
    Image image;
    const Exception e = plainException([&] { ImageReader().read(image, dir.file("missing.tif")); });
    EXPECT_EQ(e.getWhere() + " | " + e.getWhat(), openWhere + " | Cannot open file for reading");
    EXPECT_THROW(ImageReader().read(header, PLEXAN_TEST_DATA_DIR), FileError) << "a directory is no image";
}

// Progress and cancellation ----------------------------------------------------------

TEST(ImageReaderProgress, OneStepPerScanlineAndCancelKeepsTheLinesRead)
{
    ScratchDirectory dir;
    const std::string file = dir.file("p.tif");
    const int width = 32, height = 40;
    const auto pixels = randomBytes(width * height, 9);
    std::vector<unsigned> everyLine(height);
    std::iota(everyLine.begin(), everyLine.end(), 1u);
    for (std::uint32_t tile : {0u, 16u}) {
        SCOPED_TRACE(tile ? "tiles" : "strips");
        ASSERT_TRUE(writeWithLibtiff(file, width, height, 8, 1, PHOTOMETRIC_MINISBLACK, pixels,
                                     {false, COMPRESSION_LZW, 3, tile}));
        RecordingMonitor monitor, canceller;
        canceller.cancelAt = 5;
        ImageReader reader, cancelled;
        reader.addMonitor(monitor);
        cancelled.addMonitor(canceller);
        Image image;
        reader.read(image, file);
        EXPECT_EQ(monitor.events, (std::vector<std::string>{"started ", "finished finished"}));
        EXPECT_EQ(monitor.steps, everyLine);
        EXPECT_EQ(monitor.total, unsigned(height));
        // Into an image sized beforehand, marked so that untouched rows show.
        std::memset(image.getData(), 0xEE, image.dataLength());
        TIFF* tif = TIFFOpen(file.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        cancelled.readTiffPixels(image, tif);
        TIFFClose(tif);
        // Lines are decoded a strip (three lines) or a row of tiles (sixteen)
        // at a time, yet the cancel at line 5 keeps exactly lines 0 to 4.
        const int kept = 5;
        EXPECT_EQ(canceller.events, (std::vector<std::string>{"started ", "canceled canceled"}));
        EXPECT_EQ(canceller.steps.size(), std::size_t(kept));
        const auto got = bytesOf(image);
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + kept * width, pixels.begin()));
        EXPECT_TRUE(std::all_of(got.begin() + kept * width, got.end(), [](unsigned char b) { return b == 0xEE; }));
    }
}

// The rows of a cancelled read: the lines reported hold the file's lines,
// the rows below hold the file's lines for a while (the rest of the chunk
// being read), then the mark; how many rows hold file lines.
int checkCancelledRows(const std::vector<unsigned char>& got, const std::vector<unsigned char>& pixels,
                       std::size_t lineBytes, int reported)
{
    const int height = static_cast<int>(pixels.size() / lineBytes);
    const auto line = [&](const std::vector<unsigned char>& v, int y) {
        return std::vector<unsigned char>(v.begin() + y * lineBytes, v.begin() + (y + 1) * lineBytes);
    };
    int read = 0;
    while (read < height && line(got, read) == line(pixels, read))
        ++read;
    EXPECT_GE(read, reported) << "a line reported does not hold the file's line";
    for (int y = read; y < height; ++y)
        EXPECT_EQ(line(got, y), std::vector<unsigned char>(lineBytes, 0xEE)) << "row " << y;
    return read;
}

// Regression: cancellation was polled once per strip and the read ended
// "finished" whatever was asked, so a one-strip file was read whole.
TEST(ImageReaderProgress, CancelInsideAStripStopsAtTheNextLineAndEndsCanceled)
{
    ScratchDirectory dir;
    const std::string file = dir.file("strip.tif");
    // Uncompressed, 8-bit and 16-bit in the other byte order: one strip of
    // five short lines (read as one chunk), and one strip of 2.5 MB (read a
    // chunk at a time, so that the read stops long before its end).
    struct Case {
        int width, height, bits;
    };
    for (const Case c : {Case{6, 5, 8}, Case{4096, 640, 8}, Case{2048, 640, 16}}) {
        const std::size_t lineBytes = std::size_t(c.width) * c.bits / 8;
        const auto pixels = randomBytes(lineBytes * c.height, 17);
        ASSERT_TRUE(writeWithLibtiff(file, c.width, c.height, c.bits, 1, PHOTOMETRIC_MINISBLACK, pixels,
                                     {c.bits == 16, COMPRESSION_NONE, std::uint32_t(c.height), 0}));
        // Cancelled in the first progress notification, and in the last one: a
        // cancel asked for after the last line still ends the read as cancelled.
        for (int cancelAt : {1, c.height}) {
            SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.bits << " bits, cancel at "
                                            << cancelAt);
            RecordingMonitor canceller;
            canceller.cancelAt = cancelAt;
            ImageReader reader;
            reader.addMonitor(canceller);
            Image image(c.width, c.height, c.bits);
            std::memset(image.getData(), 0xEE, image.dataLength());
            TIFF* tif = TIFFOpen(file.c_str(), "r");
            ASSERT_NE(tif, nullptr);
            reader.readTiffPixels(image, tif);
            TIFFClose(tif);
            std::vector<unsigned> steps(cancelAt);
            std::iota(steps.begin(), steps.end(), 1u);
            EXPECT_EQ(canceller.steps, steps);
            EXPECT_EQ(canceller.total, unsigned(c.height));
            EXPECT_EQ(canceller.events, (std::vector<std::string>{"started ", "canceled canceled"}));
            const int read = checkCancelledRows(bytesOf(image), pixels, lineBytes, cancelAt);
            if (c.height > 100 && cancelAt == 1)
                EXPECT_LT(read, c.height / 2) << "the read went on long after the cancel";
        }
    }
}

// Uncompressed strips are read a chunk of lines at a time straight into the
// image: strips of every size against the chunk's, in both byte orders, a
// strip cut short, and an image read again over the one before.
TEST(ImageReaderTiff, UncompressedStripsOfAnySizeReadToTheWrittenPixels)
{
    ScratchDirectory dir;
    const std::string file = dir.file("strips.tif");
    const int width = 1500, height = 900; // 2.7 MB at 16 bits
    unsigned seed = 40;
    Image image;
    for (int bits : {8, 16})
        for (bool big : {false, true})
            for (std::uint32_t rowsPerStrip : {2u, 7u, 350u, 899u, 900u}) {
                SCOPED_TRACE(testing::Message() << bits << " bits" << (big ? ", MM" : ", II") << ", "
                                                << rowsPerStrip << " rows per strip");
                const auto pixels = randomBytes(std::size_t(width) * height * bits / 8, seed++);
                ASSERT_TRUE(writeWithLibtiff(file, width, height, bits, 1, PHOTOMETRIC_MINISBLACK, pixels,
                                             {big, COMPRESSION_NONE, rowsPerStrip, 0}));
                RecordingMonitor monitor;
                ImageReader reader;
                reader.addMonitor(monitor);
                reader.read(image, file);
                EXPECT_TRUE(bytesOf(image) == pixels);
                EXPECT_EQ(monitor.steps.size(), std::size_t(height));
                EXPECT_EQ(monitor.events, (std::vector<std::string>{"started ", "finished finished"}));
            }
    // A strip whose end lies beyond the end of the file, read well into its
    // second chunk before the file ends: a read error, not an image.
    const auto pixels = randomBytes(std::size_t(width) * height, 3);
    TiffTags tags = plainTiffTags(width, height, 8, 1, width * height);
    tags[273] = {4, {8 + 1000}};
    writeBytes(file, tiffBytes(false, tags, std::string(pixels.begin(), pixels.end())));
    testing::internal::CaptureStderr();
    const Exception e = plainException([&] { ImageReader().read(image, file); });
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(e.getWhere(), tiffPixelsWhere);
    EXPECT_EQ(e.getWhat().rfind("Cannot read TIFF image data", 0), 0u) << e.getWhat();
}

// Damaged input ----------------------------------------------------------------------

TEST(ImageReaderBadInput, MissingStripDataIsAReadError)
{
    ScratchDirectory dir;
    // A strip beyond the end of the file, and a compressed strip cut short.
    for (std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_LZW}) {
        TiffTags tags = plainTiffTags(10, 10, 8, 1, 20);
        tags[259] = {3, {compression}};
        if (compression == COMPRESSION_NONE) {
            tags[273] = {4, {4000}};
            tags[279] = {4, {100}};
        }
        writeBytes(dir.file("gone.tif"), tiffBytes(true, tags, std::string(20, 'a')));
        Image image;
        testing::internal::CaptureStderr();
        const Exception e = plainException([&] { ImageReader().read(image, dir.file("gone.tif")); });
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(e.getWhere(), tiffPixelsWhere);
        EXPECT_EQ(e.getWhat().rfind("Cannot read TIFF image data", 0), 0u) << e.getWhat();
    }
}

// Cut at every length or with random bytes changed, a file gives an
// Exception or its own pixels, and libtiff prints nothing.
TEST(ImageReaderBadInput, TruncatedAndDamagedFilesNeverCrash)
{
    ScratchDirectory dir;
    std::vector<std::pair<std::string, std::vector<unsigned char>>> sources;
    for (const auto& [name, kind] : {std::pair{"grey8_mm_packbits.tif", Pattern::Grey8}, {"rgba8_ii.tif", Pattern::Rgba},
                                     {"palette8_ii.tif", Pattern::Index}, {"grey16_mm.tif", Pattern::Grey16}, {"rgb8_mm.tif", Pattern::Rgb}})
        sources.push_back({readBytes(dataFile(name)), pattern(kind)});
    for (std::uint16_t compression : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE})
        for (std::uint32_t tile : {0u, 16u}) {
            const auto pixels = randomBytes(20 * 18 * 2, compression + tile);
            ASSERT_TRUE(writeWithLibtiff(dir.file("s.tif"), 20, 18, 16, 1, PHOTOMETRIC_MINISBLACK, pixels,
                                         {tile != 0, compression, 4, tile}));
            sources.push_back({readBytes(dir.file("s.tif")), pixels});
        }
    const std::string file = dir.file("cut.tif");
    std::mt19937 rng(2024);
    testing::internal::CaptureStderr();
    for (const auto& [source, pixels] : sources)
        for (std::size_t round = 0; round < source.size() + 200; ++round) {
            std::string bytes = source.substr(0, round);
            for (int c = 0; round >= source.size() && c < 1 + static_cast<int>(rng() % 4); ++c) {
                // Most damage where the structure is: the header and directory.
                const std::size_t at = rng() % 2 ? rng() % bytes.size() : bytes.size() - 1 - rng() % 120;
                bytes[at] = static_cast<char>(rng() % 3 ? rng() & 0xff : 0xff);
            }
            writeBytes(file, bytes);
            Image image;
            try {
                ImageReader().read(image, file);
            } catch (const Exception&) {
                continue;
            }
            EXPECT_TRUE(round >= source.size() || bytesOf(image) == pixels) << "wrong pixels from a file cut at " << round;
            EXPECT_EQ(image.dataLength(), std::size_t(image.getHeight()) * image.bytesPerLine());
        }
    // Garbage after a TIFF mark is a format error.
    const auto noise = randomBytes(3000, 77);
    for (const char* mark : {"II*\0", "MM\0*", "II*\0\x08\0\0\0", "MM\0*\xff\xff\xff\xff"}) {
        writeBytes(file, std::string(mark, mark[4] ? 8 : 4) + std::string(noise.begin(), noise.end()));
        EXPECT_NE(headerFormatError(file).find(" | "), std::string::npos) << "not a format error";
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "libtiff printed";
}
