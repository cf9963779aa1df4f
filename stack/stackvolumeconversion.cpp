#include "stack/stackvolumeconversion.h"

#include "image/image.h"
#include "image/imageconversion.h"
#include "image/imagesource.h"
#include "image/voxelmatrix.h"
#include "image/pixelmatrix.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

namespace {

const char* const where = "VoxelMatrix<T> StackVolumeConversion::apply(const Stack&) const";

// Converts slice's image into plane (display size), as the stored planes take it.
template <typename U>
void loadPlane(const StackSlice& slice, ImageColorContent content, Image& image, PixelMatrix<U>& plane)
{
    slice.load(image);
    switch (content) {
    case ImageColorContent::RedOnly:
        plane.convertFromImage(image, ImageChannel::Red);
        break;
    case ImageColorContent::GreenOnly:
        plane.convertFromImage(image, ImageChannel::Green);
        break;
    case ImageColorContent::BlueOnly:
        plane.convertFromImage(image, ImageChannel::Blue);
        break;
    default:
        // 16-bit samples as they are; other images as 8-bit grey.
        if (image.getDepth() != 16) {
            image.make8bitsGrayscale();
            if (image.isIndexed())
                ImageConversion().apply(image);
        }
        plane.convertFromImage(image);
        break;
    }
}

// Slice k's map from display pixels to the stack plane: X = a x + b y + tx,
// Y = c x + d y + ty, with x and y in display pixels.
struct DisplayMap {
    double a, b, tx, c, d, ty;
    int width, height;
};

DisplayMap displayMap(const StackSlice& slice, const Vector<double>& row)
{
    DisplayMap m{row[0], row[1], row[2], row[3], row[4], row[5], slice.width(), slice.height()};
    if (slice.hasImageSource() && m.width > 0 && m.height > 0) {
        // A display pixel spans size / display size image pixels.
        const double sx = static_cast<double>(slice.getImageSource().getSize2()) / m.width;
        const double sy = static_cast<double>(slice.getImageSource().getSize1()) / m.height;
        m.a *= sx;
        m.c *= sx;
        m.b *= sy;
        m.d *= sy;
    }
    return m;
}

// The bilinear value of plane at (x, y) (column, row); 0 beyond half a pixel
// from the border pixels' centres, whose values reach to there.
template <typename U>
double bilinear(const PixelMatrix<U>& plane, double x, double y)
{
    const int rows = plane.getSize1(), columns = plane.getSize2();
    if (!(x >= -0.5 && x <= columns - 0.5 && y >= -0.5 && y <= rows - 0.5))
        return 0.0;
    // Positions within rounding of a pixel centre take its value alone.
    constexpr double snap = 1e-6;
    if (std::fabs(x - std::round(x)) < snap)
        x = std::round(x);
    if (std::fabs(y - std::round(y)) < snap)
        y = std::round(y);
    x = std::clamp(x, 0.0, columns - 1.0);
    y = std::clamp(y, 0.0, rows - 1.0);
    const int j = std::min(static_cast<int>(x), columns - 1), i = std::min(static_cast<int>(y), rows - 1);
    const int j1 = std::min(j + 1, columns - 1), i1 = std::min(i + 1, rows - 1);
    const double fx = x - j, fy = y - i;
    const double top = (1 - fx) * plane(i, j) + fx * plane(i, j1);
    const double bottom = (1 - fx) * plane(i1, j) + fx * plane(i1, j1);
    return (1 - fy) * top + fy * bottom;
}

// The smallest growth g >= 0 (whole voxels on each side) such that
// n / 2 + g >= low and n / 2 + g - 1 >= high, positions in voxels from the
// centre of n voxels.
int growth(int n, double low, double high)
{
    constexpr double tolerance = 1e-6;
    const double need = std::max(low - n / 2.0, high + 1.0 - n / 2.0);
    if (!std::isfinite(need) || need > 1e7)
        return 10000000;
    return need <= tolerance ? 0 : static_cast<int>(std::ceil(need - tolerance));
}

template <typename T>
VoxelMatrix<T> registeredPlanes(const Stack& stack, ImageColorContent content, const VoxelCalibration& calibration)
{
    VoxelMatrix<T> volume;
    const int n = stack.getNumSlices();
    if (n == 0)
        return volume;
    const StackReconstruction<double> reconstruction(stack);
    std::vector<DisplayMap> maps;
    for (int k = 0; k < n; ++k)
        maps.push_back(displayMap(*stack.getSlice(k), reconstruction.getMaps()[k]));

    // Voxel (i, j) lies at X = w (j - columns / 2), Y = h (rows / 2 - i).
    const double w = calibration.getVoxelWidth(), h = calibration.getVoxelHeight();
    const int rows0 = stack.getSlice(0)->height(), columns0 = stack.getSlice(0)->width();
    double left = columns0 / 2.0, right = columns0 / 2.0 - 1.0, up = rows0 / 2.0, down = rows0 / 2.0 - 1.0;
    for (const DisplayMap& m : maps) {
        if (m.width <= 0 || m.height <= 0)
            continue;
        for (const int x : {0, m.width - 1})
            for (const int y : {0, m.height - 1}) {
                const double j = (m.a * x + m.b * y + m.tx) / w, i = -(m.c * x + m.d * y + m.ty) / h;
                left = std::max(left, -j);
                right = std::max(right, j);
                up = std::max(up, -i);
                down = std::max(down, i);
            }
    }
    const int columns = columns0 + 2 * growth(columns0, left, right);
    const int rows = rows0 + 2 * growth(rows0, up, down);
    // Registrations far beyond any slide's drift would ask for planes mostly
    // empty and possibly beyond memory.
    if (static_cast<double>(rows) * columns > 64.0 * std::max(1.0, static_cast<double>(rows0) * columns0))
        throw SizeError(where, "The registrations move the slices too far apart for one volume (" +
                                   std::to_string(rows) + " x " + std::to_string(columns) + " voxels a plane)");
    volume.setSize(rows, columns, n);
    volume.fill(T(0));

    Image image;
    PixelMatrix<double> plane;
    for (int k = 0; k < n; ++k) {
        const StackSlice& slice = *stack.getSlice(k);
        loadPlane(slice, content, image, plane);
        const DisplayMap& m = maps[static_cast<std::size_t>(k)];
        const double det = m.a * m.d - m.b * m.c;
        if (!(std::fabs(det) > 0.0) || !std::isfinite(det))
            continue;
        // Display pixel of voxel (i, j): affine in i and j.
        auto pixel = [&](double X, double Y, double& x, double& y) {
            x = (m.d * (X - m.tx) - m.b * (Y - m.ty)) / det;
            y = (m.a * (Y - m.ty) - m.c * (X - m.tx)) / det;
        };
        PixelMatrix<T>& out = volume[k];
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < columns; ++j) {
                double x = 0, y = 0;
                pixel(w * (j - columns / 2.0), h * (rows / 2.0 - i), x, y);
                const double v = bilinear(plane, x, y);
                if constexpr (std::is_integral_v<T>)
                    out(i, j) = static_cast<T>(std::lround(v));
                else
                    out(i, j) = static_cast<T>(v);
            }
    }
    return volume;
}

