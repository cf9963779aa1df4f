// The voxel-matrix file format: byte layout, round trips, the legacy format
// and the refusal of malformed files.

#include "image/voxelmatrix.h"

#include "randomfill.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <typeinfo>
#include <unistd.h>
#include <vector>

using imagetest::randomVoxelMatrix;

namespace {

// A file name of its own for each test, removed at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::string& tag)
        : m_path((std::filesystem::path(::testing::TempDir()) /
                  ("plexan_vm_" + std::to_string(::getpid()) + "_" + tag + ".vm"))
                     .string())
    {
        std::remove(m_path.c_str());
    }
    ~TempFile()
    {
        std::remove(m_path.c_str());
        std::remove((m_path + ".partial").c_str());
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::vector<unsigned char> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

template <typename V>
void appendValue(std::vector<unsigned char>& bytes, V v)
{
    unsigned char raw[sizeof(V)];
    std::memcpy(raw, &v, sizeof(V));
    // The unused bytes of x86 long doubles are written as zeros.
    if constexpr (std::is_same_v<V, long double> && sizeof(V) == 16 && std::numeric_limits<V>::digits == 64)
        std::memset(raw + 10, 0, 6);
    bytes.insert(bytes.end(), raw, raw + sizeof(V));
}

template <typename V>
V valueAt(const std::vector<unsigned char>& bytes, std::size_t offset)
{
    V v;
    std::memcpy(&v, bytes.data() + offset, sizeof(V));
    return v;
}

// A format 1 header with the given fields.
std::vector<unsigned char> format1Header(std::int32_t typeId, std::int32_t s1, std::int32_t s2, std::int32_t s3,
                                         std::int32_t unit = 0)
{
    std::vector<unsigned char> bytes;
    for (std::int32_t v : {0, 0, 0, 1, typeId, s1, s2, s3, unit})
        appendValue(bytes, v);
    for (float v : {1.0f, 1.0f, 1.0f})
        appendValue(bytes, v);
    return bytes;
}

VoxelCalibration someCalibration()
{
    VoxelCalibration c;
    c.setLengthUnit(LengthUnit(-6));
    c.setVoxelSize(Vector<float>{0.5f, 0.25f, 2.0f});
    return c;
}

template <typename T>
class VoxelMatrixFileTyped : public ::testing::Test {};
using VoxelTypes = ::testing::Types<char, unsigned char, short, unsigned short, int, unsigned int, float, double,
                                    long double>;
TYPED_TEST_SUITE(VoxelMatrixFileTyped, VoxelTypes);

TYPED_TEST(VoxelMatrixFileTyped, SavedMatricesLoadBackIdentically)
{
    using T = TypeParam;
    std::mt19937 rng(21);
    const TempFile file(std::string("roundtrip_") + plexan::typeName<T>());
    for (const auto& s : {std::array{3, 4, 5}, std::array{1, 1, 1}, std::array{7, 1, 2}, std::array{0, 0, 0},
                          std::array{0, 3, 2}}) {
        VoxelMatrix<T> m = randomVoxelMatrix<T>(s[0], s[1], s[2], rng, 0, 120);
        m.setVoxelCalibration(someCalibration());
        m.save(file.path(), true);
        EXPECT_EQ(readAll(file.path()).size(), 48u + sizeof(T) * static_cast<std::size_t>(s[0] * s[1] * s[2]));

        VoxelMatrix<T> fresh;
        fresh.load(file.path());
        EXPECT_EQ(fresh, m);
        EXPECT_EQ(fresh.getSize(), m.getSize());
        EXPECT_EQ(fresh.getVoxelCalibration(), someCalibration());

        // Into a matrix of the same sizes (planes reused) and through the
        // file constructor.
        VoxelMatrix<T> reused(s[0], s[1], s[2]);
        reused.load(file.path());
        EXPECT_EQ(reused, m);
        EXPECT_EQ(VoxelMatrix<T>(file.path()), m);

        VoxelMatrix<T> header;
        header.loadHeader(file.path());
        EXPECT_EQ(header.getSize(), m.getSize());
        EXPECT_EQ(header.getVoxelCalibration(), someCalibration());
    }
}

TYPED_TEST(VoxelMatrixFileTyped, LegacyFilesLoadWithADefaultCalibration)
{
    using T = TypeParam;
    std::mt19937 rng(22);
    const TempFile file(std::string("format0_") + plexan::typeName<T>());
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(2, 3, 2, rng);
    // Sizes, then the voxels plane by plane, row by row, written one by one.
    std::vector<unsigned char> bytes;
    for (std::int32_t s : {2, 3, 2})
        appendValue(bytes, s);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                appendValue(bytes, m(i, j, k));
    writeAll(file.path(), bytes);

    VoxelMatrix<T> loaded(1, 1, 1);
    loaded.setVoxelCalibration(someCalibration());
    loaded.load(file.path());
    EXPECT_EQ(loaded, m);
    EXPECT_EQ(loaded.getVoxelCalibration(), VoxelCalibration());

    VoxelMatrix<T> header;
    header.loadHeader(file.path());
    EXPECT_EQ(header.getSize(), (Vector<int>{2, 3, 2}));
    EXPECT_FALSE(header.hasPlanes());
    header.setSize(2, 3, 2); // the planes appear once asked for
    EXPECT_TRUE(header.hasPlanes());

    // saveUnderFormat0 writes the same bytes.
    const TempFile again(std::string("format0_again_") + plexan::typeName<T>());
    {
        std::ofstream out(again.path(), std::ios::binary);
        m.saveUnderFormat0(out);
    }
    EXPECT_EQ(readAll(again.path()), bytes);
}

TYPED_TEST(VoxelMatrixFileTyped, TruncatedFilesAreRefusedAndLeaveTheMatrixAlone)
{
    using T = TypeParam;
    std::mt19937 rng(23);
    const TempFile file(std::string("truncated_") + plexan::typeName<T>());
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(2, 3, 4, rng);
    m.save(file.path(), true);
    const std::vector<unsigned char> whole = readAll(file.path());
    const VoxelMatrix<T> before = randomVoxelMatrix<T>(3, 3, 3, rng);
    // Every cut inside the header, and cuts around voxel boundaries after it.
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length <= 48; ++length)
        lengths.push_back(length);
    for (std::size_t length : {49ul, 47 + sizeof(T), 48 + sizeof(T), 49 + sizeof(T), whole.size() / 2 + 1,
                               whole.size() - sizeof(T), whole.size() - 1})
        lengths.push_back(length);
    for (std::size_t length : lengths) {
        writeAll(file.path(), std::vector<unsigned char>(whole.begin(), whole.begin() + static_cast<long>(length)));
        VoxelMatrix<T> target(before);
        target.setVoxelCalibration(someCalibration());
        for (int pass = 0; pass < 2; ++pass) {
            try {
                if (pass == 0)
                    target.load(file.path());
                else
                    target.loadHeader(file.path());
                ADD_FAILURE() << "a file of " << length << " bytes was accepted";
            } catch (const FileFormatError& e) {
                const bool headerCut = length < 48;
                EXPECT_EQ(e.getWhat().rfind(headerCut ? "Voxel matrix file header is incomplete"
                                                      : "Voxel matrix sizes exceed the file length",
                                            0),
                          0u)
                    << length << ": " << e.getWhat();
                EXPECT_EQ(e.getFile(), file.path());
            } catch (const TypeError& e) {
                // A small-type file cut to the length of the other small size.
                EXPECT_EQ(VoxelMatrix<T>::dataTypeId(), 0) << length;
            }
            EXPECT_EQ(target, before) << length;
            EXPECT_EQ(target.getVoxelCalibration(), someCalibration()) << length;
        }
    }
}

} // namespace

