#include "imageprocessing/sumfilter.h"

#include "randomimages.h"
#include "support/expect.h"

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

template <typename T>
PixelMatrix<T> referenceSquare(PixelMatrix<T> m, int h)
{
    for (int i = 0; i < m.getSize1(); ++i) {
        const std::vector<T> r = lineSum(std::vector<T>(m[i].begin(), m[i].end()), h);
        std::copy(r.begin(), r.end(), m[i].begin());
    }
    for (int j = 0; j < m.getSize2(); ++j) {
        std::vector<T> c(m.getSize1());
        for (int i = 0; i < m.getSize1(); ++i)
            c[i] = m(i, j);
        c = lineSum(c, h);
        for (int i = 0; i < m.getSize1(); ++i)
            m(i, j) = c[i];
    }
    return m;
}

template <typename T>
VoxelMatrix<T> referenceCube(VoxelMatrix<T> v, int h)
{
    for (int k = 0; k < v.getSize3(); ++k)
        v[k] = referenceSquare(v[k], h);
    for (int i = 0; i < v.getSize1(); ++i)
        for (int j = 0; j < v.getSize2(); ++j) {
            std::vector<T> line(v.getSize3());
            for (int k = 0; k < v.getSize3(); ++k)
                line[k] = v(i, j, k);
            line = lineSum(line, h);
            for (int k = 0; k < v.getSize3(); ++k)
                v(i, j, k) = line[k];
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
            const PixelMatrix<T> in = randomPixels<T>(rows, columns, rng);
            PixelMatrix<T> out(in);
            SumFilter<T> filter(h);
            filter.apply(out);
            EXPECT_EQ(out, referenceSquare(in, h)) << rows << "x" << columns << " h = " << h;
            // Away from the borders it is the plain (2h + 1)^2 window sum.
            for (int i = h; i < rows - h; ++i)
                for (int j = h; j < columns - h; ++j) {
                    T s = T(0);
                    for (int a = -h; a <= h; ++a)
                        for (int b = -h; b <= h; ++b)
                            s = static_cast<T>(s + in(i + a, j + b));
                    ASSERT_EQ(out(i, j), s);
                }
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
            EXPECT_TRUE(out == referenceCube(in, h)) << s1 << "x" << s2 << "x" << s3 << " h = " << h;
        }
}

TYPED_TEST(SumFilterTest, DiscAndBallSumTheExistingNeighbours)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    for (int h : {1, 2, 3}) {
        const PixelMatrix<T> in = randomPixels<T>(13, 21, rng);
        PixelMatrix<T> out(in);
        SumFilter<T> filter(h);
        filter.setBallMode(true);
        filter.apply(out);
        for (int i = 0; i < 13; ++i)
            for (int j = 0; j < 21; ++j) {
                T s = T(0);
                for (int a = -h; a <= h; ++a)
                    for (int b = -h; b <= h; ++b)
                        if (a * a + b * b <= h * h && in.contains(i + a, j + b))
                            s = static_cast<T>(s + in(i + a, j + b));
                ASSERT_EQ(out(i, j), s) << i << "," << j << " h = " << h;
            }
    }
    for (int h : {1, 2}) {
        const VoxelMatrix<T> in = randomVoxels<T>(7, 9, 6, rng);
        VoxelMatrix<T> out(in);
        SumFilter<T> filter(h);
        filter.setBallMode(true);
        filter.apply(out);
        for (int k = 0; k < 6; ++k)
            for (int i = 0; i < 7; ++i)
                for (int j = 0; j < 9; ++j) {
                    T s = T(0);
                    for (int a = -h; a <= h; ++a)
                        for (int b = -h; b <= h; ++b)
                            for (int c = -h; c <= h; ++c)
                                if (a * a + b * b + c * c <= h * h && in.contains(i + a, j + b, k + c))
                                    s = static_cast<T>(s + in(i + a, j + b, k + c));
                    ASSERT_EQ(out(i, j, k), s) << i << "," << j << "," << k << " h = " << h;
                }
    }
}

TEST(SumFilter, CrossAndBorderCases)
{
    PixelMatrix<int> m(3, 3);
    m.fill(1);
    SumFilter<int> cross(1);
    cross.setBallMode(true);
    cross.apply(m);
    EXPECT_EQ(m(1, 1), 5); // centre and its four neighbours
    EXPECT_EQ(m(0, 0), 3); // a corner has two
    EXPECT_EQ(m(0, 1), 4);

    // One row: every end position is its value times 3 along the row, and the
    // one-element columns multiply by 3 again.
    PixelMatrix<int> row(1, 5);
    for (int j = 0; j < 5; ++j)
        row(0, j) = j + 1;
    SumFilter<int>(1).apply(row);
    EXPECT_EQ(row[0], (Vector<int>{9, 18, 27, 36, 45}));

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

// About a hundred notifications per run, whatever the image size.
TEST(FilterProgress, AboutAHundredStepsPerRun)
{
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
