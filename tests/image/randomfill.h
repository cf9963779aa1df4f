#pragma once
// Random contents for pixel and voxel matrices in the image tests.

#include "image/voxelmatrix.h"

#include "support/expect.h"

#include <random>
#include <type_traits>

// Failure messages print pixel and voxel matrices by their elements.
template <typename T>
void PrintTo(const PixelMatrix<T>& m, std::ostream* os)
{
    PrintTo(static_cast<const Matrix<T>&>(m), os);
}

template <typename T>
void PrintTo(const VoxelMatrix<T>& m, std::ostream* os)
{
    *os << m.getSize1() << " x " << m.getSize2() << " x " << m.getSize3() << " {";
    for (int k = 0; k < (m.hasPlanes() ? m.getSize3() : 0); ++k) {
        *os << (k ? ", " : "");
        PrintTo(m[k], os);
    }
    *os << "}";
}

namespace imagetest {

// Values in [lo, hi], integers for integer types and bools.
template <typename T>
T randomValue(std::mt19937& rng, int lo = 0, int hi = 100)
{
    if constexpr (std::is_floating_point_v<T>) {
        std::uniform_real_distribution<double> d(lo, hi);
        return static_cast<T>(d(rng));
    } else {
        std::uniform_int_distribution<int> d(lo, hi);
        return static_cast<T>(d(rng));
    }
}

template <typename T>
PixelMatrix<T> randomPixelMatrix(int rows, int cols, std::mt19937& rng, int lo = 0, int hi = 100)
{
    PixelMatrix<T> m(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            m(i, j) = randomValue<T>(rng, lo, hi);
    return m;
}

template <typename T>
VoxelMatrix<T> randomVoxelMatrix(int s1, int s2, int s3, std::mt19937& rng, int lo = 0, int hi = 100)
{
    VoxelMatrix<T> m(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                m(i, j, k) = randomValue<T>(rng, lo, hi);
    return m;
}

// The histogram bin of v by its definition: the largest b < n whose lower
// edge origin + b x width is <= v (bin 0 for values below the origin).
template <typename T>
int referenceBin(T v, T origin, T width, unsigned int n)
{
    int bin = 0;
    for (unsigned int b = 1; b < n; ++b)
        if (static_cast<long double>(origin) + static_cast<long double>(b) * static_cast<long double>(width) <=
            static_cast<long double>(v))
            bin = static_cast<int>(b);
    return bin;
}

} // namespace imagetest
