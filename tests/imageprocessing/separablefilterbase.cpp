#include "imageprocessing/gaussianfilter.h"
#include "imageprocessing/separablefilter.h"
#include "numerics/parallel.h"
#include "numerics/progressmonitor.h"

#include "randomimages.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>

using plexan::test::randomMask;
using plexan::test::randomPixels;
using plexan::test::randomVoxels;

namespace {

template <typename T>
class SeparableFilterTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(SeparableFilterTest, RealTypes);

template <typename T>
T tolerance()
{
    return std::is_same_v<T, float> ? T(2e-5) : T(1e-12);
}

// The image convolved, line after line, with Vector<T>::conv.
template <typename T>
PixelMatrix<T> convolveLines(PixelMatrix<T> m, const Vector<T>& h, const Vector<T>& v)
{
    for (int i = 0; i < m.getSize1(); ++i)
        m[i] = m[i].conv(h);
    for (int j = 0; j < m.getSize2(); ++j)
        m.setColumn(j, m.getColumn(j).conv(v));
    return m;
}

TYPED_TEST(SeparableFilterTest, LinesAreConvolvedAsVectorsAre)
{
    using T = TypeParam;
    std::mt19937 rng(12);
    const Vector<T> h{T(0.5), T(-1.25), T(2), T(0.75)}; // even and asymmetric
    const Vector<T> v{T(1.5), T(0.25), T(-0.5)};
    // Rows long enough for several register chunks of every type, then
    // chunks of sixteen, then single outputs: 251 columns.
    for (auto [rows, columns] :
         {std::pair{1, 1}, std::pair{2, 7}, std::pair{31, 45}, std::pair{130, 9}, std::pair{11, 251}}) {
        const PixelMatrix<T> in = randomPixels<T>(rows, columns, rng, -50, 50);
        SeparableFilter<T> filter;
        filter.setHMask(h);
        filter.setVMask(v);
        for (int scale : {1, 2, 3}) { // as set, divided by 4, multiplied by 3
            if (scale == 2)
                filter.setDivideBy(T(4));
            if (scale == 3)
                filter.setMultiplyBy(T(3));
            PixelMatrix<T> out(in), expected = convolveLines(in, h, v);
            filter.apply(out);
            if (scale == 2)
                expected /= T(4);
            if (scale == 3)
                expected *= T(3);
            EXPECT_EQ(out, expected) << rows << "x" << columns << " step " << scale;
        }
        // An empty kernel, like Vector<T>::conv, gives zeros.
        SeparableFilter<T> empty;
        empty.setVMask(v);
        PixelMatrix<T> out(in);
        empty.apply(out);
        EXPECT_EQ(out, convolveLines(in, Vector<T>(), v));
    }
}

// Direct convolution with the full kernel, taps outside the image skipped.
template <typename T>
T directConvolution(const VoxelMatrix<T>& in, int i, int j, int k, const Vector<T>& k1, const Vector<T>& k2,
                    const Vector<T>& k3)
{
    long double s = 0;
    // Vector<T>::conv centres the reversed kernel: tap t meets the sample at
    // offset (m - 1 - m / 2) - t.
    auto centre = [](const Vector<T>& k) { return k.getSize() - 1 - k.getSize() / 2; };
    const int c1 = centre(k1), c2 = centre(k2), c3 = centre(k3);
    for (int c = 0; c < k3.getSize(); ++c)
        for (int a = 0; a < k2.getSize(); ++a)
            for (int b = 0; b < k1.getSize(); ++b) {
                const int ii = i + c2 - a, jj = j + c1 - b, kk = k + c3 - c;
                if (in.contains(ii, jj, kk))
                    s += static_cast<long double>(in(ii, jj, kk)) * k2[a] * k1[b] * k3[c];
            }
    return static_cast<T>(s);
}

TYPED_TEST(SeparableFilterTest, GaussianEqualsDirectConvolutionWithTheOuterProduct)
{
    using T = TypeParam;
    std::mt19937 rng(13);
    for (T sigma : {T(0.4), T(1), T(1.7)}) {
        GaussianFilter<T> gauss(sigma);
        const Vector<T> k = gauss.getKernel();
        const Matrix<T> k2d = gauss.kernel2D();
        const PixelMatrix<T> in = randomPixels<T>(23, 17, rng, 0, 100);
        PixelMatrix<T> out(in);
        gauss.apply(out);
        const int r = gauss.getRadius();
        for (int i = 0; i < 23; ++i)
            for (int j = 0; j < 17; ++j) {
                long double s = 0;
                for (int a = -r; a <= r; ++a)
                    for (int b = -r; b <= r; ++b)
                        if (in.contains(i + a, j + b))
                            s += static_cast<long double>(in(i + a, j + b)) * k2d(r - a, r - b);
                ASSERT_NEAR(out(i, j), s, 100 * tolerance<T>()) << "sigma " << sigma;
            }

        const VoxelMatrix<T> volume = randomVoxels<T>(9, 12, 8, rng, 0, 100);
        VoxelMatrix<T> smoothed(volume);
        gauss.apply(smoothed);
        for (int kk = 0; kk < 8; ++kk)
            for (int i = 0; i < 9; ++i)
                for (int j = 0; j < 12; ++j)
                    ASSERT_NEAR(smoothed(i, j, kk), directConvolution(volume, i, j, kk, k, k, k),
                                100 * tolerance<T>());
    }
}

TYPED_TEST(SeparableFilterTest, VolumeAxesTakeTheirOwnKernels)
{
    using T = TypeParam;
    std::mt19937 rng(14);
    const Vector<T> k1{T(1), T(2)}, k2{T(3), T(-1), T(1)}, k3{T(1), T(1), T(-2), T(1), T(1)};
    SeparableFilter<T> filter;
    filter.setKernel1(k1);
    filter.setKernel2(k2);
    filter.setKernel3(k3);
    for (auto [s1, s2, s3] : {std::tuple{5, 6, 7}, std::tuple{3, 70, 2}}) {
        const VoxelMatrix<T> in = randomVoxels<T>(s1, s2, s3, rng, -9, 9);
        VoxelMatrix<T> out(in);
        filter.apply(out);
        for (int k = 0; k < s3; ++k)
            for (int i = 0; i < s1; ++i)
                for (int j = 0; j < s2; ++j)
                    ASSERT_EQ(out(i, j, k), directConvolution(in, i, j, k, k1, k2, k3)); // integers: exact
    }
}

TEST(GaussianFilter, Kernel)
{
    EXPECT_EQ(GaussianFilter<double>(0.4).getRadius(), 1);
    const GaussianFilter<double> gauss(1.0);
    const Vector<double> k = gauss.getKernel();
    ASSERT_EQ(k.getSize(), 5);
    EXPECT_NEAR(k.sum(), 1.0, 1e-15);
    EXPECT_NEAR(k[1] / k[2], std::exp(-0.5), 1e-15);
    EXPECT_NEAR(k[0] / k[2], std::exp(-2.0), 1e-15);
    EXPECT_EQ(k[0], k[4]);
    EXPECT_EQ(GaussianFilter<float>(2.0f).getKernel().getSize(), 9);
    EXPECT_EQ(GaussianFilter<float>(0.0f).getKernel(), Vector<float>{1.0f});
    const Matrix<double> k2d = gauss.kernel2D();
    EXPECT_NEAR(k2d(1, 3), k[1] * k[3], 1e-18);
}

// The masked convolution of one line by its rule: elements outside the mask
// keep their value; inside, each pair of taps at offset d borrows the mirror
// sample when its own is masked or missing, and is skipped when both are.
template <typename T>
std::vector<T> maskedLine(const std::vector<T>& x, const std::vector<T>& mask, const Vector<T>& kernel)
{
    const int n = static_cast<int>(x.size());
    const int m = kernel.getSize();
    std::vector<T> k(kernel.begin(), kernel.end());
    std::reverse(k.begin(), k.end());
    const int c = m / 2;
    std::vector<T> out(x);
    for (int i = 0; i < n; ++i) {
        if (mask[i] == T(0))
            continue;
        T s = x[i] * k[c];
        for (int d = 1; d < m; ++d) {
            const T wl = c - d >= 0 ? k[c - d] : T(0);
            const T wr = c + d < m ? k[c + d] : T(0);
            const bool left = i - d >= 0 && mask[i - d] != T(0);
            const bool right = i + d < n && mask[i + d] != T(0);
            if (left && right)
                s += wl * x[i - d] + wr * x[i + d];
            else if (left)
                s += (wl + wr) * x[i - d];
            else if (right)
                s += (wl + wr) * x[i + d];
        }
        out[i] = s;
    }
    return out;
}

TYPED_TEST(SeparableFilterTest, MaskedLinesFollowTheMaskedRule)
{
    using T = TypeParam;
    std::mt19937 rng(15);
    const Vector<T> h{T(1), T(2), T(3)}, v{T(1), T(-1), T(4), T(2)};
    const PixelMatrix<T> in = randomPixels<T>(14, 19, rng, -20, 20);
    const PixelMatrix<T> mask = randomMask<T>(14, 19, rng);
    SeparableFilter<T> filter;
    filter.setHMask(h);
    filter.setVMask(v);
    filter.setDivideBy(T(2));
    filter.setMask(mask);
    PixelMatrix<T> out(in);
    filter.apply(out);

    // Rows, then columns (divided by 2 inside the mask).
    PixelMatrix<T> expected(in);
    for (int pass = 0; pass < 2; ++pass)
        for (int n = 0; n < (pass ? 19 : 14); ++n) {
            std::vector<T> line, m;
            for (int t = 0; t < (pass ? 14 : 19); ++t) {
                line.push_back(pass ? expected(t, n) : expected(n, t));
                m.push_back(pass ? mask(t, n) : mask(n, t));
            }
            line = maskedLine(line, m, pass ? v : h);
            for (int t = 0; t < (pass ? 14 : 19); ++t)
                (pass ? expected(t, n) : expected(n, t)) = pass && m[t] != T(0) ? line[t] / T(2) : line[t];
        }
    EXPECT_EQ(out, expected);

    // The same through a voxel matrix of one plane, the k kernel a no-op.
    VoxelMatrix<T> volume(14, 19, 1), volumeMask(14, 19, 1);
    volume[0] = in;
    volumeMask[0] = mask;
    filter.setKernel1(h);
    filter.setKernel2(v);
    filter.setKernel3(Vector<T>{T(1)});
    filter.setMask(volumeMask);
    filter.apply(volume);
    EXPECT_EQ(volume[0], expected);
}

} // namespace

