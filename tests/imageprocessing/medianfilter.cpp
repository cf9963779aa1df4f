#include "imageprocessing/medianfilter.h"
#include "numerics/parallel.h"

#include "randomimages.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

using plexan::test::randomPixels;
using plexan::test::randomVoxels;

namespace {

// Interior elements take the median of their sorted window (cubic, or
// square in each plane when planar), border elements keep their value.
template <typename T>
VoxelMatrix<T> referenceMedian(const VoxelMatrix<T>& in, int h, bool planar)
{
    VoxelMatrix<T> out(in);
    std::vector<T> window;
    const int hk = planar ? 0 : h;
    for (int k = hk; k < in.getSize3() - hk; ++k)
        for (int i = h; i < in.getSize1() - h; ++i)
            for (int j = h; j < in.getSize2() - h; ++j) {
                window.clear();
                for (int c = -hk; c <= hk; ++c)
                    for (int a = -h; a <= h; ++a)
                        for (int b = -h; b <= h; ++b)
                            window.push_back(in(i + a, j + b, k + c));
                std::sort(window.begin(), window.end());
                out(i, j, k) = window[window.size() / 2];
            }
    return out;
}

template <typename T>
PixelMatrix<T> referenceMedian(const PixelMatrix<T>& in, int h)
{
    VoxelMatrix<T> v(in.getSize1(), in.getSize2(), 1);
    v[0] = in;
    return referenceMedian(v, h, true)[0];
}

template <typename T>
class MedianFilterTest : public ::testing::Test {};
using MedianTypes =
    ::testing::Types<unsigned char, short, unsigned short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(MedianFilterTest, MedianTypes);

TYPED_TEST(MedianFilterTest, PixelsEqualSortedWindows)
{
    using T = TypeParam;
    std::mt19937 rng(7);
    for (int h : {1, 2, 3})
        for (auto [rows, columns] : {std::pair{2, 9}, std::pair{7, 7}, std::pair{19, 31}, std::pair{40, 12}}) {
            // Few distinct values make many ties.
            const PixelMatrix<T> in = randomPixels<T>(rows, columns, rng, 0, h == 2 ? 5 : 200);
            PixelMatrix<T> out(in);
            MedianFilter<T>(h).apply(out);
            EXPECT_EQ(out, referenceMedian(in, h)) << rows << "x" << columns << " h = " << h;
        }
}

// The 3 x 3 filter works through each row in blocks of columns, in place: a
// block that read an already filtered element of the previous block, or
// dropped the last columns of a row, shows only on rows wider than a block.
// A block is a kilobyte of a row: 128 to 1024 columns by type, each edge
// met here with one to four columns beyond it.
TYPED_TEST(MedianFilterTest, WideRowsEqualSortedWindows)
{
    using T = TypeParam;
    std::mt19937 rng(17);
    for (int columns : {3, 4, 5, 33, 129, 130, 131, 132, 257, 258, 259, 260, 513, 514, 515, 516, 1025, 1026, 1027,
                        1028, 2100}) {
        const PixelMatrix<T> in = randomPixels<T>(4, columns, rng, 0, 250);
        PixelMatrix<T> out(in);
        MedianFilter<T>(1).apply(out);
        EXPECT_EQ(out, referenceMedian(in, 1)) << columns << " columns";
    }
}

// The 3 x 3 filter makes two output rows at a time from one sorted pair of
// input rows, and a last row alone when the interior rows are odd in number:
// a pair that took its rows in the wrong order, read the row above from the
// filtered output, or a lone last row that was skipped or read a filtered
// neighbour, shows on images of every height from 1 to 10 rows (and 1 to 6
// columns, ties everywhere), and on rows wider than a block of columns.
TYPED_TEST(MedianFilterTest, PairsOfRowsEqualSortedWindowsAtEveryHeight)
{
    using T = TypeParam;
    std::mt19937 rng(27);
    for (int rows = 1; rows <= 10; ++rows) {
        for (int columns = 1; columns <= 6; ++columns) {
            const PixelMatrix<T> in = randomPixels<T>(rows, columns, rng, 0, 3);
            PixelMatrix<T> out(in);
            MedianFilter<T>(1).apply(out);
            EXPECT_EQ(out, referenceMedian(in, 1)) << rows << "x" << columns;
        }
        const PixelMatrix<T> wide = randomPixels<T>(rows, 1030, rng, 0, 250);
        PixelMatrix<T> out(wide);
        MedianFilter<T>(1).apply(out);
        EXPECT_EQ(out, referenceMedian(wide, 1)) << rows << " rows of 1030";
    }
}

// Bands of rows are filtered at once, each from the input rows above and
// below it as they were before filtering. A band that read a row its
// neighbour had already filtered, or lost a row at its edges, differs from
// the sorted windows at some thread count; the bands are 8 or 9 rows high
// (even and odd, so some end on a lone row), and the shortest image has
// fewer bands than threads.
TEST(MedianFilter, BandsOnEveryThreadCountEqualSortedWindows)
{
    using plexan::parallel::ThreadCountScope;
    std::mt19937 rng(28);
    for (int h : {1, 3}) {
        for (auto [rows, columns] : {std::pair{12, 40}, std::pair{67, 45}, std::pair{90, 33}}) {
            const PixelMatrix<float> in = randomPixels<float>(rows, columns, rng, 0, 40);
            const PixelMatrix<unsigned char> bytes = randomPixels<unsigned char>(rows, columns, rng, 0, 40);
            const PixelMatrix<float> expected = referenceMedian(in, h);
            const PixelMatrix<unsigned char> expectedBytes = referenceMedian(bytes, h);
            for (int threads : {1, 2, 3, 4}) {
                ThreadCountScope scope(threads);
                PixelMatrix<float> out(in);
                MedianFilter<float>(h).apply(out);
                EXPECT_EQ(out, expected) << rows << "x" << columns << " h = " << h << ", " << threads << " threads";
                PixelMatrix<unsigned char> outBytes(bytes);
                MedianFilter<unsigned char>(h).apply(outBytes);
                EXPECT_EQ(outBytes, expectedBytes)
                    << rows << "x" << columns << " bytes, h = " << h << ", " << threads << " threads";
            }
        }
    }
}

// Every band's first and last rows are copied aside by whichever thread
// needs them first, the band itself or a neighbour. Regressions: a band
// taking its edge rows after the neighbour has filtered them, bands of
// exactly h rows whose edge rows come from the wrong band, a last band
// shorter than the window or of one row, and images of one to three
// interior rows.
TEST(MedianFilter, BandEdgesTakenByEitherNeighbourEqualSortedWindows)
{
    using plexan::parallel::ThreadCountScope;
    std::mt19937 rng(31);
    struct Case {
        int h, rows, columns;
    };
    for (Case c : {Case{1, 3, 9}, Case{1, 4, 9}, Case{1, 5, 9}, Case{1, 17, 21}, Case{1, 18, 21}, Case{1, 19, 21},
                   Case{9, 60, 25}, Case{4, 33, 12}}) {
        const PixelMatrix<float> in = randomPixels<float>(c.rows, c.columns, rng, 0, 60);
        const PixelMatrix<unsigned char> bytes = randomPixels<unsigned char>(c.rows, c.columns, rng, 0, 60);
        const PixelMatrix<float> expected = referenceMedian(in, c.h);
        const PixelMatrix<unsigned char> expectedBytes = referenceMedian(bytes, c.h);
        for (int threads : {1, 2, 3, 4}) {
            ThreadCountScope scope(threads);
            PixelMatrix<float> out(in);
            MedianFilter<float>(c.h).apply(out);
            EXPECT_EQ(out, expected) << c.rows << "x" << c.columns << " h = " << c.h << ", " << threads << " threads";
            PixelMatrix<unsigned char> outBytes(bytes);
            MedianFilter<unsigned char>(c.h).apply(outBytes);
            EXPECT_EQ(outBytes, expectedBytes)
                << c.rows << "x" << c.columns << " bytes, h = " << c.h << ", " << threads << " threads";
        }
    }
}

// The 3 x 3 medians of an image, row after row in one array, border elements
// as they are: sorted windows read element by element from the image.
template <typename T>
std::vector<T> sortedWindows3x3(const PixelMatrix<T>& in)
{
    const int rows = in.getSize1();
    const int columns = in.getSize2();
    std::vector<T> out;
    out.reserve(static_cast<std::size_t>(rows) * columns);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            if (i == 0 || j == 0 || i == rows - 1 || j == columns - 1) {
                out.push_back(in(i, j));
                continue;
            }
            T window[9];
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b)
                    window[3 * a + b] = in(i + a - 1, j + b - 1);
            std::nth_element(window, window + 4, window + 9);
            out.push_back(window[4]);
        }
    return out;
}

