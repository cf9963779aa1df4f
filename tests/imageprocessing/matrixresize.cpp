#include "imageprocessing/matrixresize.h"
#include "imageprocessing/volumeresize.h"

#include "randomimages.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

using plexan::test::randomPixels;
using plexan::test::randomVoxels;

namespace {

template <typename T>
class ResizeTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(ResizeTest, RealTypes);

// Bilinear sampling reproduces a linear function: the new grid spans the old
// one corner to corner.
TYPED_TEST(ResizeTest, BilinearKeepsLinearFunctions)
{
    using T = TypeParam;
    PixelMatrix<T> m(5, 7);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 7; ++j)
            m(i, j) = T(2 * i + 3 * j);
    for (auto [rows, columns] : {std::pair{9, 13}, std::pair{3, 4}, std::pair{11, 4}, std::pair{2, 19}}) {
        PixelMatrix<T> out(m);
        MatrixResize<T> resize(rows, columns);
        resize.setInterpolationMode(LinearInterpolationMode);
        resize.apply(out);
        ASSERT_EQ(out.getSize1(), rows);
        ASSERT_EQ(out.getSize2(), columns);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < columns; ++j)
                ASSERT_NEAR(out(i, j), 2.0 * i * 4 / (rows - 1) + 3.0 * j * 6 / (columns - 1), 1e-4)
                    << rows << "x" << columns << " at " << i << "," << j;
    }

    VoxelMatrix<T> v(4, 5, 6);
    for (int k = 0; k < 6; ++k)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 5; ++j)
                v(i, j, k) = T(i - 2 * j + 3 * k);
    VolumeResize<T> resize3(7, 3, 11);
    resize3.setInterpolationMode(LinearInterpolationMode);
    resize3.apply(v);
    ASSERT_EQ(v.getSize(), (Vector<int>{7, 3, 11}));
    for (int k = 0; k < 11; ++k)
        for (int i = 0; i < 7; ++i)
            for (int j = 0; j < 3; ++j)
                ASSERT_NEAR(v(i, j, k), i * 3.0 / 6 - 2.0 * j * 4 / 2 + 3.0 * k * 5 / 10, 1e-4);
}

TYPED_TEST(ResizeTest, NearestTakesTheClosestSample)
{
    using T = TypeParam;
    std::mt19937 rng(21);
    const PixelMatrix<T> m = randomPixels<T>(6, 9, rng);
    for (auto [rows, columns] : {std::pair{11, 17}, std::pair{4, 5}, std::pair{12, 3}}) {
        PixelMatrix<T> out(m);
        MatrixResize<T>(rows, columns).apply(out);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < columns; ++j) {
                const int a = static_cast<int>(std::floor(static_cast<float>(i) * 5.0f / (rows - 1) + 0.5f));
                const int b = static_cast<int>(std::floor(static_cast<float>(j) * 8.0f / (columns - 1) + 0.5f));
                ASSERT_EQ(out(i, j), m(a, b));
            }
    }
    // The same size: nothing changes.
    PixelMatrix<T> same(m);
    MatrixResize<T>(6, 9).apply(same);
    EXPECT_EQ(same, m);
}

TYPED_TEST(ResizeTest, LowPassReductionAverages)
{
    using T = TypeParam;
    PixelMatrix<T> flat(12, 18);
    flat.fill(T(7));
    MatrixResize<T> resize(4, 6);
    resize.setLowPassFilteringEnabled(true);
    resize.setInterpolationMode(LinearInterpolationMode);
    resize.apply(flat);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 6; ++j)
            ASSERT_NEAR(flat(i, j), T(7), 1e-5);

    // Away from the borders a sample is the mean of its 5 x 5 box: h =
    // floor(31 / 11) = 2.
    std::mt19937 rng(22);
    const PixelMatrix<T> m = randomPixels<T>(31, 31, rng);
    PixelMatrix<T> out(m);
    MatrixResize<T> reduce(11, 11);
    reduce.setLowPassFilteringEnabled(true);
    reduce.apply(out);
    T mean = T(0);
    for (int a = 13; a <= 17; ++a)
        for (int b = 13; b <= 17; ++b)
            mean += m(a, b);
    EXPECT_NEAR(out(5, 5), mean / T(25), 1e-4);
}

TYPED_TEST(ResizeTest, MixedResizeIsTwoSteps)
{
    using T = TypeParam;
    std::mt19937 rng(23);
    const PixelMatrix<T> m = randomPixels<T>(6, 10, rng);
    PixelMatrix<T> mixed(m), stepwise(m);
    MatrixResize<T> resize(12, 5);
    resize.setInterpolationMode(LinearInterpolationMode);
    resize.apply(mixed);
    MatrixResize<T> first(12, 10), second(12, 5);
    first.setInterpolationMode(LinearInterpolationMode);
    second.setInterpolationMode(LinearInterpolationMode);
    first.apply(stepwise);
    second.apply(stepwise);
    EXPECT_EQ(mixed, stepwise);
    EXPECT_EQ(resize.getSize(), (Vector<int>{12, 5}));
    EXPECT_PLEXAN_THROW(resize.setSize(Vector<int>{1, 2, 3}), SizeError,
                        "void MatrixResize<T>::setSize(const Vector<int>&)", "Invalid target size");

    const VoxelMatrix<T> v = randomVoxels<T>(4, 8, 5, rng);
    VoxelMatrix<T> a(v), b(v);
    VolumeResize<T>(8, 4, 5).apply(a);
    VolumeResize<T>(8, 8, 5).apply(b);
    VolumeResize<T>(8, 4, 5).apply(b);
    EXPECT_TRUE(a == b);
}

TEST(MatrixResize, HalvesByteImages)
{
    PixelMatrix<unsigned char> m(5, 4);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            m(i, j) = static_cast<unsigned char>(10 * i + j);
    MatrixResize<float>::halve(m);
    ASSERT_EQ(m.getSize1(), 2);
    ASSERT_EQ(m.getSize2(), 2);
    EXPECT_EQ(m(0, 0), (0 + 1 + 10 + 11 + 2) / 4);
    EXPECT_EQ(m(1, 1), (22 + 23 + 32 + 33 + 2) / 4);
}

} // namespace
