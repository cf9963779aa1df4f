#include "image/voxelmatrix.h"

#include "randomfill.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

using imagetest::randomValue;
using imagetest::randomVoxelMatrix;

namespace {

template <typename T>
class VoxelMatrixTyped : public ::testing::Test {};
using VoxelTypes = ::testing::Types<char, unsigned char, short, unsigned short, int, unsigned int, float, double,
                                    long double>;
TYPED_TEST_SUITE(VoxelMatrixTyped, VoxelTypes);

// The sizes the properties are checked on, including single rows, columns and
// planes.
const int shapes[][3] = {{1, 1, 1}, {2, 3, 4}, {5, 1, 3}, {1, 7, 2}, {4, 4, 1}, {6, 5, 7}};

TYPED_TEST(VoxelMatrixTyped, ProjectionsAgreeWithBruteForce)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    for (const auto& s : shapes) {
        const VoxelMatrix<T> m = randomVoxelMatrix<T>(s[0], s[1], s[2], rng);
        const PixelMatrix<T> sum = m.sum();
        const PixelMatrix<T> lo = m.min();
        const PixelMatrix<T> hi = m.max();
        ASSERT_EQ(sum.getSize1(), s[0]);
        ASSERT_EQ(sum.getSize2(), s[1]);
        T vmin = m(0, 0, 0);
        T vmax = m(0, 0, 0);
        for (int i = 0; i < s[0]; ++i)
            for (int j = 0; j < s[1]; ++j) {
                T total = m(i, j, 0);
                T least = m(i, j, 0);
                T most = m(i, j, 0);
                for (int k = 1; k < s[2]; ++k) {
                    total = static_cast<T>(total + m(i, j, k)); // wraps like the projection for small types
                    least = std::min(least, m(i, j, k));
                    most = std::max(most, m(i, j, k));
                }
                EXPECT_EQ(sum(i, j), total);
                EXPECT_EQ(lo(i, j), least);
                EXPECT_EQ(hi(i, j), most);
                vmin = std::min(vmin, least);
                vmax = std::max(vmax, most);
            }
        EXPECT_EQ(m.range(), (Vector<T>{vmin, vmax}));
    }
}

TYPED_TEST(VoxelMatrixTyped, HistogramsCountEveryVoxelInItsBin)
{
    using T = TypeParam;
    std::mt19937 rng(12);
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(5, 6, 4, rng, 0, 60);
    const VoxelMatrix<T> mask = randomVoxelMatrix<T>(5, 6, 4, rng, 0, 1);
    // Origin 10, width 7, 6 bins: values below 10 go to bin 0 and values from
    // 45 on to the last bin.
    const T origin = 10;
    const T width = 7;
    const unsigned int n = 6;
    Vector<unsigned int> all(n);
    Vector<unsigned int> masked(n);
    all.setZeros();
    masked.setZeros();
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < 6; ++j) {
                const int b = imagetest::referenceBin(m(i, j, k), origin, width, n);
                ++all[b];
                if (mask(i, j, k) != T(0))
                    ++masked[b];
            }
    EXPECT_EQ(m.histogram(origin, width, n), all);
    EXPECT_EQ(m.histogram(origin, width, n, mask), masked);
    EXPECT_PLEXAN_THROW(m.histogram(origin, width, n, VoxelMatrix<T>(5, 6, 3)), SizeError,
                        "Vectorui VoxelMatrix<T>::histogram(...)", "Incompatible mask size");
}

TYPED_TEST(VoxelMatrixTyped, CatCopyPasteAndReverseMoveTheRightElements)
{
    using T = TypeParam;
    std::mt19937 rng(13);
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(4, 5, 3, rng);

    const Vector<T> flat = m.cat();
    ASSERT_EQ(flat.getSize(), 60);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 5; ++j)
                EXPECT_EQ(flat[(k * 4 + i) * 5 + j], m(i, j, k));

    EXPECT_EQ(m.copy(0, 3, 0, 4, 0, 2), m);
    const VoxelMatrix<T> block = m.copy(1, 2, 2, 4, 1, 2);
    ASSERT_EQ(block.getSize(), (Vector<int>{2, 3, 2}));
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(block(i, j, k), m(1 + i, 2 + j, 1 + k));

    // Pasting a block back where it came from restores the original.
    VoxelMatrix<T> target(m);
    target.fill(T(7));
    target.paste(1, 2, 1, block);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 5; ++j) {
                const bool inside = k >= 1 && i >= 1 && i <= 2 && j >= 2;
                EXPECT_EQ(target(i, j, k), inside ? m(i, j, k) : T(7));
            }

    // Odd number of planes: the middle one stays.
    VoxelMatrix<T> reversed(m);
    reversed.reverse();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(reversed[k], m[2 - k]);
    reversed.reverse();
    EXPECT_EQ(reversed, m);
}

