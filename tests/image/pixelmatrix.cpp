#include "image/pixelmatrix.h"

#include "image/image.h"
#include "numerics/randomgenerator.h"

#include "randomfill.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using imagetest::randomPixelMatrix;

namespace {

template <typename T>
class PixelMatrixTyped : public ::testing::Test {};
using PixelTypes = ::testing::Types<char, unsigned char, short, unsigned short, int, unsigned int, float, double,
                                    long double, bool>;
TYPED_TEST_SUITE(PixelMatrixTyped, PixelTypes);

TYPED_TEST(PixelMatrixTyped, FillBorderSetsOnlyTheOuterBand)
{
    using T = TypeParam;
    for (const auto& [rows, cols] : {std::pair{6, 7}, std::pair{1, 5}, std::pair{4, 1}, std::pair{3, 3}})
        for (int width : {-1, 0, 1, 2, 4}) {
            PixelMatrix<T> m(rows, cols);
            m.fill(T(0));
            m.fillBorder(width, T(1));
            for (int i = 0; i < rows; ++i)
                for (int j = 0; j < cols; ++j) {
                    const bool border = i < width || i >= rows - width || j < width || j >= cols - width;
                    EXPECT_EQ(m(i, j), border ? T(1) : T(0)) << rows << "x" << cols << " w" << width << " (" << i
                                                             << ", " << j << ")";
                }
        }
    PixelMatrix<T> m(4, 5);
    m.fill(T(0));
    m.fillBorder(T(1));
    PixelMatrix<T> n(4, 5);
    n.fill(T(0));
    n.fillBorder(1, T(1));
    EXPECT_EQ(m, n);
}

TYPED_TEST(PixelMatrixTyped, MaskedHistogramCountsOnlyTheRegion)
{
    using T = TypeParam;
    std::mt19937 rng(31);
    const int hi = std::is_same_v<T, bool> ? 1 : 40;
    const PixelMatrix<T> m = randomPixelMatrix<T>(7, 9, rng, 0, hi);
    const PixelMatrix<T> mask = randomPixelMatrix<T>(7, 9, rng, 0, 1);
    const T origin = std::is_same_v<T, bool> ? T(0) : T(5);
    const T width = T(std::is_same_v<T, bool> ? 1 : 6);
    const unsigned int n = std::is_same_v<T, bool> ? 2 : 5;
    Vector<unsigned int> expected(n);
    expected.setZeros();
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 9; ++j)
            if (mask(i, j) != T(0))
                ++expected[imagetest::referenceBin(m(i, j), origin, width, n)];
    EXPECT_EQ(m.histogram(origin, width, n, mask), expected);
    PixelMatrix<T> ones(7, 9);
    ones.fill(T(1));
    EXPECT_EQ(m.histogram(origin, width, n, ones), m.histogram(origin, width, n));
    EXPECT_PLEXAN_THROW(m.histogram(origin, width, n, PixelMatrix<T>(7, 8)), SizeError,
                        "Vectorui PixelMatrix<T>::histogram(...)", "Incompatible mask size");
}

TYPED_TEST(PixelMatrixTyped, ImageRoundTripKeepsByteValues)
{
    using T = TypeParam;
    std::mt19937 rng(32);
    const int hi = std::is_same_v<T, bool> ? 1 : std::is_same_v<T, char> ? 127 : 255;
    const PixelMatrix<T> m = randomPixelMatrix<int>(5, 8, rng, 0, hi).toType<T>();
    Image image;
    m.convertToImage(image);
    ASSERT_EQ(image.getWidth(), 8);
    ASSERT_EQ(image.getHeight(), 5);
    ASSERT_EQ(image.getDepth(), 8);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(image.getRow(i)[j], static_cast<unsigned char>(m(i, j)));
    EXPECT_EQ(PixelMatrix<T>(image), m);
}

TYPED_TEST(PixelMatrixTyped, RangeStretchFollowsTheFormula)
{
    using T = TypeParam;
    if constexpr (!std::is_same_v<T, bool>) {
        std::mt19937 rng(33);
        const PixelMatrix<T> m = randomPixelMatrix<T>(6, 7, rng, 3, 90);
        const Vector<T> r = m.range();
        Image image;
        m.convertToImage(image, 20, 220);
        const float scale = 200.0f / static_cast<float>(r[1] - r[0]);
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 7; ++j)
                EXPECT_EQ(image.getRow(i)[j], static_cast<int>((m(i, j) - r[0]) * scale) + 20) << i << " " << j;
        // The extremes land on the ends of the output range.
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 7; ++j) {
                if (m(i, j) == r[0]) {
                    EXPECT_EQ(image.getRow(i)[j], 20);
                }
                if (m(i, j) == r[1]) {
                    EXPECT_EQ(image.getRow(i)[j], 220);
                }
            }
    }
}

} // namespace

TEST(PixelMatrix, PlainConversionKeepsTheLowByteOfTheTruncatedValue)
{
    PixelMatrix<float> m(1, 6);
    const float values[] = {300.7f, -1.0f, 255.9f, 256.0f, -0.5f, 1e30f};
    for (int j = 0; j < 6; ++j)
        m(0, j) = values[j];
    Image image;
    m.convertToImage(image);
    const unsigned char* row = image.getRow(0);
    EXPECT_EQ(row[0], 44);  // 300 mod 256
    EXPECT_EQ(row[1], 255); // -1 in two's complement
    EXPECT_EQ(row[2], 255);
    EXPECT_EQ(row[3], 0);
    EXPECT_EQ(row[4], 0);   // truncation toward zero
    EXPECT_EQ(row[5], 0);   // beyond any integer: no defined low byte, 0
    PixelMatrix<int> big(1, 2);
    big(0, 0) = 1000;
    big(0, 1) = -300;
    big.convertToImage(image);
    EXPECT_EQ(image.getRow(0)[0], 1000 % 256);
    EXPECT_EQ(image.getRow(0)[1], static_cast<unsigned char>(-300));
}