TEST(VoxelMatrixFile, TypeIdentifiers)
{
    // Other programs read these files: the identifiers are fixed.
    EXPECT_EQ(VoxelMatrix<int>::dataTypeId(), 2);
    EXPECT_EQ(VoxelMatrix<unsigned int>::dataTypeId(), 3);
    EXPECT_EQ(VoxelMatrix<float>::dataTypeId(), 5);
    EXPECT_EQ(VoxelMatrix<double>::dataTypeId(), 6);
    EXPECT_EQ(VoxelMatrix<long double>::dataTypeId(), 7);
    EXPECT_EQ(VoxelMatrix<char>::dataTypeId(), 0);
    EXPECT_EQ(VoxelMatrix<unsigned char>::dataTypeId(), 0);
    EXPECT_EQ(VoxelMatrix<short>::dataTypeId(), 0);
    EXPECT_EQ(VoxelMatrix<unsigned short>::dataTypeId(), 0);
}

TEST(VoxelMatrixFile, ByteLayoutOfAFloatMatrix)
{
    const TempFile file("layout");
    VoxelMatrix<float> m(2, 3, 4);
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                m(i, j, k) = 100.0f * static_cast<float>(k) + 10.0f * static_cast<float>(i) + static_cast<float>(j) + 0.5f;
    m.setVoxelCalibration(someCalibration());
    m.save(file.path(), false);

    const std::vector<unsigned char> bytes = readAll(file.path());
    ASSERT_EQ(bytes.size(), 144u);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 0), 0);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 4), 0);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 8), 0);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 12), 1);  // version
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 16), 5);  // float
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 20), 2);  // rows
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 24), 3);  // columns
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 28), 4);  // planes
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 32), -6); // micrometres
    EXPECT_EQ(valueAt<float>(bytes, 36), 0.5f);
    EXPECT_EQ(valueAt<float>(bytes, 40), 0.25f);
    EXPECT_EQ(valueAt<float>(bytes, 44), 2.0f);
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(valueAt<float>(bytes, 48 + 4 * static_cast<std::size_t>((k * 2 + i) * 3 + j)), m(i, j, k));
}

