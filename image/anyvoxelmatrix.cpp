#include "image/anyvoxelmatrix.h"

#include "image/filecontent.h"

#include <cmath>
#include <fstream>
#include <limits>

std::string AnyVoxelMatrix::typeName(Type type)
{
    switch (type) {
    case Type::UnsignedChar:
        return "8-bit unsigned integers";
    case Type::Char:
        return "8-bit signed integers";
    case Type::UnsignedShort:
        return "16-bit unsigned integers";
    case Type::Short:
        return "16-bit signed integers";
    case Type::UnsignedInt:
        return "32-bit unsigned integers";
    case Type::Int:
        return "32-bit signed integers";
    case Type::Float:
        return "32-bit floats";
    case Type::Double:
        return "64-bit floats";
    case Type::LongDouble:
        return "extended floats";
    }
    return "unknown";
}

namespace {

template <typename T>
int elementSize(const VoxelMatrix<T>&)
{
    return static_cast<int>(sizeof(T));
}

} // namespace

int AnyVoxelMatrix::getElementSize() const
{
    return visit([](const auto& m) { return elementSize(m); });
}

int AnyVoxelMatrix::getSize1() const
{
    return visit([](const auto& m) { return m.getSize1(); });
}

int AnyVoxelMatrix::getSize2() const
{
    return visit([](const auto& m) { return m.getSize2(); });
}

int AnyVoxelMatrix::getSize3() const
{
    return visit([](const auto& m) { return m.getSize3(); });
}

bool AnyVoxelMatrix::isEmpty() const
{
    return visit([](const auto& m) { return m.isEmpty(); });
}

const VoxelCalibration& AnyVoxelMatrix::getVoxelCalibration() const
{
    return visit([](const auto& m) -> const VoxelCalibration& { return m.getVoxelCalibration(); });
}

void AnyVoxelMatrix::setVoxelCalibration(const VoxelCalibration& calibration)
{
    visit([&](auto& m) { m.setVoxelCalibration(calibration); });
}

std::pair<double, double> AnyVoxelMatrix::range() const
{
    return visit([](const auto& m) {
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        if (!m.hasPlanes())
            return std::pair<double, double>(0.0, 0.0);
        for (int k = 0; k < m.getSize3(); ++k)
            for (int i = 0; i < m.getSize1(); ++i) {
                const auto* row = m[k][i].data();
                for (int j = 0; j < m.getSize2(); ++j) {
                    const double v = static_cast<double>(row[j]);
                    if (v < lo)
                        lo = v;
                    if (v > hi)
                        hi = v;
                }
            }
        return lo <= hi ? std::pair<double, double>(lo, hi) : std::pair<double, double>(0.0, 0.0);
    });
}

bool AnyVoxelMatrix::holdsIntegersWithin(double lo, double hi) const
{
    return visit([&](const auto& m) {
        if (!m.hasPlanes())
            return true;
        for (int k = 0; k < m.getSize3(); ++k)
            for (int i = 0; i < m.getSize1(); ++i) {
                const auto* row = m[k][i].data();
                for (int j = 0; j < m.getSize2(); ++j) {
                    const long double v = static_cast<long double>(row[j]);
                    if (!(v >= lo && v <= hi) || v != std::floor(v))
                        return false;
                }
            }
        return true;
    });
}

namespace {

template <typename T>
AnyVoxelMatrix loaded(const std::string& file)
{
    VoxelMatrix<T> m;
    m.load(file);
    return AnyVoxelMatrix(std::move(m));
}

} // namespace

void AnyVoxelMatrix::load(const std::string& file)
{
    const char* where = "void AnyVoxelMatrix::load(const string&)";
    const FileContent content(file);
    if (content.isKind(FileContent::Missing) || content.isKind(FileContent::Unreadable))
        throw FileReadError(where, "Cannot open file for reading", file);
    if (!content.isKind(FileContent::VoxelMatrix))
        throw FileFormatError(where, "Not a voxel matrix file (" + content.describe() + ")", file);
    const int size = content.getVoxelElementSize();
    if (content.getVoxelFormat() == 0) {
        if (size != 4)
            throw FileFormatError(where,
                                  "Voxel matrix of the old format with voxels of " + std::to_string(size) +
                                      " bytes, whose type it does not tell (4-byte voxels are read as floats)",
                                  file);
        *this = loaded<float>(file);
        return;
    }
    switch (content.getVoxelTypeId()) {
    case 0:
        *this = size == 2 ? loaded<unsigned short>(file) : loaded<unsigned char>(file);
        return;
    case 1:
        *this = loaded<char>(file);
        return;
    case 4:
        *this = loaded<short>(file);
        return;
    case 2:
        *this = loaded<int>(file);
        return;
    case 3:
        *this = loaded<unsigned int>(file);
        return;
    case 5:
        *this = loaded<float>(file);
        return;
    case 6:
        *this = loaded<double>(file);
        return;
    case 7:
        *this = loaded<long double>(file);
        return;
    default:
        throw FileFormatError(where, "Voxel matrix of an unknown element type", file);
    }
}

void AnyVoxelMatrix::saveUnderFormat1(std::ofstream& stream) const
{
    visit([&](const auto& m) { m.saveUnderFormat1(stream); });
}
