#include "imageprocessing/isodatathresholding.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

Vector<unsigned int> emptyHistogram(int n)
{
    Vector<unsigned int> h(static_cast<unsigned int>(n));
    h.setZeros();
    return h;
}

// Whether t is a fixed point of the isodata rule on h: the truncated middle
// of the means below and from t is t itself.
bool isFixedPoint(const Vector<unsigned int>& h, int t)
{
    double n1 = 0, s1 = 0, n2 = 0, s2 = 0;
    for (int i = 0; i < h.getSize(); ++i)
        (i < t ? n1 : n2) += h[i], (i < t ? s1 : s2) += static_cast<double>(h[i]) * i;
    return n1 > 0 && n2 > 0 && static_cast<int>((s1 / n1 + s2 / n2) / 2) == t;
}

TEST(IsodataThresholding, HistogramEdgeCases)
{
    auto split = [](std::initializer_list<std::pair<int, unsigned int>> bins) {
        Vector<unsigned int> h = emptyHistogram(256);
        for (const auto& [bin, count] : bins)
            h[bin] = count;
        return IsodataThresholding<float>().computeThreshold(h);
    };
    EXPECT_EQ(split({}), 0u);
    EXPECT_EQ(split({{77, 12}}), 77u);
    EXPECT_EQ(split({{50, 1000}, {150, 1000}}), 100u);
    // Two neighbouring bins: the split falls between them.
    EXPECT_EQ(split({{40, 5}, {41, 500}}), 41u);
    // A split that moves down to the first occupied bin stops just above it.
    EXPECT_EQ(split({{0, 1000}, {1, 1000}, {2, 1}}), 1u);
}

TEST(IsodataThresholding, RandomBimodalHistogramsGiveFixedPointsBetweenThePeaks)
{
    std::mt19937 rng(17);
    IsodataThresholding<double> isodata;
    for (int trial = 0; trial < 200; ++trial) {
        std::uniform_int_distribution<int> centre(10, 245);
        int a = centre(rng), b = centre(rng);
        if (std::abs(a - b) < 30)
            continue;
        if (a > b)
            std::swap(a, b);
        std::normal_distribution<double> low(a, 6), high(b, 6);
        std::uniform_int_distribution<int> share(200, 5000);
        Vector<unsigned int> h = emptyHistogram(256);
        for (int n = share(rng); n > 0; --n)
            ++h[std::clamp(static_cast<int>(std::lround(low(rng))), 0, 255)];
        for (int n = share(rng); n > 0; --n)
            ++h[std::clamp(static_cast<int>(std::lround(high(rng))), 0, 255)];
        const int t = static_cast<int>(isodata.computeThreshold(h));
        EXPECT_TRUE(isFixedPoint(h, t)) << "trial " << trial << ": " << t;
        EXPECT_GT(t, a);
        EXPECT_LE(t, b);
    }
}

template <typename T>
class IsodataTyped : public ::testing::Test {};
using IsodataTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(IsodataTyped, IsodataTypes);

// The threshold of a matrix is the split of the histogram the matrix gives,
// binned exactly as Matrix::histogram bins it (values on bin edges, below the
// origin and past the last bin included), and apply binarises at it.
TYPED_TEST(IsodataTyped, MatrixThresholdUsesTheMatrixHistogram)
{
    using T = TypeParam;
    std::mt19937 rng(2);
    for (int trial = 0; trial < 20; ++trial) {
        IsodataThresholding<T> isodata;
        if (trial % 2) {
            if constexpr (std::is_same_v<T, int>)
                isodata.setBins(-7, 3, 40);
            else
                isodata.setBins(T(-3.25), T(0.75), 100);
        }
        std::uniform_int_distribution<int> pick(0, 3);
        std::normal_distribution<double> low(40, 15), high(170, 25);
        PixelMatrix<T> m(37, 29);
        for (int i = 0; i < 37; ++i)
            for (int j = 0; j < 29; ++j) {
                switch (pick(rng)) {
                case 0: // on a bin edge
                    m(i, j) = static_cast<T>(isodata.getOrigin() + static_cast<T>(pick(rng) * 7) * isodata.getBinWidth());
                    break;
                case 1:
                    m(i, j) = static_cast<T>(low(rng));
                    break;
                default:
                    m(i, j) = static_cast<T>(high(rng) * (trial % 3 == 0 ? 3 : 1)); // past the last bin
                }
            }
        const T expected = static_cast<T>(
            static_cast<T>(isodata.computeThreshold(m.histogram(isodata.getOrigin(), isodata.getBinWidth(),
                                                                isodata.getNumBins())))
                * isodata.getBinWidth()
            + isodata.getOrigin());
        EXPECT_EQ(isodata.computeThreshold(m), expected) << "trial " << trial;

        VoxelMatrix<T> v(37, 29, 2);
        v[0] = m;
        v[1] = m;
        EXPECT_EQ(isodata.computeThreshold(v), expected);
        isodata.apply(v);
        EXPECT_EQ(isodata.getThreshold(), expected);
        for (int i = 0; i < 37; ++i)
            for (int j = 0; j < 29; ++j)
                ASSERT_EQ(v(i, j, 1), m(i, j) < expected ? T(0) : T(255));
    }
}

TEST(IsodataThresholding, NotANumberCountsInTheLastBin)
{
    IsodataThresholding<float> isodata;
    PixelMatrix<float> m(1, 3);
    m(0, 0) = 10.0f;
    m(0, 1) = std::numeric_limits<float>::quiet_NaN();
    m(0, 2) = 10.0f;
    // Bins 10 and 255 occupied: the split is (10 + 255) / 2 = 132 and stays.
    EXPECT_EQ(isodata.computeThreshold(m), 131.5f);
    EXPECT_EQ(isodata.computeThreshold(m), isodata.computeThreshold(m.histogram(-0.5f, 1.0f, 256)) - 0.5f);
}

} // namespace