TEST(VoxelMatrixFile, LongDoublePaddingIsWrittenAsZeros)
{
    // Equal matrices give equal files, whatever the unused bytes held.
    const TempFile file("padding");
    VoxelMatrix<long double> m(1, 2, 1);
    std::memset(&m(0, 0, 0), 0xAB, sizeof(long double));
    std::memset(&m(0, 1, 0), 0xCD, sizeof(long double));
    m(0, 0, 0) = 1.5L;
    m(0, 1, 0) = -2.25L;
    m.save(file.path(), true);
    const std::vector<unsigned char> bytes = readAll(file.path());
    ASSERT_EQ(bytes.size(), 48u + 2 * sizeof(long double));
    VoxelMatrix<long double> back(file.path());
    EXPECT_EQ(back, m);
    if (sizeof(long double) == 16 && std::numeric_limits<long double>::digits == 64) {
        for (std::size_t v = 0; v < 2; ++v)
            for (std::size_t b = 10; b < 16; ++b)
                EXPECT_EQ(bytes[48 + 16 * v + b], 0) << v << " " << b;
    }
}

TEST(VoxelMatrixFile, TypeMismatchLeavesTheMatrixUnchanged)
{
    const TempFile file("mismatch");
    std::mt19937 rng(24);
    randomVoxelMatrix<float>(2, 3, 4, rng).save(file.path(), true);
    const VoxelMatrix<double> before = randomVoxelMatrix<double>(3, 3, 3, rng);
    VoxelMatrix<double> target(before);
    target.setVoxelCalibration(someCalibration());
    try {
        target.load(file.path());
        ADD_FAILURE() << "a float file was read into a double matrix";
    } catch (const TypeError& e) {
        EXPECT_EQ(e.getWhere(), "void VoxelMatrix<T>::load(ifstream&)");
        EXPECT_EQ(e.getWhat(), "Type mismatch between template instantiation and file contents");
        EXPECT_NE(e.getCalls().find("void VoxelMatrix<T>::load(const string&)"), std::string::npos);
    }
    EXPECT_EQ(target, before);
    EXPECT_EQ(target.getVoxelCalibration(), someCalibration());
    EXPECT_PLEXAN_THROW(target.loadHeader(file.path()), TypeError, "void VoxelMatrix<T>::loadHeader(const string&)",
                        "Type mismatch between template instantiation and file contents");
    EXPECT_EQ(target, before);
    EXPECT_TRUE(target.hasPlanes());
}