template <typename T>
VoxelMatrix<T> planes(const Stack& stack, ImageColorContent content)
{
    VoxelMatrix<T> volume;
    const int n = stack.getNumSlices();
    if (n == 0)
        return volume;
    const int rows = stack.getSlice(0)->height();
    const int columns = stack.getSlice(0)->width();
    volume.setSize(rows, columns, n);
    Image image;
    for (int z = 0; z < n; ++z) {
        const StackSlice* slice = stack.getSlice(z);
        loadPlane(*slice, content, image, volume[z]);
        if (volume[z].getSize1() != rows || volume[z].getSize2() != columns)
            throw SizeError(where, "Slice \"" + slice->getName() + "\" differs in size from the first slice");
    }
    return volume;
}

} // namespace

template <typename T>
VoxelMatrix<T> StackVolumeConversion::apply(const Stack& stack) const
{
    const VoxelCalibration calibration = voxelCalibration(stack);
    VoxelMatrix<T> volume = m_placement == Placement::Registered ? registeredPlanes<T>(stack, m_content, calibration)
                                                                 : planes<T>(stack, m_content);
    volume.setVoxelCalibration(calibration);
    return volume;
}

bool StackVolumeConversion::isSixteenBit(const Stack& stack) const
{
    if (m_content != ImageColorContent::Grayscale)
        return false;
    for (int z = 0; z < stack.getNumSlices(); ++z) {
        const StackSlice& slice = *stack.getSlice(z);
        if (slice.hasImageSource() && slice.getImageSource().getDepth() == 16)
            return true;
    }
    return false;
}

