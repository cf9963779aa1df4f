#include "image/voxelmatrix.h"

#include "imagesupport.h"

#include <cmath>
#include <limits>
#include <sstream>

using namespace imagetest;

namespace {

template <typename T>
class VoxelMatrixTyped : public ::testing::Test {};
using VoxelTypes =
    ::testing::Types<char, unsigned char, short, unsigned short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(VoxelMatrixTyped, VoxelTypes);

TYPED_TEST(VoxelMatrixTyped, ProjectionsRangeAndHistogramsAgreeWithBruteForce)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    // Single rows, columns and planes included. Histogram: origin 10, width
    // 7, 6 bins, so values below 10 go to bin 0 and from 45 on to the last.
    for (const auto& s : {std::array{1, 1, 1}, std::array{2, 3, 4}, std::array{5, 1, 3}, std::array{1, 7, 2},
                          std::array{4, 4, 1}, std::array{6, 5, 7}}) {
        const VoxelMatrix<T> m = randomVoxelMatrix<T>(s[0], s[1], s[2], rng, 0, 60);
        const VoxelMatrix<T> mask = randomVoxelMatrix<T>(s[0], s[1], s[2], rng, 0, 1);
        const PixelMatrix<T> sum = m.sum(), lo = m.min(), hi = m.max();
        ASSERT_EQ(sum.getSize(), (Vector<int>{s[0], s[1]}));
        T vmin = m(0, 0, 0), vmax = m(0, 0, 0);
        Vector<unsigned int> all(6u), masked(6u);
        all.setZeros();
        masked.setZeros();
        for (int i = 0; i < s[0]; ++i)
            for (int j = 0; j < s[1]; ++j) {
                T total = 0, least = m(i, j, 0), most = m(i, j, 0);
                for (int k = 0; k < s[2]; ++k) {
                    total = static_cast<T>(total + m(i, j, k)); // wraps like the projection for small types
                    least = std::min(least, m(i, j, k));
                    most = std::max(most, m(i, j, k));
                    const int b = referenceBin(m(i, j, k), T(10), T(7), 6);
                    ++all[b];
                    masked[b] += mask(i, j, k) != T(0);
                }
                EXPECT_EQ(sum(i, j), total);
                EXPECT_EQ(lo(i, j), least);
                EXPECT_EQ(hi(i, j), most);
                vmin = std::min(vmin, least);
                vmax = std::max(vmax, most);
            }
        EXPECT_EQ(m.range(), (Vector<T>{vmin, vmax}));
        EXPECT_EQ(m.histogram(T(10), T(7), 6), all);
        EXPECT_EQ(m.histogram(T(10), T(7), 6, mask), masked);
    }
    EXPECT_PLEXAN_THROW(VoxelMatrix<T>(5, 6, 4).histogram(0, 1, 6, VoxelMatrix<T>(5, 6, 3)), SizeError,
                        "Vectorui VoxelMatrix<T>::histogram(...)", "Incompatible mask size");
    // Empty matrices, and planes without rows, have nothing to project.
    for (const VoxelMatrix<T>& empty : {VoxelMatrix<T>(), VoxelMatrix<T>(0, 4, 3)}) {
        EXPECT_EQ(empty.cat().getSize(), 0);
        EXPECT_PLEXAN_THROW(empty.sum(), SizeError, "PixelMatrix<T> VoxelMatrix<T>::sum() const",
                            "This matrix is empty");
        EXPECT_PLEXAN_THROW(empty.range(), SizeError, "Vector<T> VoxelMatrix<T>::range() const",
                            "This matrix is empty.");
    }
}

TYPED_TEST(VoxelMatrixTyped, CatCopyPasteAndReverseMoveTheRightElements)
{
    using T = TypeParam;
    std::mt19937 rng(13);
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(4, 5, 3, rng);
    const Vector<T> flat = m.cat();
    ASSERT_EQ(flat.getSize(), 60);
    const VoxelMatrix<T> block = m.copy(1, 2, 2, 4, 1, 2);
    ASSERT_EQ(block.getSize(), (Vector<int>{2, 3, 2}));
    // Pasting the block back into a filled matrix restores its place only.
    VoxelMatrix<T> target(m);
    target.fill(T(7));
    target.paste(1, 2, 1, block);
    // Odd number of planes: the middle one stays.
    VoxelMatrix<T> reversed(m);
    reversed.reverse();
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 5; ++j) {
                EXPECT_EQ(flat[(k * 4 + i) * 5 + j], m(i, j, k));
                const bool inside = k >= 1 && i >= 1 && i <= 2 && j >= 2;
                EXPECT_EQ(target(i, j, k), inside ? m(i, j, k) : T(7));
                EXPECT_TRUE(!inside || block(i - 1, j - 2, k - 1) == m(i, j, k));
                EXPECT_EQ(reversed(i, j, k), m(i, j, 2 - k));
            }
    EXPECT_EQ(m.copy(0, 3, 0, 4, 0, 2), m);
}

