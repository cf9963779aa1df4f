#include "stack/stackfromvolume.h"

#include "image/image.h"
#include "image/imagesourcefile.h"
#include "image/imagewriter.h"
#include "image/pixelcalibration.h"
#include "numerics/exception.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <locale>
#include <sstream>
#include <tuple>

namespace {

std::string text(double value)
{
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

// Plane k as an image of `bits` bits: values kept, or mapped through the
// window [lo, hi] onto 0 .. the largest level.
template <typename T>
void planeImage(const VoxelMatrix<T>& volume, int k, int bits, bool window, double lo, double hi, Image& image)
{
    const int rows = volume.getSize1();
    const int columns = volume.getSize2();
    image.init(columns, rows, bits);
    const double top = bits == 8 ? 255.0 : 65535.0;
    const double scale = window ? top / (hi - lo) : 1.0;
    for (int i = 0; i < rows; ++i) {
        const T* in = volume[k][i].data();
        unsigned char* out = image.getRow(i);
        for (int j = 0; j < columns; ++j) {
            double v = static_cast<double>(in[j]);
            if (window)
                v = std::isnan(v) ? 0.0 : v <= lo ? 0.0 : v >= hi ? top : std::floor((v - lo) * scale + 0.5);
            if (bits == 8) {
                out[j] = static_cast<unsigned char>(v);
            } else {
                const auto s = static_cast<std::uint16_t>(v);
                std::memcpy(out + 2 * j, &s, 2);
            }
        }
    }
}

} // namespace

void StackFromVolume::setWindow(double lo, double hi)
{
    if (!(std::isfinite(lo) && std::isfinite(hi) && lo < hi))
        throw ValueError("void StackFromVolume::setWindow(double, double)",
                         "The window " + text(lo) + " to " + text(hi) + " is no range of values");
    m_low = lo;
    m_high = hi;
}

void StackFromVolume::setBits(int bits)
{
    if (bits != 8 && bits != 16)
        throw ValueError("void StackFromVolume::setBits(int)", "Slices have 8 or 16 bits, not " + std::to_string(bits));
    m_bits = bits;
}

int StackFromVolume::sliceBits(const AnyVoxelMatrix& volume) const
{
    if (m_values != Values::Keep)
        return m_bits;
    if (volume.getType() == AnyVoxelMatrix::Type::UnsignedChar)
        return 8;
    if (volume.getType() == AnyVoxelMatrix::Type::UnsignedShort)
        return 16;
    if (volume.holdsIntegersWithin(0.0, 255.0))
        return 8;
    if (volume.holdsIntegersWithin(0.0, 65535.0))
        return 16;
    const auto [lo, hi] = volume.range();
    throw ValueError("int StackFromVolume::sliceBits(const AnyVoxelMatrix&) const",
                     "Values from " + text(lo) + " to " + text(hi) + " (" + volume.getTypeName() +
                         ") do not fit slice images of whole numbers from 0 to 65535: choose a window of values "
                         "for every slice, or rescale the whole range");
}

std::vector<std::string> StackFromVolume::imageNames(const AnyVoxelMatrix& volume) const
{
    std::vector<std::string> names;
    for (int z = 0; z < volume.getSize3(); ++z) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "_%03d.tif", z);
        names.push_back(m_name + digits);
    }
    return names;
}

std::unique_ptr<Stack> StackFromVolume::apply(const AnyVoxelMatrix& volume, const std::string& directory)
{
    const int bits = sliceBits(volume);
    double lo = m_low, hi = m_high;
    const bool window = m_values != Values::Keep;
    if (m_values == Values::Rescale) {
        std::tie(lo, hi) = volume.range();
        if (!(hi > lo))
            hi = lo + 1.0; // a constant volume is black
    }

    const VoxelCalibration& voxel = volume.getVoxelCalibration();
    PixelCalibration calibration;
    calibration.setLengthUnit(voxel.getLengthUnit());
    calibration.setPixelWidth(voxel.getVoxelWidth());
    calibration.setPixelHeight(voxel.getVoxelHeight());
    calibration.setAspectRatio(voxel.getVoxelHeight() / voxel.getVoxelWidth());
    const float spacing = voxel.getVoxelDepth();

    auto stack = std::make_unique<Stack>();
    stack->setName(m_name);
    stack->setDefaultPixelCalibration(calibration);
    stack->setDefaultRelativePosition(spacing);
    const std::vector<std::string> names = imageNames(volume);
    const int planes = volume.getSize3();
    notifyStarted("Writing slices...");
    Image image;
    for (int z = 0; z < planes; ++z) {
        if (isCanceled())
            throw Exception("unique_ptr<Stack> StackFromVolume::apply(const AnyVoxelMatrix&, const string&)",
                            "Writing canceled");
        volume.visit([&](const auto& m) { planeImage(m, z, bits, window, lo, hi, image); });
        const std::string file = (std::filesystem::path(directory) / names[static_cast<std::size_t>(z)]).string();
        ImageWriter().write(image, file, true);
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d", z);
        auto* slice = new StackSlice(digits);
        stack->addSlice(slice);
        slice->setImageSource(ImageSourceFile(file));
        slice->setPixelCalibration(calibration);
        slice->setRelativePosition(spacing);
        notifyProgressed(static_cast<unsigned>(z + 1), static_cast<unsigned>(planes));
    }
    notifyFinished("");
    return stack;
}