// The convolution computed axis by axis in long double, each output from
// its own taps, taps outside the volume skipped: with integer kernels and
// values every sum is exact, so it equals the direct convolution.
VoxelMatrix<long double> separableReference(const VoxelMatrix<double>& in, const Vector<double>& k1,
                                            const Vector<double>& k2, const Vector<double>& k3)
{
    const int s1 = in.getSize1(), s2 = in.getSize2(), s3 = in.getSize3();
    VoxelMatrix<long double> a(s1, s2, s3), b(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                a(i, j, k) = in(i, j, k);
    // out(x) = sum over taps t of in(x + (m - 1 - m / 2) - t) k[t], along one axis.
    auto pass = [&](const Vector<double>& kernel, int axis) {
        const int m = kernel.getSize();
        const int c = m - 1 - m / 2;
        for (int k = 0; k < s3; ++k)
            for (int i = 0; i < s1; ++i)
                for (int j = 0; j < s2; ++j) {
                    long double s = 0;
                    for (int t = 0; t < m; ++t) {
                        int ii = i, jj = j, kk = k;
                        (axis == 0 ? jj : axis == 1 ? ii : kk) += c - t;
                        if (a.contains(ii, jj, kk))
                            s += a(ii, jj, kk) * kernel[t];
                    }
                    b(i, j, k) = s;
                }
        std::swap(a, b);
    };
    pass(k1, 0);
    pass(k2, 1);
    pass(k3, 2);
    return a;
}

// A volume is swept in bands of a few rows, each band over every plane,
// handing the row-filtered rows its column window shares with the next band
// on to it; with several threads the bands run at once, each one plane or
// more behind the band above, overwriting rows the band above has read.
// Long rows make bands of four rows or fewer (the last one shorter, or the
// count rounded to the threads), bands of one row narrower than the column
// window, one plane, and fewer rows than threads. Each thread keeps its ring
// from call to call, so every size here also runs on what a larger one left
// in it. Integer kernels and values keep every sum exact, so each thread
// count must give the convolution itself, and a Gaussian the single-thread
// bits. Regressions: a band reading the rows of the band below after they
// were overwritten, or a carry of the wrong rows or plane, shifts values
// next to the cuts.
TEST(SeparableFilterSlabs, VolumesInBandsGiveTheDirectConvolution)
{
    std::mt19937 rng(30);
    const Vector<double> k1{1, 2, 1}, k3{1, 2, -3, 1, 1, 2, 1, -1, 1};
    SeparableFilter<double> filter;
    filter.setKernel1(k1);
    filter.setKernel3(k3);
    const std::tuple<int, int, int> sizes[] = {{4, 5, 29},    {3, 6, 61},    {7, 3, 14},    {20, 1400, 9},
                                               {13, 1500, 4}, {61, 1300, 5}, {40, 4096, 1}, {73, 1024, 3}};
    for (const Vector<double>& k2 : {Vector<double>{1, -1}, Vector<double>{2, -1, 1, 1, -2},
                                     Vector<double>{1, -1, 2, 1, -2, 1, 1, -1, 1}}) {
        filter.setKernel2(k2);
        for (auto [s1, s2, s3] : sizes) {
            const VoxelMatrix<double> in = randomVoxels<double>(s1, s2, s3, rng, -9, 9);
            const VoxelMatrix<long double> expected = separableReference(in, k1, k2, k3);
            for (int threads : {1, 2, 3, 4}) {
                plexan::parallel::ThreadCountScope scope(threads);
                VoxelMatrix<double> out(in);
                filter.apply(out);
                for (int k = 0; k < s3; ++k)
                    for (int i = 0; i < s1; ++i)
                        for (int j = 0; j < s2; ++j)
                            ASSERT_EQ(out(i, j, k), static_cast<double>(expected(i, j, k)))
                                << threads << " threads, " << s1 << "x" << s2 << "x" << s3 << " at row " << i
                                << ", plane " << k << ", column " << j << "; column kernel of "
                                << k2.getSize() << " taps";
            }
        }
    }
    // Bands of six rows of 1600 columns, lower than the Gaussian's column
    // window of nine (a wavefront of 25 bands or more); bands of 22 to 29
    // rows of 300 columns, higher than it (in groups of one or two bands,
    // each group handing rows up to the one above).
    GaussianFilter<float> gauss(2.0f);
    for (auto [s1, s2] : {std::pair{150, 1600}, std::pair{170, 300}}) {
        const VoxelMatrix<float> volume = randomVoxels<float>(s1, s2, 12, rng, 0, 255);
        VoxelMatrix<float> single(volume);
        {
            plexan::parallel::ThreadCountScope one(1);
            gauss.apply(single);
        }
        for (int threads : {2, 3, 4}) {
            plexan::parallel::ThreadCountScope scope(threads);
            VoxelMatrix<float> out(volume);
            gauss.apply(out);
            for (int k = 0; k < 12; ++k)
                for (int i = 0; i < s1; ++i)
                    ASSERT_EQ(std::memcmp(out[k][i].data(), single[k][i].data(), s2 * sizeof(float)), 0)
                        << threads << " threads, " << s1 << "x" << s2 << ", plane " << k << " row " << i;
        }
    }
}

// A monitor that stops the run (as a cancelled progress dialog does) once
// it has been told of a given percentage.
namespace {
class StopAt : public ProgressMonitor {
public:
    struct Stopped {};
    explicit StopAt(unsigned int percent) : m_percent(percent) {}

protected:
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        if (i * 100 >= m_percent * n)
            throw Stopped();
    }

private:
    unsigned int m_percent;
};
} // namespace