AnyVoxelMatrix StackVolumeConversion::apply(const Stack& stack) const
{
    if (isSixteenBit(stack))
        return AnyVoxelMatrix(apply<unsigned short>(stack));
    return AnyVoxelMatrix(apply<unsigned char>(stack));
}

VoxelCalibration StackVolumeConversion::voxelCalibration(const Stack& stack)
{
    VoxelCalibration c;
    c.setLengthUnit(stack.getLengthUnit());
    const int n = stack.getNumSlices();
    if (n == 0)
        return c;

    const StackSlice& first = *stack.getSlice(0);
    const PixelCalibration& pixel = first.getPixelCalibration();
    const int width = first.width();
    const int height = first.height();
    if (first.hasImageSource() && width > 0 && height > 0) {
        const ImageSource& source = first.getImageSource();
        c.setVoxelWidth(pixel.getPixelWidth() * static_cast<float>(source.getSize2()) / static_cast<float>(width));
        c.setVoxelHeight(pixel.getPixelHeight() * static_cast<float>(source.getSize1()) /
                         static_cast<float>(height));
    } else {
        c.setVoxelWidth(pixel.getPixelWidth());
        c.setVoxelHeight(pixel.getPixelHeight());
    }

    float spacing = 0.0f;
    if (n == 1) {
        spacing = first.getRelativePosition();
    } else {
        const std::vector<float> z = stack.absolutePositions();
        spacing = (z.back() - z.front()) / static_cast<float>(n - 1);
    }
    if (spacing > 0.0f && std::isfinite(spacing))
        c.setVoxelDepth(spacing);
    return c;
}

bool StackVolumeConversion::isEvenlySpaced(const Stack& stack)
{
    const int n = stack.getNumSlices();
    if (n < 3)
        return true;
    const std::vector<float> z = stack.absolutePositions();
    const double mean = (static_cast<double>(z.back()) - z.front()) / (n - 1);
    const double tolerance = 1e-4 * std::fabs(mean);
    for (int k = 1; k < n; ++k)
        if (std::fabs((static_cast<double>(z[k]) - z[k - 1]) - mean) > tolerance)
            return false;
    return true;
}

bool StackVolumeConversion::hasRegistrations(const Stack& stack)
{
    for (int k = 0; k < stack.getNumSlices(); ++k)
        if (!stack.getSlice(k)->getRegistration().isNull())
            return true;
    return false;
}

template VoxelMatrix<unsigned char> StackVolumeConversion::apply<unsigned char>(const Stack&) const;
template VoxelMatrix<unsigned short> StackVolumeConversion::apply<unsigned short>(const Stack&) const;
template VoxelMatrix<int> StackVolumeConversion::apply<int>(const Stack&) const;
template VoxelMatrix<float> StackVolumeConversion::apply<float>(const Stack&) const;
template VoxelMatrix<double> StackVolumeConversion::apply<double>(const Stack&) const;
template VoxelMatrix<long double> StackVolumeConversion::apply<long double>(const Stack&) const;
