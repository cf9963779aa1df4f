#include "stack/stackvolumeconversion.h"

#include "image/image.h"
#include "image/imageconversion.h"
#include "image/imagesource.h"
#include "image/voxelmatrix.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <cmath>
#include <vector>

namespace {

const char* const where = "VoxelMatrix<T> StackVolumeConversion::apply(const Stack&) const";

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
        slice->load(image);
        if (image.getHeight() != rows || image.getWidth() != columns)
            throw SizeError(where, "Slice \"" + slice->getName() + "\" differs in size from the first slice");
        switch (content) {
        case ImageColorContent::RedOnly:
            volume[z].convertFromImage(image, ImageChannel::Red);
            break;
        case ImageColorContent::GreenOnly:
            volume[z].convertFromImage(image, ImageChannel::Green);
            break;
        case ImageColorContent::BlueOnly:
            volume[z].convertFromImage(image, ImageChannel::Blue);
            break;
        default:
            // 16-bit samples as they are; other images as 8-bit grey.
            if (image.getDepth() != 16) {
                image.make8bitsGrayscale();
                if (image.isIndexed())
                    ImageConversion().apply(image);
            }
            volume[z].convertFromImage(image);
            break;
        }
    }
    return volume;
}

} // namespace

template <typename T>
VoxelMatrix<T> StackVolumeConversion::apply(const Stack& stack) const
{
    VoxelMatrix<T> volume = planes<T>(stack, m_content);
    volume.setVoxelCalibration(voxelCalibration(stack));
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

template VoxelMatrix<unsigned char> StackVolumeConversion::apply<unsigned char>(const Stack&) const;
template VoxelMatrix<unsigned short> StackVolumeConversion::apply<unsigned short>(const Stack&) const;
template VoxelMatrix<int> StackVolumeConversion::apply<int>(const Stack&) const;
template VoxelMatrix<float> StackVolumeConversion::apply<float>(const Stack&) const;
template VoxelMatrix<double> StackVolumeConversion::apply<double>(const Stack&) const;
template VoxelMatrix<long double> StackVolumeConversion::apply<long double>(const Stack&) const;
