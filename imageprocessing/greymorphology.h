#pragma once
// The grey-level erosion and dilation kernels behind VoxelMatrixErosion and
// VoxelMatrixDilatation: a padded copy of the image, then, for every row of
// the result, the running minimum (maximum) over the structuring element of
// the shifted padded rows minus (plus) the element's values.
//
// Integer types saturate at the limits of T instead of wrapping, so that the
// border fill (the extreme value of T) never comes back from the other end.
//
// Internal to the image processing library.

#include "image/voxelmatrix.h"
#include "imageprocessing/progresssteps.h"

#include <algorithm>
#include <limits>
#include <type_traits>
#include <vector>

namespace plexan::morphology {

// The type in which value +- element is computed without overflow.
template <typename T>
using Wide = std::conditional_t<std::is_floating_point_v<T>, T,
                                std::conditional_t<(sizeof(T) < sizeof(int)), int, long long>>;

// Half sizes (p, q, r) of a structuring element of odd sizes 2p+1, 2q+1, 2r+1.
struct HalfSizes {
    int p;
    int q;
    int r;
};

template <typename T>
HalfSizes halfSizes(const VoxelMatrix<T>& element)
{
    return HalfSizes{(element.getSize1() - 1) / 2, (element.getSize2() - 1) / 2, (element.getSize3() - 1) / 2};
}

// work = image surrounded by (p, q, r) elements of fill on each side.
template <typename T>
void pad(const VoxelMatrix<T>& image, VoxelMatrix<T>& work, HalfSizes h, T fill)
{
    const int size1 = image.getSize1();
    const int size2 = image.getSize2();
    const int size3 = image.getSize3();
    work.setSize(size1 + 2 * h.p, size2 + 2 * h.q, size3 + 2 * h.r);
    work.fill(fill);
    for (int k = 0; k < size3; ++k)
        for (int i = 0; i < size1; ++i) {
            const T* source = image[k][i].data();
            std::copy(source, source + size2, work[k + h.r][i + h.p].data() + h.q);
        }
}

// Erosion (Dilate false): image(i, j, k) = min over (a, b, c) of
// work(i + a, j + b, k + c) - element(a, b, c); dilation: the max of the sums.
template <typename T, bool Dilate>
void apply(VoxelMatrix<T>& image, const VoxelMatrix<T>& work, const VoxelMatrix<T>& element, T start,
           ProgressSteps& progress)
{
    using W = Wide<T>;
    const HalfSizes h = halfSizes(element);
    const int size1 = image.getSize1();
    const int size2 = image.getSize2();
    const int size3 = image.getSize3();
    [[maybe_unused]] const W lowest = static_cast<W>(std::numeric_limits<T>::lowest());
    [[maybe_unused]] const W highest = static_cast<W>(std::numeric_limits<T>::max());
    std::vector<T> result(size2 > 0 ? size2 : 1);
    for (int k = 0; k < size3; ++k) {
        for (int i = 0; i < size1; ++i) {
            T* out = result.data();
            std::fill(out, out + size2, start);
            for (int c = 0; c <= 2 * h.r; ++c)
                for (int a = 0; a <= 2 * h.p; ++a) {
                    const T* row = work[k + c][i + a].data();
                    const T* weights = element[c][a].data();
                    for (int b = 0; b <= 2 * h.q; ++b) {
                        const W s = static_cast<W>(weights[b]);
                        const T* shifted = row + b;
                        if constexpr (std::is_floating_point_v<T>) {
                            for (int j = 0; j < size2; ++j)
                                if constexpr (Dilate)
                                    out[j] = std::max(out[j], shifted[j] + s);
                                else
                                    out[j] = std::min(out[j], shifted[j] - s);
                        } else {
                            for (int j = 0; j < size2; ++j) {
                                const W v = Dilate ? static_cast<W>(shifted[j]) + s : static_cast<W>(shifted[j]) - s;
                                const T clamped = static_cast<T>(std::clamp(v, lowest, highest));
                                out[j] = Dilate ? std::max(out[j], clamped) : std::min(out[j], clamped);
                            }
                        }
                    }
                }
            std::copy(out, out + size2, image[k][i].data());
            progress.advance();
        }
    }
}

// The same value at one voxel of the image, for voxel (i, j, k) inside it.
template <typename T, bool Dilate>
T at(const VoxelMatrix<T>& work, const VoxelMatrix<T>& element, T start, int i, int j, int k)
{
    using W = Wide<T>;
    const HalfSizes h = halfSizes(element);
    [[maybe_unused]] const W lowest = static_cast<W>(std::numeric_limits<T>::lowest());
    [[maybe_unused]] const W highest = static_cast<W>(std::numeric_limits<T>::max());
    T best = start;
    for (int c = 0; c <= 2 * h.r; ++c)
        for (int a = 0; a <= 2 * h.p; ++a)
            for (int b = 0; b <= 2 * h.q; ++b) {
                const W w = static_cast<W>(work(i + a, j + b, k + c));
                const W s = static_cast<W>(element(a, b, c));
                W v = Dilate ? w + s : w - s;
                if constexpr (!std::is_floating_point_v<T>)
                    v = std::clamp(v, lowest, highest);
                best = Dilate ? std::max(best, static_cast<T>(v)) : std::min(best, static_cast<T>(v));
            }
    return best;
}

} // namespace plexan::morphology
