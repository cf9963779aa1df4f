// RecommendedRandomEngine sequences and RandomGenerator distributions.

#include "numerics/randomgenerator.h"
#include "numerics/recommendedrandomengine.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// The engine written out again with plain 64-bit words, as a reference.
struct ReferenceEngine {
    std::uint64_t u, v, w;
    explicit ReferenceEngine(std::uint64_t seed)
    {
        w = 1;
        v = 4101842887655102017ULL;
        u = seed ^ v;
        step();
        v = u;
        step();
        w = v;
        step();
    }
    std::uint64_t step()
    {
        u = u * 2862933555777941757ULL + 7046029254386353087ULL;
        v ^= v >> 17;
        v ^= v << 31;
        v ^= v >> 8;
        w = 4294957665ULL * (w & 0xffffffffULL) + (w >> 32);
        std::uint64_t x = u ^ (u << 21);
        x ^= x >> 35;
        x ^= x << 4;
        return (x + v) ^ w;
    }
};

TEST(RecommendedRandomEngine, FixedSequencePerSeed)
{
    // First words of seed 12345, computed with unbounded integers reduced
    // modulo 2^64.
    RecommendedRandomEngine other(7);
    EXPECT_EQ(other.init(12345), 12345);
    const std::vector<long> expected{6976477342490175312L, 8105762019722338794L, 6323639789044565482L,
                                     2523521290266754271L, 6175056635006346233L};
    for (long x : expected)
        EXPECT_EQ(other.uniformL(), x);

    for (std::uint64_t seed : {1ULL, 2ULL, 99ULL, 123456789ULL, 0x7fffffffffffffffULL}) {
        RecommendedRandomEngine engine(static_cast<long>(seed));
        ReferenceEngine reference(seed);
        for (int i = 0; i < 1000; ++i) {
            const std::uint64_t word = reference.step();
            if (i % 2 == 0) {
                EXPECT_EQ(engine.next(), word);
            } else {
                const double expectedReal = static_cast<double>(word) * 5.421010862427522e-20;
                EXPECT_EQ(engine.uniformLF(), expectedReal < 1.0 ? expectedReal : std::nextafter(1.0, 0.0));
            }
        }
    }
}

TEST(RecommendedRandomEngine, NonPositiveSeedsTakeTheClock)
{
    RecommendedRandomEngine engine;
    const long seed = engine.init(0);
    EXPECT_GE(seed, 1);
    EXPECT_GE(engine.init(-5), 1);
}

TEST(RandomGenerator, UniformRangesAndReproducibility)
{
    RandomGenerator a(42);
    std::vector<int> counts(7, 0);
    for (int i = 0; i < 70000; ++i) {
        const long k = a.uniformL(3, 9);
        ASSERT_TRUE(k >= 3 && k <= 9) << k;
        ++counts[static_cast<std::size_t>(k - 3)];
        const double x = a.uniformLF(-2.0, 3.0);
        ASSERT_TRUE(x >= -2.0 && x < 3.0) << x;
        ASSERT_GE(a.uniformL(), 0);
    }
    for (int c : counts)
        EXPECT_NEAR(c, 10000, 500); // about 5 standard deviations

    // After init the generator restarts, cached Gaussian value included.
    a.init(5);
    const double g1 = a.gaussian();
    a.gaussian(); // leaves the second value of a pair cached
    a.init(5);
    EXPECT_EQ(a.gaussian(), g1);
}

