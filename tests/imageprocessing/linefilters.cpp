#include "imageprocessing/linefilters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

// The convolution kernels sum in vector registers, in chunks, with a
// remainder tap by tap; every output must still be the sum from 0 over the
// taps in increasing order, the taps off the line skipped, to the last bit,
// in vectors of 16 bytes (the baseline), 32 (AVX2) and 64 (AVX-512) alike.
namespace {

using namespace plexan::lines;

template <typename T>
class LineKernelsTest : public ::testing::Test {};
using KernelTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(LineKernelsTest, KernelTypes);

template <typename T>
std::vector<T> randomValues(std::size_t n, std::mt19937& rng)
{
    // Values with long mantissas, so that any other order of the sums
    // shows in the last bits.
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<T> v(n);
    for (T& x : v)
        x = static_cast<T>(d(rng));
    return v;
}

template <typename T>
T tapSum(const std::vector<const T*>& lines, std::size_t j, const T* k, int t0, int t1)
{
    volatile T s = T(0); // one rounding per product and per sum, nothing fused
    for (int t = t0; t < t1; ++t) {
        volatile T p = lines[static_cast<std::size_t>(t)][j] * k[t];
        s = s + p;
    }
    return s;
}

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// Lengths around the chunks (16 elements, and 256 bytes along a row).
const int lengths[] = {1, 7, 15, 16, 17, 31, 33, 63, 64, 65, 100, 127, 128, 129, 300};
const int taps[] = {1, 2, 5, 9, 13};

TYPED_TEST(LineKernelsTest, AlongALineTheSumsAreTheTapsInOrder)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    for (int n : lengths)
        for (int m : taps) {
            const std::vector<T> v = randomValues<T>(static_cast<std::size_t>(n), rng);
            const std::vector<T> k = randomValues<T>(static_cast<std::size_t>(m), rng);
            const int c = m / 2;
            std::vector<T> expected(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) {
                const int t0 = std::max(0, c - i);
                const int t1 = std::min(m, n - i + c);
                // The taps on the line only: no pointer off its ends.
                std::vector<const T*> shifted(static_cast<std::size_t>(m), nullptr);
                for (int t = t0; t < t1; ++t)
                    shifted[static_cast<std::size_t>(t)] = v.data() + (i + t - c);
                expected[static_cast<std::size_t>(i)] = tapSum<T>(shifted, 0, k.data(), t0, t1);
            }
            std::vector<T> out16(static_cast<std::size_t>(n)), out32(out16), out64(out16);
            correlateLine<16>(v.data(), out16.data(), n, k.data(), m);
            correlateLine<32>(v.data(), out32.data(), n, k.data(), m);
            correlateLine<64>(v.data(), out64.data(), n, k.data(), m);
            EXPECT_TRUE(sameBits(out16, expected)) << n << " elements, " << m << " taps";
            EXPECT_TRUE(sameBits(out32, expected)) << n << " elements, " << m << " taps";
            EXPECT_TRUE(sameBits(out64, expected)) << n << " elements, " << m << " taps";
        }
}

TYPED_TEST(LineKernelsTest, AcrossLinesTheSumsAreTheTapsInOrder)
{
    using T = TypeParam;
    std::mt19937 rng(12);
    for (int w : lengths)
        for (int m : taps) {
            const int n = 11;
            std::vector<std::vector<T>> in(n);
            std::vector<const T*> inRows(n);
            for (int i = 0; i < n; ++i) {
                in[static_cast<std::size_t>(i)] = randomValues<T>(static_cast<std::size_t>(w), rng);
                inRows[static_cast<std::size_t>(i)] = in[static_cast<std::size_t>(i)].data();
            }
            const std::vector<T> k = randomValues<T>(static_cast<std::size_t>(m), rng);
            const int c = m / 2;
            std::vector<T> expected, out16(static_cast<std::size_t>(n * w)), out32(out16), out64(out16);
            std::vector<T*> rows16(n), rows32(n), rows64(n);
            for (int i = 0; i < n; ++i) {
                rows16[static_cast<std::size_t>(i)] = out16.data() + i * w;
                rows32[static_cast<std::size_t>(i)] = out32.data() + i * w;
                rows64[static_cast<std::size_t>(i)] = out64.data() + i * w;
                const int t0 = std::max(0, c - i);
                const int t1 = std::min(m, n - i + c);
                std::vector<const T*> window(static_cast<std::size_t>(m), nullptr);
                for (int t = t0; t < t1; ++t)
                    window[static_cast<std::size_t>(t)] = inRows[static_cast<std::size_t>(i + t - c)];
                for (int j = 0; j < w; ++j)
                    expected.push_back(tapSum<T>(window, static_cast<std::size_t>(j), k.data(), t0, t1));
            }
            correlateAcross<16>(inRows.data(), rows16.data(), n, w, k.data(), m);
            correlateAcross<32>(inRows.data(), rows32.data(), n, w, k.data(), m);
            correlateAcross<64>(inRows.data(), rows64.data(), n, w, k.data(), m);
            EXPECT_TRUE(sameBits(out16, expected)) << w << " wide, " << m << " taps";
            EXPECT_TRUE(sameBits(out32, expected)) << w << " wide, " << m << " taps";
            EXPECT_TRUE(sameBits(out64, expected)) << w << " wide, " << m << " taps";

            // One output line combined from its own window, a part of the
            // taps only as at the ends of a ring.
            for (int t0 = 0; t0 < m; ++t0)
                for (int t1 = t0; t1 <= m; ++t1) {
                    std::vector<const T*> window(static_cast<std::size_t>(m));
                    for (int t = 0; t < m; ++t)
                        window[static_cast<std::size_t>(t)] = inRows[static_cast<std::size_t>(t % n)];
                    std::vector<T> want(static_cast<std::size_t>(w));
                    for (int j = 0; j < w; ++j)
                        want[static_cast<std::size_t>(j)] = tapSum<T>(window, static_cast<std::size_t>(j), k.data(), t0, t1);
                    std::vector<T> got16(static_cast<std::size_t>(w), T(7)), got32(got16), got64(got16);
                    combineLines<16>(window.data(), got16.data(), w, k.data(), t0, t1);
                    combineLines<32>(window.data(), got32.data(), w, k.data(), t0, t1);
                    combineLines<64>(window.data(), got64.data(), w, k.data(), t0, t1);
                    EXPECT_TRUE(sameBits(got16, want)) << w << " wide, taps " << t0 << " to " << t1;
                    EXPECT_TRUE(sameBits(got32, want)) << w << " wide, taps " << t0 << " to " << t1;
                    EXPECT_TRUE(sameBits(got64, want)) << w << " wide, taps " << t0 << " to " << t1;
                }
        }
}

} // namespace