TEST(VoxelMatrixFile, SmallIntegerTypesShareTheirIdentifier)
{
    const TempFile file("small");
    std::mt19937 rng(25);
    const VoxelMatrix<short> s = randomVoxelMatrix<short>(3, 2, 2, rng);
    s.save(file.path(), true);
    // Same identifier and element size: read as is.
    VoxelMatrix<unsigned short> us;
    us.load(file.path());
    EXPECT_EQ(us, s.toType<unsigned short>());
    // Same identifier, but the length fits bytes, not shorts, or the reverse.
    VoxelMatrix<unsigned char> uc(1, 1, 1);
    uc.setZeros();
    EXPECT_PLEXAN_THROW(uc.load(file.path()), TypeError, "void VoxelMatrix<T>::load(ifstream&)",
                        "Type mismatch between template instantiation and file contents");
    EXPECT_EQ(uc.getSize(), (Vector<int>{1, 1, 1}));
    s.toType<unsigned char>().save(file.path(), true);
    EXPECT_PLEXAN_THROW(us.load(file.path()), TypeError, "void VoxelMatrix<T>::load(ifstream&)",
                        "Type mismatch between template instantiation and file contents");
    EXPECT_EQ(us, s.toType<unsigned short>());
    VoxelMatrix<char> c;
    c.load(file.path());
    EXPECT_EQ(c, s.toType<unsigned char>().toType<char>());
}

TEST(VoxelMatrixFile, HostileSizesAreRefusedBeforeAnyAllocation)
{
    const TempFile file("hostile");
    const std::int32_t big = 2147483647;
    struct Case {
        std::vector<unsigned char> bytes;
        const char* what;
    };
    std::vector<Case> cases;
    cases.push_back({format1Header(5, -2, 3, 4), "Voxel matrix sizes cannot be negative"});
    cases.push_back({format1Header(5, 2, 3, -1), "Voxel matrix sizes cannot be negative"});
    cases.push_back({format1Header(5, big, big, big), "Voxel matrix sizes exceed the file length"});
    cases.push_back({format1Header(5, 65536, 65536, 2), "Voxel matrix sizes exceed the file length"});
    cases.push_back({format1Header(5, 1, 1, 1), "Voxel matrix sizes exceed the file length"});
    // No voxels, but billions of rows or planes to make.
    cases.push_back({format1Header(5, big, 0, big), "Voxel matrix without voxels declares too many rows or planes"});
    cases.push_back({format1Header(5, 0, 5, big), "Voxel matrix without voxels declares too many rows or planes"});
    cases.push_back({format1Header(5, big, 0, 1), "Voxel matrix without voxels declares too many rows or planes"});
    std::vector<unsigned char> legacy;
    for (std::int32_t s : {big, -big, 3})
        appendValue(legacy, s);
    cases.push_back({legacy, "Voxel matrix sizes cannot be negative"});
    legacy.clear();
    for (std::int32_t s : {big, big, 3})
        appendValue(legacy, s);
    legacy.resize(legacy.size() + 64, 0);
    cases.push_back({legacy, "Voxel matrix sizes exceed the file length"});

    VoxelMatrix<float> target(2, 2, 2);
    target.fill(3.0f);
    const VoxelMatrix<float> before(target);
    for (const Case& c : cases) {
        writeAll(file.path(), c.bytes);
        for (int pass = 0; pass < 2; ++pass) {
            try {
                if (pass == 0)
                    target.load(file.path());
                else
                    target.loadHeader(file.path());
                ADD_FAILURE() << c.what;
            } catch (const FileFormatError& e) {
                EXPECT_EQ(e.getWhat().rfind(c.what, 0), 0u) << e.getWhat();
                EXPECT_EQ(e.getFile(), file.path());
            }
            EXPECT_EQ(target, before) << c.what;
        }
    }
    // An empty volume with a modest number of planes is fine.
    writeAll(file.path(), format1Header(5, 0, 5, 3));
    target.load(file.path());
    EXPECT_EQ(target.getSize(), (Vector<int>{0, 5, 3}));
}

