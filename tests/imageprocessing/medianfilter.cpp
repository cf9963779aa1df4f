#include "imageprocessing/medianfilter.h"

#include "randomimages.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <sstream>

using plexan::test::randomPixels;
using plexan::test::randomVoxels;

namespace {

// Interior elements take the median of their sorted window, border elements
// keep their value.
template <typename T>
PixelMatrix<T> referenceMedian(const PixelMatrix<T>& in, int h)
{
    PixelMatrix<T> out(in);
    std::vector<T> window;
    for (int i = h; i < in.getSize1() - h; ++i)
        for (int j = h; j < in.getSize2() - h; ++j) {
            window.clear();
            for (int a = -h; a <= h; ++a)
                for (int b = -h; b <= h; ++b)
                    window.push_back(in(i + a, j + b));
            std::sort(window.begin(), window.end());
            out(i, j) = window[window.size() / 2];
        }
    return out;
}

template <typename T>
VoxelMatrix<T> referenceMedian(const VoxelMatrix<T>& in, int h)
{
    VoxelMatrix<T> out(in);
    std::vector<T> window;
    for (int k = h; k < in.getSize3() - h; ++k)
        for (int i = h; i < in.getSize1() - h; ++i)
            for (int j = h; j < in.getSize2() - h; ++j) {
                window.clear();
                for (int c = -h; c <= h; ++c)
                    for (int a = -h; a <= h; ++a)
                        for (int b = -h; b <= h; ++b)
                            window.push_back(in(i + a, j + b, k + c));
                std::sort(window.begin(), window.end());
                out(i, j, k) = window[window.size() / 2];
            }
    return out;
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

TYPED_TEST(MedianFilterTest, VoxelsEqualSortedWindows)
{
    using T = TypeParam;
    std::mt19937 rng(8);
    for (int h : {1, 2}) {
        const VoxelMatrix<T> in = randomVoxels<T>(9, 11, 7, rng, 0, 100);
        VoxelMatrix<T> out(in);
        MedianFilter<T>(h).apply(out);
        EXPECT_TRUE(out == referenceMedian(in, h)) << "h = " << h;
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

TEST(MedianFilter, KeepsTheBorder)
{
    std::mt19937 rng(10);
    const PixelMatrix<int> in = randomPixels<int>(6, 8, rng, 0, 1000);
    PixelMatrix<int> out(in);
    MedianFilter<int>(1).apply(out);
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(out(0, j), in(0, j));
        EXPECT_EQ(out(5, j), in(5, j));
    }
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(out(i, 0), in(i, 0));
        EXPECT_EQ(out(i, 7), in(i, 7));
    }
}

TEST(MedianFilter, SortTableStaysSorted)
{
    MedianFilter<float> filter(1);
    filter.setup2DCase();
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> d(-100, 100);
    std::vector<float> slots(9, std::numeric_limits<float>::max());
    for (int step = 0; step < 500; ++step) {
        const unsigned slot = rng() % 9;
        const float value = step % 7 == 0 ? slots[(slot + 1) % 9] : d(rng); // ties too
        filter.replaceItem(slot, value);
        slots[slot] = value;
        std::vector<float> sorted(slots);
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(filter.getMedian(), sorted[4]);
    }
    // Infinite values stay within the table.
    filter.replaceItem(0, std::numeric_limits<float>::infinity());
    filter.replaceItem(1, -std::numeric_limits<float>::infinity());
    std::ostringstream table;
    filter.printSortTable(table);
    EXPECT_NE(table.str().find("inf"), std::string::npos);
}

} // namespace
