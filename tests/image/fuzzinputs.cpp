// Inputs the fuzzers kept under tests/data/image/fuzz/, each read again by
// the reader that choked on it: read as its bytes say, or refused with a
// plexan exception naming the file; never a crash, a hang or a sanitizer
// report.

#include "image/imageheader.h"
#include "image/imagereader.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"

#include "imagesupport.h"

#include <limits>

using namespace imagetest;

namespace {

std::vector<std::string> keptInputs(std::initializer_list<std::string> suffixes)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dataFile("fuzz")))
        for (const std::string& s : suffixes)
            if (const std::string name = entry.path().string(); name.ends_with(s))
                files.push_back(name);
    std::sort(files.begin(), files.end());
    return files;
}

void expectNamesFile(const Exception& e, const std::string& file)
{
    if (const auto* fileError = dynamic_cast<const FileError*>(&e)) {
        EXPECT_EQ(fileError->getFile(), file) << e.getWhat();
    }
}

template <typename T>
class FuzzVoxelMatrixInputs : public ::testing::Test {};
using NumericTypes = ::testing::Types<char, unsigned char, short, unsigned short, int, unsigned int, float,
                                      double, long double>;
TYPED_TEST_SUITE(FuzzVoxelMatrixInputs, NumericTypes);

const char* const emptyRowsWhat = "Voxel matrix without voxels declares too many rows or planes";

} // namespace

// Read: the sizes of the header (legacy: 3 ints; current: 0, 0, 0, version,
// type, 3 sizes at byte 20, voxel sizes) and, voxel by voxel, the bytes
// after it (rows of a plane in turn, planes in turn).
TYPED_TEST(FuzzVoxelMatrixInputs, ReadAsTheBytesSayOrRefused)
{
    using T = TypeParam;
    // x86 long doubles pad their 10 bytes of value to 16.
    constexpr std::size_t valueBytes =
        std::is_same_v<T, long double> && std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(T);
    for (const std::string& file : keptInputs({".vm"})) {
        SCOPED_TRACE(file);
        VoxelMatrix<T> matrix;
        try {
            matrix.load(file);
        } catch (const Exception& e) {
            expectNamesFile(e, file);
            continue;
        }
        const std::string bytes = readBytes(file);
        std::int32_t head[8] = {};
        std::memcpy(head, bytes.data(), std::min(bytes.size(), sizeof head));
        const bool current = head[0] == 0 && head[1] == 0 && head[2] == 0;
        const std::int32_t* sizes = head + (current ? 5 : 0);
        ASSERT_EQ((std::vector<int>{matrix.getSize1(), matrix.getSize2(), matrix.getSize3()}),
                  (std::vector<int>{sizes[0], sizes[1], sizes[2]}));
        std::size_t at = current ? 48 : 12;
        ASSERT_LE(at + std::size_t(sizes[0]) * sizes[1] * sizes[2] * sizeof(T), bytes.size());
        for (int k = 0; k < sizes[2]; ++k)
            for (int i = 0; i < sizes[0]; ++i)
                for (int j = 0; j < sizes[1]; ++j, at += sizeof(T))
                    ASSERT_EQ(std::memcmp(&matrix(i, j, k), bytes.data() + at, valueBytes), 0) << i << " " << j << " " << k;
    }
}