template <typename T>
std::vector<T> flat(const PixelMatrix<T>& m)
{
    std::vector<T> out;
    for (int i = 0; i < m.getSize1(); ++i)
        out.insert(out.end(), m[i].begin(), m[i].end());
    return out;
}

// Images of a few megabytes are copied on every thread, each taking a run of
// rows, and the filter that follows bands the same rows among the threads:
// a filter that started before the copy was complete, or read rows another
// thread was still writing, differs from the sorted windows of the source
// at some thread count. Both the copy by construction and by assignment
// onto the previous result.
TEST(MedianFilter, CopiesOfLargeImagesOnEveryThreadCountEqualSortedWindows)
{
    using plexan::parallel::ThreadCountScope;
    std::mt19937 rng(37);
    const auto check = [&](auto tag, int rows, int columns) {
        using T = decltype(tag);
        const PixelMatrix<T> in = randomPixels<T>(rows, columns, rng, 0, 255);
        const std::vector<T> expected = sortedWindows3x3(in);
        for (int threads : {1, 2, 4}) {
            ThreadCountScope scope(threads);
            PixelMatrix<T> out(in);
            MedianFilter<T>(1).apply(out);
            EXPECT_TRUE(flat(out) == expected) << rows << "x" << columns << ", " << threads << " threads, constructed";
            out = in;
            MedianFilter<T>(1).apply(out);
            EXPECT_TRUE(flat(out) == expected) << rows << "x" << columns << ", " << threads << " threads, assigned";
        }
    };
    check((unsigned char)0, 1100, 2048);
    check(float(0), 601, 1000);
}

