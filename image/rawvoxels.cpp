#include "image/rawvoxels.h"

#include "numerics/exception.h"

#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

int RawVoxels::elementSize(Element element)
{
    switch (element) {
    case Element::UInt8:
    case Element::Int8:
        return 1;
    case Element::UInt16:
    case Element::Int16:
    case Element::Float16:
        return 2;
    case Element::UInt32:
    case Element::Int32:
    case Element::Float32:
        return 4;
    case Element::UInt64:
    case Element::Int64:
    case Element::Float64:
        return 8;
    }
    return 0;
}

std::string RawVoxels::elementName(Element element)
{
    switch (element) {
    case Element::UInt8:
        return "8-bit unsigned integers";
    case Element::Int8:
        return "8-bit signed integers";
    case Element::UInt16:
        return "16-bit unsigned integers";
    case Element::Int16:
        return "16-bit signed integers";
    case Element::UInt32:
        return "32-bit unsigned integers";
    case Element::Int32:
        return "32-bit signed integers";
    case Element::UInt64:
        return "64-bit unsigned integers";
    case Element::Int64:
        return "64-bit signed integers";
    case Element::Float16:
        return "16-bit floats";
    case Element::Float32:
        return "32-bit floats";
    case Element::Float64:
        return "64-bit floats";
    }
    return "unknown";
}

bool RawVoxels::planeBytes(std::uint64_t& bytes) const
{
    for (const std::int64_t s : size)
        if (s < 1 || s > INT_MAX)
            return false;
    const auto columns = static_cast<std::uint64_t>(size[0]);
    const auto rows = static_cast<std::uint64_t>(size[1]);
    // Rows and columns below 2^31 each: no overflow in 64 bits.
    bytes = columns * rows * static_cast<std::uint64_t>(elementSize(element));
    // A plane is one matrix of ints' reach, in the stored and in the kept type.
    return columns * rows <= static_cast<std::uint64_t>(INT_MAX) && bytes <= static_cast<std::uint64_t>(INT_MAX);
}

bool RawVoxels::totalBytes(std::uint64_t& bytes) const
{
    std::uint64_t plane = 0;
    if (!planeBytes(plane))
        return false;
    const auto planes = static_cast<std::uint64_t>(size[2]);
    if (plane != 0 && planes > UINT64_MAX / plane)
        return false;
    bytes = plane * planes;
    return true;
}

namespace {

float halfToFloat(std::uint16_t h)
{
    const int sign = (h >> 15) & 1;
    const int exponent = (h >> 10) & 0x1f;
    const int mantissa = h & 0x3ff;
    float value;
    if (exponent == 0)
        value = std::ldexp(static_cast<float>(mantissa), -24);
    else if (exponent == 31)
        value = mantissa == 0 ? INFINITY : NAN;
    else
        value = std::ldexp(static_cast<float>(mantissa + 1024), exponent - 25);
    return sign ? -value : value;
}

// Element e of a plane buffer, byte order fixed, as the stored type S.
template <typename S>
S element(const unsigned char* buffer, std::size_t e, bool swap)
{
    unsigned char bytes[sizeof(S)];
    std::memcpy(bytes, buffer + e * sizeof(S), sizeof(S));
    if (swap)
        for (std::size_t a = 0, b = sizeof(S) - 1; a < b; ++a, --b)
            std::swap(bytes[a], bytes[b]);
    S value;
    std::memcpy(&value, bytes, sizeof(S));
    return value;
}

// Reads every plane into a VoxelMatrix<T>, each stored value S converted by
// convert.
template <typename T, typename S, typename Convert>
AnyVoxelMatrix readAs(const RawVoxels& raw, const std::function<bool(void*, std::size_t)>& read, const char* where,
                      ProgressSubject* progress, Convert convert)
{
    const int columns = static_cast<int>(raw.size[0]);
    const int rows = static_cast<int>(raw.size[1]);
    const int planes = static_cast<int>(raw.size[2]);
    const bool swap = raw.bigEndian != (std::endian::native == std::endian::big);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) * sizeof(S));
    VoxelMatrix<T> volume(rows, columns, planes);
    for (int k = 0; k < planes; ++k) {
        if (progress && progress->isCanceled())
            throw Exception(where, "Reading canceled");
        if (!read(buffer.data(), buffer.size()))
            throw FileFormatError(where, "Voxel data ends early (plane " + std::to_string(k + 1) + " of " +
                                             std::to_string(planes) + ")");
        for (int y = 0; y < rows; ++y) {
            T* row = volume[k][raw.flipRows ? rows - 1 - y : y].data();
            const std::size_t start = static_cast<std::size_t>(y) * static_cast<std::size_t>(columns);
            for (int x = 0; x < columns; ++x)
                row[x] = convert(element<S>(buffer.data(), start + static_cast<std::size_t>(x), swap));
        }
        if (progress)
            progress->notifyProgressed(static_cast<unsigned>(k + 1), static_cast<unsigned>(planes));
    }
    return AnyVoxelMatrix(std::move(volume));
}

