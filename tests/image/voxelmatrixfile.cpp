// The voxel-matrix file format: byte layout, round trips, the legacy format
// and the refusal of malformed files.

#include "image/voxelmatrix.h"

#include "imagesupport.h"

#include <limits>
#include <typeinfo>

using namespace imagetest;

namespace {

template <typename V>
void appendValue(std::string& bytes, V v)
{
    char raw[sizeof(V)];
    std::memcpy(raw, &v, sizeof(V));
    // The unused bytes of x86 long doubles are written as zeros.
    if constexpr (std::is_same_v<V, long double> && sizeof(V) == 16 && std::numeric_limits<V>::digits == 64)
        std::memset(raw + 10, 0, 6);
    bytes.append(raw, sizeof(V));
}

// A format 1 header: three zeros, version 1, type, sizes, unit, voxel size.
std::string format1Header(std::int32_t typeId, std::int32_t s1, std::int32_t s2, std::int32_t s3)
{
    std::string bytes;
    for (std::int32_t v : {0, 0, 0, 1, typeId, s1, s2, s3, 0})
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

// Loads (or with header, loads the header of) file into target, expecting a
// failure of Class; returns its what text, marked when of another class.
template <typename Class, typename T>
std::string loadFailure(VoxelMatrix<T>& target, const std::string& file, bool header)
{
    try {
        header ? target.loadHeader(file) : target.load(file);
    } catch (const Exception& e) {
        const auto* fileError = dynamic_cast<const FileError*>(&e);
        EXPECT_EQ(fileError ? fileError->getFile() : file, file);
        return (dynamic_cast<const Class*>(&e) ? "" : "another class: ") + e.getWhat();
    }
    return "accepted";
}

template <typename T>
class VoxelMatrixFileTyped : public ::testing::Test {};
using VoxelTypes =
    ::testing::Types<char, unsigned char, short, unsigned short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(VoxelMatrixFileTyped, VoxelTypes);

TYPED_TEST(VoxelMatrixFileTyped, SavedMatricesLoadBackIdentically)
{
    using T = TypeParam;
    std::mt19937 rng(21);
    const ScratchDirectory dir;
    const std::string file = dir.file("m.vm");
    for (const auto& s : {std::array{3, 4, 5}, std::array{1, 1, 1}, std::array{7, 1, 2}, std::array{0, 3, 2}}) {
        VoxelMatrix<T> m = randomVoxelMatrix<T>(s[0], s[1], s[2], rng, 0, 120);
        m.setVoxelCalibration(someCalibration());
        m.save(file, true);
        EXPECT_EQ(readBytes(file).size(), 48u + sizeof(T) * static_cast<std::size_t>(s[0] * s[1] * s[2]));
        // Into a matrix of the same sizes, and through the file constructor.
        VoxelMatrix<T> reused(s[0], s[1], s[2]), header;
        reused.load(file);
        EXPECT_EQ(reused, m);
        EXPECT_EQ(VoxelMatrix<T>(file), m);
        EXPECT_EQ(reused.getVoxelCalibration(), someCalibration());
        header.loadHeader(file);
        EXPECT_EQ(header.getSize(), m.getSize());
        EXPECT_EQ(header.getVoxelCalibration(), someCalibration());
    }
}

TYPED_TEST(VoxelMatrixFileTyped, LegacyFilesLoadWithADefaultCalibration)
{
    using T = TypeParam;
    std::mt19937 rng(22);
    const ScratchDirectory dir;
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(2, 3, 2, rng);
    // Sizes, then the voxels plane by plane, row by row.
    std::string bytes;
    for (std::int32_t s : {2, 3, 2})
        appendValue(bytes, s);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                appendValue(bytes, m(i, j, k));
    writeBytes(dir.file("0.vm"), bytes);
    VoxelMatrix<T> loaded(1, 1, 1);
    loaded.setVoxelCalibration(someCalibration());
    loaded.load(dir.file("0.vm"));
    EXPECT_EQ(loaded, m);
    EXPECT_EQ(loaded.getVoxelCalibration(), VoxelCalibration());
    // saveUnderFormat0 writes the same bytes.
    {
        std::ofstream out(dir.file("again.vm"), std::ios::binary);
        m.saveUnderFormat0(out);
    }
    EXPECT_EQ(readBytes(dir.file("again.vm")), bytes);
}

TYPED_TEST(VoxelMatrixFileTyped, TruncatedFilesAreRefusedAndLeaveTheMatrixAlone)
{
    using T = TypeParam;
    std::mt19937 rng(23);
    const ScratchDirectory dir;
    const std::string file = dir.file("cut.vm");
    randomVoxelMatrix<T>(2, 3, 4, rng).save(file, true);
    const std::string whole = readBytes(file);
    VoxelMatrix<T> target = randomVoxelMatrix<T>(3, 3, 3, rng);
    target.setVoxelCalibration(someCalibration());
    const VoxelMatrix<T> before(target);
    // Every cut inside the header, and cuts around voxel boundaries after it.
    std::vector<std::size_t> lengths{49, 48 + sizeof(T), 49 + sizeof(T), whole.size() - 1};
    for (std::size_t length = 0; length <= 48; ++length)
        lengths.push_back(length);
    for (std::size_t length : lengths) {
        writeBytes(file, whole.substr(0, length));
        for (bool header : {false, true}) {
            const std::string what = loadFailure<FileFormatError>(target, file, header);
            // A small-type file cut to the length of the other small size is
            // a type mismatch instead.
            const bool mismatch = VoxelMatrix<T>::dataTypeId() == 0 &&
                                  what == "another class: Type mismatch between template instantiation and file contents";
            EXPECT_TRUE(mismatch || what.rfind(length < 48 ? "Voxel matrix file header is incomplete"
                                                           : "Voxel matrix sizes exceed the file length",
                                               0) == 0)
                << length << ": " << what;
            EXPECT_EQ(target, before) << length;
            EXPECT_EQ(target.getVoxelCalibration(), someCalibration()) << length;
        }
    }
}

} // namespace

TEST(VoxelMatrixFile, ByteLayoutAndTypeIdentifiers)
{
    // Other programs read these files: the identifiers are fixed. Signed 8-
    // and 16-bit voxels have identifiers of their own (1 and 4) so that their
    // sign survives a file; the unsigned ones keep the shared 0.
    EXPECT_EQ((std::vector<int>{VoxelMatrix<int>::dataTypeId(), VoxelMatrix<unsigned int>::dataTypeId(),
                                VoxelMatrix<float>::dataTypeId(), VoxelMatrix<double>::dataTypeId(),
                                VoxelMatrix<long double>::dataTypeId(), VoxelMatrix<char>::dataTypeId(),
                                VoxelMatrix<unsigned char>::dataTypeId(), VoxelMatrix<short>::dataTypeId(),
                                VoxelMatrix<unsigned short>::dataTypeId()}),
              (std::vector<int>{2, 3, 5, 6, 7, 1, 0, 4, 0}));
    const ScratchDirectory dir;
    VoxelMatrix<float> m(2, 3, 4);
    std::string expected;
    for (std::int32_t v : {0, 0, 0, 1, 5, 2, 3, 4, -6})
        appendValue(expected, v);
    for (float v : {0.5f, 0.25f, 2.0f})
        appendValue(expected, v);
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                appendValue(expected, m(i, j, k) = 100.0f * float(k) + 10.0f * float(i) + float(j) + 0.5f);
    m.setVoxelCalibration(someCalibration());
    m.save(dir.file("f.vm"), false);
    EXPECT_EQ(readBytes(dir.file("f.vm")), expected);

    // Equal long double matrices give equal files, whatever the unused bytes held.
    VoxelMatrix<long double> l(1, 2, 1);
    std::memset(&l(0, 0, 0), 0xAB, 2 * sizeof(long double));
    l(0, 0, 0) = 1.5L;
    l(0, 1, 0) = -2.25L;
    l.save(dir.file("l.vm"), true);
    expected = format1Header(7, 1, 2, 1);
    appendValue(expected, 1.5L);
    appendValue(expected, -2.25L);
    EXPECT_EQ(readBytes(dir.file("l.vm")), expected);
}

TEST(VoxelMatrixFile, TypeMismatchesLeaveTheMatrixUnchanged)
{
    const ScratchDirectory dir;
    const std::string file = dir.file("t.vm");
    const std::string mismatch = "Type mismatch between template instantiation and file contents";
    std::mt19937 rng(24);
    randomVoxelMatrix<float>(2, 3, 4, rng).save(file, true);
    VoxelMatrix<double> target = randomVoxelMatrix<double>(3, 3, 3, rng);
    target.setVoxelCalibration(someCalibration());
    const VoxelMatrix<double> before(target);
    EXPECT_PLEXAN_THROW(target.load(file), TypeError, "void VoxelMatrix<T>::load(ifstream&)", mismatch);
    EXPECT_EQ(loadFailure<TypeError>(target, file, true), mismatch);
    EXPECT_EQ(target, before);
    EXPECT_EQ(target.getVoxelCalibration(), someCalibration());
    // The file constructor passes the failure on as a plain Exception.
    try {
        VoxelMatrix<double> m(file);
        ADD_FAILURE() << "loaded";
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), typeid(Exception));
        EXPECT_EQ(e.getWhat(), mismatch);
        EXPECT_NE(e.getCalls().find("VoxelMatrix<T>::VoxelMatrix(const string&)"), std::string::npos);
    }

    // Files of the shared identifier 0 (unsigned 8 and 16 bits, and every
    // small type in older files) load into a small type whose element size
    // agrees and are a mismatch otherwise; signed files load only as
    // themselves.
    const VoxelMatrix<unsigned short> us = randomVoxelMatrix<unsigned short>(3, 2, 2, rng);
    us.save(file, true);
    VoxelMatrix<short> s;
    s.load(file);
    EXPECT_EQ(s, us.toType<short>());
    s.save(file, true);
    VoxelMatrix<unsigned short> back;
    EXPECT_EQ(loadFailure<TypeError>(back, file, false), mismatch);
    us.toType<unsigned char>().save(file, true);
    EXPECT_EQ(loadFailure<TypeError>(back, file, false), mismatch);
    VoxelMatrix<char> c;
    c.load(file);
    EXPECT_EQ(c, us.toType<unsigned char>().toType<char>());
}