TEST(VoxelMatrixFile, OpenAndOverwriteErrorsNameTheFile)
{
    const TempFile file("errors");
    const std::string missing = file.path() + ".missing";
    VoxelMatrix<int> m(1, 2, 3);
    m.setZeros();
    EXPECT_PLEXAN_THROW(m.load(missing), FileReadError, "void VoxelMatrix<T>::load(const string&)",
                        "Cannot open file for reading");
    EXPECT_PLEXAN_THROW(m.loadHeader(missing), FileReadError, "void VoxelMatrix<T>::loadHeader(const string&)",
                        "Cannot open file for reading");
    try {
        m.load(missing);
    } catch (const FileReadError& e) {
        EXPECT_EQ(e.getFile(), missing);
    }

    m.save(file.path(), false);
    VoxelMatrix<int> other(2, 2, 2);
    other.setOnes();
    EXPECT_PLEXAN_THROW(other.save(file.path(), false), FileWriteError, "void VoxelMatrix<T>::save(...) const",
                        "File already exists");
    EXPECT_EQ(VoxelMatrix<int>(file.path()), m); // the old file is intact
    other.save(file.path(), true);
    EXPECT_EQ(VoxelMatrix<int>(file.path()), other);
    EXPECT_FALSE(std::filesystem::exists(file.path() + ".partial"));

    const std::string nowhere = file.path() + ".no_such_directory/volume.vm";
    EXPECT_PLEXAN_THROW(other.save(nowhere, true), FileWriteError, "void VoxelMatrix<T>::save(...) const",
                        "Cannot open file for writing");
}

TEST(VoxelMatrixFile, TheFileConstructorRethrowsAPlainException)
{
    const TempFile file("constructor");
    writeAll(file.path(), format1Header(6, 1, 1, 1)); // a double header, no voxels
    try {
        VoxelMatrix<float> m(file.path());
        ADD_FAILURE() << "loaded";
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), typeid(Exception));
        EXPECT_EQ(e.getWhere(), "void VoxelMatrix<T>::load(ifstream&)");
        EXPECT_EQ(e.getWhat(), "Type mismatch between template instantiation and file contents");
        EXPECT_NE(e.getCalls().find("VoxelMatrix<T>::VoxelMatrix(const string&)"), std::string::npos);
    }
}

TEST(VoxelMatrixFile, HeaderOnlyMatricesRefuseToBeSaved)
{
    const TempFile file("headeronly");
    VoxelMatrix<float> m(2, 2, 2);
    m.setZeros();
    m.save(file.path(), true);
    VoxelMatrix<float> header;
    header.loadHeader(file.path());
    EXPECT_PLEXAN_THROW(header.save(file.path(), true), UsageError,
                        "void VoxelMatrix<T>::saveUnderFormat1(ofstream&) const",
                        "This matrix holds no voxels (only its header was read)");
    EXPECT_EQ(VoxelMatrix<float>(file.path()), m);
    // Operations on a header-only matrix see no voxels.
    EXPECT_EQ(header.cat().getSize(), 0);
    EXPECT_PLEXAN_THROW(header.sum(), SizeError, "PixelMatrix<T> VoxelMatrix<T>::sum() const",
                        "This matrix is empty");
    EXPECT_EQ(VoxelMatrix<float>(header).getSize(), (Vector<int>{2, 2, 2}));
}