template <typename T, typename S>
AnyVoxelMatrix readPlain(const RawVoxels& raw, const std::function<bool(void*, std::size_t)>& read,
                         const char* where, ProgressSubject* progress)
{
    if (raw.scaled) {
        const double slope = raw.slope, intercept = raw.intercept;
        // Small types scale into floats, wide ones into doubles.
        if constexpr (sizeof(S) <= 2 && std::is_integral_v<S>)
            return readAs<float, S>(raw, read, where, progress, [=](S v) {
                return static_cast<float>(slope * static_cast<double>(v) + intercept);
            });
        else
            return readAs<double, S>(raw, read, where, progress,
                                     [=](S v) { return slope * static_cast<double>(v) + intercept; });
    }
    return readAs<T, S>(raw, read, where, progress, [](S v) { return static_cast<T>(v); });
}

} // namespace

AnyVoxelMatrix RawVoxels::read(const std::function<bool(void*, std::size_t)>& readBytes, const char* where,
                               ProgressSubject* progress) const
{
    std::uint64_t bytes = 0;
    if (!totalBytes(bytes))
        throw FileFormatError(where, "Volume of " + std::to_string(size[0]) + " x " + std::to_string(size[1]) +
                                         " x " + std::to_string(size[2]) + " voxels is beyond what can be held");
    switch (element) {
    case Element::UInt8:
        return readPlain<unsigned char, std::uint8_t>(*this, readBytes, where, progress);
    case Element::Int8:
        return readPlain<char, std::int8_t>(*this, readBytes, where, progress);
    case Element::UInt16:
        return readPlain<unsigned short, std::uint16_t>(*this, readBytes, where, progress);
    case Element::Int16:
        return readPlain<short, std::int16_t>(*this, readBytes, where, progress);
    case Element::UInt32:
        return readPlain<unsigned int, std::uint32_t>(*this, readBytes, where, progress);
    case Element::Int32:
        return readPlain<int, std::int32_t>(*this, readBytes, where, progress);
    case Element::UInt64:
        return readPlain<double, std::uint64_t>(*this, readBytes, where, progress);
    case Element::Int64:
        return readPlain<double, std::int64_t>(*this, readBytes, where, progress);
    case Element::Float32:
        return readPlain<float, float>(*this, readBytes, where, progress);
    case Element::Float64:
        return readPlain<double, double>(*this, readBytes, where, progress);
    case Element::Float16:
        if (scaled) {
            const double slope_ = slope, intercept_ = intercept;
            return readAs<float, std::uint16_t>(*this, readBytes, where, progress, [=](std::uint16_t v) {
                return static_cast<float>(slope_ * halfToFloat(v) + intercept_);
            });
        }
        return readAs<float, std::uint16_t>(*this, readBytes, where, progress,
                                            [](std::uint16_t v) { return halfToFloat(v); });
    }
    throw FileFormatError(where, "Unknown voxel type");
}