TYPED_TEST(VoxelMatrixTyped, ArithmeticAndConversionsAgreeElementByElement)
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
    const VoxelMatrix<double> d = a.template toType<double>();
    const VoxelMatrix<unsigned char> c = a.template toType<unsigned char>();
    for (int k = 0; k < 5; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) {
                const T x = a(i, j, k), y = b(i, j, k);
                EXPECT_EQ(sum(i, j, k), static_cast<T>(x + y));
                EXPECT_EQ(difference(i, j, k), static_cast<T>(x - y));
                EXPECT_EQ(product(i, j, k), static_cast<T>(x * y));
                EXPECT_EQ(plus(i, j, k), static_cast<T>(x + T(3)));
                EXPECT_EQ(minus(i, j, k), static_cast<T>(x - T(1)));
                EXPECT_EQ(times(i, j, k), static_cast<T>(x * T(2)));
                EXPECT_EQ(divided(i, j, k), static_cast<T>(x / T(2)));
                EXPECT_EQ(d(i, j, k), static_cast<double>(x));
                EXPECT_EQ(c(i, j, k), static_cast<unsigned char>(x));
            }
    EXPECT_EQ(d.template toType<T>(), a);
    for (const auto& other : {VoxelMatrix<T>(3, 4, 4), VoxelMatrix<T>(4, 3, 5)}) {
        VoxelMatrix<T> e(a);
        EXPECT_PLEXAN_THROW(e *= other, SizeError, "void VoxelMatrix<T>::operator*=(const VoxelMatrix&)",
                            "This matrix and matrix argument differ in size");
        EXPECT_EQ(e, a);
    }
}

} // namespace

TEST(VoxelMatrix, SizesEqualityAndScalarOperations)
{
    VoxelMatrix<float> m(4, 3, 2);
    EXPECT_PLEXAN_THROW(m.getSize(4), ValueError, "unsigned int VoxelMatrix<T>::getSize(...) const",
                        "Invalid argument value (neither 1, 2 or 3)");
    EXPECT_PLEXAN_THROW(m.setSize(Vector<int>{1, 2}), SizeError, "void VoxelMatrix<T>::setSize(const Vector<int>&)",
                        "Size vector does not contain three values as expected");
    EXPECT_TRUE(m.contains(3, 2, 1));
    EXPECT_FALSE(m.contains(4, 2, 1) || m.contains(3, 3, 1) || m.contains(3, 2, 2) || m.contains(-1, 0, 0));

    // A NaN element makes matrices unequal, except an object with itself.
    VoxelMatrix<double> a(2, 2, 2), b(2, 2, 2);
    a.setOnes();
    b.setOnes();
    EXPECT_EQ(a, b);
    b(1, 1, 1) = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(a, b);
    EXPECT_NE(b, VoxelMatrix<double>(b));
    EXPECT_TRUE(b == b);
    EXPECT_NE(a, VoxelMatrix<double>(2, 2, 3));

    VoxelMatrix<int> c(3, 3, 3), block(2, 2, 2);
    c.setZeros();
    block.setOnes();
    EXPECT_PLEXAN_THROW(c.paste(0, -1, 0, block), SizeError, "void Matrix<T>::paste(...)",
                        "Cannot paste block at specified position");
    EXPECT_THROW(c.paste(2, 0, 0, block), SizeError);
    EXPECT_EQ(c.cat().sum(), 0);
    EXPECT_PLEXAN_THROW(block /= 0, MathError, "void VoxelMatrix<T>::operator/=(const T&)", "Division by zero");
    EXPECT_EQ(block.cat().sum(), 8);
    // Division by the scalar, not multiplication by its inverse.
    VoxelMatrix<double> d(1, 1, 1);
    d(0, 0, 0) = 49.0;
    d /= 49.0;
    EXPECT_EQ(d(0, 0, 0), 1.0);

    std::ostringstream out;
    VoxelMatrix<int>(1, 2, 2).print("volume", out);
    EXPECT_EQ(out.str().rfind("volume\n-- Plane 0\n", 0), 0u) << out.str();
    EXPECT_NE(out.str().find("-- Plane 1\n"), std::string::npos) << out.str();
}

// A volume of 4 MiB or more keeps its voxels in one block and lends each
// plane its part. Copies are deep, moves keep the block, a plane moved out
// outlives the volume, a plane given another size leaves the block, and
// reversing exchanges whole planes.
TEST(VoxelMatrix, LargeVolumeLendsItsPlanesOneBlock)
{
    std::mt19937 rng(5);
    const int s1 = 64, s2 = 256, s3 = 70; // 4.6 MB of floats
    const VoxelMatrix<float> source = randomVoxelMatrix<float>(s1, s2, s3, rng);
    VoxelMatrix<float> v(source);
    EXPECT_EQ(v, source);
    for (int k = 0; k + 1 < s3; ++k) {
        ASSERT_TRUE(v[k].isLent());
        ASSERT_EQ(v[k + 1][0].data(), v[k][s1 - 1].data() + s2) << "plane " << k;
    }
    EXPECT_NE(v[0][0].data(), source[0][0].data());

    v.reverse();
    for (int k = 0; k < s3; ++k)
        ASSERT_EQ(v[k], source[s3 - 1 - k]) << "plane " << k;
    EXPECT_TRUE(v[0].isLent());
    v.reverse();

    const float* first = v[0][0].data();
    VoxelMatrix<float> moved(std::move(v));
    EXPECT_EQ(moved[0][0].data(), first);
    EXPECT_EQ(moved, source);

    PixelMatrix<float> plane;
    {
        VoxelMatrix<float> holder(std::move(moved));
        plane = std::move(holder[3]);
        EXPECT_EQ(holder[3], source[3]);
        PixelMatrix<float> ones(s1, s2);
        ones.setOnes();
        holder[4] = std::move(ones);
        EXPECT_TRUE(holder[4].isLent());
        EXPECT_EQ(holder(0, 0, 4), 1.0f);
        holder[5].setSize(2, 2);
        EXPECT_FALSE(holder[5].isLent());
        holder[5].setZeros();
        EXPECT_EQ(holder[6], source[6]);
        holder.setSize(s1, s2, 2); // drops the block
        EXPECT_EQ(holder.getSize3(), 2);
        EXPECT_FALSE(holder[0].isLent());
    }
    EXPECT_EQ(plane, source[3]);
}