TYPED_TEST(VoxelMatrixTyped, ArithmeticAgreesElementByElement)
{
    using T = TypeParam;
    std::mt19937 rng(14);
    const VoxelMatrix<T> a = randomVoxelMatrix<T>(3, 4, 5, rng, 1, 9);
    const VoxelMatrix<T> b = randomVoxelMatrix<T>(3, 4, 5, rng, 1, 9);
    VoxelMatrix<T> sum(a), difference(a), product(a), plus(a), minus(a), times(a), divided(a);
    sum += b;
    difference -= b;
    product *= b;
    plus += T(3);
    minus -= T(1);
    times *= T(2);
    divided /= T(2);
    for (int k = 0; k < 5; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) {
                const T x = a(i, j, k);
                const T y = b(i, j, k);
                EXPECT_EQ(sum(i, j, k), static_cast<T>(x + y));
                EXPECT_EQ(difference(i, j, k), static_cast<T>(x - y));
                EXPECT_EQ(product(i, j, k), static_cast<T>(x * y));
                EXPECT_EQ(plus(i, j, k), static_cast<T>(x + T(3)));
                EXPECT_EQ(minus(i, j, k), static_cast<T>(x - T(1)));
                EXPECT_EQ(times(i, j, k), static_cast<T>(x * T(2)));
                EXPECT_EQ(divided(i, j, k), static_cast<T>(x / T(2)));
            }
    for (const auto& other : {VoxelMatrix<T>(3, 4, 4), VoxelMatrix<T>(4, 3, 5), VoxelMatrix<T>()}) {
        VoxelMatrix<T> c(a);
        EXPECT_PLEXAN_THROW(c += other, SizeError, "void VoxelMatrix<T>::operator+=(const VoxelMatrix&)",
                            "This matrix and matrix argument differ in size");
        EXPECT_PLEXAN_THROW(c -= other, SizeError, "void VoxelMatrix<T>::operator-=(const VoxelMatrix&)",
                            "This matrix and matrix argument differ in size");
        EXPECT_PLEXAN_THROW(c *= other, SizeError, "void VoxelMatrix<T>::operator*=(const VoxelMatrix&)",
                            "This matrix and matrix argument differ in size");
        EXPECT_EQ(c, a);
    }
}

TYPED_TEST(VoxelMatrixTyped, EmptyMatricesRefuseProjections)
{
    using T = TypeParam;
    VoxelMatrix<T> m(2, 2, 2);
    m.setSize(0, 0, 0);
    EXPECT_EQ(m.cat().getSize(), 0);
    EXPECT_PLEXAN_THROW(m.sum(), SizeError, "PixelMatrix<T> VoxelMatrix<T>::sum() const", "This matrix is empty");
    EXPECT_PLEXAN_THROW(m.min(), SizeError, "PixelMatrix<T> VoxelMatrix<T>::min() const", "This matrix is empty");
    EXPECT_PLEXAN_THROW(m.max(), SizeError, "PixelMatrix<T> VoxelMatrix<T>::max() const", "This matrix is empty");
    EXPECT_PLEXAN_THROW(m.range(), SizeError, "Vector<T> VoxelMatrix<T>::range() const", "This matrix is empty.");
    // A matrix with planes of no rows is just as empty.
    VoxelMatrix<T> flat(0, 4, 3);
    EXPECT_PLEXAN_THROW(flat.sum(), SizeError, "PixelMatrix<T> VoxelMatrix<T>::sum() const", "This matrix is empty");
    EXPECT_EQ(flat.cat().getSize(), 0);
}

TYPED_TEST(VoxelMatrixTyped, ConversionsCastEveryElement)
{
    using T = TypeParam;
    std::mt19937 rng(15);
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(3, 2, 4, rng);
    const VoxelMatrix<double> d = m.template toType<double>();
    const VoxelMatrix<unsigned char> c = m.template toType<unsigned char>();
    ASSERT_TRUE(d.sameSizeAs(m));
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 2; ++j) {
                EXPECT_EQ(d(i, j, k), static_cast<double>(m(i, j, k)));
                EXPECT_EQ(c(i, j, k), static_cast<unsigned char>(m(i, j, k)));
            }
    EXPECT_EQ(d.template toType<T>(), m);
}

} // namespace

TEST(VoxelMatrix, CatPlacesElementsPlaneByPlane)
{
    VoxelMatrix<int> m(2, 3, 2);
    m.setZeros();
    m(1, 2, 1) = 5;
    const Vector<int> flat = m.cat();
    ASSERT_EQ(flat.getSize(), 12);
    EXPECT_EQ(flat[11], 5);
    EXPECT_EQ(flat.sum(), 5);
}

