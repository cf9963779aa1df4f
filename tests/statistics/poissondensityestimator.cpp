#include "statistics/poissondensityestimator.h"

#include "statisticstesting.h"
#include "support/expect.h"

#include <cmath>
#include <sstream>

using statisticstesting::randomPattern;
using statisticstesting::RecordingMonitor;

namespace {

template <typename T>
class PoissonDensityEstimatorTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(PoissonDensityEstimatorTest, RealTypes);

// The pooled density from squared k-th neighbour distances found by
// exhaustive search.
template <typename T>
T bruteForceDensity(const PoissonDensityEstimator<T>& estimator, const Vector<T>& p)
{
    T sum = T(0);
    for (const Shape<T>* shape : estimator.getShapes())
        sum += std::pow(estimator.bruteForceKthNeighbourDistance(*shape, p), T(1.5));
    return static_cast<T>(estimator.numerator()) / sum;
}

// Sample (i, j, k) of a grid over box: the first corner plus whole steps of
// width / (size - 1), the step rounded to single precision.
template <typename T>
Vector<T> samplePoint(const BoundingBox<T>& box, const VoxelMatrix<T>& matrix, int i, int j, int k)
{
    const int index[3] = {i, j, k};
    Vector<T> p(3u);
    for (int a = 0; a < 3; ++a) {
        const int n = matrix.getSize(a + 1);
        const float step = n > 1 ? static_cast<float>(box.width(a) / static_cast<T>(n - 1)) : 0.0f;
        p[a] = box.getVertex1()[a] + static_cast<T>(index[a]) * static_cast<T>(step);
    }
    return p;
}

template <typename T>
void expectGridMatchesBruteForce(PoissonDensityEstimator<T>& estimator, const BoundingBox<T>& box, int n1, int n2,
                                 int n3)
{
    VoxelMatrix<T> density(n1, n2, n3);
    std::ostringstream console;
    auto* old = std::cout.rdbuf(console.rdbuf());
    estimator.compute(density, box);
    std::cout.rdbuf(old);
    for (int k = 0; k < n3; ++k)
        for (int i = 0; i < n1; ++i)
            for (int j = 0; j < n2; ++j) {
                const Vector<T> p = samplePoint(box, density, i, j, k);
                ASSERT_EQ(density(i, j, k), bruteForceDensity(estimator, p)) << i << " " << j << " " << k;
            }
}

} // namespace

TYPED_TEST(PoissonDensityEstimatorTest, GridAndPointDensitiesEqualExhaustiveSearch)
{
    using T = TypeParam;
    std::mt19937 rng(7);
    Vertices<T> a = randomPattern<T>(rng, 400, 0.0, 10.0);
    Vertices<T> b = randomPattern<T>(rng, 250, -2.0, 12.0);
    Vertices<T> c = randomPattern<T>(rng, 40, 3.0, 6.0); // clustered: far samples see long distances
    PoissonDensityEstimator<T> estimator;
    estimator.setShapes({&a, &b, &c});
    estimator.setNeighbourRank(4);
    const BoundingBox<T> box(Vector<T>{T(-1), T(0.5), T(0)}, Vector<T>{T(11), T(9.25), T(10)});
    expectGridMatchesBruteForce(estimator, box, 13, 11, 7);

    for (int q = 0; q < 200; ++q) {
        Vertices<T> probe = randomPattern<T>(rng, 1, -3.0, 13.0);
        EXPECT_EQ(estimator.compute3D(probe[0]), bruteForceDensity(estimator, probe[0]));
    }
    Vertices<T> probes = randomPattern<T>(rng, 20, 0.0, 10.0);
    const Vector<T> values = estimator.compute3D(probes);
    ASSERT_EQ(values.getSize(), 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(values[i], bruteForceDensity(estimator, probes[i]));
}

TYPED_TEST(PoissonDensityEstimatorTest, TiesOnALatticeKeepTheExactKthDistance)
{
    // Points and samples on one integer lattice: many neighbours at exactly
    // the same distance, where a bound taken from the previous sample is tight.
    using T = TypeParam;
    Vertices<T> lattice(3, 0);
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 5; ++y)
            for (int z = 0; z < 4; ++z)
                lattice.append(Vector<T>{T(x), T(y), T(z)});
    Vertices<T> sparse(3, 0);
    for (int x = 0; x < 6; x += 2)
        for (int y = 0; y < 5; y += 2)
            sparse.append(Vector<T>{T(x), T(y), T(1)});
    PoissonDensityEstimator<T> estimator;
    estimator.setShapes({&lattice, &sparse});
    for (int rank : {1, 6, 9}) {
        estimator.setNeighbourRank(rank);
        expectGridMatchesBruteForce(estimator, BoundingBox<T>(Vector<T>{T(-1), T(-1), T(-1)},
                                                              Vector<T>{T(6), T(5), T(4)}),
                                    8, 7, 6);
    }
}