// A run stopped from the progress thread while the other threads' bands
// wait on its band or run ahead: the stop reaches the caller, no thread is
// left waiting on a band that will never go on, and the next run on the
// same threads gives the single-thread bits again.
TEST(SeparableFilterSlabs, AVolumeStoppedMidwayLeavesNoThreadWaiting)
{
    std::mt19937 rng(31);
    const VoxelMatrix<float> volume = randomVoxels<float>(96, 700, 20, rng, 0, 255);
    GaussianFilter<float> gauss(1.5f);
    VoxelMatrix<float> single(volume);
    {
        plexan::parallel::ThreadCountScope one(1);
        gauss.apply(single);
    }
    for (int threads : {1, 2, 3, 4})
        for (unsigned int percent : {1u, 40u, 95u}) {
            plexan::parallel::ThreadCountScope scope(threads);
            StopAt stop(percent);
            gauss.addMonitor(stop);
            VoxelMatrix<float> out(volume);
            EXPECT_THROW(gauss.apply(out), StopAt::Stopped) << threads << " threads, " << percent << " %";
            gauss.removeMonitor(stop);
            out = volume;
            gauss.apply(out);
            for (int k = 0; k < 20; ++k)
                for (int i = 0; i < 96; ++i)
                    ASSERT_EQ(std::memcmp(out[k][i].data(), single[k][i].data(), 700 * sizeof(float)), 0)
                        << threads << " threads, after a stop at " << percent << " %, plane " << k << " row " << i;
        }
}

