#include "imageprocessing/maxfilter.h"
#include "imageprocessing/minfilter.h"
#include "numerics/parallel.h"

#include "randomimages.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <type_traits>

using plexan::test::randomMask;
using plexan::test::randomPixels;
using plexan::test::randomVoxels;

namespace {

// The extreme over the clipped box around (i, j, k), half-sizes h in the
// plane and hk along k. For a box this is what the filter computes one axis
// after the other.
template <bool Maximum, typename T>
T boxExtreme(const VoxelMatrix<T>& v, int i, int j, int k, int h, int hk)
{
    T e = v(i, j, k);
    for (int c = k - hk; c <= k + hk; ++c)
        for (int a = i - h; a <= i + h; ++a)
            for (int b = j - h; b <= j + h; ++b)
                if (v.contains(a, b, c) && (Maximum ? v(a, b, c) > e : v(a, b, c) < e))
                    e = v(a, b, c);
    return e;
}

// One masked pass along axis 1, 2 or 3 by its definition: an element outside
// the mask keeps its value, one inside takes the extreme of the elements
// inside the mask in its clipped window along the axis.
template <bool Maximum, typename T>
VoxelMatrix<T> maskedPass(const VoxelMatrix<T>& v, const VoxelMatrix<T>& mask, int h, int axis)
{
    VoxelMatrix<T> out(v);
    const int da = axis == 1, db = axis == 2, dc = axis == 3;
    for (int k = 0; k < v.getSize3(); ++k)
        for (int i = 0; i < v.getSize1(); ++i)
            for (int j = 0; j < v.getSize2(); ++j) {
                if (mask(i, j, k) == T(0))
                    continue;
                T e = v(i, j, k);
                for (int d = -h; d <= h; ++d) {
                    const int a = i + d * da, b = j + d * db, c = k + d * dc;
                    if (v.contains(a, b, c) && mask(a, b, c) != T(0) && (Maximum ? v(a, b, c) > e : v(a, b, c) < e))
                        e = v(a, b, c);
                }
                out(i, j, k) = e;
            }
    return out;
}

template <bool Maximum, typename T>
VoxelMatrix<T> reference(const VoxelMatrix<T>& v, std::type_identity_t<const VoxelMatrix<T>*> mask, int h,
                         bool planar)
{
    if (mask) {
        VoxelMatrix<T> out = maskedPass<Maximum>(maskedPass<Maximum>(v, *mask, h, 2), *mask, h, 1);
        return planar ? out : maskedPass<Maximum>(out, *mask, h, 3);
    }
    VoxelMatrix<T> out(v);
    for (int k = 0; k < v.getSize3(); ++k)
        for (int i = 0; i < v.getSize1(); ++i)
            for (int j = 0; j < v.getSize2(); ++j)
                out(i, j, k) = boxExtreme<Maximum>(v, i, j, k, h, planar ? 0 : h);
    return out;
}

template <typename T>
VoxelMatrix<T> asVolume(const PixelMatrix<T>& m)
{
    VoxelMatrix<T> v(m.getSize1(), m.getSize2(), 1);
    v[0] = m;
    return v;
}

template <typename T>
class ExtremeFilterTest : public ::testing::Test {};
using RankTypes = ::testing::Types<short, unsigned short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(ExtremeFilterTest, RankTypes);

TYPED_TEST(ExtremeFilterTest, PixelsEqualWindowExtremes)
{
    using T = TypeParam;
    std::mt19937 rng(4);
    // Windows of 3 to 17 elements: spans doubled one to four times, the two
    // spans of a window overlapping by one element (3, 7, 15) or by more.
    for (int h : {1, 2, 3, 5, 7, 8})
        for (auto [rows, columns] : {std::pair{1, 12}, std::pair{12, 1}, std::pair{6, 5}, std::pair{23, 70},
                                     std::pair{90, 37}}) {
            const PixelMatrix<T> in = randomPixels<T>(rows, columns, rng, 0, 1000);
            const PixelMatrix<T> mask = randomMask<T>(rows, columns, rng);
            const VoxelMatrix<T> volume = asVolume(in);
            const VoxelMatrix<T> maskVolume = asVolume(mask);

            PixelMatrix<T> lo(in), hi(in), maskedLo(in), maskedHi(in);
            MinFilter<T>(h).apply(lo);
            MaxFilter<T>(h).apply(hi);
            MinFilter<T>(h).apply(maskedLo, mask);
            MaxFilter<T> maxFilter(h);
            maxFilter.setMask(mask);
            maxFilter.apply(maskedHi);
            EXPECT_EQ(lo, (reference<false>(volume, nullptr, h, true)[0])) << rows << "x" << columns << " h " << h;
            EXPECT_EQ(hi, (reference<true>(volume, nullptr, h, true)[0])) << rows << "x" << columns << " h " << h;
            EXPECT_EQ(maskedLo, (reference<false>(volume, &maskVolume, h, true)[0]));
            EXPECT_EQ(maskedHi, (reference<true>(volume, &maskVolume, h, true)[0]));
        }
}

TYPED_TEST(ExtremeFilterTest, VoxelsEqualWindowExtremes)
{
    using T = TypeParam;
    std::mt19937 rng(5);
    for (int h : {1, 2, 4})
        for (auto [s1, s2, s3] : {std::tuple{7, 8, 9}, std::tuple{1, 1, 11}, std::tuple{15, 36, 5}}) {
            const VoxelMatrix<T> in = randomVoxels<T>(s1, s2, s3, rng, 0, 1000);
            const VoxelMatrix<T> mask = randomMask<T>(s1, s2, s3, rng);
            VoxelMatrix<T> lo(in), hi(in), maskedLo(in), maskedHi(in);
            MinFilter<T>(h).apply(lo);
            MaxFilter<T>(h).apply(hi);
            MinFilter<T> minFilter(h);
            minFilter.setMask(mask);
            minFilter.apply(maskedLo);
            MaxFilter<T>(h).apply(maskedHi, mask);
            EXPECT_TRUE(lo == (reference<false>(in, nullptr, h, false)));
            EXPECT_TRUE(hi == (reference<true>(in, nullptr, h, false)));
            EXPECT_TRUE(maskedLo == (reference<false>(in, &mask, h, false)));
            EXPECT_TRUE(maskedHi == (reference<true>(in, &mask, h, false)));
        }
}

// Unmasked volumes are filtered in place: long columns and long lines
// along k go through the kernel in several blocks of columns, each
// overwriting its own lines as it reads them. Regression: a block writing an
// output before its window has read that line, or a block cut in the wrong
// place, changes the extremes next to the cut.
TEST(ExtremeFilter, LongColumnsAndPlaneLinesInBlocksEqualWindowExtremes)
{
    std::mt19937 rng(7);
    for (auto [s1, s2, s3] : {std::tuple{600, 130, 2}, std::tuple{2, 130, 600}}) {
        const VoxelMatrix<float> in = randomVoxels<float>(s1, s2, s3, rng, -1000, 1000);
        VoxelMatrix<float> lo(in), hi(in);
        MinFilter<float>(1).apply(lo);
        MaxFilter<float>(1).apply(hi);
        EXPECT_TRUE(lo == (reference<false>(in, nullptr, 1, false))) << s1 << "x" << s2 << "x" << s3;
        EXPECT_TRUE(hi == (reference<true>(in, nullptr, 1, false))) << s1 << "x" << s2 << "x" << s3;
        const VoxelMatrix<double> wide = randomVoxels<double>(s1, 70, s3, rng, -1000, 1000);
        VoxelMatrix<double> wideLo(wide);
        MinFilter<double>(1).apply(wideLo);
        EXPECT_TRUE(wideLo == (reference<false>(wide, nullptr, 1, false))) << s1 << "x70x" << s3;
    }
}

// Unmasked volumes go down columns and along k by spans doubled in a
// stream of lines: windows of 5 to 17 lines take two to four levels, and
// lines shorter than the window (6 columns, 5 planes) only see the neutral
// padding past their ends.
TEST(ExtremeFilter, StreamedSpansDownColumnsAndAlongPlanesEqualWindowExtremes)
{
    std::mt19937 rng(9);
    for (int h : {2, 3, 7, 8}) {
        const VoxelMatrix<float> in = randomVoxels<float>(18, 6, 17, rng, -1000, 1000);
        VoxelMatrix<float> lo(in), hi(in);
        MinFilter<float>(h).apply(lo);
        MaxFilter<float>(h).apply(hi);
        EXPECT_TRUE(lo == (reference<false>(in, nullptr, h, false))) << "h = " << h;
        EXPECT_TRUE(hi == (reference<true>(in, nullptr, h, false))) << "h = " << h;
        const VoxelMatrix<double> planes = randomVoxels<double>(5, 19, 5, rng, -1000, 1000);
        VoxelMatrix<double> planesLo(planes);
        MinFilter<double>(h).apply(planesLo);
        EXPECT_TRUE(planesLo == (reference<false>(planes, nullptr, h, false))) << "h = " << h;
    }
    // A window of 101 needs 106 lines of workspace: rows of 620 floats go
    // down their columns in blocks, filtered along first. The reference is
    // the box by its three one-dimensional passes (a mask of ones).
    const VoxelMatrix<float> wide = randomVoxels<float>(3, 620, 2, rng, -1000, 1000);
    VoxelMatrix<float> ones(3, 620, 2);
    ones.fill(1.0f);
    VoxelMatrix<float> wideHi(wide);
    MaxFilter<float>(50).apply(wideHi);
    const VoxelMatrix<float> expected =
        maskedPass<true>(maskedPass<true>(maskedPass<true>(wide, ones, 50, 2), ones, 50, 1), ones, 50, 3);
    EXPECT_TRUE(wideHi == expected);
}

// Each thread keeps its workspace from one chunk to the next and from one
// volume to the next. Regression: a workspace left by a larger volume (or
// by the other direction) whose old contents reach a smaller one's
// extremes.
TEST(ExtremeFilter, WorkspacesKeptByThreadsEqualWindowExtremes)
{
    using plexan::parallel::ThreadCountScope;
    std::mt19937 rng(8);
    for (int threads : {1, 2, 4}) {
        ThreadCountScope scope(threads);
        for (auto [s1, s2, s3, h] : {std::tuple{150, 90, 7, 1}, std::tuple{6, 5, 4, 2}, std::tuple{3, 40, 60, 1},
                                     std::tuple{9, 11, 10, 3}}) {
            const VoxelMatrix<float> in = randomVoxels<float>(s1, s2, s3, rng, -500, 500);
            VoxelMatrix<float> lo(in), hi(in);
            MinFilter<float>(h).apply(lo);
            MaxFilter<float>(h).apply(hi);
            EXPECT_TRUE(lo == (reference<false>(in, nullptr, h, false)))
                << s1 << "x" << s2 << "x" << s3 << " h = " << h << ", " << threads << " threads";
            EXPECT_TRUE(hi == (reference<true>(in, nullptr, h, false)))
                << s1 << "x" << s2 << "x" << s3 << " h = " << h << ", " << threads << " threads";
        }
    }
}

TYPED_TEST(ExtremeFilterTest, LinesWithAndWithoutMask)
{
    using T = TypeParam;
    MinFilter<T> minFilter(1);
    Vector<T> out;
    minFilter.apply(Vector<T>{5, 1, 4, 3, 2}, out);
    EXPECT_EQ(out, (Vector<T>{1, 1, 1, 2, 2}));
    MaxFilter<T> maxFilter(1);
    maxFilter.apply(Vector<T>{5, 1, 4, 3, 2}, out);
    EXPECT_EQ(out, (Vector<T>{5, 5, 4, 4, 3}));
    // Masked elements keep their value and are ignored by their neighbours.
    minFilter.apply(Vector<T>{5, 1, 4, 3, 2}, out, Vector<T>{1, 0, 1, 1, 0});
    EXPECT_EQ(out, (Vector<T>{5, 1, 3, 3, 2}));
    EXPECT_PLEXAN_THROW(minFilter.apply(Vector<T>{1, 2}, out, Vector<T>{1}), SizeError,
                        "void MinFilter<T>::apply(const Vector<T>&, Vector<T>&, const Vector<T>&)",
                        "Incompatible mask size");
}

TEST(ExtremeFilter, RefusesBallModeAndIgnoresSmallHalfSizes)
{
    MinFilter<float> filter(0);
    EXPECT_PLEXAN_THROW(filter.setBallMode(true), ProgramError, "void NeighbourhoodFilter::setBallMode(const bool)",
                        "This filter does not accept ball mode");
    std::mt19937 rng(6);
    const PixelMatrix<float> in = randomPixels<float>(5, 5, rng);
    PixelMatrix<float> out(in);
    filter.apply(out);
    EXPECT_EQ(out, in);
}

} // namespace
