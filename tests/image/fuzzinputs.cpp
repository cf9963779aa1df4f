// Inputs the fuzzers found troublesome, kept under tests/data/image/fuzz/:
// every one is read again by the reader that choked on it. A read either
// gives what the file's bytes say or fails with a plexan exception naming
// the file; never a crash, a hang or a sanitizer report. Also the bounds
// that image sources put on sizes read from other files (mosaic grids of
// stack files).

#include "image/image.h"
#include "image/imageheader.h"
#include "image/imagereader.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/voxelmatrix.h"
#include "numerics/elementtype.h"
#include "numerics/exception.h"

#include "support/expect.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string fuzzDir = std::string(PLEXAN_TEST_DATA_DIR) + "/image/fuzz";

// The kept inputs whose names end in one of `suffixes`, in name order.
std::vector<std::string> keptInputs(std::initializer_list<const char*> suffixes)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(fuzzDir)) {
        const std::string name = entry.path().string();
        for (const char* suffix : suffixes) {
            const std::string s(suffix);
            if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0)
                files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string contents(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::int32_t int32At(const std::string& bytes, std::size_t offset)
{
    std::int32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

// A directory of its own for files a test writes, removed at its end.
class Scratch {
public:
    Scratch()
        : m_path(fs::temp_directory_path() / ("plexan-fuzzinputs-" + std::to_string(getpid())))
    {
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        const std::string file = (m_path / name).string();
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    fs::path m_path;
};

// A failure must be a plexan exception; a file error must name the file.
void expectNamesFile(const Exception& e, const std::string& file)
{
    if (const auto* fileError = dynamic_cast<const FileError*>(&e)) {
        EXPECT_EQ(fileError->getFile(), file) << e.getWhat();
    }
}

// Bytes of an element that carry its value: x86 long doubles pad 10 bytes to 16.
template <typename T>
constexpr std::size_t significantBytes()
{
    if constexpr (std::is_same_v<T, long double> && sizeof(long double) == 16 &&
                  std::numeric_limits<long double>::digits == 64)
        return 10;
    else
        return sizeof(T);
}

template <typename T>
class FuzzVoxelMatrixInputs : public ::testing::Test {};

using NumericTypes = ::testing::Types<char, unsigned char, short, unsigned short, int, unsigned int, float,
                                      double, long double>;
TYPED_TEST_SUITE(FuzzVoxelMatrixInputs, NumericTypes);

} // namespace

// Each kept .vm file, read as every element type: refused with a plexan
// exception, or read with the header's sizes and, voxel by voxel, the bytes
// that follow the header (rows of a plane in turn, planes in turn).
TYPED_TEST(FuzzVoxelMatrixInputs, ReadAsTheBytesSayOrRefused)
{
    using T = TypeParam;
    const std::vector<std::string> files = keptInputs({".vm"});
    ASSERT_FALSE(files.empty());
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string bytes = contents(file);

        VoxelMatrix<T> header;
        bool headerRead = false;
        try {
            header.loadHeader(file);
            headerRead = true;
        } catch (const Exception& e) {
            expectNamesFile(e, file);
        }

        VoxelMatrix<T> matrix;
        try {
            matrix.load(file);
        } catch (const Exception& e) {
            expectNamesFile(e, file);
            continue;
        }
        ASSERT_TRUE(headerRead) << "the file reads but its header is refused";
        EXPECT_EQ(matrix.getSize1(), header.getSize1());
        EXPECT_EQ(matrix.getSize2(), header.getSize2());
        EXPECT_EQ(matrix.getSize3(), header.getSize3());

        const bool format1 = bytes.size() >= 12 && int32At(bytes, 0) == 0 && int32At(bytes, 4) == 0 &&
                             int32At(bytes, 8) == 0;
        const std::size_t offset = format1 ? 48 : 12;
        ASSERT_GE(bytes.size(), offset);
        const std::size_t sizesAt = format1 ? 20 : 0;
        EXPECT_EQ(matrix.getSize1(), int32At(bytes, sizesAt));
        EXPECT_EQ(matrix.getSize2(), int32At(bytes, sizesAt + 4));
        EXPECT_EQ(matrix.getSize3(), int32At(bytes, sizesAt + 8));
        const std::size_t voxels = std::size_t(matrix.getSize1()) * matrix.getSize2() * matrix.getSize3();
        ASSERT_LE(offset + voxels * sizeof(T), bytes.size());
        std::size_t at = offset;
        for (int k = 0; k < matrix.getSize3(); ++k)
            for (int i = 0; i < matrix.getSize1(); ++i)
                for (int j = 0; j < matrix.getSize2(); ++j, at += sizeof(T))
                    ASSERT_EQ(std::memcmp(&matrix[k][i][j], bytes.data() + at, significantBytes<T>()), 0)
                        << "voxel " << i << ", " << j << ", " << k;
    }
}

// A plane of each kept .vm file as a slice image: refused, or an image of
// the plane's sizes.
TEST(FuzzVoxelMatrixPlaneInputs, ReadAsImageOrRefused)
{
    for (const std::string& file : keptInputs({".vm"})) {
        SCOPED_TRACE(file);
        try {
            ImageSourceVoxelMatrixPlane source;
            source.setVoxelMatrixFilename(file);
            source.setPlane(source.getPlaneCount() - 1);
            Image image;
            ImageReader().read(image, source);
            EXPECT_EQ(image.getHeight(), source.getSize1());
            EXPECT_EQ(image.getWidth(), source.getSize2());
        } catch (const Exception& e) {
            expectNamesFile(e, file);
        }
    }
}

// Legacy files declaring empty rows that no byte backs: 23,040 rows in each
// of 41 planes (44 bytes), and 65,280 planes of one row (42 bytes), which
// took seconds to read, write and read back. Both are refused; a volume of
// as many empty rows as the reader allows still reads, with its sizes.
const char* const emptyRowFiles[] = {"emptyrows-format0.vm", "emptyplanes-format0.vm"};
const char* const emptyRowsWhat = "Voxel matrix without voxels declares too many rows or planes";

TYPED_TEST(FuzzVoxelMatrixInputs, EmptyRowsBeyondTheBoundRefused)
{
    using T = TypeParam;
    for (const char* name : emptyRowFiles) {
        const std::string file = fuzzDir + "/" + name;
        SCOPED_TRACE(file);
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
    const Scratch scratch;
    std::string legacy(12, '\0');
    for (std::int32_t i = 0, v[3] = {64, 0, 64}; i < 3; ++i)
        std::memcpy(legacy.data() + 4 * i, &v[i], 4);
    std::string current(48, '\0');
    const std::int32_t fields[] = {1, VoxelMatrix<T>::dataTypeId(), 64, 0, 64};
    const float voxelSize[] = {1.0f, 1.0f, 1.0f};
    std::memcpy(current.data() + 12, fields, sizeof fields);
    std::memcpy(current.data() + 36, voxelSize, sizeof voxelSize);
    for (const std::string& bytes : {legacy, current}) {
        const std::string empty = scratch.write("empty.vm", bytes);
        VoxelMatrix<T> read;
        ASSERT_NO_THROW(read.load(empty));
        EXPECT_EQ(read.getSize1(), 64);
        EXPECT_EQ(read.getSize2(), 0);
        EXPECT_EQ(read.getSize3(), 64);
    }
}

TEST(FuzzVoxelMatrixPlaneInputs, EmptyRowsBeyondTheBoundRefused)
{
    for (const char* name : emptyRowFiles) {
        const std::string file = fuzzDir + "/" + name;
        SCOPED_TRACE(file);
        ImageSourceVoxelMatrixPlane source;
        EXPECT_PLEXAN_THROW(source.setVoxelMatrixFilename(file), FileFormatError,
                            "void VoxelMatrix<T>::loadHeader(const string&)", emptyRowsWhat);
        EXPECT_EQ(source.getPlaneCount(), 0);
    }
}

// Each kept slice image (.tif, .img): refused with a plexan exception, or
// read with the sizes, depth and colormap its header read alone announces.
TEST(FuzzImageInputs, ReadAsTheHeaderSaysOrRefused)
{
    for (const std::string& file : keptInputs({".tif", ".img"})) {
        SCOPED_TRACE(file);
        ImageReader reader;
        ImageHeader header;
        bool headerRead = false;
        try {
            reader.read(header, file);
            headerRead = true;
        } catch (const Exception& e) {
            expectNamesFile(e, file);
        }
        Image image;
        try {
            reader.read(image, file);
        } catch (const Exception& e) {
            expectNamesFile(e, file);
            continue;
        }
        ASSERT_TRUE(headerRead) << "the image reads but its header is refused";
        EXPECT_EQ(image.getWidth(), header.getWidth());
        EXPECT_EQ(image.getHeight(), header.getHeight());
        EXPECT_EQ(image.getDepth(), header.getDepth());
        EXPECT_EQ(image.hasColormap(), header.hasColormap());
    }
}

// A grid of many rows and no column has no cell but still a height per row:
// each count is bounded like the number of cells, whichever is 0.
TEST(FuzzMosaicInputs, EmptyGridOfTooManyRowsOrColumnsRefused)
{
    const char* where = "ImageSourceFileMosaic::ImageSourceFileMosaic(int, int)";
    const char* what = "Invalid mosaic dimensions";
    constexpr int bound = ImageSourceFileMosaic::maxCells;
    EXPECT_PLEXAN_THROW(ImageSourceFileMosaic(1000000100, 0), SizeError, where, what);
    EXPECT_PLEXAN_THROW(ImageSourceFileMosaic(0, 1000000100), SizeError, where, what);
    EXPECT_PLEXAN_THROW(ImageSourceFileMosaic(bound + 1, 0), SizeError, where, what);
    EXPECT_PLEXAN_THROW(ImageSourceFileMosaic(0, bound + 1), SizeError, where, what);
    for (const auto& [rows, cols] : {std::pair{bound, 0}, std::pair{0, bound}, std::pair{bound, 1}, std::pair{1, bound}}) {
        const ImageSourceFileMosaic mosaic(rows, cols);
        EXPECT_EQ(mosaic.getRows(), rows);
        EXPECT_EQ(mosaic.getCols(), cols);
        EXPECT_EQ(mosaic.getSize1(), 0);
        EXPECT_EQ(mosaic.getSize2(), 0);
    }
}
