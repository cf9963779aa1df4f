#include "image/filecontent.h"

#include "image/imagewriter.h"
#include "imagesupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace imagetest;

namespace {

std::string int32s(std::initializer_list<std::int32_t> values)
{
    std::string bytes;
    for (const std::int32_t v : values)
        bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
    return bytes;
}

// A format 1 header as the voxel-matrix writer lays it out.
std::string format1Header(std::int32_t typeId, std::int32_t s1, std::int32_t s2, std::int32_t s3)
{
    const float voxel[3] = {0.5f, 0.5f, 2.0f};
    return int32s({0, 0, 0, 1, typeId, s1, s2, s3, -6}) + std::string(reinterpret_cast<const char*>(voxel), 12);
}

// An uncompressed NIfTI-1 volume of 4 x 4 x 2 bytes, as scanners write them:
// the header size, then the dimensions, the magic at 344, data from 352.
std::string niftiBytes()
{
    std::string bytes(352, '\0');
    const std::int32_t headerSize = 348;
    std::memcpy(bytes.data(), &headerSize, 4);
    const std::int16_t dims[4] = {3, 4, 4, 2};
    std::memcpy(bytes.data() + 40, dims, sizeof dims);
    std::memcpy(bytes.data() + 344, "n+1\0", 4);
    return bytes + std::string(32, '\x07');
}

} // namespace

// Every kind told from bytes alone, whatever the file's name says: the names
// here all claim to be voxel matrices.
TEST(FileContent, KindsAreToldByContentNotByName)
{
    ScratchDirectory scratch;
    std::filesystem::create_directories(scratch.file("folder.vm"));
    Image image;
    image.init(5, 3, 8);
    ImageWriter().write(image, scratch.file("slice.tif"), true);
    const std::pair<std::string, FileContent::Kind> cases[] = {
        {"", FileContent::Empty},
        {readBytes(scratch.file("slice.tif")), FileContent::Tiff},
        {std::string("II+\0\x08\0\0\0", 8) + std::string(16, '\0'), FileContent::BigTiff},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), FileContent::Png},
        {"\xff\xd8\xff\xe0 JFIF", FileContent::Jpeg},
        {"GIF89a....", FileContent::Gif},
        {"BM" + int32s({12}) + std::string(6, '\0'), FileContent::Bmp},
        {"BM is a text that starts like a bitmap\n", FileContent::Text},
        {niftiBytes(), FileContent::Nifti1},
        // Bytes swapped: written on a big-endian machine.
        {std::string("\0\0\x01\x5c", 4) + std::string(400, '\0'), FileContent::Nifti1},
        {int32s({540}) + std::string("n+2\0", 4) + std::string(600, '\0'), FileContent::Nifti2},
        {std::string("\x89HDF\r\n\x1a\n", 8) + std::string(40, '\0'), FileContent::Hdf5},
        {"NRRD0004\ntype: float\n", FileContent::Nrrd},
        {std::string(128, '\0') + "DICM" + std::string(8, '\0'), FileContent::Dicom},
        {"%PDF-1.7\n", FileContent::Pdf},
        {std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + niftiBytes(), FileContent::Gzip},
        {"BZh91AY&SY", FileContent::Bzip2},
        {std::string("\xfd" "7zXZ\0\0", 7), FileContent::Xz},
        {std::string("\x28\xb5\x2f\xfd\0\0", 6), FileContent::Zstd},
        {std::string("PK\x03\x04\x14\0", 6), FileContent::Zip},
        {"0000" + std::string(512 * 512 + 8, 'x'), FileContent::Img},
        {"0000 is text when the length is not an IMG file's\n", FileContent::Text},
        {"FileFormatVersion 1.03;\nSTACK \"s\";\n\xc2\xb5m \t\r\f\v\n", FileContent::Text},
        {std::string("text with a NUL\0", 16), FileContent::Binary},
        {"text with a bell \a", FileContent::Binary},
    };
    for (const auto& [bytes, kind] : cases) {
        writeBytes(scratch.file("file.vm"), bytes);
        const FileContent content(scratch.file("file.vm"));
        EXPECT_EQ(content.getKind(), kind) << content.describe() << " for " << bytes.substr(0, 16);
        EXPECT_EQ(content.getLength(), bytes.size());
        EXPECT_EQ(content.getFirstBlock(), bytes.substr(0, FileContent::blockSize));
    }
    EXPECT_EQ(FileContent(scratch.file("folder.vm")).getKind(), FileContent::Directory);
    EXPECT_EQ(FileContent(scratch.file("none.vm")).getKind(), FileContent::Missing);
    EXPECT_EQ(FileContent("/dev/null").getKind(), FileContent::Special);
    // A link is what it points to; a dangling one is missing.
    std::filesystem::create_symlink(scratch.file("slice.tif"), scratch.file("link.vm"));
    std::filesystem::create_symlink(scratch.file("gone.tif"), scratch.file("dangling.vm"));
    EXPECT_EQ(FileContent(scratch.file("link.vm")).getKind(), FileContent::Tiff);
    EXPECT_EQ(FileContent(scratch.file("dangling.vm")).getKind(), FileContent::Missing);
    EXPECT_EQ(FileContent::describe(FileContent::Gzip), "a gzip-compressed file");
    EXPECT_EQ(FileContent::describe(FileContent::Nifti1), "a NIfTI-1 or Analyze image");
}

