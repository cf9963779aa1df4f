#include "stack/stackvolumeconversion.h"

#include "image/imagesource.h"
#include "image/voxelmatrix.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <cmath>
#include <vector>

template <typename T>
VoxelMatrix<T> StackVolumeConversion::apply(const Stack& stack) const
{
    VoxelMatrix<T> volume = stack.toVoxelMatrix<T>(m_content);
    volume.setVoxelCalibration(voxelCalibration(stack));
    return volume;
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

template VoxelMatrix<int> StackVolumeConversion::apply<int>(const Stack&) const;
template VoxelMatrix<float> StackVolumeConversion::apply<float>(const Stack&) const;
template VoxelMatrix<double> StackVolumeConversion::apply<double>(const Stack&) const;
template VoxelMatrix<long double> StackVolumeConversion::apply<long double>(const Stack&) const;