// Volumes are filtered in chunks of rows of planes at once, each with a sort
// table of its own, from an unfiltered copy: a shared table or a window read
// from already filtered voxels differs from the sorted windows.
TEST(MedianFilter, VolumeChunksOnEveryThreadCountEqualSortedWindows)
{
    using plexan::parallel::ThreadCountScope;
    std::mt19937 rng(29);
    for (int h : {1, 2}) {
        const VoxelMatrix<float> in = randomVoxels<float>(13, 9, 11, rng, 0, 30);
        const VoxelMatrix<float> expected = referenceMedian(in, h, false);
        for (int threads : {1, 2, 3, 4}) {
            ThreadCountScope scope(threads);
            VoxelMatrix<float> out(in);
            MedianFilter<float>(h).apply(out);
            EXPECT_TRUE(out == expected) << "h = " << h << ", " << threads << " threads";
        }
    }
}

TEST(MedianFilter, FloatMediansOfSignedAndInfiniteValuesEqualSortedWindows)
{
    std::mt19937 rng(18);
    std::uniform_real_distribution<float> d(-1e6f, 1e6f);
    std::uniform_int_distribution<int> pick(0, 19);
    for (auto [rows, columns] : {std::pair{3, 700}, std::pair{9, 37}, std::pair{6, 1030}}) {
        PixelMatrix<float> in(rows, columns);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < columns; ++j) {
                const int p = pick(rng);
                in(i, j) = p == 0   ? std::numeric_limits<float>::infinity()
                           : p == 1 ? -std::numeric_limits<float>::infinity()
                           : p == 2 ? std::numeric_limits<float>::lowest()
                                    : d(rng);
            }
        PixelMatrix<float> out(in);
        MedianFilter<float>(1).apply(out);
        EXPECT_EQ(out, referenceMedian(in, 1)) << rows << "x" << columns;
    }
}

TYPED_TEST(MedianFilterTest, VoxelsEqualSortedWindows)
{
    using T = TypeParam;
    std::mt19937 rng(8);
    for (int h : {1, 2}) {
        const VoxelMatrix<T> in = randomVoxels<T>(9, 11, 7, rng, 0, 100);
        VoxelMatrix<T> out(in);
        MedianFilter<T>(h).apply(out);
        EXPECT_TRUE(out == referenceMedian(in, h, false)) << "h = " << h;
    }
}

TYPED_TEST(MedianFilterTest, IterationsRepeatTheFilter)
{
    using T = TypeParam;
    std::mt19937 rng(9);
    const PixelMatrix<T> in = randomPixels<T>(16, 18, rng, 0, 100);
    PixelMatrix<T> out(in);
    MedianFilter<T> filter(1);
    filter.setNumIterations(3);
    filter.apply(out);
    EXPECT_EQ(out, referenceMedian(referenceMedian(referenceMedian(in, 1), 1), 1));
}

} // namespace
