#include "imageprocessing/thresholding.h"

#include "geometry/curve.h"
#include "numerics/progressmonitor.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

template <typename T>
PixelMatrix<T> randomLevels(int rows, int columns, int levels, std::mt19937& rng)
{
    std::uniform_int_distribution<int> d(0, levels - 1);
    PixelMatrix<T> m(rows, columns);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            m(i, j) = static_cast<T>(d(rng)) / static_cast<T>(2); // halves in real types
    return m;
}

struct Recorder : ProgressMonitor {
    std::vector<std::pair<unsigned int, unsigned int>> steps;
    int started = 0, finished = 0;
    void subjectStarted(const std::string&) override { ++started; }
    void subjectFinished(const std::string&) override { ++finished; }
    void subjectProgressed(unsigned int i, unsigned int n) override { steps.emplace_back(i, n); }
};

template <typename T>
class ThresholdingTyped : public ::testing::Test {};
using ThresholdTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(ThresholdingTyped, ThresholdTypes);

TYPED_TEST(ThresholdingTyped, BinarisesLikeTheDefinition)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    for (bool above : {true, false}) {
        const PixelMatrix<T> source = randomLevels<T>(17, 23, 12, rng);
        Thresholding<T> t;
        t.setThreshold(static_cast<T>(5) / static_cast<T>(2)); // 2 for int, present in the data
        t.setForeground(T(9));
        t.setBackground(T(-4));
        t.setForegroundIsAbove(above);
        PixelMatrix<T> m = source;
        t.apply(m);
        VoxelMatrix<T> v(17, 23, 3);
        for (int k = 0; k < 3; ++k)
            v[k] = source;
        v[1](4, 4) = t.getThreshold(); // exactly at the threshold: on the upper side
        t.apply(v);
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 23; ++j) {
                const bool upper = !(source(i, j) < t.getThreshold());
                const T expected = upper == above ? T(9) : T(-4);
                ASSERT_EQ(m(i, j), expected) << i << ", " << j;
                ASSERT_EQ(v(i, j, 2), expected);
            }
        EXPECT_EQ(v(4, 4, 1), above ? T(9) : T(-4));
    }
}

TYPED_TEST(ThresholdingTyped, LevelSetMask)
{
    using T = TypeParam;
    std::mt19937 rng(8);
    const PixelMatrix<T> source = randomLevels<T>(9, 31, 6, rng);
    Thresholding<T> t;
    PixelMatrix<T> m = source;
    const T level = static_cast<T>(2) / static_cast<T>(2);
    t.levelSetMask(m, level);
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 31; ++j)
            ASSERT_EQ(m(i, j), source(i, j) == level ? T(255) : T(0));
    // A level that does not occur leaves only background.
    VoxelMatrix<T> v(9, 31, 2);
    v[0] = source;
    v[1] = source;
    t.levelSetMask(v, T(100));
    EXPECT_EQ(v.range(), (Vector<T>{T(0), T(0)}));
}

TEST(Thresholding, ConstantAtThresholdIsForegroundAndProgressIsPerRow)
{
    Thresholding<float> t;
    t.setThreshold(3.0f);
    Recorder recorder;
    t.addMonitor(recorder);
    VoxelMatrix<float> v(4, 5, 2);
    v.fill(3.0f);
    t.apply(v);
    EXPECT_EQ(v.range(), (Vector<float>{255.0f, 255.0f}));
    EXPECT_EQ(recorder.started, 1);
    EXPECT_EQ(recorder.finished, 1);
    std::vector<std::pair<unsigned int, unsigned int>> steps;
    for (unsigned int n = 1; n <= 8; ++n)
        steps.emplace_back(n, 8u);
    EXPECT_EQ(recorder.steps, steps);
    // Empty matrices are accepted.
    PixelMatrix<float> none;
    t.apply(none);
    VoxelMatrix<float> nothing;
    t.apply(nothing);
}

TEST(Thresholding, ContoursKeepExactlyTheElementsTouchingBackground)
{
    std::mt19937 rng(21);
    std::bernoulli_distribution inside(0.8);
    Thresholding<int> t;
    for (int rows : {1, 2, 3, 10, 25}) {
        PixelMatrix<int> m(rows, 19);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < 19; ++j)
                m(i, j) = inside(rng) ? 255 : 0;
        const PixelMatrix<int> before = m;
        t.contours(m);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < 19; ++j) {
                bool interior = rows >= 3 && i > 0 && i < rows - 1 && j > 0 && j < 18;
                for (int di = -1; di <= 1 && interior; ++di)
                    for (int dj = -1; dj <= 1; ++dj)
                        interior = interior && before(i + di, j + dj) == 255;
                ASSERT_EQ(m(i, j), interior ? 0 : before(i, j)) << rows << ": " << i << ", " << j;
            }
    }
}

// Blobs: a few overlapping discs and squares, with holes punched in some.
PixelMatrix<int> randomBlobs(int rows, int columns, std::mt19937& rng)
{
    PixelMatrix<int> m(rows, columns);
    m.setZeros();
    std::uniform_real_distribution<double> u(0, 1);
    const int count = 1 + static_cast<int>(u(rng) * 6);
    for (int b = 0; b < count; ++b) {
        const double ci = u(rng) * rows, cj = u(rng) * columns, r = 1 + u(rng) * rows / 4;
        const bool hole = b > 0 && u(rng) < 0.3;
        const bool square = u(rng) < 0.3;
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < columns; ++j) {
                const double di = i - ci, dj = j - cj;
                const bool in = square ? std::fabs(di) <= r && std::fabs(dj) <= r : di * di + dj * dj <= r * r;
                if (in)
                    m(i, j) = hole ? 0 : 255;
            }
    }
    return m;
}