TEST(PixelMatrix, WindowedStretchClampsOutsideTheWindow)
{
    PixelMatrix<double> m(1, 7);
    const double values[] = {5, 10, 12, 15, 19.99, 20, 30};
    for (int j = 0; j < 7; ++j)
        m(0, j) = values[j];
    Image image;
    m.convertToImage(image, 10.0, 20.0, 0, 255);
    const unsigned char* row = image.getRow(0);
    EXPECT_EQ(row[0], 0);
    EXPECT_EQ(row[1], 0);
    EXPECT_EQ(row[2], 51);  // 2 x 25.5
    EXPECT_EQ(row[3], 127); // 5 x 25.5 = 127.5, truncated
    EXPECT_EQ(row[4], 254);
    EXPECT_EQ(row[5], 255);
    EXPECT_EQ(row[6], 255);
    // The same window on integers, with an output range that does not start
    // at 0.
    PixelMatrix<int> n(1, 3);
    n(0, 0) = 10;
    n(0, 1) = 15;
    n(0, 2) = 20;
    n.convertToImage(image, 10, 20, 100, 200);
    EXPECT_EQ(image.getRow(0)[0], 100);
    EXPECT_EQ(image.getRow(0)[1], 150);
    EXPECT_EQ(image.getRow(0)[2], 200);
}

TEST(PixelMatrix, ConstantMatrixStretchesToTheLowEnd)
{
    PixelMatrix<float> m(2, 2);
    m.fill(4.0f);
    Image image;
    m.convertToImage(image, 30, 200);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(image.getRow(i)[j], 30);
}

TEST(PixelMatrix, ConversionDropsAnOldColormap)
{
    Image image(3, 3, 8);
    image.setGrayscale(256);
    PixelMatrix<int> m(2, 4);
    m.fill(9);
    m.convertToImage(image);
    EXPECT_FALSE(image.isIndexed());
    EXPECT_EQ(image.getWidth(), 4);
    EXPECT_EQ(image.getHeight(), 2);
}

TEST(PixelMatrix, ChannelsOfEveryImageKind)
{
    // 24- and 32-bit pixels: the byte at the channel's offset.
    Image rgb(3, 2, 24);
    Image rgba(3, 2, 32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c) {
                const auto v = static_cast<unsigned char>(10 * y + 3 * x + 50 * c);
                if (c < 3)
                    rgb.getRow(y)[3 * x + c] = v;
                rgba.getRow(y)[4 * x + c] = v;
            }
    for (ImageChannel c : {ImageChannel::Red, ImageChannel::Green, ImageChannel::Blue, ImageChannel::Alpha}) {
        const int ci = static_cast<int>(c);
        PixelMatrix<int> m;
        m.convertFromImage(rgba, c);
        ASSERT_EQ(m.getSize1(), 2);
        ASSERT_EQ(m.getSize2(), 3);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(m(y, x), 10 * y + 3 * x + 50 * ci);
        if (ci < 3) {
            PixelMatrix<int> n;
            n.convertFromImage(rgb, c);
            EXPECT_EQ(n, m);
        }
    }
    // Without a channel, colour pixels give their mean.
    PixelMatrix<int> mean(rgb);
    EXPECT_EQ(mean(1, 2), ((16) + (16 + 50) + (16 + 100)) / 3);

    // Indexed: the colormap component of each index.
    Image indexed(2, 1, 8);
    indexed.getRow(0)[0] = 1;
    indexed.getRow(0)[1] = 2;
    Colormap map(3);
    map.setCell(1, 10, 20, 30);
    map.setCell(2, 40, 50, 60);
    indexed.setColormap(map);
    PixelMatrix<short> g;
    g.convertFromImage(indexed, ImageChannel::Green);
    EXPECT_EQ(g(0, 0), 20);
    EXPECT_EQ(g(0, 1), 50);
    PixelMatrix<short> raw(indexed); // no channel: the indices
    EXPECT_EQ(raw(0, 1), 2);

    // 16-bit samples whole, whatever the channel.
    Image deep(2, 1, 16);
    const std::uint16_t samples[2] = {1000, 65535};
    std::memcpy(deep.getRow(0), samples, sizeof samples);
    PixelMatrix<unsigned int> d;
    d.convertFromImage(deep, ImageChannel::Blue);
    EXPECT_EQ(d(0, 0), 1000u);
    EXPECT_EQ(d(0, 1), 65535u);
}

TEST(PixelMatrix, ContainsAndRandomise)
{
    PixelMatrix<int> m(3, 4);
    EXPECT_TRUE(m.contains(0, 0));
    EXPECT_TRUE(m.contains(2, 3));
    EXPECT_FALSE(m.contains(3, 0));
    EXPECT_FALSE(m.contains(0, 4));
    EXPECT_FALSE(m.contains(-1, 2));

    // Row by row from the generator: a generator seeded alike gives the same
    // draws in the same order.
    RandomGenerator g1(7);
    RandomGenerator g2(7);
    PixelMatrix<int> r(5, 6);
    r.randomise(-3, 9, g1);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(r(i, j), g2.uniformL(-3, 9));
            EXPECT_GE(r(i, j), -3);
            EXPECT_LE(r(i, j), 9);
        }
    PixelMatrix<unsigned char> bytes(20, 20);
    bytes.randomise();
    PixelMatrix<float> small(20, 20);
    small.randomise(2);
    EXPECT_LE(small.range()[1], 2.0f);
    EXPECT_GE(small.range()[0], 0.0f);
}