TEST(RandomGenerator, GaussianMomentsAndPairs)
{
    RandomGenerator g(7);
    const int n = 200000;
    double sum = 0, sum2 = 0;
    int within1 = 0;
    for (int i = 0; i < n; ++i) {
        const double x = g.gaussian(10.0, 2.0);
        sum += x;
        sum2 += x * x;
        within1 += std::abs(x - 10.0) < 2.0 ? 1 : 0;
    }
    EXPECT_NEAR(sum / n, 10.0, 0.02);
    EXPECT_NEAR(std::sqrt(sum2 / n - (sum / n) * (sum / n)), 2.0, 0.02);
    EXPECT_NEAR(within1 / double(n), 0.682689, 0.005);

    // The polar method from the same engine words, written out.
    RandomGenerator polar(9);
    RecommendedRandomEngine words(9);
    for (int pair = 0; pair < 50; ++pair) {
        double v1, v2, r;
        do {
            v1 = -1.0 + words.uniformLF() * 2.0;
            v2 = -1.0 + words.uniformLF() * 2.0;
            r = v1 * v1 + v2 * v2;
        } while (r >= 1.0 || r == 0.0);
        const double f = std::sqrt(-2.0 * std::log(r) / r);
        EXPECT_EQ(polar.gaussian(), v2 * f);
        EXPECT_EQ(polar.gaussian(), v1 * f);
    }
}

TEST(RandomGenerator, PoissonMeanAndVariance)
{
    RandomGenerator g(11);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(g.poisson(0.0f), 0);
    for (float lambda : {0.5f, 3.0f, 12.0f}) {
        const int n = 100000;
        double s = 0, s2 = 0;
        int zeros = 0;
        for (int i = 0; i < n; ++i) {
            const int k = g.poisson(lambda);
            ASSERT_GE(k, 0);
            s += k;
            s2 += double(k) * k;
            zeros += k == 0 ? 1 : 0;
        }
        const double mean = s / n;
        EXPECT_NEAR(mean, lambda, 0.03 * lambda + 0.01);
        EXPECT_NEAR(s2 / n - mean * mean, lambda, 0.05 * lambda + 0.01);
        EXPECT_NEAR(zeros / double(n), std::exp(-lambda), 0.005);
    }
}

TEST(RandomGenerator, DrawFollowsTheWeights)
{
    RandomGenerator g(13);
    const Vector<unsigned int> weights{0, 3, 0, 1, 6};
    std::vector<int> counts(5, 0);
    const int n = 100000;
    for (int i = 0; i < n; ++i)
        ++counts[static_cast<std::size_t>(g.draw(weights))];
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(counts[2], 0);
    EXPECT_NEAR(counts[1] / double(n), 0.3, 0.01);
    EXPECT_NEAR(counts[3] / double(n), 0.1, 0.01);
    EXPECT_NEAR(counts[4] / double(n), 0.6, 0.01);

    // All weights zero: every index equally likely.
    std::vector<int> uniform(4, 0);
    for (int i = 0; i < 40000; ++i)
        ++uniform[static_cast<std::size_t>(g.draw(Vector<unsigned int>{0, 0, 0, 0}))];
    for (int c : uniform)
        EXPECT_NEAR(c, 10000, 500);

    EXPECT_EQ(g.draw(Vector<unsigned int>{0, 0, 5}), 2);
    EXPECT_PLEXAN_THROW(g.draw(Vector<unsigned int>()), SizeError,
                        "int RandomGenerator::draw(const Vector<unsigned int>&)", "There is no weight to draw from");
}

// An engine that counts up, to check that the generator delegates to and
// owns the engine it is given.
class CountingEngine : public RandomEngine {
public:
    explicit CountingEngine(int* deleted) : m_deleted(deleted) {}
    ~CountingEngine() override { ++*m_deleted; }
    long init(long seed) override { return m_next = seed; }
    long uniformL() override { return m_next++; }
    double uniformLF() override { return 0.25; }

private:
    int* m_deleted;
    long m_next = 0;
};

TEST(RandomGenerator, ExchangeableEngine)
{
    int deleted = 0;
    {
        RandomGenerator g;
        g.setRandomEngine(new CountingEngine(&deleted));
        EXPECT_EQ(g.init(10), 10);
        EXPECT_EQ(g.uniformL(), 10);
        EXPECT_EQ(g.uniformL(), 11);
        EXPECT_EQ(g.uniformL(8), 2);
        EXPECT_EQ(g.uniformL(4, 7), 5);
        EXPECT_EQ(g.uniformLF(4.0), 1.0);
        g.setRandomEngine(new CountingEngine(&deleted));
        EXPECT_EQ(deleted, 1);
    }
    EXPECT_EQ(deleted, 2);
}

} // namespace