TYPED_TEST(PoissonDensityEstimatorTest, RanksOneGiveTheAnalyticDensities)
{
    using T = TypeParam;
    Vertices<T> first(3, 0);
    first.append(Vector<T>{T(1), T(0), T(0)});
    first.append(Vector<T>{T(5), T(0), T(0)});
    Vertices<T> second(3, 0);
    second.append(Vector<T>{T(0), T(2), T(0)});
    const Vector<T> origin{T(0), T(0), T(0)};

    PoissonDensityEstimator<T> estimator;
    estimator.addShape(first);
    EXPECT_EQ(estimator.compute3D(origin), T(0)); // k m - 1 = 0 points in one ball
    estimator.addShape(second);
    const long double expected = 1.0L / (4.0L / 3.0L * 3.141592653589793L * (1.0L + 8.0L));
    EXPECT_NEAR(static_cast<double>(estimator.compute3D(origin)), static_cast<double>(expected), 1e-6 * expected);

    // With k = 2 the single-point pattern answers with its farthest (only)
    // point, which the exhaustive reference also keeps.
    estimator.setNeighbourRank(2);
    EXPECT_EQ(estimator.bruteForceKthNeighbourDistance(second, origin), T(4));
    EXPECT_EQ(estimator.bruteForceKthNeighbourDistance(first, origin), T(25));
    EXPECT_EQ(estimator.compute3D(origin), bruteForceDensity(estimator, origin));
    EXPECT_PLEXAN_THROW(estimator.setNeighbourRank(0), ValueError,
                        "void PoissonDensityEstimator<T>::setNeighbourRank(int)",
                        "The neighbour rank must be at least 1");
}

TYPED_TEST(PoissonDensityEstimatorTest, AxisOfSizeOneSamplesTheFirstCorner)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    Vertices<T> a = randomPattern<T>(rng, 50, 0.0, 4.0);
    Vertices<T> b = randomPattern<T>(rng, 50, 0.0, 4.0);
    PoissonDensityEstimator<T> estimator;
    estimator.setShapes({&a, &b});
    estimator.setNeighbourRank(2);
    const BoundingBox<T> box(Vector<T>{T(1), T(2), T(3)}, Vector<T>{T(3), T(4), T(5)});
    VoxelMatrix<T> density(3, 1, 2);
    std::ostringstream console;
    auto* old = std::cout.rdbuf(console.rdbuf());
    estimator.compute(density, box);
    std::cout.rdbuf(old);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 2; ++k) {
            const Vector<T> p{T(1 + i), T(2), T(3 + 2 * k)};
            EXPECT_EQ(density(i, 0, k), bruteForceDensity(estimator, p));
        }
}

TEST(PoissonDensityEstimator, ReportsEachPlaneAndTheAverageDistance)
{
    std::mt19937 rng(11);
    Vertices<double> a = randomPattern<double>(rng, 100, 0.0, 1.0);
    Vertices<double> b = randomPattern<double>(rng, 80, 0.0, 1.0);
    PoissonDensityEstimator<double> estimator;
    RecordingMonitor monitor;
    estimator.addMonitor(monitor);
    estimator.setShapes({&a, &b});
    estimator.setNeighbourRank(3);
    const BoundingBox<double> box(Vector<double>{0, 0, 0}, Vector<double>{1, 1, 1});
    VoxelMatrix<double> density(4, 5, 6);
    std::ostringstream console;
    auto* old = std::cout.rdbuf(console.rdbuf());
    estimator.compute(density, box);
    std::cout.rdbuf(old);

    double total = 0;
    for (int k = 0; k < 6; ++k)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 5; ++j)
                for (const Shape<double>* s : estimator.getShapes())
                    total += std::sqrt(estimator.bruteForceKthNeighbourDistance(*s, samplePoint(box, density, i, j, k)));
    const std::string line = console.str();
    const std::string label = "Average distance to kth nearest neighbor: ";
    ASSERT_EQ(line.rfind(label, 0), 0u) << line;
    EXPECT_NEAR(std::stod(line.substr(label.size())), total / (4 * 5 * 6 * 2), 1e-5);
    EXPECT_EQ(line.back(), '\n');

    ASSERT_GE(monitor.started.size(), 2u);
    EXPECT_EQ(monitor.started[0], "Poisson density estimation");
    EXPECT_EQ(monitor.started[1], "Applying masks onto density map");
    for (unsigned int k = 0; k < 6; ++k)
        EXPECT_EQ(monitor.steps[k], std::make_pair(k, 6u));
}

TEST(PoissonDensityEstimator, RemovingAPatternDeletesOnlyItsTree)
{
    std::mt19937 rng(5);
    Vertices<float> a = randomPattern<float>(rng, 10, 0.0, 1.0);
    Vertices<float> b = randomPattern<float>(rng, 20, 0.0, 1.0);
    Vertices<float> c = randomPattern<float>(rng, 30, 0.0, 1.0);
    PoissonDensityEstimator<float> estimator;
    estimator.setShapes({&a, &b, &c, &b});
    ASSERT_EQ(estimator.getShapes().size(), 3u);
    estimator.removeShape(b);
    ASSERT_EQ(estimator.getShapes().size(), 2u);
    EXPECT_EQ(estimator.getShapes()[0], &a);
    EXPECT_EQ(estimator.getShapes()[1], &c);
    EXPECT_EQ(estimator.getTree(0).getShape(), &a);
    EXPECT_EQ(estimator.getTree(1).getShape(), &c);
    EXPECT_EQ(estimator.getTree(1).getVertices().getNumVertices(), 30);
    estimator.clearShapes();
    EXPECT_TRUE(estimator.getShapes().empty());
}
