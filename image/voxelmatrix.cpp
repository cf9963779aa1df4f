#include "image/voxelmatrix.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <type_traits>
#include <utility>

namespace {

[[noreturn]] void throwSize(const char* where, const char* what)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

[[noreturn]] void throwFormat(const char* where, const std::string& what)
{
    FileFormatError e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

[[noreturn]] void throwTypeMismatch(const char* where)
{
    TypeError e;
    e.setWhere(where);
    e.setWhat("Type mismatch between template instantiation and file contents");
    throw e;
}

// Voxels travel between files and planes through a buffer of about this size,
// so that reads and writes are few and large whatever the row length.
constexpr std::size_t chunkBytes = std::size_t(1) << 20;

// A volume holding no voxels still costs one object per plane and per row,
// which no byte of the file backs: a file may not declare more of them than
// this, so that it costs no more than a few kilobytes of voxels would (a
// 42-byte file of 65,280 empty planes took seconds to read, write and read
// back under the sanitizers).
constexpr std::uint64_t maxEmptyRows = std::uint64_t(1) << 12;

bool readBytes(std::istream& stream, void* data, std::size_t n)
{
    stream.read(static_cast<char*>(data), static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(stream.gcount()) == n;
}

// Bytes between the read position and the end of the file; false when the
// stream cannot tell.
bool remainingBytes(std::istream& stream, std::uint64_t& remaining)
{
    const std::streampos here = stream.tellg();
    if (here == std::streampos(-1))
        return false;
    stream.seekg(0, std::ios::end);
    const std::streampos end = stream.tellg();
    stream.seekg(here);
    if (end == std::streampos(-1) || !stream || end < here)
        return false;
    remaining = static_cast<std::uint64_t>(end - here);
    return true;
}

// n1 x n2 x n3 x size when it does not exceed limit; false otherwise (no
// overflow on the way).
bool productWithin(std::uint64_t n1, std::uint64_t n2, std::uint64_t n3, std::uint64_t size,
                   std::uint64_t limit, std::uint64_t& product)
{
    if (n1 == 0 || n2 == 0 || n3 == 0) {
        product = 0;
        return true;
    }
    std::uint64_t p = size;
    for (std::uint64_t n : {n1, n2, n3}) {
        if (p > limit / n)
            return false;
        p *= n;
    }
    product = p;
    return true;
}

} // namespace

// What a file header announces: the format (0 or 1), the type identifier
// (format 1), the sizes and the calibration.
template <typename T>
struct VoxelMatrix<T>::Header {
    int format = 1;
    std::int32_t typeId = 0;
    std::int32_t size[3] = {0, 0, 0};
    std::int32_t unitScale = 0;
    float voxelSize[3] = {1.0f, 1.0f, 1.0f};
};

// Construction and sizes --------------------------------------------------------

template <typename T>
VoxelMatrix<T>::VoxelMatrix(const std::string& fileName)
{
    try {
        load(fileName);
    } catch (Exception& e) {
        e.addCall("VoxelMatrix<T>::VoxelMatrix(const string&)");
        const Exception plain(e);
        throw plain;
    }
}

template <typename T>
VoxelMatrix<T>::VoxelMatrix(const VoxelMatrix& other)
    : m_size1(other.m_size1), m_size2(other.m_size2), m_size3(other.m_size3), m_calibration(other.m_calibration)
{
    if (other.m_planes) {
        allocatePlanes();
        for (int k = 0; k < m_size3; ++k)
            m_planes[k] = other.m_planes[k];
    }
}

template <typename T>
VoxelMatrix<T>::VoxelMatrix(VoxelMatrix&& other) noexcept
{
    swap(other);
}

template <typename T>
VoxelMatrix<T>& VoxelMatrix<T>::operator=(const VoxelMatrix& other)
{
    if (this == &other)
        return *this;
    if (sameSizeAs(other) && m_planes && other.m_planes) {
        // Same sizes: the planes are overwritten where they are.
        for (int k = 0; k < m_size3; ++k)
            m_planes[k] = other.m_planes[k];
        m_calibration = other.m_calibration;
        return *this;
    }
    VoxelMatrix copy(other);
    swap(copy);
    return *this;
}

template <typename T>
VoxelMatrix<T>& VoxelMatrix<T>::operator=(VoxelMatrix&& other) noexcept
{
    if (this != &other) {
        VoxelMatrix moved(std::move(other));
        swap(moved);
    }
    return *this;
}

template <typename T>
void VoxelMatrix<T>::swap(VoxelMatrix& other) noexcept
{
    std::swap(m_size1, other.m_size1);
    std::swap(m_size2, other.m_size2);
    std::swap(m_size3, other.m_size3);
    std::swap(m_block, other.m_block);
    std::swap(m_planes, other.m_planes);
    std::swap(m_calibration, other.m_calibration);
}

template <typename T>
void VoxelMatrix<T>::allocatePlanes()
{
    std::unique_ptr<PixelMatrix<T>[]> planes;
    std::unique_ptr<T, FreeBlock> block;
    if (m_size3 > 0) {
        planes.reset(new PixelMatrix<T>[static_cast<std::size_t>(m_size3)]);
        const std::size_t plane = static_cast<std::size_t>(m_size1) * static_cast<std::size_t>(m_size2);
        const std::size_t bytes = plane * static_cast<std::size_t>(m_size3) * sizeof(T);
        if (bytes >= plexan::sharedBlockBytes) {
            block = std::unique_ptr<T, FreeBlock>(static_cast<T*>(plexan::allocateLarge(bytes)), FreeBlock{bytes});
            for (int k = 0; k < m_size3; ++k)
                planes[k].lend(block.get() + static_cast<std::size_t>(k) * plane, m_size1, m_size2);
        } else {
            for (int k = 0; k < m_size3; ++k)
                planes[k].setSize(m_size1, m_size2);
        }
    }
    // The old planes go before the block they may borrow from.
    m_planes = std::move(planes);
    m_block = std::move(block);
}

template <typename T>
void VoxelMatrix<T>::setSize(int s1, int s2, int s3)
{
    s1 = std::max(s1, 0);
    s2 = std::max(s2, 0);
    s3 = std::max(s3, 0);
    if (s1 == m_size1 && s2 == m_size2 && s3 == m_size3 && (m_planes || s3 < 1))
        return;
    m_planes.reset();
    m_block.reset();
    m_size1 = s1;
    m_size2 = s2;
    m_size3 = s3;
    try {
        allocatePlanes();
    } catch (...) {
        m_size1 = m_size2 = m_size3 = 0;
        throw;
    }
}

template <typename T>
void VoxelMatrix<T>::setSize(const Vector<int>& size)
{
    if (size.getSize() != 3)
        throwSize("void VoxelMatrix<T>::setSize(const Vector<int>&)",
                  "Size vector does not contain three values as expected");
    setSize(size[0], size[1], size[2]);
}

template <typename T>
int VoxelMatrix<T>::getSize(int n) const
{
    switch (n) {
    case 1:
        return m_size1;
    case 2:
        return m_size2;
    case 3:
        return m_size3;
    default: {
        ValueError e;
        e.setWhere("unsigned int VoxelMatrix<T>::getSize(...) const");
        e.setWhat("Invalid argument value (neither 1, 2 or 3)");
        throw e;
    }
    }
}

template <typename T>
bool VoxelMatrix<T>::operator==(const VoxelMatrix& other) const
{
    if (this == &other)
        return true;
    if (!sameSizeAs(other) || planeCount() != other.planeCount())
        return false;
    for (int k = 0; k < planeCount(); ++k)
        if (m_planes[k] != other.m_planes[k])
            return false;
    return true;
}

// Filling and structure -----------------------------------------------------------

template <typename T>
void VoxelMatrix<T>::fill(const T& value)
{
    for (int k = 0; k < planeCount(); ++k)
        m_planes[k].fill(value);
}

template <typename T>
void VoxelMatrix<T>::apply(T (*f)(T))
{
    for (int k = 0; k < planeCount(); ++k)
        for (int i = 0; i < m_size1; ++i) {
            T* row = m_planes[k][i].data();
            for (int j = 0; j < m_size2; ++j)
                row[j] = f(row[j]);
        }
}

template <typename T>
void VoxelMatrix<T>::reverse()
{
    // Row by row: rows of the block exchange their elements (moving a lent
    // plane would copy it three times), others their storage.
    for (int k = 0, l = planeCount() - 1; k < l; ++k, --l) {
        PixelMatrix<T>& a = m_planes[k];
        PixelMatrix<T>& b = m_planes[l];
        if (a.getSize1() == b.getSize1() && a.getSize2() == b.getSize2()) {
            for (int i = 0; i < a.getSize1(); ++i)
                a[i].swap(b[i]);
        } else {
            std::swap(a, b);
        }
    }
}

template <typename T>
void VoxelMatrix<T>::paste(int i, int j, int k, const VoxelMatrix& block)
{
    if (i < 0 || j < 0)
        throwSize("void Matrix<T>::paste(...)", "Cannot paste block at specified position");
    for (int kk = 0; kk < block.planeCount(); ++kk)
        m_planes[k + kk].paste(i, j, block.m_planes[kk]);
}

template <typename T>
VoxelMatrix<T> VoxelMatrix<T>::copy(int i1, int i2, int j1, int j2, int k1, int k2) const
{
    VoxelMatrix out(i2 - i1 + 1, j2 - j1 + 1, k2 - k1 + 1);
    out.m_calibration = m_calibration;
    for (int k = 0; k < out.m_size3; ++k)
        for (int i = 0; i < out.m_size1; ++i) {
            const T* in = m_planes[k1 + k][i1 + i].data() + j1;
            std::copy(in, in + out.m_size2, out.m_planes[k][i].data());
        }
    return out;
}

template <typename T>
Vector<T> VoxelMatrix<T>::cat() const
{
    const std::size_t line = static_cast<std::size_t>(m_size2);
    Vector<T> out(static_cast<unsigned int>(planeCount() > 0 ? std::size_t(m_size1) * line * std::size_t(m_size3) : 0));
    T* o = out.data();
    for (int k = 0; k < planeCount(); ++k)
        for (int i = 0; i < m_size1; ++i, o += line)
            std::copy(m_planes[k][i].begin(), m_planes[k][i].end(), o);
    return out;
}

// Arithmetic ------------------------------------------------------------------------

#define PLEXAN_ELEMENTWISE_OPERATOR(op, signature)                                          \
    template <typename T>                                                                   \
    void VoxelMatrix<T>::operator op##=(const VoxelMatrix& m)                               \
    {                                                                                       \
        if (!sameSizeAs(m) || planeCount() != m.planeCount())                               \
            throwSize(signature, "This matrix and matrix argument differ in size");         \
        for (int k = 0; k < planeCount(); ++k)                                              \
            for (int i = 0; i < m_size1; ++i) {                                             \
                T* a = m_planes[k][i].data();                                               \
                const T* b = m.m_planes[k][i].data();                                       \
                for (int j = 0; j < m_size2; ++j)                                           \
                    a[j] = static_cast<T>(a[j] op b[j]);                                    \
            }                                                                               \
    }
PLEXAN_ELEMENTWISE_OPERATOR(+, "void VoxelMatrix<T>::operator+=(const VoxelMatrix&)")
PLEXAN_ELEMENTWISE_OPERATOR(-, "void VoxelMatrix<T>::operator-=(const VoxelMatrix&)")
PLEXAN_ELEMENTWISE_OPERATOR(*, "void VoxelMatrix<T>::operator*=(const VoxelMatrix&)")
#undef PLEXAN_ELEMENTWISE_OPERATOR

#define PLEXAN_SCALAR_OPERATOR(op)                                                          \
    template <typename T>                                                                   \
    void VoxelMatrix<T>::operator op##=(const T& x)                                         \
    {                                                                                       \
        const T value = x;                                                                  \
        for (int k = 0; k < planeCount(); ++k)                                              \
            for (int i = 0; i < m_size1; ++i) {                                             \
                T* a = m_planes[k][i].data();                                               \
                for (int j = 0; j < m_size2; ++j)                                           \
                    a[j] = static_cast<T>(a[j] op value);                                   \
            }                                                                               \
    }
PLEXAN_SCALAR_OPERATOR(+)
PLEXAN_SCALAR_OPERATOR(-)
PLEXAN_SCALAR_OPERATOR(*)
#undef PLEXAN_SCALAR_OPERATOR

template <typename T>
void VoxelMatrix<T>::operator/=(const T& x)
{
    if constexpr (std::is_integral_v<T>) {
        if (x == T(0)) {
            MathError e;
            e.setWhere("void VoxelMatrix<T>::operator/=(const T&)");
            e.setWhat("Division by zero");
            throw e;
        }
    }
    const T value = x;
    for (int k = 0; k < planeCount(); ++k)
        for (int i = 0; i < m_size1; ++i) {
            T* a = m_planes[k][i].data();
            for (int j = 0; j < m_size2; ++j)
                a[j] = static_cast<T>(a[j] / value);
        }
}

// Projections and statistics ---------------------------------------------------------

template <typename T>
PixelMatrix<T> VoxelMatrix<T>::sum() const
{
    if (isEmpty() || !m_planes)
        throwSize("PixelMatrix<T> VoxelMatrix<T>::sum() const", "This matrix is empty");
    PixelMatrix<T> out(m_planes[0]);
    for (int k = 1; k < m_size3; ++k)
        for (int i = 0; i < m_size1; ++i) {
            T* o = out[i].data();
            const T* in = m_planes[k][i].data();
            for (int j = 0; j < m_size2; ++j)
                o[j] = static_cast<T>(o[j] + in[j]);
        }
    return out;
}

template <typename T>
PixelMatrix<T> VoxelMatrix<T>::min() const
{
    if (isEmpty() || !m_planes)
        throwSize("PixelMatrix<T> VoxelMatrix<T>::min() const", "This matrix is empty");
    PixelMatrix<T> out(m_planes[0]);
    for (int k = 1; k < m_size3; ++k)
        for (int i = 0; i < m_size1; ++i) {
            T* o = out[i].data();
            const T* in = m_planes[k][i].data();
            for (int j = 0; j < m_size2; ++j)
                o[j] = in[j] < o[j] ? in[j] : o[j];
        }
    return out;
}

template <typename T>
PixelMatrix<T> VoxelMatrix<T>::max() const
{
    if (isEmpty() || !m_planes)
        throwSize("PixelMatrix<T> VoxelMatrix<T>::max() const", "This matrix is empty");
    PixelMatrix<T> out(m_planes[0]);
    for (int k = 1; k < m_size3; ++k)
        for (int i = 0; i < m_size1; ++i) {
            T* o = out[i].data();
            const T* in = m_planes[k][i].data();
            for (int j = 0; j < m_size2; ++j)
                o[j] = in[j] > o[j] ? in[j] : o[j];
        }
    return out;
}

template <typename T>
Vector<T> VoxelMatrix<T>::range() const
{
    if (isEmpty() || !m_planes)
        throwSize("Vector<T> VoxelMatrix<T>::range() const", "This matrix is empty.");
    Vector<T> r = m_planes[0].range();
    for (int k = 1; k < m_size3; ++k) {
        const Vector<T> rk = m_planes[k].range();
        if (rk[0] < r[0])
            r[0] = rk[0];
        if (rk[1] > r[1])
            r[1] = rk[1];
    }
    return r;
}

template <typename T>
Vector<unsigned int> VoxelMatrix<T>::histogram(T origin, T binWidth, unsigned int nBins) const
{
    Vector<unsigned int> counts(nBins);
    counts.setZeros();
    for (int k = 0; k < planeCount(); ++k)
        counts += m_planes[k].histogram(origin, binWidth, nBins);
    return counts;
}

template <typename T>
Vector<unsigned int> VoxelMatrix<T>::histogram(T origin, T binWidth, unsigned int nBins,
                                               const VoxelMatrix& mask) const
{
    if (!sameSizeAs(mask) || planeCount() != mask.planeCount())
        throwSize("Vectorui VoxelMatrix<T>::histogram(...)", "Incompatible mask size");
    Vector<unsigned int> counts(nBins);
    counts.setZeros();
    for (int k = 0; k < planeCount(); ++k)
        counts += m_planes[k].histogram(origin, binWidth, nBins, mask.m_planes[k]);
    return counts;
}

template <typename T>
void VoxelMatrix<T>::print(const std::string& title, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << '\n';
    for (int k = 0; k < planeCount(); ++k) {
        stream << "-- Plane " << k << '\n';
        m_planes[k].print("", stream);
    }
}

// Files -----------------------------------------------------------------------------

template <typename T>
int VoxelMatrix<T>::dataTypeId()
{
    if constexpr (std::is_same_v<T, int>)
        return 2;
    else if constexpr (std::is_same_v<T, unsigned int>)
        return 3;
    else if constexpr (std::is_same_v<T, float>)
        return 5;
    else if constexpr (std::is_same_v<T, double>)
        return 6;
    else if constexpr (std::is_same_v<T, long double>)
        return 7;
    else if constexpr (std::is_same_v<T, short>)
        return 4;
    else if constexpr (std::is_same_v<T, char> && std::is_signed_v<char>)
        return 1;
    else
        return 0;
}

namespace {

// A file of identifier 0 (the unsigned 8- and 16-bit types, and every small
// integer type in older files) loads into any small integer type whose size
// its length fits.
template <typename T>
bool acceptsTypeId(std::int32_t typeId)
{
    return typeId == VoxelMatrix<T>::dataTypeId() || (typeId == 0 && sizeof(T) <= 2 && std::is_integral_v<T>);
}

} // namespace

namespace {

// Checks announced sizes against the bytes left in the file before anything
// is allocated. typeId0 marks a format 1 file of the identifier shared by the
// four small integer types, whose element size the file does not tell: a
// length that fits the other size exactly is reported as a type mismatch.
void checkSizes(const std::int32_t size[3], std::size_t elementSize, bool typeId0, std::istream& stream,
                const char* where)
{
    if (size[0] < 0 || size[1] < 0 || size[2] < 0)
        throwFormat(where, "Voxel matrix sizes cannot be negative (" + std::to_string(size[0]) + " x " +
                               std::to_string(size[1]) + " x " + std::to_string(size[2]) + ")");
    std::uint64_t remaining = 0;
    if (!remainingBytes(stream, remaining)) {
        FileReadError e;
        e.setWhere(where);
        e.setWhat("Cannot determine the file length");
        throw e;
    }
    const auto n1 = static_cast<std::uint64_t>(size[0]);
    const auto n2 = static_cast<std::uint64_t>(size[1]);
    const auto n3 = static_cast<std::uint64_t>(size[2]);
    std::uint64_t needed = 0;
    const bool fits = productWithin(n1, n2, n3, elementSize, remaining, needed);
    if (typeId0 && needed != remaining) {
        const std::size_t otherSize = elementSize == 1 ? 2 : 1;
        std::uint64_t other = 0;
        if (productWithin(n1, n2, n3, otherSize, remaining, other) && other == remaining && other != 0)
            throwTypeMismatch(where);
    }
    if (!fits)
        throwFormat(where, "Voxel matrix sizes exceed the file length (" + std::to_string(size[0]) + " x " +
                               std::to_string(size[1]) + " x " + std::to_string(size[2]) + " voxels of " +
                               std::to_string(elementSize) + " bytes, " + std::to_string(remaining) +
                               " bytes left)");
    if (needed == 0 && (n3 > maxEmptyRows || n1 * n3 > maxEmptyRows))
        throwFormat(where, "Voxel matrix without voxels declares too many rows or planes");
}

} // namespace

template <typename T>
typename VoxelMatrix<T>::Header VoxelMatrix<T>::readFormat1Header(std::ifstream& stream, const char* where) const
{
    unsigned char bytes[36];
    if (!readBytes(stream, bytes, sizeof bytes))
        throwFormat(where, "Voxel matrix file header is incomplete");
    std::int32_t fields[6];
    std::memcpy(fields, bytes, sizeof fields);
    Header header;
    header.format = 1;
    header.typeId = fields[1];
    std::copy(fields + 2, fields + 5, header.size);
    header.unitScale = fields[5];
    std::memcpy(header.voxelSize, bytes + 24, sizeof header.voxelSize);
    if (!acceptsTypeId<T>(header.typeId))
        throwTypeMismatch(where);
    checkSizes(header.size, sizeof(T), header.typeId == 0, stream, where);
    return header;
}

template <typename T>
void VoxelMatrix<T>::readVoxels(std::ifstream& stream, const Header& header, const char* where)
{
    setSize(header.size[0], header.size[1], header.size[2]);
    const std::size_t rowBytes = static_cast<std::size_t>(m_size2) * sizeof(T);
    bool complete = true;
    if (rowBytes > 0 && m_size1 > 0) {
        if (rowBytes >= chunkBytes) {
            for (int k = 0; k < m_size3 && complete; ++k)
                for (int i = 0; i < m_size1 && complete; ++i)
                    complete = readBytes(stream, m_planes[k][i].data(), rowBytes);
        } else {
            // Several rows per read, then copied to their planes; a small
            // matrix needs no more buffer than its own size.
            const std::size_t total = static_cast<std::size_t>(m_size1) * static_cast<std::size_t>(m_size3);
            const std::size_t rowsPerChunk = std::min(chunkBytes / rowBytes, total);
            std::unique_ptr<char[]> buffer(new char[rowsPerChunk * rowBytes]);
            for (std::size_t row = 0; row < total && complete;) {
                const std::size_t n = std::min(rowsPerChunk, total - row);
                complete = readBytes(stream, buffer.get(), n * rowBytes);
                for (std::size_t r = 0; r < n && complete; ++r, ++row) {
                    const int k = static_cast<int>(row / static_cast<std::size_t>(m_size1));
                    const int i = static_cast<int>(row % static_cast<std::size_t>(m_size1));
                    std::memcpy(m_planes[k][i].data(), buffer.get() + r * rowBytes, rowBytes);
                }
            }
        }
    }
    if (!complete) {
        setSize(0, 0, 0);
        m_calibration = VoxelCalibration();
        FileReadError e;
        e.setWhere(where);
        e.setWhat("Voxel matrix data could not be read completely");
        throw e;
    }
    VoxelCalibration calibration;
    if (header.format == 1) {
        calibration.setLengthUnit(LengthUnit(header.unitScale));
        calibration.setVoxelSize(Vector<float>{header.voxelSize[0], header.voxelSize[1], header.voxelSize[2]});
    }
    m_calibration = calibration;
}

template <typename T>
void VoxelMatrix<T>::load(std::ifstream& stream)
{
    const char* where = "void VoxelMatrix<T>::load(ifstream&)";
    const Header header = readFormat1Header(stream, where);
    readVoxels(stream, header, where);
}

template <typename T>
void VoxelMatrix<T>::load(const std::string& fileName)
{
    const char* where = "void VoxelMatrix<T>::load(const string&)";
    std::ifstream stream(fileName, std::ios::in | std::ios::binary);
    if (!stream) {
        FileReadError e(where, "Cannot open file for reading", fileName);
        throw e;
    }
    try {
        std::int32_t lead[3];
        if (!readBytes(stream, lead, sizeof lead))
            throwFormat(where, "Voxel matrix file header is incomplete");
        if (lead[0] == 0 && lead[1] == 0 && lead[2] == 0) {
            try {
                load(stream);
            } catch (Exception& e) {
                e.addCall(where);
                throw;
            }
            return;
        }
        Header header;
        header.format = 0;
        std::copy(lead, lead + 3, header.size);
        checkSizes(header.size, sizeof(T), false, stream, where);
        readVoxels(stream, header, where);
    } catch (FileError& e) {
        if (e.getFile().empty())
            e.setFile(fileName);
        throw;
    }
}

template <typename T>
void VoxelMatrix<T>::loadHeader(const std::string& fileName)
{
    const char* where = "void VoxelMatrix<T>::loadHeader(const string&)";
    std::ifstream stream(fileName, std::ios::in | std::ios::binary);
    if (!stream) {
        FileReadError e(where, "Cannot open file for reading", fileName);
        throw e;
    }
    try {
        std::int32_t lead[3];
        if (!readBytes(stream, lead, sizeof lead))
            throwFormat(where, "Voxel matrix file header is incomplete");
        Header header;
        if (lead[0] == 0 && lead[1] == 0 && lead[2] == 0) {
            header = readFormat1Header(stream, where);
        } else {
            header.format = 0;
            std::copy(lead, lead + 3, header.size);
            checkSizes(header.size, sizeof(T), false, stream, where);
        }
        VoxelCalibration calibration;
        if (header.format == 1) {
            calibration.setLengthUnit(LengthUnit(header.unitScale));
            calibration.setVoxelSize(Vector<float>{header.voxelSize[0], header.voxelSize[1], header.voxelSize[2]});
        }
        m_planes.reset();
        m_block.reset();
        m_size1 = header.size[0];
        m_size2 = header.size[1];
        m_size3 = header.size[2];
        m_calibration = calibration;
    } catch (FileError& e) {
        if (e.getFile().empty())
            e.setFile(fileName);
        throw;
    }
}

template <typename T>
void VoxelMatrix<T>::writeVoxels(std::ofstream& stream, const char* where) const
{
    if (!m_planes && m_size3 > 0) {
        UsageError e;
        e.setWhere(where);
        e.setWhat("This matrix holds no voxels (only its header was read)");
        throw e;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(m_size2) * sizeof(T);
    if (rowBytes == 0 || m_size1 == 0 || m_size3 == 0)
        return;
    // x86 long doubles use 10 of their 16 bytes: the padding is written as
    // zeros so that equal matrices give equal files.
    constexpr bool padded = std::is_same_v<T, long double> && sizeof(long double) == 16 &&
                            std::numeric_limits<long double>::digits == 64;
    const std::size_t total = static_cast<std::size_t>(m_size1) * static_cast<std::size_t>(m_size3);
    const std::size_t rowsPerChunk = std::min(std::max<std::size_t>(1, chunkBytes / rowBytes), total);
    std::unique_ptr<char[]> buffer(new char[rowsPerChunk * rowBytes]);
    for (std::size_t row = 0; row < total && stream;) {
        const std::size_t n = std::min(rowsPerChunk, total - row);
        for (std::size_t r = 0; r < n; ++r, ++row) {
            const int k = static_cast<int>(row / static_cast<std::size_t>(m_size1));
            const int i = static_cast<int>(row % static_cast<std::size_t>(m_size1));
            char* dst = buffer.get() + r * rowBytes;
            std::memcpy(dst, m_planes[k][i].data(), rowBytes);
            if constexpr (padded)
                for (int j = 0; j < m_size2; ++j)
                    std::memset(dst + 16 * static_cast<std::size_t>(j) + 10, 0, 6);
        }
        stream.write(buffer.get(), static_cast<std::streamsize>(n * rowBytes));
    }
}

namespace {

[[noreturn]] void throwWrite(const char* where, const char* what, const std::string& file = {})
{
    FileWriteError e(where, what, file);
    throw e;
}

} // namespace

template <typename T>
void VoxelMatrix<T>::saveUnderFormat1(std::ofstream& stream) const
{
    const char* where = "void VoxelMatrix<T>::saveUnderFormat1(ofstream&) const";
    const std::int32_t fields[9] = {0, 0, 0, 1, dataTypeId(), m_size1, m_size2, m_size3,
                                    m_calibration.getLengthUnit().getScale()};
    const Vector<float>& voxel = m_calibration.getVoxelSize();
    const float sizes[3] = {voxel[0], voxel[1], voxel[2]};
    unsigned char header[48];
    std::memcpy(header, fields, sizeof fields);
    std::memcpy(header + sizeof fields, sizes, sizeof sizes);
    stream.write(reinterpret_cast<const char*>(header), sizeof header);
    writeVoxels(stream, where);
    if (!stream)
        throwWrite(where, "Cannot write voxel matrix data");
}

template <typename T>
void VoxelMatrix<T>::saveUnderFormat0(std::ofstream& stream) const
{
    const char* where = "void VoxelMatrix<T>::saveUnderFormat0(ofstream&) const";
    if (m_size1 == 0 && m_size2 == 0 && m_size3 == 0) {
        // Three zeros would announce format 1.
        UsageError e;
        e.setWhere(where);
        e.setWhat("An empty matrix cannot be saved under format 0");
        throw e;
    }
    const std::int32_t sizes[3] = {m_size1, m_size2, m_size3};
    stream.write(reinterpret_cast<const char*>(sizes), sizeof sizes);
    writeVoxels(stream, where);
    if (!stream)
        throwWrite(where, "Cannot write voxel matrix data");
}

template <typename T>
void VoxelMatrix<T>::save(const std::string& fileName, bool overwrite) const
{
    const char* where = "void VoxelMatrix<T>::save(...) const";
    if (!overwrite && std::ifstream(fileName, std::ios::in | std::ios::binary))
        throwWrite(where, "File already exists", fileName);
    // The new contents go to a side file first, which then replaces the old
    // file: a failed save leaves the previous file intact. Where no side file
    // can be made (a directory we cannot add to), the file is written in place.
    const std::string partial = fileName + ".partial";
    std::string target = partial;
    std::ofstream stream(partial, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!stream) {
        target = fileName;
        stream.open(fileName, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!stream)
            throwWrite(where, "Cannot open file for writing", fileName);
    }
    try {
        saveUnderFormat1(stream);
        stream.close();
        if (!stream)
            throwWrite(where, "Cannot write voxel matrix data", fileName);
    } catch (Exception& e) {
        stream.close();
        if (target == partial)
            std::remove(partial.c_str());
        if (auto* fileError = dynamic_cast<FileError*>(&e); fileError && fileError->getFile().empty())
            fileError->setFile(fileName);
        if (e.getWhere() != where)
            e.addCall(where);
        throw;
    }
    if (target == partial && std::rename(partial.c_str(), fileName.c_str()) != 0) {
        std::remove(partial.c_str());
        throwWrite(where, "Cannot open file for writing", fileName);
    }
}

#define PLEXAN_INSTANTIATE(T) template class VoxelMatrix<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