TEST(VoxelMatrixFile, HostileSizesAreRefusedBeforeAnyAllocation)
{
    const ScratchDirectory dir;
    const std::string file = dir.file("h.vm");
    const std::int32_t big = 2147483647;
    const std::string negative = "Voxel matrix sizes cannot be negative", beyond = "Voxel matrix sizes exceed the file length",
                      planes = "Voxel matrix without voxels declares too many rows or planes";
    std::string legacyNegative, legacyBig;
    for (std::int32_t s : {big, -big, 3})
        appendValue(legacyNegative, s);
    for (std::int32_t s : {big, big, 3})
        appendValue(legacyBig, s);
    const std::pair<std::string, std::string> cases[] = {
        {format1Header(5, 2, 3, -1), negative},        {format1Header(5, big, big, big), beyond},
        {format1Header(5, 65536, 65536, 2), beyond}, {format1Header(5, 1, 1, 1), beyond},
        {format1Header(5, big, 0, big), planes},     {format1Header(5, big, 0, 1), planes},
        {legacyNegative, negative},                  {legacyBig + std::string(64, '\0'), beyond}};
    VoxelMatrix<float> target(2, 2, 2);
    target.fill(3.0f);
    const VoxelMatrix<float> before(target);
    for (const auto& [bytes, what] : cases) {
        writeBytes(file, bytes);
        for (bool header : {false, true})
            EXPECT_EQ(loadFailure<FileFormatError>(target, file, header).rfind(what, 0), 0u) << what;
        EXPECT_EQ(target, before) << what;
    }
}