// The elements 8-connected to (i, j) through the foreground.
std::set<std::pair<int, int>> component(const PixelMatrix<int>& m, int i, int j)
{
    std::set<std::pair<int, int>> seen{{i, j}};
    std::vector<std::pair<int, int>> stack{{i, j}};
    while (!stack.empty()) {
        const auto [a, b] = stack.back();
        stack.pop_back();
        for (int di = -1; di <= 1; ++di)
            for (int dj = -1; dj <= 1; ++dj)
                if (m.contains(a + di, b + dj) && m(a + di, b + dj) == 255 && seen.insert({a + di, b + dj}).second)
                    stack.push_back({a + di, b + dj});
    }
    return seen;
}

TEST(Thresholding, ExtractCurveFollowsTheOuterBoundaryCounterClockwise)
{
    std::mt19937 rng(4);
    Thresholding<int> t;
    int traced = 0;
    for (int trial = 0; trial < 60; ++trial) {
        const PixelMatrix<int> m = randomBlobs(20 + trial % 13, 24 + trial % 7, rng);
        std::set<std::pair<int, int>> done;
        for (int i = 0; i < m.getSize1(); ++i)
            for (int j = 0; j < m.getSize2(); ++j) {
                if (m(i, j) != 255 || done.count({i, j}))
                    continue;
                // (i, j) is the first element of its component in raster
                // order: the top of its outer boundary.
                const auto region = component(m, i, j);
                done.insert(region.begin(), region.end());
                Curve<int> curve(2, 0, 0, 0, false);
                t.extractCurve(curve, i, j, m, 0);
                SCOPED_TRACE(::testing::Message() << "trial " << trial << ", start " << i << ", " << j);
                ASSERT_GE(curve.getNumVertices(), 1);
                EXPECT_EQ(curve[0], (Vector<int>{i, j}));
                if (region.size() == 1) {
                    EXPECT_EQ(curve.getNumVertices(), 1);
                    continue;
                }
                ++traced;
                // Every side of the polygon, the closing one included, is a
                // straight run of 8-neighbour steps over foreground elements
                // of the region that touch the background or the border.
                int iMin = i, iMax = i, jMin = j, jMax = j;
                long long twiceArea = 0;
                const int n = curve.getNumVertices();
                for (int v = 0; v < n; ++v) {
                    const Vector<int>& a = curve[v];
                    const Vector<int>& b = curve[(v + 1) % n];
                    twiceArea += static_cast<long long>(a[0]) * b[1] - static_cast<long long>(b[0]) * a[1];
                    const int di = b[0] - a[0], dj = b[1] - a[1];
                    const int steps = std::max(std::abs(di), std::abs(dj));
                    ASSERT_TRUE(di == 0 || dj == 0 || std::abs(di) == std::abs(dj))
                        << "side " << v << " is not a straight run";
                    for (int s = 0; s <= steps; ++s) {
                        const int r = a[0] + (steps ? di / steps * s : 0), c = a[1] + (steps ? dj / steps * s : 0);
                        ASSERT_TRUE(region.count({r, c})) << r << ", " << c << " is not in the region";
                        bool touches = false;
                        for (int dr = -1; dr <= 1; ++dr)
                            for (int dc = -1; dc <= 1; ++dc)
                                touches = touches || !m.contains(r + dr, c + dc) || m(r + dr, c + dc) != 255;
                        ASSERT_TRUE(touches) << r << ", " << c << " is inside the region";
                        iMin = std::min(iMin, r), iMax = std::max(iMax, r);
                        jMin = std::min(jMin, c), jMax = std::max(jMax, c);
                    }
                }
                // The outer boundary reaches the extremes of the region and
                // turns counter-clockwise in the (row, column) plane.
                int riMin = i, riMax = i, rjMin = j, rjMax = j;
                for (const auto& [r, c] : region)
                    riMin = std::min(riMin, r), riMax = std::max(riMax, r), rjMin = std::min(rjMin, c),
                    rjMax = std::max(rjMax, c);
                EXPECT_EQ((std::array{iMin, iMax, jMin, jMax}), (std::array{riMin, riMax, rjMin, rjMax}));
                EXPECT_TRUE(riMax == riMin || rjMax == rjMin || twiceArea > 0);

                // A tolerance only merges vertices: fewer corners, all on
                // the same boundary.
                Curve<int> coarse(2, 0, 0, 0, false);
                t.extractCurve(coarse, i, j, m, 3);
                EXPECT_LE(coarse.getNumVertices(), n);
                for (int v = 0; v < coarse.getNumVertices(); ++v)
                    EXPECT_TRUE(region.count({coarse[v][0], coarse[v][1]}));
            }
    }
    EXPECT_GT(traced, 60);
}

TEST(Thresholding, ExtractCurveOfASquareCollapsesItsSides)
{
    PixelMatrix<int> m(6, 7);
    m.setZeros();
    for (int i = 1; i <= 3; ++i)
        for (int j = 2; j <= 4; ++j)
            m(i, j) = 255;
    Thresholding<int> t;
    Curve<int> curve(2, 0, 0, 0, false);
    t.extractCurve(curve, 1, 2, m, 0);
    // Down the left side, along the bottom, up the right side and back along
    // the top: the last straight run ends on the start itself.
    EXPECT_EQ(curve.toVector(), (Vector<int>{1, 2, 3, 2, 3, 4, 1, 4, 1, 2}));
}

} // namespace