// Files the writer makes are voxel matrices of their type and sizes, and a
// byte more or less makes them damaged: the header and the length must
// agree exactly.
template <typename T>
class FileContentVoxels : public ::testing::Test {};
using VoxelTypes = ::testing::Types<unsigned char, short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(FileContentVoxels, VoxelTypes);

TYPED_TEST(FileContentVoxels, WrittenFilesAreRecognisedAndTheirLengthChecked)
{
    using T = TypeParam;
    ScratchDirectory scratch;
    for (const auto& size : {std::array<int, 3>{3, 5, 2}, std::array<int, 3>{1, 1, 1}, std::array<int, 3>{0, 0, 0}}) {
        VoxelMatrix<T> volume(size[0], size[1], size[2]);
        volume.save(scratch.file("v.vm"), true);
        const std::string bytes = readBytes(scratch.file("v.vm"));
        const FileContent content(scratch.file("v.vm"));
        ASSERT_EQ(content.getKind(), FileContent::VoxelMatrix) << content.describe();
        EXPECT_EQ(content.getVoxelFormat(), 1);
        EXPECT_EQ(content.getVoxelTypeId(), VoxelMatrix<T>::dataTypeId());
        if (size[0] > 0) {
            EXPECT_EQ(content.getVoxelElementSize(), static_cast<int>(sizeof(T)));
        }
        for (int a = 0; a < 3; ++a)
            EXPECT_EQ(content.getVoxelSizes()[a], size[static_cast<std::size_t>(a)]);
        // Identifier 0 fits two element sizes: a length may fit the other.
        if (VoxelMatrix<T>::dataTypeId() == 0)
            continue;
        writeBytes(scratch.file("v.vm"), bytes + "x");
        EXPECT_EQ(FileContent(scratch.file("v.vm")).getKind(), FileContent::DamagedVoxelMatrix);
        if (size[0] > 0) {
            writeBytes(scratch.file("v.vm"), bytes.substr(0, bytes.size() - 1));
            EXPECT_EQ(FileContent(scratch.file("v.vm")).getKind(), FileContent::DamagedVoxelMatrix);
        }
    }
}

TEST(FileContent, VoxelMatrixHeadersThatAreNotOnes)
{
    ScratchDirectory scratch;
    auto kind = [&](const std::string& bytes) {
        writeBytes(scratch.file("v.vm"), bytes);
        return FileContent(scratch.file("v.vm"));
    };
    // Format 0: three positive sizes and voxels of one element size.
    const FileContent old = kind(int32s({2, 3, 4}) + std::string(2 * 3 * 4 * 8, '\0'));
    EXPECT_EQ(old.getKind(), FileContent::VoxelMatrix);
    EXPECT_EQ(old.getVoxelFormat(), 0);
    EXPECT_EQ(old.getVoxelElementSize(), 8);
    EXPECT_EQ(kind(int32s({2, 3, 4}) + std::string(2 * 3 * 4 * 3, '\0')).getKind(), FileContent::Binary);
    EXPECT_EQ(kind(int32s({2, -3, 4}) + std::string(24, '\0')).getKind(), FileContent::Binary);
    // Format 1: an unknown type or a negative size is no voxel matrix at all;
    // sizes whose product overflows fit no file.
    EXPECT_EQ(kind(format1Header(8, 1, 1, 1) + std::string(4, '\0')).getKind(), FileContent::Binary);
    EXPECT_EQ(kind(format1Header(4, 1, 2, 1) + std::string(4, '\0')).getVoxelElementSize(), 2);
    EXPECT_EQ(kind(format1Header(1, 1, 2, 1) + std::string(2, '\0')).getVoxelElementSize(), 1);
    EXPECT_EQ(kind(format1Header(5, -1, 1, 1)).getKind(), FileContent::Binary);
    EXPECT_EQ(kind(format1Header(7, 1 << 30, 1 << 30, 1 << 30)).getKind(), FileContent::DamagedVoxelMatrix);
    // Identifier 0 serves 1- and 2-byte voxels: the length tells which.
    EXPECT_EQ(kind(format1Header(0, 2, 2, 1) + std::string(8, '\0')).getVoxelElementSize(), 2);
    EXPECT_EQ(kind(format1Header(0, 2, 2, 1) + std::string(4, '\0')).getVoxelElementSize(), 1);
    EXPECT_EQ(kind(format1Header(0, 2, 2, 1) + std::string(5, '\0')).getKind(), FileContent::DamagedVoxelMatrix);
    EXPECT_EQ(kind(std::string(20, '\0')).getKind(), FileContent::Binary);
}

// A file we may not read is told apart from a missing one (not as root,
// who reads everything).
TEST(FileContent, UnreadableFilesAreNotMissing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every file";
    ScratchDirectory scratch;
    writeBytes(scratch.file("secret.vm"), "x");
    ::chmod(scratch.file("secret.vm").c_str(), 0);
    EXPECT_EQ(FileContent(scratch.file("secret.vm")).getKind(), FileContent::Unreadable);
}