TEST(VoxelMatrix, SetSizeKeepsTheDataWhenTheSizeIsUnchanged)
{
    VoxelMatrix<float> m(3, 4, 2);
    m.fill(2.5f);
    m.setSize(3, 4, 2);
    m.setSize(Vector<int>{3, 4, 2});
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_EQ(m(i, j, k), 2.5f);
    EXPECT_FLOAT_EQ(m(2, 3, 1), 2.5f);
    m.setSize(4, 3, 2);
    EXPECT_EQ(m.getSize(), (Vector<int>{4, 3, 2}));
    EXPECT_EQ(m[1].getSize1(), 4);
    EXPECT_EQ(m[1].getSize2(), 3);
    m.setSize(2, 2, 0);
    EXPECT_FALSE(m.hasPlanes());
    EXPECT_EQ(m.getSize3(), 0);
    EXPECT_PLEXAN_THROW(m.setSize(Vector<int>{1, 2}), SizeError, "void VoxelMatrix<T>::setSize(const Vector<int>&)",
                        "Size vector does not contain three values as expected");
}

TEST(VoxelMatrix, SizesByAxisNumber)
{
    const VoxelMatrix<short> m(2, 3, 4);
    EXPECT_EQ(m.getSize(1), 2);
    EXPECT_EQ(m.getSize(2), 3);
    EXPECT_EQ(m.getSize(3), 4);
    for (int n : {0, 4, -1})
        EXPECT_PLEXAN_THROW(m.getSize(n), ValueError, "unsigned int VoxelMatrix<T>::getSize(...) const",
                            "Invalid argument value (neither 1, 2 or 3)");
    EXPECT_TRUE(m.contains(1, 2, 3));
    EXPECT_FALSE(m.contains(2, 2, 3));
    EXPECT_FALSE(m.contains(1, 3, 3));
    EXPECT_FALSE(m.contains(1, 2, 4));
    EXPECT_FALSE(m.contains(-1, 0, 0));
}

TEST(VoxelMatrix, EqualityTreatsNanAsUnequalExceptForItself)
{
    VoxelMatrix<double> a(2, 2, 2);
    a.setOnes();
    VoxelMatrix<double> b(a);
    EXPECT_EQ(a, b);
    b(1, 1, 1) = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(a, b);
    EXPECT_NE(b, VoxelMatrix<double>(b));
    EXPECT_TRUE(b == b);
    EXPECT_NE(a, VoxelMatrix<double>(2, 2, 3));
}

TEST(VoxelMatrix, PastingABlockThatDoesNotFitStopsAtThatPlane)
{
    VoxelMatrix<int> m(3, 3, 3);
    m.setZeros();
    VoxelMatrix<int> block(2, 2, 2);
    block.setOnes();
    EXPECT_PLEXAN_THROW(m.paste(2, 0, 0, block), SizeError, "void Matrix<T>::paste(...)",
                        "Cannot paste block at specified position");
    EXPECT_PLEXAN_THROW(m.paste(0, -1, 0, block), SizeError, "void Matrix<T>::paste(...)",
                        "Cannot paste block at specified position");
    EXPECT_EQ(m.sum().sum().sum(), 0);
    m.paste(1, 1, 1, block);
    EXPECT_EQ(m.sum().sum().sum(), 8);
    EXPECT_EQ(m(2, 2, 2), 1);
    EXPECT_EQ(m(0, 0, 1), 0);
}

TEST(VoxelMatrix, ApplyAndDivision)
{
    VoxelMatrix<float> m(2, 3, 2);
    m.fill(9.0f);
    m.apply([](float v) { return std::sqrt(v); });
    EXPECT_FLOAT_EQ(m(1, 2, 1), 3.0f);
    // Division by the scalar, not multiplication by its inverse: 1 / 3 and
    // 1 x (1 / 3) differ in the last bit for some values.
    VoxelMatrix<double> d(1, 1, 1);
    d(0, 0, 0) = 49.0;
    d /= 49.0;
    EXPECT_EQ(d(0, 0, 0), 1.0);
    VoxelMatrix<int> i(1, 2, 1);
    i.fill(7);
    EXPECT_PLEXAN_THROW(i /= 0, MathError, "void VoxelMatrix<T>::operator/=(const T&)", "Division by zero");
    EXPECT_EQ(i(0, 1, 0), 7);
}

TEST(VoxelMatrix, SwapAndCopiesAreDeep)
{
    std::mt19937 rng(16);
    VoxelMatrix<int> a = randomVoxelMatrix<int>(2, 3, 2, rng);
    VoxelCalibration c;
    c.setVoxelDepth(4.0f);
    a.setVoxelCalibration(c);
    VoxelMatrix<int> b;
    const VoxelMatrix<int> original(a);
    b = a;
    b(0, 0, 0) = 1000;
    EXPECT_EQ(a, original);
    a.swap(b);
    EXPECT_EQ(a(0, 0, 0), 1000);
    EXPECT_EQ(b, original);
    EXPECT_EQ(b.getVoxelCalibration(), c);
    VoxelMatrix<int> moved(std::move(b));
    EXPECT_EQ(moved, original);
}

TEST(VoxelMatrix, PrintWritesEachPlane)
{
    VoxelMatrix<int> m(1, 2, 2);
    m.setZeros();
    std::ostringstream out;
    m.print("volume", out);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("volume\n-- Plane 0\n", 0), 0u) << text;
    EXPECT_NE(text.find("-- Plane 1\n"), std::string::npos) << text;
}
