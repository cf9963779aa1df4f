#include "imageprocessing/sumfilter.h"

#include "randomimages.h"
#include "support/expect.h"

#include "numerics/parallel.h"

#include <gtest/gtest.h>

using plexan::test::randomPixels;
using plexan::test::randomVoxels;

namespace {

// The box sum of one line by its definition: the direct window sum, or
// (2h + 1) times the centre value within h of either end.
template <typename T>
std::vector<T> lineSum(const std::vector<T>& v, int h)
{
    const int n = static_cast<int>(v.size());
    std::vector<T> out(n);
    for (int j = 0; j < n; ++j) {
        if (j < h || j >= n - h) {
            out[j] = static_cast<T>((2 * h + 1) * v[j]);
            continue;
        }
        T s = T(0);
        for (int d = -h; d <= h; ++d)
            s = static_cast<T>(s + v[j + d]);
        out[j] = s;
    }
    return out;
}

// The box sums of a volume, line by line along the three axes (the first
// two only when planar).
template <typename T>
VoxelMatrix<T> referenceBox(VoxelMatrix<T> v, int h, bool planar)
{
    const int size[3] = {v.getSize1(), v.getSize2(), v.getSize3()};
    const int axes[3] = {1, 0, 2}; // along rows, columns, then across planes
    for (int n = 0; n < (planar ? 2 : 3); ++n) {
        const int along = axes[n];
        for (int k = 0; k < (along == 2 ? 1 : size[2]); ++k)
            for (int i = 0; i < (along == 0 ? 1 : size[0]); ++i)
                for (int j = 0; j < (along == 1 ? 1 : size[1]); ++j) {
                    std::vector<T> line(size[along]);
                    for (int t = 0; t < size[along]; ++t)
                        line[t] = v(along == 0 ? t : i, along == 1 ? t : j, along == 2 ? t : k);
                    line = lineSum(line, h);
                    for (int t = 0; t < size[along]; ++t)
                        v(along == 0 ? t : i, along == 1 ? t : j, along == 2 ? t : k) = line[t];
                }
    }
    return v;
}

template <typename T>
class SumFilterTest : public ::testing::Test {};
using RankTypes = ::testing::Types<short, unsigned short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(SumFilterTest, RankTypes);

TYPED_TEST(SumFilterTest, SquareCaseEqualsWindowSums)
{
    using T = TypeParam;
    std::mt19937 rng(1);
    for (int h : {1, 2, 3})
        for (auto [rows, columns] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{5, 6}, std::pair{17, 40},
                                     std::pair{70, 33}}) {
            const VoxelMatrix<T> in = randomVoxels<T>(rows, columns, 1, rng);
            PixelMatrix<T> out(in[0]);
            SumFilter<T>(h).apply(out);
            EXPECT_EQ(out, referenceBox(in, h, true)[0]) << rows << "x" << columns << " h = " << h;
        }
}

TYPED_TEST(SumFilterTest, CubicCaseEqualsWindowSums)
{
    using T = TypeParam;
    std::mt19937 rng(2);
    for (int h : {1, 2})
        for (auto [s1, s2, s3] : {std::tuple{6, 7, 8}, std::tuple{1, 5, 4}, std::tuple{12, 40, 3}}) {
            const VoxelMatrix<T> in = randomVoxels<T>(s1, s2, s3, rng, 0, 5);
            VoxelMatrix<T> out(in);
            SumFilter<T>(h).apply(out);
            EXPECT_TRUE(out == referenceBox(in, h, false)) << s1 << "x" << s2 << "x" << s3 << " h = " << h;
        }
}

// The sum over the existing elements of the ball of radius h; a plane is a
// volume of one plane.
template <typename T>
VoxelMatrix<T> ballSums(const VoxelMatrix<T>& in, int h)
{
    VoxelMatrix<T> out(in);
    for (int k = 0; k < in.getSize3(); ++k)
        for (int i = 0; i < in.getSize1(); ++i)
            for (int j = 0; j < in.getSize2(); ++j) {
                T s = T(0);
                for (int a = -h; a <= h; ++a)
                    for (int b = -h; b <= h; ++b)
                        for (int c = -h; c <= h; ++c)
                            if (a * a + b * b + c * c <= h * h && in.contains(i + a, j + b, k + c))
                                s = static_cast<T>(s + in(i + a, j + b, k + c));
                out(i, j, k) = s;
            }
    return out;
}

TYPED_TEST(SumFilterTest, DiscAndBallSumTheExistingNeighbours)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    for (int h : {1, 2, 3}) {
        VoxelMatrix<T> plane = randomVoxels<T>(13, 21, 1, rng);
        const VoxelMatrix<T> volume = randomVoxels<T>(7, 9, 6, rng);
        SumFilter<T> filter(h);
        filter.setBallMode(true);
        PixelMatrix<T> disc = plane[0];
        filter.apply(disc);
        EXPECT_EQ(disc, ballSums(plane, h)[0]) << "h = " << h;
        VoxelMatrix<T> ball(volume);
        filter.apply(ball);
        EXPECT_TRUE(ball == ballSums(volume, h)) << "h = " << h;
    }
    // A half-size below 1 changes nothing.
    PixelMatrix<float> same(4, 4);
    same.fill(2.5f);
    SumFilter<float>(0).apply(same);
    EXPECT_EQ(same(2, 2), 2.5f);
}

} // namespace

#include "imageprocessing/gaussianfilter.h"
#include "imageprocessing/medianfilter.h"
#include "imageprocessing/minfilter.h"
#include "numerics/progressmonitor.h"

namespace {

class Counter : public ProgressMonitor {
public:
    int started = 0, finished = 0, steps = 0;
    unsigned int last = 0;

protected:
    void subjectStarted(const std::string&) override { ++started; }
    void subjectFinished(const std::string&) override { ++finished; }
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        ++steps;
        last = i * 100 / n;
    }
};

// About a hundred notifications per run, whatever the image size. (With
// several threads, the units other threads count reach the monitors in
// bunches, whenever the calling thread reports.)
TEST(FilterProgress, AboutAHundredStepsPerRun)
{
    plexan::parallel::ThreadCountScope oneThread(1);
    std::mt19937 rng(25);
    for (auto [rows, columns] : {std::pair{300, 200}, std::pair{1000, 64}}) {
        const PixelMatrix<float> in = randomPixels<float>(rows, columns, rng);
        const VoxelMatrix<float> volume = randomVoxels<float>(rows / 4, columns / 4, 20, rng);
        SumFilter<float> sum(2);
        GaussianFilter<float> gauss(1.5f);
        MedianFilter<float> median(2);
        MinFilter<float> minimum(2);
        std::vector<ProgressSubject*> filters{&sum, &gauss, &median, &minimum};
        for (ProgressSubject* subject : filters) {
            Counter counter;
            subject->addMonitor(counter);
            PixelMatrix<float> m(in);
            VoxelMatrix<float> v(volume);
            dynamic_cast<PixelMatrixProcessing<float>*>(subject)->apply(m);
            dynamic_cast<VoxelMatrixProcessing<float>*>(subject)->apply(v);
            EXPECT_EQ(counter.started, 2);
            EXPECT_EQ(counter.finished, 2);
            EXPECT_GE(counter.steps, 2 * 50);
            EXPECT_LE(counter.steps, 2 * 100);
            EXPECT_EQ(counter.last, 100u);
            subject->removeMonitor(counter);
        }
    }
}

} // namespace