// Legacy files of empty rows no byte backs (23,040 rows in each of 41 planes;
// 65,280 planes of one row) took seconds to read, write and read back: both
// are refused. As many empty rows as the reader allows still read.
TYPED_TEST(FuzzVoxelMatrixInputs, EmptyRowsBeyondTheBoundRefused)
{
    using T = TypeParam;
    for (const char* name : {"emptyrows-format0.vm", "emptyplanes-format0.vm"}) {
        const std::string file = dataFile("fuzz/") + name;
        VoxelMatrix<T> matrix;
        EXPECT_PLEXAN_THROW(matrix.load(file), FileFormatError, "void VoxelMatrix<T>::load(const string&)",
                            emptyRowsWhat);
        EXPECT_PLEXAN_THROW(matrix.loadHeader(file), FileFormatError,
                            "void VoxelMatrix<T>::loadHeader(const string&)", emptyRowsWhat);
        try {
            matrix.load(file);
        } catch (const FileFormatError& e) {
            EXPECT_EQ(e.getFile(), file);
        }
    }
    // 64 empty rows in each of 64 planes, legacy and current format.
    const std::int32_t legacy[] = {64, 0, 64};
    const std::int32_t current[] = {0, 0, 0, 1, VoxelMatrix<T>::dataTypeId(), 64, 0, 64, 0, 0x3f800000, 0x3f800000, 0x3f800000};
    const ScratchDirectory dir;
    for (const std::string& bytes : {std::string(reinterpret_cast<const char*>(legacy), sizeof legacy),
                                     std::string(reinterpret_cast<const char*>(current), sizeof current)}) {
        writeBytes(dir.file("empty.vm"), bytes);
        VoxelMatrix<T> read;
        ASSERT_NO_THROW(read.load(dir.file("empty.vm")));
        EXPECT_EQ((std::vector<int>{read.getSize1(), read.getSize2(), read.getSize3()}), (std::vector<int>{64, 0, 64}));
    }
}

// A plane of each kept .vm file as a slice image: refused, or an image of the
// plane's sizes.
TEST(FuzzVoxelMatrixPlaneInputs, ReadAsImageOrRefused)
{
    for (const std::string& file : keptInputs({".vm"})) {
        SCOPED_TRACE(file);
        ImageSourceVoxelMatrixPlane source;
        try {
            source.setVoxelMatrixFilename(file);
            source.setPlane(source.getPlaneCount() - 1);
            Image image;
            ImageReader().read(image, source);
            EXPECT_EQ(image.getHeight(), source.getSize1());
            EXPECT_EQ(image.getWidth(), source.getSize2());
        } catch (const Exception& e) {
            expectNamesFile(e, file);
            if (file.ends_with("format0.vm")) {
                EXPECT_EQ(e.getWhat(), emptyRowsWhat);
            }
        }
    }
}

// Each kept slice image: refused, or read with the sizes, depth and colormap
// its header read alone announces.
TEST(FuzzImageInputs, ReadAsTheHeaderSaysOrRefused)
{
    for (const std::string& file : keptInputs({".tif", ".img"})) {
        SCOPED_TRACE(file);
        ImageHeader header;
        Image image;
        try {
            ImageReader().read(image, file);
        } catch (const Exception& e) {
            expectNamesFile(e, file);
            continue;
        }
        ASSERT_NO_THROW(ImageReader().read(header, file));
        EXPECT_EQ((std::vector<int>{image.getWidth(), image.getHeight(), image.getDepth(), image.hasColormap()}),
                  (std::vector<int>{header.getWidth(), header.getHeight(), header.getDepth(), header.hasColormap()}));
    }
}

// A grid of many rows and no column has no cell but still a height per row:
// each count is bounded like the number of cells, whichever is 0.
TEST(FuzzMosaicInputs, EmptyGridOfTooManyRowsOrColumnsRefused)
{
    constexpr int bound = ImageSourceFileMosaic::maxCells;
    for (const auto& [rows, cols] : {std::pair{bound + 1, 0}, std::pair{0, bound + 1}, std::pair{1000000100, 0}})
        EXPECT_PLEXAN_THROW(ImageSourceFileMosaic(rows, cols), SizeError,
                            "ImageSourceFileMosaic::ImageSourceFileMosaic(int, int)", "Invalid mosaic dimensions");
    for (const auto& [rows, cols] : {std::pair{bound, 0}, std::pair{0, bound}, std::pair{1, bound}}) {
        const ImageSourceFileMosaic mosaic(rows, cols);
        EXPECT_EQ((std::vector<int>{mosaic.getRows(), mosaic.getCols(), mosaic.getSize1(), mosaic.getSize2()}),
                  (std::vector<int>{rows, cols, 0, 0}));
    }
}
