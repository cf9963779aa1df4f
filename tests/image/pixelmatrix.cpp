#include "image/pixelmatrix.h"

#include "image/image.h"

#include "imagesupport.h"

using namespace imagetest;

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
            PixelMatrix<T> m(rows, cols), n(rows, cols);
            m.fill(T(0));
            m.fillBorder(width, T(1));
            n.fill(T(0));
            if (width == 1)
                n.fillBorder(T(1));
            for (int i = 0; i < rows; ++i)
                for (int j = 0; j < cols; ++j) {
                    const bool border = i < width || i >= rows - width || j < width || j >= cols - width;
                    EXPECT_EQ(m(i, j), T(border)) << rows << "x" << cols << " w" << width << " (" << i << ", " << j
                                                  << ")";
                    EXPECT_TRUE(width != 1 || n(i, j) == m(i, j));
                }
        }
}

TYPED_TEST(PixelMatrixTyped, MaskedHistogramCountsOnlyTheRegion)
{
    using T = TypeParam;
    constexpr bool isBool = std::is_same_v<T, bool>;
    std::mt19937 rng(31);
    const PixelMatrix<T> m = randomPixelMatrix<T>(7, 9, rng, 0, isBool ? 1 : 40);
    const PixelMatrix<T> mask = randomPixelMatrix<T>(7, 9, rng, 0, 1);
    const T origin = isBool ? T(0) : T(5), width = isBool ? T(1) : T(6);
    const unsigned int n = isBool ? 2 : 5;
    Vector<unsigned int> expected(n);
    expected.setZeros();
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 9; ++j)
            expected[referenceBin(m(i, j), origin, width, n)] += mask(i, j) != T(0);
    EXPECT_EQ(m.histogram(origin, width, n, mask), expected);
    EXPECT_PLEXAN_THROW(m.histogram(origin, width, n, PixelMatrix<T>(7, 8)), SizeError,
                        "Vectorui PixelMatrix<T>::histogram(...)", "Incompatible mask size");
}

TYPED_TEST(PixelMatrixTyped, ImageConversionsFollowTheFormulas)
{
    using T = TypeParam;
    std::mt19937 rng(32);
    // Byte values survive the round trip through an 8-bit image.
    const int hi = std::is_same_v<T, bool> ? 1 : std::is_same_v<T, char> ? 127 : 255;
    const PixelMatrix<T> m = randomPixelMatrix<int>(5, 8, rng, 0, hi).toType<T>();
    Image image;
    m.convertToImage(image);
    ASSERT_EQ(image.getWidth(), 8);
    ASSERT_EQ(image.getHeight(), 5);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(image.getRow(i)[j], static_cast<unsigned char>(m(i, j)));
    EXPECT_EQ(PixelMatrix<T>(image), m);

    // The range stretch: the extremes land on the ends of the output range.
    if constexpr (!std::is_same_v<T, bool>) {
        const PixelMatrix<T> s = randomPixelMatrix<T>(6, 7, rng, 3, 90);
        const Vector<T> r = s.range();
        s.convertToImage(image, 20, 220);
        const float scale = 200.0f / static_cast<float>(r[1] - r[0]);
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 7; ++j) {
                const int pixel = image.getRow(i)[j];
                EXPECT_EQ(pixel, static_cast<int>((s(i, j) - r[0]) * scale) + 20) << i << " " << j;
                EXPECT_TRUE((s(i, j) != r[0] || pixel == 20) && (s(i, j) != r[1] || pixel == 220));
            }
    }
}

} // namespace

TEST(PixelMatrix, ConversionToBytesTruncatesWrapsOrClamps)
{
    // Plain: the low byte of the value truncated toward zero; a value beyond
    // any integer has no low byte and gives 0. An old colormap goes.
    PixelMatrix<float> m(1, 6);
    const float values[] = {300.7f, -1.0f, 255.9f, 256.0f, -0.5f, 1e30f};
    for (int j = 0; j < 6; ++j)
        m(0, j) = values[j];
    Image image(3, 3, 8);
    image.setGrayscale(256);
    m.convertToImage(image);
    EXPECT_FALSE(image.isIndexed());
    EXPECT_EQ(bytesOf(image), (std::vector<unsigned char>{44, 255, 255, 0, 0, 0}));

    // Windowed: clamped outside the window, scaled and truncated inside.
    PixelMatrix<double> w(1, 7);
    const double window[] = {5, 10, 12, 15, 19.99, 20, 30};
    for (int j = 0; j < 7; ++j)
        w(0, j) = window[j];
    w.convertToImage(image, 10.0, 20.0, 0, 255);
    EXPECT_EQ(bytesOf(image), (std::vector<unsigned char>{0, 0, 51, 127, 254, 255, 255}));
    PixelMatrix<int> n(1, 3);
    n(0, 0) = 10, n(0, 1) = 15, n(0, 2) = 20;
    n.convertToImage(image, 10, 20, 100, 200);
    EXPECT_EQ(bytesOf(image), (std::vector<unsigned char>{100, 150, 200}));
    // A constant matrix stretches to the low end.
    n.fill(4);
    n.convertToImage(image, 30, 200);
    EXPECT_EQ(bytesOf(image), (std::vector<unsigned char>{30, 30, 30}));
}

TEST(PixelMatrix, ChannelsOfEveryImageKind)
{
    // 24- and 32-bit pixels: the byte at the channel's offset; without a
    // channel, the mean of the three colours.
    for (int depth : {24, 32}) {
        const Image rgb = randomImage(3, 2, depth, 40);
        for (int c = 0; c < depth / 8; ++c) {
            PixelMatrix<int> m;
            m.convertFromImage(rgb, static_cast<ImageChannel>(c));
            for (int k = 0; k < 6; ++k)
                EXPECT_EQ(m(k / 3, k % 3), rgb.getData()[depth / 8 * k + c]);
        }
        const unsigned char* p = rgb.getRow(1) + 2 * depth / 8;
        EXPECT_EQ(PixelMatrix<int>(rgb)(1, 2), (p[0] + p[1] + p[2]) / 3);
    }

    // Indexed: the colormap component of each index, or the index itself.
    Image indexed = randomImage(2, 1, 8, 41);
    indexed.setColormap(colourMap());
    PixelMatrix<short> g;
    g.convertFromImage(indexed, ImageChannel::Green);
    const unsigned char* q = indexed.getData();
    EXPECT_EQ(g.getRow(0), (Vector<short>{short(255 - q[0]), short(255 - q[1])}));
    EXPECT_EQ(PixelMatrix<short>(indexed).getRow(0), (Vector<short>{q[0], q[1]}));

    // 16-bit samples whole, whatever the channel.
    Image deep(2, 1, 16);
    const std::uint16_t samples[2] = {1000, 65535};
    std::memcpy(deep.getRow(0), samples, sizeof samples);
    PixelMatrix<unsigned int> d;
    d.convertFromImage(deep, ImageChannel::Blue);
    EXPECT_EQ(d.getRow(0), (Vector<unsigned int>{1000, 65535}));
}