TEST(VoxelMatrixFile, OpenAndSaveErrorsKeepTheFiles)
{
    const ScratchDirectory dir;
    const std::string file = dir.file("e.vm");
    VoxelMatrix<int> m(1, 2, 3), other(2, 2, 2);
    m.setZeros();
    other.setOnes();
    EXPECT_PLEXAN_THROW(m.loadHeader(dir.file("missing.vm")), FileReadError,
                        "void VoxelMatrix<T>::loadHeader(const string&)", "Cannot open file for reading");
    m.save(file, false);
    EXPECT_PLEXAN_THROW(other.save(file, false), FileWriteError, "void VoxelMatrix<T>::save(...) const",
                        "File already exists");
    EXPECT_EQ(VoxelMatrix<int>(file), m);
    other.save(file, true);
    EXPECT_EQ(VoxelMatrix<int>(file), other);
    EXPECT_FALSE(std::filesystem::exists(file + ".partial"));
    EXPECT_THROW(other.save(dir.file("no/such/dir.vm"), true), FileWriteError);

    // A matrix that holds only a header has no voxels to save or add up.
    VoxelMatrix<int> header;
    header.loadHeader(file);
    EXPECT_PLEXAN_THROW(header.save(file, true), UsageError, "void VoxelMatrix<T>::saveUnderFormat1(ofstream&) const",
                        "This matrix holds no voxels (only its header was read)");
    EXPECT_EQ(VoxelMatrix<int>(file), other);
    EXPECT_THROW(header.sum(), SizeError);
}
