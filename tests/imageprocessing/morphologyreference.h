#pragma once
// Grey-level erosion and dilation straight from their definition, for the
// morphology tests: the extreme over the structuring element of the image
// values it covers, minus (erosion) or plus (dilation) the element's values,
// positions outside the image being left out.

#include "image/voxelmatrix.h"
#include "randomimages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>

template <typename T>
void PrintTo(const VoxelMatrix<T>& v, std::ostream* os)
{
    *os << v.getSize1() << " x " << v.getSize2() << " x " << v.getSize3() << ":";
    for (int k = 0; k < v.getSize3(); ++k)
        for (int i = 0; i < v.getSize1(); ++i) {
            *os << (i == 0 ? " |" : " /");
            for (int j = 0; j < v.getSize2(); ++j)
                *os << " " << +v(i, j, k);
        }
}

namespace plexan::test {

using MorphologyTypes = ::testing::Types<short, unsigned short, int, unsigned int, float, double, long double>;

template <typename T, bool Dilate>
VoxelMatrix<T> bruteForceMorphology(const VoxelMatrix<T>& image, const VoxelMatrix<T>& element)
{
    const int p = element.getSize1() / 2, q = element.getSize2() / 2, r = element.getSize3() / 2;
    VoxelMatrix<T> out(image.getSize1(), image.getSize2(), image.getSize3());
    for (int k = 0; k < image.getSize3(); ++k)
        for (int i = 0; i < image.getSize1(); ++i)
            for (int j = 0; j < image.getSize2(); ++j) {
                long double best = Dilate ? -1e300L : 1e300L;
                for (int c = 0; c < element.getSize3(); ++c)
                    for (int a = 0; a < element.getSize1(); ++a)
                        for (int b = 0; b < element.getSize2(); ++b) {
                            const int ii = i + a - p, jj = j + b - q, kk = k + c - r;
                            if (!image.contains(ii, jj, kk))
                                continue;
                            const long double s = element(a, b, c);
                            const long double v = image(ii, jj, kk);
                            best = Dilate ? std::max(best, v + s) : std::min(best, v - s);
                        }
                out(i, j, k) = static_cast<T>(best);
            }
    return out;
}

// Sizes 1, 3 or 5 on each axis, small values (positive for unsigned types
// only where they cannot take an image value below zero).
template <typename T>
VoxelMatrix<T> randomElement(std::mt19937& rng)
{
    std::uniform_int_distribution<int> size(0, 2);
    const int s1 = 2 * size(rng) + 1, s2 = 2 * size(rng) + 1, s3 = 2 * size(rng) + 1;
    return randomVoxels<T>(s1, s2, s3, rng, std::is_signed_v<T> ? -3 : 0, 3);
}

template <typename T>
VoxelMatrix<T> randomVolume(std::mt19937& rng)
{
    std::uniform_int_distribution<int> size(1, 9);
    const int s1 = size(rng), s2 = size(rng) + 3, s3 = size(rng);
    return randomVoxels<T>(s1, s2, s3, rng, 10, 60);
}

} // namespace plexan::test
