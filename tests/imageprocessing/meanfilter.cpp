#include "imageprocessing/meanfilter.h"

#include "image/colormap.h"
#include "image/image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Box mean of one channel by its definition: along rows then columns, each
// pass the direct window sum, or (2h + 1) times the element within h of an
// end; then integer division by (2h + 1)^2.
std::vector<long long> referenceMean(const std::vector<long long>& v, int width, int height, int h)
{
    auto pass = [h](std::vector<long long> line) {
        const int n = static_cast<int>(line.size());
        std::vector<long long> out(n);
        for (int j = 0; j < n; ++j) {
            if (j < h || j >= n - h) {
                out[j] = (2 * h + 1) * line[j];
                continue;
            }
            for (int d = -h; d <= h; ++d)
                out[j] += line[j + d];
        }
        return out;
    };
    std::vector<long long> s(v);
    for (int y = 0; y < height; ++y) {
        const auto r = pass(std::vector<long long>(s.begin() + y * width, s.begin() + (y + 1) * width));
        std::copy(r.begin(), r.end(), s.begin() + y * width);
    }
    for (int x = 0; x < width; ++x) {
        std::vector<long long> c(height);
        for (int y = 0; y < height; ++y)
            c[y] = s[y * width + x];
        c = pass(c);
        for (int y = 0; y < height; ++y)
            s[y * width + x] = c[y] / ((2 * h + 1) * (2 * h + 1));
    }
    return s;
}

Image randomImage(int width, int height, int depth, std::mt19937& rng)
{
    Image image(width, height, depth);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t k = 0; k < image.dataLength(); ++k)
        image.getData()[k] = static_cast<unsigned char>(byte(rng));
    return image;
}

// Channel c of every pixel, samples of `size` bytes, `step` bytes apart.
std::vector<long long> channel(const Image& image, int c, int step, int size)
{
    std::vector<long long> v;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x) {
            unsigned int s = 0;
            std::memcpy(&s, image.getRow(y) + x * step + c, size); // little-endian machine
            v.push_back(s);
        }
    return v;
}

TEST(MeanFilter, EveryDepthEqualsTheReferenceMean)
{
    std::mt19937 rng(19);
    for (int h : {1, 2, 4})
        for (auto [width, height] : {std::pair{1, 1}, std::pair{7, 5}, std::pair{40, 33}}) {
            for (int depth : {8, 16, 24, 32}) {
                const Image in = randomImage(width, height, depth, rng);
                Image out;
                MeanFilter filter(h);
                filter.apply(out, in);
                const int step = depth / 8;
                const int channels = depth == 16 ? 1 : step;
                const int size = depth == 16 ? 2 : 1;
                for (int c = 0; c < channels; ++c)
                    EXPECT_EQ(channel(out, c, step, size),
                              referenceMean(channel(in, c, step, size), width, height, h))
                        << "depth " << depth << " channel " << c << " h " << h;
            }
            // The optimised 8-bit route gives the same image.
            const Image grey = randomImage(width, height, 8, rng);
            Image plain(grey), fast(grey);
            MeanFilter filter(h);
            filter.apply(plain);
            filter.setOptimization(true);
            filter.apply(fast);
            EXPECT_TRUE(plain == fast);
        }
}

TEST(MeanFilter, IndexedImagesAreMadeDirectFirst)
{
    std::mt19937 rng(20);
    Image grey = randomImage(9, 8, 8, rng);
    Image indexed(grey);
    indexed.setGrayscale(256); // identity grey ramp
    MeanFilter filter(1);
    filter.apply(grey);
    filter.apply(indexed);
    EXPECT_FALSE(indexed.isIndexed());
    EXPECT_EQ(indexed.getDepth(), 8);
    EXPECT_TRUE(std::equal(grey.getData(), grey.getData() + grey.dataLength(), indexed.getData()));

    // A colour colormap makes a 24-bit image.
    Image colour = randomImage(6, 6, 8, rng);
    colour.setGrayscale(256);
    colour.getColormap()->getRed()[7] = 200;
    filter.apply(colour);
    EXPECT_EQ(colour.getDepth(), 24);

    // A half-size of 0 leaves the image alone.
    const Image before = randomImage(5, 5, 8, rng);
    Image same(before);
    MeanFilter(0).apply(same);
    EXPECT_TRUE(same == before);
}

} // namespace
