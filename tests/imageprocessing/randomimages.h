#pragma once
// Random test images for the filter tests: small integer values in any
// element type, so that sums are exact in floating types too.

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"
#include "support/expect.h"

#include <random>

namespace plexan::test {

template <typename T>
PixelMatrix<T> randomPixels(int rows, int columns, std::mt19937& rng, int lo = 0, int hi = 20)
{
    std::uniform_int_distribution<int> d(lo, hi);
    PixelMatrix<T> m(rows, columns);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            m(i, j) = static_cast<T>(d(rng));
    return m;
}

template <typename T>
VoxelMatrix<T> randomVoxels(int s1, int s2, int s3, std::mt19937& rng, int lo = 0, int hi = 20)
{
    std::uniform_int_distribution<int> d(lo, hi);
    VoxelMatrix<T> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                v(i, j, k) = static_cast<T>(d(rng));
    return v;
}

// A mask of zeros and ones, about a third zeros.
template <typename T>
PixelMatrix<T> randomMask(int rows, int columns, std::mt19937& rng)
{
    std::bernoulli_distribution inside(0.67);
    PixelMatrix<T> m(rows, columns);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            m(i, j) = inside(rng) ? T(1) : T(0);
    return m;
}

template <typename T>
VoxelMatrix<T> randomMask(int s1, int s2, int s3, std::mt19937& rng)
{
    VoxelMatrix<T> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        v[k] = randomMask<T>(s1, s2, rng);
    return v;
}

} // namespace plexan::test

template <typename T>
void PrintTo(const PixelMatrix<T>& m, std::ostream* os)
{
    PrintTo(static_cast<const Matrix<T>&>(m), os);
}