// The 2D convolution computed directly in long double, each output from its
// own taps: out(i, j) = sum over a, b of in(i + cv - a, j + ch - b) v[a] h[b]
// (c = m - 1 - m / 2 for each kernel), taps outside the image skipped.
PixelMatrix<long double> directReference(const PixelMatrix<double>& in, const Vector<double>& h,
                                         const Vector<double>& v)
{
    const int rows = in.getSize1(), columns = in.getSize2();
    const int mh = h.getSize(), mv = v.getSize();
    const int ch = mh - 1 - mh / 2, cv = mv - 1 - mv / 2;
    PixelMatrix<long double> out(rows, columns);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            long double s = 0;
            for (int a = 0; a < mv; ++a)
                for (int b = 0; b < mh; ++b) {
                    const int ii = i + cv - a, jj = j + ch - b;
                    if (ii >= 0 && ii < rows && jj >= 0 && jj < columns)
                        s += static_cast<long double>(in(ii, jj)) * v[a] * h[b];
                }
            out(i, j) = s;
        }
    return out;
}

// An image is swept in bands of rows, one per task, each through its own
// ring of row-filtered rows; the rows a band's column window takes from its
// neighbours must be read before the neighbour overwrites them in place. The
// sizes give bands that end short, a last band shorter than the window,
// images narrower than the row kernel, a single row and a single column, at
// every thread count. Integer kernels and values keep every sum exact, so
// the result must be the direct convolution itself, and a Gaussian the
// single-thread bits. Regressions: a band reading a neighbour's row after it
// was overwritten, or the wrong row at a cut, shifts values next to the
// cuts.
TEST(SeparableFilterBands, ImagesInBandsGiveTheDirectConvolution)
{
    std::mt19937 rng(31);
    SeparableFilter<double> filter;
    const std::pair<int, int> sizes[] = {{150, 40}, {37, 5},  {301, 3}, {1, 200}, {73, 1},
                                         {2, 9},    {97, 64}, {40, 17}, {145, 2}};
    const std::pair<Vector<double>, Vector<double>> kernels[] = {
        {Vector<double>{1, 2, 1}, Vector<double>{1, -1}},
        {Vector<double>{2, -1, 1, 1, -2}, Vector<double>{1, 2, -3, 1, 1, 2, 1, -1, 1}},
        {Vector<double>{1, -1, 2, 1, -2, 1, 1, -1, 1}, Vector<double>{2, -1, 1, 1}},
        {Vector<double>{3}, Vector<double>{1, 1, -2, 1, 1, 1, -1, 2, 1, 1, 1}}};
    for (const auto& [h, v] : kernels) {
        filter.setHMask(h);
        filter.setVMask(v);
        for (auto [rows, columns] : sizes) {
            const PixelMatrix<double> in = randomPixels<double>(rows, columns, rng, -9, 9);
            const PixelMatrix<long double> expected = directReference(in, h, v);
            for (int threads : {1, 2, 3, 4}) {
                plexan::parallel::ThreadCountScope scope(threads);
                PixelMatrix<double> out(in);
                filter.apply(out);
                for (int i = 0; i < rows; ++i)
                    for (int j = 0; j < columns; ++j)
                        ASSERT_EQ(out(i, j), static_cast<double>(expected(i, j)))
                            << threads << " threads, " << rows << "x" << columns << " at row " << i << ", column "
                            << j << "; kernels of " << h.getSize() << " and " << v.getSize() << " taps";
            }
        }
    }
    // The final factor goes over each band once: a division by 4 stays exact.
    filter.setHMask(Vector<double>{1, 2, 1});
    filter.setVMask(Vector<double>{1, 2, 3, 2, 1});
    filter.setDivideBy(4);
    const PixelMatrix<double> in = randomPixels<double>(203, 31, rng, -9, 9);
    const PixelMatrix<long double> expected = directReference(in, filter.getHMask(), filter.getVMask());
    for (int threads : {1, 2, 4}) {
        plexan::parallel::ThreadCountScope scope(threads);
        PixelMatrix<double> out(in);
        filter.apply(out);
        for (int i = 0; i < 203; ++i)
            for (int j = 0; j < 31; ++j)
                ASSERT_EQ(out(i, j), static_cast<double>(expected(i, j) / 4)) << threads << " threads, row " << i;
    }
    // A Gaussian: the same bits at every thread count, and within 1e-5 of
    // the direct convolution in long double.
    const PixelMatrix<float> image = randomPixels<float>(517, 333, rng, 0, 255);
    GaussianFilter<float> gauss(2.0f);
    PixelMatrix<float> single(image);
    {
        plexan::parallel::ThreadCountScope one(1);
        gauss.apply(single);
    }
    PixelMatrix<double> wide(517, 333);
    for (int i = 0; i < 517; ++i)
        for (int j = 0; j < 333; ++j)
            wide(i, j) = image(i, j);
    Vector<double> k(gauss.getHMask().getSize());
    for (int t = 0; t < k.getSize(); ++t)
        k[t] = gauss.getHMask()[t];
    const PixelMatrix<long double> reference = directReference(wide, k, k);
    for (int i = 0; i < 517; ++i)
        for (int j = 0; j < 333; ++j)
            ASSERT_LE(std::abs(single(i, j) - reference(i, j)), 1e-5L * std::max(1.0L, std::abs(reference(i, j))))
                << "row " << i << ", column " << j;
    for (int threads : {2, 3, 4}) {
        plexan::parallel::ThreadCountScope scope(threads);
        PixelMatrix<float> out(image);
        gauss.apply(out);
        for (int i = 0; i < 517; ++i)
            ASSERT_EQ(std::memcmp(out[i].data(), single[i].data(), 333 * sizeof(float)), 0)
                << threads << " threads, row " << i;
    }
}
